// SPDX-License-Identifier: GPL-3.0-or-later
#include "cuesheet/Lucue.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>

namespace {

struct TRowExpect
{
    std::int32_t Track, Index, Start, Relative;
    TAddressKind Kind;
    std::int32_t File;
    std::int64_t Offset;
};

class LayoutTest : public ::testing::Test
{
protected:
    bool Load(const std::string& text) { return Sheet.Load(Dir.Write("disc.cue", text)); }

    // The scan a lookup must agree with: first row whose start lies above the address.
    std::int32_t LinearFind(std::uint32_t address) const
    {
        const std::int32_t count = Sheet.AddressRowCount();
        if (count == 0)
            return -1;
        for (std::int32_t i = 1; i < count; ++i)
        {
            if (address < static_cast<std::uint32_t>(Sheet.AddressRow(i).StartAddress))
                return i - 1;
        }
        return count;
    }

    template <std::size_t N>
    void ExpectRows(const TRowExpect (&rows)[N]) const
    {
        ASSERT_EQ(Sheet.AddressRowCount(), static_cast<std::int32_t>(N));
        for (std::size_t i = 0; i < N; ++i)
        {
            SCOPED_TRACE(i);
            const auto& row = Sheet.AddressRow(static_cast<std::int32_t>(i));
            EXPECT_EQ(row.TrackNumber, rows[i].Track);
            EXPECT_EQ(row.IndexNumber, rows[i].Index);
            EXPECT_EQ(row.StartAddress, rows[i].Start);
            EXPECT_EQ(row.RelativeStart, rows[i].Relative);
            EXPECT_EQ(row.Kind, rows[i].Kind);
            EXPECT_EQ(row.FileNumber, rows[i].File);
            EXPECT_EQ(row.FileOffset, rows[i].Offset);
        }
    }

