// The user-data stream of a disc's data track, as the file system walk reads it: the
// 2048 user-data bytes of the sector at disc address N lie at offset N * 2048.
#pragma once

#include <cstdint>
#include <string>
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

    // The disc address where the volume begins (its descriptors 16 sectors on): where the
    // data track starts. The file system's addresses are the disc's, not the track's.
    virtual uint32_t VolumeStart() { return 0; }

    // When the last Read or Lend stopped short at a sector whose data cannot be had, that
    // sector and why; its address is kNoSector when the stream simply ended (the image
    // ends there). A sector is damaged when it holds no 2048 bytes of data where data
    // should be (Mode 2 Form 2) or its container cannot deliver it (a block that fails its
    // check); it lies outside the data when it is in an audio track or between tracks.
    static constexpr uint32_t kNoSector = UINT32_MAX;
    struct Unreadable {
        uint32_t sector = kNoSector;
        std::string why;  // "Mode 2 Form 2 (not 2048 bytes of data)"
        bool outsideData = false;
    };
    virtual Unreadable LastUnreadable() { return {}; }

    // Whether only forward reads are cheap (an image decompressed as it is read): a walk
    // then reads no more than it must, in the order the disc holds it.
    virtual bool ReadsInOrder() { return false; }
    // Reads what is left of an image that can be checked only whole (an installer's digest
    // of the image) and says why it fails; "" when it passes or has no such check.
    virtual std::string CheckWhole() { return {}; }
};


