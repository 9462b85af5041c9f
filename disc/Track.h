// A track of a disc as a container holds it: how its sectors are laid out and where.
#pragma once

#include <cstdint>

// How one sector is stored.
enum class SectorFormat {
    Cooked,  // the 2048 user-data bytes alone (.iso, MODE1/2048, MODE2/2048)
    Raw,     // all 2352 bytes; the mode byte says Mode 1 (data at 16) or Mode 2 (data at 24)
    Mode2,   // 2336 bytes, Mode 2 without sync and header (subheader at 0, data at 8)
    Audio,   // 2352 bytes of samples: never read as data
};

// The bytes a sector of that format takes, without subchannel.
uint32_t SectorBytes(SectorFormat format);

// The subchannel some rips keep after each sector.
constexpr uint32_t kSubchannelBytes = 96;

// Where a track's sectors lie in the file (or other byte source) that holds them.
struct TrackPlace {
    SectorFormat format = SectorFormat::Raw;
    uint32_t stride = 2352;    // bytes from one sector to the next: SectorBytes, plus 96 with subchannel
    uint64_t offset = 0;       // byte offset of the track's first sector (its INDEX 01)
    uint32_t firstLba = 0;     // the disc address of that sector
    uint64_t sectors = kToTheEnd;  // how many the track holds there
    static constexpr uint64_t kToTheEnd = UINT64_MAX;  // as many as the file holds
};
