// The Linux program: the terminal renderer draws the dialogs that the utility runs.
#include "app/entry.h"
#include "platform/process.h"
#include "platform/terminal/terminal_renderer.h"

int main() {
    terminal::StartTerminalRenderer();
    static int instanceToken;
    ZebEntry(&instanceToken);
    platform::EndProcess(0);
}
