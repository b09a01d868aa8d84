// SPDX-License-Identifier: GPL-3.0-or-later
// End-to-end tests: sarvex-cli runs as its own process on small generated discs, and the output
// files are checked against values worked out here by hand or with the plain codes of ImageOracle.
#include "support/Audio.h"
#include "support/BitCrc.h"
#include "support/CdTextFile.h"
#include "support/CliProcess.h"
#include "support/Controlfile.h"
#include "support/ImageOracle.h"
#include "support/Pattern.h"
#include "support/TempDir.h"
#include "support/Wave.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// 44,100 Hz, 16-bit, stereo PCM.
std::string Wave(const std::string& pcm)
{
    TWaveLayout layout;
    layout.Data = pcm;
    return MakeWave(layout);
}

const std::uint8_t* At(const std::string& data, std::size_t offset)
{
    return reinterpret_cast<const std::uint8_t*>(data.data()) + offset;
}

bool AllZero(const std::uint8_t* p, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i)
        if (p[i] != 0)
            return false;
    return true;
}

using ccdtext::ParseCcd;
using ccdtext::TCcd;

// The text without the blank lines that may separate sections.
std::string WithoutBlankLines(const std::string& text)
{
    std::string result;
    std::size_t start = 0;
    while (start < text.size())
    {
        std::size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        const std::string line = text.substr(start, end - start);
        if (line != "\r\n" && line != "\n")
            result += line;
        start = end;
    }
    return result;
}

std::string TocEntry(int k, const char* point, int control, int pMin, int pSec, int pFrame)
{
    std::ostringstream s;
    s << "[Entry " << k << "]\r\nSession=1\r\nPoint=" << point << "\r\nADR=0x01\r\nControl=0x0" << control
      << "\r\nTrackNo=0\r\nAMin=0\r\nASec=0\r\nAFrame=0\r\nALBA=-150\r\nZero=0\r\nPMin=" << pMin << "\r\nPSec=" << pSec
      << "\r\nPFrame=" << pFrame << "\r\nPLBA=" << (pMin * 60 + pSec) * 75 + pFrame - 150 << "\r\n";
    return s.str();
}

struct TImage
{
    std::string Ccd;
    std::string Img;
    std::string Sub;
};

TImage ReadImage(const TTempDir& dir, const std::string& base)
{
    return {TTempDir::ReadAll(dir.File(base + ".ccd")), TTempDir::ReadAll(dir.File(base + ".img")),
            TTempDir::ReadAll(dir.File(base + ".sub"))};
}

// Q CRC of every record; returns the Q frame of the record of address a (absolute).
std::array<std::uint8_t, 12> QFrame(const TImage& image, int a)
{
    return oracle::Channel(At(image.Sub, std::size_t(a - 150) * oracle::RECORD), 1);
}

void ExpectValidQ(const TImage& image)
{
    const std::size_t records = image.Sub.size() / oracle::RECORD;
    for (std::size_t i = 0; i < records; ++i)
    {
        const auto q = QFrame(image, int(i) + 150);
        ASSERT_EQ(oracle::QCrc(q.data(), 10), q[10] << 8 | q[11]) << "address " << i + 150;
    }
}

std::uint8_t PFlag(const TImage& image, int a)
{
    const auto p = oracle::Channel(At(image.Sub, std::size_t(a - 150) * oracle::RECORD), 0);
    for (std::uint8_t b : p)
        EXPECT_EQ(b, p[0]) << "P frame mixes bits at address " << a;
    return p[0];
}

// One AUDIO track of 10 seconds: lead-out at 900.
const char* AUDIO_CUE = "FILE \"AUDIO.BIN\" BINARY\r\n  TRACK 01 AUDIO\r\n    INDEX 01 00:00:00\r\n";

std::string WriteAudioDisc(const TTempDir& dir, int sectors = 750)
{
    dir.Write("AUDIO.BIN", Pattern(std::size_t(sectors) * 2352, 1));
    return dir.Write("audio.cue", AUDIO_CUE);
}

// Every track type, five data files (one WAVE), generated pregap and postgap, an INDEX 00 pause,
// flags, ISRC, catalogue number and CD-TEXT. Address map (absolute):
//   T1 MODE1/2048 150-449, postgap 450-599     T2 MODE1/2352 pregap 600-674, 675-774
//   (gaps of data tracks are sectors of the track's mode with zero user data)
//   T3 MODE2/2336 775-824                      T4 MODE2/2352 825-874
//   T5 AUDIO index 0 875-949, index 1 950-1074 T6 CDG 1075-1114; lead-out 1115
struct TMixedDisc
{
    std::string Cue, Data, Raw, Xa, XaRaw, Pcm, Graphics;
};

