// SPDX-License-Identifier: GPL-3.0-or-later
#include "cuesheet/Cueerrors.h"
#include "cuesheet/Lucue.h"

#include "support/BitCrc.h"
#include "support/CdTextReader.h"
#include "support/CdTextFile.h"
#include "support/Recode.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace {

std::string Tracks(int count, const std::string& perTrack = {})
{
    std::string text = "FILE \"data.bin\" BINARY\n";
    for (int t = 1; t <= count; ++t)
    {
        char head[64];
        std::snprintf(head, sizeof head, "  TRACK %02d AUDIO\n", t);
        text += head + perTrack;
        std::snprintf(head, sizeof head, "    INDEX 01 00:%02d:00\n", t - 1);
        text += head;
    }
    return text;
}

class SheetTextTest : public ::testing::Test
{
protected:
    void SetUp() override { Dir.WriteZeros("data.bin", 100 * 75 * 2352); }

    bool Load(const std::string& text, TLuCueSheet& sheet) { return sheet.Load(Dir.Write("disc.cue", text)); }
    TCdioText LoadAndRead(const std::string& text)
    {
        EXPECT_TRUE(Load(text, Sheet)) << CueErrorText(Sheet.ErrorCode);
        for (const TCdTextPack& p : Sheet.CdTextPacks)
            EXPECT_EQ(p[16] << 8 | p[17], BitwiseCrc(std::span<const std::uint8_t>(p.data(), 16)));
        return ReadWithLibcdio(JoinPacks(Sheet.CdTextPacks));
    }

    TTempDir Dir;
    TLuCueSheet Sheet;
};

TEST_F(SheetTextTest, EveryItemReachesThePacks)
{
    const TCdioText read = LoadAndRead("REM DATE 1999\nREM DISCID 8A0B5C0D\nTITLE \"First\"\nTITLE \"The Album\"\n"
                                       "PERFORMER The Band\nSONGWRITER \"Writer \"Q\" Name\"\nREM COMPOSER Bach\n"
                                       "ARRANGER \"Arr\"\nMESSAGE \"Hello\"\nDISC_ID XY-1234\nREM GENRE \"rock\"\n"
                                       "CATALOG 1234567890123\nREM COMMENT \"ignored\"\n" +
                                       Tracks(2, "    TITLE \"Song\"\n    ISRC USABC9900001\n    REM ARRANGER A2\n") +
                                       "    MESSAGE \"After the index\"\n    GENRE Jazz\n");
    ASSERT_TRUE(read.Parsed);
    ASSERT_EQ(read.Blocks.size(), 1u);
    EXPECT_EQ(read.Blocks[0].Language, CDTEXT_LANGUAGE_ENGLISH);
    EXPECT_EQ(read.Get(0, CDTEXT_FIELD_TITLE, 0), "The Album") << "a later line replaces an earlier one";
    EXPECT_EQ(read.Get(0, CDTEXT_FIELD_PERFORMER, 0), "The Band");
    EXPECT_EQ(read.Get(0, CDTEXT_FIELD_SONGWRITER, 0), "Writer \"Q\" Name") << "one pair of quotes stripped";
    EXPECT_EQ(read.Get(0, CDTEXT_FIELD_COMPOSER, 0), "Bach");
    EXPECT_EQ(read.Get(0, CDTEXT_FIELD_ARRANGER, 0), "Arr");
    EXPECT_EQ(read.Get(0, CDTEXT_FIELD_ARRANGER, 1), "A2");
    EXPECT_EQ(read.Get(0, CDTEXT_FIELD_MESSAGE, 0), "Hello");
    EXPECT_EQ(read.Get(0, CDTEXT_FIELD_MESSAGE, 2), "After the index");
    EXPECT_EQ(read.Get(0, CDTEXT_FIELD_DISCID, 0), "XY-1234");
    EXPECT_EQ(read.Get(0, CDTEXT_FIELD_GENRE, 0), "Jazz") << "GENRE belongs to the disc wherever it stands";
    EXPECT_EQ(read.Blocks[0].Genre, CDTEXT_GENRE_JAZZ);
    EXPECT_EQ(read.Get(0, CDTEXT_FIELD_UPC_EAN, 0), "1234567890123");
    for (int t = 1; t <= 2; ++t)
    {
        EXPECT_EQ(read.Get(0, CDTEXT_FIELD_TITLE, t), "Song");
        EXPECT_EQ(read.Get(0, CDTEXT_FIELD_ISRC, t), "USABC9900001");
    }
    EXPECT_EQ(Sheet.CdTextReplaced, 0);
}

