// MAME's CHD, version 5, as chdman writes CDs: 2448-byte frames (2352 of sector, 96 of
// subchannel) in hunks, found through a map and decoded by the codec each names:
//   cdlz (LZMA), cdzl (deflate), cdzs (Zstandard): a bitmap of the frames whose sync and
//     ECC were stripped, the sector stream's length, the sectors, then the subchannel;
//   cdfl: FLAC frames of the sectors as 16-bit stereo samples, then the deflated subchannel;
//   stored hunks, and copies of earlier ones.
// The tracks come from the CHT2 (or CHTR) metadata; each starts on a multiple of 4 frames.
// Everything is big-endian; every size, count and offset is checked before use.
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#include <FLAC/stream_decoder.h>
#include <lzma.h>
#include <zlib.h>
#include <zstd.h>

#include "ByteView.h"
#include "Container.h"
#include "Edc.h"
#include "ImageFile.h"
#include "Sheet.h"
#include "TrackReader.h"

namespace {

constexpr uint32_t kFrameBytes = 2448, kSectorBytes = 2352, kSubcodeBytes = 96;
constexpr uint64_t kLargestDisc = uint64_t{500000} * kFrameBytes;  // far past 100 minutes
constexpr uint32_t kLargestHunk = 1 << 20;
constexpr int kMostMetadata = 1000;

enum HunkType : uint8_t {
    kCodec0 = 0, kCodec3 = 3, kStored = 4, kSelf = 5, kParent = 6,
    kRleSmall = 7, kRleLarge = 8, kSelf0 = 9, kSelf1 = 10, kParentSelf = 11, kParent0 = 12, kParent1 = 13,
};

struct MapEntry {
    uint8_t type = kStored;
    uint32_t length = 0;
    uint64_t offset = 0;  // in the file; or, for a copy, the hunk copied
    uint16_t crc = 0;
};

uint32_t FourCc(const char* text) {
    return uint32_t(uint8_t(text[0])) << 24 | uint32_t(uint8_t(text[1])) << 16 | uint32_t(uint8_t(text[2])) << 8 | uint8_t(text[3]);
}

// CRC-16/CCITT-FALSE: polynomial 0x1021, from 0xFFFF, not reflected; a byte a step.
uint16_t Crc16(const unsigned char* data, size_t size) {
    static const auto table = [] {
        std::array<uint16_t, 256> t{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint16_t crc = static_cast<uint16_t>(i << 8);
            for (int bit = 0; bit < 8; ++bit) crc = static_cast<uint16_t>(crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1);
            t[i] = crc;
        }
        return t;
    }();
    uint16_t crc = 0xFFFF;
    for (size_t i = 0; i < size; ++i) crc = static_cast<uint16_t>(crc << 8 ^ table[(crc >> 8) ^ data[i]]);
    return crc;
}

// Bits most significant first; past the end they read as zero and the reader knows it overran.
class BitReader {
public:
    explicit BitReader(const std::string& bytes) : m_bytes(bytes) {}
    uint64_t Read(int count) {
        uint64_t value = 0;
        for (int i = 0; i < count; ++i, ++m_bit) {
            const size_t byte = static_cast<size_t>(m_bit / 8);
            const int bit = byte < m_bytes.size() ? (static_cast<unsigned char>(m_bytes[byte]) >> (7 - m_bit % 8)) & 1 : 0;
            value = value << 1 | static_cast<uint64_t>(bit);
        }
        return value;
    }
    bool Overran() const { return m_bit > uint64_t{m_bytes.size()} * 8; }

private:
    const std::string& m_bytes;
    uint64_t m_bit = 0;
};

// The map's Huffman code of 16 symbols, up to 8 bits, its lengths stored run-length coded;
// codes are assigned from the longest length down.
class MapCode {
public:
    bool Import(BitReader& bits) {
        for (int symbol = 0; symbol < 16;) {
            int length = static_cast<int>(bits.Read(4));
            if (length != 1) {
                m_lengths[symbol++] = length;
                continue;
            }
            length = static_cast<int>(bits.Read(4));
            if (length == 1) {
                m_lengths[symbol++] = 1;
                continue;
            }
            const int repeat = static_cast<int>(bits.Read(4)) + 3;
            if (symbol + repeat > 16) return false;
            for (int i = 0; i < repeat; ++i) m_lengths[symbol++] = length;
        }
        int histogram[33] = {};
        for (int length : m_lengths) {
            if (length > 8) return false;
            ++histogram[length];
        }
        uint32_t start = 0, first[33] = {};
        for (int length = 32; length > 0; --length) {
            const uint32_t next = (start + static_cast<uint32_t>(histogram[length])) >> 1;
            if (length != 1 && next * 2 != start + static_cast<uint32_t>(histogram[length])) return false;
            first[length] = start;
            start = next;
        }
        for (int symbol = 0; symbol < 16; ++symbol) {
            if (m_lengths[symbol] > 0) m_codes[symbol] = first[m_lengths[symbol]]++;
        }
        return !bits.Overran();
    }

