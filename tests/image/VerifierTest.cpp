// SPDX-License-Identifier: GPL-3.0-or-later
#include "image/Verifier.h"

#include "cuesheet/Lucue.h"
#include "image/Ccdreader.h"
#include "image/Conversion.h"
#include "image/Verifyreport.h"
#include "support/DiscData.h"
#include "support/ImageOracle.h"
#include "support/RawPaths.h"
#include "support/Sidecar.h"
#include "support/TempDir.h"
#include "synthesis/Msf.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct TDisc
{
    const char* Name;
    std::function<void(const TTempDir&)> MakeFiles;
    std::string Cue;
};

// Every kind of disc the conversion makes: track types, gaps, indexes, flags, CD+G, ISRC and
// catalogue, CD-TEXT, sessions.
const std::vector<TDisc>& Discs()
{
    // Sessions: a later one starts 11,400 sectors (then 6,900) after the lead-out before it, and its
    // sectors name their addresses there. These put session 2 at LBA 12000, after 600 audio sectors.
    const auto afterAudio = [](const char* name, const char* track, std::function<std::string()> data) {
        return TDisc{name,
                     [data](const TTempDir& d) {
                         d.Write("A.BIN", discdata::RandomBytes(600 * 2352, 21));
                         d.Write("D.BIN", data());
                     },
                     std::string("REM SESSION 01\nFILE A.BIN BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"
                                 "REM SESSION 02\nFILE D.BIN BINARY\nTRACK 02 ") +
                         track};
    };
    static const std::vector<TDisc> discs = {
        {"AudioIndexesAndFlags", [](const TTempDir& d) { d.Write("A.BIN", discdata::RandomBytes(900 * 2352, 1)); },
         "FILE A.BIN BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nINDEX 02 00:04:00\n"
         "TRACK 02 AUDIO\nFLAGS DCP PRE\nINDEX 00 00:06:00\nINDEX 01 00:07:00\n"},
        {"Mode1CookedRawAndGaps",
         [](const TTempDir& d) {
             d.Write("A.BIN", discdata::RandomBytes(300 * 2048, 2));
             d.Write("B.BIN", discdata::RandomBytes(200 * 2352, 3));
             d.Write("C.BIN", discdata::RandomBytes(200 * 2352, 4));
         },
         "FILE A.BIN BINARY\nTRACK 01 MODE1/2048\nINDEX 01 00:00:00\n"
         "FILE B.BIN BINARY\nTRACK 02 MODE1/2352\nPREGAP 00:02:00\nINDEX 01 00:00:00\nPOSTGAP 00:01:00\n"
         "FILE C.BIN BINARY\nTRACK 03 AUDIO\nINDEX 00 00:00:00\nINDEX 01 00:00:40\n"},
        {"Mode2RawAnd2336",
         [](const TTempDir& d) {
             d.Write("A.BIN", discdata::Mode2Sectors(400, 150, 5));
             std::string cooked;
             const std::string raw = discdata::Mode2Sectors(200, 0, 6);
             for (std::size_t at = 0; at < raw.size(); at += 2352)
                 cooked += raw.substr(at + 16, 2336);
             d.Write("B.BIN", cooked);
         },
         "FILE A.BIN BINARY\nTRACK 01 MODE2/2352\nINDEX 01 00:00:00\n"
         "FILE B.BIN BINARY\nTRACK 02 MODE2/2336\nPREGAP 00:01:00\nINDEX 01 00:00:00\nPOSTGAP 00:02:00\n"},
        {"CdgIsrcAndCatalogue",
         [](const TTempDir& d) {
             d.Write("G.BIN", discdata::CdgSectors(600, 7));
             d.Write("A.BIN", discdata::RandomBytes(300 * 2352, 8));
         },
         "CATALOG 0123456789012\nFILE G.BIN BINARY\nTRACK 01 CDG\nISRC ABCDE1234567\nINDEX 01 00:00:00\n"
         "FILE A.BIN BINARY\nTRACK 02 AUDIO\nISRC USXYZ9876543\nINDEX 01 00:00:00\n"},
        {"CdTextAndFirstTrackPause",
         [](const TTempDir& d) {
             d.Write("T.CDT", discdata::CdTextBlock(1, 2));
             d.Write("A.BIN", discdata::RandomBytes(500 * 2352, 9));
             d.Write("D.BIN", discdata::RandomBytes(200 * 2048, 10));
         },
         "CDTEXTFILE T.CDT\nFILE A.BIN BINARY\nTRACK 01 AUDIO\nINDEX 00 00:00:00\nINDEX 01 00:02:00\n"
         "FILE D.BIN BINARY\nTRACK 02 MODE1/2048\nPREGAP 00:02:00\nINDEX 01 00:00:00\n"},
        // Text that needs a Latin-1 and a Japanese block.
        {"SheetCdTextInTwoBlocks", [](const TTempDir& d) { d.Write("A.BIN", discdata::RandomBytes(400 * 2352, 17)); },
         "TITLE \"Caf\xC3\xA9\"\nPERFORMER \"\xD0\x90\xD0\xBD\xD0\xB3\xD0\xB5\xD0\xBB\"\nFILE A.BIN BINARY\n"
         "TRACK 01 AUDIO\nTITLE \"\xE5\xA4\x9C\xE3\x81\xAB\"\nINDEX 01 00:00:00\n"
         "TRACK 02 AUDIO\nTITLE \"Two\"\nINDEX 01 00:03:00\n"},
        afterAudio("SessionsDataAfterAudio", "MODE2/2352\nINDEX 01 00:00:00\n",
                   [] { return discdata::Mode2Sectors(300, 12150, 22); }),
        afterAudio("SessionsPregapCommand", "MODE2/2352\nPREGAP 00:02:00\nINDEX 01 00:00:00\n",
                   [] { return discdata::Mode2Sectors(300, 12150, 22); }),
        afterAudio("SessionsPregapInTheFile", "MODE2/2352\nINDEX 00 00:00:00\nINDEX 01 00:02:00\n",
                   [] { return discdata::Mode2Sectors(450, 12000, 22); }),
        afterAudio("SessionsModeOneCooked", "MODE1/2048\nINDEX 01 00:00:00\n",
                   [] { return discdata::RandomBytes(300 * 2048, 22); }),
        {"SessionsPausesInTheFirst",
         [](const TTempDir& d) {
             d.Write("A.BIN", discdata::RandomBytes(300 * 2352, 23));
             d.Write("B.BIN", discdata::RandomBytes(200 * 2352, 24));
             d.Write("C.BIN", discdata::RandomBytes(300 * 2352, 25));
             d.Write("D.BIN", discdata::Mode2Sectors(300, 12350, 26));
         },
         "REM SESSION 01\nFILE A.BIN BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"
         "FILE B.BIN BINARY\nTRACK 02 AUDIO\nINDEX 00 00:00:00\nINDEX 01 00:02:33\n"
         "FILE C.BIN BINARY\nTRACK 03 AUDIO\nINDEX 00 00:00:00\nINDEX 01 00:02:60\n"
         "REM SESSION 02\nFILE D.BIN BINARY\nTRACK 04 MODE2/2352\nINDEX 01 00:00:00\n"},
        {"SessionsEnhancedCd",
         [](const TTempDir& d) {
             d.Write("A.BIN", discdata::RandomBytes(900 * 2352, 31));
             d.Write("D.BIN", discdata::Mode2Sectors(300, 12450, 32));
         },
         "CATALOG 0123456789012\nTITLE \"Album\"\nPERFORMER \"Band\"\nREM SESSION 01\nFILE A.BIN BINARY\n"
         "TRACK 01 AUDIO\nTITLE \"One\"\nISRC ABCDE1234567\nINDEX 01 00:00:00\n"
         "TRACK 02 AUDIO\nTITLE \"Two\"\nINDEX 01 00:04:00\n"
         "TRACK 03 AUDIO\nTITLE \"Three\"\nINDEX 00 00:07:50\nINDEX 01 00:08:00\n"
         "REM SESSION 02\nFILE D.BIN BINARY\nTRACK 04 MODE2/2352\nTITLE \"Extras\"\nINDEX 01 00:00:00\n"},
        // The interleave of the last packs runs into the lead-out, which the set does not hold.
        {"SessionsCdgEndsTheFirst",
         [](const TTempDir& d) {
             d.Write("G.BIN", discdata::CdgSectors(600, 38));
             d.Write("D.BIN", discdata::Mode2Sectors(300, 12150, 39));
         },
         "REM SESSION 01\nFILE G.BIN BINARY\nTRACK 01 CDG\nINDEX 01 00:00:00\n"
         "REM SESSION 02\nFILE D.BIN BINARY\nTRACK 02 MODE2/2352\nINDEX 01 00:00:00\n"},
        {"SessionsThree",
         [](const TTempDir& d) {
             d.Write("A.BIN", discdata::RandomBytes(300 * 2352, 35));
             d.Write("M.BIN", discdata::RandomBytes(200 * 2048, 36));
             d.Write("X.BIN", discdata::Mode2Sectors(200, 18950, 37));
         },
         "REM SESSION 01\nFILE A.BIN BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"
         "REM SESSION 02\nFILE M.BIN BINARY\nTRACK 02 MODE1/2048\nINDEX 01 00:00:00\n"
         "REM SESSION 03\nFILE X.BIN BINARY\nTRACK 03 MODE2/2352\nINDEX 01 00:00:00\n"},
    };
    return discs;
}

