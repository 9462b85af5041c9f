// What the parts of the CHD reader share: the frame's layout, the header's fields, the
// map's entries and the checks on them. Everything on disk is big-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "disc/Sector.h"

class ByteSource;

constexpr uint32_t kFrameBytes = kRawSectorBytes + kSubchannelBytes;  // a sector, then its subchannel
constexpr uint64_t kLargestDisc = uint64_t{kLongestDisc} * kFrameBytes;
constexpr uint32_t kLargestHunk = 1 << 20;

constexpr uint32_t FourCc(const char* text) {
    return uint32_t(uint8_t(text[0])) << 24 | uint32_t(uint8_t(text[1])) << 16 | uint32_t(uint8_t(text[2])) << 8 | uint8_t(text[3]);
}

enum HunkType : uint8_t {
    kCodec0 = 0, kCodec3 = 3, kStored = 4, kSelf = 5, kParent = 6,
    kRleSmall = 7, kRleLarge = 8, kSelf0 = 9, kSelf1 = 10, kParentSelf = 11, kParent0 = 12, kParent1 = 13,
};

struct MapEntry {
    uint8_t type = kStored;
    uint32_t length = 0;
    uint64_t offset = 0;  // in the file; or, for a copy, the hunk copied
    uint16_t crc = 0;
};

struct ChdHeader {
    uint32_t codecs[4] = {};
    uint64_t logicalBytes = 0, mapOffset = 0, metadataOffset = 0;
    uint32_t hunkBytes = 0, unitBytes = 0;
    uint64_t hunks = 0;
};

// CRC-16/CCITT-FALSE, as the map and each hunk are checked.
uint16_t Crc16(const unsigned char* data, size_t size);

// The `count` bytes at `offset` of the file, when it holds them all.
bool ReadRange(ByteSource& file, uint64_t fileSize, uint64_t offset, uint64_t count, std::string& bytes);
