// Images built to hurt a reader: loops, shared and deep trees, records that break the
// format, truncation and names that would leave the output folder. Each must end with the
// right failure, with every good file extracted and nothing written outside the output.
#include <gtest/gtest.h>

#include "TestFiles.h"

namespace {

using namespace test;
using Tree = std::map<std::string, std::string>;

// The output folder and what lies beside it (nothing may).
struct Output {
    ScratchDir dir;
    RecordingObserver observer;
    std::vector<std::string> offered;

    ExtractResult Extract(const Bytes& image) { return ExtractInto(image, dir.path(), AcceptAll{&offered}, &observer); }
    Tree Written() const { return ReadTree(dir.path()); }
    Tree Beside() const {
        Tree beside = ReadTree(dir.path().parent_path());
        for (auto it = beside.begin(); it != beside.end();) {
            it = it->first.rfind("scratch", 0) == 0 ? beside.erase(it) : std::next(it);
        }
        return beside;
    }
};

// Root -> DATA: its first block holds `records` after "." and "..", its second block a
// file GOOD;1, which the walk must still reach.
Bytes DataFolderWith(const std::function<std::vector<Bytes>(ImageBuilder&, uint32_t root, uint32_t data)>& records) {
    ImageBuilder b;
    const uint32_t root = b.Allocate(1), data = b.Allocate(2), good = b.Allocate(1);
    b.Put(good * 2048, std::string("good"));
    std::vector<Bytes> all = records(b, root, data);
    all.push_back({});
    all.push_back(Record("GOOD;1", good, 4, false));
    b.PutDescriptor(root, 2048);
    b.PutDirectory(root, root, {Record("DATA", data, b.PutDirectory(data, root, all), true)});
    return b.image;
}

TEST(HostileImage, FolderPointingBackAtTheRootEndsAsALoop) {
    const Bytes image = DataFolderWith([](ImageBuilder&, uint32_t root, uint32_t) {
        return std::vector<Bytes>{Record("UP", root, 2048, true)};
    });
    Output out;
    EXPECT_EQ(out.Extract(image), ExtractDirectoryLoop);
    EXPECT_EQ(out.Written(), (Tree{{"DATA/", ""}, {"DATA/GOOD", "good"}}));
}

TEST(HostileImage, FolderContainingItselfEndsAsALoop) {
    const Bytes image = DataFolderWith([](ImageBuilder&, uint32_t, uint32_t data) {
        return std::vector<Bytes>{Record("SELF", data, 2048, true)};
    });
    Output out;
    EXPECT_EQ(out.Extract(image), ExtractDirectoryLoop);
    EXPECT_EQ(out.Written(), (Tree{{"DATA/", ""}, {"DATA/GOOD", "good"}}));
}

TEST(HostileImage, SharedSubtreeIsWalkedOnce) {
    const Bytes image = DataFolderWith([](ImageBuilder& b, uint32_t, uint32_t data) {
        const uint32_t shared = b.Allocate(1), file = b.Allocate(1);
        b.Put(file * 2048, std::string("f"));
        b.PutDirectory(shared, data, {Record("F;1", file, 1, false)});
        return std::vector<Bytes>{Record("X", shared, 2048, true), Record("Y", shared, 2048, true)};
    });
    Output out;
    EXPECT_EQ(out.Extract(image), ExtractDirectoryLoop);
    EXPECT_EQ(out.Written(), (Tree{{"DATA/", ""}, {"DATA/GOOD", "good"}, {"DATA/X/", ""}, {"DATA/X/F", "f"}}));
}

// Thirty levels, each folder listing the next one twice: 2^30 walks without the rule.
TEST(HostileImage, DoublingChainStaysLinear) {
    ImageBuilder b;
    const uint32_t root = b.Allocate(1);
    std::vector<uint32_t> levels;
    for (int i = 0; i < 30; ++i) levels.push_back(b.Allocate(1));
    for (int i = 0; i < 30; ++i) {
        std::vector<Bytes> records;
        if (i + 1 < 30) records = {Record("A", levels[i + 1], 2048, true), Record("B", levels[i + 1], 2048, true)};
        b.PutDirectory(levels[i], i ? levels[i - 1] : root, records);
    }
    b.PutDirectory(root, root, {Record("DATA", levels[0], 2048, true)});
    b.PutDescriptor(root, 2048);
    Output out;
    EXPECT_EQ(out.Extract(b.image), ExtractDirectoryLoop);
    EXPECT_LE(out.offered.size(), 2u * 30u);
}

TEST(HostileImage, NestingBeyondTheBoundIsCutThere) {
    ImageBuilder b;
    const uint32_t root = b.Allocate(1);
    const int depth = 200;
    std::vector<uint32_t> levels;
    for (int i = 0; i < depth; ++i) levels.push_back(b.Allocate(1));
    for (int i = 0; i < depth; ++i) {
        std::vector<Bytes> records;
        if (i + 1 < depth) records.push_back(Record("D", levels[i + 1], 2048, true));
        b.PutDirectory(levels[i], i ? levels[i - 1] : root, records);
    }
    b.PutDirectory(root, root, {Record("D", levels[0], 2048, true), Record("AFTER", b.Allocate(0), 0, false)});
    b.PutDescriptor(root, 2048);
    Output out;
    EXPECT_EQ(out.Extract(b.image), ExtractTooDeep);
    size_t deepest = 0;
    for (const auto& [path, content] : out.Written()) deepest = std::max(deepest, path.size() / 2);
    EXPECT_EQ(deepest, static_cast<size_t>(kMaxDirectoryDepth - 1));
    EXPECT_EQ(out.offered.back(), ".\\AFTER");  // the walk went on after the cut
}

struct BadRecordCase {
    const char* what;
    std::function<std::vector<Bytes>(ImageBuilder&)> records;
    ExtractResult expected;
};

class BadRecordTest : public testing::TestWithParam<BadRecordCase> {};

// The fault is reported, and the walk still reaches GOOD;1 in the same folder.
TEST_P(BadRecordTest, IsReportedAndPassedOver) {
    const Bytes image = DataFolderWith([](ImageBuilder& b, uint32_t, uint32_t) { return GetParam().records(b); });
    Output out;
    EXPECT_EQ(out.Extract(image), GetParam().expected) << GetParam().what;
    EXPECT_EQ(out.Written().count("DATA/GOOD"), 1u) << GetParam().what;
    EXPECT_TRUE(out.Beside().empty());
    ASSERT_FALSE(out.observer.problems.empty()) << GetParam().what;
    if (GetParam().expected == ExtractImageTruncated) {  // said of the file, then of the image as a whole
        ASSERT_EQ(out.observer.problems.size(), 2u) << GetParam().what;
        EXPECT_EQ(out.observer.problems[0].place, ProblemPlace::InsideImage) << GetParam().what;
        EXPECT_EQ(out.observer.problems[1].place, ProblemPlace::Image) << GetParam().what;
    } else {
        EXPECT_EQ(out.observer.problems[0].place, ProblemPlace::InsideImage) << GetParam().what;
        EXPECT_EQ(out.observer.problems[0].where.rfind("DATA/", 0), 0u) << out.observer.problems[0].where;
    }
}

Bytes Truncated(Bytes record, size_t length) {
    record.resize(length);
    record[0] = static_cast<unsigned char>(length);
    return record;
}

void PrintTo(const BadRecordCase& c, std::ostream* os) { *os << c.what; }

const BadRecordCase kBadRecords[] = {
    // A record shorter than its fixed part: the rest of its block is skipped.
    {"length below 34", [](ImageBuilder&) { return std::vector<Bytes>{Bytes{20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}}; },
     ExtractMalformedRecord},
    {"identifier running past its record", [](ImageBuilder&) {
         Bytes r = Record("LONGNAME.BIN;1", 0, 0, false);
         return std::vector<Bytes>{Truncated(r, 40)}; }, ExtractMalformedRecord},
    {"empty identifier", [](ImageBuilder&) {
         Bytes r = Record("X;1", 0, 0, false);
         r[32] = 0;
         return std::vector<Bytes>{r}; }, ExtractMalformedRecord},
    // A record whose length reaches past its block: the rest of the block is dropped.
    {"record crossing the block end", [](ImageBuilder&) {
         std::vector<Bytes> filler;
         for (int i = 0; i < 8; ++i) filler.push_back(Record("F" + std::to_string(i) + ";1", 0, 0, false, 220));
         Bytes crossing = Record("CROSS;1", 0, 0, false, 220);
         filler.push_back(Bytes(crossing.begin(), crossing.begin() + 150));  // 68 + 8 x 220 + 250 > 2048
         filler.back()[0] = 250;
         return filler; }, ExtractMalformedRecord},
    {"file extent beyond 4 GiB", [](ImageBuilder&) {
         return std::vector<Bytes>{Record("HUGE;1", 0x1FFFFF, 4096, false)}; }, ExtractMalformedRecord},
    {"folder of data length 0", [](ImageBuilder&) {
         return std::vector<Bytes>{Record("NOTHING", 30, 0, true)}; }, ExtractMalformedRecord},
    {"file data past the end of the image", [](ImageBuilder&) {
         return std::vector<Bytes>{Record("PAST;1", 5000, 100, false)}; }, ExtractImageTruncated},
    {"folder extent past the end of the image", [](ImageBuilder&) {
         return std::vector<Bytes>{Record("FAR", 100000, 2048, true)}; }, ExtractMalformedRecord},
};

INSTANTIATE_TEST_SUITE_P(Records, BadRecordTest, testing::ValuesIn(kBadRecords));

// A file cut by the end of the image is not created (nor its temporary left), an earlier
// file of that name stays; the image's shortfall is said once, with both figures.
TEST(HostileImage, FileCutByTheEndOfTheImageIsNotCreated) {
    ImageBuilder b;
    b.PutTree({Dir("DATA", {File("A;1", "aaaa"), File("CUT;1", std::string(5000, 'y')), File("LAST;1", std::string(5000, 'z'))})});
    const size_t whole = b.image.size();
    b.image.resize(whole - 2048);  // the last 904 bytes of LAST are gone
    Output out;
    fs::create_directories(out.dir.path() / "DATA");
    WriteBytes(out.dir.path() / "DATA" / "LAST", {'o', 'l', 'd'});
    EXPECT_EQ(out.Extract(b.image), ExtractImageTruncated);
    EXPECT_EQ(out.Written(), (Tree{{"DATA/", ""}, {"DATA/A", "aaaa"}, {"DATA/CUT", std::string(5000, 'y')}, {"DATA/LAST", "old"}}));
    ASSERT_EQ(out.observer.problems.size(), 2u);  // the file by name, then the image as a whole
    EXPECT_EQ(out.observer.problems[0].where, "DATA/LAST;1");
    EXPECT_EQ(out.observer.problems[0].detail, "its data runs past the image's end");
    EXPECT_EQ(out.observer.problems[1].detail, "it holds " + std::to_string(whole - 2048) +
                                                   " bytes of data, its folders and files need " +
                                                   std::to_string(whole - 2048 + 904) + "; 1 file was not imported");
}

// The image ends inside a folder's second block, in the middle of a record: the records
// before the cut are read, nothing of the first block is read again in place of the rest.
TEST(HostileImage, ImageEndingInsideAFolderReadsNoStaleBytes) {
    ImageBuilder b;
    const uint32_t root = b.Allocate(1), data = b.Allocate(2);
    std::vector<Bytes> records;
    for (int i = 0; i < 9; ++i) records.push_back(Record("FIRST" + std::to_string(i) + ";1", root, 0, false, 220));
    records.push_back(Record("SECOND0;1", root, 0, false, 60));
    records.push_back(Record("SECOND1;1", root, 0, false, 60));
    b.PutDescriptor(root, 2048);
    b.PutDirectory(root, root, {Record("DATA", data, 2 * 2048, true)});
    b.PutDirectory(data, root, records);
    b.image.resize((data + 1) * 2048 + 90);  // SECOND1 is cut after 30 of its 60 bytes
    Output out;
    EXPECT_EQ(out.Extract(b.image), ExtractImageTruncated);
    ASSERT_EQ(out.offered.size(), 11u);
    EXPECT_EQ(out.offered.back(), ".\\DATA\\SECOND0;1");
}

TEST(HostileImage, RootOfDataLengthZeroIsMalformed) {
    ImageBuilder b;
    const uint32_t root = b.Allocate(1);
    b.PutDirectory(root, root, {Record("DATA", root, 2048, true)});
    b.PutDescriptor(root, 0);
    Output out;
    EXPECT_EQ(out.Extract(b.image), ExtractMalformedRecord);
    EXPECT_TRUE(out.Written().empty());
}

struct UnsafeCase {
    const char* identifier;
    bool directory;
};

class UnsafeNameTest : public testing::TestWithParam<UnsafeCase> {};

// An unsafe name that the filter accepts is reported and not created, and nothing lands
// outside; the filter saw it as recorded.
TEST_P(UnsafeNameTest, IsRefusedWhenAccepted) {
    const UnsafeCase c = GetParam();
    const Bytes image = DataFolderWith([&](ImageBuilder& b, uint32_t, uint32_t) {
        const uint32_t inside = b.Allocate(1), evil = b.Allocate(1);
        b.Put(evil * 2048, std::string("evil"));
        b.PutDirectory(inside, inside, {Record("ESCAPE;1", evil, 4, false)});
        return std::vector<Bytes>{c.directory ? Record(c.identifier, inside, 2048, true) : Record(c.identifier, evil, 4, false)};
    });
    Output out;
    EXPECT_EQ(out.Extract(image), ExtractUnsafeName);
    EXPECT_EQ(out.offered, (std::vector<std::string>{".\\DATA", ".\\DATA\\" + std::string(c.identifier), ".\\DATA\\GOOD;1"}));
    EXPECT_EQ(out.Written(), (Tree{{"DATA/", ""}, {"DATA/GOOD", "good"}}));
    EXPECT_TRUE(out.Beside().empty());
}

void PrintTo(const UnsafeCase& c, std::ostream* os) { *os << Quoted(c.identifier); }

const UnsafeCase kUnsafeNames[] = {
    {"..", true}, {".", true}, {"..\\..\\ESCAPE;1", false}, {"../ESCAPE;1", false}, {"/ABS;1", false},
    {"C:ESCAPE;1", false}, {"CON;1", false}, {"NUL.TXT;1", false}, {"COM1;1", false}, {"LPT9.DAT;1", false},
    {"AUX", true}, {"TRAIL ;1", false}, {"BELL\x07;1", false}, {"WILD*;1", false},
    {"A..;1", false}, {";1", false}, {"COM0;1", false}, {"LPT0.TXT;1", false}, {"COM\xC2\xB9;1", false},
    {"LPT\xC2\xB3.DAT;1", false},
};

INSTANTIATE_TEST_SUITE_P(Names, UnsafeNameTest, testing::ValuesIn(kUnsafeNames));

// Outside what is imported, a name that could not be created does not matter: a root file
// CON and a folder COM1 leave the game's import complete.
TEST(HostileImage, AnUnsafeNameTheFilterRefusesIsNotReported) {
    const Bytes image = BuildImage({File("CON;1", "c"), Dir("COM1", {File("X;1", "x")}), Dir("DATA", {File("A;1", "a")})});
    ScratchDir out;
    RecordingObserver observer;
    ExtractOptions options;
    options.outputRoot = out.utf8();
    options.observer = &observer;
    MemoryReader reader(image);
    const auto dataOnly = [](const std::string& path) { return path.rfind(".\\DATA", 0) == 0; };
    EXPECT_EQ(ExtractIsoTree(reader, dataOnly, options), ExtractOk);
    EXPECT_TRUE(observer.problems.empty());
    EXPECT_EQ(ReadTree(out.path()), (Tree{{"DATA/", ""}, {"DATA/A", "a"}}));
}

// 8-bit names (not UTF-8) are read as Windows-1252 here, as the Windows program reads them
// in its ANSI code page; a name starting with such a byte is not passed over.
TEST(HostileImage, NamesThatAreNotUtf8AreImported) {
    const Bytes image = BuildImage({Dir("DATA", {File("CAF\xC9.TXT;1", "cafe"), File("\xC9T\xC9.TXT;1", "ete"),
                                                 File("\x80" "EURO;1", "euro")})});
    ScratchDir out;
    EXPECT_EQ(ExtractInto(image, out.path(), AcceptAll{nullptr}), ExtractOk);
    EXPECT_EQ(ReadTree(out.path()), (Tree{{"DATA/", ""}, {"DATA/CAF\xC3\x89.TXT", "cafe"}, {"DATA/\xC3\x89T\xC3\x89.TXT", "ete"},
                                          {"DATA/\xE2\x82\xAC" "EURO", "euro"}}));
}

// Two records that come to one output name: the first stays, the second is reported. Names
// compare as Windows compares them: without regard to case, É and é alike.
TEST(HostileImage, TwoRecordsForOneNameCollide) {
    const struct {
        const char* what;
        std::vector<Entry> data;
        Tree written;
    } cases[] = {
        {"X;1 and X.;1", {File("X;1", "first"), File("X.;1", "second")}, {{"DATA/", ""}, {"DATA/X", "first"}}},
        {"case", {File("READ.ME;1", "first"), File("read.me;1", "second")}, {{"DATA/", ""}, {"DATA/READ.ME", "first"}}},
        {"accented case", {File("\xC3\x89T\xC3\x89;1", "first"), File("\xC3\xA9t\xC3\xA9;1", "second")},
         {{"DATA/", ""}, {"DATA/\xC3\x89T\xC3\x89", "first"}}},
        {"a folder twice", {Dir("SUB", {File("A;1", "a")}), Dir("sub", {File("B;1", "b")})},
         {{"DATA/", ""}, {"DATA/SUB/", ""}, {"DATA/SUB/A", "a"}}},
    };
    for (const auto& c : cases) {
        ScratchDir out;
        RecordingObserver observer;
        EXPECT_EQ(ExtractInto(BuildImage({Dir("DATA", c.data)}), out.path(), AcceptAll{nullptr}, &observer),
                  ExtractNameCollision) << c.what;
        EXPECT_EQ(ReadTree(out.path()), c.written) << c.what;
        EXPECT_EQ(observer.problems.size(), 1u) << c.what;
    }
}

}  // namespace
