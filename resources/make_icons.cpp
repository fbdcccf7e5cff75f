// Draws the utility's two icons and writes them as 32 x 32, 16-colour .ico files:
//   adapter.ico   (icon 106) a grey adapter box with a green indicator light
//   telephone.ico (icon 286) a black desk telephone with a green display and a keypad
//
//   zebmkicons OUTPUT_DIRECTORY
//
// The files are committed under resources/icons; run this only to change the artwork.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kSize = 32;
constexpr int kColours = 16;

// The standard 16-colour palette, as red, green, blue.
constexpr std::uint8_t kPalette[kColours][3] = {
    {0x00, 0x00, 0x00}, {0x80, 0x00, 0x00}, {0x00, 0x80, 0x00}, {0x80, 0x80, 0x00},
    {0x00, 0x00, 0x80}, {0x80, 0x00, 0x80}, {0x00, 0x80, 0x80}, {0xc0, 0xc0, 0xc0},
    {0x80, 0x80, 0x80}, {0xff, 0x00, 0x00}, {0x00, 0xff, 0x00}, {0xff, 0xff, 0x00},
    {0x00, 0x00, 0xff}, {0xff, 0x00, 0xff}, {0x00, 0xff, 0xff}, {0xff, 0xff, 0xff},
};

enum Colour : int {
    kTransparent = -1,
    kBlack = 0,
    kDarkGreen = 2,
    kSilver = 7,
    kGrey = 8,
    kGreen = 10,
    kWhite = 15,
};

// Palette indices, row 0 at the top; kTransparent where the desktop shows through.
struct Canvas {
    int pixels[kSize][kSize];

    Canvas() {
        for (auto& row : pixels) {
            for (int& p : row) {
                p = kTransparent;
            }
        }
    }
    void Fill(int x0, int y0, int x1, int y1, int colour) {  // inclusive corners
        for (int y = y0; y <= y1; ++y) {
            for (int x = x0; x <= x1; ++x) {
                pixels[y][x] = colour;
            }
        }
    }
    void Frame(int x0, int y0, int x1, int y1, int colour) {
        Fill(x0, y0, x1, y0, colour);
        Fill(x0, y1, x1, y1, colour);
        Fill(x0, y0, x0, y1, colour);
        Fill(x1, y0, x1, y1, colour);
    }
};

Canvas DrawAdapter() {
    Canvas c;
    // The top face, seen from slightly above, then the front face.
    c.Fill(6, 9, 29, 12, kSilver);
    c.Fill(5, 10, 5, 12, kSilver);
    c.Fill(4, 11, 4, 12, kSilver);
    c.Fill(7, 9, 28, 9, kWhite);
    c.Fill(2, 13, 29, 24, kSilver);
    c.Fill(3, 22, 28, 23, kGrey);  // shadow along the lower edge
    c.Frame(2, 13, 29, 24, kBlack);
    c.Fill(6, 8, 29, 8, kBlack);
    c.Fill(29, 8, 29, 13, kBlack);
    c.pixels[9][5] = kBlack;
    c.pixels[10][4] = kBlack;
    c.pixels[11][3] = kBlack;
    c.pixels[12][2] = kBlack;
    // The indicator light, with a dark rim and a bright centre.
    c.Fill(5, 16, 8, 19, kDarkGreen);
    c.Fill(6, 17, 7, 18, kGreen);
    // Two telephone jacks and a network jack on the front.
    c.Fill(14, 16, 17, 20, kBlack);
    c.Fill(19, 16, 22, 20, kBlack);
    c.Fill(24, 16, 27, 20, kGrey);
    c.Frame(24, 16, 27, 20, kBlack);
    // Feet.
    c.Fill(4, 25, 6, 26, kGrey);
    c.Fill(25, 25, 27, 26, kGrey);
    return c;
}

