// Digest challenges and the Authorization line answering them. The input holds up to two
// challenges separated by a NUL, parsed one after the other into the same record as two 401
// answers would be, and the first two bytes choose how much room the line gets.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "fuzz/fuzz_check.h"
#include "web/digest.h"

namespace {

// Room for the longest line: every field at its width and the fixed text around them.
constexpr int kAmpleRoom = 2048;

void CheckRecord(const DigestState& s) {
    FUZZ_CHECK(IsTerminatedWithin(s.previousNonce, sizeof s.previousNonce));
    FUZZ_CHECK(IsTerminatedWithin(s.nonce, sizeof s.nonce));
    FUZZ_CHECK(IsTerminatedWithin(s.cnonce, sizeof s.cnonce));
    FUZZ_CHECK(IsTerminatedWithin(s.realm, sizeof s.realm));
    FUZZ_CHECK(IsTerminatedWithin(s.qop, sizeof s.qop));
    FUZZ_CHECK(IsTerminatedWithin(s.algorithm, sizeof s.algorithm));
    FUZZ_CHECK(IsTerminatedWithin(s.uri, sizeof s.uri));
    FUZZ_CHECK(IsTerminatedWithin(s.opaque, sizeof s.opaque));
}

// One 401 answer: the challenge, then (when it is usable) the line of the next request, written
// into an area of exactly `room` bytes.
void Answer(DigestState* state, const std::string& challenge, int room) {
    std::uint32_t countBefore = state->nonceCount;
    std::string nonceBefore = state->nonce;
    if (ParseChallenge(challenge.c_str(), state) != 0) {
        CheckRecord(*state);
        // A refused challenge changes neither the nonce nor its count.
        FUZZ_CHECK(state->nonceCount == countBefore);
        FUZZ_CHECK(nonceBefore == state->nonce);
        return;
    }
    CheckRecord(*state);
    FUZZ_CHECK(std::strcmp(state->nonce, state->previousNonce) == 0);

    ++state->nonceCount;
    std::unique_ptr<char[]> line(new char[room]);
    int length = BuildAuthorization(state, "/admin/advanced", line.get(), room);
    FUZZ_CHECK(length >= 0 && length < room);
    FUZZ_CHECK(static_cast<std::size_t>(length) == std::strlen(line.get()));
    CheckRecord(*state);
    if (room >= kAmpleRoom) {
        std::string text(line.get(), static_cast<std::size_t>(length));
        FUZZ_CHECK(text.rfind("Authorization: Digest username=\"admin\",", 0) == 0);
        FUZZ_CHECK(text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    int selector = data[0] | data[1] << 8;
    int room = selector >= 0x8000 ? kAmpleRoom : 1 + selector % kAmpleRoom;
    std::string rest(reinterpret_cast<const char*>(data + 2), size - 2);
    std::size_t split = rest.find('\0');
    std::string first = rest.substr(0, split);
    std::string second = split == std::string::npos ? std::string() : rest.substr(split + 1);

    DigestState state{};
    std::strcpy(state.username, "admin");
    std::strcpy(state.password, "s3cret");
    Answer(&state, first, room);
    if (split != std::string::npos) {
        Answer(&state, second, room);
    }
    return 0;
}
