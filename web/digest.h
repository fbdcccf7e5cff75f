// HTTP Digest authentication (RFC 2617 with MD5): the challenge parser, the Authorization line
// and the digest computations behind it.
#pragma once

#include <cstdint>

#include "web/digest_state.h"

inline constexpr int kDigestHexSize = 33;  // 32 lowercase hexadecimal characters and a NUL

// `text` runs from the header name "WWW-Authenticate:" to the end of the answer. Reads the
// quoted realm, nonce, algorithm, qop and opaque into `state`; 0 on success, 1 when the realm or
// the nonce is missing (the realm is kept when only the nonce is missing).
int ParseChallenge(const char* text, DigestState* state);

// Writes the complete Authorization header line for a GET of `requestPath`, ending in "\r\n",
// into `destination` (at most capacity - 1 characters and a NUL). Returns the characters written.
int BuildAuthorization(DigestState* state, const char* requestPath, char* destination,
                       int capacity);

// H(A1): MD5(username:realm:password); for "md5-sess" in any letter case, MD5 over the 16 raw
// bytes of that digest, ":", nonce, ":", cnonce.
void ComputeSessionKey(const char* algorithm, const char* username, const char* realm,
                       const char* password, const char* nonce, const char* cnonce,
                       char hexOut[kDigestHexSize]);

// The request digest over the H(A1) hex text. With an empty qop: MD5(A1:nonce:H(A2)); otherwise
// MD5(A1:nonce:nc:cnonce:qop:H(A2)). A2 is method:uri, plus ":" H(body) for qop "auth-int".
void ComputeDigestResponse(const char* a1Hex, const char* nonce, const char* nonceCountText,
                           const char* cnonce, const char* qop, const char* method, const char* uri,
                           const char* entityBody, char hexOut[kDigestHexSize]);

void ToHex(const std::uint8_t digest[16], char hexOut[kDigestHexSize]);