class VerifierFixture
{
protected:
    void Convert(const TDisc& disc, TRawPath path = TRawPath::Kernel, const std::string& ccd = "disc.ccd")
    {
        disc.MakeFiles(Dir);
        TLuCueSheet sheet;
        ASSERT_TRUE(sheet.Load(Dir.Write("disc.cue", disc.Cue))) << sheet.ErrorCode;
        TConversionJob job;
        UseRawPath(job, path);
        job.Run(Dir.File(ccd), true, sheet);
        ASSERT_EQ(job.Status.load(), csSucceeded) << job.Error.Text();
        Written = sheet.DiscModel();
    }

    TVerifyReport Verify(std::size_t maxFindings = 50)
    {
        TVerifyJob job;
        job.Run(Ccd(), maxFindings);
        EXPECT_EQ(job.Status.load(), csSucceeded) << job.Error.Text();
        return job.Report;
    }

    std::string Ccd() const { return Dir.File("disc.ccd"); }

    TTempDir Dir;
    TDiscModel Written; // the sheet's disc, as the last Convert wrote it
};

// Each disc every way: copied by the kernel, carried through a pipe, and read by the composer.
class VerifierRoundTripTest : public VerifierFixture, public ::testing::TestWithParam<std::tuple<std::size_t, TRawPath>>
{};

TEST_P(VerifierRoundTripTest, EveryConvertedDiscVerifiesClean)
{
    const auto [index, path] = GetParam();
    const TDisc& disc = Discs()[index];
    Convert(disc, path);
    if (path != TRawPath::Read)
    {
        Convert(disc, TRawPath::Read, "read.ccd");
        for (const char* ext : {".ccd", ".img", ".sub"})
            EXPECT_EQ(TTempDir::ReadAll(Dir.File(std::string("disc") + ext)),
                      TTempDir::ReadAll(Dir.File(std::string("read") + ext)))
                << ext;
    }
    const TVerifyReport report = Verify();
    EXPECT_EQ(report.Problems, 0) << BuildVerifyText(report);
    EXPECT_TRUE(report.LibCryptLbas.empty());
    EXPECT_EQ(report.Sectors, static_cast<std::int64_t>(fs::file_size(Dir.File("disc.img")) / 2352));
    std::int64_t sum = 0;
    for (const TTrackReport& t : report.Tracks)
        sum += t.Sectors;
    EXPECT_EQ(sum, report.Sectors);
    TCcdDisc ccd;
    const TError error = ReadCcdFile(Ccd(), ccd);
    ASSERT_FALSE(error) << error.Text();
    EXPECT_TRUE(ccd.Model == Written) << "the control file reads back as the disc the sheet made";
    if (std::string(disc.Name) == "CdTextAndFirstTrackPause")
    {
        EXPECT_GT(ccd.Model.CdText.size(), 3u) << "the CD-TEXT packs were checked";
    }
}

