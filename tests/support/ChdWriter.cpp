// A CHD writer as small as a test needs: one codec, a map whose code gives every symbol 4
// bits, one metadata entry.
#include "ChdWriter.h"

#include <cstring>

#include <zstd.h>

#include "disc/Edc.h"

namespace test {
namespace {

constexpr size_t kFrame = 2448, kSector = 2352, kFramesPerHunk = 8, kHunk = kFrame * kFramesPerHunk;  // the subchannel: the rest

void PutBe(Bytes& out, uint64_t value, int size) {
    for (int i = size - 1; i >= 0; --i) out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

uint16_t Crc16(const unsigned char* data, size_t size) {
    uint16_t crc = 0xFFFF;
    for (size_t i = 0; i < size; ++i) {
        crc ^= static_cast<uint16_t>(data[i] << 8);
        for (int bit = 0; bit < 8; ++bit) crc = static_cast<uint16_t>(crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return crc;
}

Bytes Zstd(const Bytes& data) {
    Bytes out(ZSTD_compressBound(data.size()));
    out.resize(ZSTD_compress(out.data(), out.size(), data.data(), data.size(), 3));
    return out;
}

// A sector whose sync and parity chdman would strip: it starts with the sync and its ECC holds.
bool Strippable(const unsigned char* sector) {
    static const unsigned char kSync[12] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
    if (std::memcmp(sector, kSync, 12) != 0 || (sector[15] != 1 && sector[15] != 2)) return false;
    unsigned char copy[kSector];
    std::memcpy(copy, sector, kSector);
    ComputeEcc(copy);
    return std::memcmp(copy, sector, kSector) == 0;
}

Bytes Hunk(const unsigned char* frames) {
    Bytes sectors, subcode, out(1, 0);
    for (size_t f = 0; f < kFramesPerHunk; ++f) {
        const unsigned char* frame = frames + f * kFrame;
        Bytes sector(frame, frame + kSector);
        if (Strippable(frame)) {
            out[0] |= static_cast<unsigned char>(1 << f);
            std::memset(sector.data(), 0, 12);
            std::memset(sector.data() + 2076, 0, kSector - 2076);
        }
        sectors.insert(sectors.end(), sector.begin(), sector.end());
        subcode.insert(subcode.end(), frame + kSector, frame + kFrame);
    }
    const Bytes base = Zstd(sectors), rest = Zstd(subcode);
    PutBe(out, base.size(), 2);
    out.insert(out.end(), base.begin(), base.end());
    out.insert(out.end(), rest.begin(), rest.end());
    return out;
}

class BitWriter {
public:
    void Put(uint64_t value, int bits) {
        for (int i = bits - 1; i >= 0; --i) {
            if (m_used % 8 == 0) m_bytes.push_back(0);
            if ((value >> i) & 1) m_bytes.back() |= static_cast<unsigned char>(0x80 >> (m_used % 8));
            ++m_used;
        }
    }
    const Bytes& bytes() const { return m_bytes; }

private:
    Bytes m_bytes;
    size_t m_used = 0;
};

}  // namespace

Bytes WithEmptySubchannel(const Bytes& sectors) {
    Bytes frames;
    for (size_t at = 0; at + kSector <= sectors.size(); at += kSector) {
        frames.insert(frames.end(), sectors.begin() + static_cast<std::ptrdiff_t>(at), sectors.begin() + static_cast<std::ptrdiff_t>(at + kSector));
        frames.resize(frames.size() + (kFrame - kSector), 0);
    }
    return frames;
}

Bytes WriteChdZstd(const Bytes& frames, const std::string& track, size_t damaged) {
    Bytes padded = frames;
    padded.resize((frames.size() + kHunk - 1) / kHunk * kHunk, 0);
    const size_t hunks = padded.size() / kHunk;

    const std::string tag = "CHT2";
    Bytes metadata(tag.begin(), tag.end());
    metadata.push_back(1);  // flags
    PutBe(metadata, track.size() + 1, 3);
    PutBe(metadata, 0, 8);
    metadata.insert(metadata.end(), track.begin(), track.end());
    metadata.push_back(0);

    const uint64_t firstHunk = 124 + metadata.size();
    Bytes body;
    BitWriter map;
    for (int symbol = 0; symbol < 16; ++symbol) map.Put(4, 4);  // every code 4 bits long
    for (size_t h = 0; h < hunks; ++h) map.Put(0, 4);          // every hunk in codec 0
    Bytes entries;
    for (size_t h = 0; h < hunks; ++h) {
        const Bytes hunk = Hunk(padded.data() + h * kHunk);
        const uint16_t crc = static_cast<uint16_t>(Crc16(padded.data() + h * kHunk, kHunk) ^ (h == damaged ? 1 : 0));
        map.Put(hunk.size(), 24);
        map.Put(crc, 16);
        entries.push_back(0);
        PutBe(entries, hunk.size(), 3);
        PutBe(entries, firstHunk + body.size(), 6);
        PutBe(entries, crc, 2);
        body.insert(body.end(), hunk.begin(), hunk.end());
    }

    const std::string magic = "MComprHD";
    Bytes chd(magic.begin(), magic.end());
    PutBe(chd, 124, 4);
    PutBe(chd, 5, 4);
    PutBe(chd, uint32_t{'c'} << 24 | uint32_t{'d'} << 16 | uint32_t{'z'} << 8 | 's', 4);
    for (int unused = 0; unused < 3; ++unused) PutBe(chd, 0, 4);  // no other codecs
    PutBe(chd, frames.size(), 8);
    PutBe(chd, firstHunk + body.size(), 8);  // the map, after the hunks
    PutBe(chd, 124, 8);
    PutBe(chd, kHunk, 4);
    PutBe(chd, kFrame, 4);
    chd.resize(124, 0);  // no checksums: nothing here reads them
    chd.insert(chd.end(), metadata.begin(), metadata.end());
    chd.insert(chd.end(), body.begin(), body.end());
    PutBe(chd, map.bytes().size(), 4);
    PutBe(chd, firstHunk, 6);
    PutBe(chd, Crc16(entries.data(), entries.size()), 2);
    PutBe(chd, uint32_t{24} << 24, 4);  // length bits; no copies of hunks, no parent
    chd.insert(chd.end(), map.bytes().begin(), map.bytes().end());
    return chd;
}

}  // namespace test
