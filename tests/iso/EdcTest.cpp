// The sector EDC against a plain bit-by-bit CRC, and what a sector's codes say.
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