TEST_F(SheetTextTest, TextLinesNeverStopASheetThatLoadedBefore)
{
    // Anywhere a line was ignored before: before FILE, between TRACK and ISRC, after POSTGAP, empty.
    const std::string sheet = "TITLE\nPERFORMER \"\"\nTITLE \"A\"\nFILE \"data.bin\" BINARY\nTRACK 01 AUDIO\n"
                              "TITLE \"B\"\nFLAGS DCP\nPERFORMER x\nISRC USABC9900001\nINDEX 01 00:00:00\n"
                              "POSTGAP 00:02:00\nSONGWRITER s\nREM GENRE\nUPC_EAN\n";
    ASSERT_TRUE(Load(sheet, Sheet)) << CueErrorText(Sheet.ErrorCode);
    EXPECT_EQ(Sheet.DiscText.Get(ptTitle), "A");
    EXPECT_EQ(Sheet.GetTrack(1)->Text.Get(ptSongwriter), "s");
    EXPECT_FALSE(Sheet.CdTextPacks.empty());
}

TEST_F(SheetTextTest, NoPacksWithoutTextLinesOrWhenTurnedOff)
{
    // CATALOG and ISRC alone leave the outputs as they were.
    ASSERT_TRUE(Load("CATALOG 1234567890123\n" + Tracks(1, "ISRC USABC9900001\n"), Sheet));
    EXPECT_TRUE(Sheet.CdTextPacks.empty());
    // UPC_EAN is a text line of its own; an empty TITLE gives nothing.
    ASSERT_TRUE(Load("TITLE \"\"\n" + Tracks(1, "ISRC USABC9900001\n"), Sheet));
    EXPECT_TRUE(Sheet.CdTextPacks.empty());
    ASSERT_TRUE(Load("UPC_EAN 0123456789012\n" + Tracks(1), Sheet));
    EXPECT_EQ(ReadWithLibcdio(JoinPacks(Sheet.CdTextPacks)).Get(0, CDTEXT_FIELD_UPC_EAN, 0), "0123456789012");

    Dir.Write("disc.cdt", CdTextFileBytes(1));
    ASSERT_TRUE(Load("CDTEXTFILE disc.cdt\nTITLE \"Album\"\n" + Tracks(1), Sheet));
    EXPECT_TRUE(Sheet.CdTextPacks.empty()) << "the CD-TEXT file wins";

    // Turned off, even text that cannot fit is no error.
    TLuCueSheet off;
    off.UseSheetCdText = false;
    ASSERT_TRUE(Load("TITLE \"" + std::string(4000, 'x') + "\"\n" + Tracks(1), off));
    EXPECT_TRUE(off.CdTextPacks.empty());
}

TEST_F(SheetTextTest, Utf8AndWindows1252GiveTheSameLatinBytes)
{
    const std::string sheet = "TITLE \"Café “Noir” – Über…\"\nPERFORMER \"Zoë & Ангел\"\n" + Tracks(1, "TITLE Ça\n");
    ASSERT_TRUE(Load(sheet, Sheet));
    const std::vector<TCdTextPack> utf8 = Sheet.CdTextPacks;
    EXPECT_EQ(Sheet.CdTextReplaced, 5) << "the Cyrillic letters";
    ASSERT_TRUE(Load("\xEF\xBB\xBF" + sheet, Sheet));
    EXPECT_EQ(Sheet.CdTextPacks, utf8) << "with a byte order mark";

    const std::string latin = "TITLE \"Café “Noir” – Über…\"\nPERFORMER \"Zoë & ?????\"\n" + Tracks(1, "TITLE Ça\n");
    ASSERT_TRUE(Load(Recode(latin, "WINDOWS-1252"), Sheet));
    EXPECT_EQ(Sheet.TextCharset, scWindows1252);
    EXPECT_EQ(Sheet.CdTextPacks, utf8);
    EXPECT_EQ(Sheet.DiscText.Get(ptTitle), "Café “Noir” – Über…") << "kept as written, in UTF-8";

    const TCdioText read = ReadWithLibcdio(JoinPacks(utf8));
    EXPECT_EQ(read.Get(0, CDTEXT_FIELD_TITLE, 0), "Café \"Noir\" - Über...");
    EXPECT_EQ(read.Get(0, CDTEXT_FIELD_PERFORMER, 0), "Zoë & ?????");
    EXPECT_EQ(read.Get(0, CDTEXT_FIELD_TITLE, 1), "Ça");
}

