// MAME's CHD, version 5, as chdman writes CDs: 2448-byte frames (2352 of sector, 96 of
// subchannel) in hunks, found through a map (ChdMap.cpp) and decoded by the codec each
// names (HunkCodec.cpp):
//   cdlz (LZMA), cdzl (deflate), cdzs (Zstandard): a bitmap of the frames whose sync and
//     ECC were stripped, the sector stream's length, the sectors, then the subchannel;
//   cdfl: FLAC frames of the sectors as 16-bit stereo samples, then the deflated subchannel;
//   stored hunks, and copies of earlier ones.
// The tracks come from the CHT2 (or CHTR) metadata; each starts on a multiple of 4 frames.
// Everything is big-endian; every size, count and offset is checked before use.
#include <algorithm>
#include <cstring>

#include "ChdFormat.h"
#include "ChdMap.h"
#include "HunkCodec.h"
#include "disc/containers/ByteView.h"
#include "disc/containers/Container.h"
#include "disc/containers/Sheet.h"

namespace {

constexpr int kMostMetadata = 1000;

// The CHD's frames, hunk by hunk as they are asked for; the last hunk is kept.
class ChdSource : public ByteSource {
public:
    // `checked`: the map gives each hunk's CRC-16 (compressed CHDs); uncompressed ones have none.
    ChdSource(std::shared_ptr<ByteSource> file, uint64_t fileSize, const ChdHeader& header, std::vector<MapEntry> map, bool checked)
        : m_file(std::move(file)), m_fileSize(fileSize), m_header(header), m_map(std::move(map)), m_checked(checked) {
        for (int i = 0; i < 4; ++i) m_codecs[i] = MakeHunkCodec(header.codecs[i]);
    }
    ChdSource(const ChdSource&) = delete;
    ChdSource& operator=(const ChdSource&) = delete;

    uint64_t Size() override { return m_header.logicalBytes; }
    std::string Fault() override { return m_fault; }

    size_t ReadAt(uint64_t position, void* buffer, size_t size) override {
        auto* out = static_cast<unsigned char*>(buffer);
        size_t done = 0;
        m_fault.clear();
        while (done < size && position < m_header.logicalBytes) {
            const uint64_t hunk = position / m_header.hunkBytes;
            if (!Load(hunk)) break;
            const size_t at = static_cast<size_t>(position % m_header.hunkBytes);
            const size_t count = static_cast<size_t>(std::min<uint64_t>({uint64_t{size - done}, uint64_t{m_header.hunkBytes - at}, m_header.logicalBytes - position}));
            std::memcpy(out + done, m_hunk.data() + at, count);
            done += count;
            position += count;
        }
        return done;
    }

private:
    bool ReadFile(uint64_t offset, size_t count, std::string& bytes) { return ReadRange(*m_file, m_fileSize, offset, count, bytes); }

    // Decodes hunk `index` into m_hunk. Copies of earlier hunks are followed back (never
    // forward, so a chain of them ends).
    bool Load(uint64_t index) {
        if (index == m_loaded) return true;
        m_loaded = UINT64_MAX;
        m_hunk.assign(m_header.hunkBytes, 0);
        const MapEntry* entry = &m_map[static_cast<size_t>(index)];
        for (uint64_t at = index; entry->type == kSelf; at = entry->offset, entry = &m_map[static_cast<size_t>(at)]) {
            if (entry->offset >= at) return false;
        }
        bool ok = false;
        std::string bytes;
        if (entry->type == kStored && entry->offset == 0) {
            ok = true;  // not stored: zeros
        } else if (entry->type == kStored) {
            ok = ReadFile(entry->offset, m_header.hunkBytes, bytes);
            if (ok) std::memcpy(m_hunk.data(), bytes.data(), bytes.size());
        } else if (entry->type <= kCodec3 && m_codecs[entry->type]) {  // a parent's hunks were refused when opened
            ok = ReadFile(entry->offset, entry->length, bytes) &&
                 m_codecs[entry->type]->Decode(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), m_hunk.data(),
                                                m_header.hunkBytes / kFrameBytes);
        }
        if (!ok) m_fault = "hunk " + std::to_string(index) + " of the CHD cannot be decoded";
        if (ok && m_checked && entry->type <= kStored && entry->offset != 0 && Crc16(m_hunk.data(), m_hunk.size()) != entry->crc) {
            m_fault = "hunk " + std::to_string(index) + " of the CHD does not match its CRC";
            ok = false;
        }
        if (ok) m_loaded = index;
        return ok;
    }

