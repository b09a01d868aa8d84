// SPDX-License-Identifier: GPL-3.0-or-later
#include "image/Layoutreport.h"

#include "cuesheet/Lucue.h"
#include "cuesheet/Subqpatch.h"
#include "support/Sidecar.h"
#include "support/CdTextFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::string SEPARATOR(90, '-');
const std::string RULE = "  " + std::string(73, '-') + "\n";
const std::string REPORT_HEAD = std::string(75, '=') + "\n\nDISC INFORMATION\n\n";
const std::string TRACK_HEAD = std::string(75, '=') + "\n\nTRACK/INDEX INFORMATION\n\n" +
                               "                                                           Start    Length \n"
                               "  TRK IDX   ISRC           TYPE       COPY EMPH 4CHN      MM:SS:FF MM:SS:FF\n" +
                               RULE;

class LayoutreportTest : public ::testing::Test
{
protected:
    void LoadSheet(const std::string& cue, std::uintmax_t sectors)
    {
        Dir.WriteZeros("DISC.BIN", sectors * 2352);
        const std::string cuePath = Dir.Write("disc.cue", cue);
        ASSERT_TRUE(Sheet.Load(cuePath)) << std::hex << Sheet.ErrorCode;
    }

    TTempDir Dir;
    TLuCueSheet Sheet;
};

TEST_F(LayoutreportTest, HeaderLinesUpWithTheColumns)
{
    EXPECT_EQ(LayoutHeader(), "Track Index ISRC           Type       Copy Emph 4ch        Start    Length ");
    EXPECT_EQ(LayoutHeader().size(), 75u);
}

TEST_F(LayoutreportTest, EmptySheetHasNoLinesAndEndsWithTheRule)
{
    const TDiscLayout layout = BuildDiscLayout(Sheet);
    EXPECT_TRUE(layout.Lines.empty());
    EXPECT_FALSE(layout.HasCdTextFile);
    EXPECT_EQ(BuildLayoutReport(layout), REPORT_HEAD +
                                             "  Number of Tracks     : 0\n\n"
                                             "  Total Disc Time      : 00:00:00\n\n"
                                             "  Media Catalog Number : Not Specified\n\n"
                                             "  CD-TEXT File         : Not Specified\n\n" +
                                             TRACK_HEAD);
}

TEST_F(LayoutreportTest, SingleDataTrackGivesTheWholeReport)
{
    LoadSheet("FILE \"DISC.BIN\" BINARY\nTRACK 01 MODE1/2352\nINDEX 01 00:00:00\n", 1000);
    const TDiscLayout layout = BuildDiscLayout(Sheet);
    const std::vector<std::string> lines = {
        "  01        "
        "               "
        "Mode1/2352 "
        "No   No   No   "
        "                      ",
        "       00   Pregap                                        00:00:00 00:02:00",
        "       01   Track                                         00:02:00 00:13:25",
        "                                                    Total          00:15:25",
        SEPARATOR,
        "            LeadOut                                       00:15:25         ",
    };
    EXPECT_EQ(layout.Lines, lines);
    for (const std::string& line : layout.Lines)
        EXPECT_EQ(line.size(), line == SEPARATOR ? 90u : 75u) << line;
    EXPECT_EQ(layout.NumTracks, "1");
    EXPECT_EQ(layout.TotalTime, "00:15:25");

    EXPECT_EQ(BuildLayoutReport(layout), REPORT_HEAD +
                                             "  Number of Tracks     : 1\n\n"
                                             "  Total Disc Time      : 00:15:25\n\n"
                                             "  Media Catalog Number : Not Specified\n\n"
                                             "  CD-TEXT File         : Not Specified\n\n" +
                                             TRACK_HEAD + lines[0] + "\n" + lines[1] + "\n" + lines[2] + "\n" +
                                             lines[3] + "\n" + RULE + lines[5] + "\n");
}

TEST_F(LayoutreportTest, AShortTrackIsNotedAfterTheList)
{
    LoadSheet("FILE \"DISC.BIN\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n", 299);
    const std::string note = "  Track 1 is 00:03:74 long; the Red Book asks for at least 4 seconds\n";
    const std::string report = BuildLayoutReport(BuildDiscLayout(Sheet));
    EXPECT_TRUE(report.ends_with("LeadOut                                       00:05:74         \n\n" + note))
        << report;
}

