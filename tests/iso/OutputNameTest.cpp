// Output names of identifiers, and the names refused as unsafe.
#include <gtest/gtest.h>

#include "TestFiles.h"
#include "iso/OutputName.h"

namespace {

TEST(OutputFileName, DropsVersionOneAndThenAFinalDot) {
    EXPECT_EQ(OutputFileName("CRED1.PCX;1"), "CRED1.PCX");
    EXPECT_EQ(OutputFileName("README.;1"), "README");
    EXPECT_EQ(OutputFileName("README."), "README");
    EXPECT_EQ(OutputFileName("NOVERSION"), "NOVERSION");
    EXPECT_EQ(OutputFileName("OLD.DAT;2"), "OLD.DAT;2");
    EXPECT_EQ(OutputFileName("TWO..;1"), "TWO.");
    EXPECT_EQ(OutputFileName(";1"), "");
}

struct NameCase {
    const char* name;
    bool safe;
};

void PrintTo(const NameCase& c, std::ostream* os) { *os << test::Quoted(c.name); }

const NameCase kNames[] = {
    {"CRED1.PCX", true}, {"DATA", true}, {"OLD.DAT;2", true}, {"COM10", true}, {"CONFIG.SYS", true},
    {"NULL", true}, {"ŁÓDŹ.TXT", true}, {"A B", true},
    {"", false}, {".", false}, {"..", false}, {"A/B", false}, {"A\\B", false}, {"C:X", false},
    {"..\\X", false}, {"../X", false}, {"CON", false}, {"con", false}, {"NUL.TXT", false},
    {"AUX.A.B", false}, {"PRN", false}, {"COM1", false}, {"COM9.DAT", false}, {"LPT1", false},
    {"lpt9.x", false}, {"CON .TXT", false}, {"NAME ", false}, {"NAME.", false}, {"A\tB", false},
    {"A\x7F", false}, {"A*B", false}, {"A?B", false}, {"A<B", false}, {"A|B", false}, {"A\"B", false},
    {"\xC3\x28", false}, {"\xED\xA0\x80", false}, {"\xC0\xAF", false},
};

class SafeNameTest : public testing::TestWithParam<NameCase> {};

TEST_P(SafeNameTest, AcceptsOnlyPlainNames) {
    EXPECT_EQ(IsSafeName(GetParam().name), GetParam().safe) << '"' << GetParam().name << '"';
}

INSTANTIATE_TEST_SUITE_P(Names, SafeNameTest, testing::ValuesIn(kNames));

}  // namespace
