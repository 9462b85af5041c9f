// FileReaderCDMode1: user data out of raw sectors, short reads, and 64-bit positions.
#include <fstream>

#include <gtest/gtest.h>

#include "RawSector.h"
#include "TestFiles.h"
#include "disc/TrackReader.h"
#include "iso/FileSystem.h"

namespace {

using test::Bytes;

// A user-data stream whose every byte tells its own offset.
Bytes Pattern(size_t size) {
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<unsigned char>(i * 7 + i / 2048);
    return bytes;
}

class FileReaderTest : public testing::Test {
protected:
    // Writes `stream` as raw sectors, cut to `rawSize` bytes if given.
    std::unique_ptr<FileReaderCDMode1> Open(const Bytes& stream, size_t rawSize = SIZE_MAX) {
        Bytes raw = WrapRawMode1(stream);
        if (rawSize < raw.size()) raw.resize(rawSize);
        const auto path = m_dir.path() / "image.gog";
        test::WriteBytes(path, raw);
        FILE* file = OpenFileUtf8(test::Utf8(path), "rb");
        EXPECT_NE(file, nullptr);
        return std::make_unique<FileReaderCDMode1>(file);
    }

    test::ScratchDir m_dir;
};

TEST_F(FileReaderTest, DeliversUserDataOfAnyRange) {
    const Bytes stream = Pattern(600 * 2048);
    auto reader = Open(stream);
    struct Range { uint32_t offset, length; };
    // One sector, inside one sector, across a boundary, many sectors (more than one large read).
    for (Range r : {Range{0, 2048}, Range{32768, 2048}, Range{100, 50}, Range{2040, 20}, Range{4000, 300 * 2048 + 77},
                    Range{1, 599 * 2048 + 2047}}) {
        Bytes out(r.length, 0xEE);
        ASSERT_EQ(reader->Read(r.offset, r.length, out.data()), r.length);
        EXPECT_TRUE(std::equal(out.begin(), out.end(), stream.begin() + r.offset)) << r.offset << "+" << r.length;
    }
}

// Lent pieces, joined, are the same bytes Read gives, up to the end of the stream.
TEST_F(FileReaderTest, LendsTheSameBytesAsItReads) {
    const Bytes stream = Pattern(700 * 2048);
    auto reader = Open(stream, 699 * 2352 + 16 + 100);  // the last sector holds 100 bytes
    const uint32_t available = 699 * 2048 + 100;
    std::vector<unsigned char> scratch;
    std::vector<DataPiece> pieces;
    Bytes joined;
    uint32_t offset = 3000;
    while (uint32_t count = reader->Lend(offset, 1u << 30, scratch, pieces)) {
        uint32_t sum = 0;
        for (const DataPiece& p : pieces) {
            joined.insert(joined.end(), p.data, p.data + p.size);
            sum += p.size;
        }
        ASSERT_EQ(sum, count);
        offset += count;
    }
    EXPECT_EQ(offset, available);
    EXPECT_TRUE(std::equal(joined.begin(), joined.end(), stream.begin() + 3000));
}

TEST_F(FileReaderTest, ZeroLengthReadsNothing) {
    auto reader = Open(Pattern(2048));
    unsigned char byte = 0x55;
    EXPECT_EQ(reader->Read(0, 0, &byte), 0u);
    EXPECT_EQ(byte, 0x55);
}

TEST_F(FileReaderTest, StopsAtTheEndAndLeavesTheRestOfTheBuffer) {
    const Bytes stream = Pattern(3 * 2048);
    auto reader = Open(stream);
    Bytes out(4096, 0xEE);
    EXPECT_EQ(reader->Read(2 * 2048 + 1000, 4096, out.data()), 1048u);
    EXPECT_TRUE(std::equal(out.begin(), out.begin() + 1048, stream.begin() + 2 * 2048 + 1000));
    EXPECT_EQ(out[1048], 0xEE);
    EXPECT_EQ(reader->Read(3 * 2048, 10, out.data()), 0u);
    EXPECT_EQ(reader->Read(0xFFFFF000u, 4096, out.data()), 0u);
    // A large read that runs into the end.
    Bytes big(400 * 2048, 0xEE);
    EXPECT_EQ(reader->Read(10, static_cast<uint32_t>(big.size()), big.data()), 3 * 2048 - 10u);
    EXPECT_EQ(big[3 * 2048 - 10], 0xEE);
}

TEST_F(FileReaderTest, LastSectorCutInsideItsUserData) {
    const Bytes stream = Pattern(2 * 2048);
    auto reader = Open(stream, 2352 + 16 + 500);  // second sector: header and 500 bytes of data
    Bytes out(4096, 0xEE);
    EXPECT_EQ(reader->Read(0, 4096, out.data()), 2048u + 500u);
    EXPECT_TRUE(std::equal(out.begin(), out.begin() + 2548, stream.begin()));
    EXPECT_EQ(reader->Read(2048 + 500, 10, out.data()), 0u);
}

// Positions past 2 GiB and up to the last block of the 32-bit stream, in a sparse file.
TEST_F(FileReaderTest, ReadsPositionsBeyondTwoGigabytes) {
    const auto path = m_dir.path() / "large.gog";
    const uint32_t blocks[] = {0, 913000, 1500000, (1u << 21) - 1};  // raw positions up to ~4.9 GB
    {
        std::ofstream out(path, std::ios::binary);
        for (uint32_t block : blocks) {
            Bytes user(2048, static_cast<unsigned char>(block % 251));
            user[0] = static_cast<unsigned char>(block >> 16);
            unsigned char raw[kRawSectorSize];
            MakeRawMode1Sector(block, user.data(), raw);
            out.seekp(static_cast<std::streamoff>(uint64_t{block} * kRawSectorSize));
            out.write(reinterpret_cast<const char*>(raw), sizeof raw);
        }
        ASSERT_TRUE(out.good());
    }
    FileReaderCDMode1 reader(OpenFileUtf8(test::Utf8(path), "rb"));
    for (uint32_t block : blocks) {
        unsigned char bytes[2] = {};
        ASSERT_EQ(reader.Read(block * 2048u + 1u, 1, bytes), 1u) << block;
        EXPECT_EQ(bytes[0], block % 251) << block;
        ASSERT_EQ(reader.Read(block * 2048u, 1, bytes), 1u);
        EXPECT_EQ(bytes[0], static_cast<unsigned char>(block >> 16));
    }
    unsigned char tail[4];
    EXPECT_EQ(reader.Read(0xFFFFFFFEu, 4, tail), 2u);  // the stream ends at 2^32
}

}  // namespace