    std::shared_ptr<ByteSource> m_file;
    uint64_t m_fileSize;
    ChdHeader m_header;
    std::vector<MapEntry> m_map;
    std::unique_ptr<HunkCodec> m_codecs[4];
    std::vector<unsigned char> m_hunk;
    bool m_checked;
    std::string m_fault;
    uint64_t m_loaded = UINT64_MAX;
};

bool ReadHeader(const FileHead& head, ChdHeader& header, DiscProblem& problem) {
    ByteView view(head.first);
    const uint64_t length = view.Be(8, 4), version = view.Be(12, 4);
    if (version == 3 || version == 4)
        return Refuse(problem, head.path, "a version " + std::to_string(version) + " CHD: make a version 5 one with chdman copy -i old.chd -o new.chd");
    if (version != 5 || length != 124) return Refuse(problem, head.path, "a CHD of version " + std::to_string(version) + " (only 5 is read)");
    for (int i = 0; i < 4; ++i) header.codecs[i] = static_cast<uint32_t>(view.Be(16 + 4 * i, 4));
    header.logicalBytes = view.Be(32, 8);
    header.mapOffset = view.Be(40, 8);
    header.metadataOffset = view.Be(48, 8);
    header.hunkBytes = static_cast<uint32_t>(view.Be(56, 4));
    header.unitBytes = static_cast<uint32_t>(view.Be(60, 4));
    if (view.Text(104, 20) != std::string(20, '\0')) return Refuse(problem, head.path, "it holds only differences from another: it needs its parent CHD");
    if (!view.ok()) return Refuse(problem, head.path, "its header is cut short");
    if (header.unitBytes != kFrameBytes) return Refuse(problem, head.path, "not a CD (units of " + std::to_string(header.unitBytes) + " bytes)");
    if (header.hunkBytes == 0 || header.hunkBytes > kLargestHunk || header.hunkBytes % kFrameBytes != 0)
        return Refuse(problem, head.path, "hunks of " + std::to_string(header.hunkBytes) + " bytes, which no CD has");
    if (header.logicalBytes > kLargestDisc) return Refuse(problem, head.path, "larger than any CD (" + std::to_string(header.logicalBytes) + " bytes)");
    header.hunks = (header.logicalBytes + header.hunkBytes - 1) / header.hunkBytes;
    for (uint32_t codec : header.codecs) {
        if (codec != 0 && !MakeHunkCodec(codec)) {
            const std::string name{char(codec >> 24), char(codec >> 16), char(codec >> 8), char(codec)};
            return Refuse(problem, head.path, "a codec not read: " + name);
        }
    }
    return true;
}

struct ChdTrack {
    int number = 0;
    std::string type;
    bool subchannel = false;
    uint64_t frames = 0, pregap = 0, postgap = 0;
    bool pregapStored = false;  // PGTYPE starts with V
};

