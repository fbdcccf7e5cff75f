// The simulated device's web server: the status page, the upgrade command, Digest protection
// and the HTTP faults tests ask for. One connection at a time; every answer closes it.
#pragma once

#include "tools/zebdevice/device_state.h"

namespace zebdevice {

// Binds and listens on the settings' address and port; -1 (with a message on standard error)
// when that fails. Logs "listening A.B.C.D:PORT" on success.
int OpenHttpListener(const DeviceSettings& settings);

// Serves connections on the listener until the process ends.
[[noreturn]] void ServeHttp(int listener, const DeviceSettings& settings, DeviceState* state);

}  // namespace zebdevice
