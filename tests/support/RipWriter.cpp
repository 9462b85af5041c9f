// Alcohol and Nero images as their writers lay them out (see RipWriter.h).
#include "RipWriter.h"

#include <cstring>

namespace test {
namespace {

void PutLe(Bytes& bytes, size_t at, uint64_t value, int size) {
    for (int i = 0; i < size; ++i) bytes[at + i] = static_cast<unsigned char>(value >> (8 * i));
}

void PutBe(Bytes& bytes, uint64_t value, int size) {
    for (int i = size - 1; i >= 0; --i) bytes.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

void PutChunk(Bytes& image, const char* id, const Bytes& body) {
    image.insert(image.end(), id, id + 4);
    PutBe(image, body.size(), 4);
    image.insert(image.end(), body.begin(), body.end());
}

}  // namespace

Bytes MdsDescriptor(const std::vector<MdsTrack>& tracks) {
    const size_t area = 88, blocks = area + 24, count = tracks.size() + 3, extras = blocks + count * 80;
    const size_t footer = extras + tracks.size() * 8, name = footer + 16;
    Bytes mds(name + 6, 0);
    std::memcpy(mds.data(), "MEDIA DESCRIPTOR", 16);
    mds[16] = 1, mds[17] = 5;
    PutLe(mds, 0x14, 1, 2);
    PutLe(mds, 0x50, area, 4);
    PutLe(mds, area, static_cast<uint32_t>(-150), 4);
    mds[area + 10] = static_cast<unsigned char>(count);
    PutLe(mds, area + 12, 1, 2);
    PutLe(mds, area + 14, tracks.size(), 2);
    PutLe(mds, area + 20, blocks, 4);
    for (size_t i = 0; i < 3; ++i) mds[blocks + i * 80 + 4] = static_cast<unsigned char>(0xA0 + i);
    for (size_t t = 0; t < tracks.size(); ++t) {
        const size_t at = blocks + (t + 3) * 80;
        mds[at] = tracks[t].mode;
        mds[at + 1] = tracks[t].sectorSize == 2448 ? 0x08 : 0x00;
        mds[at + 2] = tracks[t].mode == 0xA9 ? 0x10 : 0x14;
        mds[at + 4] = static_cast<unsigned char>(t + 1);
        PutLe(mds, at + 12, extras + t * 8, 4);
        PutLe(mds, at + 16, tracks[t].sectorSize, 2);
        PutLe(mds, at + 36, tracks[t].lba, 4);
        PutLe(mds, at + 40, tracks[t].offset, 8);
        PutLe(mds, at + 48, 1, 4);
        PutLe(mds, at + 52, footer, 4);
        PutLe(mds, extras + t * 8, t == 0 ? 150 : 0, 4);
        PutLe(mds, extras + t * 8 + 4, tracks[t].length, 4);
    }
    PutLe(mds, footer, name, 4);
    std::memcpy(mds.data() + name, "*.mdf", 5);
    return mds;
}


Bytes NrgImage(Bytes image, const std::vector<NrgTrack>& tracks, bool version2, bool tao) {
    const int width = version2 ? 8 : 4;
    const uint64_t chunks = image.size();
    // The cue table: the lead-in, each track's INDEX 00 and 01 (BCD numbers), the lead-out.
    Bytes cue, table;
    const unsigned char first = tracks.front().data ? 0x41 : 0x01;
    cue.insert(cue.end(), {first, 0x00, 0x00, 0});
    PutBe(cue, static_cast<uint32_t>(-150), 4);
    for (size_t t = 0; t < tracks.size(); ++t) {
        const unsigned char control = tracks[t].data ? 0x41 : 0x01;
        const auto number = static_cast<unsigned char>((t + 1) / 10 << 4 | (t + 1) % 10);
        for (unsigned char index : {0, 1}) {
            cue.insert(cue.end(), {control, number, index, 0});
            PutBe(cue, static_cast<uint32_t>(tracks[t].lba - (index == 0 ? 150 : 0)), 4);
        }
    }
    const NrgTrack& last = tracks.back();
    cue.insert(cue.end(), {static_cast<unsigned char>(last.data ? 0x41 : 0x01), 0xAA, 0x01, 0});
    PutBe(cue, last.lba + (last.end - last.index1) / last.size, 4);
    if (tao) {
        for (const NrgTrack& track : tracks) {
            PutBe(table, track.index1, width);
            PutBe(table, track.end - track.index1, width);
            PutBe(table, track.mode, 4);
            PutBe(table, track.lba, 4);
            PutBe(table, 0, 4);
            if (version2) PutBe(table, (track.end - track.index1) / track.size, 4);
        }
    } else {
        PutBe(table, 0, 4);
        table.resize(table.size() + 14 + 2, 0);  // catalog number, table type
        table.push_back(1);
        table.push_back(static_cast<unsigned char>(tracks.size()));
        for (const NrgTrack& track : tracks) {
            table.resize(table.size() + 12, 0);  // ISRC
            PutBe(table, track.size, 2);
            table.insert(table.end(), {track.mode, 0, 0, 0});
            for (uint64_t offset : {track.index0, track.index1, track.end}) PutBe(table, offset, width);
        }
    }
    PutChunk(image, version2 ? "CUEX" : "CUES", cue);
    PutChunk(image, tao ? (version2 ? "ETN2" : "ETNF") : (version2 ? "DAOX" : "DAOI"), table);
    Bytes count;
    PutBe(count, tracks.size(), 4);
    PutChunk(image, "SINF", count);
    PutChunk(image, "END!", {});
    image.insert(image.end(), version2 ? "NER5" : "NERO", (version2 ? "NER5" : "NERO") + 4);
    PutBe(image, chunks, width);
    return image;
}


}  // namespace test