// "KEY:VALUE" words of a CHT2 or CHTR entry.
std::string Field(const std::string& text, const std::string& key) {
    const size_t at = (" " + text).find(" " + key + ":");
    if (at == std::string::npos) return {};
    const size_t start = at + key.size() + 1, end = text.find(' ', start);
    return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

bool ReadTracks(const FileHead& head, const ChdHeader& header, std::vector<ChdTrack>& tracks, DiscProblem& problem) {
    ByteSource& file = *head.source;
    uint64_t at = header.metadataOffset;
    for (int count = 0; at != 0; ++count) {
        std::string top;
        if (count >= kMostMetadata || !ReadRange(file, head.size, at, 16, top)) return Refuse(problem, head.path, "its metadata chain breaks off or loops");
        ByteView view(top);
        const uint64_t tag = view.Be(0, 4), length = view.Be(5, 3), next = view.Be(8, 8);
        if (tag == FourCc("CHT2") || tag == FourCc("CHTR")) {
            std::string text;
            if (length > 1024 || !ReadRange(file, head.size, at + 16, length, text)) return Refuse(problem, head.path, "a track's metadata lies past its end");
            text = text.substr(0, text.find('\0'));
            ChdTrack track;
            uint64_t number = 0;
            track.type = Field(text, "TYPE");
            const std::string subtype = Field(text, "SUBTYPE"), pgtype = Field(text, "PGTYPE");
            track.subchannel = subtype == "RW" || subtype == "RW_RAW";
            track.pregapStored = !pgtype.empty() && pgtype[0] == 'V';
            if (!ParseCount(Field(text, "TRACK"), 99, number) || !ParseCount(Field(text, "FRAMES"), kLongestDisc, track.frames) ||
                (tag == FourCc("CHT2") && (!ParseCount(Field(text, "PREGAP"), kLongestDisc, track.pregap) || !ParseCount(Field(text, "POSTGAP"), kLongestDisc, track.postgap))))
                return Refuse(problem, head.path, "a track's metadata is malformed: " + text);
            track.number = static_cast<int>(number);
            tracks.push_back(track);
        } else if (tag == FourCc("CHCD")) {
            return Refuse(problem, head.path, "its tracks are described the oldest way (CHCD): make it anew with chdman copy");
        }
        at = next;
    }
    if (tracks.empty()) return Refuse(problem, head.path, "no track in its metadata");
    return true;
}

// How a track's frames hold its sectors.
bool PlaceOf(const std::string& type, TrackPlace& place, bool& data) {
    data = true;
    if (type == "MODE1" || type == "MODE2_FORM1") place.format = SectorFormat::Cooked;
    else if (type == "MODE1_RAW" || type == "MODE2_RAW") place.format = SectorFormat::RawMode1Or2;
    else if (type == "MODE2" || type == "MODE2_FORM_MIX") place.format = SectorFormat::Mode2NoHeader;
    else if (type == "AUDIO" || type == "MODE2_FORM2") place.format = SectorFormat::Audio, data = false;
    else return false;
    place.stride = kFrameBytes;
    return true;
}

bool HoldsDescriptor(ByteSource& source, const TrackPlace& place, uint64_t frame) {
    const uint32_t data = place.format == SectorFormat::Cooked ? 0 : place.format == SectorFormat::Mode2NoHeader ? 8 : 16;
    for (uint32_t offset : {data, data + 8}) {  // Form 1 user data starts 8 bytes later in raw frames
        char identifier[6] = {};
        if (source.ReadAt((frame + 16) * kFrameBytes + offset, identifier, 6) == 6 && std::memcmp(identifier, "\001CD001", 6) == 0) return true;
        if (place.format != SectorFormat::RawMode1Or2) break;
    }
    return false;
}

bool ReadChd(const FileHead& head, DiscFiles&, DiscLayout& layout, DiscProblem& problem) {
    ChdHeader header;
    std::vector<MapEntry> map;
    std::vector<ChdTrack> tracks;
    if (!ReadHeader(head, header, problem) || !ReadMap(head, header, map, problem) || !ReadTracks(head, header, tracks, problem))
        return false;
    auto source = std::make_shared<ChdSource>(head.source, head.size, header, std::move(map), header.codecs[0] != 0);
    uint64_t frame = 0, address = 0;
    for (const ChdTrack& track : tracks) {
        DiscTrack disc{track.number, false, head.path, {}, source};
        if (!PlaceOf(track.type, disc.place, disc.data)) return Refuse(problem, head.path, "track " + std::to_string(track.number) + " of unknown type " + track.type);
        // A stored pregap comes first; chdman also stores one it does not mark, so look.
        uint64_t first = frame + (track.pregapStored ? track.pregap : 0);
        if (disc.data && !track.pregapStored && track.pregap > 0 && !HoldsDescriptor(*source, disc.place, first) &&
            HoldsDescriptor(*source, disc.place, first + track.pregap))
            first += track.pregap;
        const uint64_t stored = track.frames - std::min(track.frames, first - frame);
        address += track.pregap;  // INDEX 01 follows the pregap, stored or not
        disc.place.offset = first * kFrameBytes;
        disc.place.sectors = stored;
        disc.place.firstLba = static_cast<uint32_t>(address);
        layout.tracks.push_back(disc);
        address += stored + track.postgap;
        frame += (track.frames + 3) / 4 * 4;
        if (frame * kFrameBytes > header.logicalBytes + 4 * kFrameBytes) return Refuse(problem, head.path, "its tracks run past its frames");
    }
    // Addresses count from track 1's INDEX 01.
    const uint32_t base = layout.tracks.front().place.firstLba;
    for (DiscTrack& track : layout.tracks) track.place.firstLba -= base;
    return true;
}

bool LooksLikeChd(const FileHead& head) { return head.first.compare(0, sizeof kChdMagic - 1, kChdMagic) == 0; }

}  // namespace

const ContainerFormat kChd = {"a CHD", LooksLikeChd, nullptr, ".chd", ReadChd};
