// The sector EDC against a plain bit-by-bit CRC, and what a sector's codes say.
#include <cstdio>
#include <random>

#include <gtest/gtest.h>

#include "RawSector.h"
#include "disc/Edc.h"

namespace {

uint32_t BitByBit(const unsigned char* data, size_t size) {
    uint32_t crc = 0;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ ((crc & 1) ? 0xD8018001u : 0);
    }
    return crc;
}

TEST(Edc, MatchesTheBitByBitCrcForEveryLengthAndAlignment) {
    std::mt19937 random(1207);
    std::vector<unsigned char> data(2100);
    for (auto& byte : data) byte = static_cast<unsigned char>(random());
    for (size_t start = 0; start < 8; ++start) {
        for (size_t size : {0, 1, 7, 8, 9, 63, 2064}) {
            EXPECT_EQ(ComputeEdc(data.data() + start, size), BitByBit(data.data() + start, size)) << start << " " << size;
        }
    }
}

// Every method this processor runs (the table anywhere; PCLMULQDQ or PMULL where it has
// them) gives the bit-by-bit EDC: on random sectors, and on every length around the
// folding's steps of 16 and 64 bytes.
TEST(Edc, EveryMethodThatRunsAgrees) {
    std::mt19937 random(2352);
    std::vector<unsigned char> data(2100 * 64 + 2352);  // room past the last for the longest size
    for (auto& byte : data) byte = static_cast<unsigned char>(random());
    int methods = 0;
    for (EdcMethod method : kEdcMethods) {
        if (!EdcMethodRuns(method)) continue;
        ++methods;
        for (size_t sector = 0; sector < 64; ++sector) {
            const unsigned char* start = data.data() + sector * 2100 + sector % 16;
            for (size_t size : {size_t{2064}, size_t{2056}, size_t{2332}}) {
                ASSERT_EQ(ComputeEdcWith(method, start, size), BitByBit(start, size))
                    << EdcMethodName(method) << ", sector " << sector << ", " << size << " bytes";
            }
        }
        for (size_t size = 0; size <= 300; ++size) {
            ASSERT_EQ(ComputeEdcWith(method, data.data() + 3, size), BitByBit(data.data() + 3, size))
                << EdcMethodName(method) << ", " << size << " bytes";
        }
    }
    EXPECT_GE(methods, 1);
    std::printf("EDC methods checked here: %d (ComputeEdc uses %s)\n", methods, EdcMethodName(FastestEdcMethod()));
}

TEST(Edc, ASectorIsSoundDamagedOrWithoutCodes) {
    std::vector<unsigned char> user(2048, 0x42), raw(kRawSectorSize);
    MakeRawMode1Sector(16, user.data(), raw.data());
    EXPECT_EQ(CheckMode1Sector(raw.data()), SectorCodes::Sound);
    raw[100] ^= 1;
    EXPECT_EQ(CheckMode1Sector(raw.data()), SectorCodes::Damaged);
    std::fill(raw.begin() + 2064, raw.end(), 0);
    EXPECT_EQ(CheckMode1Sector(raw.data()), SectorCodes::Absent);
}

}  // namespace
