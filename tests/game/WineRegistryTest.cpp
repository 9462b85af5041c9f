// A Wine prefix's system.reg, as Wine 8 writes it, and the escapes it uses.
#include <gtest/gtest.h>

#include "game/WineRegistry.h"

namespace {

// Seen in a prefix after: reg add 'HKLM\Software\GOG.com\Games\1207663463' /v path
// /t REG_SZ /d 'C:\GOG Games\Łódź Marrowgate' /reg:32
const char kSystemReg[] = R"(WINE REGISTRY Version 2
;; All keys relative to REGISTRY\\Machine

#arch=win64

[Software\\GOG.com] 1796910400
#time=1dd88ad0d8557aa
"path"="C:\\wrong key"

[Software\\Wow6432Node\\GOG.com\\Games\\1207663463] 1796910472
#time=1dd88ad0d8557ba
"dword"=dword:00000001
"path"="C:\\GOG Games\\\x141\x00f3d\x17a Marrowgate"

[Software\\Wow6432Node\\Other] 1796910472
"path"="C:\\other"
)";

constexpr char kKey[] = "Software\\Wow6432Node\\GOG.com\\Games\\1207663463";

TEST(WineRegistry, ReadsTheInstallersValueWithItsEscapesUndone) {
    EXPECT_EQ(ReadWineRegistryString(kSystemReg, kKey, "path"), "C:\\GOG Games\\\xC5\x81\xC3\xB3" "d\xC5\xBA Marrowgate");
    EXPECT_EQ(ReadWineRegistryString(kSystemReg, "SOFTWARE\\wow6432node\\gog.com\\games\\1207663463", "PATH"),
              "C:\\GOG Games\\\xC5\x81\xC3\xB3" "d\xC5\xBA Marrowgate");  // keys and names ignore case
}

TEST(WineRegistry, AnythingElseGivesNothing) {
    EXPECT_EQ(ReadWineRegistryString(kSystemReg, kKey, "dword"), "");    // not a string
    EXPECT_EQ(ReadWineRegistryString(kSystemReg, kKey, "missing"), "");  // no such value
    EXPECT_EQ(ReadWineRegistryString(kSystemReg, "Software\\GOG.com\\Games\\1207663463", "path"), "");
    EXPECT_EQ(ReadWineRegistryString("", kKey, "path"), "");
    EXPECT_EQ(ReadWineRegistryString("[Software\\\\X]\n\"path\"=\"unterminated", "Software\\X", "path"), "unterminated");
}

TEST(WineRegistry, Escapes) {
    const struct {
        const char* data;
        const char* text;
    } cases[] = {
        {R"(a\\b)", "a\\b"},
        {R"(say \"hi\")", "say \"hi\""},
        {R"(\x41BC)", "\xE4\x86\xBC"},            // four hex digits at most: U+41BC
        {R"(\x00410)", "A0"},                     // padded, a digit following
        {R"(\x)", "x"},                           // a bare \x
        {R"(\101\t!)", "A\t!"},                   // octal
        {R"(\xd83c\xdfae)", "\xF0\x9F\x8E\xAE"},  // a surrogate pair
    };
    for (const auto& c : cases) {
        const std::string reg = std::string("[K]\n\"v\"=\"") + c.data + "\"\n";
        EXPECT_EQ(ReadWineRegistryString(reg, "K", "v"), c.text) << c.data;
    }
}

}  // namespace
