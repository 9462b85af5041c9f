// GameFolderFilter: which paths the game import takes.
#include <gtest/gtest.h>

#include "game/GameFolderFilter.h"

namespace {

struct FilterCase {
    const char* path;
    bool accepted;
};

void PrintTo(const FilterCase& c, std::ostream* os) { *os << c.path; }

const FilterCase kCases[] = {
    {".\\FMV", true},
    {".\\FMV\\INTRO.AVI;1", true},
    {".\\DATA", true},
    {".\\DATA\\CRED1.PCX;1", true},
    {".\\DATA\\MAPS\\DEEP\\LEVEL1.MAP;1", true},
    {".\\DATA.NOW", false},
    {".\\DATA.NOW\\SAVE.DAT;1", false},
    {".\\DATA2", true},
    {".\\FMVX", true},
    {".\\data", false},
    {".\\fmv", false},
    {".\\SETUP.EXE;1", false},
    {"./DATA", false},
    {"DATA", false},
};

class GameFolderFilterTest : public testing::TestWithParam<FilterCase> {};

TEST_P(GameFolderFilterTest, DecidesByPrefix) {
    EXPECT_EQ(GameFolderFilter(GetParam().path), GetParam().accepted) << GetParam().path;
}

INSTANTIATE_TEST_SUITE_P(Paths, GameFolderFilterTest, testing::ValuesIn(kCases));

}  // namespace
