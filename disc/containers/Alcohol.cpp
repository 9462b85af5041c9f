// Alcohol 120%'s MDS descriptor (version 1) beside its MDF of sectors. Little-endian:
// an 88-byte header ("MEDIA DESCRIPTOR", version, disc areas and where their blocks lie),
// a 24-byte block per area pointing at its 80-byte track blocks, each with the sectors'
// mode, size (2048, 2336, 2352, or 2448 with subchannel), disc address and MDF offset, and
// a footer naming the MDF ("*.mdf": the descriptor's own name).
#include "Container.h"
#include "Sheet.h"
#include "disc/containers/ByteView.h"

namespace {

// A descriptor with its track blocks is small; DPM data can grow it, never to this.
constexpr uint64_t kDescriptorLimit = 16 << 20;
constexpr char kMagic[] = "MEDIA DESCRIPTOR";

// The MDF the footer at `footer` names, as a path.
std::string DataFileName(ByteView& view, const FileHead& head, uint64_t footer) {
    std::string name;
    if (footer != 0) {
        const uint64_t at = view.Le(footer, 4);
        const bool wide = view.Le(footer + 4, 4) == 1;
        for (uint64_t i = at; view.Has(i, wide ? 2 : 1) && name.size() < 1024; i += wide ? 2 : 1) {
            const uint64_t c = wide ? view.Le(i, 2) : view.Le(i, 1);
            if (c == 0) break;
            if (c >= 0x80) return {};  // not ASCII: taken for the usual name below
            name += static_cast<char>(c);
        }
    }
    if (name.empty() || name == "*.mdf" || name == "*.MDF") {
        const std::string companion = CompanionPath(head.path, ".mdf");
        const size_t dot = head.path.find_last_of('.');
        return companion.empty() ? head.path.substr(0, dot) + ".mdf" : companion;
    }
    return SheetFilePath(head.path, name);
}

bool ReadMds(const FileHead& head, DiscFiles& files, DiscLayout& layout, DiscProblem& problem) {
    std::string bytes;
    if (!ReadWholeFile(head, "an Alcohol descriptor", kDescriptorLimit, bytes, problem)) return false;
    ByteView view(bytes);
    const uint64_t version = view.Le(16, 1);
    if (version == 2)
        return Refuse(problem, head.path,
                      "This is a version 2 MDS/MDX image (Alcohol 2.0 or DAEMON Tools); its descriptor is encrypted. "
                      "Re-save it as a version 1 MDS, a CUE/BIN or an ISO.");
    if (version != 1) return Refuse(problem, head.path, "a descriptor of version " + std::to_string(version) + " (only 1 is read)");
    const uint64_t areas = view.Le(0x14, 2), areaBlocks = view.Le(0x50, 4);
    if (!view.ok() || areas == 0) return Refuse(problem, head.path, "its header lists no disc area");
    // Only the first area: a data track in a later one is not read.
    const uint64_t blocks = view.Le(areaBlocks + 10, 1), trackBlocks = view.Le(areaBlocks + 20, 4);
    if (!view.ok()) return Refuse(problem, head.path, "its first area block lies past its end");
    FileHead mdf;
    for (uint64_t i = 0; i < blocks; ++i) {
        const uint64_t at = trackBlocks + i * 80;
        const uint64_t mode = view.Le(at, 1) & 0x0F, point = view.Le(at + 4, 1);
        const uint64_t sectorSize = view.Le(at + 16, 2), lba = view.Le(at + 36, 4), offset = view.Le(at + 40, 8);
        const uint64_t extra = view.Le(at + 12, 4), footer = view.Le(at + 52, 4);
        if (!view.ok()) return Refuse(problem, head.path, "track block " + std::to_string(i + 1) + " lies past its end");
        if (point < 1 || point > 99) continue;  // A0, A1, A2: the table's first, last and lead-out
        const uint64_t length = extra != 0 ? view.Le(extra + 4, 4) : 0;
        if (!view.ok() || lba > kLongestDisc) return Refuse(problem, head.path, "track " + std::to_string(point) + " lies off the disc");
        const bool audio = mode == 1 || mode == 9 || mode == 0;  // audio, or no data
        TrackPlace place;
        switch (sectorSize) {
        case 2048: place.format = SectorFormat::Cooked; break;
        case 2336: place.format = SectorFormat::Mode2NoHeader; break;
        case 2352:
        case 2448: place.format = audio ? SectorFormat::Audio : SectorFormat::RawMode1Or2; break;
        default:
            if (audio) break;
            return Refuse(problem, head.path, "track " + std::to_string(point) + " has sectors of " + std::to_string(sectorSize) + " bytes");
        }
        place.stride = static_cast<uint32_t>(sectorSize);
        place.offset = offset;
        place.firstLba = static_cast<uint32_t>(lba);
        place.sectors = length != 0 ? length : TrackPlace::kToTheEnd;
        if (!mdf.source && !files.Open(DataFileName(view, head, footer), mdf, problem)) return false;
        layout.tracks.push_back({static_cast<int>(point), !audio, mdf.path, place, mdf.source});
    }
    if (layout.tracks.empty()) return Refuse(problem, head.path, "no track in its first area");
    return true;
}

bool LooksLikeMds(const FileHead& head) { return head.first.compare(0, 16, kMagic) == 0; }

const char* const kMdsCompanions[] = {".mdf", nullptr};

}  // namespace

const ContainerFormat kAlcohol = {"an Alcohol image", LooksLikeMds, kMdsCompanions, ".mds", ReadMds};
