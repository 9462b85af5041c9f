// Builds ISO 9660 images in memory for tests: well-formed trees, and the raw pieces
// (descriptor, records, blocks) from which malformed ones are made.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace test {

using Bytes = std::vector<unsigned char>;

struct Entry {
    std::string identifier;  // as recorded, e.g. "CRED1.PCX;1"
    bool directory = false;
    std::string data;        // a file's content
    std::vector<Entry> children;
};

inline Entry File(std::string identifier, std::string data = {}) { return {std::move(identifier), false, std::move(data), {}}; }
inline Entry Dir(std::string identifier, std::vector<Entry> children = {}) {
    return {std::move(identifier), true, {}, std::move(children)};
}

// One directory record, padded to an even length; `length` 0 means the right one.
Bytes Record(const std::string& identifier, uint32_t extent, uint32_t dataLength, bool directory, unsigned length = 0);

class ImageBuilder {
public:
    ImageBuilder();  // blocks 0 to 17 reserved: system area, descriptor, terminator

    // Blocks 16 and 17: a primary volume descriptor with this root, and the set terminator.
    void PutDescriptor(uint32_t rootExtent, uint32_t rootLength);
    uint32_t Allocate(uint32_t blocks);  // returns the first block
    void Put(uint32_t offset, const Bytes& bytes);
    void Put(uint32_t offset, const std::string& bytes);

    // Packs "." and ".." and `records` into whole blocks from `extent` on, never letting a
    // record cross a block (an empty record starts the next block); returns the data
    // length (whole blocks).
    uint32_t PutDirectory(uint32_t extent, uint32_t parentExtent, const std::vector<Bytes>& records);
    static uint32_t DirectoryBlocks(const std::vector<Bytes>& records);

    // Lays out a whole tree under the root and writes the descriptor.
    void PutTree(const std::vector<Entry>& root);

    Bytes image;  // the user-data stream (a cooked image)
};

// A cooked image of `root`.
Bytes BuildImage(const std::vector<Entry>& root);

}  // namespace test