TMixedDisc WriteMixedDisc(const TTempDir& dir)
{
    TMixedDisc disc;
    disc.Data = Pattern(300 * 2048, 2);
    disc.Raw = Pattern(100 * 2352, 3);
    disc.Xa = Pattern(50 * 2336, 4);
    disc.XaRaw = Pattern(50 * 2352, 5);
    disc.Pcm = Pattern(200 * 2352, 6);
    disc.Graphics = Pattern(40 * 2448, 7);
    // R-W packs in the file: bits 7-6 are noise the converter must drop; only pack 0 of the first
    // sector carries symbols (command 0x09, instruction 0x01).
    for (int s = 0; s < 40; ++s)
        for (int k = 0; k < 96; ++k)
            disc.Graphics[std::size_t(s) * 2448 + 2352 + std::size_t(k)] = char(0xC0);
    disc.Graphics[2352] = char(0xC9);
    disc.Graphics[2353] = char(0xC1);
    dir.Write("DATA.BIN", disc.Data);
    dir.Write("RAW.BIN", disc.Raw);
    dir.Write("XA.BIN", disc.Xa);
    dir.Write("XARAW.BIN", disc.XaRaw);
    dir.Write("SONG.WAV", Wave(disc.Pcm));
    dir.Write("GRAPHICS.BIN", disc.Graphics);
    // Two packs, the disc's title and a track's; the control file keeps the first 16 bytes of each.
    std::string cdText;
    for (std::string pack :
         {std::string("\x80\0\0\0ABC", 7), std::string("\x81\x01\x01\0", 4) + std::string(12, '\x81')})
    {
        pack.resize(16, '\0');
        const std::uint16_t crc = BitwiseCrc({reinterpret_cast<const std::uint8_t*>(pack.data()), 16});
        cdText += pack + static_cast<char>(crc >> 8) + static_cast<char>(crc);
    }
    dir.Write("TEXT.CDT", cdText);
    disc.Cue = dir.Write("mixed.cue", "REM mixed disc\r\n"
                                      "CATALOG 0123456789012\r\n"
                                      "CDTEXTFILE \"TEXT.CDT\"\r\n"
                                      "FILE \"DATA.BIN\" BINARY\r\n"
                                      "  TRACK 01 MODE1/2048\r\n"
                                      "    INDEX 01 00:00:00\r\n"
                                      "    POSTGAP 00:02:00\r\n"
                                      "FILE \"RAW.BIN\" BINARY\r\n"
                                      "  TRACK 02 MODE1/2352\r\n"
                                      "    PREGAP 00:01:00\r\n"
                                      "    INDEX 01 00:00:00\r\n"
                                      "FILE \"XA.BIN\" BINARY\r\n"
                                      "  TRACK 03 MODE2/2336\r\n"
                                      "    INDEX 01 00:00:00\r\n"
                                      "FILE \"XARAW.BIN\" BINARY\r\n"
                                      "  TRACK 04 MODE2/2352\r\n"
                                      "    INDEX 01 00:00:00\r\n"
                                      "FILE \"SONG.WAV\" WAVE\r\n"
                                      "  TRACK 05 AUDIO\r\n"
                                      "    FLAGS DCP PRE\r\n"
                                      "    ISRC ABCDE1234567\r\n"
                                      "    INDEX 00 00:00:00\r\n"
                                      "    INDEX 01 00:01:00\r\n"
                                      "FILE \"GRAPHICS.BIN\" BINARY\r\n"
                                      "  TRACK 06 CDG\r\n"
                                      "    INDEX 01 00:00:00\r\n");
    return disc;
}

class CliTest : public ::testing::Test
{
protected:
    TTempDir Dir;
};

TEST_F(CliTest, AudioDiscMatchesTheHandWorkedImage)
{
    const std::string cue = WriteAudioDisc(Dir);
    const TRunResult run = RunCli({cue});
    ASSERT_EQ(run.Exit, 0) << run.Err;
    EXPECT_NE(run.Out.find("Operation was successfull."), std::string::npos);

    const TImage image = ReadImage(Dir, "audio");
    EXPECT_EQ(image.Img, TTempDir::ReadAll(Dir.File("AUDIO.BIN")));
    ASSERT_EQ(image.Sub.size(), 750u * 96);
    const std::string expectedCcd = "[CloneCD]\r\nVersion=3\r\n[Disc]\r\nTocEntries=4\r\nSessions=1\r\n"
                                    "DataTracksScrambled=0\r\nCDTextLength=0\r\n"
                                    "[Session 1]\r\nPreGapMode=0\r\nPreGapSubC=0\r\n" +
                                    TocEntry(0, "0xa0", 0, 1, 0, 0) + TocEntry(1, "0xa1", 0, 1, 0, 0) +
                                    TocEntry(2, "0xa2", 0, 0, 12, 0) + TocEntry(3, "0x01", 0, 0, 2, 0) +
                                    "[TRACK 1]\r\nMODE=0\r\nINDEX 1=0\r\n";
    EXPECT_EQ(WithoutBlankLines(image.Ccd), expectedCcd);

    ExpectValidQ(image);
    const std::array<std::uint8_t, 12> first = {0x01, 0x01, 0x01, 0, 0, 0, 0, 0, 0x02, 0, 0x5A, 0x28};
    EXPECT_EQ(QFrame(image, 150), first);
    // The pause flag: first index-1 sector, then the last 149 sectors before the lead-out.
    for (int a = 150; a < 900; ++a)
        ASSERT_EQ(PFlag(image, a), (a == 150 || a >= 751) ? 0xFF : 0x00) << a;
    for (int a = 150; a < 900; ++a)
    {
        const auto q = QFrame(image, a);
        if ((q[0] & 0x0F) != 1)
            continue;
        const int relative = a - 150;
        ASSERT_EQ(q[3], oracle::Bcd(relative / 4500)) << a;
        ASSERT_EQ(q[4], oracle::Bcd(relative / 75 % 60)) << a;
        ASSERT_EQ(q[5], oracle::Bcd(relative % 75)) << a;
        ASSERT_EQ(q[7], oracle::Bcd(a / 4500)) << a;
        ASSERT_EQ(q[8], oracle::Bcd(a / 75 % 60)) << a;
        ASSERT_EQ(q[9], oracle::Bcd(a % 75)) << a;
    }
    for (std::size_t i = 0; i < 750; ++i)
        ASSERT_TRUE(AllZero(At(image.Sub, i * 96 + 24), 72)) << "R-W of a disc without graphics";
}

struct TRange
{
    int Start, End, Track, Index;
    int Index1; // where the track's relative time is 0: it counts down before, up after
};
// The address map of the mixed disc, row by row (the postgap row carries the last index).
constexpr TRange MIXED_ROWS[] = {{150, 450, 1, 1, 150}, {450, 600, 1, 1, 150},  {600, 675, 2, 0, 675},
                                 {675, 775, 2, 1, 675}, {775, 825, 3, 1, 775},  {825, 875, 4, 1, 825},
                                 {875, 950, 5, 0, 950}, {950, 1075, 5, 1, 950}, {1075, 1115, 6, 1, 1075}};
constexpr int MIXED_LEAD_OUT = 1115;

