// The process entry of the utility, called by the platform's main with the module instance.
#pragma once

#include "platform/dialogs.h"

// Registers the window class, runs StartUp and RunUpgrade. Returns only when the process is to
// end with exit code 0.
void ZebEntry(platform::Instance instance);
