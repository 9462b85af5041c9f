// Steam's libraryfolders.vdf, as real clients write it, in both formats.
#include <gtest/gtest.h>

#include "game/SteamLibraries.h"

namespace {

using Folders = std::vector<std::string>;

// Written by Steam clients before mid-2021 (steamapps\libraryfolders.vdf).
const char kOldFormat[] = R"("LibraryFolders"
{
	"TimeNextStatsReport"		"1625097600"
	"ContentStatsID"		"-4718938587093385212"
	"1"		"D:\\SteamLibrary"
	"2"		"E:\\Games\\Steam Library"
}
)";

// Written by current clients (steamapps\libraryfolders.vdf, also config\libraryfolders.vdf).
const char kCurrentFormat[] = R"("libraryfolders"
{
	"contentstatsid"		"-4718938587093385212"
	"0"
	{
		"path"		"C:\\Program Files (x86)\\Steam"
		"label"		""
		"contentid"		"2541734215183526463"
		"totalsize"		"0"
		"update_clean_bytes_tally"		"8723712"
		"time_last_update_corruption"		"0"
		"apps"
		{
			"228980"		"387127089"
			"1207663463"		"652345678"
		}
	}
	"1"
	{
		"path"		"D:\\SteamLibrary"
		"label"		"Games \"fast\" disk"
		"contentid"		"7234567812345678123"
		"totalsize"		"1000202039296"
		"apps"
		{
		}
	}
}
)";

TEST(SteamLibraries, ReadsTheOldFormat) {
    EXPECT_EQ(ParseSteamLibraryFolders(kOldFormat), (Folders{"D:\\SteamLibrary", "E:\\Games\\Steam Library"}));
}

TEST(SteamLibraries, ReadsTheCurrentFormat) {
    EXPECT_EQ(ParseSteamLibraryFolders(kCurrentFormat), (Folders{"C:\\Program Files (x86)\\Steam", "D:\\SteamLibrary"}));
}

TEST(SteamLibraries, ReadsCommentsConditionsAndUtf8) {
    const char text[] = "// written by hand\n\"libraryfolders\" [$WIN32]\n{\n"
                        "  \"1\" { \"PATH\" \"F:\\\\Spiele\\\\\xC3\x9C\" }  // a comment\n"
                        "  \"2\" \"G:/Steam\"\n}\n";
    EXPECT_EQ(ParseSteamLibraryFolders(text), (Folders{"F:\\Spiele\\\xC3\x9C", "G:/Steam"}));
}

TEST(SteamLibraries, BrokenTextGivesWhatCameBeforeTheBreak) {
    EXPECT_EQ(ParseSteamLibraryFolders(""), Folders{});
    EXPECT_EQ(ParseSteamLibraryFolders("not a vdf"), Folders{});
    EXPECT_EQ(ParseSteamLibraryFolders("\"libraryfolders\" { \"1\" \"D:\\\\A\" \"2\" }"), Folders{"D:\\A"});
    EXPECT_EQ(ParseSteamLibraryFolders("\"libraryfolders\" { \"1\" { \"path\" \"D:\\\\A\""), Folders{"D:\\A"});
    EXPECT_EQ(ParseSteamLibraryFolders("\"libraryfolders\" { \"1\" \"unterminated"), Folders{"unterminated"});
}

}  // namespace