TEST_F(CliTest, MixedDiscCarriesEveryTrackTypeIntact)
{
    const TMixedDisc disc = WriteMixedDisc(Dir);
    const TRunResult run = RunCli({disc.Cue, Dir.File("out.ccd")});
    ASSERT_EQ(run.Exit, 0) << run.Err;
    const TImage image = ReadImage(Dir, "out");
    constexpr std::size_t sectors = MIXED_LEAD_OUT - 150;
    ASSERT_EQ(image.Img.size(), sectors * 2352);
    ASSERT_EQ(image.Sub.size(), sectors * 96);

    const TCcd ccd = ParseCcd(image.Ccd);
    EXPECT_EQ(ccd.at("Disc").at("TocEntries"), "9");
    EXPECT_EQ(ccd.at("Disc").at("CATALOG"), "0123456789012");
    EXPECT_EQ(ccd.at("Disc").at("CDTextLength"), "36");
    EXPECT_EQ(ccd.at("CDText").at("Entries"), "2");
    EXPECT_EQ(ccd.at("CDText").at("Entry 0"), "80 00 00 00 41 42 43 00 00 00 00 00 00 00 00 00");
    EXPECT_EQ(ccd.at("CDText").at("Entry 1"), "81 01 01 00 81 81 81 81 81 81 81 81 81 81 81 81");
    EXPECT_EQ(ccd.at("Session 1").at("PreGapMode"), "1");
    EXPECT_EQ(ccd.at("Entry 1").at("PMin"), "6");
    EXPECT_EQ(ccd.at("Entry 2").at("PLBA"), "965");
    EXPECT_EQ(ccd.at("Entry 2").at("PSec") + ":" + ccd.at("Entry 2").at("PFrame"), "14:65");
    EXPECT_EQ(ccd.at("Entry 7").at("Control"), "0x03");
    EXPECT_EQ(ccd.at("Entry 8").at("PLBA"), "925");
    const std::map<std::string, std::string> track5 = {
        {"MODE", "0"}, {"ISRC", "ABCDE1234567"}, {"INDEX 0", "725"}, {"INDEX 1", "800"}};
    EXPECT_EQ(ccd.at("TRACK 5"), track5);
    EXPECT_EQ(ccd.at("TRACK 2").at("INDEX 0"), "450");
    EXPECT_EQ(ccd.at("TRACK 2").at("INDEX 1"), "525");
    EXPECT_EQ(ccd.at("TRACK 1").count("INDEX 0"), 0u);
    const char* modes[] = {"1", "1", "2", "2", "0", "0"};
    for (int t = 1; t <= 6; ++t)
        EXPECT_EQ(ccd.at("TRACK " + std::to_string(t)).at("MODE"), modes[t - 1]);

    // Main channel, sector by sector.
    for (int a = 150; a < MIXED_LEAD_OUT; ++a)
    {
        SCOPED_TRACE("address " + std::to_string(a));
        const std::uint8_t* s = At(image.Img, std::size_t(a - 150) * 2352);
        if (a < 775) // Mode 1: cooked, generated gaps (zero user data) and corrected raw sectors
        {
            ASSERT_TRUE(oracle::HeaderMatches(s, a, 1));
            std::string user(2048, '\0');
            if (a < 450)
                user = disc.Data.substr(std::size_t(a - 150) * 2048, 2048);
            else if (a >= 675)
                user = disc.Raw.substr(std::size_t(a - 675) * 2352 + 16, 2048);
            ASSERT_EQ(std::string(reinterpret_cast<const char*>(s) + 16, 2048), user);
            ASSERT_EQ(oracle::Edc(s, 2064), oracle::StoredEdc(s));
            ASSERT_TRUE(AllZero(s + 2068, 8));
            ASSERT_TRUE(oracle::Mode1EccValid(s));
        }
        else if (a < 875) // Mode 2: sync and header ours, the rest from the file
        {
            ASSERT_TRUE(oracle::HeaderMatches(s, a, 2));
            const std::string expected = a < 825 ? disc.Xa.substr(std::size_t(a - 775) * 2336, 2336)
                                                 : disc.XaRaw.substr(std::size_t(a - 825) * 2352 + 16, 2336);
            ASSERT_EQ(std::string(reinterpret_cast<const char*>(s) + 16, 2336), expected);
        }
        else if (a < 1075)
            ASSERT_EQ(std::string(reinterpret_cast<const char*>(s), 2352),
                      disc.Pcm.substr(std::size_t(a - 875) * 2352, 2352));
        else
            ASSERT_EQ(std::string(reinterpret_cast<const char*>(s), 2352),
                      disc.Graphics.substr(std::size_t(a - 1075) * 2448, 2352));
    }

    // Q channel: valid CRC everywhere, positions on mode-1 frames, payloads on the others.
    ExpectValidQ(image);
    int isrcFrames = 0;
    int mcnFrames = 0;
    for (const TRange& row : MIXED_ROWS)
        for (int a = row.Start; a < row.End; ++a)
        {
            SCOPED_TRACE("address " + std::to_string(a));
            const auto q = QFrame(image, a);
            const int control = row.Track <= 4 ? 0x4 : row.Track == 5 ? 0x3 : 0x0;
            ASSERT_EQ(q[0] >> 4, control);
            const int mode = q[0] & 0x0F;
            if (a == row.Start)
            {
                ASSERT_EQ(mode, 1);
            }
            if (mode == 1)
            {
                const int relative = row.Index == 0 ? row.Index1 - 1 - a : a - row.Index1;
                const std::array<std::uint8_t, 10> expected = {q[0],
                                                               oracle::Bcd(row.Track),
                                                               oracle::Bcd(row.Index),
                                                               oracle::Bcd(relative / 4500),
                                                               oracle::Bcd(relative / 75 % 60),
                                                               oracle::Bcd(relative % 75),
                                                               0,
                                                               oracle::Bcd(a / 4500),
                                                               oracle::Bcd(a / 75 % 60),
                                                               oracle::Bcd(a % 75)};
                ASSERT_TRUE(std::equal(expected.begin(), expected.end(), q.begin()));
                continue;
            }
            const std::array<std::uint8_t, 8> isrc = {0x45, 0x24, 0xD4, 0x54, 0x12, 0x34, 0x56, 0x70};
            const std::array<std::uint8_t, 8> mcn = {0x01, 0x23, 0x45, 0x67, 0x89, 0x01, 0x20, 0x00};
            ASSERT_TRUE(mode == 2 || (mode == 3 && row.Track == 5)) << "mode " << mode;
            ASSERT_TRUE(std::equal(q.begin() + 1, q.begin() + 9, (mode == 3 ? isrc : mcn).begin()));
            ASSERT_EQ(q[9], oracle::Bcd(a % 75));
            ++(mode == 3 ? isrcFrames : mcnFrames);
        }
    EXPECT_GE(isrcFrames, 2);
    EXPECT_GE(mcnFrames, 9);

    // P: pauses before index 1 and the flag before short pauses.
    const std::pair<int, int> pFlags[] = {{150, 0xFF}, {151, 0},    {525, 0}, {526, 0xFF}, {599, 0xFF}, {600, 0},
                                          {601, 0xFF}, {874, 0xFF}, {875, 0}, {876, 0xFF}, {950, 0xFF}, {1114, 0xFF}};
    for (const auto& [a, p] : pFlags)
        EXPECT_EQ(PFlag(image, a), p) << "address " << a;

    // R-W: the one graphics pack leaves the interleaver spread over eight packs, each symbol k
    // delayed k mod 8 packs and 1/18, 2/5, 3/23 swapped. Its parity Q = 3C 34, P = 0D 07 2A 20.
    const int firstPack = (1075 - 150) * 4;
    const std::map<std::pair<int, int>, std::uint8_t> spread = {
        {{firstPack, 0}, 0x09},      {{firstPack + 2, 18}, 0x01}, {{firstPack + 3, 3}, 0x20},
        {{firstPack + 4, 20}, 0x0D}, {{firstPack + 5, 5}, 0x3C},  {{firstPack + 5, 21}, 0x07},
        {{firstPack + 6, 22}, 0x2A}, {{firstPack + 7, 23}, 0x34}};
    for (int pack = 0; pack < int(sectors) * 4; ++pack)
        for (int k = 0; k < 24; ++k)
        {
            const auto it = spread.find({pack, k});
            ASSERT_EQ(oracle::RwSymbol(At(image.Sub, std::size_t(pack / 4) * 96), (pack % 4) * 24 + k),
                      it == spread.end() ? 0 : it->second)
                << "pack " << pack << " symbol " << k;
        }
}

