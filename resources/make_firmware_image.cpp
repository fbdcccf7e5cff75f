// Writes a deterministic firmware image for builds and tests: a 128-byte header with the product
// tag at offset 0 and the NUL-terminated version text at offset 92, then pseudo-random bytes.
//
//   zebmkimage --output FILE [--tag TEXT] [--version TEXT] [--size BYTES] [--seed N]
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kHeaderSize = 128;
constexpr std::size_t kTagOffset = 0;
constexpr std::size_t kTagMax = 92;
constexpr std::size_t kVersionOffset = 92;
constexpr std::size_t kVersionMax = 35;

int Usage(const char* why) {
    std::fprintf(stderr,
                 "zebmkimage: %s\n"
                 "usage: zebmkimage --output FILE [--tag TEXT] [--version TEXT] [--size BYTES]"
                 " [--seed N]\n",
                 why);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string output;
    std::string tag = "KoRvAnE FiRmWaRe";
    std::string version = "3.1.24.0710";
    unsigned long size = 759100;
    unsigned long seed = 1;
    for (int i = 1; i < argc; ++i) {
        std::string flag = argv[i];
        if (i + 1 >= argc) {
            return Usage("missing value");
        }
        const char* value = argv[++i];
        if (flag == "--output") {
            output = value;
        } else if (flag == "--tag") {
            tag = value;
        } else if (flag == "--version") {
            version = value;
        } else if (flag == "--size") {
            size = std::strtoul(value, nullptr, 10);
        } else if (flag == "--seed") {
            seed = std::strtoul(value, nullptr, 10);
        } else {
            return Usage("unknown flag");
        }
    }
    if (output.empty()) {
        return Usage("--output is required");
    }
    if (size < kHeaderSize) {
        return Usage("an image holds at least its 128-byte header");
    }
    if (tag.size() > kTagMax || version.size() > kVersionMax) {
        return Usage("tag or version too long for the header");
    }

    std::vector<std::uint8_t> image(size);
    std::uint64_t state = 0x9e3779b97f4a7c15ull ^ seed;  // xorshift64*
    for (std::size_t i = kHeaderSize; i < size; ++i) {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        image[i] = static_cast<std::uint8_t>((state * 0x2545f4914f6cdd1dull) >> 56);
    }
    std::memcpy(image.data() + kTagOffset, tag.data(), tag.size());
    std::memcpy(image.data() + kVersionOffset, version.data(), version.size());

    std::FILE* file = std::fopen(output.c_str(), "wb");
    if (file == nullptr) {
        std::perror(output.c_str());
        return 1;
    }
    bool ok = std::fwrite(image.data(), 1, image.size(), file) == image.size();
    ok = std::fclose(file) == 0 && ok;
    if (!ok) {
        std::perror(output.c_str());
        return 1;
    }
    return 0;
}
