// The import jobs on real worker threads, posting to a real window: exactly one notice,
// never sooner than 2000 ms after the work ended, and the files they leave on disk.
#include <new>

#include <gtest/gtest.h>

#include "RawSector.h"
#include "TestFiles.h"
#include "jobs/ImportJobs.h"
#include "jobs/JobThread.h"

namespace {

using namespace test;
using Tree = std::map<std::string, std::string>;

CWinApp g_app;  // the application object the jobs ask for the main window

struct Notice {
    UINT message;
    ULONGLONG at;  // FILETIME units
};
std::vector<Notice> g_notices;

ULONGLONG Now() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return ULARGE_INTEGER{{now.dwLowDateTime, now.dwHighDateTime}}.QuadPart;
}

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_IMPORT_SUCCEEDED || message == WM_IMPORT_FAILED) {
        EXPECT_EQ(wParam, 0u);
        EXPECT_EQ(lParam, 0);
        g_notices.push_back({message, Now()});
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// A real top-level window as the application's main window, and a fresh working directory.
class ImportJobsTest : public testing::Test {
protected:
    void SetUp() override {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = RecordingProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"MarrowgateJobTestWindow";
        RegisterClassW(&windowClass);
        m_window.m_hWnd = CreateWindowExW(0, windowClass.lpszClassName, L"jobs", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                                          nullptr, windowClass.hInstance, nullptr);
        ASSERT_NE(m_window.m_hWnd, nullptr);
        g_app.m_pMainWnd = &m_window;
        g_notices.clear();
        GetCurrentDirectoryW(MAX_PATH, m_oldDirectory);
        ASSERT_TRUE(SetCurrentDirectoryW(m_work.path().wstring().c_str()));
    }
    void TearDown() override {
        SetCurrentDirectoryW(m_oldDirectory);
        g_app.m_pMainWnd = nullptr;
        DestroyWindow(m_window.m_hWnd);
    }

    // Pumps messages until a notice arrives, then a while longer to catch a second one.
    UINT WaitForNotice(DWORD timeoutMs = 15000) {
        const ULONGLONG start = GetTickCount64();
        while (g_notices.empty() && GetTickCount64() - start < timeoutMs) Pump(20);
        const ULONGLONG settle = GetTickCount64();
        while (GetTickCount64() - settle < 500) Pump(20);
        EXPECT_EQ(g_notices.size(), 1u) << "exactly one notice";
        return g_notices.empty() ? 0 : g_notices[0].message;
    }

    static void Pump(DWORD ms) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, ms, QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    }

    // The notice came no sooner than 2000 ms after the last write under the working directory.
    void ExpectNoticeAfterLastWrite() {
        ASSERT_FALSE(g_notices.empty());
        ULONGLONG lastWrite = 0;
        for (const auto& entry : fs::recursive_directory_iterator(m_work.path())) {
            WIN32_FILE_ATTRIBUTE_DATA data;
            if (GetFileAttributesExW(entry.path().wstring().c_str(), GetFileExInfoStandard, &data)) {
                const ULONGLONG written = ULARGE_INTEGER{{data.ftLastWriteTime.dwLowDateTime, data.ftLastWriteTime.dwHighDateTime}}.QuadPart;
                lastWrite = std::max(lastWrite, written);
            }
        }
        ASSERT_GT(lastWrite, 0u);
        EXPECT_GE(g_notices[0].at - lastWrite, 2000u * 10000u);
    }

    CWnd m_window;
    ScratchDir m_work{"work"};
    ScratchDir m_source{"source"};
    wchar_t m_oldDirectory[MAX_PATH] = {};
};

const std::vector<Entry> kGameDisc = {
    Dir("DATA", {File("CRED1.PCX;1", "credits"), File("README.;1", "r"), Dir("MAPS", {File("L1.MAP;1", "map")})}),
    Dir("DATA.NOW", {File("SAVE.DAT;1", "s")}),
    Dir("FMV", {File("INTRO.AVI;1", "intro")}),
    File("SETUP.EXE;1", "exe"),
};
const Tree kImported = {{"DATA/", ""}, {"DATA/CRED1.PCX", "credits"}, {"DATA/README", "r"}, {"DATA/MAPS/", ""},
                        {"DATA/MAPS/L1.MAP", "map"}, {"FMV/", ""}, {"FMV/INTRO.AVI", "intro"}};

