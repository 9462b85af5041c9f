// How a CD sector is stored, and the rules every reader of sectors shares: where its user
// data lies, how much of a cut-off sector counts, and how long a disc can be.
#pragma once

#include <cstdint>

// How one sector is stored.
enum class SectorFormat {
    Cooked,         // the 2048 user-data bytes alone (.iso, MODE1/2048, MODE2/2048)
    RawMode1Or2,    // all 2352 bytes; the mode byte says Mode 1 (data at 16) or Mode 2 (data at 24)
    Mode2NoHeader,  // 2336 bytes, Mode 2 without sync and header (subheader at 0, data at 8)
    Audio,          // 2352 bytes of samples: never read as data
};

constexpr uint32_t kUserDataBytes = 2048;
constexpr uint32_t kRawSectorBytes = 2352;
// The subchannel some rips keep after each sector.
constexpr uint32_t kSubchannelBytes = 96;

// The first 12 bytes of every raw data sector.
constexpr unsigned char kSync[12] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};

// The most sectors any disc address or track length may reach: far past any CD (100
// minutes are 450,000) and all that the 32-bit stream of user data can address (2^21).
// Every container checks what it is told against this.
constexpr uint32_t kLongestDisc = uint32_t{1} << 21;

// The bytes a sector of that format takes, without subchannel.
uint32_t SectorBytes(SectorFormat format);

// How many of a sector's first bytes tell its mode or form: the header, or the subheader.
uint32_t BytesToTellMode(SectorFormat format);

// Where the user data of `sector` (at least BytesToTellMode bytes of it) begins, or -1 when
// it holds none: Mode 2 Form 2, which holds no 2048 bytes of data, and audio.
int UserDataOffset(SectorFormat format, const unsigned char* sector);

// How many user-data bytes a sector holds when only its first `stored` bytes are there
// (`sector` points at them): the one rule for the last sector of a file cut short.
uint32_t UserDataStored(SectorFormat format, const unsigned char* sector, uint64_t stored);

// A raw sector's address from its header (MSF in BCD, less the 2-second lead-in); -1 when
// it is no address on a disc.
int64_t HeaderAddress(const unsigned char* raw);
