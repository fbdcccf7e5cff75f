// HTTP Digest authentication with the device's web server.
#include "web/digest.h"

#include <cstdio>
#include <cstring>

#include "app/random.h"
#include "web/bounded_text.h"
#include "web/md5.h"

namespace {

// Finds `name` (which ends in an opening quote) anywhere in the text and copies the value up to
// the closing quote or the end of the text, cut to width - 1 characters. False when not found.
bool ReadQuotedValue(const char* text, const char* name, char* destination, int width) {
    const char* found = std::strstr(text, name);
    if (found == nullptr) {
        return false;
    }
    const char* value = found + std::strlen(name);
    int length = 0;
    while (value[length] != '\0' && value[length] != '"' && length < width - 1) {
        ++length;
    }
    std::memcpy(destination, value, static_cast<std::size_t>(length));
    destination[length] = '\0';
    return true;
}

bool EqualsIgnoringCase(const char* a, const char* b) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    for (; *a != '\0' && *b != '\0'; ++a, ++b) {
        if (lower(*a) != lower(*b)) {
            return false;
        }
    }
    return *a == *b;
}

void AddText(Md5Context* md5, const char* text) {
    Md5Add(md5, text, std::strlen(text));
}

}  // namespace

int ParseChallenge(const char* text, DigestState* state) {
    if (!ReadQuotedValue(text, "realm=\"", state->realm, sizeof state->realm)) {
        return 1;
    }
    if (!ReadQuotedValue(text, "nonce=\"", state->nonce, sizeof state->nonce)) {
        return 1;
    }
    if (std::strcmp(state->nonce, state->previousNonce) != 0) {
        std::memcpy(state->previousNonce, state->nonce, sizeof state->previousNonce);
        state->nonceCount = 0;
    }
    std::snprintf(state->cnonce, sizeof state->cnonce, "%x", static_cast<unsigned>(NextRandom()));
    ReadQuotedValue(text, "algorithm=\"", state->algorithm, sizeof state->algorithm);
    ReadQuotedValue(text, "qop=\"", state->qop, sizeof state->qop);
    if (!ReadQuotedValue(text, "opaque=\"", state->opaque, sizeof state->opaque)) {
        state->opaque[0] = '\0';
    }
    return 0;
}

int BuildAuthorization(DigestState* state, const char* requestPath, char* destination,
                       int capacity) {
    std::snprintf(state->uri, sizeof state->uri, "%s", requestPath);

    // Nine hexadecimal digits: the count format the device expects.
    const bool withQop = state->qop[0] != '\0';
    char nonceCountText[16] = "";
    if (withQop) {
        std::snprintf(nonceCountText, sizeof nonceCountText, "%09x", state->nonceCount);
    }
    char a1[kDigestHexSize];
    ComputeSessionKey(state->algorithm, state->username, state->realm, state->password,
                      state->nonce, state->cnonce, a1);
    char response[kDigestHexSize];
    ComputeDigestResponse(a1, state->nonce, nonceCountText, state->cnonce, state->qop, "GET",
                          state->uri, "", response);

    BoundedText line(destination, capacity);
    line.Append(
        "Authorization: Digest username=\"%s\",realm=\"%s\",nonce=\"%s\",uri=\"%s\","
        "algorithm=\"%s\",response=\"%s\"",
        state->username, state->realm, state->nonce, state->uri, state->algorithm, response);
    if (state->opaque[0] != '\0') {
        line.Append(",opaque=\"%s\"", state->opaque);
    }
    if (withQop) {
        line.Append(",qop=%s,nc=%s,cnonce=\"%s\"", state->qop, nonceCountText, state->cnonce);
    }
    line.Append("\r\n");
    return line.length;
}

void ComputeSessionKey(const char* algorithm, const char* username, const char* realm,
                       const char* password, const char* nonce, const char* cnonce,
                       char hexOut[kDigestHexSize]) {
    std::uint8_t digest[kMd5DigestSize];
    Md5Context md5;
    Md5Start(&md5);
    AddText(&md5, username);
    AddText(&md5, ":");
    AddText(&md5, realm);
    AddText(&md5, ":");
    AddText(&md5, password);
    Md5Finish(&md5, digest);
    if (EqualsIgnoringCase(algorithm, "md5-sess")) {
        // The session key hashes the raw 16 bytes of the first digest, not its hex text.
        Md5Start(&md5);
        Md5Add(&md5, digest, sizeof digest);
        AddText(&md5, ":");
        AddText(&md5, nonce);
        AddText(&md5, ":");
        AddText(&md5, cnonce);
        Md5Finish(&md5, digest);
    }
    ToHex(digest, hexOut);
}

void ComputeDigestResponse(const char* a1Hex, const char* nonce, const char* nonceCountText,
                           const char* cnonce, const char* qop, const char* method, const char* uri,
                           const char* entityBody, char hexOut[kDigestHexSize]) {
    std::uint8_t digest[kMd5DigestSize];
    Md5Context md5;
    Md5Start(&md5);
    AddText(&md5, method);
    AddText(&md5, ":");
    AddText(&md5, uri);
    if (EqualsIgnoringCase(qop, "auth-int")) {
        Md5Context body;
        Md5Start(&body);
        AddText(&body, entityBody);
        Md5Finish(&body, digest);
        char bodyHex[kDigestHexSize];
        ToHex(digest, bodyHex);
        AddText(&md5, ":");
        AddText(&md5, bodyHex);
    }
    Md5Finish(&md5, digest);
    char a2Hex[kDigestHexSize];
    ToHex(digest, a2Hex);

    Md5Start(&md5);
    AddText(&md5, a1Hex);
    AddText(&md5, ":");
    AddText(&md5, nonce);
    AddText(&md5, ":");
    if (qop[0] != '\0') {
        AddText(&md5, nonceCountText);
        AddText(&md5, ":");
        AddText(&md5, cnonce);
        AddText(&md5, ":");
        AddText(&md5, qop);
        AddText(&md5, ":");
    }
    AddText(&md5, a2Hex);
    Md5Finish(&md5, digest);
    ToHex(digest, hexOut);
}

void ToHex(const std::uint8_t digest[16], char hexOut[kDigestHexSize]) {
    static constexpr char kDigits[] = "0123456789abcdef";
    for (int i = 0; i < 16; ++i) {
        hexOut[2 * i] = kDigits[digest[i] >> 4];
        hexOut[2 * i + 1] = kDigits[digest[i] & 0x0f];
    }
    hexOut[32] = '\0';
}