    TTempDir Dir;
    TLuCueSheet Sheet;
};

// Track 1 MODE1/2352 with a two-second postgap, track 2 AUDIO with INDEX 00 and 01, 90000 sectors.
constexpr const char* TWO_TRACKS = "FILE disc.bin BINARY\nTRACK 01 MODE1/2352\nINDEX 01 00:00:00\nPOSTGAP 00:02:00\n"
                                   "TRACK 02 AUDIO\nINDEX 00 10:00:00\nINDEX 01 10:02:00\n";

TEST_F(LayoutTest, TwoTrackDiscRowsLookupsAndSchedule)
{
    Dir.WriteZeros("disc.bin", std::uintmax_t(90000) * 2352);
    ASSERT_TRUE(Load(TWO_TRACKS));
    const TRowExpect rows[] = {
        {1, 0, 0, 149, akPregap, 0, 0},           {1, 1, 150, 0, akFile, 0, 0},
        {1, 1, 45150, 45000, akPostgap, 0, 0}, // relative time runs on through the postgap
        {2, 0, 45300, 149, akFile, 0, 105840000}, {2, 1, 45450, 0, akFile, 0, 106192800},
        {170, 0, 90300, 0, akLeadOut, 0, 0},
    };
    ExpectRows(rows);
    EXPECT_EQ(Sheet.FindAddressRow(149), 0);
    EXPECT_EQ(Sheet.FindAddressRow(150), 1);
    EXPECT_EQ(Sheet.FindAddressRow(45150), 2);
    EXPECT_EQ(Sheet.FindAddressRow(90299), 4);
    EXPECT_EQ(Sheet.FindAddressRow(90300), 6);
    EXPECT_EQ(Sheet.FindAddressRow(0xFFFFFFFFu), 6);
    // The model's indexes, by LBA: the first track's index 0 lies before LBA 0 and is not held.
    const TDiscModel& disc = Sheet.Model();
    ASSERT_EQ(disc.Sessions.size(), 1u);
    ASSERT_EQ(disc.Sessions[0].Tracks.size(), 2u);
    EXPECT_EQ(disc.Sessions[0].Tracks[0].Indexes, (std::vector<TDiscIndex>{{1, 0}}));
    EXPECT_EQ(disc.Sessions[0].Tracks[1].Indexes, (std::vector<TDiscIndex>{{0, 45150}, {1, 45300}}));
    EXPECT_EQ(Sheet.IsrcInterval, 98);
    EXPECT_EQ(Sheet.IsrcOffset, 163);
    EXPECT_EQ(Sheet.McnInterval, 98);
    EXPECT_EQ(Sheet.McnOffset, 173);
    EXPECT_EQ(Sheet.LeadOutAddress(), 90300);

    // A TOC row per track, then the lead-out's, which the composer reads after the last track.
    ASSERT_EQ(Sheet.TrackCount, 2);
    const std::int32_t toc[3][4] = {{1, 150, 0, 0x40}, {2, 45450, 45300, 0x00}, {170, 90300, 90300, 0}};
    for (int i = 0; i < 3; ++i)
    {
        EXPECT_EQ(Sheet.TocRow(i).TrackNumber, toc[i][0]);
        EXPECT_EQ(Sheet.TocRow(i).Index1Address, toc[i][1]);
        EXPECT_EQ(Sheet.TocRow(i).StartAddress, toc[i][2]);
        EXPECT_EQ(Sheet.TocRow(i).Control, static_cast<std::uint32_t>(toc[i][3]));
    }

    // Session, point, ADR, control, TNO, A, P; the lead-out takes the last track's control.
    const std::vector<TTocEntry> entries = {
        {1, POINT_FIRST_TRACK, 1, 4, 0, {}, {0, 1, 0, 0}}, {1, POINT_LAST_TRACK, 1, 0, 0, {}, {0, 2, 0, 0}},
        {1, POINT_LEAD_OUT, 1, 0, 0, {}, {0, 20, 4, 0}},   {1, 1, 1, 4, 0, {}, {0, 0, 2, 0}},
        {1, 2, 1, 0, 0, {}, {0, 10, 6, 0}},
    };
    EXPECT_TRUE(disc.Toc == entries);
}

TEST_F(LayoutTest, EmptySheetHasNoTables)
{
    EXPECT_EQ(Sheet.AddressRowCount(), 0);
    EXPECT_EQ(Sheet.FindAddressRow(150), -1);
    EXPECT_EQ(Sheet.Model().FindTrack(1), nullptr);
    EXPECT_TRUE(Sheet.Model().Toc.empty());
}

TEST_F(LayoutTest, GapsPregapsAndIndexesBecomeRows)
{
    Dir.WriteZeros("a.bin", 1000 * 2352);
    Dir.WriteZeros("b.bin", 500 * 2336);
    // Track 1 has a PREGAP of its own after the fixed 150; track 2 follows directly;
    // track 3 has both PREGAP and INDEX 00 and three indexes; track 4 is in another file.
    ASSERT_TRUE(Load("FILE a.bin BINARY\nTRACK 01 AUDIO\nPREGAP 00:01:00\nINDEX 01 00:00:00\n"
                     "TRACK 02 AUDIO\nINDEX 01 00:02:00\n"
                     "TRACK 03 AUDIO\nPREGAP 00:02:00\nINDEX 00 00:04:00\nINDEX 01 00:06:00\nINDEX 02 00:07:00\n"
                     "INDEX 03 00:08:00\nINDEX 04 00:08:00\n"
                     "FILE b.bin BINARY\nTRACK 04 MODE2/2336\nINDEX 01 00:00:00\n"));
    const TRowExpect rows[] = {
        {1, 0, 0, 224, akPregap, 0, 0},
        {1, 0, 150, 74, akPregap, 0, 0},
        {1, 1, 225, 0, akFile, 0, 0},
        {2, 1, 375, 0, akFile, 0, 150 * 2352},
        {3, 0, 525, 299, akPregap, 0, 0},
        {3, 0, 675, 149, akFile, 0, 300 * 2352},
        {3, 1, 825, 0, akFile, 0, 450 * 2352},
        {3, 2, 900, 75, akFile, 0, 525 * 2352},
        // index 3 has no sectors: index 4 starts at the same position and takes the rest
        {3, 4, 975, 150, akFile, 0, 600 * 2352},
        {4, 1, 1375, 0, akFile, 1, 0},
        {170, 0, 1875, 0, akLeadOut, 0, 0},
    };
    ExpectRows(rows);
    // Index 0 of a track with PREGAP and INDEX 00 starts with the generated pregap; the list ends at
    // the index without sectors, as the control file lists them.
    const TDiscModel& disc = Sheet.Model();
    ASSERT_EQ(disc.Sessions[0].Tracks.size(), 4u);
    EXPECT_EQ(disc.Sessions[0].Tracks[1].Indexes, (std::vector<TDiscIndex>{{1, 225}}));
    EXPECT_EQ(disc.Sessions[0].Tracks[2].Indexes, (std::vector<TDiscIndex>{{0, 375}, {1, 675}, {2, 750}}));
    // TOC: the first track's PREGAP counts before its index 1, as the address table has it.
    EXPECT_EQ(Sheet.TocRow(0).Index1Address, 225);
    EXPECT_EQ(Sheet.TocRow(1).StartAddress, 375);
    EXPECT_EQ(Sheet.TocRow(2).StartAddress, 525);
    EXPECT_EQ(Sheet.TocRow(2).Index1Address, 825);
    EXPECT_EQ(Sheet.TocRow(3).Index1Address, 1375);
    EXPECT_EQ(Sheet.TocRow(4).StartAddress, 1875);
    ASSERT_EQ(disc.Toc.size(), 7u);
    EXPECT_EQ(disc.Toc[0].P.Second, 0x20) << "a MODE2 track makes the disc CD-ROM XA";
    EXPECT_EQ(disc.Toc[2].Point, POINT_LEAD_OUT);
    EXPECT_EQ(disc.Toc[2].Control, 4) << "lead-out control of a data last track";
}

// The control file's tests check the TOC entries of a first track 5 and of 99 tracks.
TEST_F(LayoutTest, FirstTrackNumberFiveLeadsTheTocRows)
{
    Dir.WriteZeros("d.bin", 30 * 2352);
    std::string cue = "FILE d.bin BINARY\n";
    for (int t = 5; t <= 7; ++t)
        cue += "TRACK 0" + std::to_string(t) + " AUDIO\nINDEX 01 00:00:" +
               (t == 5   ? "00"
                : t == 6 ? "10"
                         : "20") +
               "\n";
    ASSERT_TRUE(Load(cue));
    EXPECT_EQ(Sheet.TocRow(0).TrackNumber, 5);
    EXPECT_EQ(Sheet.TocRow(2).TrackNumber, 7);
    EXPECT_EQ(Sheet.TocRow(3).TrackNumber, LEAD_OUT_TRACK);
}

TEST_F(LayoutTest, BinarySearchAgreesWithTheScanOnTheLargestTables)
{
    // 99 tracks of 99 indexes each, in 99 files, with gaps (bench/ComposeBench.cpp times loading it).
    std::string cue;
    for (int t = 1; t <= 99; ++t)
    {
        char line[64];
        std::snprintf(line, sizeof line, "f%d.bin", t);
        const std::string name = line;
        Dir.WriteZeros(name, 120 * 2352);
        std::snprintf(line, sizeof line, "FILE %s BINARY\nTRACK %02d AUDIO\n", name.c_str(), t);
        cue += line;
        if (t % 3 == 0)
            cue += "PREGAP 00:00:05\n";
        // One sector per index up to 00:00:74, then indexes of no length.
        for (int i = 1; i <= 99; ++i)
        {
            std::snprintf(line, sizeof line, "INDEX %02d 00:00:%02d\n", i, std::min(i - 1, 74));
            cue += line;
        }
        if (t % 4 == 0)
            cue += "POSTGAP 00:00:03\n";
    }
    ASSERT_TRUE(Load(cue)) << std::hex << Sheet.ErrorCode;
    ASSERT_GT(Sheet.AddressRowCount(), 99 * 70);
    const std::int32_t leadOut = Sheet.LeadOutAddress();
    for (std::uint32_t a = 0; a <= static_cast<std::uint32_t>(leadOut) + 2; ++a)
        ASSERT_EQ(Sheet.FindAddressRow(a), LinearFind(a)) << a;
    for (std::uint32_t a : {0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu})
        EXPECT_EQ(Sheet.FindAddressRow(a), LinearFind(a));
    // So many row starts leave no free schedule pair; otherwise no start may fall on one.
    if (Sheet.IsrcInterval == 0)
    {
        EXPECT_EQ(Sheet.McnInterval, 0);
        EXPECT_EQ(Sheet.IsrcOffset, 150);
    }
    for (std::int32_t r = 1; Sheet.IsrcInterval > 0 && r < Sheet.AddressRowCount(); ++r)
    {
        const std::int64_t s = Sheet.AddressRow(r).StartAddress;
        EXPECT_NE((s - Sheet.IsrcOffset) % Sheet.IsrcInterval, 0);
        if (Sheet.McnInterval > 0)
        {
            EXPECT_NE((s - Sheet.McnOffset) % Sheet.McnInterval, 0);
        }
    }
}

} // namespace

