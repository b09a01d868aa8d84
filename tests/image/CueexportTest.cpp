// SPDX-License-Identifier: GPL-3.0-or-later
#include "image/Cueexport.h"

#include "cuesheet/Lucue.h"
#include "cuesheet/Subqpatch.h"
#include "image/Ccdreader.h"
#include "image/Conversion.h"
#include "support/CdTextFile.h"
#include "support/DiscData.h"
#include "support/Pattern.h"
#include "support/Sidecar.h"
#include "support/TempDir.h"
#include "support/Wave.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string Wave(std::size_t sectors, std::uint32_t seed)
{
    TWaveLayout layout;
    layout.Data = discdata::RandomBytes(sectors * 2352, seed);
    return MakeWave(layout);
}

// The data files the golden sheets and the generated discs name, in one folder.
void WriteDataFiles(const TTempDir& dir)
{
    dir.WriteZeros("data.bin", 300 * 2352);
    dir.Write("audio.wav", Wave(750, 1));
    dir.Write("disc.cdt", CdTextFileBytes());
    fs::create_directory(dir.Path() / "Sub");
    dir.WriteZeros("Sub/Track 01.BIN", 10 * 2352);
    dir.WriteZeros("Sub/track 02.bin", 20 * 2352);
    dir.Write("mode1.bin", discdata::RandomBytes(200 * 2048, 2));
    dir.Write("mode2.bin", discdata::Mode2Sectors(160, 150, 3));
    dir.Write("songs.bin", discdata::RandomBytes(12 * 100 * 2352, 4));
    dir.Write("karaoke.cdg", discdata::CdgSectors(400, 5));
    dir.WriteZeros("game.bin", std::uintmax_t(sidecar::MEDIEVIL_DISC_SECTORS) * 2352);
}