TEST_F(SheetTextTest, ShiftJisAndUtf8SheetsGiveTheSameMsJisBlock)
{
    const std::string sheet = "TITLE \"夜に駆ける・ベスト\"\nPERFORMER YOASOBI\nFILE \"data.bin\" BINARY\n"
                              "TRACK 01 AUDIO\nTITLE \"夜に駆ける\"\nPERFORMER \"ＹＯＡＳＯＢＩ\"\nINDEX 01 00:00:00\n"
                              "TRACK 02 AUDIO\nTITLE \"群青〜Gunjo\"\nPERFORMER \"ＹＯＡＳＯＢＩ\"\nINDEX 01 00:10:00\n"
                              "TRACK 03 AUDIO\nTITLE \"ハルジオン（ｍｉｘ）\"\nINDEX 01 00:20:00\n";
    ASSERT_TRUE(Load(sheet, Sheet));
    const std::vector<TCdTextPack> utf8 = Sheet.CdTextPacks;
    EXPECT_EQ(Sheet.CdTextCharCodes, std::vector<std::uint8_t>{ccMsJis});
    ASSERT_TRUE(Load(Recode(sheet, "CP932"), Sheet));
    EXPECT_EQ(Sheet.TextCharset, scShiftJis);
    EXPECT_EQ(Sheet.CdTextPacks, utf8);
    EXPECT_EQ(Sheet.GetTrack(2)->Text.Get(ptTitle), "群青～Gunjo") << "the code page's own wave dash";

    const TCdioText read = ReadWithLibcdio(JoinPacks(utf8));
    ASSERT_EQ(read.Blocks.size(), 1u);
    EXPECT_EQ(read.Blocks[0].Language, CDTEXT_LANGUAGE_JAPANESE);
    EXPECT_EQ(read.Get(0, CDTEXT_FIELD_TITLE, 0), "夜に駆ける・ベスト");
    EXPECT_EQ(read.Get(0, CDTEXT_FIELD_PERFORMER, 0), "YOASOBI");
    EXPECT_EQ(read.Get(0, CDTEXT_FIELD_TITLE, 1), "夜に駆ける");
    EXPECT_EQ(read.Get(0, CDTEXT_FIELD_PERFORMER, 1), "ＹＯＡＳＯＢＩ");
    EXPECT_EQ(read.Get(0, CDTEXT_FIELD_PERFORMER, 2), "ＹＯＡＳＯＢＩ") << "two TABs: same as the previous track";
    EXPECT_EQ(read.Get(0, CDTEXT_FIELD_TITLE, 2), "群青〜Gunjo") << "JIS X 0208's wave dash, as readers decode it";
    EXPECT_EQ(read.Get(0, CDTEXT_FIELD_TITLE, 3), "ハルジオン（ｍｉｘ）");
    for (const TCdTextPack& p : utf8)
        EXPECT_EQ(p[3] & 0xF0, 0x80) << "double-byte flag, block 0";
}