INSTANTIATE_TEST_SUITE_P(Discs, VerifierRoundTripTest,
                         ::testing::Combine(::testing::Range<std::size_t>(0, Discs().size()),
                                            ::testing::ValuesIn(RAW_PATHS)),
                         [](const auto& param) {
                             return std::string(Discs()[std::get<0>(param.param)].Name) +
                                    RawPathName(std::get<1>(param.param));
                         });

// A random disc of sound sources: track types, files shared by tracks, gaps, indexes, flags, codes
// and text lines, each drawn from seed. Returns the sheet; the data files go into d.
std::string RandomDisc(const TTempDir& d, std::uint32_t seed)
{
    std::mt19937 rng(seed);
    const auto pick = [&rng](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    struct TType
    {
        const char* Name;
        std::function<std::string(int, std::uint32_t)> Data;
    };
    const TType types[] = {
        {"AUDIO", [](int n, std::uint32_t k) { return discdata::RandomBytes(std::size_t(n) * 2352, k); }},
        {"MODE1/2048", [](int n, std::uint32_t k) { return discdata::RandomBytes(std::size_t(n) * 2048, k); }},
        {"MODE1/2352", [](int n, std::uint32_t k) { return discdata::RandomBytes(std::size_t(n) * 2352, k); }},
        {"MODE2/2352", [](int n, std::uint32_t k) { return discdata::Mode2Sectors(n, 0, k); }},
        {"MODE2/2336",
         [](int n, std::uint32_t k) {
             const std::string raw = discdata::Mode2Sectors(n, 0, k);
             std::string cooked;
             for (std::size_t at = 0; at < raw.size(); at += 2352)
                 cooked += raw.substr(at + 16, 2336);
             return cooked;
         }},
        {"CDG", [](int n, std::uint32_t k) { return discdata::CdgSectors(n, k); }},
    };
    std::string cue = pick(3) == 0 ? "CATALOG 0123456789012\n" : "";
    if (pick(2) == 0)
        cue.append("TITLE \"Disc ").append(std::to_string(seed)).append("\"\n");
    const int tracks = 1 + pick(5);
    // One disc in three has sessions: a track may open the next one, with gap lengths of its own.
    const bool sessions = pick(3) == 0;
    int session = 1;
    if (sessions)
        cue += "REM SESSION 01\n";
    for (int t = 1; t <= tracks; ++t)
    {
        if (sessions && t > 1 && pick(2) == 0)
        {
            if (pick(2) == 0)
                cue += "REM LEAD-OUT 00:45:00\n";
            char opens[96];
            std::snprintf(opens, sizeof opens, "REM SESSION %02d\n%s", ++session,
                          pick(2) == 0 ? "REM LEAD-IN 00:40:00\nREM PREGAP 00:03:00\n" : "");
            cue += opens;
        }
        const TType& type = types[pick(6)];
        const int sectors = 1 + pick(400);
        const std::string file = std::string(1, 'T').append(std::to_string(t)).append(".BIN");
        d.Write(file, type.Data(sectors, seed * 100 + static_cast<std::uint32_t>(t)));
        char line[96];
        std::snprintf(line, sizeof line, "FILE %s BINARY\nTRACK %02d %s\n", file.c_str(), t, type.Name);
        cue += line;
        if (pick(3) == 0)
            cue += "FLAGS DCP\n";
        if (pick(3) == 0)
            cue.append("ISRC ABCDE").append(std::to_string(1000000 + pick(9000000))).append("\n");
        if (t > 1 && pick(3) == 0)
        {
            std::snprintf(line, sizeof line, "PREGAP 00:%02d:%02d\n", pick(3), 10 + pick(60));
            cue += line;
        }
        if (pick(2) == 0)
            cue.append("TITLE \"Track ").append(std::to_string(t)).append("\"\n");
        // INDEX 00 at the file's start, INDEX 01 and 02 within the file.
        const int index1 = sectors > 2 && pick(3) == 0 ? 1 + pick(sectors / 2) : 0;
        if (index1 > 0)
            cue += "INDEX 00 00:00:00\n";
        std::snprintf(line, sizeof line, "INDEX 01 00:%02d:%02d\n", index1 / 75, index1 % 75);
        cue += line;
        if (sectors - index1 > 2 && pick(4) == 0)
        {
            const int index2 = index1 + 1 + pick(sectors - index1 - 1);
            std::snprintf(line, sizeof line, "INDEX 02 00:%02d:%02d\n", index2 / 75, index2 % 75);
            cue += line;
        }
        if (std::string(type.Name) != "AUDIO" && pick(4) == 0)
            cue += "POSTGAP 00:01:00\n";
    }
    return cue;
}

// The sheet with the TOC entries a dumping tool adds to such a disc, as REM TOC-ENTRY lines: each B0
// with the medium's capacity as its P-time, and a C0 in the first session. Empty when the sheet has
// no B0 to describe.
std::string WithDumpedTocEntries(const TTempDir& d, const std::string& cue)
{
    TLuCueSheet sheet;
    if (!sheet.Load(d.Write("plain.cue", cue)))
        return {};
    std::string lines;
    char line[192];
    for (const TTocEntry& e : sheet.Model().Toc)
        if (e.Point == POINT_NEXT_SESSION)
        {
            std::snprintf(line, sizeof line,
                          "REM TOC-ENTRY Session=%d Point=0xb0 ADR=0x05 Control=0x00 TrackNo=0 AMin=%d ASec=%d "
                          "AFrame=%d Zero=%d PMin=79 PSec=59 PFrame=74\n",
                          e.Session, e.A.Minute, e.A.Second, e.A.Frame, e.Zero);
            lines += line;
        }
    if (lines.empty())
        return {};
    return lines +
           "REM TOC-ENTRY Session=1 Point=0xc0 ADR=0x05 Control=0x00 TrackNo=0 AMin=0 ASec=0 AFrame=0 Zero=0 "
           "PMin=97 PSec=27 PFrame=0\n" +
           cue;
}

// The promise of a successful run: every set that converts from sound sources verifies sound,
// whichever way the audio travels.
TEST(VerifierPropertyTest, EveryGeneratedDiscThatConvertsVerifiesSound)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    int converted = 0;
    for (std::uint32_t seed = 1; seed <= 150 && std::chrono::steady_clock::now() < until; ++seed)
    {
        TTempDir dir;
        std::string cue = RandomDisc(dir, seed);
        if (seed % 2 == 0)
        {
            const std::string dumped = WithDumpedTocEntries(dir, cue);
            if (!dumped.empty())
                cue = dumped;
        }
        SCOPED_TRACE(cue);
        TLuCueSheet sheet;
        if (!sheet.Load(dir.Write("disc.cue", cue)))
            continue;
        TConversionJob job;
        UseRawPath(job, RAW_PATHS[seed % RAW_PATHS.size()]);
        job.Run(dir.File("disc.ccd"), true, sheet);
        if (job.Status.load() != csSucceeded)
            continue;
        ++converted;
        TVerifyJob verify;
        verify.Run(dir.File("disc.ccd"), 5);
        ASSERT_EQ(verify.Status.load(), csSucceeded) << verify.Error.Text();
        EXPECT_EQ(verify.Report.Problems, 0) << BuildVerifyText(verify.Report);
    }
    EXPECT_GE(converted, 5) << "too few generated discs converted to show anything";
}