Canvas DrawTelephone() {
    Canvas c;
    // The handset resting across the top: a bar with an ear piece and a mouth piece.
    c.Fill(5, 3, 26, 5, kBlack);
    c.Fill(3, 4, 8, 9, kBlack);
    c.Fill(23, 4, 28, 9, kBlack);
    c.Fill(9, 3, 22, 3, kGrey);  // a highlight along the handset
    // The cradle and the body, widening toward the desk.
    c.Fill(10, 8, 21, 10, kBlack);
    for (int y = 11; y <= 28; ++y) {
        int inset = (28 - y) / 6;
        c.Fill(3 + inset, y, 28 - inset, y, kBlack);
    }
    // The display.
    c.Fill(9, 12, 22, 15, kGreen);
    c.Frame(8, 11, 23, 16, kGrey);
    c.Fill(10, 13, 14, 13, kDarkGreen);  // a line of text on it
    // The keypad: three columns of four keys.
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 3; ++column) {
            int x = 10 + column * 4;
            int y = 18 + row * 3;
            c.Fill(x, y, x + 2, y + 1, row == 3 && column != 1 ? kGrey : kWhite);
        }
    }
    return c;
}

void PutU16(std::vector<std::uint8_t>& out, unsigned v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    PutU16(out, v & 0xffffu);
    PutU16(out, v >> 16);
}

// One icon directory entry, then the image: a 40-byte bitmap header whose height counts the
// colour bitmap and the mask together, the palette, the 4-bit colour rows and the 1-bit mask
// rows, both bottom row first.
std::vector<std::uint8_t> EncodeIcon(const Canvas& canvas) {
    constexpr std::uint32_t kColourRowBytes = kSize / 2;  // a multiple of 4
    constexpr std::uint32_t kMaskRowBytes = kSize / 8;    // a multiple of 4
    constexpr std::uint32_t kInfoHeaderBytes = 40;
    constexpr std::uint32_t kImageBytes =
        kInfoHeaderBytes + kColours * 4 + (kColourRowBytes + kMaskRowBytes) * kSize;
    constexpr std::uint32_t kDirectoryBytes = 6 + 16;

    std::vector<std::uint8_t> out;
    PutU16(out, 0);  // reserved
    PutU16(out, 1);  // an icon
    PutU16(out, 1);  // one image
    out.push_back(kSize);
    out.push_back(kSize);
    out.push_back(kColours);
    out.push_back(0);
    PutU16(out, 1);  // planes
    PutU16(out, 4);  // bits per pixel
    PutU32(out, kImageBytes);
    PutU32(out, kDirectoryBytes);

    PutU32(out, kInfoHeaderBytes);
    PutU32(out, kSize);
    PutU32(out, kSize * 2);
    PutU16(out, 1);
    PutU16(out, 4);
    PutU32(out, 0);  // uncompressed
    PutU32(out, (kColourRowBytes + kMaskRowBytes) * kSize);
    PutU32(out, 0);
    PutU32(out, 0);
    PutU32(out, kColours);
    PutU32(out, 0);
    for (const auto& rgb : kPalette) {
        out.push_back(rgb[2]);
        out.push_back(rgb[1]);
        out.push_back(rgb[0]);
        out.push_back(0);
    }
    for (int y = kSize - 1; y >= 0; --y) {
        for (int x = 0; x < kSize; x += 2) {
            int high = canvas.pixels[y][x];
            int low = canvas.pixels[y][x + 1];
            out.push_back(
                static_cast<std::uint8_t>((high < 0 ? 0 : high) << 4 | (low < 0 ? 0 : low)));
        }
    }
    for (int y = kSize - 1; y >= 0; --y) {
        for (int x = 0; x < kSize; x += 8) {
            std::uint8_t bits = 0;
            for (int i = 0; i < 8; ++i) {
                if (canvas.pixels[y][x + i] == kTransparent) {
                    bits |= static_cast<std::uint8_t>(0x80 >> i);
                }
            }
            out.push_back(bits);
        }
    }
    return out;
}

bool WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        std::perror(path.c_str());
        return false;
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    ok = std::fclose(file) == 0 && ok;
    if (!ok) {
        std::perror(path.c_str());
    }
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: zebmkicons OUTPUT_DIRECTORY\n");
        return 2;
    }
    std::string directory = argv[1];
    bool ok = WriteFile(directory + "/adapter.ico", EncodeIcon(DrawAdapter()));
    ok = WriteFile(directory + "/telephone.ico", EncodeIcon(DrawTelephone())) && ok;
    return ok ? 0 : 1;
}
