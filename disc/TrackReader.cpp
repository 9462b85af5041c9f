// TrackReader: user data out of a track's sectors, whatever their layout.
//
// A request reads whole sectors, up to kSectorsPerRead at once, and lends their user data
// where it lies in that read, so a large file costs a few large reads and no copy here.
#include "TrackReader.h"

#include <algorithm>
#include <cstring>

#include "Edc.h"
#include "ImageFile.h"
#include "MappedRead.h"

#ifndef _WIN32
#include <chrono>

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

constexpr uint32_t kUserData = 2048;
constexpr uint32_t kSectorsPerRead = kLargestLend / kUserData;
constexpr uint64_t kStreamEnd = uint64_t{1} << 32;  // offsets are 32-bit
constexpr unsigned char kForm2Bit = 0x20;            // in a Mode 2 subheader's submode byte

// The bytes of a sector before its mode or form can be told: the header, or the subheader.
uint32_t BytesToTellMode(SectorFormat format) {
    switch (format) {
    case SectorFormat::Raw: return 24;
    case SectorFormat::Mode2: return 8;
    default: return 0;
    }
}

}  // namespace

uint32_t SectorBytes(SectorFormat format) {
    switch (format) {
    case SectorFormat::Cooked: return 2048;
    case SectorFormat::Mode2: return 2336;
    case SectorFormat::Raw:
    case SectorFormat::Audio: return 2352;
    }
    return 2352;
}

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

TrackReader::TrackReader(std::shared_ptr<ByteSource> source, const TrackPlace& place)
    : m_source(std::move(source)), m_place(place) {
    // The stream ends with the track, or with the file, whose last sector may be cut short.
    const uint64_t bytes = m_source->Size();
    uint64_t userBytes = kStreamEnd;
    if (bytes != UINT64_MAX) {
        const uint64_t available = bytes > place.offset ? bytes - place.offset : 0;
        const uint64_t whole = available / place.stride, partial = available % place.stride;
        const uint32_t before = place.format == SectorFormat::Raw ? 16 : BytesToTellMode(place.format);
        userBytes = std::min(whole, place.sectors) * kUserData;
        if (whole < place.sectors && partial > before) userBytes += std::min<uint64_t>(partial - before, kUserData);
    } else if (place.sectors != TrackPlace::kToTheEnd) {
        userBytes = place.sectors * kUserData;
    }
    m_end = std::min(kStreamEnd, uint64_t{place.firstLba} * kUserData + userBytes);
}

uint64_t TrackReader::Size() { return m_end; }

int TrackReader::UserDataOffset(const unsigned char* sector) const {
    switch (m_place.format) {
    case SectorFormat::Cooked: return 0;
    case SectorFormat::Mode2: return (sector[2] & kForm2Bit) ? -1 : 8;
    case SectorFormat::Raw:
        if (sector[15] != 2) return 16;  // Mode 1 (and whatever else a rip left there, as before)
        return (sector[18] & kForm2Bit) ? -1 : 24;
    case SectorFormat::Audio: return -1;
    }
    return -1;
}

void TrackReader::Check(const unsigned char* sector, uint32_t lba) {
    SectorCodes codes;
    switch (m_place.format) {
    case SectorFormat::Raw: codes = sector[15] == 2 ? CheckForm1Sector(sector + 16) : CheckMode1Sector(sector); break;
    case SectorFormat::Mode2: codes = CheckForm1Sector(sector); break;
    default: return;  // cooked sectors carry no codes
    }
    switch (codes) {
    case SectorCodes::Sound: ++m_check->checked; break;
    case SectorCodes::Damaged:
        ++m_check->checked;
        m_check->damaged.push_back(lba);
        break;
    case SectorCodes::Absent: ++m_check->withoutCodes; break;
    }
}

void TrackReader::ScanSectors(void* self) {
    TrackReader& reader = *static_cast<TrackReader*>(self);
    Span& span = reader.m_span;
    const uint32_t stride = reader.m_place.stride, sectorBytes = SectorBytes(reader.m_place.format);
    for (uint32_t i = span.scanned; i < span.count; ++i) {
        const unsigned char* sector = span.sectors + size_t{i} * stride;
        const size_t available = span.bytes > size_t{i} * stride ? span.bytes - size_t{i} * stride : 0;
        if (available < std::max<size_t>(BytesToTellMode(reader.m_place.format), 1)) return;
        const int data = reader.UserDataOffset(sector);
        reader.m_userData[i] = data;
        if (data >= 0 && reader.m_check && available >= sectorBytes) reader.Check(sector, span.lba + i);
        span.scanned = i + 1;
        if (data < 0) return;
    }
}