// One disc with every kind of sector; each case damages a fresh copy in one place.
class VerifierDamageTest : public VerifierFixture, public ::testing::Test
{
protected:
    void SetUp() override
    {
        const TDisc disc = {"Mixed",
                            [](const TTempDir& d) {
                                d.Write("D.BIN", discdata::RandomBytes(300 * 2048, 11));
                                d.Write("X.BIN", discdata::Mode2Sectors(300, 0, 12));
                                d.Write("G.BIN", discdata::CdgSectors(300, 13));
                                d.Write("A.BIN", discdata::RandomBytes(200 * 2352, 14));
                            },
                            "CATALOG 0123456789012\n"
                            "FILE D.BIN BINARY\nTRACK 01 MODE1/2048\nINDEX 01 00:00:00\n"
                            "FILE X.BIN BINARY\nTRACK 02 MODE2/2352\nINDEX 01 00:00:00\n"
                            "FILE G.BIN BINARY\nTRACK 03 CDG\nISRC ABCDE1234567\nINDEX 01 00:00:00\n"
                            "FILE A.BIN BINARY\nTRACK 04 AUDIO\nINDEX 01 00:00:00\n"};
        Convert(disc);
        Img = TTempDir::ReadAll(Dir.File("disc.img"));
        Sub = TTempDir::ReadAll(Dir.File("disc.sub"));
        CcdText = TTempDir::ReadAll(Ccd());
    }

    void Store()
    {
        Dir.Write("disc.img", Img);
        Dir.Write("disc.sub", Sub);
        Dir.Write("disc.ccd", CcdText);
    }

    std::uint8_t* Q(std::int32_t lba) { return reinterpret_cast<std::uint8_t*>(Sub.data()) + 96 * lba + 12; }

    // Rewrites the CRC, so that only the content is wrong.
    void FixCrc(std::int32_t lba)
    {
        const std::uint16_t crc = oracle::QCrc(Q(lba), 10);
        Q(lba)[10] = static_cast<std::uint8_t>(crc >> 8);
        Q(lba)[11] = static_cast<std::uint8_t>(crc);
    }

    std::int32_t FirstFrame(int adr, std::int32_t from)
    {
        for (std::int32_t lba = from; lba < static_cast<std::int32_t>(Sub.size() / 96); ++lba)
            if ((Q(lba)[0] & 0x0F) == adr)
                return lba;
        ADD_FAILURE() << "no Q frame of mode " << adr;
        return from;
    }

    std::string Img, Sub, CcdText;
};

