// Nero's NRG: the sectors first, then a chain of chunks (id, big-endian length, body) that
// the footer points at: "NER5" and a 64-bit offset in the last 12 bytes (version 2), or
// "NERO" and a 32-bit one in the last 8 (version 1). The chain ends with "END!".
//
// Disc-at-once images list their tracks in DAOX (DAOI in version 1): the sector size, a
// mode code and the file offsets of INDEX 00, INDEX 01 and the end; CUEX (CUES) gives
// each track's control bits and, in version 2, its address. Track-at-once images list
// them in ETN2 (ETNF): offset, length, mode and start address. Only the first disc area.
#include "Container.h"
#include "disc/containers/ByteView.h"

namespace {

// The pregap a track-at-once disc has before each track, which its image does not store.
constexpr uint64_t kTaoPregap = 150;
// Far more than the chunks of any disc's table; a chain that claims more is refused.
constexpr uint64_t kChunkBytesLimit = 4 << 20;

struct Chunks {
    std::string cue, dao, etn;  // the first of each kind, its body
    bool version2 = false;
};

// Reads the chain of chunks from the footer's offset to END!.
bool ReadChunks(const FileHead& head, Chunks& chunks, DiscProblem& problem) {
    ByteView footer(head.last);
    chunks.version2 = head.last.size() == 16 && head.last.compare(4, 4, "NER5") == 0;
    uint64_t at = chunks.version2 ? footer.Be(8, 8) : footer.Be(12, 4);
    const uint64_t end = head.size - (chunks.version2 ? 12 : 8);
    uint64_t read = 0;
    bool ended = false;
    while (!ended) {
        unsigned char header[8];
        if (at > end || end - at < 8 || head.source->ReadAt(at, header, 8) != 8) break;
        const std::string id(reinterpret_cast<char*>(header), 4);
        const uint64_t length = ByteView(std::string(reinterpret_cast<char*>(header), 8)).Be(4, 4);
        if (length > end - at - 8) break;
        read += length;
        if (read > kChunkBytesLimit)
            return Refuse(problem, head.path, OverLimit("the chain of chunks that lists its tracks", kChunkBytesLimit, read));
        std::string* body = id == "CUEX" || id == "CUES" ? &chunks.cue
                          : id == "DAOX" || id == "DAOI" ? &chunks.dao
                          : id == "ETN2" || id == "ETNF" ? &chunks.etn : nullptr;
        if (body && body->empty()) {
            body->resize(static_cast<size_t>(length));
            if (head.source->ReadAt(at + 8, &(*body)[0], body->size()) != body->size()) break;
        }
        ended = id == "END!";
        at += 8 + length;  // always forward: a chain cannot loop
    }
    if (!ended) return Refuse(problem, head.path, "its chain of chunks breaks off before END!");
    return true;
}

SectorFormat FormatOf(uint64_t sectorSize, bool data) {
    if (!data) return SectorFormat::Audio;
    switch (sectorSize) {
    case 2048: return SectorFormat::Cooked;
    case 2336: return SectorFormat::Mode2NoHeader;
    default: return SectorFormat::RawMode1Or2;
    }
}

bool IsAudioMode(uint64_t mode) { return mode == 0x07 || mode == 0x08 || mode == 0x10; }

// Whether track `number` is data, by its control bits in the cue table; by its mode code
// when the table does not list it.
bool IsData(const std::string& cue, uint64_t number, uint64_t mode) {
    ByteView view(cue);
    for (uint64_t at = 0; view.Has(at, 8); at += 8) {
        const uint64_t track = view.Be(at + 1, 1);
        if ((track >> 4) * 10 + (track & 0x0F) == number) return (view.Be(at, 1) & 0x40) != 0;
    }
    return !IsAudioMode(mode);
}

// The address of INDEX 01 of track `number` in a version 2 cue table; -1 when not listed.
int64_t AddressOf(const std::string& cue, uint64_t number) {
    ByteView view(cue);
    for (uint64_t at = 0; view.Has(at, 8); at += 8) {
        const uint64_t track = view.Be(at + 1, 1), index = view.Be(at + 2, 1);
        if ((track >> 4) * 10 + (track & 0x0F) == number && index == 1) return static_cast<int32_t>(view.Be(at + 4, 4));
    }
    return -1;
}

bool ReadDao(const FileHead& head, const Chunks& chunks, DiscLayout& layout, DiscProblem& problem) {
    ByteView view(chunks.dao);
    const uint64_t first = view.Be(20, 1), last = view.Be(21, 1);
    const int width = chunks.version2 ? 8 : 4;
    const uint64_t entry = 18 + 3 * width;
    if (!view.ok() || first < 1 || last < first || last > 99) return Refuse(problem, head.path, "its track table lists no tracks");
    uint64_t address = 0;
    for (uint64_t number = first, at = 22; number <= last; ++number, at += entry) {
        const uint64_t size = view.Be(at + 12, 2), mode = view.Be(at + 14, 1);
        const uint64_t index0 = view.Be(at + 18, width), index1 = view.Be(at + 18 + width, width), end = view.Be(at + 18 + 2 * width, width);
        if (!view.ok()) return Refuse(problem, head.path, "its track table breaks off at track " + std::to_string(number));
        if (size == 0 || index0 > index1 || index1 > end || end > head.size)
            return Refuse(problem, head.path, "track " + std::to_string(number) + " lies outside the file");
        if (number > first) address += (index1 - index0) / size;  // the pregap, stored before INDEX 01
        const int64_t listed = chunks.version2 ? AddressOf(chunks.cue, number) : -1;
        const uint64_t lba = listed >= 0 ? static_cast<uint64_t>(listed) : address;
        if (lba > kLongestDisc) return Refuse(problem, head.path, "track " + std::to_string(number) + " lies off the disc");
        const bool data = IsData(chunks.cue, number, mode);
        layout.tracks.push_back({static_cast<int>(number), data, head.path,
                                 {FormatOf(size, data), static_cast<uint32_t>(size), index1, static_cast<uint32_t>(lba), (end - index1) / size}, head.source});
        address += (end - index1) / size;
    }
    return true;
}

uint32_t SectorSizeOf(uint64_t mode) {
    switch (mode) {
    case 0x00:
    case 0x02: return 2048;
    case 0x03: return 2336;
    case 0x0F:
    case 0x10:
    case 0x11: return 2448;
    default: return 2352;
    }
}

bool ReadTao(const FileHead& head, const Chunks& chunks, DiscLayout& layout, DiscProblem& problem) {
    ByteView view(chunks.etn);
    const int width = chunks.version2 ? 8 : 4;
    const uint64_t entry = chunks.version2 ? 32 : 20;
    for (uint64_t at = 0, number = 1; view.Has(at, entry) && number <= 99; at += entry, ++number) {
        const uint64_t offset = view.Be(at, width), length = view.Be(at + width, width), mode = view.Be(at + 2 * width, 4);
        // The table's addresses leave out the 150-sector pregap written before each track
        // after the first (libcdio's reading; a Video CD's file system agrees): a version 2
        // cue table's own address wins where it lists one.
        const int64_t listed = chunks.version2 ? AddressOf(chunks.cue, number) : -1;
        const uint64_t lba = listed >= 0 ? static_cast<uint64_t>(listed) : view.Be(at + 2 * width + 4, 4) + kTaoPregap * (number - 1);
        const uint32_t size = SectorSizeOf(mode);
        if (offset > head.size || length > head.size - offset) return Refuse(problem, head.path, "track " + std::to_string(number) + " lies outside the file");
        if (lba > kLongestDisc) return Refuse(problem, head.path, "track " + std::to_string(number) + " lies off the disc");
        const bool data = IsData(chunks.cue, number, mode);
        layout.tracks.push_back({static_cast<int>(number), data, head.path,
                                 {FormatOf(size, data), size, offset, static_cast<uint32_t>(lba), length / size}, head.source});
    }
    if (layout.tracks.empty()) return Refuse(problem, head.path, "its track table lists no tracks");
    return true;
}

bool ReadNrg(const FileHead& head, DiscFiles&, DiscLayout& layout, DiscProblem& problem) {
    Chunks chunks;
    if (!ReadChunks(head, chunks, problem)) return false;
    if (!chunks.dao.empty()) return ReadDao(head, chunks, layout, problem);
    if (!chunks.etn.empty()) return ReadTao(head, chunks, layout, problem);
    return Refuse(problem, head.path, "no track table (DAOX, DAOI, ETN2 or ETNF)");
}

bool LooksLikeNrg(const FileHead& head) {
    return head.last.size() == 16 && (head.last.compare(4, 4, "NER5") == 0 || head.last.compare(8, 4, "NERO") == 0);
}

}  // namespace

const ContainerFormat kNero = {"a Nero image", LooksLikeNrg, nullptr, ".nrg", ReadNrg};
