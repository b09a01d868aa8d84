// SPDX-License-Identifier: GPL-3.0-or-later
#include "cuesheet/Cueerrors.h"
#include "cuesheet/Lucue.h"

#include "support/CdTextFile.h"
#include "support/TempDir.h"
#include "support/Wave.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

// A folder with the data files the sample sheets name.
class CueFolder
{
public:
    CueFolder()
    {
        Dir.WriteZeros("data.bin", 300 * 2352);
        Dir.WriteZeros("short.bin", 1000);
        Dir.Write("disc.cdt", CdTextFileBytes());
        TWaveLayout audio;
        audio.Data = std::string(750 * 2352, '\x02');
        Dir.Write("audio.wav", MakeWave(audio));
        TWaveLayout mono;
        mono.Channels = 1;
        mono.Data = std::string(2352, '\x02');
        Dir.Write("mono.wav", MakeWave(mono));
        fs::create_directory(Dir.Path() / "folder");
        fs::create_directory(Dir.Path() / "SUB");
        Dir.WriteZeros("SUB/Track 01.bin", 10 * 2352);
        Dir.WriteZeros("SUB/TRACK 02.BIN", 20 * 2352);
    }
    TTempDir Dir;
};

// Each sample sheet's name starts with the status its load must give, in hex.
TEST(CueSamplesTest, EverySampleSheetGivesTheStatusInItsName)
{
    const fs::path samples = fs::path(SARVEX_TEST_DATA) / "cue";
    int seen = 0;
    for (const auto& entry : fs::directory_iterator(samples))
    {
        const std::string name = entry.path().filename().string();
        SCOPED_TRACE(name);
        const std::uint32_t expected = static_cast<std::uint32_t>(std::stoul(name.substr(0, 8), nullptr, 16));
        CueFolder folder;
        const std::string cue = folder.Dir.Write("disc.cue", TTempDir::ReadAll(entry.path().string()));
        TLuCueSheet sheet;
        EXPECT_EQ(sheet.Load(cue), expected == 0);
        EXPECT_EQ(sheet.ErrorCode, expected) << std::hex << sheet.ErrorCode;
        if (expected != 0)
        {
            EXPECT_EQ(sheet.TrackCount, 0);
            EXPECT_EQ(sheet.FileCount, 0);
            EXPECT_EQ(sheet.AddressRowCount(), 0);
            EXPECT_FALSE(CueErrorMessage(sheet.ErrorCode).empty());
        }
        ++seen;
    }
    EXPECT_GT(seen, 40);
}

class LoadTest : public ::testing::Test
{
protected:
    bool Load(const std::string& text) { return Sheet.Load(Folder.Dir.Write("disc.cue", text)); }
    const TLuCueTrack& Track(int number) { return *Sheet.GetTrack(number); }
    CueFolder Folder;
    TLuCueSheet Sheet;
};

TEST_F(LoadTest, OneRawTrackCoversTheWholeFile)
{
    ASSERT_TRUE(Load("FILE \"data.bin\" BINARY\nTRACK 01 MODE1/2352\nINDEX 01 00:00:00\n"));
    EXPECT_EQ(Sheet.FileCount, 1);
    EXPECT_EQ(Sheet.TrackCount, 1);
    EXPECT_EQ(Sheet.FirstTrackNo, 1);
    EXPECT_EQ(Track(1).Start, 0);
    EXPECT_EQ(Track(1).End, 300);
    EXPECT_EQ(Track(1).GetControl(), 0x40);
    EXPECT_EQ(Sheet.CuePath, Folder.Dir.File("disc.cue"));
}

TEST_F(LoadTest, APartialSectorCountsAsOne)
{
    ASSERT_TRUE(Load("FILE short.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"));
    EXPECT_EQ(Track(1).End, 1);
}

