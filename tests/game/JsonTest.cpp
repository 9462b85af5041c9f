// The launchers' JSON files, and JSON that is not.
#include <gtest/gtest.h>

#include "game/Json.h"

namespace {

// Heroic's gog_store/installed.json, as its GOG store writes it.
const char kHeroicInstalled[] = R"({
  "installed": [
    {"platform": "windows", "executable": "", "install_path": "/home/u/Games/Heroic/Other", "install_size": "1 GiB",
     "is_dlc": false, "version": "1.0", "appName": "1", "installedWithDLCs": false},
    {"platform": "windows", "executable": "", "install_path": "/home/u/Games/Heroic/\u0141\u00f3d\u017a Marrowgate",
     "install_size": "660 MiB", "is_dlc": false, "version": null, "appName": "1207663463", "buildId": 5}
  ]
})";

TEST(Json, ReadsHeroicsList) {
    const auto json = ParseJson(kHeroicInstalled);
    ASSERT_TRUE(json);
    const JsonValue* installed = json->Find("installed");
    ASSERT_TRUE(installed);
    ASSERT_EQ(installed->items.size(), 2u);
    EXPECT_EQ(installed->items[1].Find("appName")->String(), "1207663463");
    EXPECT_EQ(installed->items[1].Find("install_path")->String(), "/home/u/Games/Heroic/\xC5\x81\xC3\xB3" "d\xC5\xBA Marrowgate");
    EXPECT_EQ(installed->items[1].Find("buildId")->String(), "");  // a number is no string
    EXPECT_EQ(installed->items[0].Find("missing"), nullptr);
}

TEST(Json, EscapesAndSurrogatePairs) {
    const auto json = ParseJson(R"({"s": "a\"b\\c\/d\n\ud83c\udfae"})");
    ASSERT_TRUE(json);
    EXPECT_EQ(json->Find("s")->String(), "a\"b\\c/d\n\xF0\x9F\x8E\xAE");
}

TEST(Json, NotJsonGivesNothing) {
    for (const char* text : {"", "{", "{\"a\" 1}", "[1,]x", "{\"a\": \"\\u12\"}", "\"open", "{} {}"}) {
        EXPECT_FALSE(ParseJson(text)) << text;
    }
    EXPECT_FALSE(ParseJson(std::string(100000, '[') + std::string(100000, ']')));  // too deep, not a crash
    EXPECT_TRUE(ParseJson(std::string(60, '[') + std::string(60, ']')));
}

}  // namespace
