// The write path: a file appears under its final name only when it is complete, nothing is
// written outside the output folder or through what stands at an output path, and a stop
// asked for ends the walk cleanly.
#include <atomic>
#include <cstdlib>

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "TestFiles.h"
#include "iso/FileSystem.h"

namespace {

using namespace test;
using Tree = std::map<std::string, std::string>;

const Bytes kGame = BuildImage({Dir("DATA", {File("A;1", "new a"), File("B;1", "new b"), Dir("SUB", {File("C;1", "c")})}),
                                Dir("FMV", {File("F;1", "f")})});

bool HasTemporaries(const fs::path& root) {
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (IsTemporaryName(Utf8(entry.path().filename()))) return true;
    }
    return false;
}

TEST(WritePath, TemporariesLeftByAnImportCutOffByForceAreRemoved) {
    ScratchDir out;
    fs::create_directories(out.path() / "DATA");
    WriteBytes(out.path() / "DATA" / TemporaryName("A"), {'x'});
    WriteBytes(out.path() / TemporaryName("README"), {'x'});
    EXPECT_EQ(ExtractInto(kGame, out.path(), AcceptAll{nullptr}), ExtractOk);
    EXPECT_FALSE(HasTemporaries(out.path()));
    EXPECT_EQ(ReadText(out.path() / "DATA" / "A"), "new a");
}

// A name that could be taken for a temporary is no name to create.
TEST(WritePath, AnImagesNameOfTheTemporariesFormIsRefused) {
    ScratchDir out;
    RecordingObserver observer;
    const Bytes image = BuildImage({Dir("DATA", {File(TemporaryName("A") + ";1", "x"), File("A;1", "a")})});
    EXPECT_EQ(ExtractInto(image, out.path(), AcceptAll{nullptr}, &observer), ExtractUnsafeName);
    EXPECT_EQ(ReadTree(out.path()), (Tree{{"DATA/", ""}, {"DATA/A", "a"}}));
}

TEST(WritePath, AStopAskedForDropsTheFileBeingWrittenAndEndsTheWalk) {
    struct StopAfterFirstFile : RecordingObserver {
        std::atomic<int>* stop;
        void OnFile(const std::string& path, uint32_t size) override {
            RecordingObserver::OnFile(path, size);
            if (path.find('B') != std::string::npos) stop->store(2);
        }
    };
    std::atomic<int> stop{0};
    StopAfterFirstFile observer;
    observer.stop = &stop;
    ScratchDir out;
    MemoryReader reader(kGame);
    ExtractOptions options;
    options.outputRoot = out.utf8();
    options.observer = &observer;
    options.stop = &stop;
    EXPECT_EQ(ExtractIsoTree(reader, AcceptAll{nullptr}, options), ExtractStopped);
    EXPECT_EQ(ReadTree(out.path()), (Tree{{"DATA/", ""}, {"DATA/A", "new a"}}));
    ASSERT_EQ(observer.problems.size(), 1u);
    EXPECT_STREQ(ExtractResultMessage(observer.problems[0].cause), "interrupted");
}

// A walk that reads no file data (a listing; an import of folders and empty files) still
// looks at the stop before each record.
TEST(WritePath, AStopEndsAWalkThatReadsNoData) {
    struct StopAtThirdFile : RecordingObserver {
        std::atomic<int>* stop;
        int files = 0;
        void OnFile(const std::string& path, uint32_t size) override {
            RecordingObserver::OnFile(path, size);
            if (++files == 3) stop->store(2);
        }
    };
    std::vector<Entry> empty;
    for (int i = 0; i < 20; ++i) empty.push_back(File("E" + std::to_string(i) + ";1", ""));
    const Bytes image = BuildImage({Dir("DATA", empty)});
    for (const bool listOnly : {true, false}) {
        std::atomic<int> stop{0};
        StopAtThirdFile observer;
        observer.stop = &stop;
        ScratchDir out;
        MemoryReader reader(image);
        ExtractOptions options;
        options.outputRoot = out.utf8();
        options.listOnly = listOnly;
        options.observer = &observer;
        options.stop = &stop;
        EXPECT_EQ(ExtractIsoTree(reader, AcceptAll{nullptr}, options), ExtractStopped) << listOnly;
        EXPECT_EQ(observer.files, 3) << listOnly;
        EXPECT_FALSE(HasTemporaries(out.path()));
    }
}

