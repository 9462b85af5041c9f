// TrackReader: user data out of a track's sectors, whatever their layout.
//
// A request reads whole sectors, up to kSectorsPerRead at once, and lends their user data
// where it lies in that read, so a large file costs a few large reads and no copy here.
#include "TrackReader.h"

#include <algorithm>
#include <cstring>

#include "Edc.h"
#include "MappedRead.h"

namespace {

constexpr uint32_t kUserData = kUserDataBytes;
constexpr uint32_t kSectorsPerRead = kLargestLend / kUserData;
constexpr uint64_t kStreamEnd = uint64_t{1} << 32;  // offsets are 32-bit

}  // namespace

TrackReader::TrackReader(std::shared_ptr<ByteSource> source, const TrackPlace& place)
    : m_source(std::move(source)), m_place(place) {
    // The stream ends with the track, or with the file, whose last sector may be cut short.
    const uint64_t bytes = m_source->Size();
    uint64_t userBytes = kStreamEnd;
    if (bytes != UINT64_MAX) {
        const uint64_t available = bytes > place.offset ? bytes - place.offset : 0;
        const uint64_t whole = available / place.stride, partial = available % place.stride;
        userBytes = std::min(whole, place.sectors) * kUserData;
        if (whole < place.sectors && partial > 0) {
            unsigned char head[32] = {};
            const uint64_t at = place.offset + whole * place.stride;
            const size_t got = m_source->ReadAt(at, head, static_cast<size_t>(std::min<uint64_t>(partial, sizeof head)));
            userBytes += UserDataStored(place.format, head, got < sizeof head ? got : partial);
        }
    } else if (place.sectors != TrackPlace::kToTheEnd) {
        userBytes = place.sectors * kUserData;
    }
    m_end = std::min(kStreamEnd, uint64_t{place.firstLba} * kUserData + userBytes);
}

uint64_t TrackReader::Size() { return m_end; }

void TrackReader::Check(const unsigned char* sector, uint32_t lba) {
    SectorCodes codes;
    switch (m_place.format) {
    case SectorFormat::RawMode1Or2: codes = sector[15] == 2 ? CheckForm1Sector(sector + 16) : CheckMode1Sector(sector); break;
    case SectorFormat::Mode2NoHeader: codes = CheckForm1Sector(sector); break;
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
        const int data = UserDataOffset(reader.m_place.format, sector);
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

FileReaderCDMode1::FileReaderCDMode1(FILE* file)
    : TrackReader(std::make_unique<FileSource>(file),
                  TrackPlace{SectorFormat::RawMode1Or2, kRawSectorBytes, 0, 0, TrackPlace::kToTheEnd}) {}

uint32_t FileReader::Lend(uint32_t offset, uint32_t length, std::vector<unsigned char>& scratch,
                          std::vector<DataPiece>& pieces) {
    scratch.resize(std::min(length, kLargestLend));
    const uint32_t count = Read(offset, static_cast<uint32_t>(scratch.size()), scratch.data());
    pieces.assign(1, DataPiece{scratch.data(), count});
    return count;
}
