// An image viewed through a mapping gives what reading it gives; cut short while it is
// mapped, it ends as a short read does, never with SIGBUS.
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>

#include <gtest/gtest.h>

#include "RawSector.h"
#include "TestFiles.h"
#include "disc/TrackReader.h"
#include "iso/FileSystem.h"

namespace {

constexpr uint32_t kSectors = 1000;  // 2.3 MB raw: more than one window
const TrackPlace kRawPlace{SectorFormat::RawMode1Or2, 2352, 0, 0, TrackPlace::kToTheEnd};

class MappingTest : public ::testing::Test {
protected:
    void SetUp() override {
#ifdef _WIN32
        GTEST_SKIP() << "images are mapped on POSIX systems only";
#endif
        std::vector<unsigned char> cooked(size_t{kSectors} * 2048);
        for (size_t i = 0; i < cooked.size(); ++i) cooked[i] = static_cast<unsigned char>(i * 7 + i / 2048);
        m_cooked = cooked;
        test::WriteBytes(m_image, WrapRawMode1(cooked));
    }

    std::unique_ptr<TrackReader> Open(Mapping mapping) {
        FILE* file = OpenFileUtf8(test::Utf8(m_image), "rb");
        EXPECT_NE(file, nullptr);
        return std::make_unique<TrackReader>(std::make_shared<FileSource>(file, mapping), kRawPlace);
    }

    void CutTo(uint32_t sectors) { std::filesystem::resize_file(m_image, uint64_t{sectors} * 2352); }

    test::ScratchDir m_scratch{"mapping"};
    std::filesystem::path m_image = m_scratch.path() / "GAME.GOG";
    std::vector<unsigned char> m_cooked;
};

TEST_F(MappingTest, MappedAndReadGiveTheSameBytesAndCodes) {
    for (Mapping mapping : {Mapping::Always, Mapping::Never, Mapping::WherePays}) {
        auto reader = Open(mapping);
        SectorCheck check;
        reader->CheckSectors(&check);
        std::vector<unsigned char> stream(m_cooked.size() + 100);
        EXPECT_EQ(reader->Read(0, static_cast<uint32_t>(stream.size()), stream.data()), m_cooked.size());
        stream.resize(m_cooked.size());
        EXPECT_EQ(stream, m_cooked);
        EXPECT_EQ(check.checked, kSectors);
        EXPECT_TRUE(check.damaged.empty());
    }
}

TEST_F(MappingTest, AnImageCutShortWhileMappedEndsAsAShortReadDoes) {
    auto reader = Open(Mapping::Always);
    SectorCheck check;
    reader->CheckSectors(&check);
    std::vector<unsigned char> scratch;
    std::vector<DataPiece> lent;
    ASSERT_GT(reader->Lend(0, 2048, scratch, lent), 0u);  // maps the first window
    std::vector<DataPiece> pieces;
    ASSERT_GT(reader->Lend(300 * 2048, 4 * 2048, scratch, pieces), 0u);  // lent before the cut
    CutTo(100);

    // The sectors' own bytes past the cut fault when looked at: the stream ends there.
    EXPECT_EQ(reader->Lend(500 * 2048, 2048, scratch, lent), 0u);
    EXPECT_EQ(reader->LastUnreadable().sector, FileReader::kNoSector);
    std::vector<unsigned char> buffer(2048);
    EXPECT_EQ(reader->Read(400 * 2048, 2048, buffer.data()), 0u);
    EXPECT_EQ(reader->Read(50 * 2048, 2048, buffer.data()), 2048u);  // before the cut, as it was
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.end(), m_cooked.begin() + 50 * 2048));

    // Lent pieces past the cut cannot be written: the system says EFAULT, which the walk
    // takes for the image's end, not for the output's failure.
    FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(WritePieces(out, pieces), EFAULT);
    std::fclose(out);
}

}  // namespace
