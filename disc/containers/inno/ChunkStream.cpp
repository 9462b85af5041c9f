// A chunk starts with "zlb\x1a" where its data entry points; its stored bytes follow,
// running on from the end of one slice into the next slice's data. LZMA1 chunks start
// with 5 bytes of properties, LZMA2 chunks with one (the dictionary size); zlib and
// bzip2 chunks are whole streams of their formats.
#include "ChunkStream.h"

#include <algorithm>
#include <functional>
#include <cstring>

#include "disc/ByteSource.h"
#include "disc/LittleEndian.h"

#ifdef MG_CODECS
#include <bzlib.h>
#include <lzma.h>
#include <zlib.h>
#endif

namespace {

constexpr char kChunkSignature[4] = {'z', 'l', 'b', '\x1a'};
constexpr size_t kSliceDataStart = 12;           // after a slice's signature and size
constexpr size_t kDecodedBuffer = 256 * 1024;
constexpr size_t kStoredBuffer = 64 * 1024;
// A dictionary larger than any installer's compression settings give (Inno Setup's
// largest preset takes 64 MiB) is refused rather than allocated.
constexpr uint64_t kLargestDictionary = uint64_t{256} << 20;

}  // namespace

// The chunk's stored bytes, in order, across slices.
class RawChunk {
public:
    RawChunk(const InstallerData& data, const SetupDataEntry& entry)
        : m_data(data), m_slice(entry.firstSlice), m_left(entry.chunkSize) {}

    // Checks the chunk's signature where it starts; false with `why`.
    bool Open(const SetupDataEntry& entry, std::string& why) {
        if (m_slice >= m_data.slices.size() || !m_data.slices[m_slice].source) {
            why = "a file's data lies in slice " + std::to_string(m_slice + 1) + ", which is not there";
            return false;
        }
        m_at = m_data.start + entry.chunkOffset;
        char signature[sizeof kChunkSignature];
        m_left += sizeof signature;
        if (Read(reinterpret_cast<unsigned char*>(signature), sizeof signature, why) != sizeof signature) {
            if (why.empty()) why = "a chunk starts past the end of its data";
            return false;
        }
        if (std::memcmp(signature, kChunkSignature, sizeof signature) != 0) {
            why = "no chunk where a file's data entry points (byte " + std::to_string(m_data.start + entry.chunkOffset) +
                  " of " + m_data.slices[m_slice].path + ")";
            return false;
        }
        return true;
    }

    // Up to `size` of its next bytes: fewer at its end (`why` empty) or where its slices
    // end before it does (`why` says so).
    size_t Read(unsigned char* out, size_t size, std::string& why) {
        size_t total = 0;
        while (total < size && m_left > 0) {
            const InstallerData::Slice& slice = m_data.slices[m_slice];
            if (m_at >= slice.end) {
                if (m_slice + 1 >= m_data.slices.size() || !m_data.slices[m_slice + 1].source) {
                    why = "a chunk runs past the end of the installer's last slice (" + slice.path + ")";
                    return total;
                }
                ++m_slice;
                m_at = kSliceDataStart;
                continue;
            }
            const size_t want = static_cast<size_t>(std::min<uint64_t>({size - total, slice.end - m_at, m_left}));
            const size_t got = slice.source->ReadAt(m_at, out + total, want);
            total += got, m_at += got, m_left -= got;
            if (got < want) {
                why = "the installer ends early: " + slice.path + " is shorter than it records";
                return total;
            }
        }
        return total;
    }

private:
    const InstallerData& m_data;
    size_t m_slice;
    uint64_t m_at = 0;
    uint64_t m_left;
};

Decoder::Decoder(ByteInput input) : m_input(std::move(input)), m_in(kStoredBuffer) {}

bool Decoder::Fill(std::string& why) {
    if (m_inAt < m_inEnd) return true;
    m_inAt = 0;
    m_inEnd = m_input(m_in.data(), m_in.size(), why);
    return m_inEnd > 0;
}