TEST_F(ImportJobsTest, ImageImportSucceeds) {
    const fs::path image = m_source.path() / "GAME.GOG";
    WriteBytes(image, WrapRawMode1(BuildImage(kGameDisc)));
    StartImageImport(image.wstring());
    EXPECT_EQ(WaitForNotice(), WM_IMPORT_SUCCEEDED);
    EXPECT_EQ(ReadTree(m_work.path()), kImported);
    ExpectNoticeAfterLastWrite();
}

// The engine tells the sectors from the data: Mode 2 Form 1, sectors without sync, and a
// data track followed by audio import as the plain image does.
TEST_F(ImportJobsTest, ImageOfAnyLayoutOrWithAudioAfterItImports) {
    const Bytes cooked = BuildImage(kGameDisc);
    Bytes withAudio = WrapSectors(cooked, RipLayout::Mode1);
    withAudio.resize(withAudio.size() + 300 * 2352, 0x5A);  // a track of audio after the data
    for (const Bytes& image : {WrapSectors(cooked, RipLayout::Form1), WrapSectors(cooked, RipLayout::Form1Headless), withAudio}) {
        ScratchDir work("work");
        fs::current_path(work.path());
        WriteBytes(m_source.path() / "GAME.GOG", image);
        g_notices.clear();
        StartImageImport((m_source.path() / "GAME.GOG").wstring());
        EXPECT_EQ(WaitForNotice(), WM_IMPORT_SUCCEEDED);
        EXPECT_EQ(ReadTree(work.path()), kImported);
        fs::current_path(m_work.path());
    }
}

// The path reaches the engine whole, although the ANSI code page cannot hold it.
TEST_F(ImportJobsTest, ImageUnderAUnicodeFolderImports) {
    const fs::path folder = m_source.path() / L"ユーザー Łódź";
    fs::create_directories(folder);
    WriteBytes(folder / "GAME.GOG", WrapRawMode1(BuildImage(kGameDisc)));
    StartImageImport((folder / "GAME.GOG").wstring());
    EXPECT_EQ(WaitForNotice(), WM_IMPORT_SUCCEEDED);
    EXPECT_EQ(ReadTree(m_work.path()), kImported);
}

// A name mastered in 8 bits (CAFÉ.TXT, É as 0xC9) is read in the ANSI code page, as the
// program's narrow strings are (Windows-1252 in the test prefix).
TEST_F(ImportJobsTest, NamesThatAreNotUtf8AreReadInTheAnsiCodePage) {
    ASSERT_EQ(GetACP(), 1252u) << "the test prefix's ANSI code page";
    const fs::path image = m_source.path() / "GAME.GOG";
    WriteBytes(image, WrapRawMode1(BuildImage({Dir("DATA", {File("CAF\xC9.TXT;1", "cafe")})})));
    StartImageImport(image.wstring());
    EXPECT_EQ(WaitForNotice(), WM_IMPORT_SUCCEEDED);
    EXPECT_EQ(ReadTree(m_work.path()), (Tree{{"DATA/", ""}, {"DATA/CAF\xC3\x89.TXT", "cafe"}}));
}

TEST_F(ImportJobsTest, ImageThatDoesNotExtractFails) {
    struct Case {
        const char* what;
        Bytes image;  // empty: no file at all
    };
    Bytes badIdentifier = BuildImage(kGameDisc);
    badIdentifier[16 * 2048 + 1] = 'X';
    const Case cases[] = {
        {"no image (2)", {}},
        {"no primary volume descriptor (3)", Bytes(40 * 2048, 0)},
        {"identifier not CD001 (4)", badIdentifier},
    };
    for (const Case& c : cases) {
        g_notices.clear();
        const fs::path image = m_source.path() / "GAME.GOG";
        fs::remove(image);
        if (!c.image.empty()) WriteBytes(image, WrapRawMode1(c.image));
        const ULONGLONG started = Now();
        StartImageImport(image.wstring());
        EXPECT_EQ(WaitForNotice(), WM_IMPORT_FAILED) << c.what;
        if (!g_notices.empty()) {
            EXPECT_GE(g_notices[0].at - started, 2000u * 10000u) << c.what;
        }
        EXPECT_TRUE(ReadTree(m_work.path()).empty()) << c.what;
    }
}

// A worker that cannot be started still ends the import: the failure is posted at once.
TEST_F(ImportJobsTest, WorkerThatCannotStartIsReportedAsFailure) {
    const JobThreadStarter previous = SetJobThreadStarterForTesting([](AFX_THREADPROC, LPVOID) -> CWinThread* { return nullptr; });
    StartImageImport(L"C:\\GAME.GOG");
    EXPECT_EQ(WaitForNotice(1000), WM_IMPORT_FAILED);
    g_notices.clear();
    StartDiscImport(L"D:\\");
    EXPECT_EQ(WaitForNotice(1000), WM_IMPORT_FAILED);
    SetJobThreadStarterForTesting(previous);
}

