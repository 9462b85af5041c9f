// The dialog's picture over all 125 combinations of the three rows' states, checked
// against the rules as the user sees them.
#include <string>

#include <gtest/gtest.h>

#include "ui/ControlsPicture.h"

namespace {

const wchar_t kRequires[] = L"Brindlecast requires the level files from the original game to run";
const wchar_t kPresent[] = L"Required files are now present";

TEST(ControlsPicture, StateTexts) {
    EXPECT_STREQ(ImportStateText(NotFound), L"Not found");
    EXPECT_STREQ(ImportStateText(ReadyToImport), L"Ready to import");
    EXPECT_STREQ(ImportStateText(Importing), L"Importing files");
    EXPECT_STREQ(ImportStateText(Imported), L"Files imported");
    EXPECT_STREQ(ImportStateText(ImportFailed), L"Import failed");
}

class AllCombinations : public testing::TestWithParam<int> {};

TEST_P(AllCombinations, FollowTheRules) {
    const ImportState states[3] = {ImportState(GetParam() / 25), ImportState(GetParam() / 5 % 5), ImportState(GetParam() % 5)};
    const ControlsPicture picture = DeriveControlsPicture(states[0], states[1], states[2]);
    bool busy = false, imported = false;
    for (ImportState s : states) {
        busy |= s == Importing;
        imported |= s == Imported;
    }
    EXPECT_EQ(std::wstring(picture.headline), imported ? kPresent : kRequires);
    EXPECT_EQ(picture.busy, busy);
    EXPECT_EQ(picture.doneEnabled, !busy);
    for (int row = 0; row < 3; ++row) {
        SCOPED_TRACE("row " + std::to_string(row));
        EXPECT_STREQ(picture.rows[row].text, ImportStateText(states[row]));
        EXPECT_EQ(picture.rows[row].marquee, states[row] == Importing);
        EXPECT_EQ(picture.rows[row].installEnabled, states[row] != NotFound && !busy);
    }
}

std::string CombinationName(const testing::TestParamInfo<int>& info) {
    const char* names[] = {"NotFound", "Ready", "Importing", "Imported", "Failed"};
    return std::string(names[info.param / 25]) + "_" + names[info.param / 5 % 5] + "_" + names[info.param % 5];
}

INSTANTIATE_TEST_SUITE_P(States, AllCombinations, testing::Range(0, 125), CombinationName);

// The Part's own examples, as fixed points.
TEST(ControlsPicture, Examples) {
    const ControlsPicture none = DeriveControlsPicture(NotFound, NotFound, NotFound);
    EXPECT_STREQ(none.headline, kRequires);
    for (const RowPicture& row : none.rows) EXPECT_FALSE(row.installEnabled || row.marquee);
    EXPECT_TRUE(none.doneEnabled);

    const ControlsPicture gogRunning = DeriveControlsPicture(Importing, ReadyToImport, ReadyToImport);
    EXPECT_TRUE(gogRunning.rows[0].marquee);
    EXPECT_STREQ(gogRunning.rows[1].text, L"Ready to import");
    EXPECT_FALSE(gogRunning.rows[1].marquee || gogRunning.rows[2].installEnabled || gogRunning.doneEnabled);

    EXPECT_STREQ(DeriveControlsPicture(Importing, NotFound, NotFound).headline, kRequires);   // importing the only Imported row again
    EXPECT_STREQ(DeriveControlsPicture(ImportFailed, Imported, NotFound).headline, kPresent);  // another row stays imported
}

TEST(MinimisedIcon, CentredWithDivisionTowardZero) {
    EXPECT_EQ(MinimisedIconOffset(36, 32), 2);
    EXPECT_EQ(MinimisedIconOffset(32, 32), 0);
    EXPECT_EQ(MinimisedIconOffset(0, 32), -15);  // not -16
    EXPECT_EQ(MinimisedIconOffset(1, 32), -15);
}

}  // namespace