TEST_F(LoadTest, TracksSharingAFileEndWhereTheNextBegins)
{
    Folder.Dir.WriteZeros("long.bin", std::uintmax_t(20000) * 2352 + 100);
    ASSERT_TRUE(Load("FILE long.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nINDEX 01 03:00:00\n"));
    EXPECT_EQ(Track(1).End, 13500);
    EXPECT_EQ(Track(2).Start, 13500);
    EXPECT_EQ(Track(2).FirstIndexNo, 1);
    EXPECT_EQ(Track(2).End, 20001);
}

TEST_F(LoadTest, MixedSectorSizesInOneFileAreCountedPerTrack)
{
    // 100 cooked sectors, then 50 raw ones.
    Folder.Dir.WriteZeros("mixed.bin", 100 * 2048 + 50 * 2352);
    ASSERT_TRUE(Load("FILE mixed.bin BINARY\nTRACK 01 MODE1/2048\nINDEX 01 00:00:00\n"
                     "TRACK 02 AUDIO\nINDEX 00 00:01:25\nINDEX 01 00:01:35\n"));
    EXPECT_EQ(Track(1).End, 100);
    EXPECT_EQ(Track(2).GetIndexLength(0), 10);
    EXPECT_EQ(Track(2).End, 100 + 50);
}

TEST_F(LoadTest, WaveTracksUseTheDataChunkOnly)
{
    ASSERT_TRUE(Load("FILE audio.wav WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"));
    EXPECT_EQ(Track(1).End, 750);
}

TEST_F(LoadTest, FlagsIsrcGapsAndCatalogAreStored)
{
    ASSERT_TRUE(Load("CATALOG 1234567890123\nCDTEXTFILE disc.cdt\nFILE data.bin BINARY\nTRACK 07 AUDIO\n"
                     "FLAGS 4CH SCMS PRE\nISRC USABC9912345\nPREGAP 00:01:00\nINDEX 01 00:00:00\nPOSTGAP 00:00:10\n"));
    EXPECT_EQ(Sheet.Catalog, "1234567890123");
    EXPECT_EQ(Sheet.CdTextFile, Folder.Dir.File("disc.cdt"));
    EXPECT_EQ(Sheet.FirstTrackNo, 7);
    EXPECT_EQ(Track(7).GetControl(), 0x90);
    EXPECT_EQ(Track(7).Isrc, "USABC9912345");
    EXPECT_EQ(Track(7).Pregap, 75);
    EXPECT_EQ(Track(7).Postgap, 10);
    // The disc model carries them to the control file.
    const TDiscTrack* seven = Sheet.Model().FindTrack(7);
    ASSERT_NE(seven, nullptr);
    EXPECT_EQ(seven->Mode, 0);
    EXPECT_EQ(seven->Isrc, "USABC9912345");
    EXPECT_EQ(Sheet.Model().FindTrack(6), nullptr);
    EXPECT_EQ(Sheet.Model().FindTrack(8), nullptr);
    EXPECT_EQ(Sheet.GetTrack(6), nullptr);
    EXPECT_EQ(Sheet.GetTrack(8), nullptr);
    EXPECT_EQ(Sheet.GetTrack(100), nullptr);
}

TEST_F(LoadTest, FileNamesKeepTheirCaseAndMatchFoldersIgnoringCase)
{
    ASSERT_TRUE(Load("FILE \"sub\\track 01.bin\" BINARY\nTRACK 01 MODE1/2352\nINDEX 01 00:00:00\n"
                     "FILE \"Sub/Track 02.bin\" BINARY\nTRACK 02 MODE1/2352\nINDEX 01 00:00:00\n"));
    EXPECT_EQ(Track(1).End, 10);
    EXPECT_EQ(Track(2).End, 20);
    EXPECT_EQ(Sheet.ResolvePath("\"sub\\TRACK 02.bin\""), Folder.Dir.File("SUB/TRACK 02.BIN"));
    // An absolute name is used as it stands.
    const std::string absolute = Folder.Dir.File("data.bin");
    EXPECT_EQ(Sheet.ResolvePath(" \"" + absolute + "\" "), absolute);
    EXPECT_EQ(Sheet.ResolvePath("   "), "");
}

