// The device's answer as one exchange reads it: the status classification (which hands a 401
// challenge on to the Digest parser), then the scraping of the five identity fields from the
// same text.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "app/upgrade_state.h"
#include "fuzz/fuzz_check.h"
#include "web/http_exchange.h"

namespace {

constexpr int kFieldLimit = kDeviceInfoFieldSize - 1;
constexpr char kUntouched[] = "untouched";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > static_cast<std::size_t>(kResponseCapacity)) {
        return 0;  // the response area holds no more
    }
    // The bytes received and the NUL after them, in an area of exactly that size, so that a
    // read past the answer is caught.
    std::vector<char> area(data, data + size);
    area.push_back('\0');
    const char* text = area.data();

    DigestState digest{};
    int result = ClassifyResponse(text, &digest);
    FUZZ_CHECK(result >= -2 && result <= 2);
    FUZZ_CHECK(IsTerminatedWithin(digest.realm, sizeof digest.realm));
    FUZZ_CHECK(IsTerminatedWithin(digest.nonce, sizeof digest.nonce));
    FUZZ_CHECK(IsTerminatedWithin(digest.qop, sizeof digest.qop));
    FUZZ_CHECK(IsTerminatedWithin(digest.algorithm, sizeof digest.algorithm));
    FUZZ_CHECK(IsTerminatedWithin(digest.opaque, sizeof digest.opaque));
    if (result == 0) {
        FUZZ_CHECK(std::strncmp(text, "HTTP/1.1", 8) == 0);
    }

    DeviceInfo info;
    char* fields[] = {info.productName, info.macAddress, info.softwareVersion, info.hardwareVersion,
                      info.serialNumber};
    const char* labels[] = {"Product Name:", "MAC Address:", "Software Version:",
                            "Hardware Version:", "Serial Number:"};
    for (int i = 0; i < 5; ++i) {
        std::memcpy(fields[i], kUntouched, sizeof kUntouched);
        ExtractLabeledField(text, labels[i], fields[i], kFieldLimit);
        FUZZ_CHECK(IsTerminatedWithin(fields[i], kDeviceInfoFieldSize));
        // A value holds no "<" and is cut to the limit; a missing label leaves the field alone.
        FUZZ_CHECK(std::strchr(fields[i], '<') == nullptr ||
                   std::strcmp(fields[i], kUntouched) == 0);
        if (std::strstr(text, labels[i]) == nullptr) {
            FUZZ_CHECK(std::strcmp(fields[i], kUntouched) == 0);
        }
    }
    return 0;
}