    // The next symbol; -1 when the bits match no code.
    int Decode(BitReader& bits) const {
        uint32_t code = 0;
        for (int length = 1; length <= 8; ++length) {
            code = code << 1 | static_cast<uint32_t>(bits.Read(1));
            for (int symbol = 0; symbol < 16; ++symbol) {
                if (m_lengths[symbol] == length && m_codes[symbol] == code) return symbol;
            }
        }
        return -1;
    }

private:
    int m_lengths[16] = {};
    uint32_t m_codes[16] = {};
};

bool Inflate(const unsigned char* source, size_t size, unsigned char* out, size_t outSize) {
    z_stream stream{};
    if (inflateInit2(&stream, -15) != Z_OK) return false;
    stream.next_in = const_cast<unsigned char*>(source);
    stream.avail_in = static_cast<uInt>(size);
    stream.next_out = out;
    stream.avail_out = static_cast<uInt>(outSize);
    const int status = inflate(&stream, Z_FINISH);
    const bool whole = (status == Z_STREAM_END || status == Z_OK || status == Z_BUF_ERROR) && stream.total_out == outSize;
    inflateEnd(&stream);
    return whole;
}

bool DecodeLzma(const unsigned char* source, size_t size, unsigned char* out, size_t outSize) {
    lzma_options_lzma options;
    if (lzma_lzma_preset(&options, 0)) return false;
    options.dict_size = std::max<uint32_t>(static_cast<uint32_t>(outSize), LZMA_DICT_SIZE_MIN);
    options.lc = 3, options.lp = 0, options.pb = 2;
    const lzma_filter filters[] = {{LZMA_FILTER_LZMA1, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
    lzma_stream stream = LZMA_STREAM_INIT;
    if (lzma_raw_decoder(&stream, filters) != LZMA_OK) return false;
    stream.next_in = source;
    stream.avail_in = size;
    stream.next_out = out;
    stream.avail_out = outSize;
    const lzma_ret status = lzma_code(&stream, LZMA_RUN);
    const bool whole = (status == LZMA_OK || status == LZMA_STREAM_END) && stream.avail_out == 0;
    lzma_end(&stream);
    return whole;  // no end marker: a full output is the end
}

bool DecodeZstd(const unsigned char* source, size_t size, unsigned char* out, size_t outSize) {
    return ZSTD_decompress(out, outSize, source, size) == outSize;
}

// FLAC frames of 16-bit stereo at 44.1 kHz, without the stream's header: one is made up.
class FlacHunk {
public:
    // Decodes `samples` stereo samples of `source` into `out`, big-endian, left then right;
    // `used` is how many bytes of `source` the frames took.
    bool Decode(const unsigned char* source, size_t size, unsigned char* out, uint32_t samples, uint32_t blockSize, size_t& used) {
        m_input.assign(42, '\0');
        std::memcpy(&m_input[0], "fLaC\x80\x00\x00\x22", 8);
        m_input[8] = static_cast<char>(blockSize >> 8), m_input[9] = static_cast<char>(blockSize);
        m_input[10] = static_cast<char>(blockSize >> 8), m_input[11] = static_cast<char>(blockSize);
        const uint64_t format = uint64_t{44100} << 44 | uint64_t{1} << 41 | uint64_t{15} << 36;
        for (int i = 0; i < 8; ++i) m_input[18 + i] = static_cast<char>(format >> (56 - 8 * i));
        m_input.append(reinterpret_cast<const char*>(source), size);
        m_at = 0, m_out = out, m_wanted = samples, m_written = 0, m_failed = false;
        if (!m_decoder) m_decoder = FLAC__stream_decoder_new();  // made once: hunk after hunk only restarts it
        FLAC__StreamDecoder* decoder = m_decoder;
        if (!decoder) return false;
        FLAC__stream_decoder_finish(decoder);
        bool ok = FLAC__stream_decoder_init_stream(decoder, Read, nullptr, Tell, nullptr, nullptr, Write, nullptr, Error, this) ==
                  FLAC__STREAM_DECODER_INIT_STATUS_OK;
        while (ok && m_written < m_wanted && !m_failed) {
            ok = FLAC__stream_decoder_process_single(decoder) &&
                 FLAC__stream_decoder_get_state(decoder) != FLAC__STREAM_DECODER_END_OF_STREAM;
        }
        FLAC__uint64 position = 0;
        ok = ok && !m_failed && m_written == m_wanted && FLAC__stream_decoder_get_decode_position(decoder, &position) &&
             position >= 42 && position - 42 <= size;
        used = ok ? static_cast<size_t>(position - 42) : 0;
        return ok;
    }

    FlacHunk() = default;
    FlacHunk(const FlacHunk&) = delete;
    FlacHunk& operator=(const FlacHunk&) = delete;
    ~FlacHunk() {
        if (m_decoder) FLAC__stream_decoder_delete(m_decoder);
    }

private:
    static FLAC__StreamDecoderReadStatus Read(const FLAC__StreamDecoder*, FLAC__byte buffer[], size_t* bytes, void* self) {
        auto* hunk = static_cast<FlacHunk*>(self);
        const size_t count = std::min(*bytes, hunk->m_input.size() - hunk->m_at);
        std::memcpy(buffer, hunk->m_input.data() + hunk->m_at, count);
        hunk->m_at += count;
        *bytes = count;
        return count ? FLAC__STREAM_DECODER_READ_STATUS_CONTINUE : FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM;
    }
    static FLAC__StreamDecoderTellStatus Tell(const FLAC__StreamDecoder*, FLAC__uint64* offset, void* self) {
        *offset = static_cast<FlacHunk*>(self)->m_at;
        return FLAC__STREAM_DECODER_TELL_STATUS_OK;
    }
    static FLAC__StreamDecoderWriteStatus Write(const FLAC__StreamDecoder*, const FLAC__Frame* frame, const FLAC__int32* const channels[],
                                                void* self) {
        auto* hunk = static_cast<FlacHunk*>(self);
        if (frame->header.channels != 2 || frame->header.bits_per_sample != 16) {
            hunk->m_failed = true;
            return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
        }
        for (uint32_t i = 0; i < frame->header.blocksize && hunk->m_written < hunk->m_wanted; ++i, ++hunk->m_written) {
            unsigned char* at = hunk->m_out + size_t{hunk->m_written} * 4;
            for (int channel = 0; channel < 2; ++channel) {
                const auto sample = static_cast<uint16_t>(channels[channel][i]);
                at[2 * channel] = static_cast<unsigned char>(sample >> 8);
                at[2 * channel + 1] = static_cast<unsigned char>(sample);
            }
        }
        return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
    }
    static void Error(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void* self) { static_cast<FlacHunk*>(self)->m_failed = true; }

    FLAC__StreamDecoder* m_decoder = nullptr;
    std::string m_input;
    size_t m_at = 0;
    unsigned char* m_out = nullptr;
    uint32_t m_wanted = 0, m_written = 0;
    bool m_failed = false;
};

struct ChdHeader {
    uint32_t codecs[4] = {};
    uint64_t logicalBytes = 0, mapOffset = 0, metadataOffset = 0;
    uint32_t hunkBytes = 0, unitBytes = 0;
    uint64_t hunks = 0;
};

// The CHD's frames, hunk by hunk as they are asked for; the last hunk is kept.
class ChdSource : public ByteSource {
public:
    // `checked`: the map gives each hunk's CRC-16 (compressed CHDs); uncompressed ones have none.
    ChdSource(FILE* file, uint64_t fileSize, const ChdHeader& header, std::vector<MapEntry> map, bool checked)
        : m_file(file), m_fileSize(fileSize), m_header(header), m_map(std::move(map)), m_checked(checked) {}
    ~ChdSource() override { std::fclose(m_file); }
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
    bool ReadFile(uint64_t offset, size_t count, std::string& bytes) {
        if (offset > m_fileSize || count > m_fileSize - offset) return false;
        bytes.resize(count);
        return SeekFile64(m_file, offset) && std::fread(&bytes[0], 1, count, m_file) == count;
    }

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
        } else if (entry->type <= kCodec3) {  // a parent's hunks were refused when opened
            ok = ReadFile(entry->offset, entry->length, bytes) &&
                 DecodeCdHunk(m_header.codecs[entry->type], reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
        }
        if (!ok) m_fault = "hunk " + std::to_string(index) + " of the CHD cannot be decoded";
        if (ok && m_checked && entry->type <= kStored && entry->offset != 0 && Crc16(m_hunk.data(), m_hunk.size()) != entry->crc) {
            m_fault = "hunk " + std::to_string(index) + " of the CHD does not match its CRC";
            ok = false;
        }
        if (ok) m_loaded = index;
        return ok;
    }

    // One hunk of CD frames from its codec's stream, its stripped syncs and ECC restored.
    bool DecodeCdHunk(uint32_t codec, const unsigned char* source, size_t size) {
        const uint32_t frames = m_header.hunkBytes / kFrameBytes;
        m_sectors.assign(size_t{frames} * kSectorBytes, 0);
        m_subcode.assign(size_t{frames} * kSubcodeBytes, 0);
        if (codec == FourCc("cdfl")) {
            uint32_t block = frames * kSectorBytes / 4;
            while (block > 2352) block /= 2;
            size_t used = 0;
            return m_flac.Decode(source, size, m_sectors.data(), frames * kSectorBytes / 4, block, used) &&
                   Inflate(source + used, size - used, m_subcode.data(), m_subcode.size()) && Interleave(frames, nullptr);
        }
        const uint32_t eccBytes = (frames + 7) / 8, lengthBytes = m_header.hunkBytes < 65536 ? 2 : 3;
        if (size < eccBytes + lengthBytes) return false;
        uint32_t length = 0;
        for (uint32_t i = 0; i < lengthBytes; ++i) length = length << 8 | source[eccBytes + i];
        const size_t header = eccBytes + lengthBytes;
        if (length > size - header) return false;
        const unsigned char* sectors = source + header;
        const unsigned char* subcode = sectors + length;
        const size_t subcodeSize = size - header - length;
        bool ok;
        if (codec == FourCc("cdlz")) {
            ok = DecodeLzma(sectors, length, m_sectors.data(), m_sectors.size()) && Inflate(subcode, subcodeSize, m_subcode.data(), m_subcode.size());
        } else if (codec == FourCc("cdzl")) {
            ok = Inflate(sectors, length, m_sectors.data(), m_sectors.size()) && Inflate(subcode, subcodeSize, m_subcode.data(), m_subcode.size());
        } else if (codec == FourCc("cdzs")) {
            ok = DecodeZstd(sectors, length, m_sectors.data(), m_sectors.size()) && DecodeZstd(subcode, subcodeSize, m_subcode.data(), m_subcode.size());
        } else {
            ok = false;  // refused when opened
        }
        return ok && Interleave(frames, source);
    }

    // Frames back from the two streams; where `stripped` marks a frame, its sync and ECC.
    bool Interleave(uint32_t frames, const unsigned char* stripped) {
        static const unsigned char kSync[12] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
        for (uint32_t f = 0; f < frames; ++f) {
            unsigned char* frame = m_hunk.data() + size_t{f} * kFrameBytes;
            std::memcpy(frame, m_sectors.data() + size_t{f} * kSectorBytes, kSectorBytes);
            std::memcpy(frame + kSectorBytes, m_subcode.data() + size_t{f} * kSubcodeBytes, kSubcodeBytes);
            if (stripped && (stripped[f / 8] & (1 << (f % 8)))) {
                std::memcpy(frame, kSync, sizeof kSync);
                ComputeEcc(frame);
            }
        }
        return true;
    }

    FILE* m_file;
    uint64_t m_fileSize;
    ChdHeader m_header;
    std::vector<MapEntry> m_map;
    std::vector<unsigned char> m_hunk, m_sectors, m_subcode;
    bool m_checked;
    std::string m_fault;
    uint64_t m_loaded = UINT64_MAX;
    FlacHunk m_flac;
};

bool Refuse(DiscProblem& problem, const FileHead& head, const std::string& why) { return SheetError(problem, head.path, 0, why); }

bool ReadHeader(const FileHead& head, ChdHeader& header, DiscProblem& problem) {
    ByteView view(head.first);
    const uint64_t length = view.Be(8, 4), version = view.Be(12, 4);
    if (version == 3 || version == 4)
        return Refuse(problem, head, "a version " + std::to_string(version) + " CHD: make a version 5 one with chdman copy -i old.chd -o new.chd");
    if (version != 5 || length != 124) return Refuse(problem, head, "a CHD of version " + std::to_string(version) + " (only 5 is read)");
    for (int i = 0; i < 4; ++i) header.codecs[i] = static_cast<uint32_t>(view.Be(16 + 4 * i, 4));
    header.logicalBytes = view.Be(32, 8);
    header.mapOffset = view.Be(40, 8);
    header.metadataOffset = view.Be(48, 8);
    header.hunkBytes = static_cast<uint32_t>(view.Be(56, 4));
    header.unitBytes = static_cast<uint32_t>(view.Be(60, 4));
    if (view.Text(104, 20) != std::string(20, '\0')) return Refuse(problem, head, "it holds only differences from another: it needs its parent CHD");
    if (!view.ok()) return Refuse(problem, head, "its header is cut short");
    if (header.unitBytes != kFrameBytes) return Refuse(problem, head, "not a CD (units of " + std::to_string(header.unitBytes) + " bytes)");
    if (header.hunkBytes == 0 || header.hunkBytes > kLargestHunk || header.hunkBytes % kFrameBytes != 0)
        return Refuse(problem, head, "hunks of " + std::to_string(header.hunkBytes) + " bytes, which no CD has");
    if (header.logicalBytes > kLargestDisc) return Refuse(problem, head, "larger than any CD (" + std::to_string(header.logicalBytes) + " bytes)");
    header.hunks = (header.logicalBytes + header.hunkBytes - 1) / header.hunkBytes;
    for (uint32_t codec : header.codecs) {
        if (codec != 0 && codec != FourCc("cdlz") && codec != FourCc("cdzl") && codec != FourCc("cdfl") && codec != FourCc("cdzs")) {
            const std::string name{char(codec >> 24), char(codec >> 16), char(codec >> 8), char(codec)};
            return Refuse(problem, head, "a codec not read: " + name);
        }
    }
    return true;
}

bool ReadRange(FILE* file, uint64_t fileSize, uint64_t offset, uint64_t count, std::string& bytes) {
    if (offset > fileSize || count > fileSize - offset) return false;
    bytes.resize(static_cast<size_t>(count));
    return SeekFile64(file, offset) && std::fread(&bytes[0], 1, bytes.size(), file) == bytes.size();
}

// The map: one entry a hunk, each where its bytes lie and how they are coded.
bool ReadMap(const FileHead& head, FILE* file, const ChdHeader& header, std::vector<MapEntry>& map, DiscProblem& problem) {
    map.assign(static_cast<size_t>(header.hunks), MapEntry{});
    std::string bytes;
    if (header.codecs[0] == 0) {  // uncompressed: where each hunk lies, in hunks; 0 for none
        if (!ReadRange(file, head.size, header.mapOffset, header.hunks * 4, bytes)) return Refuse(problem, head, "its map lies past its end");
        ByteView view(bytes);
        for (size_t i = 0; i < map.size(); ++i) map[i] = {kStored, header.hunkBytes, view.Be(i * 4, 4) * header.hunkBytes, 0};
        return true;
    }
    std::string top;
    if (!ReadRange(file, head.size, header.mapOffset, 16, top)) return Refuse(problem, head, "its map lies past its end");
    ByteView view(top);
    const uint64_t mapBytes = view.Be(0, 4), firstOffset = view.Be(4, 6), crc = view.Be(10, 2);
    const int lengthBits = static_cast<int>(view.Be(12, 1)), selfBits = static_cast<int>(view.Be(13, 1)), parentBits = static_cast<int>(view.Be(14, 1));
    // Each hunk takes a few bits of a type and at most 64 of fields.
    if (mapBytes > header.hunks * 9 + 64 || lengthBits > 24 || selfBits > 32 || parentBits > 48)
        return Refuse(problem, head, "its map claims more than its hunks need");
    if (!ReadRange(file, head.size, header.mapOffset + 16, mapBytes, bytes)) return Refuse(problem, head, "its map lies past its end");
    BitReader bits(bytes);
    MapCode code;
    if (!code.Import(bits)) return Refuse(problem, head, "its map's code is malformed");
    uint8_t last = 0;  // as MAME starts
    for (size_t i = 0, repeat = 0; i < map.size(); ++i) {
        if (repeat > 0) {
            map[i].type = last, --repeat;
            continue;
        }
        const int symbol = code.Decode(bits);
        if (symbol < 0 || bits.Overran()) return Refuse(problem, head, "its map ends before its hunks do");
        if (symbol == kRleSmall) {
            map[i].type = last, repeat = 2 + static_cast<size_t>(code.Decode(bits));
        } else if (symbol == kRleLarge) {
            const int high = code.Decode(bits), low = code.Decode(bits);
            map[i].type = last, repeat = 2 + 16 + static_cast<size_t>(high) * 16 + static_cast<size_t>(low);
        } else {
            map[i].type = last = static_cast<uint8_t>(symbol);
        }
    }
    // The fields, and the map as MAME checks it: 12 bytes an entry under one CRC-16.
    std::string entries;
    uint64_t offset = firstOffset, lastSelf = 0, lastParent = 0;
    for (size_t i = 0; i < map.size(); ++i) {
        MapEntry& entry = map[i];
        entry.offset = 0;
        switch (entry.type) {
        case 0: case 1: case 2: case 3:
            entry.length = static_cast<uint32_t>(bits.Read(lengthBits));
            entry.crc = static_cast<uint16_t>(bits.Read(16));
            entry.offset = offset;
            offset += entry.length;
            break;
        case kStored:
            entry.length = header.hunkBytes;
            entry.crc = static_cast<uint16_t>(bits.Read(16));
            entry.offset = offset;
            offset += entry.length;
            break;
        case kSelf: entry.offset = lastSelf = bits.Read(selfBits); break;
        case kParent: entry.offset = lastParent = bits.Read(parentBits); break;
        case kSelf1: ++lastSelf; [[fallthrough]];
        case kSelf0: entry.type = kSelf, entry.offset = lastSelf; break;
        case kParentSelf: entry.type = kParent, entry.offset = lastParent = uint64_t{i} * header.hunkBytes / header.unitBytes; break;
        case kParent1: lastParent += header.hunkBytes / header.unitBytes; [[fallthrough]];
        case kParent0: entry.type = kParent, entry.offset = lastParent; break;
        default: return Refuse(problem, head, "its map names a hunk of unknown kind");
        }
        const unsigned char raw[12] = {entry.type, uint8_t(entry.length >> 16), uint8_t(entry.length >> 8), uint8_t(entry.length),
                                       uint8_t(entry.offset >> 40), uint8_t(entry.offset >> 32), uint8_t(entry.offset >> 24),
                                       uint8_t(entry.offset >> 16), uint8_t(entry.offset >> 8), uint8_t(entry.offset),
                                       uint8_t(entry.crc >> 8), uint8_t(entry.crc)};
        entries.append(reinterpret_cast<const char*>(raw), sizeof raw);
        if (entry.type == kParent) return Refuse(problem, head, "it takes hunks from another: it needs its parent CHD");
        if (entry.type == kSelf && entry.offset >= i) return Refuse(problem, head, "its map copies a hunk that comes later");
    }
    if (bits.Overran() || Crc16(reinterpret_cast<const unsigned char*>(entries.data()), entries.size()) != crc)
        return Refuse(problem, head, "its map does not match its CRC");
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

bool ReadTracks(const FileHead& head, FILE* file, const ChdHeader& header, std::vector<ChdTrack>& tracks, DiscProblem& problem) {
    uint64_t at = header.metadataOffset;
    for (int count = 0; at != 0; ++count) {
        std::string top;
        if (count >= kMostMetadata || !ReadRange(file, head.size, at, 16, top)) return Refuse(problem, head, "its metadata chain breaks off or loops");
        ByteView view(top);
        const uint64_t tag = view.Be(0, 4), length = view.Be(5, 3), next = view.Be(8, 8);
        if (tag == FourCc("CHT2") || tag == FourCc("CHTR")) {
            std::string text;
            if (length > 1024 || !ReadRange(file, head.size, at + 16, length, text)) return Refuse(problem, head, "a track's metadata lies past its end");
            text = text.substr(0, text.find('\0'));
            ChdTrack track;
            uint64_t number = 0;
            track.type = Field(text, "TYPE");
            const std::string subtype = Field(text, "SUBTYPE"), pgtype = Field(text, "PGTYPE");
            track.subchannel = subtype == "RW" || subtype == "RW_RAW";
            track.pregapStored = !pgtype.empty() && pgtype[0] == 'V';
            if (!ParseCount(Field(text, "TRACK"), 99, number) || !ParseCount(Field(text, "FRAMES"), 500000, track.frames) ||
                (tag == FourCc("CHT2") && (!ParseCount(Field(text, "PREGAP"), 500000, track.pregap) || !ParseCount(Field(text, "POSTGAP"), 500000, track.postgap))))
                return Refuse(problem, head, "a track's metadata is malformed: " + text);
            track.number = static_cast<int>(number);
            tracks.push_back(track);
        } else if (tag == FourCc("CHCD")) {
            return Refuse(problem, head, "its tracks are described the oldest way (CHCD): make it anew with chdman copy");
        }
        at = next;
    }
    if (tracks.empty()) return Refuse(problem, head, "no track in its metadata");
    return true;
}

// How a track's frames hold its sectors.
bool PlaceOf(const std::string& type, TrackPlace& place, bool& data) {
    data = true;
    if (type == "MODE1" || type == "MODE2_FORM1") place.format = SectorFormat::Cooked;
    else if (type == "MODE1_RAW" || type == "MODE2_RAW") place.format = SectorFormat::Raw;
    else if (type == "MODE2" || type == "MODE2_FORM_MIX") place.format = SectorFormat::Mode2;
    else if (type == "AUDIO" || type == "MODE2_FORM2") place.format = SectorFormat::Audio, data = false;
    else return false;
    place.stride = kFrameBytes;
    return true;
}

bool HoldsDescriptor(ByteSource& source, const TrackPlace& place, uint64_t frame) {
    const uint32_t data = place.format == SectorFormat::Cooked ? 0 : place.format == SectorFormat::Mode2 ? 8 : 16;
    for (uint32_t offset : {data, data + 8}) {  // Form 1 user data starts 8 bytes later in raw frames
        char identifier[6] = {};
        if (source.ReadAt((frame + 16) * kFrameBytes + offset, identifier, 6) == 6 && std::memcmp(identifier, "\001CD001", 6) == 0) return true;
        if (place.format != SectorFormat::Raw) break;
    }
    return false;
}

bool ReadChd(const FileHead& head, DiscLayout& layout, DiscProblem& problem) {
    ChdHeader header;
    if (!ReadHeader(head, header, problem)) return false;
    std::string refusal;
    FILE* file = OpenImageFileUtf8(head.path, refusal);
    if (!file) {
        problem = {DiscFault::NotOpened, head.path, refusal.empty() ? errno : 0, refusal};
        return false;
    }
    std::vector<MapEntry> map;
    std::vector<ChdTrack> tracks;
    if (!ReadMap(head, file, header, map, problem) || !ReadTracks(head, file, header, tracks, problem)) {
        std::fclose(file);
        return false;
    }
    auto source = std::make_shared<ChdSource>(file, head.size, header, std::move(map), header.codecs[0] != 0);
    uint64_t frame = 0, address = 0;
    for (const ChdTrack& track : tracks) {
        DiscTrack disc{track.number, false, head.path, {}, source};
        if (!PlaceOf(track.type, disc.place, disc.data)) return Refuse(problem, head, "track " + std::to_string(track.number) + " of unknown type " + track.type);
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
        if (frame * kFrameBytes > header.logicalBytes + 4 * kFrameBytes) return Refuse(problem, head, "its tracks run past its frames");
    }
    // Addresses count from track 1's INDEX 01.
    const uint32_t base = layout.tracks.front().place.firstLba;
    for (DiscTrack& track : layout.tracks) track.place.firstLba -= base;
    return true;
}

bool LooksLikeChd(const FileHead& head) { return head.first.compare(0, sizeof kChdMagic - 1, kChdMagic) == 0; }

}  // namespace

const ContainerFormat kChd = {LooksLikeChd, nullptr, ".chd", ReadChd};
