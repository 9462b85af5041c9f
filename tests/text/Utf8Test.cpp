// UTF-8 both ways: what is well-formed, and what each ill-formed piece becomes.
#include <gtest/gtest.h>

#include "text/Utf8.h"

namespace {

TEST(Utf8Test, WellFormedTextOnly) {
    const struct {
        const char* text;
        bool valid;
    } cases[] = {
        {"DATA", true},
        {"\xE3\x83\xA6\xE3\x83\xBC\xE3\x82\xB6\xE3\x83\xBC", true},  // ユーザー
        {"\xF0\x9F\x8E\xAE", true},                                  // U+1F3AE, beyond the BMP
        {"\xC0\xAF", false},                                         // overlong '/'
        {"\xED\xA0\x80", false},                                     // a surrogate
        {"\xF4\x90\x80\x80", false},                                 // past U+10FFFF
        {"\xE3\x83", false},                                         // cut short
        {"\x80", false},                                             // a lone continuation byte
    };
    for (const auto& c : cases) EXPECT_EQ(IsValidUtf8(c.text), c.valid) << c.text;
}

TEST(Utf8Test, RoundTripsThroughWideText) {
    for (const std::string text : {"", "C:\\Users\\\xE3\x83\xA6\xE3\x83\xBC\xE3\x82\xB6\xE3\x83\xBC", "\xF0\x9F\x8E\xAE.GOG"}) {
        EXPECT_EQ(NarrowToUtf8(WidenUtf8(text)), text);
    }
    EXPECT_EQ(WidenUtf8("\xF0\x9F\x8E\xAE").size(), sizeof(wchar_t) == 2 ? 2u : 1u);
}

TEST(Utf8Test, IllFormedPiecesBecomeReplacementCharacters) {
    EXPECT_EQ(WidenUtf8("a\xC0" "b"), L"a\xFFFD" L"b");
    if (sizeof(wchar_t) == 2) {
        EXPECT_EQ(NarrowToUtf8(std::wstring(1, static_cast<wchar_t>(0xD800)) + L"x"), "\xEF\xBF\xBDx");
        EXPECT_EQ(NarrowToUtf8(std::wstring(1, static_cast<wchar_t>(0xDC00))), "\xEF\xBF\xBD");
    }
}

TEST(Utf8Test, CaseFoldsAsWineMatchesNames) {
    EXPECT_EQ(FoldCaseUtf8("GOG Games"), "GOG GAMES");
    EXPECT_EQ(FoldCaseUtf8("\xC5\x81\xC3\x93" "D\xC5\xB9"), FoldCaseUtf8("\xC5\x81\xC3\xB3" "d\xC5\xBA"));  // ŁÓDŹ, Łódź
    EXPECT_EQ(FoldCaseUtf8("\xD0\xBC\xCF\x83"), "\xD0\x9C\xCE\xA3");  // мσ: МΣ
    EXPECT_EQ(FoldCaseUtf8("\xD5\xA1\xE1\xBA\xA1"), "\xD4\xB1\xE1\xBA\xA0");  // Armenian ա, Vietnamese ạ
    EXPECT_EQ(FoldCaseUtf8("\xC3\x97\xC3\x9F"), "\xC3\x97\xC3\x9F");  // × and ß stay
    EXPECT_EQ(FoldCaseUtf8("a\xFF"), "A\xFF");                      // an ill-formed byte stays
}

}  // namespace

// The console takes text in pieces; a piece that ended between the halves of a surrogate
// pair would show two replacement characters where one character was meant.
TEST(Utf8Test, PiecesEndOnWholeCharacters) {
    const std::u16string emoji = u"\U0001F600";  // a surrogate pair
    const std::u16string asciiThenPair = std::u16string(8191, u'a') + emoji;
    EXPECT_EQ(WholeCharactersPiece(asciiThenPair.data(), asciiThenPair.size(), 8192), 8191u);
    const std::u16string ascii(9000, u'a');
    EXPECT_EQ(WholeCharactersPiece(ascii.data(), ascii.size(), 8192), 8192u);
    EXPECT_EQ(WholeCharactersPiece(emoji.data(), emoji.size(), 8192), 2u);  // all of it fits
    const std::u16string pairThenAscii = emoji + std::u16string(9000, u'a');
    EXPECT_EQ(WholeCharactersPiece(pairThenAscii.data(), pairThenAscii.size(), 2), 2u);
}
