// Images from other writers: the whole tree (--all) as xorriso reads their primary
// (ECMA-119) tree; files recorded in several sections, whole or broken.
#include <cstdlib>
#include <fstream>

#include <gtest/gtest.h>

#include "TestFiles.h"

namespace {

using namespace test;
using Tree = std::map<std::string, std::string>;

class OtherWriterTest : public testing::TestWithParam<const char*> {};

// bsdtar gives empty files and links zero-length records with extents near 0xFFFFFFFF;
// xorriso's deep folders sit under RR_MOVED, an empty file where each one was.
TEST_P(OtherWriterTest, GivesXorrisosEcma119TreeByteForByte) {
    const char* testData = std::getenv("MG_TESTDATA");
    if (!testData) GTEST_SKIP() << "no authored images (MG_TESTDATA)";
    const fs::path root = fs::u8path(testData);
    const fs::path image = root / (std::string(GetParam()) + ".iso");
    ASSERT_TRUE(fs::exists(image)) << Utf8(image);
    ScratchDir out;
    RecordingObserver observer;
    ExtractOptions options;
    options.outputRoot = out.utf8();
    options.observer = &observer;
    EXPECT_EQ(ExtractImageFile(Utf8(image), AcceptAll{nullptr}, options), ExtractOk);
    EXPECT_TRUE(observer.problems.empty());
    const Tree expected = ReadTree(root / (std::string(GetParam()) + ".ecma119"));
    EXPECT_GT(expected.size(), 4u);
    EXPECT_EQ(ReadTree(out.path()), expected);
}

INSTANTIATE_TEST_SUITE_P(Writers, OtherWriterTest, testing::Values("bsdtar", "xorriso-deep"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             std::string name = info.param;
                             for (char& c : name) if (c == '-') c = '_';
                             return name;
                         });

// A file in `parts.size()` sections, each in its own blocks and record; the records of
// all but the last carry the multi-extent flag (unless `flagLast`, which breaks the chain
// at the folder's end). `after` follows them in the folder.
Bytes MultiExtentImage(const std::vector<std::string>& parts, bool flagLast, const std::string& after) {
    ImageBuilder b;
    const uint32_t root = b.Allocate(1);
    std::vector<Bytes> records;
    for (size_t i = 0; i < parts.size(); ++i) {
        const uint32_t extent = b.Allocate(static_cast<uint32_t>((parts[i].size() + 2047) / 2048));
        b.Put(extent * 2048, parts[i]);
        Bytes record = Record("BIG.DAT;1", extent, static_cast<uint32_t>(parts[i].size()), false);
        if (i + 1 < parts.size() || flagLast) record[25] |= 0x80;
        records.push_back(record);
    }
    if (!after.empty()) {
        const uint32_t extent = b.Allocate(1);
        b.Put(extent * 2048, std::string("after"));
        records.push_back(Record(after, extent, 5, false));
    }
    const uint32_t data = b.Allocate(ImageBuilder::DirectoryBlocks(records));
    b.PutDescriptor(root, 2048);
    b.PutDirectory(root, root, {Record("DATA", data, b.PutDirectory(data, root, records), true)});
    return b.image;
}

TEST(MultiExtent, SectionsAreJoinedInRecordOrder) {
    const std::string a(2048, 'a'), b(4096, 'b'), c = "the end";
    for (const auto& parts : {std::vector<std::string>{a, c}, std::vector<std::string>{a, b, c}}) {
        ScratchDir out;
        RecordingObserver observer;
        ASSERT_EQ(ExtractInto(MultiExtentImage(parts, false, "Z.TXT;1"), out.path(), AcceptAll{nullptr}, &observer),
                  ExtractOk);
        std::string whole;
        for (const std::string& part : parts) whole += part;
        EXPECT_EQ(ReadTree(out.path()), (Tree{{"DATA/", ""}, {"DATA/BIG.DAT", whole}, {"DATA/Z.TXT", "after"}}));
        EXPECT_EQ(observer.entries.size(), 3u);  // one file, not one per section
    }
}

TEST(MultiExtent, ABrokenChainIsMalformedAndItsFileAbsent) {
    const std::string a(2048, 'a'), c = "the end";
    const struct {
        const char* what;
        Bytes image;
        Tree written;
    } cases[] = {
        {"another name follows", MultiExtentImage({a, c}, true, "Z.TXT;1"), {{"DATA/", ""}, {"DATA/Z.TXT", "after"}}},
        {"the folder ends", MultiExtentImage({a, c}, true, ""), {{"DATA/", ""}}},
    };
    for (const auto& c : cases) {
        ScratchDir out;
        RecordingObserver observer;
        EXPECT_EQ(ExtractInto(c.image, out.path(), AcceptAll{nullptr}, &observer), ExtractMalformedRecord) << c.what;
        EXPECT_EQ(ReadTree(out.path()), c.written) << c.what;
        ASSERT_EQ(observer.problems.size(), 1u) << c.what;
        EXPECT_EQ(observer.problems[0].where, "DATA/BIG.DAT;1") << c.what;
    }
}

// An empty file reads nothing: whatever extent its record names, it is written empty.
TEST(OtherWriters, AnEmptyFileIsWrittenWhateverItsExtent) {
    ImageBuilder b;
    const uint32_t root = b.Allocate(1);
    const std::vector<Bytes> records = {Record("EMPTY.DAT;1", 0xFFFFFFF0u, 0, false), Record("LINK.;1", 0xFFFFFFEFu, 0, false)};
    const uint32_t data = b.Allocate(1);
    b.PutDescriptor(root, 2048);
    b.PutDirectory(root, root, {Record("DATA", data, b.PutDirectory(data, root, records), true)});
    ScratchDir out;
    RecordingObserver observer;
    EXPECT_EQ(ExtractInto(b.image, out.path(), AcceptAll{nullptr}, &observer), ExtractOk);
    EXPECT_EQ(ReadTree(out.path()), (Tree{{"DATA/", ""}, {"DATA/EMPTY.DAT", ""}, {"DATA/LINK", ""}}));
    EXPECT_TRUE(observer.problems.empty());
}

}  // namespace
