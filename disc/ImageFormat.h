// Telling an image's format from its bytes, and saying what a file that is no image is.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "FileReader.h"

// Cooked when the identifier "CD001" stands at byte 32769 (sector 16 of 2048-byte
// sectors) and not where a raw image holds it (byte 37649); raw otherwise, so that an
// image that is neither fails as a raw one. Leaves the position at the start.
SectorLayout DetectSectorLayout(FILE* file);

// What a file read as raw but holding no volume descriptor was found to be, for the
// message: "an empty file", "too short for a volume descriptor (N bytes)", "an audio
// track (raw sectors without sync)"; "" when nothing more can be said.
std::string DescribeNonImage(FILE* file, uint64_t size);