TEST_F(VerifierDamageTest, EachDamageIsFoundAtItsAddressWithItsKind)
{
    EXPECT_EQ(Verify().Problems, 0) << BuildVerifyText(Verify());
    const std::int32_t sectors = static_cast<std::int32_t>(Img.size() / 2352);
    const auto flip = [](std::string& s, std::size_t at, int bit = 0) {
        s[at] = static_cast<char>(s[at] ^ (1 << bit));
    };
    const auto imgAt = [](std::int32_t lba, std::size_t byte) { return std::size_t(lba) * 2352 + byte; };
    struct TCase
    {
        const char* What;
        std::function<void()> Damage;
        TFindingKind Kind;
        std::int32_t Lba;
    };
    const std::vector<TCase> cases = {
        {"Mode 1 user byte", [&] { flip(Img, imgAt(10, 100)); }, fkEdc, 10},
        {"Mode 1 EDC", [&] { flip(Img, imgAt(11, 2065), 3); }, fkEdc, 11},
        {"ECC P parity", [&] { flip(Img, imgAt(12, 2100)); }, fkEccP, 12},
        {"ECC Q parity", [&] { flip(Img, imgAt(13, 2300), 7); }, fkEccQ, 13},
        {"Mode 2 form 1 byte", [&] { flip(Img, imgAt(303, 500)); }, fkEdc, 303},
        {"header address", [&] { flip(Img, imgAt(20, 14)); }, fkHeader, 20},
        {"sync byte", [&] { flip(Img, imgAt(21, 5)); }, fkSync, 21},
        {"Q CRC", [&] { flip(Sub, 96 * 30 + 12 + 10); }, fkQCrc, 30},
        {"Q absolute time",
         [&] {
             const std::int32_t at = FirstFrame(1, 40);
             flip(Sub, 96 * std::size_t(at) + 12 + 8, 4);
             FixCrc(at);
         },
         fkQPosition, FirstFrame(1, 40)},
        {"ISRC text",
         [&] {
             const std::int32_t at = FirstFrame(3, 600);
             flip(Sub, 96 * std::size_t(at) + 12 + 5, 0);
             FixCrc(at);
         },
         fkQIsrc, FirstFrame(3, 600)},
        // Recorded R-W symbol 0 of a sector's first pack is its own: no interleave delay.
        {"CD+G pack", [&] { flip(Sub, 96 * 700 + 24, 7); }, fkRwParity, 700},
        {".sub one record short", [&] { Sub.resize(Sub.size() - 96); }, fkFile, sectors - 1},
        {".img one byte short", [&] { Img.pop_back(); }, fkFile, sectors - 1},
        {"PLBA of A2",
         [&] {
             const std::size_t at = CcdText.find("PLBA=" + std::to_string(sectors));
             ASSERT_NE(at, std::string::npos);
             CcdText.replace(at, 5 + std::to_string(sectors).size(), "PLBA=" + std::to_string(sectors + 1));
         },
         fkToc, -1},
        {"[TRACK 4] dropped",
         [&] {
             const std::size_t at = CcdText.find("[TRACK 4]");
             ASSERT_NE(at, std::string::npos);
             CcdText.erase(at);
         },
         fkToc, -1},
    };
    const std::string img = Img, sub = Sub, ccd = CcdText;
    for (const TCase& c : cases)
    {
        SCOPED_TRACE(c.What);
        Img = img;
        Sub = sub;
        CcdText = ccd;
        c.Damage();
        Store();
        const TVerifyReport report = Verify();
        ASSERT_FALSE(report.Findings.empty());
        EXPECT_EQ(report.Findings.front().Kind, c.Kind) << BuildVerifyText(report);
        EXPECT_EQ(report.Findings.front().Lba, c.Lba) << BuildVerifyText(report);
        EXPECT_LE(report.Problems, 2) << BuildVerifyText(report);
    }
}

TEST_F(VerifierDamageTest, FindingsAreCappedButAllAreCounted)
{
    for (std::int32_t lba = 0; lba < 30; ++lba)
        Sub[96 * std::size_t(lba) + 22] ^= 1;
    Store();
    const TVerifyReport report = Verify(5);
    EXPECT_EQ(report.Problems, 30);
    ASSERT_EQ(report.Findings.size(), 5u);
    EXPECT_EQ(report.Findings[4].Lba, 4);
    EXPECT_EQ(report.Tracks[0].QCrc, 30);
    EXPECT_NE(BuildVerifyText(report).find("Problems found: 30 (the first 5 follow)"), std::string::npos);
    EXPECT_NE(BuildVerifyJson(report).find("\"q_crc_errors\": 30"), std::string::npos);
}

// The LibCrypt frames: bad CRCs at the documented places of track 1 of a Mode 2 disc.
TEST_F(VerifierDamageTest, ProtectionFramesAreNamedOnModeTwoDiscsOnly)
{
    TDisc disc = {"Psx", [](const TTempDir& d) { d.Write("X.BIN", discdata::Mode2Sectors(16200, 150, 15)); },
                  "FILE X.BIN BINARY\nTRACK 01 MODE2/2352\nINDEX 01 00:00:00\n"};
    Convert(disc);
    Sub = TTempDir::ReadAll(Dir.File("disc.sub"));
    for (const std::int32_t address : {14105, 14110, 16167})
        Sub[96 * std::size_t(address - 150) + 22] ^= 0x40;
    Sub[96 * std::size_t(14106 - 150) + 22] ^= 0x40; // next to one, not one of them
    Dir.Write("disc.sub", Sub);
    const TVerifyReport report = Verify();
    EXPECT_EQ(report.LibCryptLbas, (std::vector<std::int32_t>{13955, 13960, 16017}));
    EXPECT_EQ(report.Problems, 1);
    EXPECT_NE(BuildVerifyText(report).find("LibCrypt-style protection frames: 3"), std::string::npos);
}

