#include "StoredFile.h"

#include <algorithm>

#ifdef MG_CODECS
#include <zlib.h>
#endif

uint64_t StoredFile::Size() const {
    uint64_t size = 0;
    for (const Part& part : parts) size += part.size;
    return size;
}

// A part's zlib stream, inflated as its chunk's bytes arrive.
class Inflater {
public:
    explicit Inflater(ChunkStream& chunk) : m_chunk(chunk), m_in(64 * 1024) {
#ifdef MG_CODECS
        m_ok = inflateInit(&m_stream) == Z_OK;
#endif
    }
    ~Inflater() {
#ifdef MG_CODECS
        inflateEnd(&m_stream);
#endif
    }
    size_t Read(unsigned char* out, size_t size, std::string& why) {
#ifdef MG_CODECS
        m_stream.next_out = out;
        m_stream.avail_out = static_cast<uInt>(size);
        while (m_ok && !m_ended && m_stream.avail_out > 0) {
            if (m_inAt == m_inEnd) {
                m_inAt = 0;
                m_inEnd = m_chunk.Read(m_in.data(), m_in.size(), why);
                if (m_inEnd == 0) {
                    if (why.empty()) why = "a part of a file ends before its zlib stream does";
                    break;
                }
            }
            m_stream.next_in = m_in.data() + m_inAt;
            m_stream.avail_in = static_cast<uInt>(m_inEnd - m_inAt);
            const int status = inflate(&m_stream, Z_NO_FLUSH);
            m_inAt = m_inEnd - m_stream.avail_in;
            if (status == Z_STREAM_END) m_ended = true;
            else if (status != Z_OK) m_ok = false;
        }
        if (!m_ok) why = "a part of a file does not inflate (zlib)";
        return size - m_stream.avail_out;
#else
        (void)out, (void)size;
        why = "a file in parts is deflated, which this build does not read";
        return 0;
#endif
    }

private:
    ChunkStream& m_chunk;
    std::vector<unsigned char> m_in;
    size_t m_inAt = 0, m_inEnd = 0;
#ifdef MG_CODECS
    z_stream m_stream{};
#endif
    bool m_ok = false, m_ended = false;
};

FileStream::FileStream(const InstallerData& data, const StoredFile& file, ChunkCompression compression)
    : m_data(data), m_file(file), m_compression(compression) {}

FileStream::~FileStream() = default;

bool FileStream::NextPart(std::string& why) {
    if (m_chunk && m_chunk->Checked() && m_chunk->Damaged()) m_damaged = true;
    m_inflater.reset();
    m_chunk.reset();
    if (m_part >= m_file.parts.size()) return false;
    const StoredFile::Part& part = m_file.parts[m_part++];
    m_chunk = std::make_unique<ChunkStream>(m_data, part.entry, m_compression);
    if (m_file.inParts) m_inflater = std::make_unique<Inflater>(*m_chunk);
    m_partLeft = part.size;
    (void)why;
    return true;
}

size_t FileStream::Read(unsigned char* out, size_t size, std::string& why) {
    size_t total = 0;
    while (total < size) {
        if (m_partLeft == 0) {
            // A part's chunk is read to its end, so that its digest is compared.
            if (m_chunk && !m_chunk->Checked()) {
                unsigned char rest[4096];
                while (m_chunk->Read(rest, sizeof rest, why) > 0) {}
                if (!why.empty()) break;
            }
            if (!NextPart(why)) break;
            continue;
        }
        const size_t want = static_cast<size_t>(std::min<uint64_t>(size - total, m_partLeft));
        const size_t got = m_inflater ? m_inflater->Read(out + total, want, why) : m_chunk->Read(out + total, want, why);
        if (m_file.inParts) m_whole.Add(out + total, got);
        total += got, m_partLeft -= got, m_delivered += got;
        if (got < want) {
            if (why.empty()) why = "a file ends early";
            break;
        }
    }
    if (!m_checked && m_delivered == m_file.Size() && m_part == m_file.parts.size() && m_partLeft == 0) {
        std::string ignored;
        if (m_chunk && !m_chunk->Checked()) {
            unsigned char rest[4096];
            while (m_chunk->Read(rest, sizeof rest, ignored) > 0) {}
        }
        if (!m_chunk || m_chunk->Checked()) {
            m_checked = true;
            if (m_chunk && m_chunk->Damaged()) m_damaged = true;
            if (m_file.inParts && m_whole.Finish() != m_file.md5) m_damaged = true;
        }
    }
    return total;
}
