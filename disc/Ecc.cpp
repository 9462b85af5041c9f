// The ECC of a raw sector, which CHD files strip from the sectors they store and we restore.
#include "Edc.h"

#include <cstring>

namespace {

// GF(2^8) with x^8+x^4+x^3+x^2+1: multiplying by alpha (eccF), and dividing by alpha+1 (eccB).
struct EccTables {
    unsigned char eccF[256];
    unsigned char eccB[256];
    EccTables() {
        for (uint32_t i = 0; i < 256; ++i) {
            const uint32_t j = (i << 1) ^ ((i & 0x80) ? 0x11D : 0);
            eccF[i] = static_cast<unsigned char>(j);
            eccB[i ^ j] = static_cast<unsigned char>(i);
        }
    }
};

const EccTables& GetEccTables() {
    static const EccTables tables;
    return tables;
}

// One set of parity bytes (P: 86 x 24, Q: 52 x 43) over the 2340 bytes from the header on.
void ComputeEccBlock(const unsigned char* source, uint32_t majorCount, uint32_t minorCount, uint32_t majorMult,
                     uint32_t minorInc, unsigned char* dest) {
    const EccTables& t = GetEccTables();
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

}  // namespace

void ComputeEcc(unsigned char* raw) {
    // Mode 2 takes the header as zero: its sectors may move (the address is not protected).
    unsigned char header[4];
    std::memcpy(header, raw + 12, 4);
    if (raw[15] == 2) std::memset(raw + 12, 0, 4);
    ComputeEccBlock(raw + 12, 86, 24, 2, 86, raw + 2076);   // P parity
    ComputeEccBlock(raw + 12, 52, 43, 86, 88, raw + 2248);  // Q parity
    std::memcpy(raw + 12, header, 4);
}
