#include "StoredFile.h"

#include <algorithm>

uint64_t StoredFile::Size() const {
    uint64_t size = 0;
    for (const Part& part : parts) size += part.size;
    return size;
}

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
    if (m_file.inParts) {
        ChunkStream* chunk = m_chunk.get();
        m_inflater = Inflate([chunk](unsigned char* out, size_t size, std::string& why) { return chunk->Read(out, size, why); });
        if (!m_inflater) {
            why = "a file in parts is deflated, which this build does not read";
            return false;
        }
    }
    m_partLeft = part.size;
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
        const size_t got = m_inflater ? m_inflater->Decode(out + total, want, why) : m_chunk->Read(out + total, want, why);
        if (m_file.inParts) m_whole.Add(out + total, got);
        total += got, m_partLeft -= got, m_delivered += got;
        if (got < want) {
            if (why.empty()) why = m_inflater ? "a part of a file ends before its size" : "a file ends early";
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
