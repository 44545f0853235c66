// runfromswap: marks a 32-bit Windows program to be run from the swap file
// when it is started from removable media, as setup.exe is from the disc.
//
//   runfromswap setup.exe
//
// Sets IMAGE_FILE_REMOVABLE_RUN_FROM_SWAP in the file header, which GNU ld
// has no option for, and writes the image checksum anew.  Running it again
// changes nothing.
//
// Host tool, standard library only.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

namespace {

const uint16_t REMOVABLE_RUN_FROM_SWAP = 0x0400;
const size_t CHARACTERISTICS = 4 + 18;  // from "PE\0\0": signature, then the COFF header's field
const size_t CHECKSUM = 4 + 20 + 64;    // the optional header's CheckSum

uint32_t Read(const std::vector<uint8_t> &b, size_t at, int bytes)
{
    uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; i--)
        value = value << 8 | b[at + i];
    return value;
}

void Write(std::vector<uint8_t> &b, size_t at, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; i++)
        b[at + i] = (uint8_t)(value >> (8 * i));
}

// The PE image checksum: the file's 16-bit words summed with their carries
// folded back in, the checksum field itself taken as zero, plus the
// file's length.
uint32_t ImageChecksum(const std::vector<uint8_t> &b, size_t checksumAt)
{
    uint32_t sum = 0;
    for (size_t at = 0; at < b.size(); at += 2) {
        if (at >= checksumAt && at < checksumAt + 4)
            continue;
        sum += at + 1 < b.size() ? Read(b, at, 2) : b[at];
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    return sum + (uint32_t)b.size();
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::cerr << "usage: runfromswap FILE.exe\n";
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::vector<uint8_t> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    size_t pe = b.size() >= 64 && b[0] == 'M' && b[1] == 'Z' ? Read(b, 0x3C, 4) : 0;
    if (!pe || pe + CHECKSUM + 4 > b.size() || Read(b, pe, 4) != 0x00004550 || Read(b, pe + 24, 2) != 0x10B) {
        std::cerr << argv[1] << ": not a 32-bit PE program\n";
        return 1;
    }
    Write(b, pe + CHARACTERISTICS, Read(b, pe + CHARACTERISTICS, 2) | REMOVABLE_RUN_FROM_SWAP, 2);
    Write(b, pe + CHECKSUM, ImageChecksum(b, pe + CHECKSUM), 4);
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out.write((const char *)b.data(), (std::streamsize)b.size());
    if (!out) {
        std::cerr << argv[1] << ": cannot write\n";
        return 1;
    }
    return 0;
}