// A side-car beside the set: its frames against the protection frames the .sub holds.
TEST_F(VerifierDamageTest, ASideCarBesideTheSetIsComparedWithTheProtectionFrames)
{
    using namespace sidecar;
    TDisc disc = {"Psx", [](const TTempDir& d) { d.Write("X.BIN", discdata::Mode2Sectors(16200, 150, 15)); },
                  "FILE X.BIN BINARY\nTRACK 01 MODE2/2352\nINDEX 01 00:00:00\n"};
    Convert(disc);
    Sub = TTempDir::ReadAll(Dir.File("disc.sub"));
    std::copy(MEDIEVIL_LSD.begin(), MEDIEVIL_LSD.end(), Q(MEDIEVIL_RECORD));
    Q(13960)[10] ^= 0x40;
    Dir.Write("disc.sub", Sub);
    TFrame second;
    std::copy_n(Q(13960), 12, second.begin());

    Dir.Write("disc.lsd", MedievilLsd() + LsdRecord({0x03, 0x08, 0x10}, second));
    TVerifyReport report = Verify();
    EXPECT_EQ(report.SideCar, Dir.File("disc.lsd"));
    EXPECT_EQ(report.SideCarListed, 2);
    EXPECT_EQ(report.SideCarMatched, 2);
    EXPECT_EQ(report.Problems, 0) << BuildVerifyText(report);
    EXPECT_NE(BuildVerifyText(report).find(
                  "lists 2 frames: matching 2, differing 0, not in the set 0; protection frames it leaves out 0"),
              std::string::npos)
        << BuildVerifyText(report);

    // Another byte 7 at the first, the second left out, one where the set's frame is intact.
    fs::remove(Dir.File("disc.lsd"));
    std::string sbi = MedievilSbi() + Bytes({0x03, 0x35, 0x42, 0x03, 0x03, 0x35, 0x42});
    sbi[4 + 4 + 7] ^= 1;
    Dir.Write("disc.sbi", sbi);
    report = Verify();
    EXPECT_EQ(report.SideCarListed, 2);
    EXPECT_EQ(report.SideCarMatched, 0);
    EXPECT_EQ(report.SideCarDiffering, 1);
    EXPECT_EQ(report.SideCarAbsent, 1);
    EXPECT_EQ(report.SideCarUnlisted, 1);
    ASSERT_EQ(report.Findings.size(), 3u) << BuildVerifyText(report);
    for (const TFinding& f : report.Findings)
        EXPECT_EQ(f.Kind, fkSideCar) << f.Text;
    EXPECT_EQ(report.Findings[0].Lba, MEDIEVIL_RECORD);
    EXPECT_NE(report.Findings[0].Text.find("disc.sbi lists bytes 0-9 as"), std::string::npos)
        << report.Findings[0].Text;
    EXPECT_EQ(report.Findings[1].Lba, 13960);
    EXPECT_EQ(report.Findings[2].Lba, 16017);
    EXPECT_NE(BuildVerifyJson(report).find("\"unlisted\": 1"), std::string::npos);

    Dir.Write("disc.sbi", "SBI");
    report = Verify();
    ASSERT_EQ(report.Findings.size(), 1u);
    EXPECT_EQ(report.Findings[0].Kind, fkSideCar);
    EXPECT_NE(report.Findings[0].Text.find("disc.sbi: the header"), std::string::npos) << report.Findings[0].Text;

    fs::remove(Dir.File("disc.sbi"));
    report = Verify();
    EXPECT_TRUE(report.SideCar.empty());
    EXPECT_EQ(report.SideCarMatched, -1);
    EXPECT_EQ(BuildVerifyJson(report).find("side_car"), std::string::npos);
}

// An image shorter than its control file: the header and the problems count it alike, the table counts
// what it holds, and the tracks past its end are marked.
TEST_F(VerifierDamageTest, AShortImageIsCountedAlikeEverywhere)
{
    const std::int32_t cut = Verify().Tracks.at(1).FirstLba + 10;
    for (const std::size_t partial : {std::size_t(0), std::size_t(100)})
    {
        SCOPED_TRACE(partial);
        Img.resize(std::size_t(cut) * 2352 + partial);
        Store();
        const TVerifyReport report = Verify();
        const std::string text = BuildVerifyText(report);
        const std::string extent = std::to_string(cut) + (partial ? " whole sectors and a partial one" : " sectors");
        EXPECT_NE(text.find(extent + " (" + FramesToStr(cut) + "), 4 tracks\n"), std::string::npos) << text;
        EXPECT_NE(text.find("the image holds " + extent + "\n"), std::string::npos) << text;
        EXPECT_EQ(text.find(std::to_string(cut + 1) + " sectors"), std::string::npos) << text;
        ASSERT_EQ(report.Tracks.size(), 4u);
        EXPECT_EQ(report.Tracks[1].Sectors, 10);
        for (const TTrackReport& t : {report.Tracks[2], report.Tracks[3]})
        {
            EXPECT_FALSE(t.InImage);
            EXPECT_EQ(t.Sectors, 0);
        }
        EXPECT_NE(text.find(std::to_string(report.Tracks[3].FirstLba) + "         -  not in the image\n"),
                  std::string::npos)
            << text;
    }
}

// The conversion applies a side-car's frames wherever they lie; there they are protection frames too.
TEST_F(VerifierDamageTest, ASideCarFrameAwayFromTheUsualAddressesMatches)
{
    using namespace sidecar;
    TDisc disc = {"Psx", [](const TTempDir& d) { d.Write("X.BIN", discdata::Mode2Sectors(6000, 150, 15)); },
                  "FILE X.BIN BINARY\nTRACK 01 MODE2/2352\nINDEX 01 00:00:00\n"};
    Convert(disc);
    Sub = TTempDir::ReadAll(Dir.File("disc.sub"));
    const std::int32_t lba = 5000; // 01:08:50
    Q(lba)[10] ^= 0x40;
    Dir.Write("disc.sub", Sub);
    Dir.Write("disc.sbi",
              SBI_HEADER + Bytes({0x01, 0x08, 0x50, 0x01}) + std::string(reinterpret_cast<char*>(Q(lba)), 10));
    const TVerifyReport report = Verify();
    EXPECT_EQ(report.SideCarMatched, 1);
    EXPECT_EQ(report.LibCryptLbas, std::vector<std::int32_t>{lba});
    EXPECT_EQ(report.Problems, 0) << BuildVerifyText(report);
}