// Generated discs: every track type, gaps of every kind, flags, codes, index 2, CD-TEXT, sessions,
// a LibCrypt side-car with a damaged frame besides.
const struct
{
    const char* Name;
    const char* Sheet;
    std::string SideCar = {};
} GENERATED[] = {
    {"every-type.cue", "CATALOG 1234567890123\nTITLE \"Disc\"\nPERFORMER \"Band\"\n"
                       "FILE mode1.bin BINARY\nTRACK 01 MODE1/2048\nINDEX 01 00:00:00\nPOSTGAP 00:02:00\n"
                       "FILE mode2.bin BINARY\nTRACK 02 MODE2/2352\nPREGAP 00:01:00\nINDEX 01 00:00:00\n"
                       "FILE audio.wav WAVE\nTRACK 03 AUDIO\nTITLE \"Song\"\nFLAGS DCP PRE\nISRC ABCDE1234567\n"
                       "INDEX 00 00:00:00\nINDEX 01 00:02:10\nINDEX 02 00:05:00\n"
                       "TRACK 04 AUDIO\nFLAGS 4CH\nINDEX 01 00:07:00\n"},
    {"twelve.cue", "FILE songs.bin BINARY\nTRACK 01 AUDIO\nINDEX 00 00:00:00\nINDEX 01 00:00:50\n"
                   "TRACK 02 AUDIO\nINDEX 01 00:01:25\nTRACK 03 AUDIO\nINDEX 01 00:02:50\n"
                   "TRACK 04 AUDIO\nINDEX 00 00:04:00\nINDEX 01 00:04:10\nTRACK 05 AUDIO\nINDEX 01 00:05:50\n"
                   "TRACK 06 AUDIO\nINDEX 01 00:06:50\nTRACK 07 AUDIO\nINDEX 01 00:08:00\n"
                   "TRACK 08 AUDIO\nINDEX 01 00:09:25\nTRACK 09 AUDIO\nINDEX 01 00:10:50\n"
                   "TRACK 10 AUDIO\nINDEX 01 00:12:00\nTRACK 11 AUDIO\nINDEX 01 00:13:25\n"
                   "TRACK 12 MODE1/2352\nINDEX 01 00:14:50\n"},
    {"sessions.cue", "REM SESSION 01\nFILE audio.wav WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"
                     "TRACK 02 AUDIO\nINDEX 01 00:04:00\nREM SESSION 02\nFILE mode2.bin BINARY\n"
                     "TRACK 03 MODE2/2352\nINDEX 01 00:00:00\n"},
    {"session-gaps.cue", "REM SESSION 01\nFILE audio.wav WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nREM LEAD-OUT 00:45:00\n"
                         "REM SESSION 02\nREM LEAD-IN 00:40:00\nREM PREGAP 00:03:00\nFILE mode2.bin BINARY\n"
                         "TRACK 02 MODE2/2352\nINDEX 01 00:00:00\nREM SESSION 03\nFILE data.bin BINARY\n"
                         "TRACK 03 MODE1/2352\nINDEX 01 00:00:00\n"},
    {"two-blocks.cue", "TITLE \"Caf\xC3\xA9\"\nPERFORMER \"\xD0\x90\xD0\xBD\"\nFILE audio.wav WAVE\nTRACK 01 AUDIO\n"
                       "TITLE \"\xE5\xA4\x9C\xE3\x81\xAB\"\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nINDEX 01 00:03:00\n"},
    {"japanese.cue", "TITLE \"\xE5\xA4\x9C\xE3\x81\xAB\"\nFILE audio.wav WAVE\nTRACK 01 AUDIO\n"
                     "PERFORMER \"\xE3\x81\x82\"\nINDEX 01 00:00:00\n"},
    {"first-pause.cue", "CDTEXTFILE disc.cdt\nFILE audio.wav WAVE\nTRACK 01 AUDIO\nINDEX 00 00:00:00\n"
                        "INDEX 01 00:02:00\nFILE mode1.bin BINARY\nTRACK 02 MODE1/2048\nPREGAP 00:02:00\n"
                        "INDEX 01 00:00:00\n"},
    // Packs interleave into the sectors after their own: a CD+G track at the disc's end loses the
    // symbols that would follow the last sector, and with them its packs' parity.
    {"karaoke.cue", "FILE karaoke.cdg BINARY\nTRACK 01 CDG\nINDEX 01 00:00:00\nTRACK 02 CDG\nINDEX 00 00:02:00\n"
                    "INDEX 01 00:03:00\nFILE mode1.bin BINARY\nTRACK 03 MODE1/2048\nINDEX 01 00:00:00\n"
                    "FILE karaoke.cdg BINARY\nTRACK 04 CDG\nINDEX 01 00:00:00\nFILE audio.wav WAVE\n"
                    "TRACK 05 AUDIO\nINDEX 01 00:00:00\n"},
    {"libcrypt.cue", "FILE game.bin BINARY\nTRACK 01 MODE2/2352\nINDEX 01 00:00:00\n",
     sidecar::MedievilLsd() +
         sidecar::LsdRecord({0x00, 0x13, 0x25}, {0x41, 0x01, 0x01, 0x00, 0x11, 0x25, 0x00, 0x00, 0x13, 0x25, 0, 0})},
    {"first-pregap-data.cue", "FILE mode1.bin BINARY\nTRACK 01 MODE1/2048\nPREGAP 00:01:00\nINDEX 01 00:00:00\n"},
    {"first-pregap-and-pause.cue",
     "FILE audio.wav WAVE\nTRACK 01 AUDIO\nPREGAP 00:01:00\nINDEX 00 00:00:00\nINDEX 01 00:02:00\n"},
};

const auto& Generated(std::string_view name)
{
    return *std::find_if(std::begin(GENERATED), std::end(GENERATED), [name](const auto& d) { return d.Name == name; });
}

bool SameBytes(const std::string& a, const std::string& b)
{
    return TTempDir::ReadAll(a) == TTempDir::ReadAll(b);
}

// Loads the sheet with the side-car beside it, as the front ends do, and converts it into the set at
// ccd: why that failed, or "".
std::string Convert(const std::string& cue, const std::string& ccd, TLuCueSheet& sheet)
{
    std::vector<std::string> warnings;
    const std::string sideCar = FindSubQPatchFile(cue);
    if (!sheet.Load(cue) || (!sideCar.empty() && AttachSubQPatches(sheet, sideCar, warnings)))
        return cue + " or its side-car does not load: " + std::to_string(sheet.ErrorCode);
    TConversionJob job;
    job.Run(ccd, true, sheet);
    return job.Status == csSucceeded ? "" : "the conversion failed: " + job.Error.Text();
}

