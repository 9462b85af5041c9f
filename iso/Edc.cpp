// The EDC eight bytes at a time (slicing by 8): eight tables, one step per 8 bytes.
#include "Edc.h"

#include <cstring>

namespace {

constexpr uint32_t kPolynomial = 0xD8018001;  // 0x8001801B reflected
constexpr size_t kEdcOffset = 2064;
constexpr size_t kRawSize = 2352;

struct EdcTables {
    uint32_t t[8][256];
    EdcTables() {
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t crc = i;
            for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ ((crc & 1) ? kPolynomial : 0);
            t[0][i] = crc;
        }
        for (uint32_t i = 0; i < 256; ++i) {
            for (int s = 1; s < 8; ++s) t[s][i] = (t[s - 1][i] >> 8) ^ t[0][t[s - 1][i] & 0xFF];
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
    for (; size >= 8; data += 8, size -= 8) {
        const uint32_t low = crc ^ ReadLe32(data), high = ReadLe32(data + 4);
        crc = t[7][low & 0xFF] ^ t[6][(low >> 8) & 0xFF] ^ t[5][(low >> 16) & 0xFF] ^ t[4][low >> 24] ^
              t[3][high & 0xFF] ^ t[2][(high >> 8) & 0xFF] ^ t[1][(high >> 16) & 0xFF] ^ t[0][high >> 24];
    }
    for (; size > 0; ++data, --size) crc = (crc >> 8) ^ t[0][(crc ^ *data) & 0xFF];
    return crc;
}

SectorCodes CheckMode1Sector(const unsigned char* raw) {
    if (ComputeEdc(raw, kEdcOffset) == ReadLe32(raw + kEdcOffset)) return SectorCodes::Sound;
    for (size_t i = kEdcOffset; i < kRawSize; ++i) {
        if (i >= 2068 && i < 2076) continue;  // the 8 bytes between EDC and ECC are zero anyway
        if (raw[i] != 0) return SectorCodes::Damaged;
    }
    return SectorCodes::Absent;
}
