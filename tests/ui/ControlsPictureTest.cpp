// The dialog's picture, checked against pictures spelled out case by case.
#include <string>

#include <gtest/gtest.h>

#include "ExpectedPictures.h"
#include "ui/ControlsPicture.h"

namespace {

TEST(ControlsPicture, StateTexts) {
    EXPECT_STREQ(ImportStateText(NotFound), L"Not found");
    EXPECT_STREQ(ImportStateText(ReadyToImport), L"Ready to import");
    EXPECT_STREQ(ImportStateText(Importing), L"Importing files");
    EXPECT_STREQ(ImportStateText(Imported), L"Files imported");
    EXPECT_STREQ(ImportStateText(ImportFailed), L"Import failed");
}

TEST(ControlsPicture, IsTheExpectedPictureCaseByCase) {
    for (const test::ExpectedPicture& expected : test::kExpectedPictures) {
        SCOPED_TRACE(expected.what);
        const ControlsPicture picture = DeriveControlsPicture(expected.gog, expected.steam, expected.disc);
        EXPECT_STREQ(picture.headline, expected.headline);
        for (int row = 0; row < 3; ++row) {
            SCOPED_TRACE("row " + std::to_string(row));
            EXPECT_STREQ(picture.rows[row].text, expected.rows[row].text);
            EXPECT_EQ(picture.rows[row].marquee, expected.rows[row].marquee);
            EXPECT_EQ(picture.rows[row].installEnabled, expected.rows[row].install);
        }
        EXPECT_EQ(picture.doneEnabled, expected.done);
    }
}

TEST(MinimisedIcon, CentredWithDivisionTowardZero) {
    EXPECT_EQ(MinimisedIconOffset(36, 32), 2);
    EXPECT_EQ(MinimisedIconOffset(32, 32), 0);
    EXPECT_EQ(MinimisedIconOffset(0, 32), -15);  // not -16
    EXPECT_EQ(MinimisedIconOffset(1, 32), -15);
}

}  // namespace
