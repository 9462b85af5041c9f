// Format detection: a few bytes read at fixed places.
#include "ImageFormat.h"

#include <cstring>

#include "ImageFile.h"

namespace {

constexpr uint64_t kDescriptorSector = 16;
constexpr uint64_t kCookedIdentifier = kDescriptorSector * 2048 + 1;    // 32769
constexpr uint64_t kRawIdentifier = kDescriptorSector * 2352 + 16 + 1;  // 37649
constexpr uint64_t kCookedMinimum = (kDescriptorSector + 1) * 2048;     // the descriptor's whole sector
const unsigned char kSync[12] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};

bool BytesAt(FILE* file, uint64_t position, const void* expected, size_t size) {
    unsigned char found[16] = {};
    const bool same = SeekFile64(file, position) && std::fread(found, 1, size, file) == size &&
                      std::memcmp(found, expected, size) == 0;
    SeekFile64(file, 0);
    return same;
}

}  // namespace

SectorLayout DetectSectorLayout(FILE* file) {
    const bool cooked = BytesAt(file, kCookedIdentifier, "CD001", 5) && !BytesAt(file, kRawIdentifier, "CD001", 5);
    return cooked ? SectorLayout::Cooked : SectorLayout::Raw;
}

std::string DescribeNonImage(FILE* file, uint64_t size) {
    if (size == 0) return "an empty file";
    if (size < kCookedMinimum) return "too short for a volume descriptor (" + std::to_string(size) + " bytes)";
    if (size % 2352 == 0 && !BytesAt(file, kDescriptorSector * 2352, kSync, sizeof kSync))
        return "an audio track (raw sectors without sync)";
    return "";
}