// A two-session disc: session 2 at LBA 12000, at place 600 of the files. Each case damages a fresh copy.
TEST_F(VerifierDamageTest, DamagedSessionsAreReportedWithTheirEntries)
{
    Convert(*std::find_if(Discs().begin(), Discs().end(),
                          [](const TDisc& d) { return std::string(d.Name) == "SessionsModeOneCooked"; }));
    const std::string img = TTempDir::ReadAll(Dir.File("disc.img")), sub = TTempDir::ReadAll(Dir.File("disc.sub")),
                      ccd = TTempDir::ReadAll(Ccd());
    // Sets key in [Entry n], or in [TRACK -n].
    const auto set = [this](int n, const std::string& key, const std::string& value) {
        const std::string section = n < 0 ? "[TRACK " + std::to_string(-n) + "]" : "[Entry " + std::to_string(n) + "]";
        const std::size_t begin = CcdText.find("\n" + key + "=", CcdText.find(section)) + key.size() + 2;
        CcdText.replace(begin, CcdText.find_first_of("\r\n", begin) - begin, value);
    };
    const auto replaceAll = [this](const std::string& from, const std::string& to) {
        for (std::size_t i = CcdText.find(from); i != std::string::npos; i = CcdText.find(from, i + to.size()))
            CcdText.replace(i, from.size(), to);
    };
    const std::vector<std::tuple<std::function<void()>, TFindingKind, std::int32_t, const char*>> cases = {
        {[&] { set(8, "PLBA", "12001"); }, fkToc, -1, "PLBA 12001 disagrees with PMin/PSec/PFrame"},
        {[&] { set(7, "Point", "0xa3"); }, fkToc, -1, "the TOC of session 2 lacks the A2 point"},
        {[&] { replaceAll("Session=2", "Session=1"); }, fkToc, -1, "session 2 lists no track"},
        {[&] { replaceAll("Sessions=2", "Sessions=1"); }, fkToc, -1, "[Entry 5]: session 2, but [Disc] Sessions is 1"},
        {[&] { set(3, "Point", "0xb1"); }, fkToc, -1, "the TOC of session 1 lacks the B0 point"},
        {[&] { set(3, "AMin", "3"); }, fkToc, -1, "B0 of session 1 starts the next session at 03:"},
        {[&] { set(3, "ADR", "0x01"); }, fkToc, -1, "has ADR 1 where B0 has 5"},
        {[&] { set(3, "PMin", "0"); }, fkToc, -1, "gives 00:46:00 as the disc's last lead-out"},
        {[&] { set(3, "PMin", "100"); }, fkToc, -1, "gives 100:46:00 as the disc's last lead-out, past the 99:59:74"},
        {[&] { set(3, "PMin", "79"), set(3, "PSec", "59"), set(3, "PFrame", "74"); }, fkToc, -1, ""}, // as dumped
        {[&] { set(0, "ADR", "0x05"); }, fkToc, -1, "[Entry 0]: ADR 5 where A0 has 1"},
        {[&] { set(4, "Point", "0x02"); }, fkToc, -1, "[Entry 8]: track 2 is of session 1, not session 2"},
        {[&] { set(6, "PMin", "1"); }, fkToc, -1, "A1 names 1 as the last track, the TOC of session 2 ends with 2"},
        {[&] {
             for (const auto& [key, value] : {std::pair{"PMin", "0"}, {"PSec", "10"}, {"PFrame", "0"}, {"PLBA", "600"}})
                 set(8, key, value);
             set(-2, "INDEX 1", "600");
         },
         fkToc, -1, "track 2 starts session 2 at LBA 600, before the lead-out of session 1"},
        {[&] { Img.append(2352, '\0'), Sub.append(96, '\0'); }, fkToc, -1,
         "the program areas of the 2 sessions hold 900 sectors but the image holds 901"},
        {[&] { Sub[96 * 700 + 20] ^= 0x10, FixCrc(700); }, fkQPosition, 12100, "absolute time"},
        {[&] { Img[2352 * 650 + 14] ^= 1; }, fkHeader, 12050, "header address"},
        {[&] { Sub[96 * 700 + 24] = static_cast<char>(Sub[96 * 700 + 24] ^ 0x80); }, fkRwParity, 12100, "R-W pack 0"},
        {[&] { Sub.resize(Sub.size() - 96); }, fkFile, 12299, "(no subchannel from LBA 12299 on)"},
    };
    for (const auto& [damage, kind, lba, text] : cases)
    {
        SCOPED_TRACE(text);
        Img = img, Sub = sub, CcdText = ccd;
        damage();
        Store();
        const TVerifyReport report = Verify();
        EXPECT_EQ(report.Problems == 0, *text == '\0') << BuildVerifyText(report);
        EXPECT_TRUE(!*text || std::any_of(report.Findings.begin(), report.Findings.end(), [&](const TFinding& f) {
            return f.Kind == kind && f.Lba == lba && f.Text.find(text) != std::string::npos;
        })) << BuildVerifyText(report);
    }
}

TEST(VerifierFailureTest, UnreadableSetsFailWithTheFileAndReason)
{
    TTempDir dir;
    TVerifyJob job;
    job.Run(dir.File("none.ccd"));
    EXPECT_EQ(job.Status.load(), csFailed);
    EXPECT_NE(job.Error.Text().find("none.ccd"), std::string::npos) << job.Error.Text();

    dir.Write("bad.ccd", "[CloneCD]\nVersion=3\n[Disc]\nTocEntries\n");
    TVerifyJob bad;
    bad.Run(dir.File("bad.ccd"));
    EXPECT_EQ(bad.Status.load(), csFailed);
    EXPECT_NE(bad.Error.Text().find("bad.ccd:4:"), std::string::npos) << bad.Error.Text();
    EXPECT_EQ(bad.Error.Line, 4u); // the line stays a number for a front end that marks it

    dir.Write("noimg.ccd", "[CloneCD]\nVersion=3\n[Disc]\nTocEntries=0\n");
    TVerifyJob noImg;
    noImg.Run(dir.File("noimg.ccd"));
    EXPECT_EQ(noImg.Status.load(), csFailed);
    EXPECT_NE(noImg.Error.Text().find("noimg.img"), std::string::npos) << noImg.Error.Text();
}

