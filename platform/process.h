// Ending the process.
#pragma once

namespace platform {

// Runs the registered end hooks (a renderer restoring the terminal, for instance), then ends
// the whole process at once with `code`, whichever thread calls it. Other threads are not waited for.
[[noreturn]] void EndProcess(int code);

using ProcessEndHook = void (*)();
void AddProcessEndHook(ProcessEndHook hook);

}  // namespace platform