// Converts the sheet, exports the set, converts the exported sheet: what differs between the sets,
// and the Q frames the export kept if they are not those the first sheet's side-car gives.
std::string RoundTrip(const TTempDir& dir, const std::string& cue, bool singleFile)
{
    for (const char* folder : {"a", "b"})
        fs::create_directories(dir.Path() / folder);
    TLuCueSheet sheet;
    if (std::string failed = Convert(cue, dir.File("a/disc.ccd"), sheet); !failed.empty())
        return failed;
    TCueExportJob exporter;
    exporter.Run(dir.File("a/disc.ccd"), dir.File("b/disc.cue"), {false, singleFile, false});
    if (exporter.Status != csSucceeded)
        return "the export failed: " + exporter.Error.Text();
    if (exporter.Report.QFrames != static_cast<std::int64_t>(sheet.SubQPatches.size()))
        return "the export kept " + std::to_string(exporter.Report.QFrames) + " Q frames";
    TLuCueSheet back;
    if (std::string failed = Convert(dir.File("b/disc.cue"), dir.File("b/disc.ccd"), back); !failed.empty())
        return failed;
    std::string differ;
    for (const char* ext : {".img", ".sub", ".ccd"})
        if (!SameBytes(dir.File(std::string("a/disc") + ext), dir.File(std::string("b/disc") + ext)))
            differ += ext;
    return differ;
}

class CueExportRoundTripTest : public ::testing::TestWithParam<bool>
{};

// Golden sheets, the example disc and the generated discs, each per track file and in one file.
TEST_P(CueExportRoundTripTest, EverySetComesBackByteIdentical)
{
    std::vector<std::pair<std::string, std::string>> sheets; // name, text
    for (const auto& entry : fs::directory_iterator(fs::path(SARVEX_TEST_DATA) / "cue"))
        if (entry.path().filename().string().rfind("00000000_", 0) == 0)
            sheets.emplace_back(entry.path().filename().string(), TTempDir::ReadAll(entry.path().string()));
    std::map<std::string, std::string> sideCars;
    for (const auto& disc : GENERATED)
    {
        sheets.emplace_back(disc.Name, disc.Sheet);
        sideCars[disc.Name] = disc.SideCar;
    }
    int compared = 0;
    for (const auto& [name, text] : sheets)
    {
        SCOPED_TRACE(name);
        TTempDir dir;
        WriteDataFiles(dir);
        if (!sideCars[name].empty())
            dir.Write("disc.lsd", sideCars[name]);
        EXPECT_EQ(RoundTrip(dir, dir.Write("disc.cue", text), GetParam()), "");
        ++compared;
    }
    // The example disc: its data files are made by the script beside it.
    TTempDir example;
    const std::string script = fs::path(SARVEX_TEST_DATA).parent_path().parent_path() / "examples";
    ASSERT_EQ(std::system(("python3 " + script + "/make-example-disc.py " + example.Path().string()).c_str()), 0);
    EXPECT_EQ(RoundTrip(example, example.File("demo.cue"), GetParam()), "");
    EXPECT_GE(compared, 17);
}

INSTANTIATE_TEST_SUITE_P(FilesPerTrackAndOne, CueExportRoundTripTest, ::testing::Bool());

class CueExportTest : public ::testing::Test
{
protected:
    // Converts the sheet into set/disc.ccd.
    void MakeSet(const std::string& sheet)
    {
        WriteDataFiles(Dir);
        fs::create_directories(Dir.Path() / "set");
        fs::create_directories(Dir.Path() / "out");
        TLuCueSheet loaded;
        ASSERT_EQ(Convert(Dir.Write("disc.cue", sheet), Dir.File("set/disc.ccd"), loaded), "");
    }
    void Export(const std::string& cue, const TCueExportOptions& options = {})
    {
        Job.Run(Dir.File("set/disc.ccd"), Dir.File(cue), options);
    }

    TTempDir Dir;
    TCueExportJob Job;
};

