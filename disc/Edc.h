// The EDC of a CD-ROM Mode 1 sector (ECMA-130 14.3): a CRC-32 over its sync, header and
// user data (bytes 0 to 2063), polynomial x^32+x^31+x^16+x^15+x^4+x^3+x+1, taken
// reflected, starting from 0, stored little-endian in bytes 2064 to 2067.
#pragma once

#include <cstddef>
#include <cstdint>

uint32_t ComputeEdc(const unsigned char* data, size_t size);

// What a raw sector's codes say.
enum class SectorCodes {
    Sound,    // its EDC matches
    Damaged,  // its EDC does not
    Absent,   // its EDC and ECC bytes are all zero: it carries none
};
SectorCodes CheckMode1Sector(const unsigned char* raw);  // raw: 2352 bytes
