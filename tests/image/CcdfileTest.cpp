// SPDX-License-Identifier: GPL-3.0-or-later
#include "image/Ccdfile.h"

#include "cuesheet/Lucue.h"
#include "image/Ccdformat.h"
#include "support/Controlfile.h"
#include "support/CdTextFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace {

constexpr std::uintmax_t SECTOR = 2352;

using ccdtext::Section;
using ccdtext::SectionNames;

class CcdfileTest : public ::testing::Test
{
protected:
    // Writes the cue sheet beside a zero-filled data file and loads it.
    void LoadSheet(const std::string& cue, std::uintmax_t sectors, std::uintmax_t sectorSize = SECTOR)
    {
        Dir.WriteZeros("DISC.BIN", sectors * sectorSize);
        const std::string cuePath = Dir.Write("disc.cue", "FILE \"DISC.BIN\" BINARY\r\n" + cue);
        ASSERT_TRUE(Sheet.Load(cuePath)) << std::hex << Sheet.ErrorCode;
    }

    // Loads the sheet with a sound CD-TEXT file, then puts bytes in its place: the writer copies
    // what it finds when it runs, whatever the load checked.
    void LoadSheetThenReplaceCdText(const std::string& cue, const std::string& bytes)
    {
        Dir.Write("CDTEXT.BIN", CdTextFileBytes());
        LoadSheet(cue, 10);
        Dir.Write("CDTEXT.BIN", bytes);
    }

    std::string ControlText() { return CcdFileText(Sheet); }

    TTempDir Dir;
    TLuCueSheet Sheet;
};

// A TOC entry goes to its [Entry n] row, LBAs beside the times, and back.
TEST(CcdEntryTest, TocEntriesRoundTripThroughRows)
{
    struct TCase
    {
        TTocEntry Entry;
        std::int32_t ALba, PLba;
    };
    const TCase cases[] = {
        {{1, POINT_FIRST_TRACK, 1, 4, 0, {}, {0, 1, 32, 0}}, -150, 6750},  // A0 of a CD-ROM XA disc
        {{1, 2, 1, 0, 0, {}, {0, 0, 2, 0}}, -150, 0},                      // a track at LBA 0
        {{1, POINT_LEAD_OUT, 1, 6, 0, {}, {0, 99, 59, 74}}, -150, 449849}, // the last lead-out there is
        {{2, 0xB0, 5, 2, 3, {0, 10, 20, 30}, {0, 79, 59, 74}}, 46380, 359849},
    };
    for (const TCase& c : cases)
    {
        const TCcdEntry row = CcdEntryOf(c.Entry);
        EXPECT_EQ(row.Session, c.Entry.Session);
        EXPECT_EQ(row.Point, c.Entry.Point);
        EXPECT_EQ(row.Adr, c.Entry.Adr);
        EXPECT_EQ(row.Control, c.Entry.Control);
        EXPECT_EQ(row.TrackNo, c.Entry.TrackNo);
        EXPECT_EQ(row.ALba, c.ALba);
        EXPECT_EQ(row.PLba, c.PLba);
        EXPECT_TRUE(TocEntryOf(row) == c.Entry) << int(c.Entry.Point);
    }
}

TEST_F(CcdfileTest, TwoTrackDiscMatchesTheGoldenFile)
{
    LoadSheet("TRACK 01 MODE1/2352\r\n"
              "INDEX 01 00:00:00\r\n"
              "POSTGAP 00:02:00\r\n"
              "TRACK 02 AUDIO\r\n"
              "INDEX 00 10:00:00\r\n"
              "INDEX 01 10:02:00\r\n",
              90000);
    const std::string text = ControlText();
    EXPECT_EQ(text, TTempDir::ReadAll(SARVEX_TEST_DATA "/ccd/Mode1AudioPostgap.ccd"));
}

// The lead-out carries the last track's control, and a disc with a Mode 2 track says CD-ROM XA in A0.
struct TDiscTypeCase
{
    const char* Type;
    std::uintmax_t SectorSize;
    const char* PreGapMode;
    const char* A0Control;
    const char* A0PSec;
    const char* A0Plba;
    const char* A2Control;
};