TEST_F(CueExportTest, TheTrackFilesAreNamedAndCutAsTheDatabasesDo)
{
    MakeSet(Generated("every-type.cue").Sheet);
    Export("out/Game.cue");
    ASSERT_EQ(Job.Status, csSucceeded) << Job.Error.Text();
    // Each file holds its track's pregap and all up to the next one's: 200 + 150 postgap, 75 + 160,
    // index 0 to track 4 (525), the rest of the WAVE (225).
    const std::pair<const char*, std::uintmax_t> files[] = {
        {"Game (Track 1).bin", 350}, {"Game (Track 2).bin", 235}, {"Game (Track 3).bin", 525}, {"Game (Track 4).bin", 225}};
    for (const auto& [name, sectors] : files)
        EXPECT_EQ(fs::file_size(Dir.Path() / "out" / name), sectors * 2352) << name;
    EXPECT_EQ(TTempDir::ReadAll(Dir.File("out/Game.cue")),
              "CATALOG 1234567890123\r\nTITLE \"Disc\"\r\nPERFORMER \"Band\"\r\n"
              "FILE \"Game (Track 1).bin\" BINARY\r\n  TRACK 01 MODE1/2352\r\n    INDEX 01 00:00:00\r\n"
              "FILE \"Game (Track 2).bin\" BINARY\r\n  TRACK 02 MODE2/2352\r\n    INDEX 00 00:00:00\r\n"
              "    INDEX 01 00:01:00\r\nFILE \"Game (Track 3).bin\" BINARY\r\n  TRACK 03 AUDIO\r\n"
              "    TITLE \"Song\"\r\n    FLAGS DCP PRE\r\n    ISRC ABCDE1234567\r\n    INDEX 00 00:00:00\r\n    INDEX 01 00:02:10\r\n"
              "    INDEX 02 00:05:00\r\nFILE \"Game (Track 4).bin\" BINARY\r\n  TRACK 04 AUDIO\r\n"
              "    FLAGS 4CH\r\n    INDEX 01 00:00:00\r\n");
    EXPECT_EQ(Job.Report.Files.back(), Dir.File("out/Game.cue"));
    EXPECT_FALSE(fs::exists(Dir.File("out/Game.cdt")));

    // Ten tracks or more take two digits.
    MakeSet(Generated("twelve.cue").Sheet);
    Export("out/Twelve.cue");
    ASSERT_EQ(Job.Status, csSucceeded) << Job.Error.Text();
    EXPECT_TRUE(fs::exists(Dir.File("out/Twelve (Track 01).bin")));
    EXPECT_TRUE(fs::exists(Dir.File("out/Twelve (Track 12).bin")));
}

// A Japanese block comes back as UTF-8 lines behind a byte order mark; two blocks are more than the
// lines give back, so the packs go whole into the CD-TEXT file.
TEST_F(CueExportTest, CdTextBecomesLinesOnlyWhereTheyGiveThePacksBack)
{
    const std::pair<const char*, const char*> cases[] = {
        {"japanese.cue", "\xEF\xBB\xBFTITLE \"\xE5\xA4\x9C\xE3\x81\xAB\"\r\nFILE"},
        {"two-blocks.cue", "CDTEXTFILE \"Game.cdt\"\r\nFILE"},
    };
    for (const auto& [name, start] : cases)
    {
        SCOPED_TRACE(name);
        MakeSet(Generated(name).Sheet);
        Export("out/Game.cue", {true, false, false});
        ASSERT_EQ(Job.Status, csSucceeded) << Job.Error.Text();
        EXPECT_EQ(TTempDir::ReadAll(Dir.File("out/Game.cue")).substr(0, std::string(start).size()), start);
        EXPECT_EQ(fs::exists(Dir.File("out/Game.cdt")), std::string(start).find("CDTEXTFILE") == 0);
    }
}

// The LibCrypt frame goes to both side-cars, the damaged one to the .lsd only; the report tells them apart.
TEST_F(CueExportTest, DifferingQFramesAreKeptAndCountedByWhatTheyLookLike)
{
    Dir.Write("disc.lsd", Generated("libcrypt.cue").SideCar);
    MakeSet(Generated("libcrypt.cue").Sheet);
    Export("out/Game.cue");
    ASSERT_EQ(Job.Status, csSucceeded) << Job.Error.Text();
    EXPECT_EQ(Job.Report.QFrames, 2);
    EXPECT_EQ(Job.Report.LibCryptFrames, 1);
    EXPECT_EQ(Job.Report.DamagedFrames, 1);
    EXPECT_EQ(TTempDir::ReadAll(Dir.File("out/Game.lsd")), Generated("libcrypt.cue").SideCar.substr(15) + sidecar::MedievilLsd());
    EXPECT_EQ(TTempDir::ReadAll(Dir.File("out/Game.sbi")), sidecar::MedievilSbi());
    Export("out/Game.cue", {true, false, true});
    EXPECT_EQ(Job.Error.Text(), "the set is damaged and --strict is given: 1 Q frames fail their CRC");
}

