// The device address as the user types it, checked against a model written from the rules of
// the address entry: lengths 7 to 15, digits and the separators "." and "*" only, runs of
// separators count as one, four parts of at most 255 each, too many parts found before a value
// too large.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "ui/address_dialog.h"

namespace {

int ModelParse(const std::string& text, std::uint32_t* address) {
    *address = 0;
    if (text.size() < 7 || text.size() > 15) {
        return 4;
    }
    for (char c : text) {
        if (!(c >= '0' && c <= '9') && c != '.' && c != '*') {
            return 5;
        }
    }
    std::vector<std::string> parts;
    std::string part;
    for (char c : text + ".") {
        if (c == '.' || c == '*') {
            if (!part.empty()) {
                parts.push_back(part);
            }
            part.clear();
        } else {
            part += c;
        }
    }
    std::uint32_t octets[4] = {};
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i == 4) {
            return 2;
        }
        // At most 15 digits: an unsigned 64-bit value holds them all.
        std::uint64_t value = std::stoull(parts[i]);
        if (value > 255) {
            return 1;
        }
        octets[i] = static_cast<std::uint32_t>(value);
    }
    if (parts.size() < 4) {
        return 3;
    }
    *address = octets[0] << 24 | octets[1] << 16 | octets[2] << 8 | octets[3];
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The text as the dialog reads it: NUL-terminated, cut at its first NUL. The buffer is
    // exactly that long, so that a read past the NUL is caught.
    std::string text(reinterpret_cast<const char*>(data), size);
    text = text.substr(0, text.find('\0'));
    std::vector<char> typed(text.begin(), text.end());
    typed.push_back('\0');

    std::uint32_t address = 0xdeadbeef;
    int code = ParseDottedAddress(typed.data(), &address);
    std::uint32_t expected = 0;
    int expectedCode = ModelParse(text, &expected);
    FUZZ_CHECK(code == expectedCode);
    FUZZ_CHECK(address == expected);
    return 0;
}
