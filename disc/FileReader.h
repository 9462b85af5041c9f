// Readers of the user-data stream of a disc image: the abstract FileReader and the
// CD-ROM Mode 1 reader FileReaderCDMode1, for raw and cooked images.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "DataPiece.h"

// The most one call of Lend hands out: the user data of one large read.
constexpr uint32_t kLargestLend = 512 * 1024;

// What the sector checks found.
struct SectorCheck {
    std::vector<uint32_t> damaged;  // sectors whose EDC does not match, since last cleared
    uint64_t checked = 0;           // sectors whose EDC was checked
    uint64_t withoutCodes = 0;      // sectors that carry no EDC or ECC (all zero)
};

// A randomly addressable stream of user data, addressed by 32-bit byte offsets.
class FileReader {
public:
    virtual ~FileReader() = default;

    // Copies up to `length` bytes at `offset` into `buffer` and returns how many it
    // delivered. Fewer than asked means the stream ended (or failed) inside the range;
    // the bytes of `buffer` beyond the count are left as they were.
    virtual uint32_t Read(uint32_t offset, uint32_t length, void* buffer) = 0;

    // Lends some of the `length` bytes at `offset` as pieces of memory that stay valid
    // until the next call, so a caller that only writes them on needs no copy of its own.
    // Returns the count lent (at most kLargestLend): at least 1 unless the stream ends at
    // `offset`. This default
    // reads into `scratch`; readers with buffers of their own lend from those.
    virtual uint32_t Lend(uint32_t offset, uint32_t length, std::vector<unsigned char>& scratch,
                          std::vector<DataPiece>& pieces);

    // How many bytes of user data the stream holds, when known.
    static constexpr uint64_t kUnknownSize = UINT64_MAX;
    virtual uint64_t Size() { return kUnknownSize; }

    // From now on, checks the codes of each sector whose data it lends, where the image
    // carries them, into `check` (null: no more checks). Readers without codes ignore it.
    virtual void CheckSectors(SectorCheck* check) { (void)check; }
};


// How an image stores its Mode 1 sectors: raw, all 2352 bytes (sync, header, user data,
// EDC and ECC), as GAME.GOG does; or cooked, the 2048 user-data bytes alone, as an .iso
// file or a block device holding the disc does.
enum class SectorLayout { Raw, Cooked };

// Reads a file of Mode 1 sectors (ECMA-130) as the stream of the 2048 user-data bytes of
// each sector. Sync, header, EDC and ECC are skipped, never checked.
class FileReaderCDMode1 : public FileReader {
public:
    // Takes ownership of `file`, an open binary stream; closes it when destroyed.
    explicit FileReaderCDMode1(FILE* file, SectorLayout layout = SectorLayout::Raw);
    ~FileReaderCDMode1() override;

    FileReaderCDMode1(const FileReaderCDMode1&) = delete;
    FileReaderCDMode1& operator=(const FileReaderCDMode1&) = delete;

    uint32_t Read(uint32_t offset, uint32_t length, void* buffer) override;
    // Lends the user data of up to one large read of raw sectors, straight from that read.
    uint32_t Lend(uint32_t offset, uint32_t length, std::vector<unsigned char>& scratch,
                  std::vector<DataPiece>& pieces) override;
    // The user data of the whole sectors and of a last, partial one.
    uint64_t Size() override;
    // Raw sectors carry an EDC; cooked ones carry none, and nothing is checked.
    void CheckSectors(SectorCheck* check) override { m_check = rawSectorSize == 2352 ? check : nullptr; }

    const uint32_t rawSectorSize;  // the bytes a sector takes in the file
    const uint32_t userDataSize = 2048;
    const uint32_t headerSize;     // the bytes before its user data

private:
    // Reads `count` raw sectors from `firstSector` into m_raw; returns the raw bytes read.
    size_t ReadRawSectors(uint64_t firstSector, uint32_t count);
    // Checks the codes of `count` sectors read into m_raw from `firstSector`.
    void Check(uint64_t firstSector, size_t count);
    // One large read from `position` towards `end`; its user data as pieces of m_raw.
    uint32_t LendSpan(uint64_t position, uint64_t end, std::vector<DataPiece>& pieces);

    FILE* file;
    std::vector<unsigned char> m_raw;  // raw sectors of one large read
    SectorCheck* m_check = nullptr;
};
