#include "platform/terminal/terminal_renderer.h"

namespace terminal {

void StartTerminalRenderer() {}

}  // namespace terminal