namespace {

// Three sessions: 11,400 sectors before the second, 6,900 before the third unless the sheet's REM lines
// say otherwise; rows, TOC and stored ranges follow, and B0 points at the next session's pregap.
TEST_F(LayoutTest, SessionsLieAfterTheirGaps)
{
    Dir.Write("a.bin", std::string(100 * 2352, '\1'));
    Dir.Write("b.bin", std::string(200 * 2352, '\2'));
    Dir.Write("c.bin", std::string((150 + 50) * 2048, '\3'));
    const std::string sessions = "REM SESSION 01\nFILE a.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"
                                 "REM SESSION 02\nFILE b.bin BINARY\nTRACK 02 MODE1/2352\nINDEX 01 00:00:00\n"
                                 "REM LEAD-OUT 00:30:00\nREM SESSION 03\nREM LEAD-IN ";
    const struct
    {
        const char* LeadIn;
        std::int32_t Third; // LBA of track 3's index 1
        bool Standard;
    } cases[] = {{"01:00:00", 100 + 11400 + 200 + 6900, true}, {"00:59:00", 100 + 11400 + 200 + 6825, false}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.LeadIn);
        ASSERT_TRUE(Load(sessions + c.LeadIn + "\nFILE c.bin BINARY\nTRACK 03 MODE1/2048\nINDEX 00 00:00:00\nINDEX 01 00:02:00\n"))
            << std::hex << Sheet.ErrorCode << Sheet.ErrorDetail;
        const TDiscModel& disc = Sheet.Model();
        ASSERT_EQ(disc.Sessions.size(), 3u);
        EXPECT_EQ(Sheet.SessionGaps[1].Standard, c.Standard);
        EXPECT_EQ(disc.Sessions[1].Tracks[0].Indexes, (std::vector<TDiscIndex>{{1, 11500}}));
        EXPECT_EQ(disc.Sessions[2].Tracks[0].Indexes, (std::vector<TDiscIndex>{{1, c.Third}}));
        EXPECT_EQ(disc.StoredRanges(),
                  (std::vector<TLbaRange>{{0, 100}, {11500, 11700}, {c.Third, c.Third + 50}}));
        EXPECT_EQ(Sheet.LeadOutAddress(), c.Third + 50 + 150);
        std::vector<std::pair<int, int>> pointers; // session, A as LBA
        for (const TTocEntry& e : disc.Toc)
        {
            if (e.Point != POINT_NEXT_SESSION)
                continue;
            EXPECT_EQ(e.Adr, ADR_POINTER);
            EXPECT_EQ(MsfToFrames(e.P), Sheet.LeadOutAddress());
            pointers.emplace_back(e.Session, MsfToFrames(e.A) - 150);
        }
        EXPECT_EQ(pointers, (std::vector<std::pair<int, int>>{{1, 11350}, {2, c.Third - 150}}));
        // The lead-out row of a session runs on to the next session's pregap.
        EXPECT_EQ(Sheet.AddressRow(Sheet.FindAddressRow(100 + 150 + 5000)).Kind, akLeadOut);
    }
}

} // namespace

