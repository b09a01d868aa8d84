#include "cuesheet/Lucue.h"

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
        Dir.Write("disc.cdt", std::string(36, '\x80'));
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
    EXPECT_EQ(Sheet.GetTrackMode(7), 0);
    EXPECT_EQ(Sheet.GetTrackIsrc(7), "USABC9912345");
    EXPECT_EQ(Sheet.GetTrackMode(8), -1);
    EXPECT_EQ(Sheet.GetTrackIsrc(6), "");
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

TEST_F(LoadTest, AFifoOrUnreadableFileIsNotOpened)
{
    ASSERT_EQ(::mkfifo(Folder.Dir.File("pipe.bin").c_str(), 0600), 0);
    EXPECT_FALSE(Load("FILE pipe.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"));
    EXPECT_EQ(Sheet.ErrorCode, 0x10401u);
    EXPECT_FALSE(Sheet.Load(Folder.Dir.File("pipe.bin")));
    EXPECT_EQ(Sheet.ErrorCode, 0x001u);
    if (::geteuid() != 0)
    {
        Folder.Dir.WriteZeros("locked.bin", 2352);
        ::chmod(Folder.Dir.File("locked.bin").c_str(), 0);
        EXPECT_FALSE(Load("FILE locked.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"));
        EXPECT_EQ(Sheet.ErrorCode, 0x10403u);
    }
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
        Load("CATALOG \"4988001234567\"\nFILE \"C:\\Rips\\Album\\SHORT.BIN\" BINARY\nTRACK 01 AUDIO\n"
             "ISRC \"US-RC1-76-07839\"\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nISRC 000000000000\nINDEX 01 00:00:01\n"));
    EXPECT_EQ(Sheet.Catalog, "4988001234567");
    EXPECT_EQ(Track(1).Isrc, "USRC17607839");
    EXPECT_EQ(Track(2).Isrc, "");
    EXPECT_EQ(Sheet.ResolvePath("\"d:/x/AUDIO.WAV\""), Folder.Dir.File("audio.wav"));
    // Only a drive path falls back to the sheet's folder.
    EXPECT_NE(Sheet.ResolvePath("\"x\\audio.wav\""), Folder.Dir.File("audio.wav"));
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