// Only a PlayStation disc (its first track mode 2) has LibCrypt frames; elsewhere they are damage.
TEST_F(CueExportTest, AFrameAtALibCryptAddressOfAMode1DiscIsDamage)
{
    Dir.Write("disc.lsd", sidecar::MedievilLsd());
    MakeSet("FILE game.bin BINARY\nTRACK 01 MODE1/2352\nINDEX 01 00:00:00\n");
    Export("out/Game.cue");
    ASSERT_EQ(Job.Status, csSucceeded) << Job.Error.Text();
    EXPECT_EQ(Job.Report.LibCryptFrames, 0);
    EXPECT_EQ(Job.Report.DamagedFrames, 1);
    EXPECT_FALSE(fs::exists(Dir.File("out/Game.sbi")));
}

// A control file as dumping tools write them: CRLF, blank lines, PreGapSubC=1, B0 and C0 entries.
std::string ForeignEntry(int n, const char* point, int adr, int control, int pMin, int pSec, int pFrame, int pLba)
{
    return "[Entry " + std::to_string(n) + "]\r\nSession=1\r\nPoint=" + point + "\r\nADR=0x0" + std::to_string(adr) +
           "\r\nControl=0x0" + std::to_string(control) + "\r\nTrackNo=0\r\nAMin=0\r\nASec=0\r\nAFrame=0\r\n" +
           "ALBA=-150\r\nZero=0\r\nPMin=" + std::to_string(pMin) + "\r\nPSec=" + std::to_string(pSec) +
           "\r\nPFrame=" + std::to_string(pFrame) + "\r\nPLBA=" + std::to_string(pLba) + "\r\n\r\n";
}

// A set another tool made, with a damaged Q frame and an odd P flag: the .img comes back, the .sub
// with the side-car everywhere but the P channel, the control file with the same TOC, the drive's
// A0 fields and the B0 and C0 entries the sheet gives whole.
TEST_F(CueExportTest, ASetFromADumpingToolComesBackButForItsPChannel)
{
    MakeSet("FILE mode2.bin BINARY\nTRACK 01 MODE2/2352\nINDEX 01 00:00:00\nFILE audio.wav WAVE\nTRACK 02 AUDIO\n"
            "INDEX 00 00:00:00\nINDEX 01 00:02:00\n");
    std::string a0 = ForeignEntry(0, "0xa0", 1, 4, 1, 32, 0, 6750);
    a0.replace(a0.find("AMin=0"), 35, "AMin=1\r\nASec=2\r\nAFrame=3\r\nALBA=4503");
    Dir.Write("set/disc.ccd",
              "[CloneCD]\r\nVersion=3\r\n\r\n[Disc]\r\nTocEntries=7\r\nSessions=1\r\nDataTracksScrambled=0\r\n"
              "CDTextLength=0\r\n\r\n[Session 1]\r\nPreGapMode=2\r\nPreGapSubC=1\r\n\r\n" +
                  a0 + ForeignEntry(1, "0xa1", 1, 0, 2, 0, 0, 8850) +
                  ForeignEntry(2, "0xa2", 1, 0, 0, 14, 10, 910) + ForeignEntry(3, "0xb0", 5, 0, 79, 59, 74, 359849) +
                  ForeignEntry(4, "0xc0", 5, 0, 97, 27, 21, -11634) + ForeignEntry(5, "0x01", 1, 4, 0, 2, 0, 0) +
                  ForeignEntry(6, "0x02", 1, 0, 0, 6, 10, 310) +
                  "[TRACK 1]\r\nMODE=2\r\nINDEX 1=0\r\n\r\n[TRACK 2]\r\nMODE=0\r\nINDEX 0=160\r\nINDEX 1=310\r\n");
    std::string sub = TTempDir::ReadAll(Dir.File("set/disc.sub"));
    sub[500 * 96 + 12 + 5] ^= 0x10; // a Q frame whose CRC fails
    sub[700 * 96] = '\xFF';         // the P flag up for one sector
    Dir.Write("set/disc.sub", sub);
    Export("out/disc.cue");
    ASSERT_EQ(Job.Status, csSucceeded) << Job.Error.Text();
    EXPECT_EQ(Job.Report.DamagedFrames, 1);
    EXPECT_EQ(Job.Report.QFrames, 1);
    EXPECT_EQ(Job.Report.PDiffers, 1);

    TLuCueSheet back;
    ASSERT_EQ(Convert(Dir.File("out/disc.cue"), Dir.File("out/disc.ccd"), back), "");
    EXPECT_TRUE(SameBytes(Dir.File("set/disc.img"), Dir.File("out/disc.img")));
    sub[700 * 96] = 0;
    EXPECT_EQ(TTempDir::ReadAll(Dir.File("out/disc.sub")), sub);
    TCcdDisc before;
    TCcdDisc after;
    ASSERT_FALSE(ReadCcdFile(Dir.File("set/disc.ccd"), before));
    ASSERT_FALSE(ReadCcdFile(Dir.File("out/disc.ccd"), after));
    EXPECT_EQ(after.Model.Toc, before.Model.Toc);
    EXPECT_EQ(after.Model.Sessions, before.Model.Sessions);
}

