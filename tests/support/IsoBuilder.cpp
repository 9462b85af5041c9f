// ImageBuilder: descriptor, directory records and blocks of test images.
#include "IsoBuilder.h"

#include <algorithm>
#include <cstring>

namespace test {
namespace {

constexpr uint32_t kBlock = 2048;

void PutBoth32(unsigned char* p, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<unsigned char>(value >> (8 * i));
        p[7 - i] = static_cast<unsigned char>(value >> (8 * i));
    }
}

// Lays out one directory and everything below it; returns its data length.
uint32_t LayOut(ImageBuilder& builder, const std::vector<Entry>& entries, uint32_t extent, uint32_t parentExtent) {
    std::vector<Bytes> records;
    for (const Entry& e : entries) {
        if (e.directory) {
            std::vector<Bytes> childRecords;
            for (const Entry& c : e.children) childRecords.push_back(Record(c.identifier, 0, 0, c.directory));
            const uint32_t childExtent = builder.Allocate(ImageBuilder::DirectoryBlocks(childRecords));
            const uint32_t length = LayOut(builder, e.children, childExtent, extent);
            records.push_back(Record(e.identifier, childExtent, length, true));
        } else {
            const uint32_t blocks = static_cast<uint32_t>((e.data.size() + kBlock - 1) / kBlock);
            const uint32_t dataExtent = builder.Allocate(blocks);
            builder.Put(dataExtent * kBlock, e.data);
            records.push_back(Record(e.identifier, dataExtent, static_cast<uint32_t>(e.data.size()), false));
        }
    }
    return builder.PutDirectory(extent, parentExtent, records);
}

}  // namespace

Bytes Record(const std::string& identifier, uint32_t extent, uint32_t dataLength, bool directory, unsigned length) {
    unsigned natural = 33 + static_cast<unsigned>(identifier.size());
    natural += natural % 2;
    Bytes r(std::max(natural, length == 0 ? natural : length), 0);
    r[0] = static_cast<unsigned char>(length == 0 ? natural : length);
    PutBoth32(&r[2], extent);
    PutBoth32(&r[10], dataLength);
    const unsigned char recorded[7] = {101, 2, 3, 4, 5, 6, 4};  // 2001-02-03 04:05:06, GMT+1
    std::copy(recorded, recorded + 7, r.begin() + 18);
    r[25] = directory ? 0x02 : 0x00;
    r[28] = 1;  // volume sequence number
    r[32] = static_cast<unsigned char>(identifier.size());
    std::copy(identifier.begin(), identifier.end(), r.begin() + 33);
    if (length != 0) r.resize(std::max<size_t>(length, 1));
    return r;
}

ImageBuilder::ImageBuilder() : image(18 * kBlock, 0) {}

void ImageBuilder::PutDescriptor(uint32_t rootExtent, uint32_t rootLength) {
    unsigned char* d = &image[16 * kBlock];
    std::memset(d, 0, kBlock);
    d[0] = 1;
    std::memcpy(d + 1, "CD001", 5);
    d[6] = 1;
    const Bytes root = Record(std::string(1, '\0'), rootExtent, rootLength, true);
    std::copy(root.begin(), root.end(), d + 156);
    unsigned char* t = &image[17 * kBlock];
    std::memset(t, 0, kBlock);
    t[0] = 255;
    std::memcpy(t + 1, "CD001", 5);
    t[6] = 1;
}

uint32_t ImageBuilder::Allocate(uint32_t blocks) {
    const uint32_t first = static_cast<uint32_t>(image.size() / kBlock);
    image.resize(image.size() + size_t{blocks} * kBlock, 0);
    return first;
}

void ImageBuilder::Put(uint32_t offset, const Bytes& bytes) {
    if (image.size() < offset + bytes.size()) image.resize(offset + bytes.size(), 0);
    std::copy(bytes.begin(), bytes.end(), image.begin() + offset);
}

void ImageBuilder::Put(uint32_t offset, const std::string& bytes) { Put(offset, Bytes(bytes.begin(), bytes.end())); }

uint32_t ImageBuilder::DirectoryBlocks(const std::vector<Bytes>& records) {
    uint32_t blocks = 1, used = 68;  // "." and ".." are 34 bytes each
    for (const Bytes& r : records) {
        if (r.empty() || used + r.size() > kBlock) { ++blocks; used = 0; }
        used += static_cast<uint32_t>(r.size());
    }
    return blocks;
}

uint32_t ImageBuilder::PutDirectory(uint32_t extent, uint32_t parentExtent, const std::vector<Bytes>& records) {
    std::vector<Bytes> all = {Record(std::string(1, '\0'), extent, 0, true), Record(std::string(1, '\1'), parentExtent, 0, true)};
    all.insert(all.end(), records.begin(), records.end());
    const uint32_t blocks = DirectoryBlocks(records);
    const uint32_t length = blocks * kBlock;
    PutBoth32(&all[0][10], length);
    uint32_t offset = extent * kBlock, used = 0;
    for (const Bytes& r : all) {
        if (r.empty() || used + r.size() > kBlock) { offset += kBlock - used; used = 0; }
        Put(offset, r);
        offset += static_cast<uint32_t>(r.size());
        used += static_cast<uint32_t>(r.size());
    }
    return length;
}

void ImageBuilder::PutTree(const std::vector<Entry>& root) {
    std::vector<Bytes> records;
    for (const Entry& e : root) records.push_back(Record(e.identifier, 0, 0, e.directory));
    const uint32_t rootExtent = Allocate(DirectoryBlocks(records));
    const uint32_t rootLength = LayOut(*this, root, rootExtent, rootExtent);
    PutDescriptor(rootExtent, rootLength);
}

Bytes BuildImage(const std::vector<Entry>& root) {
    ImageBuilder builder;
    builder.PutTree(root);
    return builder.image;
}

}  // namespace test
