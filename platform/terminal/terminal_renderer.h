// The terminal renderer of the virtual desktop.
#pragma once

namespace terminal {

// Starts drawing the virtual desktop in the terminal and feeding it keys, when standard input
// and output are a terminal. Registers a process end hook that restores the terminal.
void StartTerminalRenderer();

}  // namespace terminal
