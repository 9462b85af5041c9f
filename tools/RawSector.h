// Writes CD-ROM Mode 1 raw sectors (ECMA-130): sync, address, user data, EDC and ECC.
#pragma once

#include <cstdint>
#include <vector>

constexpr uint32_t kRawSectorSize = 2352;
constexpr uint32_t kUserDataSize = 2048;

// Fills `raw` (2352 bytes) with the Mode 1 sector at logical block `lba` carrying `user` (2048 bytes).
void MakeRawMode1Sector(uint32_t lba, const unsigned char* user, unsigned char* raw);

// Wraps a cooked image (its last block padded with zeros) in raw Mode 1 sectors.
std::vector<unsigned char> WrapRawMode1(const std::vector<unsigned char>& cooked);
