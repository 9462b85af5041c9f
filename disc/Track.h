// A track of a disc as a container holds it: how its sectors are laid out and where.
#pragma once

#include <cstdint>

#include "Sector.h"

// Where a track's sectors lie in the file (or other byte source) that holds them.
struct TrackPlace {
    SectorFormat format = SectorFormat::RawMode1Or2;
    uint32_t stride = kRawSectorBytes;  // bytes from one sector to the next: SectorBytes, plus 96 with subchannel
    uint64_t offset = 0;                // byte offset of the track's first sector (its INDEX 01)
    uint32_t firstLba = 0;              // the disc address of that sector
    uint64_t sectors = kToTheEnd;       // how many the track holds there
    static constexpr uint64_t kToTheEnd = UINT64_MAX;  // as many as the source holds
};