TEST_F(CliTest, TwoRunsGiveIdenticalFilesAndNoEdcEccKeepsRawSectors)
{
    const TMixedDisc disc = WriteMixedDisc(Dir);
    ASSERT_EQ(RunCli({"--quiet", disc.Cue, Dir.File("one.ccd")}).Exit, 0);
    ASSERT_EQ(RunCli({"--quiet", disc.Cue, Dir.File("two.ccd")}).Exit, 0);
    const TImage one = ReadImage(Dir, "one");
    const TImage two = ReadImage(Dir, "two");
    EXPECT_EQ(one.Ccd, two.Ccd);
    EXPECT_EQ(oracle::Digest64(one.Img), oracle::Digest64(two.Img));
    EXPECT_EQ(oracle::Digest64(one.Sub), oracle::Digest64(two.Sub));

    const TRunResult raw = RunCli({"--quiet", "--no-edc-ecc", disc.Cue, Dir.File("raw.ccd")});
    ASSERT_EQ(raw.Exit, 0);
    EXPECT_EQ(raw.Out, "");
    const TImage kept = ReadImage(Dir, "raw");
    EXPECT_EQ(kept.Img.substr((675 - 150) * 2352, 100 * 2352), disc.Raw);
    EXPECT_EQ(kept.Img.substr((825 - 150) * 2352, 50 * 2352), disc.XaRaw);
    EXPECT_EQ(kept.Sub, one.Sub);
}

