// The simulated device's side of HTTP Digest: its challenge and its own check of the client's
// credentials, computed with OpenSSL so that it does not share code with the utility.
#pragma once

#include <map>
#include <string>

#include "tools/zebdevice/device_state.h"

namespace zebdevice {

// The WWW-Authenticate header line (with its CR LF) of a challenge with `nonce`.
std::string ChallengeHeader(const DeviceSettings& settings, const std::string& nonce);

// The directives of a "Digest ..." credentials value; quotes removed. An unquoted value that
// contains commas (a qop list sent unquoted) is kept whole.
std::map<std::string, std::string> ParseDigestCredentials(const std::string& value);

struct DigestVerdict {
    bool ok = false;
    std::string reason;  // why it was refused
};

// Checks the credentials of a request for `uri`; on success records the nonce count.
DigestVerdict VerifyDigest(const DeviceSettings& settings, DeviceState* state,
                           const std::string& credentials, const std::string& method,
                           const std::string& uri);

}  // namespace zebdevice