class CcdfileDiscTypeTest : public CcdfileTest, public ::testing::WithParamInterface<TDiscTypeCase>
{};

TEST_P(CcdfileDiscTypeTest, DescriptorsFollowTheTrackType)
{
    const TDiscTypeCase& c = GetParam();
    LoadSheet(std::string("TRACK 01 ") + c.Type + "\r\nINDEX 01 00:00:00\r\n", 300, c.SectorSize);
    const std::string text = ControlText();
    EXPECT_EQ(Section(text, "Session 1"),
              (std::vector<std::string>{std::string("PreGapMode=") + c.PreGapMode, "PreGapSubC=0"}));
    const auto a0 = Section(text, "Entry 0");
    ASSERT_EQ(a0.size(), 14u);
    EXPECT_EQ(a0[3], std::string("Control=") + c.A0Control);
    EXPECT_EQ(a0[11], std::string("PSec=") + c.A0PSec);
    EXPECT_EQ(a0[13], std::string("PLBA=") + c.A0Plba);
    const auto a2 = Section(text, "Entry 2");
    ASSERT_EQ(a2.size(), 14u);
    EXPECT_EQ(a2[3], std::string("Control=") + c.A2Control);
    // 450 = 00:06:00
    EXPECT_EQ(std::vector<std::string>(a2.begin() + 10, a2.end()),
              (std::vector<std::string>{"PMin=0", "PSec=6", "PFrame=0", "PLBA=300"}));
}

INSTANTIATE_TEST_SUITE_P(Types, CcdfileDiscTypeTest,
                         ::testing::Values(TDiscTypeCase{"AUDIO", 2352, "0", "0x00", "0", "4350", "0x00"},
                                           TDiscTypeCase{"MODE1/2048", 2048, "1", "0x04", "0", "4350", "0x04"},
                                           TDiscTypeCase{"MODE2/2352", 2352, "2", "0x04", "32", "6750", "0x04"},
                                           TDiscTypeCase{"MODE2/2336", 2336, "2", "0x04", "32", "6750", "0x04"}));

TEST_F(CcdfileTest, FirstTrackFiveWithCatalogIsrcAndSubindexes)
{
    // Track 5: INDEX 00 of 150 sectors, then INDEX 01. Track 6: no INDEX 00, indexes 1 to 3, an ISRC.
    LoadSheet("CATALOG 0123456789012\r\n"
              "TRACK 05 AUDIO\r\n"
              "FLAGS DCP\r\n"
              "INDEX 00 00:00:00\r\n"
              "INDEX 01 00:02:00\r\n"
              "TRACK 06 AUDIO\r\n"
              "ISRC GBAYE0000001\r\n"
              "INDEX 01 00:05:00\r\n"
              "INDEX 02 00:06:00\r\n"
              "INDEX 03 00:07:00\r\n",
              750);
    const std::string text = ControlText();

    EXPECT_EQ(Section(text, "Disc"), (std::vector<std::string>{"TocEntries=5", "Sessions=1", "DataTracksScrambled=0",
                                                               "CDTextLength=0", "CATALOG=0123456789012"}));
    const auto a0 = Section(text, "Entry 0");
    ASSERT_EQ(a0.size(), 14u);
    EXPECT_EQ(a0[3], "Control=0x02");
    EXPECT_EQ(a0[10], "PMin=5");
    EXPECT_EQ(a0[13], "PLBA=22350");
    const auto a1 = Section(text, "Entry 1");
    ASSERT_EQ(a1.size(), 14u);
    EXPECT_EQ(a1[3], "Control=0x00");
    EXPECT_EQ(a1[10], "PMin=6");
    EXPECT_EQ(Section(text, "Entry 2")[13], "PLBA=750");
    const auto track5 = Section(text, "Entry 3");
    ASSERT_EQ(track5.size(), 14u);
    EXPECT_EQ(track5[1], "Point=0x05");
    EXPECT_EQ(track5[13], "PLBA=150");

    const auto names = SectionNames(text);
    ASSERT_EQ(names.size(), 10u);
    EXPECT_EQ(names[8], "[TRACK 5]");
    EXPECT_EQ(names[9], "[TRACK 6]");
    EXPECT_EQ(Section(text, "TRACK 5"), (std::vector<std::string>{"MODE=0", "INDEX 1=150"}));
    EXPECT_EQ(Section(text, "TRACK 6"),
              (std::vector<std::string>{"MODE=0", "ISRC=GBAYE0000001", "INDEX 1=375", "INDEX 2=450", "INDEX 3=525"}));
}

