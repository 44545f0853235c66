// mkicon: turns the icon's text grid into a Windows .ico and a PNG preview.
//
//   mkicon icon.txt out.ico out.png
//
// The grid is 32 lines of 32 characters: a hex digit 0-F picks a colour of
// the standard Windows 16-colour palette, '.' is a transparent pixel.  Lines
// starting with '#' are comments.  The .ico holds one 32x32 4-bpp image; the
// PNG shows the same picture scaled up 8 times, transparent where the icon is.
//
// Host tool, standard library only.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

const int ICON_SIZE = 32;
const int PREVIEW_SCALE = 8;
const int TRANSPARENT = -1;

// The standard Windows 16-colour palette, as 0xRRGGBB.
const uint32_t PALETTE[16] = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
};

// pixels[y * 32 + x], top row first: a palette index, or TRANSPARENT.
typedef std::vector<int> Grid;

bool Fail(const std::string &message)
{
    std::cerr << "mkicon: " << message << "\n";
    return false;
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -2;
}

// Reads and checks the grid; on error prints where and why.
bool ReadGrid(const char *path, Grid &grid)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return Fail(std::string("cannot open ") + path);

    grid.clear();
    std::string line;
    int lineNo = 0, rows = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line[0] == '#') continue;
        std::string where = std::string(path) + ":" + std::to_string(lineNo) + ": ";
        if (line.empty()) {
            // Blank lines are allowed only after the last row.
            if (rows > 0 && rows < ICON_SIZE) return Fail(where + "blank line inside the grid");
            continue;
        }
        if (rows == ICON_SIZE) return Fail(where + "more than 32 rows");
        if ((int)line.size() != ICON_SIZE)
            return Fail(where + "row has " + std::to_string(line.size()) + " characters, expected 32");
        for (int x = 0; x < ICON_SIZE; ++x) {
            char c = line[x];
            int value = c == '.' ? TRANSPARENT : HexValue(c);
            if (value == -2)
                return Fail(where + "column " + std::to_string(x + 1) + ": invalid character '" +
                            std::string(1, c) + "' (expected 0-9, A-F or '.')");
            grid.push_back(value);
        }
        ++rows;
    }
    if (rows != ICON_SIZE)
        return Fail(std::string(path) + ": " + std::to_string(rows) + " rows, expected 32");
    return true;
}

void Put16(std::string &out, uint32_t v)
{
    out += (char)(v & 0xFF);
    out += (char)((v >> 8) & 0xFF);
}