// Whatever the FILE type, and for CDTEXTFILE, the fixed message stays and a line says what the name is.
TEST_F(LoadTest, FilesThatCannotBeOpenedAreRefusedWithTheReason)
{
    const fs::path dir = Folder.Dir.Path();
    ASSERT_EQ(::mkfifo(Folder.Dir.File("pipe.bin").c_str(), 0600), 0);
    fs::create_symlink("loop.bin", dir / "loop.bin");
    fs::create_symlink("gone.bin", dir / "dangling.bin");
    Folder.Dir.WriteZeros("locked.bin", 2352);
    ::chmod(Folder.Dir.File("locked.bin").c_str(), 0);
    const struct
    {
        std::string Name;
        std::string Reason;
    } cases[] = {
        {"missing.bin", "missing.bin: no such file"},
        {"folder", "folder: is a folder"},
        {"pipe.bin", "pipe.bin: is a pipe, not a file"},
        {"/dev/zero", "/dev/zero: is a device, not a file"},
        {"loop.bin", "loop.bin: is a link loop"},
        {"dangling.bin", "dangling.bin: is a link to no file"},
        {"locked.bin", "locked.bin: cannot be read (Permission denied)"},
    };
    const std::string track = "TRACK 01 AUDIO\nINDEX 01 00:00:00\n";
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.Name);
        if (c.Name == "locked.bin" && ::geteuid() == 0)
            continue;
        const bool opened = c.Name == "locked.bin"; // found, but it cannot be read
        for (const char* type : {"BINARY", "MOTOROLA", "WAVE"})
        {
            EXPECT_FALSE(Load("FILE \"" + c.Name + "\" " + type + "\n" + track));
            EXPECT_EQ(Sheet.ErrorCode, opened ? 0x10403u : 0x10401u) << type;
            EXPECT_EQ(CueErrorText(Sheet),
                      "Invalid CUE SHEET command at line 1\nUnable to find or open FILE\n" + c.Reason);
        }
        EXPECT_FALSE(Load("CDTEXTFILE \"" + c.Name + "\"\nFILE data.bin BINARY\n" + track));
        EXPECT_EQ(CueErrorText(Sheet),
                  "Invalid CUE SHEET command at line 1\nUnable to find or open CDTEXTFILE\n" + c.Reason);
    }
    // The sheet itself: the fixed message, then the path as given and why. /proc/self/mem opens but
    // cannot be read, even by root.
    const std::string tooLong = Folder.Dir.File(std::string(300, 'x') + ".cue");
    const std::pair<std::string, std::string> sheets[] = {
        {Folder.Dir.File("none.cue"), "no such file"},
        {Folder.Dir.File("folder"), "is a folder"},
        {Folder.Dir.File("pipe.bin"), "is a pipe, not a file"},
        {tooLong, "path too long"},
        {"/proc/self/mem", "cannot be read (Input/output error)"},
    };
    for (const auto& [path, reason] : sheets)
    {
        EXPECT_FALSE(Sheet.Load(path));
        EXPECT_EQ(CueErrorText(Sheet), "Unable to find or open CUE SHEET\n\"" + path + "\": " + reason);
    }
}

