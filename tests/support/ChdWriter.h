// Writes CHD images in code, for what chdman cannot make: hunks in Zstandard (cdzs).
#pragma once

#include <cstdint>
#include <string>

#include "IsoBuilder.h"

namespace test {

// A version 5 CHD of one track: `frames` (2448 bytes each, subchannel after the sector)
// in hunks of 8 frames, each coded cdzs, with the syncs and ECC of the sectors whose parity
// holds stripped as chdman strips them; `track` is its CHT2 text. The hunk `damaged`, if
// any, gets a CRC its data does not match, as a damaged copy would.
Bytes WriteChdZstd(const Bytes& frames, const std::string& track, size_t damaged = SIZE_MAX);

// Raw 2352-byte sectors as CHD frames: each followed by 96 bytes of empty subchannel.
Bytes WithEmptySubchannel(const Bytes& sectors);

}  // namespace test
