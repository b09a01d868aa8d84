// SPDX-License-Identifier: GPL-3.0-or-later
#include "cuesheet/Cuetext.h"

#include "synthesis/Cdtextpack.h"
#include "support/Recode.h"

#include <gtest/gtest.h>

namespace {

// "夜に駆ける" in code page 932, from the published code chart.
const std::string YORU_SJIS = "\x96\xE9\x82\xC9\x8B\xEC\x82\xAF\x82\xE9";

TEST(CueTextTest, DetectsTheCharsetOfTheSheetText)
{
    struct TCase
    {
        std::string Bytes;
        TSheetCharset Expected;
    } cases[] = {
        {"Plain ASCII", scUtf8},
        {"Caf\xC3\xA9", scUtf8},
        {"Caf\xE9", scWindows1252},
        {YORU_SJIS, scShiftJis},
        {"\xB1\xB2\xB3", scWindows1252},          // half-width katakana alone: no double-byte character
        {"\x82\x20", scWindows1252},              // a lead byte without a trail byte
        {"\xC3\xA9 \x82\xA0\xFD", scWindows1252}, // neither valid UTF-8 nor valid Shift-JIS
        {"\xED\xA0\x80", scWindows1252},          // an encoded surrogate is not UTF-8
        {"\xEF\xBF\xBD" + YORU_SJIS, scWindows1252},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(DetectSheetCharset(c.Bytes), c.Expected) << c.Bytes;
}

// Sheet text -> charset told -> text shown -> what the CD-TEXT block holds (shown in UTF-8).
TEST(CueTextTest, ReadsEachSheetInItsMostPlausibleCharset)
{
    struct TCase
    {
        std::string Text;
        const char* Saved;
        TSheetCharset Expected;
        std::string Written;
    } cases[] = {
        // A curly apostrophe or an accented letter before a letter is a valid Shift-JIS pair.
        {"Wond’ring Aloud", "WINDOWS-1252", scWindows1252, "Wond'ring Aloud"},
        {"Don’t Stop", "WINDOWS-1252", scWindows1252, "Don't Stop"},
        {"Señor’s Pokémon A–Z", "WINDOWS-1252", scWindows1252, "Señor's Pokémon A-Z"},
        {"Café – Über… naïve", "WINDOWS-1252", scWindows1252, "Café - Über... naïve"},
        {"夜に駆ける ハルジオン", "CP932", scShiftJis, "夜に駆ける ハルジオン"},
        {"群青 東京事変 檸檬", "CP932", scShiftJis, "群青 東京事変 檸檬"},
        {"사랑해요 좋은 날", "CP949", scEucKr, "???? ?? ?"},
        {"織田かおり 幻想歌曲集", "CP949", scEucKr, "織田かおり 幻想歌曲集"}, // KS X 1001 holds kana and kanji
        {"はるか", "CP949", scEucKr, "はるか"},                               // not the Big5 "肢虱物"
        {"좋은 날 はるか", "CP949", scEucKr, "?? ? はるか"},
        {"我爱你中国 月亮代表我的心", "GBK", scGbk, "我??中国 月亮代表我的心"},
        {"周杰倫 七里香 稻香", "BIG5", scBig5, "周杰倫 七里香 稻香"},
        {"Кино – Группа крови", "WINDOWS-1251", scWindows1251, "???? - ?????? ?????"},
    };
    TCdTextEncoder encoder;
    for (const TCase& c : cases)
    {
        const std::string bytes = Recode(c.Text, c.Saved);
        const TSheetCharset charset = DetectSheetCharset(bytes);
        EXPECT_EQ(charset, c.Expected) << c.Text;
        const std::string text = DecodeSheetText(bytes, charset);
        EXPECT_EQ(text, c.Text);
        const std::uint8_t block = HasJapanese(text) ? ccMsJis : ccIso8859_1;
        std::int32_t replaced = 0;
        EXPECT_EQ(encoder.Encode(text, block, replaced), Recode(c.Written, block == ccMsJis ? "CP932" : "LATIN1"))
            << c.Text;
    }
}

TEST(CueTextTest, DecodesToUtf8)
{
    EXPECT_EQ(DecodeSheetText(YORU_SJIS, scShiftJis), "夜に駆ける");
    EXPECT_EQ(DecodeSheetText("\x93Quoted\x94 \x80 caf\xE9", scWindows1252), "“Quoted” € café");
    EXPECT_EQ(DecodeSheetText("a\x81z", scWindows1252), "a\xEF\xBF\xBDz") << "a byte code page 1252 leaves out";
    EXPECT_EQ(DecodeSheetText("a\xFFz", scUtf8), "a\xEF\xBF\xBDz");
}

TEST(CueTextTest, FindsJapaneseCharacters)
{
    EXPECT_FALSE(HasJapanese("Café “quoted” — Жизнь, Ελλάδα"));
    for (const char* text : {"夜に駆ける", "カタカナ", "「」", "ＡＢＣ", "ｱ"})
        EXPECT_TRUE(HasJapanese(text)) << text;
}

TEST(CueTextTest, EncodesLatinBlocksWithLookAlikes)
{
    TCdTextEncoder encoder;
    std::int32_t replaced = 0;
    EXPECT_EQ(encoder.Encode("Café – “A” … ‘b’ — ü", ccIso8859_1, replaced), "Caf\xE9 - \"A\" ... 'b' - \xFC");
    EXPECT_EQ(replaced, 0);
    EXPECT_EQ(encoder.Encode("Ж€夜\t", ccIso8859_1, replaced), "????");
    EXPECT_EQ(replaced, 4);
}

TEST(CueTextTest, EncodesMsJisBlocksInJisX0208Only)
{
    TCdTextEncoder encoder;
    std::int32_t replaced = 0;
    EXPECT_EQ(encoder.Encode("夜に駆ける", ccMsJis, replaced), YORU_SJIS);
    EXPECT_EQ(encoder.Encode("A–Ж", ccMsJis, replaced), "A-\x84\x47") << "Cyrillic is in JIS X 0208";
    EXPECT_EQ(replaced, 0);
    // Circled digits (the code page's row 13), half-width katakana and Latin-1 letters are not.
    EXPECT_EQ(encoder.Encode("①ｱé", ccMsJis, replaced), "???");
    EXPECT_EQ(replaced, 3);
}

} // namespace