// A CD-TEXT file is copied as it is, so the load checks what the packs could not be.
TEST_F(LoadTest, CdTextFilesThatHoldNoSoundPacksAreRefused)
{
    std::string badType = CdTextFileBytes(3);
    badType[2 * 18] = '\x12';
    std::string badSequence = CdTextFileBytes(7);
    badSequence[6 * 18 + 2] = 5;
    const std::pair<std::string, std::string> cases[] = {
        {std::string(1000, '\x80'), "1,000 bytes is not a whole number of 18-byte packs"},
        {CdTextFileBytes(1).substr(1), "17 bytes is not a whole number of 18-byte packs"},
        {"\x80", "1 byte is not a whole number of 18-byte packs"},
        {"", "the file holds no CD-TEXT packs"},
        {badType, "pack 3 has type 0x12; CD-TEXT packs are 0x80-0x8F"},
        {badSequence, "pack 7's sequence number is 5, expected 6"},
        {std::string(8193 * 18 + 4, '\x80'), "8,193 packs; a control file holds at most 8,192"},
    };
    const std::string head = "Invalid CUE SHEET command at line 1\nUnable to find or open CDTEXTFILE\ndisc.cdt: ";
    const std::string sheet = "CDTEXTFILE \"sub/disc.cdt\"\nFILE data.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n";
    for (const auto& [bytes, reason] : cases)
    {
        Folder.Dir.Write("SUB/disc.cdt", bytes);
        EXPECT_FALSE(Load(sheet));
        EXPECT_EQ(CueErrorText(Sheet), head + reason);
    }
    // Some tools write no CRC: such packs are kept, with a warning.
    std::string noCrc = CdTextFileBytes(3);
    for (const std::size_t pack : {0, 2})
        noCrc[pack * 18 + 16] = noCrc[pack * 18 + 17] = '\0';
    Folder.Dir.Write("SUB/disc.cdt", noCrc);
    ASSERT_TRUE(Load(sheet));
    EXPECT_EQ(Sheet.LoadWarnings,
              std::vector<std::string>{"disc.cdt: packs 1 and 3 fail their CRC check and are copied unchanged"});
}

TEST_F(LoadTest, AFailedReloadEmptiesTheSheetButKeepsTheCode)
{
    ASSERT_TRUE(Load("FILE data.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"));
    EXPECT_FALSE(Load("FILE data.bin BINARY\nTRACK 01 AUDIO\n"));
    EXPECT_EQ(Sheet.ErrorCode, 0x108u);
    Sheet.Clear();
    EXPECT_EQ(Sheet.ErrorCode, 0x108u);
    EXPECT_EQ(Sheet.GetTrack(1), nullptr);
    EXPECT_EQ(Sheet.FindAddressRow(150), -1);
}

TEST_F(LoadTest, GarbageEndsInAStatusCode)
{
    std::string garbage;
    for (int i = 0; i < 200000; ++i)
        garbage.push_back(static_cast<char>((i * 7919) & 0xFF));
    EXPECT_FALSE(Load(garbage));
    EXPECT_NE(Sheet.ErrorCode, 0u);
    EXPECT_FALSE(Load("INDEX " + std::string(1 << 20, '9') + "\n"));
    EXPECT_EQ(Sheet.ErrorCode, 0x10907u);
    std::string withNul = "FILE data.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00";
    withNul += '\0';
    withNul += "\nTRACK 2";
    withNul += '\0';
    withNul += " AUDIO";
    EXPECT_FALSE(Load(withNul));
    EXPECT_EQ(Sheet.ErrorCode, 0x40505u);
}