TEST_F(CcdfileTest, NinetyNineTracksGiveOneHundredAndTwoEntries)
{
    std::string cue;
    for (int t = 1; t <= 99; ++t)
    {
        // One second (75 sectors) per track.
        char line[64];
        std::snprintf(line, sizeof line, "TRACK %02d AUDIO\r\nINDEX 01 %02d:%02d:00\r\n", t, (t - 1) / 60,
                      (t - 1) % 60);
        cue += line;
    }
    LoadSheet(cue, 99 * 75);
    const std::string text = ControlText();

    EXPECT_EQ(Section(text, "Disc").front(), "TocEntries=102");
    const auto names = SectionNames(text);
    ASSERT_EQ(names.size(), 3u + 102u + 99u);
    EXPECT_EQ(names[3 + 101], "[Entry 101]");
    EXPECT_EQ(names.back(), "[TRACK 99]");
    EXPECT_EQ(Section(text, "Entry 12")[1], "Point=0x0a");
    EXPECT_EQ(Section(text, "Entry 101")[1], "Point=0x63");
    EXPECT_EQ(Section(text, "Entry 2")[13], "PLBA=" + std::to_string(99 * 75));
    // Track 99 starts at LBA 98 * 75 = 7350 = 00:02:00 + 01:38:00 absolute.
    EXPECT_EQ(Section(text, "TRACK 99"), (std::vector<std::string>{"MODE=0", "INDEX 1=7350"}));
}

struct TCdTextCase
{
    std::size_t Size;
    std::vector<std::string> Disc;
    std::vector<std::string> CdText;
};

class CcdfileCdTextTest : public CcdfileTest, public ::testing::WithParamInterface<TCdTextCase>
{};

TEST_P(CcdfileCdTextTest, PacksBecomeEntries)
{
    const TCdTextCase& c = GetParam();
    std::string bytes(c.Size, '\0');
    const unsigned char first[] = {0x80, 0, 0, 0, 0x41, 0x42, 0x43};
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i < sizeof first ? first[i] : i >= 18 ? i - 18 + 0xF0 : 0xEE);
    LoadSheetThenReplaceCdText("CDTEXTFILE \"CDTEXT.BIN\"\r\nTRACK 01 AUDIO\r\nINDEX 01 00:00:00\r\n", bytes);
    const std::string text = ControlText();
    EXPECT_EQ(Section(text, "Disc"), c.Disc);
    EXPECT_EQ(Section(text, "CDText"), c.CdText);
    EXPECT_EQ(SectionNames(text)[2], "[CDText]");
}

// Bytes 7..15 of the first pack are 0xEE, its CRC bytes 16 and 17 too; the second pack counts up
// from 0xF0, and the 37th byte is ignored.
INSTANTIATE_TEST_SUITE_P(
    Sizes, CcdfileCdTextTest,
    ::testing::Values(
        TCdTextCase{0, {"TocEntries=4", "Sessions=1", "DataTracksScrambled=0", "CDTextLength=0"}, {"Entries=0"}},
        TCdTextCase{17, {"TocEntries=4", "Sessions=1", "DataTracksScrambled=0", "CDTextLength=0"}, {"Entries=0"}},
        TCdTextCase{37,
                    {"TocEntries=4", "Sessions=1", "DataTracksScrambled=0", "CDTextLength=36"},
                    {"Entries=2", "Entry 0=80 00 00 00 41 42 43 ee ee ee ee ee ee ee ee ee",
                     "Entry 1=f0 f1 f2 f3 f4 f5 f6 f7 f8 f9 fa fb fc fd fe ff"}}));

