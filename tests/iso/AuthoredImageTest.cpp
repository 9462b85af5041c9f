// Differential test: images written by genisoimage and xorriso from one tree, read as the
// tools wrote them (cooked) and wrapped in raw sectors, must give back that tree's DATA
// and FMV byte for byte.
#include <cstdlib>
#include <fstream>

#include <gtest/gtest.h>

#include "RawSector.h"
#include "TestFiles.h"
#include "game/GameFolderFilter.h"

namespace {

using namespace test;
class AuthoredImageTest : public testing::TestWithParam<const char*> {};

void ExpectTheSourceTree(const fs::path& image) { ExpectTheAuthoredTree(image, GameFolderFilter); }

TEST_P(AuthoredImageTest, ExtractsTheSourceTreeByteForByte) {
    const fs::path cooked = TestData() / GetParam();
    if (TestData().empty() || !fs::exists(cooked)) GTEST_SKIP() << "no authored images (MG_TESTDATA)";
    {
        SCOPED_TRACE("cooked");
        ExpectTheSourceTree(cooked);
    }
    std::ifstream in(cooked, std::ios::binary);
    const Bytes image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ScratchDir dir;
    const auto raw = dir.path() / "GAME.GOG";
    WriteBytes(raw, WrapRawMode1(image));
    SCOPED_TRACE("raw");
    ExpectTheSourceTree(raw);
}

INSTANTIATE_TEST_SUITE_P(Tools, AuthoredImageTest,
                         testing::Values("genisoimage.iso", "genisoimage-jr.iso", "genisoimage-l4.iso",
                                         "xorriso-mkisofs.iso", "xorriso-jr.iso", "xorriso-native.iso"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             std::string name = info.param;
                             name = name.substr(0, name.find('.'));
                             for (char& c : name) if (c == '-') c = '_';
                             return name;
                         });

}  // namespace
