#include "InstallerSource.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr size_t kHeadBytes = 4 << 20;
constexpr size_t kBlockBytes = 1 << 20;
// A walk reads a disc's files in the order it holds them, so that one pass decodes it;
// going back is for odd layouts, and only so often.
constexpr int kMostRestarts = 16;

}  // namespace

InstallerSource::InstallerSource(std::shared_ptr<const InstallerData> data, StoredFile file, ChunkCompression compression,
                                 std::string name)
    : m_data(std::move(data)), m_file(std::move(file)), m_size(m_file.Size()), m_compression(compression), m_name(std::move(name)) {}

bool InstallerSource::Restart() {
    if (m_stream && ++m_restarts > kMostRestarts) {
        m_fault = "the disc's files are read out of order more often than " + m_name +
                  " can be decompressed again (" + std::to_string(kMostRestarts) + " times)";
        return false;
    }
    m_stream = std::make_unique<FileStream>(*m_data, m_file, m_compression);
    m_windowStart = m_windowEnd = 0;
    m_window.clear();
    return true;
}

bool InstallerSource::NextBlock() {
    const uint64_t left = m_size - m_windowEnd;
    m_window.resize(static_cast<size_t>(std::min<uint64_t>(kBlockBytes, left)));
    std::string why;
    const size_t got = m_stream->Read(m_window.data(), m_window.size(), why);
    m_window.resize(got);
    m_windowStart = m_windowEnd;
    m_windowEnd += got;
    if (m_windowStart < kHeadBytes && m_head.size() == m_windowStart) {
        const size_t keep = static_cast<size_t>(std::min<uint64_t>(got, kHeadBytes - m_windowStart));
        m_head.insert(m_head.end(), m_window.begin(), m_window.begin() + static_cast<std::ptrdiff_t>(keep));
    }
    if (m_stream->Checked() && m_stream->Damaged()) m_damaged = true;
    if (got == 0) {
        m_fault = m_name + " cannot be read from the installer: " + (why.empty() ? std::string("it ends early") : why);
        return false;
    }
    return true;
}

size_t InstallerSource::ReadAt(uint64_t position, void* buffer, size_t size) {
    auto* out = static_cast<unsigned char*>(buffer);
    m_fault.clear();
    if (position >= m_size) return 0;
    size = static_cast<size_t>(std::min<uint64_t>(size, m_size - position));
    size_t total = 0;
    while (total < size) {
        const uint64_t at = position + total;
        if (at < m_head.size()) {
            const size_t take = std::min<size_t>(size - total, m_head.size() - static_cast<size_t>(at));
            std::memcpy(out + total, m_head.data() + at, take);
            total += take;
        } else if (m_stream && at >= m_windowStart && at < m_windowEnd) {
            const size_t take = static_cast<size_t>(std::min<uint64_t>(size - total, m_windowEnd - at));
            std::memcpy(out + total, m_window.data() + (at - m_windowStart), take);
            total += take;
        } else if (!m_stream || at < m_windowStart) {
            if (!Restart()) break;
        } else if (!NextBlock()) {
            break;
        }
    }
    return total;
}

std::string InstallerSource::CheckWhole() {
    if (!m_stream && !Restart()) return m_fault;
    while (m_windowEnd < m_size) {
        if (!NextBlock()) return m_fault;
    }
    if (m_damaged) return m_name + "'s digest does not match the installer's record of it: its data is damaged";
    return {};
}