// UTF-16 and UTF-32 sheets name their files in any script; Windows paths and codes are written as rippers write them.
TEST_F(LoadTest, RippersDialectsKeepNamesAndCodes)
{
    // "Grüße 🎵.bin": one letter outside ASCII and one outside the basic plane.
    Folder.Dir.WriteZeros("Gr\xC3\xBC\xC3\x9F"
                          "e \xF0\x9F\x8E\xB5.bin",
                          5 * 2352);
    const std::u32string sheet =
        U"FILE \"Gr\u00FC\u00DFe \U0001F3B5.bin\" BINARY\r\nTRACK 01 AUDIO\r\nINDEX 01 00:00:00\r\n";
    auto encode = [](const std::u32string& text, int unitSize, bool bigEndian) {
        std::string bytes;
        auto put = [&](char32_t unit) {
            for (int i = 0; i < unitSize; ++i)
                bytes += static_cast<char>(unit >> (8 * (bigEndian ? unitSize - 1 - i : i)) & 0xFF);
        };
        for (const char32_t c : text)
        {
            if (unitSize == 2 && c > 0xFFFF)
                put(0xD800 + ((c - 0x10000) >> 10));
            put(unitSize == 2 && c > 0xFFFF ? 0xDC00 + ((c - 0x10000) & 0x3FF) : c);
        }
        return bytes;
    };
    // UTF-16 with its byte order mark and without, UTF-32 with one; both byte orders.
    for (const auto& [unitSize, mark] : {std::pair{2, true}, {2, false}, {4, true}})
        for (const bool bigEndian : {false, true})
        {
            ASSERT_TRUE(Load(encode((mark ? U"\uFEFF" : U"") + sheet, unitSize, bigEndian)))
                << unitSize << mark << bigEndian << ": " << CueErrorText(Sheet);
            EXPECT_EQ(Track(1).End, 5);
            EXPECT_EQ(TLuCueSheet::NamedFiles(Sheet.CuePath).size(), 1u);
        }
    ASSERT_TRUE(
        Load("CATALOG \"4988001234567\"\nFILE \"C:\\Rips\\Album\\DATA.BIN\" BINARY\nTRACK 01 AUDIO\n"
             "ISRC \"US-RC1-76-07839\"\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nISRC 000000000000\nINDEX 01 00:00:01\n"));
    EXPECT_EQ(Sheet.Catalog, "4988001234567");
    EXPECT_EQ(Track(1).Isrc, "USRC17607839");
    EXPECT_EQ(Track(2).Isrc, "");
    EXPECT_EQ(Sheet.ResolvePath("\"d:/x/AUDIO.WAV\""), Folder.Dir.File("audio.wav"));
    // Only a drive path falls back to the sheet's folder.
    EXPECT_NE(Sheet.ResolvePath("\"x\\audio.wav\""), Folder.Dir.File("audio.wav"));
}

