// The CD codecs: cdlz (LZMA), cdzl (deflate) and cdzs (Zstandard) store a bitmap of the
// frames whose sync and ECC were stripped, the sector stream's length, the sectors, then
// the subchannel; cdfl stores the sectors as FLAC frames of 16-bit stereo samples, then
// the deflated subchannel.
#include "HunkCodec.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include <lzma.h>
#include <zlib.h>
#include <zstd.h>

#include "ChdFormat.h"
#include "FlacFrames.h"
#include "disc/Edc.h"

namespace {

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

// Frames back from the two streams; where `stripped` marks a frame, its sync and ECC.
void Interleave(const unsigned char* sectors, const unsigned char* subcode, const unsigned char* stripped, unsigned char* hunk,
                uint32_t frames) {
    for (uint32_t f = 0; f < frames; ++f) {
        unsigned char* frame = hunk + size_t{f} * kFrameBytes;
        std::memcpy(frame, sectors + size_t{f} * kRawSectorBytes, kRawSectorBytes);
        std::memcpy(frame + kRawSectorBytes, subcode + size_t{f} * kSubchannelBytes, kSubchannelBytes);
        if (stripped && (stripped[f / 8] & (1 << (f % 8)))) {
            std::memcpy(frame, kSync, sizeof kSync);
            ComputeEcc(frame);
        }
    }
}

using Decoder = bool (*)(const unsigned char* source, size_t size, unsigned char* out, size_t outSize);

// cdlz, cdzl and cdzs: one decoder for the sectors, one for the subchannel.
class CdCodec : public HunkCodec {
public:
    CdCodec(Decoder sectors, Decoder subcode) : m_decodeSectors(sectors), m_decodeSubcode(subcode) {}

    bool Decode(const unsigned char* source, size_t size, unsigned char* hunk, uint32_t frames) override {
        m_sectors.assign(size_t{frames} * kRawSectorBytes, 0);
        m_subcode.assign(size_t{frames} * kSubchannelBytes, 0);
        const uint32_t eccBytes = (frames + 7) / 8, lengthBytes = frames * kFrameBytes < 65536 ? 2 : 3;
        if (size < eccBytes + lengthBytes) return false;
        uint32_t length = 0;
        for (uint32_t i = 0; i < lengthBytes; ++i) length = length << 8 | source[eccBytes + i];
        const size_t header = eccBytes + lengthBytes;
        if (length > size - header) return false;
        const unsigned char* sectors = source + header;
        if (!m_decodeSectors(sectors, length, m_sectors.data(), m_sectors.size()) ||
            !m_decodeSubcode(sectors + length, size - header - length, m_subcode.data(), m_subcode.size()))
            return false;
        Interleave(m_sectors.data(), m_subcode.data(), source, hunk, frames);
        return true;
    }

private:
    Decoder m_decodeSectors, m_decodeSubcode;
    std::vector<unsigned char> m_sectors, m_subcode;
};

class CdFlacCodec : public HunkCodec {
public:
    bool Decode(const unsigned char* source, size_t size, unsigned char* hunk, uint32_t frames) override {
        m_sectors.assign(size_t{frames} * kRawSectorBytes, 0);
        m_subcode.assign(size_t{frames} * kSubchannelBytes, 0);
        uint32_t block = frames * kRawSectorBytes / 4;
        while (block > kRawSectorBytes) block /= 2;
        size_t used = 0;
        if (!m_flac.Decode(source, size, m_sectors.data(), frames * kRawSectorBytes / 4, block, used) ||
            !Inflate(source + used, size - used, m_subcode.data(), m_subcode.size()))
            return false;
        Interleave(m_sectors.data(), m_subcode.data(), nullptr, hunk, frames);
        return true;
    }

private:
    FlacHunk m_flac;
    std::vector<unsigned char> m_sectors, m_subcode;
};

}  // namespace

std::unique_ptr<HunkCodec> MakeHunkCodec(uint32_t tag) {
    switch (tag) {
    case FourCc("cdlz"): return std::make_unique<CdCodec>(DecodeLzma, Inflate);
    case FourCc("cdzl"): return std::make_unique<CdCodec>(Inflate, Inflate);
    case FourCc("cdzs"): return std::make_unique<CdCodec>(DecodeZstd, DecodeZstd);
    case FourCc("cdfl"): return std::make_unique<CdFlacCodec>();
    }
    return nullptr;
}
