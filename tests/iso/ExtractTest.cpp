// The tree walk on well-formed images: descriptor checks, the walk's order and paths,
// output names, multi-block directories, repeated and parallel extractions, the image
// path, and output that cannot be written.
#include <cerrno>
#include <thread>

#include <gtest/gtest.h>

#ifndef _WIN32
#include <csignal>

#include <sys/resource.h>
#include <sys/stat.h>
#endif

#include "RawSector.h"
#include "TestFiles.h"
#include "game/GameFolderFilter.h"

namespace {

using namespace test;
using Tree = std::map<std::string, std::string>;

// Each failure of the image as a whole reaches the observer too, naming the image.
TEST(ExtractImageFile, ChecksTheImageBeforeTheWalk) {
    ScratchDir dir;
    RecordingObserver missing;
    ExtractOptions missingOptions;
    missingOptions.observer = &missing;
    const std::string missingPath = Utf8(dir.path() / "missing.gog");
    EXPECT_EQ(ExtractImageFile(missingPath, AcceptAll{nullptr}, missingOptions), ExtractImageNotOpened);
    ASSERT_EQ(missing.problems.size(), 1u);
    EXPECT_EQ(missing.problems[0].place, ProblemPlace::Image);
    EXPECT_EQ(missing.problems[0].where, missingPath);
    EXPECT_NE(missing.problems[0].systemError, 0);

    const Bytes good = BuildImage({Dir("DATA", {File("A;1", "a")})});
    struct Case {
        const char* what;
        std::function<void(Bytes&)> damage;
        ExtractResult expected;
    };
    const Case cases[] = {
        {"too short to reach sector 16", [](Bytes& b) { b.resize(16 * 2048); }, ExtractNoPrimaryDescriptor},
        {"supplementary descriptor first, primary in 17",
         [](Bytes& b) { b[16 * 2048] = 2; b[17 * 2048] = 1; }, ExtractNoPrimaryDescriptor},
        {"identifier CD002", [](Bytes& b) { b[16 * 2048 + 5] = '2'; }, ExtractBadIdentifier},
        {"identifier cD001", [](Bytes& b) { b[16 * 2048 + 1] = 'c'; }, ExtractBadIdentifier},
        {"untouched", [](Bytes&) {}, ExtractOk},
    };
    for (const Case& c : cases) {
        Bytes image = good;
        c.damage(image);
        const auto path = dir.path() / "image.gog";
        WriteBytes(path, WrapRawMode1(image));
        ScratchDir out;
        RecordingObserver observer;
        ExtractOptions options;
        options.outputRoot = out.utf8();
        options.observer = &observer;
        EXPECT_EQ(ExtractImageFile(Utf8(path), AcceptAll{nullptr}, options), c.expected) << c.what;
        if (c.expected != ExtractOk) {
            EXPECT_TRUE(ReadTree(out.path()).empty()) << c.what;
            ASSERT_EQ(observer.problems.size(), 1u) << c.what;
            EXPECT_EQ(observer.problems[0].cause, c.expected) << c.what;
            EXPECT_EQ(observer.problems[0].place, ProblemPlace::Image) << c.what;
            EXPECT_EQ(observer.problems[0].where, Utf8(path)) << c.what;
        } else {
            EXPECT_TRUE(observer.problems.empty()) << c.what;
        }
    }
}

// A cooked image (2048-byte sectors, as an .iso) is read as well as a raw one; a file that
// is neither says what it was found to be.
TEST(ExtractImageFile, ReadsCookedImagesAndSaysWhatElseAFileIs) {
    const Bytes cooked = BuildImage({Dir("DATA", {File("A;1", "a")})});
    struct Case {
        const char* what;
        Bytes content;
        ExtractResult expected;
        std::string detail;
    };
    const Case cases[] = {
        {"a cooked image", cooked, ExtractOk, ""},
        {"an empty file", {}, ExtractNoPrimaryDescriptor, "an empty file"},
        {"a short file", Bytes(1000, 'x'), ExtractNoPrimaryDescriptor, "too short for a volume descriptor (1000 bytes)"},
        {"an audio track", Bytes(20 * 2352, 0x5A), ExtractNoPrimaryDescriptor, "an audio track (raw sectors without sync)"},
    };
    for (const Case& c : cases) {
        ScratchDir dir, out;
        const auto path = dir.path() / "image.iso";
        WriteBytes(path, c.content);
        RecordingObserver observer;
        ExtractOptions options;
        options.outputRoot = out.utf8();
        options.observer = &observer;
        EXPECT_EQ(ExtractImageFile(Utf8(path), AcceptAll{nullptr}, options), c.expected) << c.what;
        if (c.expected == ExtractOk) {
            EXPECT_EQ(ReadText(out.path() / "DATA" / "A"), "a");
        } else {
            ASSERT_EQ(observer.problems.size(), 1u) << c.what;
            EXPECT_EQ(observer.problems[0].detail, c.detail) << c.what;
        }
    }
}

TEST(ExtractImageFile, AFolderIsNoImage) {
    ScratchDir dir;
    RecordingObserver observer;
    ExtractOptions options;
    options.observer = &observer;
    EXPECT_EQ(ExtractImageFile(dir.utf8(), AcceptAll{nullptr}, options), ExtractImageNotOpened);
    ASSERT_EQ(observer.problems.size(), 1u);
    EXPECT_EQ(observer.problems[0].systemError, EISDIR);
}

#ifndef _WIN32
// A FIFO is refused at once, never waited on.
TEST(ExtractImageFile, AFifoIsRefusedWithoutWaiting) {
    ScratchDir dir;
    const std::string fifo = Utf8(dir.path() / "GAME.GOG");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    RecordingObserver observer;
    ExtractOptions options;
    options.observer = &observer;
    EXPECT_EQ(ExtractImageFile(fifo, AcceptAll{nullptr}, options), ExtractImageNotOpened);
    ASSERT_EQ(observer.problems.size(), 1u);
    EXPECT_EQ(observer.problems[0].detail, "not a regular file or block device");
}
#endif

TEST(ExtractIsoTree, EmptyRootCreatesNothing) {
    ScratchDir out;
    std::vector<std::string> offered;
    EXPECT_EQ(ExtractInto(BuildImage({}), out.path(), AcceptAll{&offered}), ExtractOk);
    EXPECT_TRUE(offered.empty());
    EXPECT_TRUE(ReadTree(out.path()).empty());
}

TEST(ExtractIsoTree, OffersPathsDepthFirstAndWritesAcceptedEntries) {
    const Bytes image = BuildImage({
        Dir("DATA", {File("CRED1.PCX;1", "credits"), Dir("MAPS", {File("L1.MAP;1", "map")}), File("Z.BIN;1", "z")}),
        File("TOP.TXT;1", "top"),
    });
    ScratchDir out;
    std::vector<std::string> offered;
    ASSERT_EQ(ExtractInto(image, out.path(), AcceptAll{&offered}), ExtractOk);
    EXPECT_EQ(offered, (std::vector<std::string>{".\\DATA", ".\\DATA\\CRED1.PCX;1", ".\\DATA\\MAPS",
                                                 ".\\DATA\\MAPS\\L1.MAP;1", ".\\DATA\\Z.BIN;1", ".\\TOP.TXT;1"}));
    EXPECT_EQ(ReadTree(out.path()), (Tree{{"DATA/", ""}, {"DATA/CRED1.PCX", "credits"}, {"DATA/MAPS/", ""},
                                          {"DATA/MAPS/L1.MAP", "map"}, {"DATA/Z.BIN", "z"}, {"TOP.TXT", "top"}}));
}

TEST(ExtractIsoTree, OutputNamesLoseOnlyVersionOneAndAFinalDot) {
    const Bytes image = BuildImage({Dir("DATA", {
        File("README.;1", "r"), File("PLAIN", "p"), File("OLD.DAT;2", "o"), File("EMPTY.DAT;1", ""),
    })});
    ScratchDir out;
    ASSERT_EQ(ExtractInto(image, out.path(), AcceptAll{nullptr}), ExtractOk);
    EXPECT_EQ(ReadTree(out.path()), (Tree{{"DATA/", ""}, {"DATA/README", "r"}, {"DATA/PLAIN", "p"},
                                          {"DATA/OLD.DAT;2", "o"}, {"DATA/EMPTY.DAT", ""}}));
}

TEST(ExtractIsoTree, RefusedFolderIsNeitherEnteredNorCreated) {
    const Bytes image = BuildImage({
        Dir("DATA.NOW", {File("SAVE.DAT;1", "s"), Dir("SUB", {File("X;1", "x")})}),
        Dir("FMV", {File("INTRO.AVI;1", "movie")}),
        File("SETUP.EXE;1", "exe"),
    });
    ScratchDir out;
    std::vector<std::string> offered;
    ASSERT_EQ(ExtractInto(image, out.path(), [&](std::string path) {
        offered.push_back(path);
        return GameFolderFilter(path);
    }), ExtractOk);
    EXPECT_EQ(offered, (std::vector<std::string>{".\\DATA.NOW", ".\\FMV", ".\\FMV\\INTRO.AVI;1", ".\\SETUP.EXE;1"}));
    EXPECT_EQ(ReadTree(out.path()), (Tree{{"FMV/", ""}, {"FMV/INTRO.AVI", "movie"}}));
}

TEST(ExtractIsoTree, SkipsOnlyRecordsWhoseNameStartsBelowSpace) {
    const Bytes image = BuildImage({Dir("DATA", {File("\x80" "OK;1", "x"), File("\x1F" "BAD;1", "y"), File("OK;1", "ok")})});
    ScratchDir out;
    std::vector<std::string> offered;
    ASSERT_EQ(ExtractInto(image, out.path(), AcceptAll{&offered}), ExtractOk);
    EXPECT_EQ(offered, (std::vector<std::string>{".\\DATA", ".\\DATA\\\x80" "OK;1", ".\\DATA\\OK;1"}));
}

// A real DATA folder holds hundreds of files: its records fill many blocks, each ended by
// zero padding, and the walk must follow the folder's data length to the last of them.
TEST(ExtractIsoTree, FollowsFoldersAcrossBlocks) {
    std::vector<Entry> files;
    Tree expected{{"DATA/", ""}, {"FMV/", ""}, {"FMV/END.AVI", "end"}};
    for (int i = 0; i < 400; ++i) {
        const std::string name = "LEVEL" + std::to_string(1000 + i) + ".MAP";
        files.push_back(File(name + ";1", "content of " + name));
        expected["DATA/" + name] = "content of " + name;
    }
    const Bytes image = BuildImage({Dir("DATA", files), Dir("FMV", {File("END.AVI;1", "end")})});
    ScratchDir out;
    ASSERT_EQ(ExtractInto(image, out.path(), GameFolderFilter), ExtractOk);
    EXPECT_EQ(ReadTree(out.path()), expected);
}

// A folder whose last record ends exactly at the end of its extent has no zero byte to
// stop at; what follows in the image must not be read as more records.
TEST(ExtractIsoTree, StopsAtTheDataLengthWithoutAZeroByte) {
    ImageBuilder b;
    const uint32_t root = b.Allocate(1), data = b.Allocate(1), ghost = b.Allocate(1);
    b.PutDescriptor(root, 2048);
    b.PutDirectory(root, root, {Record("DATA", data, 2048, true)});
    // DATA's one block: "." and ".." (68 bytes), then nine records of 220 bytes: full.
    std::vector<Bytes> records;
    std::vector<std::string> expected{".\\DATA"};
    for (int i = 0; i < 9; ++i) {
        records.push_back(Record("F" + std::to_string(i) + ";1", ghost, 1, false, 220));
        expected.push_back(".\\DATA\\F" + std::to_string(i) + ";1");
    }
    b.PutDirectory(data, root, records);
    b.Put(ghost * 2048, Record("GHOST.BIN;1", ghost, 5, false));
    ScratchDir out;
    std::vector<std::string> offered;
    ASSERT_EQ(ExtractInto(b.image, out.path(), AcceptAll{&offered}), ExtractOk);
    EXPECT_EQ(offered, expected);
}

TEST(ExtractIsoTree, RepeatedExtractionOverwritesFiles) {
    ScratchDir out;
    ASSERT_EQ(ExtractInto(BuildImage({Dir("DATA", {File("A;1", "a much longer first content")})}), out.path(),
                          AcceptAll{nullptr}), ExtractOk);
    ASSERT_EQ(ExtractInto(BuildImage({Dir("DATA", {File("A;1", "short")})}), out.path(), AcceptAll{nullptr}), ExtractOk);
    EXPECT_EQ(ReadTree(out.path()), (Tree{{"DATA/", ""}, {"DATA/A", "short"}}));
}

TEST(ExtractIsoTree, TwoExtractionsAtOnceDoNotMix) {
    std::string big1(3'000'000, 'a'), big2(3'000'000, 'b');
    for (size_t i = 0; i < big1.size(); i += 4099) { big1[i] = 'X'; big2[i] = 'Y'; }
    const Bytes image1 = BuildImage({Dir("DATA", {File("BIG;1", big1), File("B2;1", big1)})});
    const Bytes image2 = BuildImage({Dir("DATA", {File("BIG;1", big2), File("B2;1", big2)})});
    ScratchDir out1, out2;
    ExtractResult r1 = ExtractMalformedRecord, r2 = ExtractMalformedRecord;
    std::thread t1([&] { r1 = ExtractInto(image1, out1.path(), AcceptAll{nullptr}); });
    std::thread t2([&] { r2 = ExtractInto(image2, out2.path(), AcceptAll{nullptr}); });
    t1.join();
    t2.join();
    EXPECT_EQ(r1, ExtractOk);
    EXPECT_EQ(r2, ExtractOk);
    EXPECT_TRUE(ReadText(out1.path() / "DATA" / "BIG") == big1 && ReadText(out1.path() / "DATA" / "B2") == big1);
    EXPECT_TRUE(ReadText(out2.path() / "DATA" / "BIG") == big2 && ReadText(out2.path() / "DATA" / "B2") == big2);
}

TEST(ExtractIsoTree, ListOnlyWritesNothingAndReportsEveryEntry) {
    const Bytes image = BuildImage({Dir("DATA", {File("A;1", "aa"), Dir("SUB", {File("B.;1", "b")})})});
    ScratchDir out;
    MemoryReader reader(image);
    RecordingObserver observer;
    ExtractOptions options;
    options.outputRoot = out.utf8();
    options.listOnly = true;
    options.observer = &observer;
    ASSERT_EQ(ExtractIsoTree(reader, AcceptAll{nullptr}, options), ExtractOk);
    const std::string s(1, RecordingObserver::kSeparator);
    EXPECT_EQ(observer.entries, (std::vector<std::string>{"DATA" + s, "DATA" + s + "A", "DATA" + s + "SUB" + s,
                                                          "DATA" + s + "SUB" + s + "B"}));
    EXPECT_TRUE(ReadTree(out.path()).empty());
}

// Image paths are UTF-8 and reach the file system whole, whatever the ANSI code page.
TEST(ExtractImageFile, OpensImagesUnderUnicodeFolders) {
    for (const char* folder : {u8"Łódź", u8"ユーザー"}) {
        ScratchDir dir(folder);
        const auto path = dir.path() / u8"GAME.GOG";
        WriteBytes(path, WrapRawMode1(BuildImage({Dir("DATA", {File("A;1", "a")})})));
        ScratchDir out(folder);
        ExtractOptions options;
        options.outputRoot = out.utf8();
        EXPECT_EQ(ExtractImageFile(Utf8(path), GameFolderFilter, options), ExtractOk) << Utf8(path);
        EXPECT_EQ(ReadText(out.path() / "DATA" / "A"), "a");
    }
}

// A folder or file that cannot be created fails the extraction; everything else still
// arrives and nothing already there is removed.
TEST(ExtractIsoTree, OutputThatCannotBeCreatedIsAFailure) {
    const Bytes image = BuildImage({
        Dir("DATA", {File("A;1", "a"), File("TAKEN;1", "t"), File("Z;1", "z")}),
        Dir("FMV", {File("F;1", "f")}),
    });
    ScratchDir out;
    fs::create_directories(out.path() / "DATA" / "TAKEN");  // a folder where a file goes
    WriteBytes(out.path() / "FMV", {'x'});                    // a file where a folder goes
    RecordingObserver observer;
    EXPECT_EQ(ExtractInto(image, out.path(), AcceptAll{nullptr}, &observer), ExtractOutputFailed);
    ASSERT_EQ(observer.problems.size(), 2u);
    EXPECT_EQ(observer.problems[0].place, ProblemPlace::Output);
    EXPECT_NE(observer.problems[0].where.find("TAKEN"), std::string::npos);
    EXPECT_NE(observer.problems[0].systemError, 0);
    EXPECT_NE(observer.problems[1].where.find("FMV"), std::string::npos);
    EXPECT_EQ(ReadTree(out.path()), (Tree{{"DATA/", ""}, {"DATA/A", "a"}, {"DATA/TAKEN/", ""}, {"DATA/Z", "z"}, {"FMV", "x"}}));
}

#ifndef _WIN32
// Nothing more can be written (a file-size limit stands in for a full disk: writes past it
// fail with EFBIG): the walk ends at once with one message, and the file it was writing
// leaves neither its final name nor its temporary; the files completed before stay.
TEST(ExtractIsoTree, AFullOutputEndsTheWalkAtOnce) {
    const Bytes image = BuildImage({Dir("DATA", {File("A;1", "a"), File("BIG;1", std::string(200000, 'x')),
                                                 File("C;1", "c"), File("D;1", "d")})});
    ScratchDir out;
    RecordingObserver observer;
    struct rlimit saved;
    getrlimit(RLIMIT_FSIZE, &saved);
    const auto savedHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = saved;
    limit.rlim_cur = 100000;
    setrlimit(RLIMIT_FSIZE, &limit);
    const ExtractResult result = ExtractInto(image, out.path(), AcceptAll{nullptr}, &observer);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, savedHandler);
    EXPECT_EQ(result, ExtractOutputFailed);
    ASSERT_EQ(observer.problems.size(), 1u);
    EXPECT_EQ(observer.problems[0].systemError, EFBIG);
    EXPECT_EQ(ReadTree(out.path()), (Tree{{"DATA/", ""}, {"DATA/A", "a"}}));
}
#endif