TEST_F(SheetTextTest, ASheetInACharsetCdTextCannotCarryIsReadAndNamed)
{
    // The file's name stays the bytes it has on disk.
    const std::string name = Recode("노래.bin", "CP949");
    Dir.WriteZeros(name, 300 * 2352);
    const std::string sheet = "TITLE \"사랑해요\"\nPERFORMER IU\nFILE \"노래.bin\" BINARY\nTRACK 01 AUDIO\n"
                              "TITLE \"좋은 날\"\nINDEX 01 00:00:00\n";
    const TCdioText read = LoadAndRead(Recode(sheet, "CP949"));
    EXPECT_EQ(Sheet.TextCharset, scEucKr);
    EXPECT_EQ(Sheet.GetTrack(1)->Text.Get(ptTitle), "좋은 날");
    EXPECT_EQ(read.Get(0, CDTEXT_FIELD_TITLE, 1), "?? ?");
    EXPECT_EQ(Sheet.LoadWarnings, std::vector<std::string>{"CD-TEXT: the sheet is in EUC-KR (Korean); 7 characters "
                                                           "that CD-TEXT cannot hold became \"?\""});
}

TEST_F(SheetTextTest, LatinAccentsAndJapaneseGiveTwoBlocks)
{
    const TCdioText read = LoadAndRead("TITLE \"Café ①\"\nPERFORMER \"Ангел\"\n" + Tracks(2, "TITLE \"夜に駆ける\"\n"));
    EXPECT_EQ(Sheet.CdTextCharCodes, (std::vector<std::uint8_t>{ccIso8859_1, ccMsJis}));
    EXPECT_EQ(Sheet.CdTextReplaced, 1) << "only the circled digit is in neither block";
    ASSERT_TRUE(read.Parsed);
    ASSERT_EQ(read.Blocks.size(), 2u);
    EXPECT_EQ(read.Blocks[0].Language, CDTEXT_LANGUAGE_ENGLISH);
    EXPECT_EQ(read.Blocks[1].Language, CDTEXT_LANGUAGE_JAPANESE);
    EXPECT_EQ(read.Get(1, CDTEXT_FIELD_TITLE, 1), "夜に駆ける");
    EXPECT_EQ(read.Get(1, CDTEXT_FIELD_TITLE, 2), "夜に駆ける");
    EXPECT_EQ(read.Get(1, CDTEXT_FIELD_PERFORMER, 0), "Ангел") << "JIS X 0208 holds Cyrillic";
    EXPECT_EQ(read.Get(1, CDTEXT_FIELD_TITLE, 0), "Caf? ?");
    // libcdio decodes every block with the character code of the last block's size information, so
    // block 0 is checked byte by byte: "Caf\xE9 ?" then the three "?????" titles of block 0.
    const TCdTextPack& first = Sheet.CdTextPacks[0];
    EXPECT_EQ(std::string(first.begin() + 4, first.begin() + 11), std::string("Caf\xE9 ?\0", 7));
    EXPECT_EQ(first[3], 0x00);
}

TEST_F(SheetTextTest, TextThatCannotFitIsALoadErrorNamingTheItem)
{
    // 99 distinct 39-character titles need 331 packs; the pack past 253 (byte 3036) starts in track 76's
    // title, given on line 3 + 3 * 75.
    std::string sheet = "FILE \"data.bin\" BINARY\n";
    for (int t = 1; t <= 99; ++t)
    {
        char lines[160];
        std::snprintf(lines, sizeof lines, "TRACK %02d AUDIO\nTITLE \"%039d\"\nINDEX 01 %02d:%02d:00\n", t, t,
                      (t - 1) / 60, (t - 1) % 60);
        sheet += lines;
    }
    EXPECT_FALSE(Load(sheet, Sheet));
    EXPECT_EQ(Sheet.ErrorCode >> 16, 3u + 3u * 75u);
    EXPECT_EQ(CueErrorMessage(Sheet.ErrorCode),
              "CD-TEXT is too long: the TITLE text does not fit in the 256 packs of a block");
    EXPECT_TRUE(Sheet.CdTextPacks.empty());
    EXPECT_EQ(Sheet.TrackCount, 0);

    EXPECT_FALSE(Load("PERFORMER \"" + std::string(3100, 'x') + "夜\"\n" + Tracks(1), Sheet));
    EXPECT_EQ(Sheet.ErrorCode, (1u << 16) + egCdText + erCdTextFull + 0x11);
    EXPECT_EQ(CueErrorText(Sheet.ErrorCode), "Invalid CUE SHEET command at line 1\n"
                                             "CD-TEXT is too long: the PERFORMER text does not fit in the 256 packs of "
                                             "the Japanese block");
}

} // namespace