// Discs that cannot exist are refused at the line that makes them so; a short track is only a warning.
TEST_F(LoadTest, DiscsThatCannotExistAreRefusedWithTheirFigures)
{
    constexpr std::uintmax_t RAW = 2352;
    std::string nineGaps = "FILE data.bin BINARY\n";
    for (int t = 1; t <= 9; ++t)
    {
        char track[80];
        std::snprintf(track, sizeof track, "TRACK %02d AUDIO\nPREGAP 30:00:00\nINDEX 01 00:00:%02d\n", t, t * 5 - 5);
        nineGaps += track;
    }
    const std::string limit = "the disc would be ";
    const std::string most = " long; a CD holds at most 99:59:74 (line ";
    const std::string track1 = "REM SESSION 01\nFILE edge.bin BINARY\nTRACK 01 AUDIO\n";
    const struct
    {
        const char* Name;
        std::uintmax_t Sectors; // of edge.bin, a sparse file
        std::string Cue;
        std::uint32_t Status;
        std::string Detail; // the warning when the sheet loads
    } cases[] = {
        {"300 minutes", 300 * 4500, "FILE edge.bin BINARY\nTRACK 01 MODE1/2352\nINDEX 01 00:00:00\n", 0x10110,
         limit + "300:02:00" + most + "1, edge.bin)"},
        {"102 minutes over two files", 60 * 4500,
         "FILE edge.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nFILE more.bin BINARY\nTRACK 02 AUDIO\n"
         "INDEX 01 00:00:00\n",
         0x40110, limit + "102:13:40" + most + "4, more.bin)"},
        {"nine PREGAP 30:00:00", 1, nineGaps, 0xC0110, limit + "270:06:00" + most + "12)"},
        {"lead-out at 99:59:74", 449849, "FILE edge.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n", 0, ""},
        {"one POSTGAP sector more", 449849,
         "FILE edge.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nPOSTGAP 00:00:01\n", 0x40110,
         limit + "100:00:00" + most + "4)"},
        // Gaps count where they lie on the disc, after the sectors of the file before them.
        {"the next file past 99:59:74", 20,
         "FILE edge.bin BINARY\nTRACK 01 AUDIO\nPREGAP 98:00:00\nINDEX 01 00:00:00\nPOSTGAP 01:57:55\n"
         "FILE \"SUB/Track 01.bin\" BINARY\nTRACK 02 AUDIO\nINDEX 01 00:00:00\n",
         0x60110, limit + "100:00:10" + most + "6, SUB/Track 01.bin)"},
        {"INDEX 02 past 99:59:74", 449900,
         "FILE edge.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nINDEX 02 00:01:00\n", 0x40110,
         limit + "100:00:50" + most + "4, edge.bin)"},
        {"INDEX 02 past the end", 200, "FILE edge.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nINDEX 02 00:10:00\n",
         0x4090E, "INDEX 02 00:10:00 lies past the end of \"edge.bin\" (00:02:50)"},
        {"INDEX 02 at the end", 300, "FILE edge.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nINDEX 02 00:04:00\n", 0,
         ""},
        {"INDEX 01 at the end", 300,
         "FILE edge.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nINDEX 01 00:04:00\n", 0x5090F,
         "track 2 has no sectors"},
        {"empty file", 0, "FILE edge.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n", 0x3090F,
         "track 1 has no sectors"},
        {"next track at the same place", 300,
         "FILE edge.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nINDEX 00 00:00:00\n", 0x5090F,
         "track 1 has no sectors"},
        {"INDEX 02 at the same place", 300,
         "FILE edge.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nINDEX 02 00:00:00\n", 0x4090F,
         "track 1 has no sectors before its INDEX 02 00:00:00"},
        {"no gap between sessions", 300,
         track1 + "INDEX 01 00:00:00\nREM LEAD-OUT 00:00:00\nREM SESSION 02\nREM LEAD-IN 00:00:00\n", 0x70C05,
         "session 2 would start where the lead-out of session 1 does: a lead-out and a lead-in of 00:00:00"},
        {"REM SESSION before INDEX 01", 300,
         track1 + "REM SESSION 02\nINDEX 01 00:00:00\nFILE more.bin BINARY\nTRACK 02 AUDIO\nINDEX 01 00:00:00\n",
         0x40C09, ""},
        {"REM LEAD-OUT of the last session", 300, track1 + "INDEX 01 00:00:00\nREM LEAD-OUT 00:30:00\n", 0,
         "line 5: REM LEAD-OUT after the last session is ignored; no session follows it"},
    };
    Folder.Dir.WriteZeros("more.bin", (42 * 4500 + 11 * 75 + 40) * RAW);
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.Name);
        Folder.Dir.WriteZeros("edge.bin", c.Sectors * RAW);
        EXPECT_EQ(Load(c.Cue), c.Status == 0);
        EXPECT_EQ(Sheet.ErrorCode, c.Status) << std::hex << Sheet.ErrorCode;
        EXPECT_EQ(Sheet.LoadWarnings.size(), c.Status == 0 && !c.Detail.empty() ? 1u : 0u);
        EXPECT_EQ(c.Status ? Sheet.ErrorDetail : (Sheet.LoadWarnings.empty() ? "" : Sheet.LoadWarnings[0]), c.Detail);
    }
    Folder.Dir.WriteZeros("edge.bin", cases[3].Sectors * RAW);
    ASSERT_TRUE(Load(cases[3].Cue));
    EXPECT_EQ(Sheet.LeadOutAddress(), MAX_LEAD_OUT);
    EXPECT_EQ(CueErrorText(0x10110), "Invalid CUE SHEET command at line 1\nThe disc is too long for a CD");
}

