// The EDC sixteen bytes at a time (slicing by 16): sixteen tables, one step per 16
// bytes. It runs on any processor, and finishes what the folding methods leave over.
#include "EdcMethods.h"

#include "LittleEndian.h"

namespace {

constexpr uint32_t kPolynomial = 0xD8018001;  // 0x8001801B reflected
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

}  // namespace

uint32_t ContinueEdcByTable(uint32_t crc, const unsigned char* data, size_t size) {
    const auto& t = Tables().t;
    for (; size >= 16; data += 16, size -= 16) {
        const uint32_t a = crc ^ LittleEndian32(data), b = LittleEndian32(data + 4), c = LittleEndian32(data + 8), d = LittleEndian32(data + 12);
        crc = t[15][a & 0xFF] ^ t[14][(a >> 8) & 0xFF] ^ t[13][(a >> 16) & 0xFF] ^ t[12][a >> 24] ^
              t[11][b & 0xFF] ^ t[10][(b >> 8) & 0xFF] ^ t[9][(b >> 16) & 0xFF] ^ t[8][b >> 24] ^
              t[7][c & 0xFF] ^ t[6][(c >> 8) & 0xFF] ^ t[5][(c >> 16) & 0xFF] ^ t[4][c >> 24] ^
              t[3][d & 0xFF] ^ t[2][(d >> 8) & 0xFF] ^ t[1][(d >> 16) & 0xFF] ^ t[0][d >> 24];
    }
    for (; size > 0; ++data, --size) crc = (crc >> 8) ^ t[0][(crc ^ *data) & 0xFF];
    return crc;
}

