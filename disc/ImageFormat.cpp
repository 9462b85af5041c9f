// Format detection: a few bytes read at fixed places.
#include "ImageFormat.h"

#include <cstring>

#include "ImageFile.h"
#include "TrackReader.h"

namespace {

constexpr uint64_t kDescriptorSector = 16;
constexpr uint64_t kStoredPregap = 150;
constexpr uint64_t kCookedMinimum = (kDescriptorSector + 1) * 2048;  // the descriptor's whole sector
const unsigned char kSync[12] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};

bool BytesAt(FILE* file, uint64_t position, const void* expected, size_t size) {
    unsigned char found[16] = {};
    const bool same = SeekFile64(file, position) && std::fread(found, 1, size, file) == size &&
                      std::memcmp(found, expected, size) == 0;
    SeekFile64(file, 0);
    return same;
}

struct Candidate {
    SectorFormat format;
    uint32_t stride;
    uint32_t dataOffset;  // of the descriptor's user data inside its sector
};

// Raw Mode 1 comes first: a raw image never passes for a cooked one by chance.
const Candidate kCandidates[] = {
    {SectorFormat::Raw, 2352, 16},    // raw Mode 1
    {SectorFormat::Cooked, 2048, 0},  // cooked: an .iso, a device
    {SectorFormat::Raw, 2352, 24},    // raw Mode 2 Form 1
    {SectorFormat::Mode2, 2336, 8},   // Mode 2 without sync and header
    {SectorFormat::Raw, 2448, 16},    // raw Mode 1 with subchannel
    {SectorFormat::Raw, 2448, 24},    // raw Mode 2 Form 1 with subchannel
};

}  // namespace

BareLayout DetectBareLayout(FILE* file) {
    for (uint64_t pregap : {uint64_t{0}, kStoredPregap}) {
        for (const Candidate& candidate : kCandidates) {
            const uint64_t sector = (pregap + kDescriptorSector) * candidate.stride;
            if (BytesAt(file, sector + candidate.dataOffset + 1, "CD001", 5)) {
                return {true, {candidate.format, candidate.stride, pregap * candidate.stride, 0, TrackPlace::kToTheEnd}};
            }
        }
    }
    return {false, {SectorFormat::Raw, 2352, 0, 0, TrackPlace::kToTheEnd}};
}

std::string DescribeNonImage(FILE* file, uint64_t size) {
    if (size == 0) return "an empty file";
    if (size < kCookedMinimum) return "too short for a volume descriptor (" + std::to_string(size) + " bytes)";
    if (size % 2352 == 0 && !BytesAt(file, kDescriptorSector * 2352, kSync, sizeof kSync))
        return "an audio track (raw sectors without sync)";
    return "";
}

namespace {
uint32_t FromBcd(unsigned char value) { return (value >> 4) * 10 + (value & 0x0F); }
}  // namespace

uint32_t RecordedTrackStart(ByteSource& source, const TrackPlace& place) {
    unsigned char header[16] = {};
    if (place.format != SectorFormat::Raw || source.ReadAt(place.offset, header, sizeof header) != sizeof header ||
        std::memcmp(header, kSync, sizeof kSync) != 0)
        return place.firstLba;
    const uint32_t frames = (FromBcd(header[12]) * 60 + FromBcd(header[13])) * 75 + FromBcd(header[14]);
    // No disc is longer than 100 minutes: an address past that is a damaged header.
    return frames >= 150 && frames < 100 * 60 * 75 ? frames - 150 : place.firstLba;
}
