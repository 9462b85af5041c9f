// Work in proportion to the image: what records sharing one extent can make us write, and
// what folder records claiming wide ranges can make us compute.
#include <cmath>

#include <gtest/gtest.h>

#include "TestFiles.h"

namespace {

using namespace test;

// DATA holds `count` records, all pointing at one extent of `size` bytes.
Bytes SharedExtentImage(int count, uint32_t size) {
    ImageBuilder b;
    const uint32_t root = b.Allocate(1);
    const uint32_t shared = b.Allocate((size + 2047) / 2048);
    b.Put(shared * 2048, std::string(size, 's'));
    std::vector<Bytes> records;
    for (int i = 0; i < count; ++i) records.push_back(Record("F" + std::to_string(i) + ";1", shared, size, false));
    const uint32_t data = b.Allocate(ImageBuilder::DirectoryBlocks(records));
    b.PutDescriptor(root, 2048);
    b.PutDirectory(root, root, {Record("DATA", data, b.PutDirectory(data, root, records), true)});
    return b.image;
}

TEST(BoundedWork, OutputStaysInProportionToTheImage) {
    const Bytes image = SharedExtentImage(2000, 64 * 1024);  // 125 MiB of records in a ~0.3 MB image
    for (bool testOnly : {false, true}) {
        SCOPED_TRACE(testOnly ? "test mode" : "import");
        ScratchDir out;
        MemoryReader reader(image);
        RecordingObserver observer;
        ExtractOptions options;
        options.outputRoot = out.utf8();
        options.observer = &observer;
        options.testOnly = testOnly;
        EXPECT_EQ(ExtractIsoTree(reader, AcceptAll{nullptr}, options), ExtractOverBudget);
        EXPECT_LE(observer.bytes, OutputBudget(image.size()));
        ASSERT_EQ(observer.problems.size(), 1u);
        EXPECT_EQ(observer.problems[0].cause, ExtractOverBudget);
    }
    // A few shared extents, as a real disc's deduplicated files, are well inside it.
    ScratchDir out;
    EXPECT_EQ(ExtractInto(SharedExtentImage(3, 64 * 1024), out.path(), AcceptAll{nullptr}), ExtractOk);
    EXPECT_EQ(OutputBudget(1000), 2000u + (64u << 20));
}

// One folder claimed high in the address space, then 20,000 records below it each
// declaring a wide range that overlaps it: each refusal costs a few comparisons, not a
// scan of the range.
TEST(BoundedWork, RefusingAFolderCostsLittleWhateverItClaims) {
    constexpr int kRecords = 20000;
    ImageBuilder b;
    const uint32_t root = b.Allocate(1), below = b.Allocate(200), high = b.Allocate(1);
    b.PutDirectory(high, root, {});
    std::vector<Bytes> records;  // each claims every block from BELOW's first to HIGH
    for (int i = 0; i < kRecords; ++i)
        records.push_back(Record("W" + std::to_string(i), below, (high - below + 1) * 2048, true));
    const uint32_t data = b.Allocate(ImageBuilder::DirectoryBlocks(records));
    b.PutDirectory(root, root, {Record("HIGH", high, 2048, true), Record("DATA", data, b.PutDirectory(data, root, records), true)});
    b.PutDescriptor(root, 2048);
    MemoryReader reader(b.image);
    ExtractStats stats;
    RecordingObserver observer;
    ExtractOptions options;
    options.listOnly = true;
    options.stats = &stats;
    options.observer = &observer;
    EXPECT_EQ(ExtractIsoTree(reader, AcceptAll{nullptr}, options), ExtractDirectoryLoop);
    EXPECT_EQ(observer.problems.size(), static_cast<size_t>(kRecords));
    ASSERT_FALSE(observer.problems.empty());
    EXPECT_EQ(observer.problems[0].where, "DATA/W0");
    EXPECT_LE(stats.rangeComparisons, 20u * (kRecords + 10));  // about log2(3) + 2 each
}

// A folder that lies past the end of the image is a malformed record, checked before
// anything else.
TEST(BoundedWork, AFolderPastTheImagesEndIsMalformed) {
    ImageBuilder b;
    const uint32_t root = b.Allocate(1);
    b.PutDirectory(root, root, {Record("FAR", 1u << 20, 1u << 30, true), Record("A;1", root, 0, false)});
    b.PutDescriptor(root, 2048);
    ScratchDir out;
    RecordingObserver observer;
    EXPECT_EQ(ExtractInto(b.image, out.path(), AcceptAll{nullptr}, &observer), ExtractMalformedRecord);
    ASSERT_EQ(observer.problems.size(), 1u);
    EXPECT_EQ(observer.problems[0].where, "FAR");
}

}  // namespace
