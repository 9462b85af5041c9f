// FileReaderCDMode1: user data out of raw 2352-byte or cooked 2048-byte Mode 1 sectors.
//
// A raw sector is 16 bytes of sync, address and mode, 2048 bytes of user data and 288
// bytes of EDC/ECC; a cooked one is the user data alone. A request within one sector is one seek and one read straight into
// the caller's buffer; a request over several sectors reads up to kSectorsPerRead raw
// sectors at once and copies their user data out, so a large file costs a few large
// reads instead of one per sector.
#include <algorithm>
#include <cstring>

#include "Edc.h"
#include "FileReader.h"
#include "ImageFile.h"

namespace {
constexpr uint32_t kSectorsPerRead = kLargestLend / 2048;
constexpr uint64_t kStreamEnd = uint64_t{1} << 32;  // offsets are 32-bit
}  // namespace

FileReaderCDMode1::FileReaderCDMode1(FILE* file, SectorLayout layout)
    : rawSectorSize(layout == SectorLayout::Raw ? 2352 : 2048), headerSize(layout == SectorLayout::Raw ? 16 : 0),
      file(file) {
    // Reads are large or single-sector and never re-read; stdio's own buffer would only copy.
    std::setvbuf(file, nullptr, _IONBF, 0);
}

FileReaderCDMode1::~FileReaderCDMode1() { std::fclose(file); }

size_t FileReaderCDMode1::ReadRawSectors(uint64_t firstSector, uint32_t count) {
    m_raw.resize(size_t{kSectorsPerRead} * rawSectorSize);
    if (!SeekFile64(file, firstSector * rawSectorSize)) return 0;
    return std::fread(m_raw.data(), 1, size_t{count} * rawSectorSize, file);
}

uint32_t FileReaderCDMode1::LendSpan(uint64_t position, uint64_t end, std::vector<DataPiece>& pieces) {
    pieces.clear();
    const uint64_t sector = position / userDataSize;
    const uint64_t lastSector = (end - 1) / userDataSize;
    const uint32_t count = static_cast<uint32_t>(std::min<uint64_t>(lastSector - sector + 1, kSectorsPerRead));
    const size_t got = ReadRawSectors(sector, count);
    if (m_check) Check(sector, got / rawSectorSize);
    uint32_t total = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t skip = (i == 0) ? static_cast<uint32_t>(position % userDataSize) : 0;
        const size_t start = size_t{i} * rawSectorSize + headerSize + skip;
        const uint32_t want = static_cast<uint32_t>(std::min<uint64_t>(end - position - total, userDataSize - skip));
        const uint32_t have = got > start ? static_cast<uint32_t>(std::min<size_t>(want, got - start)) : 0;
        if (have > 0 && !pieces.empty() && pieces.back().data + pieces.back().size == m_raw.data() + start) {
            pieces.back().size += have;  // cooked sectors lie end to end: one piece
        } else if (have > 0) {
            pieces.push_back({m_raw.data() + start, have});
        }
        total += have;
        if (have < want) break;  // the file ends here
    }
    return total;
}

uint32_t FileReaderCDMode1::Read(uint32_t offset, uint32_t length, void* buffer) {
    auto* out = static_cast<unsigned char*>(buffer);
    uint64_t position = offset;
    const uint64_t end = std::min<uint64_t>(position + length, kStreamEnd);
    uint32_t total = 0;
    std::vector<DataPiece> pieces;

    while (position < end) {
        if ((end - 1) / userDataSize == position / userDataSize) {  // the rest lies in one sector
            const uint64_t at = position / userDataSize * rawSectorSize + headerSize + position % userDataSize;
            if (!SeekFile64(file, at)) return total;
            return total + static_cast<uint32_t>(std::fread(out, 1, static_cast<size_t>(end - position), file));
        }
        const uint32_t got = LendSpan(position, end, pieces);
        for (const DataPiece& piece : pieces) {
            std::memcpy(out, piece.data, piece.size);
            out += piece.size;
        }
        position += got;
        total += got;
        if (got == 0) return total;  // a short span ends the stream; the next one finds nothing
    }
    return total;
}

uint32_t FileReaderCDMode1::Lend(uint32_t offset, uint32_t length, std::vector<unsigned char>&,
                                 std::vector<DataPiece>& pieces) {
    pieces.clear();
    const uint64_t end = std::min<uint64_t>(uint64_t{offset} + length, kStreamEnd);
    return offset < end ? LendSpan(offset, end, pieces) : 0;
}

void FileReaderCDMode1::Check(uint64_t firstSector, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        switch (CheckMode1Sector(m_raw.data() + i * rawSectorSize)) {
        case SectorCodes::Sound: ++m_check->checked; break;
        case SectorCodes::Damaged:
            ++m_check->checked;
            m_check->damaged.push_back(static_cast<uint32_t>(firstSector + i));
            break;
        case SectorCodes::Absent: ++m_check->withoutCodes; break;
        }
    }
}

uint64_t FileReaderCDMode1::Size() {
    const uint64_t bytes = FileSize64(file);
    if (bytes == UINT64_MAX) return kUnknownSize;
    const uint64_t partial = bytes % rawSectorSize;
    return bytes / rawSectorSize * userDataSize + (partial > headerSize ? std::min<uint64_t>(partial - headerSize, userDataSize) : 0);
}

uint32_t FileReader::Lend(uint32_t offset, uint32_t length, std::vector<unsigned char>& scratch,
                          std::vector<DataPiece>& pieces) {
    scratch.resize(std::min(length, kLargestLend));
    const uint32_t count = Read(offset, static_cast<uint32_t>(scratch.size()), scratch.data());
    pieces.assign(1, DataPiece{scratch.data(), count});
    return count;
}