// TOC entries no sheet line can give back are warnings: a track's control that its mode contradicts,
// an A1 the set lacks. The C0 in its place is given whole.
TEST_F(CueExportTest, TocEntriesTheSheetCannotGiveAreWarnedAbout)
{
    MakeSet("FILE mode1.bin BINARY\nTRACK 01 MODE1/2048\nINDEX 01 00:00:00\n");
    std::string ccd = TTempDir::ReadAll(Dir.File("set/disc.ccd"));
    ccd.replace(ccd.find("Point=0xa1"), 10, "Point=0xc0");
    ccd.replace(ccd.find("Control=0x04", ccd.find("Point=0x01")), 12, "Control=0x00");
    Dir.Write("set/disc.ccd", ccd);
    Export("out/disc.cue");
    ASSERT_EQ(Job.Status, csSucceeded) << Job.Error.Text();
    EXPECT_EQ(Job.Report.Warnings,
              (std::vector<std::string>{"a TOC entry of the control file is not kept: point 0x01 of session 1 has "
                                        "control 0x00, but the track's mode and FLAGS give 0x04",
                                        "the control file has no TOC entry for point 0xa1 of session 1, which a "
                                        "conversion of the sheet writes"}));
    EXPECT_EQ(TTempDir::ReadAll(Dir.File("out/disc.cue")).substr(0, 44),
              "REM TOC-ENTRY Session=1 Point=0xc0 ADR=0x01 ");
}

// B0 only says how the gap before a session divides: of ADR 7, or pointing before the lead-out, it is
// left out, and the tracks' places fix the gap as ever.
TEST_F(CueExportTest, AWrongB0LeavesEveryTrackWhereTheSetHasIt)
{
    for (const auto& [from, to] : {std::pair{"ADR=0x05", "ADR=0x07"}, {"AMin=2\r\nASec=42", "AMin=0\r\nASec=0"}})
    {
        SCOPED_TRACE(to);
        MakeSet(Generated("sessions.cue").Sheet);
        std::string ccd = TTempDir::ReadAll(Dir.File("set/disc.ccd"));
        ccd.replace(ccd.find(from, ccd.find("Point=0xb0")), std::string(from).size(), to);
        Dir.Write("set/disc.ccd", ccd);
        Export("out/disc.cue", {true, false, false});
        ASSERT_EQ(Job.Status, csSucceeded) << Job.Error.Text();
        TLuCueSheet back;
        ASSERT_EQ(Convert(Dir.File("out/disc.cue"), Dir.File("out/disc.ccd"), back), "");
        EXPECT_TRUE(SameBytes(Dir.File("set/disc.img"), Dir.File("out/disc.img")));
        EXPECT_TRUE(SameBytes(Dir.File("set/disc.sub"), Dir.File("out/disc.sub")));
    }
}