void Put32(std::string &out, uint32_t v)
{
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

void Put32BE(std::string &out, uint32_t v)
{
    out += (char)((v >> 24) & 0xFF);
    out += (char)((v >> 16) & 0xFF);
    out += (char)((v >> 8) & 0xFF);
    out += (char)(v & 0xFF);
}

// The .ico file: ICONDIR, one ICONDIRENTRY, then the image as a DIB with a
// doubled height (the XOR bitmap followed by the AND mask).
std::string BuildIco(const Grid &grid)
{
    const int xorStride = ICON_SIZE / 2;                 // 4 bpp: 16 bytes, already 4-aligned
    const int andStride = ((ICON_SIZE + 31) / 32) * 4;   // 1 bpp padded to 4 bytes
    const uint32_t xorBytes = xorStride * ICON_SIZE;
    const uint32_t andBytes = andStride * ICON_SIZE;
    const uint32_t imageBytes = 40 + 16 * 4 + xorBytes + andBytes;

    std::string ico;
    // ICONDIR
    Put16(ico, 0);          // reserved
    Put16(ico, 1);          // type: icon
    Put16(ico, 1);          // image count
    // ICONDIRENTRY
    ico += (char)ICON_SIZE; // width
    ico += (char)ICON_SIZE; // height
    ico += (char)16;        // colour count
    ico += (char)0;         // reserved
    Put16(ico, 1);          // planes
    Put16(ico, 4);          // bits per pixel
    Put32(ico, imageBytes);
    Put32(ico, 6 + 16);     // offset of the image
    // BITMAPINFOHEADER
    Put32(ico, 40);
    Put32(ico, ICON_SIZE);
    Put32(ico, ICON_SIZE * 2);
    Put16(ico, 1);
    Put16(ico, 4);
    Put32(ico, 0);          // BI_RGB
    Put32(ico, xorBytes + andBytes);
    Put32(ico, 0);
    Put32(ico, 0);
    Put32(ico, 0);
    Put32(ico, 0);
    // RGBQUAD palette: blue, green, red, reserved
    for (uint32_t rgb : PALETTE) {
        ico += (char)(rgb & 0xFF);
        ico += (char)((rgb >> 8) & 0xFF);
        ico += (char)((rgb >> 16) & 0xFF);
        ico += (char)0;
    }
    // XOR bitmap, bottom row first, high nibble is the left pixel.
    for (int y = ICON_SIZE - 1; y >= 0; --y) {
        for (int x = 0; x < ICON_SIZE; x += 2) {
            int left = grid[y * ICON_SIZE + x], right = grid[y * ICON_SIZE + x + 1];
            if (left == TRANSPARENT) left = 0;
            if (right == TRANSPARENT) right = 0;
            ico += (char)((left << 4) | right);
        }
    }
    // AND mask, bottom row first, most significant bit is the left pixel.
    for (int y = ICON_SIZE - 1; y >= 0; --y) {
        std::string row(andStride, '\0');
        for (int x = 0; x < ICON_SIZE; ++x)
            if (grid[y * ICON_SIZE + x] == TRANSPARENT) row[x / 8] |= (char)(0x80 >> (x % 8));
        ico += row;
    }
    return ico;
}

uint32_t Crc32(const std::string &data)
{
    static uint32_t table[256];
    static bool ready = false;
    if (!ready) {
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[n] = c;
        }
        ready = true;
    }
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char b : data) crc = table[(crc ^ b) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

uint32_t Adler32(const std::string &data)
{
    uint32_t a = 1, b = 0;
    for (unsigned char byte : data) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    return (b << 16) | a;
}

// A zlib stream made of stored (uncompressed) deflate blocks.
std::string ZlibStored(const std::string &data)
{
    std::string out;
    out += (char)0x78;      // deflate, 32K window
    out += (char)0x01;      // no dictionary, fastest; (0x7801 % 31 == 0)
    size_t pos = 0;
    do {
        size_t len = data.size() - pos;
        if (len > 65535) len = 65535;
        bool last = pos + len == data.size();
        out += (char)(last ? 1 : 0);    // BFINAL, BTYPE 00
        Put16(out, (uint32_t)len);
        Put16(out, (uint32_t)(~len & 0xFFFF));
        out.append(data, pos, len);
        pos += len;
    } while (pos < data.size());
    Put32BE(out, Adler32(data));
    return out;
}

void PutChunk(std::string &png, const char *type, const std::string &body)
{
    Put32BE(png, (uint32_t)body.size());
    std::string typed = std::string(type, 4) + body;
    png += typed;
    Put32BE(png, Crc32(typed));
}

// The preview: RGBA, each icon pixel an 8x8 block, alpha 0 where transparent.
std::string BuildPng(const Grid &grid)
{
    const int side = ICON_SIZE * PREVIEW_SCALE;
    std::string raw;
    raw.reserve((size_t)side * (1 + side * 4));
    for (int y = 0; y < side; ++y) {
        raw += (char)0;     // filter: none
        for (int x = 0; x < side; ++x) {
            int index = grid[(y / PREVIEW_SCALE) * ICON_SIZE + x / PREVIEW_SCALE];
            uint32_t rgb = index == TRANSPARENT ? 0 : PALETTE[index];
            raw += (char)((rgb >> 16) & 0xFF);
            raw += (char)((rgb >> 8) & 0xFF);
            raw += (char)(rgb & 0xFF);
            raw += (char)(index == TRANSPARENT ? 0 : 0xFF);
        }
    }

    std::string ihdr;
    Put32BE(ihdr, side);
    Put32BE(ihdr, side);
    ihdr += (char)8;        // bit depth
    ihdr += (char)6;        // colour type: RGBA
    ihdr += (char)0;        // compression
    ihdr += (char)0;        // filter method
    ihdr += (char)0;        // no interlace

    std::string png("\x89PNG\r\n\x1a\n", 8);
    PutChunk(png, "IHDR", ihdr);
    PutChunk(png, "IDAT", ZlibStored(raw));
    PutChunk(png, "IEND", std::string());
    return png;
}

bool WriteFile(const char *path, const std::string &data)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return Fail(std::string("cannot create ") + path);
    out.write(data.data(), (std::streamsize)data.size());
    out.close();
    if (!out) return Fail(std::string("cannot write ") + path);
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 4) {
        std::cerr << "usage: mkicon icon.txt out.ico out.png\n";
        return 2;
    }
    Grid grid;
    if (!ReadGrid(argv[1], grid)) return 1;
    if (!WriteFile(argv[2], BuildIco(grid))) return 1;
    if (!WriteFile(argv[3], BuildPng(grid))) return 1;
    return 0;
}
