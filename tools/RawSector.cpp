// Mode 1 sector assembly: the EDC (iso/Edc) over sync, header and data; the ECC is ECMA-130's P and Q Reed-Solomon parity over the
// header, data, EDC and the 8 zero bytes.
#include "RawSector.h"

#include <algorithm>
#include <cstring>

#include "disc/Edc.h"

namespace {

struct Tables {
    unsigned char eccF[256];
    unsigned char eccB[256];
    Tables() {
        for (uint32_t i = 0; i < 256; ++i) {
            const uint32_t j = (i << 1) ^ ((i & 0x80) ? 0x11D : 0);
            eccF[i] = static_cast<unsigned char>(j);
            eccB[i ^ j] = static_cast<unsigned char>(i);
        }
    }
};

const Tables& GetTables() {
    static const Tables tables;
    return tables;
}

// One set of parity bytes (P: 86 x 24, Q: 52 x 43) over the 2340 bytes from the header on.
void ComputeEccBlock(const unsigned char* source, uint32_t majorCount, uint32_t minorCount, uint32_t majorMult,
                     uint32_t minorInc, unsigned char* dest) {
    const Tables& t = GetTables();
    const uint32_t size = majorCount * minorCount;
    for (uint32_t major = 0; major < majorCount; ++major) {
        uint32_t index = (major >> 1) * majorMult + (major & 1);
        unsigned char a = 0, b = 0;
        for (uint32_t minor = 0; minor < minorCount; ++minor) {
            const unsigned char value = source[index];
            index += minorInc;
            if (index >= size) index -= size;
            a ^= value;
            b ^= value;
            a = t.eccF[a];
        }
        a = t.eccB[t.eccF[a] ^ b];
        dest[major] = a;
        dest[major + majorCount] = a ^ b;
    }
}

unsigned char Bcd(uint32_t value) { return static_cast<unsigned char>((value / 10) << 4 | (value % 10)); }

}  // namespace

void MakeRawMode1Sector(uint32_t lba, const unsigned char* user, unsigned char* raw) {
    std::memset(raw, 0, kRawSectorSize);
    std::memset(raw + 1, 0xFF, 10);  // sync: 00 FF x10 00
    const uint32_t frames = lba + 150;  // the address counts the 2-second lead-in
    raw[12] = Bcd(frames / (60 * 75));
    raw[13] = Bcd(frames / 75 % 60);
    raw[14] = Bcd(frames % 75);
    raw[15] = 1;  // mode
    std::memcpy(raw + 16, user, kUserDataSize);
    const uint32_t edc = ComputeEdc(raw, 2064);
    for (int i = 0; i < 4; ++i) raw[2064 + i] = static_cast<unsigned char>(edc >> (8 * i));
    ComputeEccBlock(raw + 12, 86, 24, 2, 86, raw + 2076);   // P parity
    ComputeEccBlock(raw + 12, 52, 43, 86, 88, raw + 2248);  // Q parity
}

std::vector<unsigned char> WrapRawMode1(const std::vector<unsigned char>& cooked) {
    const size_t blocks = (cooked.size() + kUserDataSize - 1) / kUserDataSize;
    std::vector<unsigned char> raw(blocks * kRawSectorSize);
    unsigned char user[kUserDataSize];
    for (size_t b = 0; b < blocks; ++b) {
        const size_t start = b * kUserDataSize;
        const size_t count = std::min<size_t>(kUserDataSize, cooked.size() - start);
        std::memset(user, 0, sizeof user);
        std::memcpy(user, cooked.data() + start, count);
        MakeRawMode1Sector(static_cast<uint32_t>(b), user, raw.data() + b * kRawSectorSize);
    }
    return raw;
}