TEST_F(CliTest, SignalCancelsBetweenSectors)
{
    // Sparse MODE1/2048 data: large enough that the run is still going when the signal comes.
    Dir.WriteZeros("BIG.BIN", std::uintmax_t(300000) * 2048);
    const std::string cue = Dir.Write("big.cue", "FILE \"BIG.BIN\" BINARY\n TRACK 01 MODE1/2048\n INDEX 01 00:00:00\n");
    for (const int signal : {SIGINT, SIGTERM})
    {
        // Without --keep-partial a cancelled run leaves nothing of its own.
        const bool keep = signal == SIGTERM;
        SCOPED_TRACE(keep ? "SIGTERM, --keep-partial" : "SIGINT");
        TTempDir logDir;
        fs::remove(Dir.File("big.img"));
        const pid_t pid = Spawn({SARVEX_CLI, "--force", keep ? "--keep-partial" : "--quiet", cue}, logDir);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (Dir.WrittenSoFar("big.img") == 0 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        ::kill(pid, signal);
        const TRunResult run = Finish(pid, logDir);
        ASSERT_EQ(run.Exit, 3) << run.Err;
        EXPECT_EQ(run.Err.rfind("Operation was canceled.\n", 0), 0u) << run.Err;
        EXPECT_EQ(run.Err.find("partial set kept: ") != std::string::npos, keep) << run.Err;
        EXPECT_EQ(Dir.WrittenSoFar("big.img") + Dir.WrittenSoFar("big.sub") + Dir.WrittenSoFar("big.ccd"), 0u);
        if (!keep)
        {
            EXPECT_FALSE(fs::exists(Dir.File("big.img")));
            EXPECT_FALSE(fs::exists(Dir.File("big.ccd")));
            continue;
        }
        const auto img = fs::file_size(Dir.File("big.img"));
        const auto sub = fs::file_size(Dir.File("big.sub"));
        EXPECT_EQ(img % 2352, 0u);
        EXPECT_EQ(img / 2352, sub / 96);
        EXPECT_EQ(sub % 96, 0u);
        EXPECT_LT(img, std::uintmax_t(300000) * 2352);
        EXPECT_NE(TTempDir::ReadAll(Dir.File("big.ccd")).find("[TRACK 1]\r\nMODE=1\r\nINDEX 1=0\r\n"),
                  std::string::npos);
    }
}

struct TLoadError
{
    const char* Cue;
    const char* Message; // the error box text without its last line feed
};

TEST_F(CliTest, EveryLoadErrorExitsTwoWithTheErrorBoxText)
{
    Dir.Write("AUDIO.BIN", Pattern(2352 * 10, 9));
    Dir.Write("BAD.WAV", "RIFF....WAVEjunk");
    Dir.Write("TEXT.CDT", CdTextFileBytes());
    TWaveLayout r48;
    r48.SampleRate = 48000;
    r48.Data = std::string(2352, '\0');
    Dir.Write("R48.WAV", MakeWave(r48));
    std::filesystem::create_directory(Dir.File("TRACKS"));
    const std::string file = "FILE \"AUDIO.BIN\" BINARY\n";
    const std::string track = file + "TRACK 01 AUDIO\n";
    const std::string full = track + "INDEX 01 00:00:00\n";
    const std::string line = "Invalid CUE SHEET command at line ";
    const std::string placement = "Illigal command placement";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", "No FILEs were specified"},
        {"REM nothing\n\n", "No FILEs were specified"},
        {file, "No TRACKs were defined for the last file"},
        {track, "No starting INDEX was defined for the last track"},
        {"\n\nCDTEXTFILE \"NONE.CDT\"\n" + full, line + "3\nUnable to find or open CDTEXTFILE\nNONE.CDT: no such file"},
        {"CDTEXTFILE \"TEXT.CDT\"\nCDTEXTFILE \"TEXT.CDT\"\n" + full,
         line + "2\nCommand cannot be specified more than one per disc"},
        {"CATALOG 012345678901\n" + full, line + "1\nCATALOG number is wrong length or contains illegal characters"},
        {"CATALOG 0123456789012\ncatalog 0123456789012\n" + full,
         line + "2\nCommand cannot be specified more than one per disc"},
        {"FILE \"MISSING.BIN\" BINARY\n", line + "1\nUnable to find or open FILE\nMISSING.BIN: no such file"},
        {"FILE \"TRACKS\" BINARY\n", line + "1\nUnable to find or open FILE\nTRACKS: is a folder"},
        {"FILE \"BAD.WAV\" WAVE\n",
         line + "1\nUnable to find or open FILE\nBAD.WAV: not a readable WAVE file (no format chunk)"},
        {"FILE \"R48.WAV\" WAVE\n",
         line + "1\nUnable to find or open FILE\n"
                "R48.WAV: 48,000 Hz, 16-bit, 2 channels; audio must be 44,100 Hz, 16-bit, stereo"},
        {"FILE AUDIO.BIN\n", line + "1\nIllegal FILE type is specified"},
        {"FILE \"AUDIO.BIN\" OGG\n", line + "1\nUnsupported FILE type is specified"},
        {"FILE \"AUDIO.BIN\" MP3\n", line + "1\nUnable to find or open FILE"},
        {file + file, line + "2\nNo TRACKs were defined for the previous file"},
        {"TRACK 01 AUDIO\n", line + "1\n" + placement},
        {file + "TRACK 01 MODE3/2352\n", line + "2\nIllegal TRACK number or type is specifie"},
        {file + "TRACK 100 AUDIO\n", line + "2\nIllegal TRACK number or type is specifie"},
        {file + "TRACK 01 CDI/2352\n", line + "2\nUnsupported TRACK type is specified"},
        {track + "TRACK 02 AUDIO\n", line + "3\nNo starting INDEX was defined for the previous track"},
        {full + "TRACK 03 AUDIO\n", line + "4\nTRACK numbers are not in sequential order"},
        {track + "FLAGS COPY\n", line + "3\nIllegal FLAGS type is specified"},
        {track + "FLAGS DCP\nFLAGS PRE\n", line + "4\nCommand cannot be specified more than one per track"},
        {file + "FLAGS DCP\n", line + "2\n" + placement},
        {track + "ISRC ABCDE123456\nISRC ABCDE1234567\n", ""}, // wording of 0x705 is ours: checked below
        {full + "ISRC ABCDE1234567\n", line + "4\n" + placement},
        {track + "PREGAP 00:02\n", line + "3\nIllegal address is specified"},
        {track + "PREGAP 00:02:00\nPREGAP 00:02:00\n", line + "4\nCommand cannot be specified more than one per track"},
        {full + "PREGAP 00:02:00\n", line + "4\n" + placement},
        {track + "INDEX 02 00:00:00\n", line + "3\n" + placement},
        {track + "INDEX 01 00:00:01\n", line + "3\nFirst INDEX of file does not start at 00:00:00"},
        {full + "INDEX 03 00:00:05\n", line + "4\nINDEX numbers are not in sequential order"},
        {track + "INDEX 01 00:00:75\n", line + "3\nIllegal INDEX number or address is specified"},
        {full + "POSTGAP 00:02:00\nINDEX 02 00:00:05\n", line + "5\n" + placement},
        {track + "POSTGAP 00:02:00\n", line + "3\n" + placement},
        {full + "POSTGAP 00:02:00\nPOSTGAP 00:02:00\n", line + "5\n" + placement},
        {full + "POSTGAP 2:00\n", line + "4\nIllegal address is specified"},
    };
    for (const auto& [cueText, message] : cases)
    {
        SCOPED_TRACE(cueText);
        const std::string cue = Dir.Write("bad.cue", cueText);
        const TRunResult run = RunCli({cue});
        EXPECT_EQ(run.Exit, 2);
        EXPECT_EQ(run.Out, "");
        if (message.empty())
        {
            EXPECT_EQ(run.Err.rfind(line + "3\n", 0), 0u) << run.Err;
        }
        else
        {
            EXPECT_EQ(run.Err, message + "\n");
        }
        if (!message.empty() && message.find('\n') == std::string::npos)
        {
            EXPECT_EQ(RunCli({"--layout", cue}).Err, message + "\n");
        }
        EXPECT_FALSE(fs::exists(Dir.File("bad.ccd")));
        EXPECT_FALSE(fs::exists(Dir.File("bad.img")));
        EXPECT_FALSE(fs::exists(Dir.File("bad.sub")));
    }
    const TRunResult missing = RunCli({Dir.File("none.cue")});
    EXPECT_EQ(missing.Exit, 2);
    EXPECT_EQ(missing.Err, "Unable to find or open CUE SHEET\n\"" + Dir.File("none.cue") + "\": no such file\n");
}

// Lines that are no command are ignored, as ever, but each is named on stderr; the disc is the same.
TEST_F(CliTest, IgnoredLinesAreWarnedOf)
{
    const std::string cue = Dir.Write("typo.cue", std::string(AUDIO_CUE) + "\nTRAKC 02 AUDIO\n");
    Dir.Write("AUDIO.BIN", Pattern(750 * 2352, 1));
    const std::string warning = "sarvex-cli: warning: line 5 is not a cue sheet command and was ignored: TRAKC 02 AUDIO\n";
    const TRunResult layout = RunCli({"--layout", cue});
    EXPECT_EQ(layout.Err, warning);
    EXPECT_NE(layout.Out.find("  Ignored lines: 5: TRAKC 02 AUDIO\n"), std::string::npos) << layout.Out;
    const TRunResult run = RunCli({"-q", cue});
    EXPECT_EQ(run.Exit, 0);
    EXPECT_EQ(run.Err, warning);
    EXPECT_EQ(fs::file_size(Dir.File("typo.img")), 750u * 2352);
}