TEST(ExtractImageFile, MissingOutputFolderIsAFailure) {
    ScratchDir dir;
    const auto path = dir.path() / "GAME.GOG";
    WriteBytes(path, WrapRawMode1(BuildImage({Dir("DATA", {File("A;1", "a")})})));
    ExtractOptions options;
    options.outputRoot = Utf8(dir.path() / "no-such-folder");
    EXPECT_EQ(ExtractImageFile(Utf8(path), GameFolderFilter, options), ExtractOutputFailed);
}

}  // namespace

namespace {

// A reader that only reads forward cheaply, as an installer's image is read, and that
// remembers where each read began.
class ForwardReader : public test::MemoryReader {
public:
    using MemoryReader::MemoryReader;
    uint32_t Read(uint32_t offset, uint32_t length, void* buffer) override {
        offsets.push_back(offset);
        return MemoryReader::Read(offset, length, buffer);
    }
    bool ReadsInOrder() override { return true; }
    std::vector<uint32_t> offsets;
};

}  // namespace

// Where reading back is dear, the files' data is read in the order the disc holds it,
// whatever order the folders list them in: DATA/A.PCX lies after FMV/B.AVI here.
TEST(ExtractIsoTree, AReaderThatReadsForwardGetsTheFilesInDiscOrder) {
    using namespace test;
    ImageBuilder b;
    const uint32_t root = b.Allocate(1), data = b.Allocate(1), fmv = b.Allocate(1);
    const uint32_t second = b.Allocate(1), first = b.Allocate(1);
    b.PutDescriptor(root, 2048);
    b.PutDirectory(root, root, {Record("DATA", data, 2048, true), Record("FMV", fmv, 2048, true)});
    b.PutDirectory(data, root, {Record("A.PCX;1", first, 5, false)});
    b.PutDirectory(fmv, root, {Record("B.AVI;1", second, 5, false)});
    b.Put(first * 2048, std::string("aaaaa"));
    b.Put(second * 2048, std::string("bbbbb"));
    for (bool testOnly : {false, true}) {
        ForwardReader reader(b.image);
        ScratchDir out;
        ExtractOptions options;
        options.outputRoot = out.utf8();
        options.testOnly = testOnly;
        ASSERT_EQ(ExtractIsoTree(reader, [](std::string) { return true; }, options), ExtractOk);
        std::vector<uint32_t> fileReads;
        for (uint32_t offset : reader.offsets) {
            if (offset >= second * 2048) fileReads.push_back(offset);
        }
        EXPECT_EQ(fileReads, (std::vector<uint32_t>{second * 2048, first * 2048})) << (testOnly ? "test mode" : "import");
        if (!testOnly) {
            EXPECT_EQ(ReadText(out.path() / "DATA" / "A.PCX"), "aaaaa");
            EXPECT_EQ(ReadText(out.path() / "FMV" / "B.AVI"), "bbbbb");
        }
    }
}