TEST_F(CcdfileTest, SheetTextBecomesTheWorkedExamplePacks)
{
    LoadSheet("TITLE \"ABC\"\r\nTRACK 01 AUDIO\r\nTITLE \"X\"\r\nINDEX 01 00:00:00\r\n", 10);
    const std::string text = ControlText();
    EXPECT_EQ(Section(text, "Disc").back(), "CDTextLength=72");
    EXPECT_EQ(Section(text, "CDText"),
              (std::vector<std::string>{"Entries=4", "Entry 0=80 00 00 00 41 42 43 00 58 00 00 00 00 00 00 00",
                                        "Entry 1=8f 00 01 00 00 01 01 00 01 00 00 00 00 00 00 00",
                                        "Entry 2=8f 01 02 00 00 00 00 00 00 00 00 03 03 00 00 00",
                                        "Entry 3=8f 02 03 00 00 00 00 00 09 00 00 00 00 00 00 00"}));
    EXPECT_EQ(SectionNames(text)[2], "[CDText]");
}

TEST_F(CcdfileTest, CdTextFileWinsAndItsReadTocHeaderIsSkipped)
{
    std::string packs(36, '\0');
    for (std::size_t i = 0; i < packs.size(); ++i)
        packs[i] = static_cast<char>(0x80 + i);
    const std::string sheet = "CDTEXTFILE CDTEXT.BIN\r\nTITLE \"Ignored\"\r\nTRACK 01 AUDIO\r\nINDEX 01 00:00:00\r\n";
    LoadSheetThenReplaceCdText(sheet, packs);
    const std::string plain = ControlText();
    EXPECT_EQ(Section(plain, "CDText")[1], "Entry 0=80 81 82 83 84 85 86 87 88 89 8a 8b 8c 8d 8e 8f");

    // Data length 38 = 40 - 2, big-endian, then two reserved bytes.
    LoadSheetThenReplaceCdText(sheet, std::string("\x00\x26\x00\x00", 4) + packs);
    EXPECT_EQ(ControlText(), plain);

    // The same size without a matching length is read from its first byte.
    LoadSheetThenReplaceCdText(sheet, std::string("\x00\x27\x00\x00", 4) + packs);
    EXPECT_EQ(Section(ControlText(), "CDText")[1], "Entry 0=00 27 00 00 80 81 82 83 84 85 86 87 88 89 8a 8b");
}

TEST_F(CcdfileTest, VanishedCdTextFileIsNoError)
{
    const std::string cdText = Dir.Write("CDTEXT.BIN", CdTextFileBytes());
    LoadSheet("CDTEXTFILE CDTEXT.BIN\r\nTRACK 01 AUDIO\r\nINDEX 01 00:00:00\r\n", 10);
    std::filesystem::remove(cdText);
    const std::string text = ControlText();
    EXPECT_EQ(Section(text, "Disc").back(), "CDTextLength=0");
    EXPECT_TRUE(Section(text, "CDText").empty());
    EXPECT_EQ(SectionNames(text)[2], "[Session 1]");
}

TEST_F(CcdfileTest, CdTextBeyondAnyLeadInIsRefused)
{
    LoadSheetThenReplaceCdText("CDTEXTFILE CDTEXT.BIN\r\nTRACK 01 AUDIO\r\nINDEX 01 00:00:00\r\n",
                               std::string(8192 * 18 + 17, '\x11'));
    const std::string cdText = Dir.File("CDTEXT.BIN");
    EXPECT_NE(ControlText().find("Entry 8191=11 11"), std::string::npos);
    std::filesystem::resize_file(cdText, 8193 * 18);
    EXPECT_THROW(ControlText(), std::runtime_error);
}

// No text for a sheet without tracks, nor for one whose CD-TEXT file cannot be read: the conversion
// asks for it before it opens a file.
TEST_F(CcdfileTest, EmptySheetAndUnreadableCdTextRaise)
{
    EXPECT_THROW(ControlText(), std::runtime_error);
    // A FIFO exists but cannot be opened as a file, whoever runs the test.
    const std::string unreadable = Dir.File("CDTEXT.FIFO");
    ASSERT_EQ(::mkfifo(unreadable.c_str(), 0666), 0);
    LoadSheet("CATALOG 4988001234567\r\nTRACK 01 AUDIO\r\nINDEX 01 00:00:00\r\n", 10);
    Sheet.CdTextFile = unreadable;
    EXPECT_THROW(ControlText(), std::system_error);
}

} // namespace
