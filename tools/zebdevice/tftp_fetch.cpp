// Placeholder until the simulator's TFTP client lands: no firmware is fetched.
#include "tools/zebdevice/tftp_fetch.h"

#include "tools/zebdevice/device_log.h"

namespace zebdevice {

FetchResult FetchFirmware(const FetchRequest&) {
    LogEvent("firmware fetch not available");
    FetchResult result;
    result.failure = "firmware fetch not available";
    return result;
}

}  // namespace zebdevice
