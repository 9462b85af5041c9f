// The EDC sixteen bytes at a time (slicing by 16): sixteen tables, one step per 16
// bytes, so that checking every sector of a disc costs about what writing it out does.
#include "Edc.h"

#include <cstring>

namespace {

constexpr uint32_t kPolynomial = 0xD8018001;  // 0x8001801B reflected
constexpr size_t kEdcOffset = 2064;
constexpr size_t kRawSize = 2352;

constexpr int kSlices = 16;

struct EdcTables {
    uint32_t t[kSlices][256];
    EdcTables() {
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t crc = i;
            for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ ((crc & 1) ? kPolynomial : 0);
            t[0][i] = crc;
        }
        for (uint32_t i = 0; i < 256; ++i) {
            for (int s = 1; s < kSlices; ++s) t[s][i] = (t[s - 1][i] >> 8) ^ t[0][t[s - 1][i] & 0xFF];
        }
    }
};

const EdcTables& Tables() {
    static const EdcTables tables;
    return tables;
}

uint32_t ReadLe32(const unsigned char* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

}  // namespace

uint32_t ComputeEdc(const unsigned char* data, size_t size) {
    const auto& t = Tables().t;
    uint32_t crc = 0;
    for (; size >= 16; data += 16, size -= 16) {
        const uint32_t a = crc ^ ReadLe32(data), b = ReadLe32(data + 4), c = ReadLe32(data + 8), d = ReadLe32(data + 12);
        crc = t[15][a & 0xFF] ^ t[14][(a >> 8) & 0xFF] ^ t[13][(a >> 16) & 0xFF] ^ t[12][a >> 24] ^
              t[11][b & 0xFF] ^ t[10][(b >> 8) & 0xFF] ^ t[9][(b >> 16) & 0xFF] ^ t[8][b >> 24] ^
              t[7][c & 0xFF] ^ t[6][(c >> 8) & 0xFF] ^ t[5][(c >> 16) & 0xFF] ^ t[4][c >> 24] ^
              t[3][d & 0xFF] ^ t[2][(d >> 8) & 0xFF] ^ t[1][(d >> 16) & 0xFF] ^ t[0][d >> 24];
    }
    for (; size > 0; ++data, --size) crc = (crc >> 8) ^ t[0][(crc ^ *data) & 0xFF];
    return crc;
}

namespace {

// A sector whose codes (EDC and ECC, bytes `from` to `to`) are all zero carries none.
SectorCodes Verdict(uint32_t computed, const unsigned char* sector, size_t from, size_t to) {
    if (computed == ReadLe32(sector + from)) return SectorCodes::Sound;
    for (size_t i = from; i < to; ++i) {
        if (sector[i] != 0) return SectorCodes::Damaged;
    }
    return SectorCodes::Absent;
}

}  // namespace

SectorCodes CheckMode1Sector(const unsigned char* raw) {
    return Verdict(ComputeEdc(raw, kEdcOffset), raw, kEdcOffset, kRawSize);
}

SectorCodes CheckForm1Sector(const unsigned char* form1) {
    constexpr size_t kForm1EdcOffset = 8 + 2048, kForm1Size = 2336;
    return Verdict(ComputeEdc(form1, kForm1EdcOffset), form1, kForm1EdcOffset, kForm1Size);
}