// Sectors that say another mode than the control file's are a warning, and with --strict a refusal.
TEST_F(CueExportTest, ADataTrackOfAnotherModeIsWarnedAboutOrRefused)
{
    MakeSet("FILE mode2.bin BINARY\nTRACK 01 MODE2/2352\nINDEX 01 00:00:00\n");
    std::string ccd = TTempDir::ReadAll(Dir.File("set/disc.ccd"));
    ccd.replace(ccd.find("MODE=2"), 6, "MODE=1");
    Dir.Write("set/disc.ccd", ccd);
    const std::string warning = "track 1 is mode 1 in the control file, but 160 of its sectors say another mode";
    Export("out/disc.cue");
    ASSERT_EQ(Job.Status, csSucceeded) << Job.Error.Text();
    EXPECT_EQ(Job.Report.Warnings, std::vector<std::string>{warning});
    Export("out/strict.cue", {false, false, true});
    EXPECT_EQ(Job.Error.Text(), "the set is damaged and --strict is given: " + warning);
    EXPECT_FALSE(fs::exists(Dir.File("out/strict.bin")));
}

struct TRefusal
{
    const char* Name;
    void (*Break)(const TTempDir&);
    const char* Cue;
    const char* Reason;
    bool Unreadable;
};

const TRefusal REFUSALS[] = {
    {"MissingImg", [](const TTempDir& d) { fs::remove(d.File("set/disc.img")); }, "out/disc.cue", "the image file",
     true},
    {"SubARecordShort", [](const TTempDir& d) { fs::resize_file(d.File("set/disc.sub"), 96 * 299); }, "out/disc.cue",
     "sectors need", true},
    {"NoSuchFolder", [](const TTempDir&) {}, "missing/disc.cue", "missing\" does not exist.", false},
    {"ThirdTrackPastTheImg",
     [](const TTempDir& d) {
         d.Write("set/disc.ccd", TTempDir::ReadAll(d.File("set/disc.ccd")) +
                                     "[TRACK 2]\r\nMODE=1\r\nINDEX 1=100\r\n[TRACK 3]\r\nMODE=1\r\nINDEX 1=400\r\n");
     },
     "out/disc.cue", "track 3 lies outside the sectors the set holds", true},
    {"SheetOverTheImage", [](const TTempDir&) {}, "set/disc.img", "is a file of the image set", false},
    {"TooLittleRoom", [](const TTempDir&) { TFile::AssumedFreeSpace = 300 * 2352 - 1; }, "out/disc.cue",
     "they need 705,600 bytes, 705,599 are free.", false},
    // --force replaces what exists, never a read-only file.
    {"ReadOnlyOutput",
     [](const TTempDir& d) { fs::permissions(d.Write("out/disc.bin", "x"), fs::perms::owner_read); },
     "out/disc.cue", "out/disc.bin\" is a read-only file.", false},
};

void PrintTo(const TRefusal& refusal, std::ostream* out)
{
    *out << refusal.Name;
}

class CueExportRefusalTest : public CueExportTest, public ::testing::WithParamInterface<TRefusal>
{};

// Each refusal names its reason and leaves the sheet's folder as it was.
TEST_P(CueExportRefusalTest, ComesBeforeAnyOutput)
{
    MakeSet("FILE data.bin BINARY\nTRACK 01 MODE1/2352\nINDEX 01 00:00:00\n");
    GetParam().Break(Dir);
    const auto before = std::distance(fs::directory_iterator(Dir.Path() / "out"), fs::directory_iterator());
    Export(GetParam().Cue, {true, false, false});
    TFile::AssumedFreeSpace = -1;
    EXPECT_EQ(Job.Status, csFailed);
    EXPECT_NE(Job.Error.Text().find(GetParam().Reason), std::string::npos) << Job.Error.Text();
    EXPECT_EQ(Job.Report.SetUnreadable, GetParam().Unreadable);
    EXPECT_EQ(std::distance(fs::directory_iterator(Dir.Path() / "out"), fs::directory_iterator()), before);
}

INSTANTIATE_TEST_SUITE_P(Cases, CueExportRefusalTest, ::testing::ValuesIn(REFUSALS),
                         [](const auto& p) { return std::string(p.param.Name); });

} // namespace