TEST_F(ImportJobsTest, AnythingThrownInTheWorkIsAFailure) {
    EXPECT_FALSE(RunGuarded([]() -> bool { throw std::bad_alloc(); }));
    EXPECT_FALSE(RunGuarded([]() -> bool { throw 42; }));
    EXPECT_TRUE(RunGuarded([] { return true; }));
}

class DiscImportTest : public ImportJobsTest {
protected:
    // A disc at m_source: DATA with two files and a subfolder, FMV with one file.
    CString MakeDisc() {
        const fs::path disc = m_source.path();
        fs::create_directories(disc / "DATA" / "SUB");
        fs::create_directories(disc / "FMV");
        WriteBytes(disc / "DATA" / "CRED1.PCX", {'c'});
        WriteBytes(disc / "DATA" / "LEVEL1.MAP", {'m'});
        WriteBytes(disc / "DATA" / "SUB" / "DEEP.BIN", {'d'});
        WriteBytes(disc / "FMV" / "INTRO.AVI", {'i'});
        return disc.wstring() + L"\\";
    }
};

TEST_F(DiscImportTest, CopiesTheFilesLyingDirectlyInDataAndFmv) {
    StartDiscImport(MakeDisc());
    EXPECT_EQ(WaitForNotice(), WM_IMPORT_SUCCEEDED);
    EXPECT_EQ(ReadTree(m_work.path()), (Tree{{"DATA/", ""}, {"DATA/CRED1.PCX", "c"}, {"DATA/LEVEL1.MAP", "m"},
                                             {"FMV/", ""}, {"FMV/INTRO.AVI", "i"}}));
    ExpectNoticeAfterLastWrite();
}

// The job keeps its own copy of the root: the dialog's string may be gone before FMV's turn.
TEST_F(DiscImportTest, WorksOnItsOwnCopyOfTheRoot) {
    auto* root = new CString(MakeDisc());
    StartDiscImport(*root);
    root->assign(L"Q:\\nowhere\\");
    delete root;
    EXPECT_EQ(WaitForNotice(), WM_IMPORT_SUCCEEDED);
    EXPECT_EQ(ReadTree(m_work.path()).count("FMV/INTRO.AVI"), 1u);
}

TEST_F(DiscImportTest, ExistingDataFailsAtOnceAndChangesNothing) {
    fs::create_directory(m_work.path() / "DATA");
    StartDiscImport(MakeDisc());
    EXPECT_EQ(WaitForNotice(), WM_IMPORT_FAILED);
    EXPECT_EQ(ReadTree(m_work.path()), (Tree{{"DATA/", ""}}));
}

TEST_F(DiscImportTest, ExistingFmvFailsAfterDataIsCopied) {
    fs::create_directory(m_work.path() / "FMV");
    StartDiscImport(MakeDisc());
    EXPECT_EQ(WaitForNotice(), WM_IMPORT_FAILED);
    EXPECT_EQ(ReadTree(m_work.path()), (Tree{{"DATA/", ""}, {"DATA/CRED1.PCX", "c"}, {"DATA/LEVEL1.MAP", "m"}, {"FMV/", ""}}));
}

// The disc was taken out after detection: a failure, and no empty folders left behind.
TEST_F(DiscImportTest, DiscRemovedIsAFailure) {
    StartDiscImport((m_source.path() / "gone").wstring() + L"\\");
    EXPECT_EQ(WaitForNotice(), WM_IMPORT_FAILED);
    EXPECT_TRUE(ReadTree(m_work.path()).empty());
}

// A file the system cannot read (here: held open without sharing) fails the import; the
// other files are still copied.
TEST_F(DiscImportTest, FileThatCannotBeReadIsAFailure) {
    const CString root = MakeDisc();
    HANDLE held = CreateFileW((root + L"DATA\\LEVEL1.MAP").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    StartDiscImport(root);
    EXPECT_EQ(WaitForNotice(), WM_IMPORT_FAILED);
    CloseHandle(held);
    const Tree written = ReadTree(m_work.path());
    EXPECT_EQ(written.count("DATA/CRED1.PCX"), 1u);
    EXPECT_EQ(written.count("DATA/LEVEL1.MAP"), 0u);
    EXPECT_EQ(written.count("DATA/.LEVEL1.MAP.mg-partial"), 0u);  // a failed copy leaves no temporary
}

}  // namespace
