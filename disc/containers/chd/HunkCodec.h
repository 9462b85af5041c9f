// The codecs of a CHD's hunks, each behind one small interface. A CD hunk holds whole
// frames; each codec gives them back with the syncs and ECC that chdman stripped restored.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

class HunkCodec {
public:
    virtual ~HunkCodec() = default;
    // Decodes the `size` bytes at `source` into `hunk`, `frames` frames of 2448 bytes;
    // false when they are not such a hunk.
    virtual bool Decode(const unsigned char* source, size_t size, unsigned char* hunk, uint32_t frames) = 0;
};

// The codec a CHD's header names by its tag (FourCc("cdlz")); null for one not read.
std::unique_ptr<HunkCodec> MakeHunkCodec(uint32_t tag);
