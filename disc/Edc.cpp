// The EDC sixteen bytes at a time (slicing by 16): sixteen tables, one step per 16
// bytes, so that checking every sector of a disc costs about what writing it out does;
// and the ECC, which CHD files strip from the sectors they store and we restore.
#include "Edc.h"

#include <cstring>

#include "EdcFolding.h"

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

uint32_t ContinueEdcByTable(uint32_t crc, const unsigned char* data, size_t size) {
    const auto& t = Tables().t;
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

const char* EdcMethodName(EdcMethod method) {
    switch (method) {
    case EdcMethod::Table: return "sliced table";
    case EdcMethod::CarrylessX86: return "PCLMULQDQ";
    case EdcMethod::WideCarrylessX86: return "VPCLMULQDQ (AVX-512)";
    case EdcMethod::CarrylessArm: return "PMULL";
    }
    return "?";
}

bool EdcMethodRuns(EdcMethod method) {
    switch (method) {
    case EdcMethod::Table: return true;
    case EdcMethod::CarrylessX86: return CarrylessX86Runs();
    case EdcMethod::WideCarrylessX86: return WideCarrylessX86Runs();
    case EdcMethod::CarrylessArm: return CarrylessArmRuns();
    }
    return false;
}

EdcMethod FastestEdcMethod() {
    static const EdcMethod fastest = EdcMethodRuns(EdcMethod::WideCarrylessX86) ? EdcMethod::WideCarrylessX86
                                     : EdcMethodRuns(EdcMethod::CarrylessX86)   ? EdcMethod::CarrylessX86
                                     : EdcMethodRuns(EdcMethod::CarrylessArm)   ? EdcMethod::CarrylessArm
                                                                                : EdcMethod::Table;
    return fastest;
}

uint32_t ComputeEdcWith(EdcMethod method, const unsigned char* data, size_t size) {
    switch (method) {
    case EdcMethod::CarrylessX86: return EdcByCarrylessX86(data, size);
    case EdcMethod::WideCarrylessX86: return EdcByWideCarrylessX86(data, size);
    case EdcMethod::CarrylessArm: return EdcByCarrylessArm(data, size);
    case EdcMethod::Table: break;
    }
    return ContinueEdcByTable(0, data, size);
}

uint32_t ComputeEdc(const unsigned char* data, size_t size) { return ComputeEdcWith(FastestEdcMethod(), data, size); }

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