// The load refusal gives the file's audio on a line of its own; damage found while reading fails the run.
TEST_F(CliTest, AudioFilesAreRefusedOrFailWithTheirReason)
{
    const std::string pcm = SyntheticPcm(44100 * 4);
    const std::string r48 = WriteWave(Dir, "r48.wav", pcm, 48000);
    const std::string cd = WriteWave(Dir, "cd.wav", pcm);
    ASSERT_TRUE(RunEncoder("flac -s -o " + Quoted(Dir.File("r48.flac")) + " " + Quoted(r48)));
    ASSERT_TRUE(RunEncoder("flac -s -o " + Quoted(Dir.File("cd.flac")) + " " + Quoted(cd)));
    const TRunResult refused = RunCli({Dir.Write("r48.cue", OneTrackSheet("r48.flac"))});
    EXPECT_EQ(refused.Exit, 2);
    EXPECT_EQ(refused.Err, "Invalid CUE SHEET command at line 1\nUnable to find or open FILE\n"
                           "r48.flac: 48,000 Hz, 16-bit, 2 channels; audio must be 44,100 Hz, 16-bit, stereo\n");

    const std::string cue = Dir.Write("cd.cue", OneTrackSheet("cd.flac", "FLAC"));
    ASSERT_EQ(RunCli({"--quiet", cue, Dir.File("good.ccd")}).Exit, 0);
    EXPECT_EQ(fs::file_size(Dir.File("good.img")), 300u * 2352);
    std::string flac = TTempDir::ReadAll(Dir.File("cd.flac"));
    flac[flac.size() - 100] ^= 0x21;
    Dir.Write("cd.flac", flac);
    const TRunResult damaged = RunCli({"--quiet", cue, Dir.File("bad.ccd")});
    EXPECT_EQ(damaged.Exit, 1);
    EXPECT_EQ(damaged.Err.rfind("Operation was failure.\ncd.flac: damaged", 0), 0u) << damaged.Err;
    EXPECT_NE(damaged.Err.find(" at 00:03:"), std::string::npos) << damaged.Err;
}

// FFmpeg drags in over a hundred libraries: only a sheet with a file it decodes may load it.
TEST_F(CliTest, FfmpegIsLoadedOnlyForTheFilesItDecodes)
{
    const std::string wav = WriteWave(Dir, "cd.wav", SyntheticPcm(44100));
    ASSERT_TRUE(RunEncoder("flac -s -o " + Quoted(Dir.File("cd.flac")) + " " + Quoted(wav)));
    ASSERT_TRUE(RunEncoder("wavpack -q -y " + Quoted(wav) + " -o " + Quoted(Dir.File("cd.wv"))));
    const TSpawnOptions traced{RLIM_INFINITY, {"LD_DEBUG=files"}};
    for (const std::string file : {"cd.wav", "cd.flac", "cd.wv"})
    {
        const TRunResult run =
            RunCli({"--quiet", Dir.Write("disc.cue", OneTrackSheet(file)), Dir.File(file + ".ccd")}, traced);
        ASSERT_EQ(run.Exit, 0) << file << run.Err;
        EXPECT_EQ(run.Err.find("file=libavcodec.so") != std::string::npos, file == "cd.wv") << file;
    }
}

TEST_F(CliTest, RefusesOutputsItMustNotWriteAndNeverCreatesFolders)
{
    const std::string cue = WriteAudioDisc(Dir, 300);

    const TRunResult noFolder = RunCli({cue, Dir.File("missing/disc.ccd")});
    EXPECT_EQ(noFolder.Exit, 1);
    EXPECT_NE(noFolder.Err.find("missing"), std::string::npos) << noFolder.Err;
    EXPECT_FALSE(fs::exists(Dir.File("missing")));
    const std::string file = Dir.Write("small.cue", "");
    EXPECT_EQ(RunCli({"-o", file, cue}).Err, "The output folder \"" + file + "\" is not a folder.\n");

    Dir.Write("audio.sub", "keep");
    const TRunResult exists = RunCli({cue});
    EXPECT_EQ(exists.Exit, 1);
    EXPECT_NE(exists.Err.find(Dir.File("audio.sub")), std::string::npos) << exists.Err;
    EXPECT_FALSE(fs::exists(Dir.File("audio.ccd")));
    EXPECT_EQ(TTempDir::ReadAll(Dir.File("audio.sub")), "keep");

    // Read-only is refused even when forced (and even for root, who could write it).
    Dir.Write("audio.img", "keep");
    ::chmod(Dir.File("audio.img").c_str(), 0444);
    const TRunResult readOnly = RunCli({"--force", cue});
    EXPECT_EQ(readOnly.Exit, 1);
    const std::string expected = std::string(1, '"').append(Dir.File("audio.img")).append("\" is a read-only file.\n");
    EXPECT_EQ(readOnly.Err, expected);
    EXPECT_FALSE(fs::exists(Dir.File("audio.ccd")));
    EXPECT_EQ(TTempDir::ReadAll(Dir.File("audio.img")), "keep");
    // A link that leads nowhere cannot be written through: read-only, as in the desktop program.
    fs::create_symlink(Dir.File("gone"), Dir.File("audio.ccd"));
    const std::string dangling = std::string(1, '"').append(Dir.File("audio.ccd")).append("\" is a read-only file.\n");
    EXPECT_EQ(RunCli({"--force", cue}).Err, dangling);
    EXPECT_FALSE(fs::exists(Dir.File("gone")));
    fs::remove(Dir.File("audio.ccd"));

    // A data file that an output would overwrite: refused even when forced, the input stays.
    const std::string input = Pattern(20 * 2352, 8);
    Dir.Write("disc.img", input);
    const std::string sameCue = Dir.Write("disc.cue", "FILE \"disc.img\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n");
    const TRunResult clash = RunCli({"--force", sameCue});
    EXPECT_EQ(clash.Exit, 1);
    EXPECT_NE(clash.Err.find("is an input of the conversion"), std::string::npos) << clash.Err;
    EXPECT_EQ(TTempDir::ReadAll(Dir.File("disc.img")), input);
    EXPECT_FALSE(fs::exists(Dir.File("disc.ccd")));

    // A .ccd path that is its own .img or .sub path: refused, whatever its case, before any file exists.
    for (const auto& [name, ext] : {std::pair{"same.img", ".img"}, std::pair{"same.SUB", ".sub"}})
    {
        const TRunResult same = RunCli({"--force", cue, Dir.File(name)});
        EXPECT_EQ(same.Exit, 1);
        const std::string message =
            std::string(1, '"').append(Dir.File(name)).append("\" cannot be the .ccd file: its ");
        EXPECT_EQ(same.Err, message + ext + " file would be the same file. Choose a name that ends in .ccd.\n");
        EXPECT_FALSE(fs::exists(Dir.File(name)));
    }

    ::chmod(Dir.File("audio.img").c_str(), 0644);
    const TRunResult forced = RunCli({"--force", "--quiet", cue});
    EXPECT_EQ(forced.Exit, 0) << forced.Err;
    EXPECT_EQ(fs::file_size(Dir.File("audio.img")), 300u * 2352);
}

