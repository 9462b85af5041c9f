// Files as sources of bytes, read or viewed through a mapping; and sources joined.
#include "ByteSource.h"

#include <algorithm>
#include <cstring>

#include "ImageFile.h"

#ifndef _WIN32
#include <chrono>

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#ifdef _WIN32

FileSource::FileSource(FILE* file, Mapping) : m_file(file) { std::setvbuf(file, nullptr, _IONBF, 0); }
const unsigned char* FileSource::View(uint64_t, size_t) { return nullptr; }
void FileSource::Unmap() {}

#else

namespace {

// A few MiB at a time: few calls to map, and few pages held (mapped pages count as the
// process's memory until unmapped).
constexpr size_t kWindowBytes = 2 << 20;

// Maps the first `length` bytes of `fd` and touches every cache line: the seconds it took.
double TimeMappedTouch(int fd, size_t length) {
    const auto start = std::chrono::steady_clock::now();
    void* window = mmap(nullptr, length, PROT_READ, MAP_SHARED, fd, 0);
    if (window == MAP_FAILED) return 1e9;
    volatile unsigned char sink = 0;
    for (size_t i = 0; i < length; i += 64) sink = sink + static_cast<const unsigned char*>(window)[i];
    munmap(window, length);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Whether touching a mapped file's pages costs less than reading them into a buffer, as
// measured once, on the first 256 KiB of the first image that large (read once before, so
// both find them cached). Where they differ, they differ by far: a few reads tell.
bool MappingPays(int fd, uint64_t size) {
    constexpr size_t length = 256 << 10;
    if (size < length) return false;  // too small to tell by, or to gain from mapping
    static const bool pays = [fd] {
        const std::unique_ptr<unsigned char[]> buffer(new unsigned char[length]);
        if (pread(fd, buffer.get(), length, 0) != static_cast<ssize_t>(length)) return false;
        const auto start = std::chrono::steady_clock::now();
        if (pread(fd, buffer.get(), length, 0) != static_cast<ssize_t>(length)) return false;
        const double read = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        return TimeMappedTouch(fd, length) < read;
    }();
    return pays;
}

}  // namespace

FileSource::FileSource(FILE* file, Mapping mapping) : m_file(file) {
    // Reads are large or single-sector and never re-read; stdio's own buffer would only copy.
    std::setvbuf(file, nullptr, _IONBF, 0);
    struct stat info;
    if (mapping == Mapping::Never || fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size <= 0)
        return;
    const auto size = static_cast<uint64_t>(info.st_size);
    if (mapping == Mapping::Always || MappingPays(fileno(file), size)) m_mappableSize = size;
}

void FileSource::Unmap() {
    if (m_window) munmap(m_window, m_windowSize);
    m_window = nullptr;
    m_windowSize = 0;
}

const unsigned char* FileSource::View(uint64_t position, size_t size) {
    if (size == 0 || position >= m_mappableSize || size > m_mappableSize - position) return nullptr;
    if (!m_window || position < m_windowStart || position + size > m_windowStart + m_windowSize) {
        Unmap();
        static const uint64_t page = static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
        const uint64_t start = position / page * page;
        const uint64_t length = std::min<uint64_t>(std::max<uint64_t>(kWindowBytes, position + size - start),
                                                   m_mappableSize - start);
        void* window = mmap(nullptr, static_cast<size_t>(length), PROT_READ, MAP_SHARED, fileno(m_file),
                            static_cast<off_t>(start));
        if (window == MAP_FAILED) {
            m_mappableSize = 0;  // read it instead, from now on
            return nullptr;
        }
        madvise(window, static_cast<size_t>(length), MADV_SEQUENTIAL);
        m_window = static_cast<unsigned char*>(window);
        m_windowStart = start;
        m_windowSize = static_cast<size_t>(length);
    }
    return m_window + (position - m_windowStart);
}

#endif

FileSource::~FileSource() {
    Unmap();
    std::fclose(m_file);
}

size_t FileSource::ReadAt(uint64_t position, void* buffer, size_t size) {
    if (!SeekFile64(m_file, position)) return 0;
    return std::fread(buffer, 1, size, m_file);
}

uint64_t FileSource::Size() { return FileSize64(m_file); }

JoinedSource::JoinedSource(std::vector<Range> ranges) : m_ranges(std::move(ranges)) {
    for (const Range& range : m_ranges) {
        m_starts.push_back(m_size);
        m_size += range.size;
    }
}

bool JoinedSource::Find(uint64_t position, size_t& range, uint64_t& into) const {
    if (position >= m_size) return false;
    range = static_cast<size_t>(std::upper_bound(m_starts.begin(), m_starts.end(), position) - m_starts.begin() - 1);
    while (m_ranges[range].size == 0) ++range;  // an empty range shares its start with the next
    into = position - m_starts[range];
    return true;
}

size_t JoinedSource::ReadAt(uint64_t position, void* buffer, size_t size) {
    auto* out = static_cast<unsigned char*>(buffer);
    size_t done = 0, range = 0;
    uint64_t into = 0;
    m_fault.clear();
    while (done < size && Find(position, range, into)) {
        const Range& piece = m_ranges[range];
        const size_t want = static_cast<size_t>(std::min<uint64_t>(size - done, piece.size - into));
        size_t got = want;
        if (piece.source) {
            got = piece.source->ReadAt(piece.offset + into, out + done, want);
            if (got < want) m_fault = piece.source->Fault();
        } else {
            std::memset(out + done, 0, want);
        }
        done += got;
        position += got;
        if (got < want) break;  // that file ends early, or fails: so does the track
    }
    return done;
}

const unsigned char* JoinedSource::View(uint64_t position, size_t size) {
    size_t range = 0;
    uint64_t into = 0;
    if (!Find(position, range, into) || size > m_ranges[range].size - into || !m_ranges[range].source) return nullptr;
    return m_ranges[range].source->View(m_ranges[range].offset + into, size);
}