uint32_t TrackReader::LendSpan(uint64_t position, uint64_t end, std::vector<DataPiece>& pieces) {
    pieces.clear();
    const uint64_t lba = position / kUserData;
    if (lba < m_place.firstLba || position >= m_end) return 0;
    end = std::min(end, m_end);
    const uint32_t count = static_cast<uint32_t>(std::min<uint64_t>((end - 1) / kUserData - lba + 1, kSectorsPerRead));
    const uint32_t stride = m_place.stride;
    const uint64_t from = m_place.offset + (lba - m_place.firstLba) * stride;
    const size_t wanted = size_t{count} * stride;
    m_span = {m_source->View(from, wanted), wanted, count, static_cast<uint32_t>(lba), 0};
    if (!m_span.sectors) {
        m_raw.resize(size_t{kSectorsPerRead} * stride);
        m_span.bytes = m_source->ReadAt(from, m_raw.data(), wanted);
        m_span.sectors = m_raw.data();
    }
    const std::string fault = m_span.bytes < wanted ? m_source->Fault() : std::string();
    // A mapped file cut short while it is read ends the span where it faulted, as its end would.
    if (!ReadMapped(ScanSectors, this)) m_span.bytes = std::min(m_span.bytes, size_t{m_span.scanned} * stride);
    const size_t got = m_span.bytes;
    uint32_t total = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const unsigned char* sector = m_span.sectors + size_t{i} * stride;
        const size_t available = got > size_t{i} * stride ? got - size_t{i} * stride : 0;
        if (i >= m_span.scanned) {  // the scan stopped short of it
            if (!fault.empty()) m_unreadable = {static_cast<uint32_t>(lba + i), fault};
            break;  // the file ends here, or its source cannot go on
        }
        const int data = m_userData[i];
        if (data < 0) {
            m_unreadable = {static_cast<uint32_t>(lba + i), "Mode 2 Form 2 (not 2048 bytes of data)"};
            break;
        }
        const uint32_t skip = (i == 0) ? static_cast<uint32_t>(position % kUserData) : 0;
        const uint32_t want = static_cast<uint32_t>(std::min<uint64_t>(end - position - total, kUserData - skip));
        const size_t start = static_cast<size_t>(data) + skip;
        const uint32_t have = available > start ? static_cast<uint32_t>(std::min<size_t>(want, available - start)) : 0;
        if (have > 0 && !pieces.empty() && pieces.back().data + pieces.back().size == sector + start) {
            pieces.back().size += have;  // cooked sectors lie end to end: one piece
        } else if (have > 0) {
            pieces.push_back({sector + start, have});
        }
        total += have;
        if (have < want) {  // the file ends here, or its source cannot go on
            if (!fault.empty()) m_unreadable = {static_cast<uint32_t>(lba + i), fault};
            break;
        }
    }
    return total;
}

uint32_t TrackReader::Read(uint32_t offset, uint32_t length, void* buffer) {
    m_unreadable = {};
    uint64_t position = offset;
    const uint64_t end = std::min<uint64_t>(position + length, kStreamEnd);
    uint32_t total = 0;
    struct Copy {
        std::vector<DataPiece> pieces;
        unsigned char* out;
        uint32_t copied;
    } copy{{}, static_cast<unsigned char*>(buffer), 0};
    const auto copyPieces = [](void* context) {
        Copy& c = *static_cast<Copy*>(context);
        for (const DataPiece& piece : c.pieces) {
            std::memcpy(c.out, piece.data, piece.size);
            c.out += piece.size;
            c.copied += piece.size;
        }
    };
    while (position < end) {
        const uint32_t got = LendSpan(position, end, copy.pieces);
        copy.copied = 0;
        if (!ReadMapped(copyPieces, &copy)) return total + copy.copied;  // the file was cut short under us
        position += got;
        total += got;
        if (got == 0 || m_unreadable.sector != kNoSector) break;
    }
    return total;
}

uint32_t TrackReader::Lend(uint32_t offset, uint32_t length, std::vector<unsigned char>&, std::vector<DataPiece>& pieces) {
    m_unreadable = {};
    pieces.clear();
    const uint64_t end = std::min<uint64_t>(uint64_t{offset} + length, kStreamEnd);
    return offset < end ? LendSpan(offset, end, pieces) : 0;
}

FileReaderCDMode1::FileReaderCDMode1(FILE* file, SectorLayout layout)
    : TrackReader(std::make_unique<FileSource>(file),
                  layout == SectorLayout::Raw ? TrackPlace{SectorFormat::Raw, 2352, 0, 0, TrackPlace::kToTheEnd}
                                              : TrackPlace{SectorFormat::Cooked, 2048, 0, 0, TrackPlace::kToTheEnd}) {}

uint32_t FileReader::Lend(uint32_t offset, uint32_t length, std::vector<unsigned char>& scratch,
                          std::vector<DataPiece>& pieces) {
    scratch.resize(std::min(length, kLargestLend));
    const uint32_t count = Read(offset, static_cast<uint32_t>(scratch.size()), scratch.data());
    pieces.assign(1, DataPiece{scratch.data(), count});
    return count;
}