TEST_F(LayoutreportTest, GapsFlagsAndLabels)
{
    // Track 1: flags, ISRC and a PREGAP of one second, counted into its pregap after the fixed two.
    // Track 2: PREGAP and INDEX 00 together, a subindex and a POSTGAP. Track 3: INDEX 01 only.
    Dir.Write("CDTEXT.BIN", CdTextFileBytes(1));
    LoadSheet("CATALOG 0123456789012\n"
              "CDTEXTFILE CDTEXT.BIN\n"
              "FILE DISC.BIN BINARY\n"
              "TRACK 01 AUDIO\n"
              "FLAGS DCP PRE 4CH\n"
              "ISRC GBAYE0000001\n"
              "PREGAP 00:01:00\n"
              "INDEX 01 00:00:00\n"
              "TRACK 02 AUDIO\n"
              "PREGAP 00:02:00\n"
              "INDEX 00 00:10:00\n"
              "INDEX 01 00:12:00\n"
              "INDEX 02 00:20:00\n"
              "POSTGAP 00:03:00\n"
              "TRACK 03 CDG\n"
              "INDEX 01 00:30:00\n",
              3000);
    const TDiscLayout layout = BuildDiscLayout(Sheet);
    // Track 3 is CDG: the 750 sectors of 2352 bytes left in the file make 721 sectors of 2448 bytes.
    const std::vector<std::string> lines = {
        "  01        "
        "GBAYE0000001   "
        "Audio      "
        "Yes  Yes  Yes  "
        "                      ",
        "       00   Pregap                                        00:00:00 00:03:00",
        "       01   Track                                         00:03:00 00:10:00",
        "                                                    Total          00:13:00",
        SEPARATOR,
        "  02        "
        "               "
        "Audio      "
        "No   No   No   "
        "                      ",
        "       00   Pregap                                        00:13:00 00:04:00",
        "       01   Track                                         00:17:00 00:08:00",
        "       02   Subindex                                      00:25:00 00:13:00",
        "                                                    Total          00:25:00",
        SEPARATOR,
        "  03        "
        "               "
        "CDG        "
        "No   No   No   "
        "                      ",
        "       01   Track                                         00:38:00 00:09:46",
        "                                                    Total          00:09:46",
        SEPARATOR,
        "            LeadOut                                       00:47:46         ",
    };
    EXPECT_EQ(layout.Lines, lines);
    EXPECT_EQ(layout.NumTracks, "3");
    EXPECT_EQ(layout.TotalTime, "00:47:46");
    EXPECT_EQ(layout.Catalog, "0123456789012");
    EXPECT_TRUE(layout.HasCdTextFile);
    EXPECT_EQ(layout.CdTextFile, Sheet.CdTextFile);
    EXPECT_FALSE(layout.CdTextFile.empty());
    // The total time is the lead-out address of the TOC.
    EXPECT_EQ(Sheet.LeadOutAddress(), (47 * 75) + 46);

    const std::string report = BuildLayoutReport(layout);
    EXPECT_NE(report.find("  Media Catalog Number : 0123456789012\n\n"), std::string::npos);
    EXPECT_NE(report.find("  CD-TEXT File         : " + Sheet.CdTextFile + "\n\n"), std::string::npos);
    EXPECT_EQ(report.find('\r'), std::string::npos);
    EXPECT_EQ(report.find(SEPARATOR), std::string::npos);
}

TEST_F(LayoutreportTest, ASideCarAddsItsLineUnderTheCdTextFile)
{
    LoadSheet("FILE \"DISC.BIN\" BINARY\nTRACK 01 MODE2/2352\nINDEX 01 00:00:00\n", 20000);
    std::string records;
    for (int f = 0; f < 16; ++f)
        records += sidecar::LsdRecord({0x03, 0x08, f / 10 * 16 + f % 10}, sidecar::MEDIEVIL_LSD);
    std::vector<std::string> warnings;
    ASSERT_EQ(AttachSubQPatches(Sheet, Dir.Write("Game.lsd", records), warnings).Text(), "");

    const TDiscLayout layout = BuildDiscLayout(Sheet);
    EXPECT_EQ(layout.SubQPatches, "16 Q frames from Game.lsd");
    const std::string report = BuildLayoutReport(layout);
    EXPECT_NE(report.find("  CD-TEXT File         : Not Specified\n\n"
                          "  Subchannel patches: 16 Q frames from Game.lsd\n\n" +
                          std::string(75, '=')),
              std::string::npos)
        << report;

    Sheet.Clear();
    EXPECT_EQ(BuildLayoutReport(BuildDiscLayout(Sheet)).find("Subchannel"), std::string::npos);
}