#ifdef _WIN32
// A file held open elsewhere (sharing deletion, as an indexer or a scanner does) while its
// new version is committed: whether the replacement is let through or refused, one of the
// two versions stands at its name afterwards, never none.
TEST(WritePath, AFileHeldOpenElsewhereIsNeverLost) {
    ScratchDir out;
    fs::create_directories(out.path() / "DATA");
    WriteBytes(out.path() / "DATA" / "A", {'o', 'l', 'd'});
    const HANDLE held = CreateFileW((out.path() / "DATA" / "A").wstring().c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    ExtractInto(kGame, out.path(), AcceptAll{nullptr});
    CloseHandle(held);
    ASSERT_TRUE(fs::exists(out.path() / "DATA" / "A"));
    const std::string now = ReadText(out.path() / "DATA" / "A");
    EXPECT_TRUE(now == "old" || now == "new a") << now;
    EXPECT_FALSE(HasTemporaries(out.path()));
}
#endif

// A folder link made on the host where DATA goes (the authored-images fixture makes it;
// under Wine it shows as a reparse point): refused and reported, nothing written through it.
TEST(WritePath, AHostsFolderLinkWhereAFolderGoesIsRefused) {
    const char* testData = std::getenv("MG_TESTDATA");
    if (!testData) GTEST_SKIP() << "no test data (MG_TESTDATA)";
    const fs::path root = fs::u8path(testData);
    RecordingObserver observer;
    EXPECT_EQ(ExtractInto(kGame, root / "link-output", AcceptAll{nullptr}, &observer), ExtractOutputFailed);
    ASSERT_FALSE(observer.problems.empty());
    EXPECT_EQ(observer.problems[0].detail, "is a symbolic link");
    EXPECT_TRUE(fs::is_empty(root / "link-target"));
}

#ifndef _WIN32
// What stands at an output path is replaced, never written through nor waited on: a hard
// link's other name keeps its bytes, a FIFO does not hang the import.
TEST(WritePath, AHardLinkOrFifoAtAFilesPathIsReplaced) {
    ScratchDir out, outside;
    fs::create_directories(out.path() / "DATA");
    WriteBytes(outside.path() / "KEEP", {'k', 'e', 'e', 'p'});
    fs::create_hard_link(outside.path() / "KEEP", out.path() / "DATA" / "A");
    ASSERT_EQ(mkfifo(Utf8(out.path() / "DATA" / "B").c_str(), 0600), 0);
    EXPECT_EQ(ExtractInto(kGame, out.path(), AcceptAll{nullptr}), ExtractOk);
    EXPECT_EQ(ReadText(outside.path() / "KEEP"), "keep");
    EXPECT_EQ(ReadText(out.path() / "DATA" / "A"), "new a");
    EXPECT_EQ(ReadText(out.path() / "DATA" / "B"), "new b");
}

TEST(WritePath, ALinkWhereAFolderGoesIsRefused) {
    ScratchDir out, outside;
    fs::create_directory_symlink(outside.path(), out.path() / "DATA");
    RecordingObserver observer;
    EXPECT_EQ(ExtractInto(kGame, out.path(), AcceptAll{nullptr}, &observer), ExtractOutputFailed);
    EXPECT_TRUE(ReadTree(outside.path()).empty());
    ASSERT_EQ(observer.problems.size(), 1u);
    EXPECT_EQ(observer.problems[0].detail, "is a symbolic link");
    EXPECT_EQ(ReadText(out.path() / "FMV" / "F"), "f");
}

// A folder moved away and replaced by a link while it is written: the writes follow the
// folder that was opened, never the link.
TEST(WritePath, AFolderSwappedForALinkDuringTheImportSendsNothingOutside) {
    struct Swapper : RecordingObserver {
        fs::path out, outside;
        void OnFile(const std::string& path, uint32_t size) override {
            RecordingObserver::OnFile(path, size);
            if (path == "DATA/A") {
                fs::rename(out / "DATA", out / "MOVED");
                fs::create_directory_symlink(outside, out / "DATA");
            }
        }
    };
    ScratchDir out, outside;
    Swapper observer;
    observer.out = out.path();
    observer.outside = outside.path();
    EXPECT_EQ(ExtractInto(kGame, out.path(), AcceptAll{nullptr}, &observer), ExtractOk);
    EXPECT_TRUE(ReadTree(outside.path()).empty());
    EXPECT_EQ(ReadText(out.path() / "MOVED" / "B"), "new b");
    EXPECT_EQ(ReadText(out.path() / "MOVED" / "SUB" / "C"), "c");
}

// Files take the time the disc records for them (the builder records 2001-02-03 04:05:06
// at GMT+1), when asked.
TEST(WritePath, FilesKeepTheDiscsTimesWhenAsked) {
    ScratchDir out;
    MemoryReader reader(kGame);
    ExtractOptions options;
    options.outputRoot = out.utf8();
    options.keepTimes = true;
    ASSERT_EQ(ExtractIsoTree(reader, AcceptAll{nullptr}, options), ExtractOk);
    struct stat info;
    ASSERT_EQ(stat(Utf8(out.path() / "DATA" / "A").c_str(), &info), 0);
    EXPECT_EQ(info.st_mtime, 981173106 - 3600);
}
#endif

}  // namespace