namespace {

class StoredDecoder : public Decoder {
public:
    using Decoder::Decoder;
    size_t Decode(unsigned char* out, size_t size, std::string& why) override { return m_input(out, size, why); }
};

#ifdef MG_CODECS

class ZlibDecoder : public Decoder {
public:
    explicit ZlibDecoder(ByteInput input) : Decoder(std::move(input)) { m_ok = inflateInit(&m_stream) == Z_OK; }
    ~ZlibDecoder() override { inflateEnd(&m_stream); }
    size_t Decode(unsigned char* out, size_t size, std::string& why) override {
        m_stream.next_out = out;
        m_stream.avail_out = static_cast<uInt>(size);
        while (m_ok && !m_ended && m_stream.avail_out > 0) {
            if (!Fill(why)) break;
            m_stream.next_in = m_in.data() + m_inAt;
            m_stream.avail_in = static_cast<uInt>(m_inEnd - m_inAt);
            const int status = inflate(&m_stream, Z_NO_FLUSH);
            m_inAt = m_inEnd - m_stream.avail_in;
            if (status == Z_STREAM_END) m_ended = true;
            else if (status != Z_OK) m_ok = false;
        }
        if (!m_ok) why = "a chunk does not decompress (zlib)";
        return size - m_stream.avail_out;
    }

private:
    z_stream m_stream{};
    bool m_ok = false, m_ended = false;
};

class Bzip2Decoder : public Decoder {
public:
    explicit Bzip2Decoder(ByteInput input) : Decoder(std::move(input)) { m_ok = BZ2_bzDecompressInit(&m_stream, 0, 0) == BZ_OK; }
    ~Bzip2Decoder() override { BZ2_bzDecompressEnd(&m_stream); }
    size_t Decode(unsigned char* out, size_t size, std::string& why) override {
        m_stream.next_out = reinterpret_cast<char*>(out);
        m_stream.avail_out = static_cast<unsigned>(size);
        while (m_ok && !m_ended && m_stream.avail_out > 0) {
            if (!Fill(why)) break;
            m_stream.next_in = reinterpret_cast<char*>(m_in.data() + m_inAt);
            m_stream.avail_in = static_cast<unsigned>(m_inEnd - m_inAt);
            const int status = BZ2_bzDecompress(&m_stream);
            m_inAt = m_inEnd - m_stream.avail_in;
            if (status == BZ_STREAM_END) m_ended = true;
            else if (status != BZ_OK) m_ok = false;
        }
        if (!m_ok) why = "a chunk does not decompress (bzip2)";
        return size - m_stream.avail_out;
    }

private:
    bz_stream m_stream{};
    bool m_ok = false, m_ended = false;
};

class LzmaDecoder : public Decoder {
public:
    // `needed`: the most of the chunk that will be read, which no dictionary need exceed.
    LzmaDecoder(ByteInput input, bool lzma2, uint64_t needed) : Decoder(std::move(input)), m_lzma2(lzma2), m_needed(needed) {}
    ~LzmaDecoder() override { lzma_end(&m_stream); }
    size_t Decode(unsigned char* out, size_t size, std::string& why) override {
        if (!m_started && !Begin(why)) return 0;
        m_stream.next_out = out;
        m_stream.avail_out = size;
        while (!m_ended && m_stream.avail_out > 0) {
            if (!Fill(why)) break;
            m_stream.next_in = m_in.data() + m_inAt;
            m_stream.avail_in = m_inEnd - m_inAt;
            const lzma_ret status = lzma_code(&m_stream, LZMA_RUN);
            m_inAt = m_inEnd - m_stream.avail_in;
            if (status == LZMA_STREAM_END) {
                m_ended = true;
            } else if (status != LZMA_OK) {
                why = m_lzma2 ? "a chunk does not decompress (LZMA2)" : "a chunk does not decompress (LZMA)";
                break;
            }
        }
        return size - m_stream.avail_out;
    }

private:
    bool Begin(std::string& why) {
        m_started = true;
        unsigned char properties[5];
        const size_t count = m_lzma2 ? 1 : 5;
        for (size_t i = 0; i < count; ++i) {
            if (!Fill(why)) {
                if (why.empty()) why = "a chunk ends inside its LZMA properties";
                return false;
            }
            properties[i] = m_in[m_inAt++];
        }
        lzma_options_lzma options{};
        uint64_t dictionary = 0;
        if (m_lzma2) {
            if (properties[0] > 40) return Refuse("a chunk's LZMA2 dictionary size is malformed", why);
            dictionary = properties[0] == 40 ? UINT32_MAX : (uint64_t{2} | (properties[0] & 1)) << (properties[0] / 2 + 11);
        } else {
            if (properties[0] >= 9 * 5 * 5) return Refuse("a chunk's LZMA properties are malformed", why);
            options.lc = properties[0] % 9, options.lp = properties[0] / 9 % 5, options.pb = properties[0] / 45;
            dictionary = LittleEndian32(properties + 1);
        }
        // What is read of the chunk is all that can be referred back to: no larger
        // dictionary is needed, whatever the chunk asks for.
        dictionary = std::max<uint64_t>(LZMA_DICT_SIZE_MIN, std::min(dictionary, m_needed));
        if (dictionary > kLargestDictionary)
            return Refuse("a chunk asks for a " + std::to_string(dictionary >> 20) + " MiB dictionary, more than any installer's", why);
        options.dict_size = static_cast<uint32_t>(dictionary);
        const lzma_filter filters[] = {{m_lzma2 ? LZMA_FILTER_LZMA2 : LZMA_FILTER_LZMA1, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
        if (lzma_raw_decoder(&m_stream, filters) != LZMA_OK) return Refuse("a chunk's LZMA properties are not supported", why);
        return true;
    }
    static bool Refuse(const std::string& reason, std::string& why) {
        why = reason;
        return false;
    }

    bool m_lzma2;
    uint64_t m_needed;
    lzma_stream m_stream = LZMA_STREAM_INIT;
    bool m_started = false, m_ended = false;
};

#endif

std::unique_ptr<Decoder> MakeDecoder(ChunkCompression compression, std::shared_ptr<RawChunk> raw, uint64_t needed) {
    ByteInput input = [raw](unsigned char* out, size_t size, std::string& why) { return raw->Read(out, size, why); };
    switch (compression) {
    case ChunkCompression::Stored: return std::make_unique<StoredDecoder>(std::move(input));
#ifdef MG_CODECS
    case ChunkCompression::Zlib: return std::make_unique<ZlibDecoder>(std::move(input));
    case ChunkCompression::Bzip2: return std::make_unique<Bzip2Decoder>(std::move(input));
    case ChunkCompression::Lzma1: return std::make_unique<LzmaDecoder>(std::move(input), false, needed);
    case ChunkCompression::Lzma2: return std::make_unique<LzmaDecoder>(std::move(input), true, needed);
#else
    default: break;
#endif
    }
    (void)needed;
    return nullptr;
}

}  // namespace

std::unique_ptr<Decoder> Inflate(ByteInput input) {
#ifdef MG_CODECS
    return std::make_unique<ZlibDecoder>(std::move(input));
#else
    (void)input;
    return nullptr;
#endif
}

bool CanDecompress(ChunkCompression compression) {
#ifdef MG_CODECS
    (void)compression;
    return true;
#else
    return compression == ChunkCompression::Stored;
#endif
}

size_t CallFilter::Apply(unsigned char* data, size_t size, bool last) {
    constexpr uint64_t kBlock = 0x10000;
    size_t i = 0;
    while (i < size) {
        const uint64_t position = m_position + i;
        if ((data[i] != 0xe8 && data[i] != 0xe9) || kBlock - position % kBlock < 5) {
            ++i;
            continue;
        }
        if (size - i < 5) {
            if (last) break;  // the file ends inside it: left as it stands
            m_position += i;
            return i;
        }
        unsigned char* address = data + i + 1;
        if (address[3] == 0x00 || address[3] == 0xff) {
            const uint32_t end = static_cast<uint32_t>((position + 5) & 0xffffff);
            const uint32_t relative = (address[0] | uint32_t{address[1]} << 8 | uint32_t{address[2]} << 16) - end;
            address[0] = static_cast<unsigned char>(relative);
            address[1] = static_cast<unsigned char>(relative >> 8);
            address[2] = static_cast<unsigned char>(relative >> 16);
            if (relative & 0x800000) address[3] = static_cast<unsigned char>(~address[3]);
        }
        i += 5;
    }
    m_position += size;
    return size;
}

ChunkStream::ChunkStream(const InstallerData& data, const SetupDataEntry& entry, ChunkCompression compression)
    : m_data(data), m_entry(entry), m_compression(entry.compressed ? compression : ChunkCompression::Stored),
      m_digest(entry.checksumKind == ChecksumKind::Sha256 ? DigestKind::Sha256 : DigestKind::Sha1) {}

ChunkStream::~ChunkStream() = default;

bool ChunkStream::Start(std::string& why) {
    m_started = true;
    auto raw = std::make_shared<RawChunk>(m_data, m_entry);
    if (!raw->Open(m_entry, why)) return false;
    m_decoder = MakeDecoder(m_compression, raw, m_entry.fileOffset + m_entry.fileSize);
    if (!m_decoder) {
        why = "its data is compressed in a way this build does not read";
        return false;
    }
    m_skip = m_entry.fileOffset;
    m_buffer.resize(kDecodedBuffer);
    return true;
}

bool ChunkStream::Refill(std::string& why) {
    // Bytes the filter kept back lie after m_bufferEnd: they go first.
    const size_t held = m_heldEnd - m_bufferEnd;
    std::memmove(m_buffer.data(), m_buffer.data() + m_bufferEnd, held);
    m_bufferAt = m_bufferEnd = 0;
    m_heldEnd = held;
    while (m_bufferEnd == 0) {
        const uint64_t fileLeft = m_entry.fileSize - m_decodedOfFile;
        const size_t want = static_cast<size_t>(m_skip > 0 ? std::min<uint64_t>(m_skip, m_buffer.size())
                                                           : std::min<uint64_t>(fileLeft, m_buffer.size() - m_heldEnd));
        if (want == 0) return false;  // the buffer holds all that is left and cannot take more
        unsigned char* into = m_buffer.data() + (m_skip > 0 ? 0 : m_heldEnd);
        const size_t got = m_decoder->Decode(into, want, why);
        if (got == 0) {
            if (why.empty()) why = "a chunk ends before the file it holds does";
            return false;
        }
        if (m_skip > 0) {
            m_skip -= got;
            continue;
        }
        m_decodedOfFile += got;
        m_heldEnd += got;
        const bool last = m_decodedOfFile == m_entry.fileSize;
        m_bufferEnd = m_entry.callFilter ? m_filter.Apply(m_buffer.data(), m_heldEnd, last) : m_heldEnd;
        m_digest.Add(m_buffer.data(), m_bufferEnd);
    }
    return true;
}

size_t ChunkStream::Read(unsigned char* out, size_t size, std::string& why) {
    if (!m_started && !Start(why)) return 0;
    if (!m_decoder) return 0;
    size_t total = 0;
    while (total < size && m_delivered < m_entry.fileSize) {
        if (m_bufferAt == m_bufferEnd && !Refill(why)) break;
        const size_t take = std::min(size - total, m_bufferEnd - m_bufferAt);
        std::memcpy(out + total, m_buffer.data() + m_bufferAt, take);
        total += take, m_bufferAt += take, m_delivered += take;
    }
    if (m_delivered == m_entry.fileSize && !m_checked) {
        m_checked = true;
        if (m_digest.Finish() != m_entry.checksum) m_damaged = true;
    }
    return total;
}
