// FileReaderCDMode1: user data out of raw 2352-byte Mode 1 sectors.
//
// A raw sector is 16 bytes of sync, address and mode, 2048 bytes of user data and 288
// bytes of EDC/ECC. A request within one sector is one seek and one read straight into
// the caller's buffer; a request over several sectors reads up to kSectorsPerRead raw
// sectors at once and copies their user data out, so a large file costs a few large
// reads instead of one per sector.
#include "FileReader.h"

#include "FileSystem.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr uint32_t kSectorsPerRead = 256;
constexpr uint64_t kStreamEnd = uint64_t{1} << 32;  // offsets are 32-bit
}  // namespace

FileReaderCDMode1::FileReaderCDMode1(FILE* file) : file(file) {
    // Reads are large or single-sector and never re-read; stdio's own buffer would only copy.
    std::setvbuf(file, nullptr, _IONBF, 0);
}

FileReaderCDMode1::~FileReaderCDMode1() { std::fclose(file); }

size_t FileReaderCDMode1::ReadRawSectors(uint64_t firstSector, uint32_t count) {
    m_raw.resize(size_t{kSectorsPerRead} * rawSectorSize);
    if (!SeekFile64(file, firstSector * rawSectorSize)) return 0;
    return std::fread(m_raw.data(), 1, size_t{count} * rawSectorSize, file);
}

uint32_t FileReaderCDMode1::Read(uint32_t offset, uint32_t length, void* buffer) {
    auto* out = static_cast<unsigned char*>(buffer);
    uint64_t position = offset;
    const uint64_t end = std::min<uint64_t>(position + length, kStreamEnd);
    uint32_t total = 0;

    while (position < end) {
        const uint64_t sector = position / userDataSize;
        const uint32_t within = static_cast<uint32_t>(position % userDataSize);
        const uint64_t lastSector = (end - 1) / userDataSize;

        if (lastSector == sector) {  // the rest lies in this one sector
            const uint32_t want = static_cast<uint32_t>(end - position);
            if (!SeekFile64(file, sector * rawSectorSize + headerSize + within)) return total;
            return total + static_cast<uint32_t>(std::fread(out, 1, want, file));
        }

        const uint32_t count = static_cast<uint32_t>(std::min<uint64_t>(lastSector - sector + 1, kSectorsPerRead));
        const size_t got = ReadRawSectors(sector, count);
        for (uint32_t i = 0; i < count; ++i) {
            const uint32_t skip = (i == 0) ? within : 0;
            const size_t start = size_t{i} * rawSectorSize + headerSize + skip;
            const uint32_t want = static_cast<uint32_t>(std::min<uint64_t>(end - position, userDataSize - skip));
            const uint32_t have = got > start ? static_cast<uint32_t>(std::min<size_t>(want, got - start)) : 0;
            std::memcpy(out, m_raw.data() + start, have);
            out += have;
            position += have;
            total += have;
            if (have < want) return total;  // the file ends here
        }
    }
    return total;
}