// Only what a player plays counts, from INDEX 01 to the next track's pregap; the whole disc gets one warning.
TEST_F(LoadTest, TracksBelowFourSecondsGiveOneWarning)
{
    const std::string two = "track 2 is 00:03:74 long; the Red Book asks for at least 4 seconds";
    // The sectors of edge.bin, which track 1 starts; the lines after track 1; the warning.
    const struct
    {
        std::uintmax_t Sectors;
        std::string Cue, Warning;
    } cases[] = {
        {599, "TRACK 02 AUDIO\nINDEX 01 00:04:00\n", two},
        {600, "TRACK 02 AUDIO\nINDEX 01 00:04:00\n", ""},
        {600, "TRACK 02 AUDIO\nINDEX 01 00:04:00\nINDEX 02 00:06:00\n", ""},
        {750, "TRACK 02 AUDIO\nINDEX 00 00:04:00\nINDEX 01 00:06:01\n", two},
        {599, "TRACK 02 AUDIO\nPREGAP 00:02:00\nINDEX 01 00:04:00\nPOSTGAP 00:02:00\n", two},
        {835,
         "TRACK 02 AUDIO\nINDEX 00 00:03:74\nINDEX 01 00:05:00\nTRACK 03 AUDIO\nINDEX 01 00:09:00\n"
         "TRACK 04 AUDIO\nINDEX 01 00:11:00\n",
         "tracks 1, 3 and 4 are shorter than the 4 seconds the Red Book asks for"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.Cue);
        Folder.Dir.WriteZeros("edge.bin", c.Sectors * 2352);
        ASSERT_TRUE(Load("FILE edge.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n" + c.Cue));
        EXPECT_EQ(Sheet.LoadWarnings, c.Warning.empty() ? std::vector<std::string>{} : std::vector{c.Warning});
    }
}

TEST(CueErrorTextTest, AddsTheLineWhenThereIsOne)
{
    EXPECT_EQ(CueErrorText(0x0007090Bu),
              "Invalid CUE SHEET command at line 7\nFirst INDEX of file does not start at 00:00:00");
    EXPECT_EQ(CueErrorText(0x101u), "No FILEs were specified");
    EXPECT_EQ(CueErrorText(0x20505u), "Invalid CUE SHEET command at line 2\nIllegal TRACK number or type is specifie");
    EXPECT_EQ(CueErrorText(0), "");
    EXPECT_EQ(CueErrorMessage(0x10404u), "TRACK cannot be specified more than 99 per disc");
    EXPECT_EQ(CueErrorMessage(0x999u), "");
}

TEST(CuetrackTest, IndexLengthsAndPregap)
{
    TLuCueTrack track;
    track.SetType(ttAudio);
    track.SetIndex(0, 0);
    track.SetIndex(1, 150);
    track.End = 1000;
    track.Pregap = 30;
    EXPECT_EQ(track.Start, 0);
    EXPECT_EQ(track.GetIndexCount(), 1);
    EXPECT_EQ(track.GetIndexLength(0), 150);
    EXPECT_EQ(track.GetIndexLength(1), 850);
    EXPECT_EQ(track.GetIndexBytes(1), 850 * 2352);
    EXPECT_EQ(track.GetPregapLength(), 180);

    TLuCueTrack late;
    late.SetIndex(1, 45000);
    late.SetIndex(2, 44000); // out of order: no negative length
    late.End = 46000;
    EXPECT_EQ(late.Start, 45000);
    EXPECT_EQ(late.FirstIndexNo, 1);
    EXPECT_EQ(late.GetIndexLength(0), 0);
    EXPECT_EQ(late.GetIndexLength(1), 0);
    EXPECT_EQ(late.GetIndexLength(2), 2000);
    EXPECT_EQ(late.GetPregapLength(), 0);
    EXPECT_EQ(late.GetIndexLength(100), 0);
}

TEST(CuetrackTest, TypesAndControl)
{
    TLuCueTrack track;
    track.SetType(ttMode1_2352);
    track.SetCopyPermitted(true);
    EXPECT_EQ(track.GetControl(), 0x60);
    track.SetType(ttCdi_2336);
    EXPECT_EQ(track.Type, ttCdi_2336);
    EXPECT_EQ(track.GetSectorSize(), 2336);
    track.SetType(static_cast<TTrackType>(9));
    EXPECT_EQ(track.Type, ttNone);
    EXPECT_EQ(track.GetControl(), 0x60);
    TLuCueTrack audio;
    audio.SetType(ttAudio);
    audio.SetPreEmphasis(true);
    audio.SetFourChannel(true);
    EXPECT_EQ(audio.GetControl(), 0x90);
    EXPECT_EQ(audio.GetFourChannel(), 1);
    EXPECT_EQ(audio.GetCopyPermitted(), 0);
}

} // namespace
