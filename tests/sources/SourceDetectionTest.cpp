// Source discovery against the real Wine registry and the test prefix's drive letters:
// D: a CD-ROM drive holding the disc, E: an empty CD-ROM drive, F: a fixed drive that
// also holds the disc (see scripts/wine-prefix.sh).
#include <fstream>

#include <gtest/gtest.h>

#include "TestFiles.h"
#include "sources/SourceDetection.h"

namespace {

using test::fs::path;

constexpr wchar_t kGogKey[] = L"SOFTWARE\\GOG.com\\Games\\1207663463";  // as a 32-bit installer writes it
constexpr wchar_t kSteamKey[] = L"Software\\Valve\\Steam";

void SetString(HKEY root, const wchar_t* subkey, REGSAM view, const wchar_t* name, const CString& value) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(root, subkey, 0, nullptr, 0, KEY_SET_VALUE | view, nullptr, &key, nullptr), ERROR_SUCCESS);
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

class SourceDetectionTest : public testing::Test {
protected:
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }
    static void Clean() {
        RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kGogKey, KEY_WOW64_32KEY, 0);
        RegDeleteKeyValueW(HKEY_CURRENT_USER, kSteamKey, L"SteamPath");
    }
    static void SetSteamPath(const CString& value) { SetString(HKEY_CURRENT_USER, kSteamKey, 0, L"SteamPath", value); }
};

TEST_F(SourceDetectionTest, GogPathComesFromTheInstallersKey) {
    EXPECT_EQ(GetGogImagePath(), L"\\GAME.GOG");
    SetString(HKEY_LOCAL_MACHINE, kGogKey, KEY_WOW64_32KEY, L"path", L"C:\\GOG Games\\Marrowgate");
    EXPECT_EQ(GetGogImagePath(), L"C:\\GOG Games\\Marrowgate\\GAME.GOG");
}

TEST_F(SourceDetectionTest, SteamPathTakesBackslashesAndKeepsItsJoint) {
    EXPECT_EQ(GetSteamImagePath(), L"\\steamapps\\common\\Marrowgate (I)\\GAME.GOG");
    SetSteamPath(L"Q:/Games/Steam");
    EXPECT_EQ(GetSteamImagePath(), L"Q:\\Games\\Steam\\steamapps\\common\\Marrowgate (I)\\GAME.GOG");
    SetSteamPath(L"Q:\\Steam\\");
    EXPECT_EQ(GetSteamImagePath(), L"Q:\\Steam\\\\steamapps\\common\\Marrowgate (I)\\GAME.GOG");
}

// A game installed in a second library is found through Steam's library lists, old and
// current format; the default place still comes first.
TEST_F(SourceDetectionTest, SteamLibrariesListedByTheClientAreSearched) {
    test::ScratchDir dir;
    const path steam = dir.path() / "Steam", library = dir.path() / "Second Library";
    const path image = library / "steamapps" / "common" / "Marrowgate (I)" / "GAME.GOG";
    test::fs::create_directories(image.parent_path());
    test::WriteBytes(image, {'x'});
    test::fs::create_directories(steam / "config");
    test::fs::create_directories(steam / "steamapps");
    // The library's path as Steam writes it: backslashes escaped.
    std::string escaped;
    for (char c : test::Utf8(library)) escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
    SetSteamPath(steam.wstring());

    std::ofstream(steam / "config" / "libraryfolders.vdf") << "\"LibraryFolders\"\n{\n\t\"1\"\t\t\"" << escaped << "\"\n}\n";
    EXPECT_EQ(GetSteamImagePath(), image.wstring());

    test::fs::remove(steam / "config" / "libraryfolders.vdf");
    std::ofstream(steam / "steamapps" / "libraryfolders.vdf")
        << "\"libraryfolders\"\n{\n\t\"0\"\n\t{\n\t\t\"path\"\t\t\"C:\\\\nowhere\"\n\t}\n"
        << "\t\"1\"\n\t{\n\t\t\"path\"\t\t\"" << escaped << "\"\n\t\t\"apps\"\n\t\t{\n\t\t}\n\t}\n}\n";
    EXPECT_EQ(GetSteamImagePath(), image.wstring());

    const path own = steam / "steamapps" / "common" / "Marrowgate (I)" / "GAME.GOG";
    test::fs::create_directories(own.parent_path());
    test::WriteBytes(own, {'y'});
    EXPECT_EQ(GetSteamImagePath(), own.wstring());
}

TEST(PathExists, AnswersForFilesAndFoldersOfThatExactName) {
    test::ScratchDir dir;
    test::WriteBytes(dir.path() / "GAME.GOG", {'x'});
    test::fs::create_directory(dir.path() / "FOLDER.GOG");
    EXPECT_TRUE(PathExists((dir.path() / "GAME.GOG").wstring()));
    EXPECT_TRUE(PathExists((dir.path() / "FOLDER.GOG").wstring()));
    EXPECT_FALSE(PathExists((dir.path() / "MISSING.GOG").wstring()));
    EXPECT_FALSE(PathExists(L"Q:\\GAME.GOG"));
}

TEST(FindDiscRoot, TakesTheLowestDriveHoldingTheDisc) {
    ASSERT_EQ(GetDriveTypeW(L"D:\\"), static_cast<UINT>(DRIVE_CDROM)) << "test prefix without its drives";
    EXPECT_EQ(GetDriveTypeW(L"E:\\"), static_cast<UINT>(DRIVE_CDROM));
    EXPECT_EQ(GetDriveTypeW(L"F:\\"), static_cast<UINT>(DRIVE_FIXED));
    EXPECT_FALSE(PathExists(L"E:\\DATA\\CRED1.PCX"));  // the empty drive answers at once, no prompt

    EXPECT_EQ(FindDiscRoot(), L"D:\\");  // D: and F: both hold it

    // Without the CD, the fixed drive that holds the files counts as the disc.
    ASSERT_TRUE(MoveFileW(L"D:\\DATA", L"D:\\DATA.OUT"));
    const CString root = FindDiscRoot();
    MoveFileW(L"D:\\DATA.OUT", L"D:\\DATA");
    EXPECT_EQ(root, L"F:\\");
}

}  // namespace
