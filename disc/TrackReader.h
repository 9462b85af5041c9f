// Reading a data track's sectors as the user-data stream: TrackReader over any source of
// bytes, and FileReaderCDMode1, the image file read from its first byte.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "FileReader.h"
#include "Track.h"

// Bytes at 64-bit positions: a file, or a container that decodes them.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Copies up to `size` bytes at `position`; returns how many (fewer: the source ended or failed).
    virtual size_t ReadAt(uint64_t position, void* buffer, size_t size) = 0;
    // Why the last ReadAt delivered fewer bytes than there are, when it was not the end:
    // "" for the end (or a file that failed, which ends it).
    virtual std::string Fault() { return {}; }
    // The source's size in bytes; UINT64_MAX when it cannot be told.
    virtual uint64_t Size() = 0;
};

// A file opened to read, owned: closed when destroyed.
class FileSource : public ByteSource {
public:
    explicit FileSource(FILE* file);
    ~FileSource() override;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;
    size_t ReadAt(uint64_t position, void* buffer, size_t size) override;
    uint64_t Size() override;

private:
    FILE* m_file;
};

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
    // Where the user data of the sector at `raw` begins, or -1 for a Form 2 sector.
    int UserDataOffset(const unsigned char* raw) const;
    void Check(const unsigned char* raw, uint32_t lba);

    std::shared_ptr<ByteSource> m_source;
    TrackPlace m_place;
    uint64_t m_end;  // one past the stream's last byte
    std::vector<unsigned char> m_raw;  // the sectors of one large read
    SectorCheck* m_check = nullptr;
    Unreadable m_unreadable;
};

// How an image file stores its Mode 1 sectors: raw, all 2352 bytes (sync, header, user
// data, EDC and ECC), as GAME.GOG does; or cooked, the 2048 user-data bytes alone, as an
// .iso file or a block device holding the disc does.
enum class SectorLayout { Raw, Cooked };

// An image file whose first sector is disc address 0, as GAME.GOG and an .iso are.
class FileReaderCDMode1 : public TrackReader {
public:
    // Takes ownership of `file`, an open binary stream; closes it when destroyed.
    explicit FileReaderCDMode1(FILE* file, SectorLayout layout = SectorLayout::Raw);
};