TEST(CcdReaderTest, MalformedFilesGiveTheLineAndReason)
{
    const std::string head = "[CloneCD]\nVersion=3\n[Disc]\nTocEntries=1\n";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {head + "Sessions\n", "x.ccd:5: \"Sessions\" is neither"},
        {"[Disc]\nTocEntries=0\n", "x.ccd:2: the [CloneCD] section is missing"},
        {"[CloneCD]\nVersion=3\n", "x.ccd:2: the [Disc] section is missing"},
        {head + "[Entry 0]\nPoint=0xA0\nControl=0x04\nADR=1\nPMin=1\nPSec=99\nPFrame=0\nAFrame=75\n",
         "x.ccd:12: AFrame 75 is out of range (0 to 74)"},
        {head + "[Entry 0]\nPoint=0x1FF\n", "x.ccd:6: Point 511 is out of range"},
        {head + "[Entry 0]\nPoint=1\n", "x.ccd:5: [Entry 0] has no control"},
        {head + "[TRACK 100]\n", "x.ccd:5: track number 100 is out of range"},
        {head + "[TRACK 1]\nMODE=abc\n", "x.ccd:6: MODE \"abc\" is not a number"},
        {head + "[TRACK 1]\nMODE=1\nMODE=1\n", "x.ccd:7: the key \"MODE\" appears twice"},
        {head + "[disc]\n", "x.ccd:5: the section \"disc\" appears twice"},
        {head + "[CDText]\nEntries=1\nEntry 0=00 11\n", "x.ccd:7: CD-TEXT Entry 0 is not 16 hexadecimal bytes"},
        {head + "[CDText]\nEntries=2\nEntry 0=80 00 00 00 41 42 43 00 00 00 00 00 00 00 00 00\n",
         "x.ccd:5: [CDText] has no Entry 1"},
        {"Version=3\n", "x.ccd:1: a key before the first section"},
        {std::string("\x7f"
                     "ELF\x02\x01\x01\0\0",
                     9),
         "x.ccd:1: the file holds binary data"},
    };
    for (const auto& [text, want] : cases)
    {
        TCcdDisc disc;
        const TError error = ParseCcdText(text, "x.ccd", disc);
        EXPECT_TRUE(error) << text;
        EXPECT_EQ(error.Text().substr(0, want.size()), want) << text;
    }
    // 10 MB of garbage, no line ends.
    TCcdDisc disc;
    const std::string error = ParseCcdText(discdata::RandomBytes(10u << 20, 16), "x.ccd", disc).Text();
    EXPECT_EQ(error.rfind("x.ccd:1: ", 0), 0u) << error.substr(0, 100);
}

TEST(CcdReaderTest, ReadsWhatOtherToolsWrite)
{
    // A byte order mark, LF line ends, lower-case names, hex and negative numbers, unknown keys and sections.
    const std::string text =
        "\xEF\xBB\xBF[CloneCD]\nVersion=3\n[Disc]\nTocEntries=1\nSessions=1\nCATALOG=0123456789012\n"
        "[Session 1]\nPreGapMode=2\nPreGapSubC=1\n[entry 0]\nSession=1\nPoint=0xa0\nADR=0x01\n"
        "Control=0x04\nTrackNo=0\nAMin=0\nASec=0\nAFrame=0\nALBA=-150\nZero=0\nPMin=1\nPSec=32\n"
        "PFrame=0\nPLBA=-1\n[TRACK 1]\nMODE=2\nINDEX 1=0\nFLAGS=DCP\n[Extra]\nAnything=at all\n";
    TCcdDisc disc;
    const TError error = ParseCcdText(text, "x.ccd", disc);
    ASSERT_FALSE(error) << error.Text();
    ASSERT_EQ(disc.Entries.size(), 1u);
    EXPECT_EQ(disc.Entries[0].Point, 0xA0);
    EXPECT_EQ(disc.Entries[0].ALba, -150);
    EXPECT_EQ(disc.Entries[0].PSec, 32);
    ASSERT_EQ(disc.Model.Sessions.size(), 1u);
    ASSERT_EQ(disc.Model.Sessions[0].Tracks.size(), 1u);
    EXPECT_EQ(disc.Model.Sessions[0].Tracks[0].Mode, 2);
    EXPECT_EQ(disc.Model.Catalog, "0123456789012");
}

} // namespace

// The JSON report for programs: its schema version, a fixed code beside each display name, and names
// that are not UTF-8 kept apart by their bytes' escapes.
TEST(VerifyJsonTest, FormatKindCodesAndEscapedNames)
{
    TVerifyReport report;
    report.CcdPath = "caf\xE9/disc.ccd";
    report.ImgPath = "\xF0\x9F\x8E\xB5 \xC3\xA9.img";
    report.SubPath = "\xED\xA0\x80\xC3.sub";
    const std::tuple<TFindingKind, const char*, const char*> kinds[] = {{fkQCrc, "q_crc", "Q CRC"},
                                                                        {fkEccP, "ecc_p", "ECC P"},
                                                                        {fkCdText, "cd_text", "CD-TEXT"},
                                                                        {fkSideCar, "side_car", "side-car"},
                                                                        {fkQCatalog, "q_catalogue", "Q catalogue"}};
    for (const auto& [kind, code, text] : kinds)
        report.Findings.push_back({kind, 7, "x"});
    const auto json = nlohmann::ordered_json::parse(BuildVerifyJson(report));
    EXPECT_EQ(json.begin().key(), "format");
    EXPECT_EQ(json["format"], 1);
    EXPECT_EQ(json["ccd"], "caf\\xE9/disc.ccd");
    EXPECT_EQ(json["img"], report.ImgPath);
    EXPECT_EQ(json["sub"], "\\xED\\xA0\\x80\\xC3.sub");
    for (std::size_t i = 0; i < std::size(kinds); ++i)
    {
        EXPECT_EQ(json["findings"][i]["kind"], std::get<1>(kinds[i]));
        EXPECT_EQ(json["findings"][i]["kind_text"], std::get<2>(kinds[i]));
    }
    std::set<std::string> codes;
    for (int kind = fkFile; kind <= fkSideCar; ++kind)
        codes.insert(FindingKindCode(static_cast<TFindingKind>(kind)));
    EXPECT_EQ(codes.size(), std::size_t(fkSideCar) + 1);
}
