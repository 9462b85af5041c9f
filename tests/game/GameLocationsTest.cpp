// Where both programs look for the game: the image's place under Steam, the libraries
// Steam lists (read with a bound), the trim of a library's trailing separators.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "TestFiles.h"
#include "game/GameLocations.h"
#include "game/SmallTextFile.h"

namespace {

using test::fs::path;

TEST(GameLocationsTest, PathsTakeTheCallersSeparator) {
    EXPECT_EQ(SteamImageBelow("C:\\Steam", '\\'), "C:\\Steam\\steamapps\\common\\Marrowgate (I)\\GAME.GOG");
    EXPECT_EQ(SteamImageBelow("/home/me/.steam/steam", '/'), "/home/me/.steam/steam/steamapps/common/Marrowgate (I)/GAME.GOG");
    EXPECT_EQ(SteamImageBelow("", '\\'), "\\steamapps\\common\\Marrowgate (I)\\GAME.GOG");
    EXPECT_EQ(DiscProbe('\\'), "DATA\\CRED1.PCX");
    EXPECT_EQ(DiscProbe('/'), "DATA/CRED1.PCX");
}

TEST(GameLocationsTest, TrailingSeparatorsAreTrimmedToNothingIfNeedBe) {
    const struct {
        const char* path;
        char separator;
        const char* trimmed;
    } cases[] = {
        {"D:\\SteamLibrary\\", '\\', "D:\\SteamLibrary"},
        {"D:\\SteamLibrary\\\\/", '\\', "D:\\SteamLibrary"},
        {"/mnt/games//", '/', "/mnt/games"},
        {"/mnt/games\\", '/', "/mnt/games\\"},  // a backslash is part of a POSIX name
        {"/", '/', ""},
        {"\\", '\\', ""},
        {"", '/', ""},
        {"games", '/', "games"},
    };
    for (const auto& c : cases) EXPECT_EQ(TrimTrailingSeparators(c.path, c.separator), c.trimmed) << c.path;
}

TEST(GameLocationsTest, ListedLibrariesInOrderFromBothLists) {
    test::ScratchDir dir;
    const path steam = dir.path() / "Steam";
    test::fs::create_directories(steam / "steamapps");
    test::fs::create_directories(steam / "config");
    const std::string current = "\"libraryfolders\" { \"0\" { \"path\" \"/mnt/one/\" } \"1\" { \"path\" \"/\" } }";
    test::WriteBytes(steam / "steamapps" / "libraryfolders.vdf", test::Bytes(current.begin(), current.end()));
    const std::string old = "\"LibraryFolders\" { \"1\" \"/mnt/two\" }";
    test::WriteBytes(steam / "config" / "libraryfolders.vdf", test::Bytes(old.begin(), old.end()));

    const std::vector<std::string> expected = {SteamImageBelow("/mnt/one", '/'), SteamImageBelow("/mnt/two", '/')};
    EXPECT_EQ(SteamImagesInListedLibraries(test::Utf8(steam), '/'), expected);
    EXPECT_TRUE(SteamImagesInListedLibraries(test::Utf8(dir.path() / "nothing"), '/').empty());
}

#ifdef _WIN32
TEST(GameLocationsTest, WindowsLibrariesTakeBackslashes) {
    test::ScratchDir dir;
    test::fs::create_directories(dir.path() / "config");
    const std::string old = "\"LibraryFolders\" { \"1\" \"E:/Games/Steam Library/\" }";
    test::WriteBytes(dir.path() / "config" / "libraryfolders.vdf", test::Bytes(old.begin(), old.end()));
    const std::vector<std::string> expected = {SteamImageBelow("E:\\Games\\Steam Library", '\\')};
    EXPECT_EQ(SteamImagesInListedLibraries(test::Utf8(dir.path()), '\\'), expected);
}
#endif

TEST(SmallTextFileTest, AFileIsReadWholeUpToTheBoundAndIgnoredPastIt) {
    test::ScratchDir dir;
    const path file = dir.path() / "list.vdf";
    test::WriteBytes(file, test::Bytes(10, 'x'));
    EXPECT_EQ(ReadSmallTextFile(test::Utf8(file), 10), std::string(10, 'x'));
    EXPECT_EQ(ReadSmallTextFile(test::Utf8(file), 9), "");
    EXPECT_EQ(ReadSmallTextFile(test::Utf8(dir.path() / "missing.vdf")), "");
    EXPECT_EQ(ReadSmallTextFile(test::Utf8(dir.path())), "");  // a folder
    test::WriteBytes(file, test::Bytes(kSmallTextFileLimit + 1, 'x'));
    EXPECT_EQ(ReadSmallTextFile(test::Utf8(file)), "");
}

#ifndef _WIN32
// An endless file or a FIFO is ignored: nothing is read to the end of memory or waited on.
TEST(SmallTextFileTest, AnEndlessFileOrAFifoIsIgnored) {
    test::ScratchDir dir;
    const path link = dir.path() / "libraryfolders.vdf";
    test::fs::create_symlink("/dev/zero", link);
    EXPECT_EQ(ReadSmallTextFile(test::Utf8(link)), "");
    const path fifo = dir.path() / "config.vdf";
    ASSERT_EQ(mkfifo(test::Utf8(fifo).c_str(), 0600), 0);
    EXPECT_EQ(ReadSmallTextFile(test::Utf8(fifo)), "");  // not waited on
}
#endif

}  // namespace