// Lines that are no command are ignored as ever, but listed with their numbers; REM and blank lines are not.
TEST_F(LayoutreportTest, IgnoredLinesAreListedUnderTheDiscInformation)
{
    LoadSheet("REM COMMENT x\nREM\n\t\nFILE \"DISC.BIN\" BINARY\nTRAKC 02 AUDIO\n  TRACK 01 AUDIO\n"
              "  INDEX 01 00:00:00\n  Garbage \"here\" \r\n",
              300);
    const std::string report = BuildLayoutReport(BuildDiscLayout(Sheet));
    EXPECT_NE(report.find("  CD-TEXT File         : Not Specified\n\n"
                          "  Ignored lines: 5: TRAKC 02 AUDIO\n"
                          "                 8: Garbage \"here\"\n\n" +
                          std::string(75, '=')),
              std::string::npos)
        << report;
    EXPECT_NE(report.find("  Number of Tracks     : 1\n"), std::string::npos);

    LoadSheet("FILE \"DISC.BIN\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n", 300);
    EXPECT_EQ(BuildLayoutReport(BuildDiscLayout(Sheet)).find("Ignored"), std::string::npos);
}

TEST_F(LayoutreportTest, SheetTextIsShownAsWrittenWithItsBlocks)
{
    LoadSheet("TITLE \"Café ①\"\nPERFORMER YOASOBI\nFILE \"DISC.BIN\" BINARY\nTRACK 01 AUDIO\n"
              "TITLE \"夜に駆ける\"\nINDEX 01 00:00:00\n",
              100);
    const TDiscLayout layout = BuildDiscLayout(Sheet);
    EXPECT_FALSE(layout.HasCdTextFile);
    EXPECT_EQ(layout.CdTextFile, "From the cue sheet (" + std::to_string(Sheet.CdTextPacks.size()) + " packs)");
    const std::vector<std::string> text(layout.Lines.end() - 7, layout.Lines.end());
    EXPECT_EQ(text, (std::vector<std::string>{SEPARATOR, "  CD-TEXT     Block 0: English, ISO-8859-1",
                                              "              Block 1: Japanese, MS-JIS",
                                              "              1 character written as \"?\"",
                                              "  Disc        TITLE      : Café ①", "              PERFORMER  : YOASOBI",
                                              "  Track 01    TITLE      : 夜に駆ける"}));
    const std::string report = BuildLayoutReport(layout);
    EXPECT_NE(report.find("  CD-TEXT File         : From the cue sheet ("), std::string::npos);
    EXPECT_NE(report.find(RULE + "  CD-TEXT     Block 0"), std::string::npos);

    // Turned off, the sheet reports as one without text lines.
    TLuCueSheet off;
    off.UseSheetCdText = false;
    ASSERT_TRUE(off.Load(Sheet.CuePath));
    EXPECT_EQ(BuildLayoutReport(BuildDiscLayout(off)).find("CD-TEXT  "), std::string::npos);
    EXPECT_EQ(BuildDiscLayout(off).CdTextFile, NOT_SPECIFIED);
}

} // namespace

namespace {

// Each session gets its heading where its pregap starts and ends in its own lead-out; lengths the sheet
// gives other than the standard ones are noted.
TEST_F(LayoutreportTest, SessionsHaveHeadingsLeadOutsAndTheirGapNoted)
{
    Dir.WriteZeros("DATA.BIN", 100 * 2352);
    LoadSheet("REM SESSION 01\nFILE \"DISC.BIN\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nREM SESSION 02\n"
              "REM LEAD-IN 00:59:00\nFILE \"DATA.BIN\" BINARY\nTRACK 02 MODE1/2352\nINDEX 01 00:00:00\n",
              300);
    const std::string report = BuildLayoutReport(BuildDiscLayout(Sheet));
    const std::string lead = "            LeadOut                                       ";
    const std::string blank(9, ' ');
    for (const std::string& line :
         {"  Session 1" + std::string(47, ' ') + "00:00:00" + blank, lead + "00:06:00" + blank,
          "  Session 2" + std::string(47, ' ') + "02:35:00" + blank, lead + "02:38:25" + blank,
          std::string("  Session 2 follows a lead-out of 01:30:00, a lead-in of 00:59:00 and a pregap of 00:02:00")})
        EXPECT_NE(report.find(line + (line.size() == 75 ? "\n" : "")), std::string::npos) << line << "\n" << report;
    EXPECT_NE(report.find("  Total Disc Time      : 02:38:25\n"), std::string::npos) << report;
}

} // namespace
