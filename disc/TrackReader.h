// Reading a data track's sectors as the user-data stream: TrackReader over any source of
// bytes, and FileReaderCDMode1, the image file read from its first byte.
#pragma once

#include <array>
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
    // The `size` bytes at `position` where they lie in memory already (a mapped file),
    // valid until the next call; null when they must be read with ReadAt. Reading them may
    // fault if the file is cut short meanwhile: read them inside ReadMapped (MappedRead.h).
    virtual const unsigned char* View(uint64_t position, size_t size) {
        (void)position;
        (void)size;
        return nullptr;
    }
};

// Whether a file is viewed through a mapping (POSIX): where it pays, as measured once on
// this machine; always; or never.
enum class Mapping { WherePays, Always, Never };

// A file opened to read, owned: closed when destroyed. A regular file may also be viewed
// through a window of it mapped into memory (POSIX), so that its sectors are written out
// and checked where the page cache holds them, with no copy of our own. Where touching
// mapped pages costs more than reading them (on some virtual machines, three times as
// much), and for devices and files that cannot be mapped, it is only read.
class FileSource : public ByteSource {
public:
    explicit FileSource(FILE* file, Mapping mapping = Mapping::WherePays);
    ~FileSource() override;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;
    size_t ReadAt(uint64_t position, void* buffer, size_t size) override;
    uint64_t Size() override;
    const unsigned char* View(uint64_t position, size_t size) override;

private:
    void Unmap();

    FILE* m_file;
    uint64_t m_mappableSize = 0;  // the file's size when opened, where it is mapped; else 0
    unsigned char* m_window = nullptr;
    uint64_t m_windowStart = 0;
    size_t m_windowSize = 0;
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
    // Looks at the span's sectors from the first not yet looked at: where each one's user
    // data lies, and its codes when they are being checked. The only reader of their bytes.
    static void ScanSectors(void* self);
    // Where the user data of the sector at `raw` begins, or -1 for a Form 2 sector.
    int UserDataOffset(const unsigned char* raw) const;
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
