// A bare image or device: one track, its sector layout told from where the volume
// descriptor's identifier "CD001" (sector 16) stands: 2048-byte sectors (an .iso or a
// device), raw 2352-byte sectors in Mode 1 or Mode 2 Form 1, 2336-byte Mode 2 sectors, or
// raw sectors with 96 bytes of subchannel each; in each, also 150 sectors further in,
// where a rip keeps the 2-second pregap. The track starts at disc address 0 unless its
// sectors' headers say otherwise. A file where it stands nowhere is read as raw, so that
// it fails as one, and is described for the message.
#include <cstring>

#include "Container.h"

namespace {

constexpr uint64_t kDescriptorSector = 16;
constexpr uint64_t kStoredPregap = 150;
constexpr uint64_t kCookedMinimum = (kDescriptorSector + 1) * kUserDataBytes;  // the descriptor's whole sector

bool BytesAt(ByteSource& source, uint64_t position, const void* expected, size_t size) {
    unsigned char found[16] = {};
    return source.ReadAt(position, found, size) == size && std::memcmp(found, expected, size) == 0;
}

struct Candidate {
    SectorFormat format;
    uint32_t stride;
    uint32_t dataOffset;  // of the descriptor's user data inside its sector
};

// Raw Mode 1 comes first: a raw image never passes for a cooked one by chance.
const Candidate kCandidates[] = {
    {SectorFormat::RawMode1Or2, kRawSectorBytes, 16},                     // raw Mode 1
    {SectorFormat::Cooked, kUserDataBytes, 0},                            // cooked: an .iso, a device
    {SectorFormat::RawMode1Or2, kRawSectorBytes, 24},                     // raw Mode 2 Form 1
    {SectorFormat::Mode2NoHeader, 2336, 8},                               // Mode 2 without sync and header
    {SectorFormat::RawMode1Or2, kRawSectorBytes + kSubchannelBytes, 16},  // raw Mode 1 with subchannel
    {SectorFormat::RawMode1Or2, kRawSectorBytes + kSubchannelBytes, 24},  // raw Mode 2 Form 1 with subchannel
};

// What a file read as raw but holding no volume descriptor was found to be: "an empty
// file", "too short for a volume descriptor (N bytes)", "an audio track (raw sectors
// without sync)"; "" when nothing more can be said.
std::string DescribeNonImage(ByteSource& source, uint64_t size) {
    if (size == 0) return "an empty file";
    if (size < kCookedMinimum) return "too short for a volume descriptor (" + std::to_string(size) + " bytes)";
    if (size % kRawSectorBytes == 0 && !BytesAt(source, kDescriptorSector * kRawSectorBytes, kSync, sizeof kSync))
        return "an audio track (raw sectors without sync)";
    return "";
}

bool ReadBare(const FileHead& head, DiscFiles&, DiscLayout& layout, DiscProblem&) {
    for (uint64_t pregap : {uint64_t{0}, kStoredPregap}) {
        for (const Candidate& candidate : kCandidates) {
            const uint64_t sector = (pregap + kDescriptorSector) * candidate.stride;
            if (BytesAt(*head.source, sector + candidate.dataOffset + 1, "CD001", 5)) {
                const TrackPlace place{candidate.format, candidate.stride, pregap * candidate.stride, 0, TrackPlace::kToTheEnd};
                layout.tracks.push_back({1, true, head.path, place, head.source});
                return true;
            }
        }
    }
    layout.tracks.push_back({1, true, head.path, TrackPlace{}, head.source});
    layout.notAnImage = DescribeNonImage(*head.source, head.size);
    return true;
}

bool AnyFile(const FileHead&) { return true; }

}  // namespace

const ContainerFormat kBareImage = {"a bare image", AnyFile, nullptr, nullptr, ReadBare};
