// The HTTP Digest record with the user's credentials. All zero at start-up.
#pragma once

#include <cstdint>

struct DigestState {
    std::uint32_t nonceCount;
    char previousNonce[128];
    char nonce[128];
    char cnonce[128];
    char username[128];
    char password[128];
    char realm[128];
    char qop[16];
    char algorithm[16];
    char uri[128];
    char opaque[128];
};
