// Telling a bare image's sector layout from its bytes, and saying what a file that is no
// image is.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "Track.h"

struct BareLayout {
    bool found = false;  // a volume descriptor was found where the layout puts it
    TrackPlace place;
};

// Where the identifier "CD001" of the volume descriptor (sector 16) stands tells the
// layout: 2048-byte sectors (an .iso or a device), raw 2352-byte sectors in Mode 1 or
// Mode 2 Form 1, 2336-byte Mode 2 sectors, or raw sectors with 96 bytes of subchannel
// each; in each, also 150 sectors further in, where a rip keeps the 2-second pregap.
// The track is taken to start at disc address 0 (RecordedTrackStart can say otherwise).
// When it stands nowhere, the file is taken as raw, so that it fails as one. Leaves the
// position at the start.
BareLayout DetectBareLayout(FILE* file);

class ByteSource;

// Where a track of raw sectors starts on the disc, as its first sector's header records it
// (MSF less the 2-second lead-in); `place.firstLba`, what its container says, for other
// layouts or a header that is not there. The sectors' own word wins over the container's:
// a data track after audio is read at its address, however it was ripped.
uint32_t RecordedTrackStart(ByteSource& source, const TrackPlace& place);

// What a file read as raw but holding no volume descriptor was found to be, for the
// message: "an empty file", "too short for a volume descriptor (N bytes)", "an audio
// track (raw sectors without sync)"; "" when nothing more can be said.
std::string DescribeNonImage(FILE* file, uint64_t size);
