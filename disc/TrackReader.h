// Reading a data track's sectors as the user-data stream: TrackReader over any source of
// bytes, and FileReaderCDMode1, a file of raw Mode 1 sectors read from its first byte.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "ByteSource.h"
#include "FileReader.h"
#include "Track.h"

// The user data of one data track. The sector at disc address N lends its user data at
// stream offset N * 2048; addresses outside the track end the stream. Raw sectors say
// their mode themselves (byte 15), Mode 2 sectors their form (subheader byte 2): a Form 2
// sector holds no 2048 bytes of data, and a read stops short before it (LastUnreadable), as
// it does before a sector that its source cannot deliver for a reason it gives.
class TrackReader : public FileReader {
public:
    TrackReader(std::shared_ptr<ByteSource> source, const TrackPlace& place);

    uint32_t Read(uint32_t offset, uint32_t length, void* buffer) override;
    uint32_t Lend(uint32_t offset, uint32_t length, std::vector<unsigned char>& scratch,
                  std::vector<DataPiece>& pieces) override;
    uint64_t Size() override;
    void CheckSectors(SectorCheck* check) override { m_check = check; }
    uint32_t VolumeStart() override { return m_place.firstLba; }
    Unreadable LastUnreadable() override { return m_unreadable; }

    const TrackPlace& place() const { return m_place; }

private:
    // One large read of whole sectors from `position` towards `end`; their user data as pieces.
    uint32_t LendSpan(uint64_t position, uint64_t end, std::vector<DataPiece>& pieces);
    // Looks at the span's sectors from the first not yet looked at: where each one's user
    // data lies, and its codes when they are being checked. The only reader of their bytes.
    static void ScanSectors(void* self);
    void Check(const unsigned char* raw, uint32_t lba);

    std::shared_ptr<ByteSource> m_source;
    TrackPlace m_place;
    uint64_t m_end;  // one past the stream's last byte
    std::vector<unsigned char> m_raw;  // the sectors of one large read, when not viewed in place
    struct Span {
        const unsigned char* sectors = nullptr;
        size_t bytes = 0;    // delivered from `sectors` on
        uint32_t count = 0;  // sectors asked for
        uint32_t lba = 0;    // of the first
        uint32_t scanned = 0;
    } m_span;
    std::array<int, kLargestLend / 2048> m_userData{};  // each sector's user-data offset; -1: Form 2
    SectorCheck* m_check = nullptr;
    Unreadable m_unreadable;
};

// A file of raw Mode 1 sectors (2352 bytes each) whose first sector is disc address 0,
// as GAME.GOG is.
class FileReaderCDMode1 : public TrackReader {
public:
    // Takes ownership of `file`, an open binary stream; closes it when destroyed.
    explicit FileReaderCDMode1(FILE* file);
};
