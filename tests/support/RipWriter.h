// Writers of the rips no Debian tool makes: Alcohol's MDS descriptor and Nero's NRG image.
#pragma once

#include <cstdint>
#include <vector>

#include "IsoBuilder.h"

namespace test {

// Alcohol's descriptor, version 1: header, one area, the A0 to A2 blocks and one block a
// track, an extra block a track (pregap, length), a footer naming "*.mdf".
struct MdsTrack {
    unsigned char mode;  // 0xA9 audio, 0xAA Mode 1, 0xAB Mode 2, 0xEC Form 1
    uint32_t sectorSize, lba;
    uint64_t offset;
    uint32_t length;
};
Bytes MdsDescriptor(const std::vector<MdsTrack>& tracks);

// Nero: `image`'s sectors, then the chunks (big-endian), then the footer pointing at them.
struct NrgTrack {
    unsigned char mode;  // Nero's mode code
    uint32_t size;
    uint64_t index0, index1, end;  // file offsets
    uint32_t lba;
    bool data;
};
Bytes NrgImage(Bytes image, const std::vector<NrgTrack>& tracks, bool version2, bool tao);

}  // namespace test