namespace {

struct TTocLineCase
{
    const char* Name;
    std::string Before; // the sheet's lines before its tracks
    std::uint32_t Status;
    const char* Detail;
    bool TwoSessions = false; // track 2 in a session of its own
};

// REM TOC-ENTRY lines: an entry like a composed one replaces it, others go before the session's
// tracks in their order; a line that does not parse or moves what the tracks fix refuses the sheet.
TEST_F(LayoutTest, TocEntryLinesJoinTheTocOrRefuseTheSheet)
{
    Dir.Write("a.bin", std::string(100 * 2352, '\1'));
    const std::string tracks =
        "FILE a.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nINDEX 01 00:01:00\n";
    const auto line = [](const std::string& point, const std::string& rest) {
        return "REM TOC-ENTRY Session=1 Point=" + point + " ADR=0x01 Control=0x00 TrackNo=0 AMin=0 ASec=0 AFrame=0 " +
               rest + "\n";
    };
    const std::string c0 = "REM TOC-ENTRY Session=1 Point=0xc0 ADR=0x05 Control=0x00 TrackNo=0 AMin=160 ASec=0 "
                           "AFrame=0 Zero=0 PMin=97 PSec=27 PFrame=21\n";
    const auto bad = [](std::uint32_t at) { return PackStatus(at, egTocEntry, erBadArgument); };
    const auto entry = [](const std::string& keys, const std::string& a = "AMin=0 ASec=0 AFrame=0",
                          const std::string& p = "PMin=0 PSec=2 PFrame=0") {
        return "REM TOC-ENTRY Control=0x00 TrackNo=0 Zero=0 " + keys + " " + a + " " + p + "\n";
    };
    std::string many;
    for (int i = 0; i < 996; ++i)
        many += c0;
    const TTocLineCase cases[] = {
        {"Good", c0 + "rem toc-entry PFRAME=0 pSec=32 Session=1 Point=0xA0 ADR=0x01 Control=0x00 TrackNo=0 AMin=1 "
                      "ASec=2 AFrame=3 Zero=0 PMin=1\nREM\tTOC-ENTRY\tSession=1 Point=192\tADR=5 Control=0 TrackNo=0 "
                      "AMin=160 ASec=0 AFrame=0 Zero=0 PMin=97 PSec=27 PFrame=21\n",
         0, ""},
        {"MissingKey", line("0xc0", "Zero=0 PMin=97 PSec=27"), bad(1), "REM TOC-ENTRY: PFrame is missing"},
        {"DecimalPastAByte", line("0xc0", "Zero=0 PMin=97 PSec=256 PFrame=0"), bad(1),
         "REM TOC-ENTRY: PSec=256 is not 0 to 255"},
        {"Bare", "REM TOC-ENTRY\n", bad(1), "REM TOC-ENTRY: the line gives no entry"},
        {"SecondPastAMinute", entry("Session=1 Point=0xc0 ADR=5", "AMin=0 ASec=60 AFrame=0"), bad(1),
         "REM TOC-ENTRY: ASec=60 is not 0 to 59"},
        {"FramePastASecond", entry("Session=1 Point=0xc0 ADR=5", "AMin=0 ASec=0 AFrame=75"), bad(1),
         "REM TOC-ENTRY: AFrame=75 is not 0 to 74"},
        {"EveryValue255",
         "REM TOC-ENTRY Session=1 Point=0xff ADR=0x0f Control=0x0f TrackNo=255 AMin=255 ASec=255 "
         "AFrame=255 Zero=255 PMin=255 PSec=255 PFrame=255\n",
         bad(1), "REM TOC-ENTRY: TrackNo=255 is not 0 to 99"},
        {"TimePastALba", entry("Session=1 Point=0xc0 ADR=5", "AMin=255 ASec=59 AFrame=74"), bad(1),
         "REM TOC-ENTRY: the A time 255:59:74 is past 255:02:00, the last a control file holds"},
        {"MoreEntriesThanAControlFileHolds", many, bad(996),
         "REM TOC-ENTRY: the TOC has 1001 entries, a control file holds 1000"},
        {"TrackTheDiscLacks", entry("Session=1 Point=0x63 ADR=1"), bad(1),
         "REM TOC-ENTRY: track 99 is none of the disc's tracks"},
        {"TrackOfAnotherSession", entry("Session=1 Point=0x02 ADR=1"), bad(1),
         "REM TOC-ENTRY: track 2 is of session 2, not session 1", true},
        {"TrackOfMode5", entry("Session=1 Point=0x01 ADR=5"), bad(1), "REM TOC-ENTRY: ADR 5 where a track entry has 1"},
        {"TrackOfMode0", entry("Session=1 Point=0x01 ADR=0"), bad(1), "REM TOC-ENTRY: ADR 0 where a track entry has 1"},
        {"FirstTrackOfMode5", entry("Session=1 Point=0xa0 ADR=5"), bad(1), "REM TOC-ENTRY: ADR 5 where A0 has 1"},
        {"LastTrackOfMode0", entry("Session=1 Point=0xa1 ADR=0"), bad(1), "REM TOC-ENTRY: ADR 0 where A1 has 1"},
        {"LeadOutOfMode5", entry("Session=1 Point=0xa2 ADR=5"), bad(1), "REM TOC-ENTRY: ADR 5 where A2 has 1"},
        {"PointerInTheLastSession", entry("Session=2 Point=0xb0 ADR=5"), bad(1),
         "REM TOC-ENTRY: B0 in the last session, session 2", true},
        // B0 gives the latest start of the last lead-out the medium allows, from the lead-out on.
        {"PointerAsDumped",
         entry("Session=1 Point=0xb0 ADR=5", "AMin=2 ASec=33 AFrame=25", "PMin=79 PSec=59 PFrame=74"), 0, "", true},
        {"PointerBeforeTheLeadOut",
         entry("Session=1 Point=0xb0 ADR=5", "AMin=2 ASec=33 AFrame=25", "PMin=2 PSec=0 PFrame=0"), bad(1),
         "REM TOC-ENTRY: B0 of session 1 gives 02:00:00 as the disc's last lead-out, the last session's A2 is at "
         "02:36:50",
         true},
        {"AfterTrack", tracks + line("0xc0", "Zero=0 PMin=97 PSec=27 PFrame=0"),
         PackStatus(6, egTocEntry, erMisplaced), ""},
        {"LeadOutElsewhere", c0 + line("0xa2", "Zero=0 PMin=0 PSec=3 PFrame=24"), bad(2),
         "point 0xa2 of session 1 is at 00:03:24, but the sheet's tracks put it at 00:03:25"},
        {"TrackElsewhere", line("0x02", "Zero=0 PMin=0 PSec=3 PFrame=1"), bad(1),
         "point 0x02 of session 1 is at 00:03:01, but the sheet's tracks put it at 00:03:00"},
        {"TrackOfAnotherControl",
         "REM TOC-ENTRY Session=1 Point=0x01 ADR=0x01 Control=0x04 TrackNo=0 AMin=0 ASec=0 AFrame=0 Zero=0 PMin=0 "
         "PSec=2 PFrame=0\n",
         bad(1), "point 0x01 of session 1 has control 0x04, but the track's mode and FLAGS give 0x00"},
        {"OtherFirstTrack", line("0xa0", "Zero=0 PMin=2 PSec=0 PFrame=0"), bad(1),
         "point 0xa0 of session 1 names track 2, but the sheet's tracks make it 1"},
        {"UnknownSession", "REM TOC-ENTRY Session=2" + line("0xc0", "Zero=0 PMin=97 PSec=27 PFrame=0").substr(23),
         bad(1), "point 0xc0 is of session 2, which the sheet does not have"},
    };
    const std::string sessions = "REM SESSION 01\nFILE a.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"
                                 "REM SESSION 02\nFILE a.bin BINARY\nTRACK 02 AUDIO\nINDEX 01 00:00:00\n";
    for (const TTocLineCase& c : cases)
    {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(Load(c.Before + (c.TwoSessions ? sessions : tracks)), c.Status == 0);
        EXPECT_EQ(Sheet.ErrorCode, c.Status) << std::hex << Sheet.ErrorCode;
        EXPECT_EQ(Sheet.ErrorDetail, c.Detail);
    }
    // The Good case once more: the drive's A0 in place of the composed one, C0 twice before the tracks,
    // the second with tabs and in decimal.
    ASSERT_TRUE(Load(cases[0].Before + tracks));
    const std::vector<TTocEntry> toc = Sheet.Model().Toc;
    std::vector<int> points;
    for (const TTocEntry& e : toc)
        points.push_back(e.Point);
    EXPECT_EQ(points, (std::vector<int>{0xA0, 0xA1, 0xA2, 0xC0, 0xC0, 1, 2}));
    EXPECT_EQ(toc[0], (TTocEntry{1, 0xA0, 1, 0, 0, {0, 1, 2, 3}, {0, 1, 32, 0}, 0}));
    EXPECT_EQ(toc[3], (TTocEntry{1, 0xC0, 5, 0, 0, {0, 160, 0, 0}, {0, 97, 27, 21}, 0}));
    EXPECT_EQ(toc[4], toc[3]);
    EXPECT_EQ(toc[2].P, (TMsf{0, 0, 3, 25}));
}

} // namespace