TEST_F(CliTest, FullDiskFailsTheRun)
{
    const std::string cue = WriteAudioDisc(Dir);
    TSpawnOptions limited;
    limited.FileSizeLimit = 1000000; // the .ccd fits, the 1.7 MB .img does not
    const TRunResult run = RunCli({cue}, limited);
    EXPECT_EQ(run.Exit, 1);
    EXPECT_EQ(run.Err.rfind("Operation was failure.\n", 0), 0u) << run.Err;
    EXPECT_EQ(run.Out.find("successfull"), std::string::npos);
    EXPECT_NE(run.Err.find("No image set was written"), std::string::npos) << run.Err;
    EXPECT_NE(run.Err.find("cannot write \"" + Dir.File("audio.img") + "\": File too large\n"), std::string::npos);
    EXPECT_FALSE(fs::exists(Dir.File("audio.img")));
    EXPECT_FALSE(fs::exists(Dir.File("audio.ccd")));
    EXPECT_EQ(std::distance(fs::directory_iterator(Dir.Path()), fs::directory_iterator()), 2); // no temporaries
}

// A second run on a set being written refuses and leaves the first's temporaries: the first completes.
TEST_F(CliTest, ASecondRunOnASetBeingWrittenRefuses)
{
    Dir.WriteZeros("big.bin", std::uintmax_t(100000) * 2048);
    const std::string big = Dir.Write("big.cue", "FILE big.bin BINARY\nTRACK 01 MODE1/2048\nINDEX 01 00:00:00\n");
    const std::string set = Dir.File("set.ccd");
    using TArgs = std::vector<std::string>;
    for (const auto& [first, second, written] : std::vector<std::tuple<TArgs, TArgs, std::string>>{
             {{SARVEX_CLI, big, set}, {"--force", WriteAudioDisc(Dir, 300), set}, "set.img"},
             {{SARVEX_CLI, "--to-cue", set, Dir.File("out.cue")}, {"--to-cue", set, Dir.File("out.cue")}, "out.bin"}})
    {
        TTempDir logs;
        const pid_t pid = Spawn(first, logs);
        for (int i = 0; i < 100000 && Dir.WrittenSoFar(written) == 0; ++i)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        ::kill(pid, SIGSTOP);
        std::this_thread::sleep_for(std::chrono::milliseconds(1100)); // its temporaries grow older than a new run
        const TRunResult refused = RunCli(second);
        ::kill(pid, SIGCONT);
        EXPECT_EQ(refused.Exit, 1);
        EXPECT_NE(refused.Err.find("another run is writing " + second.back() + "\n"), std::string::npos) << refused.Err;
        EXPECT_EQ(Finish(pid, logs).Exit, 0);
    }
    EXPECT_EQ(RunCli({"--verify", "-q", set}).Exit, 0);
}

TEST_F(CliTest, UsageHelpVersionAndLayout)
{
    const std::string cue = WriteAudioDisc(Dir);
    const std::string wrong = "sarvex-cli: wrong arguments: ";
    const std::pair<std::vector<std::string>, std::string> usage[] = {
        {{}, wrong + "no CUE_FILE given"},
        {{"--bogus", cue}, "sarvex-cli: unknown option \"--bogus\""},
        {{"-fq", cue}, "sarvex-cli: unknown option \"-fq\""},
        {{cue, "a.ccd", "b.ccd"}, "sarvex-cli: CCD_FILE cannot be given with more than one CUE_FILE (\"a.ccd\")"},
        {{"--layout"}, wrong + "no CUE_FILE given"},
        {{"--layout", cue, cue}, wrong + "one CUE_FILE only; \"" + cue + "\" is one too many"},
        {{"--layout", "-f", cue}, wrong + "--layout cannot be given with --force"},
        {{"--layout", "-q", cue}, wrong + "--layout cannot be given with --quiet"},
        {{"-j", "-1", cue}, "sarvex-cli: -j must be 0 or more"},
        {{"--jobs=x", cue}, "sarvex-cli: --jobs must be 0 or more"},
        {{cue, "-o"}, "sarvex-cli: -o needs a value"},
        {{"--force=no", cue}, "sarvex-cli: --force takes no value"},
        {{"--json", cue}, wrong + "--json goes with --verify only"},
        {{"--verify", "-o", "x", cue}, wrong + "--verify cannot be given with --output-dir"},
        {{"--verify", "--no-cd-text", cue}, wrong + "--verify cannot be given with --no-cd-text"},
        {{"--verify"}, wrong + "no CCD_FILE given"},
    };
    for (const auto& [args, error] : usage)
    {
        const TRunResult run = RunCli(args);
        EXPECT_EQ(run.Exit, 64);
        EXPECT_EQ(run.Err.substr(0, run.Err.find('\n')), error);
    }
    const TRunResult help = RunCli({"--help"});
    EXPECT_EQ(help.Exit, 0);
    EXPECT_NE(help.Out.find("--no-edc-ecc"), std::string::npos);
    EXPECT_EQ(RunCli({"--version"}).Out, std::string("sarvex-cli ") + SARVEX_CLI_VERSION + "\n");

    const TRunResult layout = RunCli({"--layout", cue});
    EXPECT_EQ(layout.Exit, 0);
    EXPECT_NE(layout.Out.find("  Total Disc Time      : 00:12:00\n"), std::string::npos) << layout.Out;
    EXPECT_FALSE(fs::exists(Dir.File("audio.ccd")));
}

