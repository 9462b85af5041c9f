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
using Tree = std::map<std::string, std::string>;

fs::path TestData() {
    const char* dir = std::getenv("MG_TESTDATA");
    return dir ? fs::u8path(dir) : fs::path();
}

Tree Expected(const fs::path& tree) {
    Tree expected;
    for (const char* top : {"DATA", "FMV"}) {
        expected[std::string(top) + "/"] = "";
        for (const auto& [path, content] : ReadTree(tree / top)) expected[std::string(top) + "/" + path] = content;
    }
    return expected;
}

class AuthoredImageTest : public testing::TestWithParam<const char*> {};

void ExpectTheSourceTree(const fs::path& image) {
    ScratchDir out;
    ExtractOptions options;
    options.outputRoot = out.utf8();
    ASSERT_EQ(ExtractImageFile(Utf8(image), GameFolderFilter, options), ExtractOk);
    const Tree expected = Expected(TestData() / "tree");
    ASSERT_GT(expected.size(), 300u);
    const Tree written = ReadTree(out.path());
    EXPECT_EQ(written.size(), expected.size());
    for (const auto& [path, content] : expected) {
        auto found = written.find(path);
        ASSERT_NE(found, written.end()) << path;
        EXPECT_TRUE(found->second == content) << path;
    }
}

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