// The verifier from the command line: each exit status, the text and the JSON report.
TEST_F(CliTest, VerifyReportsAndExitStatus)
{
    const std::string cue = WriteAudioDisc(Dir, 300);
    ASSERT_EQ(RunCli({"--quiet", cue}).Exit, 0);
    const std::string ccd = Dir.File("audio.ccd");
    const TRunResult sound = RunCli({"--verify", ccd});
    EXPECT_EQ(sound.Exit, 0) << sound.Out << sound.Err;
    EXPECT_NE(sound.Out.find("No problems found: the set is sound."), std::string::npos) << sound.Out;

    std::string sub = TTempDir::ReadAll(Dir.File("audio.sub"));
    for (const std::size_t lba : {7u, 9u, 250u})
        sub[96 * lba + 12 + 11] ^= 0x10;
    Dir.Write("audio.sub", sub);
    const TRunResult text = RunCli({"--verify", "--max-errors", "2", ccd});
    EXPECT_EQ(text.Exit, 1);
    EXPECT_NE(text.Out.find("Problems found: 3 (the first 2 follow)\n"), std::string::npos) << text.Out;
    EXPECT_NE(text.Out.find("00:02:09         9  Q CRC"), std::string::npos) << text.Out;
    const TRunResult json = RunCli({"--verify", "--json", ccd});
    EXPECT_EQ(json.Exit, 1);
    const auto report = nlohmann::json::parse(json.Out);
    EXPECT_EQ(report["problems"], 3);
    EXPECT_EQ(report["findings"][2]["lba"], 250);
    EXPECT_EQ(report["findings"][2]["msf"], "00:05:25");
    EXPECT_EQ(report["tracks"][0]["q_crc_errors"], 3);
    EXPECT_EQ(report["format"], 1);
    EXPECT_EQ(report["findings"][2]["kind"], "q_crc");
    EXPECT_EQ(report["findings"][2]["kind_text"], "Q CRC");
    // Every field is documented in the manual page and the README.
    const std::string manual = TTempDir::ReadAll(SARVEX_SOURCE_DIR "/packaging/sarvex-cli.h2m");
    const std::string readme = TTempDir::ReadAll(SARVEX_SOURCE_DIR "/README.md");
    for (const auto* object : {&report, &report["tracks"][0], &report["findings"][2]})
        for (const auto& [key, value] : object->items())
        {
            EXPECT_NE(manual.find("\\fB" + key + "\\fR"), std::string::npos) << key;
            EXPECT_NE(readme.find("`" + key + "`"), std::string::npos) << key;
        }

    Dir.Write("bad.ccd", "[CloneCD]\nVersion=3\n[Disc]\nTocEntries=x\n");
    const TRunResult bad = RunCli({"--verify", Dir.File("bad.ccd")});
    EXPECT_EQ(bad.Exit, 2);
    EXPECT_NE(bad.Err.find("bad.ccd:4: TocEntries \"x\" is not a number"), std::string::npos) << bad.Err;
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{{"--json", ccd},
                                                                                      {"--verify"},
                                                                                      {"--verify", ccd, ccd},
                                                                                      {"--verify", "--force", ccd},
                                                                                      {"--max-errors", "3", cue}})
        EXPECT_EQ(RunCli(args).Exit, 64);
}

TEST_F(CliTest, VerifyIsCanceledBySigint)
{
    Dir.WriteZeros("BIG.BIN", std::uintmax_t(200000) * 2048);
    const std::string cue = Dir.Write("big.cue", "FILE \"BIG.BIN\" BINARY\n TRACK 01 MODE1/2048\n INDEX 01 00:00:00\n");
    ASSERT_EQ(RunCli({"--quiet", cue}).Exit, 0);
    TTempDir logDir;
    const pid_t pid = Spawn({SARVEX_CLI, "--verify", Dir.File("big.ccd")}, logDir);
    // Wait until it reads, from what the kernel counts for it.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (;;)
    {
        std::istringstream io(TTempDir::ReadAll("/proc/" + std::to_string(pid) + "/io"));
        std::string key;
        long long value = 0;
        while (io >> key >> value && key != "rchar:")
        {}
        if (value > (4 << 20) || std::chrono::steady_clock::now() > deadline)
            break;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    ::kill(pid, SIGINT);
    const TRunResult run = Finish(pid, logDir);
    EXPECT_EQ(run.Exit, 3) << run.Out << run.Err;
    EXPECT_EQ(run.Err, "Verification was canceled.\n");
    EXPECT_EQ(run.Out, "");
}

// A real reader: mednafen's CD loader parses the .ccd, checks the file sizes and reads the Q
// channel; its CD player module reports every bad Q frame of an audio disc.
TEST_F(CliTest, MednafenLoadsWhatWeWrite)
{
    std::string mednafen = SARVEX_MEDNAFEN;
    if (mednafen.empty() || ::access(mednafen.c_str(), X_OK) != 0)
        GTEST_SKIP() << "mednafen is not installed";
    WriteAudioDisc(Dir);
    WriteMixedDisc(Dir);
    ASSERT_EQ(RunCli({"--quiet", Dir.File("audio.cue")}).Exit, 0);
    ASSERT_EQ(RunCli({"--quiet", Dir.File("mixed.cue")}).Exit, 0);
    for (const char* ccd : {"audio.ccd", "mixed.ccd"})
    {
        SCOPED_TRACE(ccd);
        TTempDir home;
        TTempDir logDir;
        TSpawnOptions options;
        options.Environment = {"SDL_VIDEODRIVER=dummy", "SDL_AUDIODRIVER=dummy",
                               "MEDNAFEN_HOME=" + home.Path().string()};
        const TRunResult run = Finish(
            Spawn({"/usr/bin/timeout", "-s", "TERM", "5", mednafen, "-sound", "0", "-nothrottle", "1", Dir.File(ccd)},
                  logDir, options),
            logDir);
        const std::string log = run.Out + run.Err;
        EXPECT_NE(log.find("CD 1 TOC:"), std::string::npos) << log;
        EXPECT_EQ(log.find("Error opening CD"), std::string::npos) << log;
        EXPECT_EQ(log.find("SubQ checksum error!"), std::string::npos) << log;
        EXPECT_EQ(log.find("MISMATCH"), std::string::npos) << log;
    }
}

} // namespace
