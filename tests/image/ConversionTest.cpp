// SPDX-License-Identifier: GPL-3.0-or-later
#include "image/Conversion.h"

#include "cuesheet/Lucue.h"
#include "cuesheet/Subqpatch.h"
#include "image/Layoutreport.h"
#include "support/NothrowNewSwitch.h"
#include "support/Controlfile.h"
#include "support/Pattern.h"
#include "support/RawPaths.h"
#include "support/Sidecar.h"
#include "support/TempDir.h"
#include "support/FileFaults.h"
#include "support/Wave.h"
#include "synthesis/Errorcorrectmode1.h"
#include "synthesis/Errorcorrectsubcode.h"

#include <gtest/gtest.h>

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iomanip>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;
using TEvent = std::pair<int, int>;

constexpr int ON_START = 100;
constexpr int ON_END = 101;

class ConversionJobTest : public ::testing::Test
{
protected:
    // One AUDIO track of the given number of sectors.
    void LoadAudioDisc(int sectors)
    {
        AudioData = Pattern(std::size_t(sectors) * 2352);
        Dir.Write("AUDIO.BIN", AudioData);
        const std::string cue = Dir.Write("disc.cue", "FILE \"AUDIO.BIN\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n");
        ASSERT_TRUE(Sheet.Load(cue)) << Sheet.ErrorCode;
        ASSERT_TRUE(Job.SetProgressHandler([this](TProgressEvent event, std::int32_t value) { Record(event, value); }));
    }

    void Run(const std::string& ccdPath)
    {
        Job.OnStart = [this] { Events.emplace_back(ON_START, 0); };
        Job.OnEnd = [this] { Events.emplace_back(ON_END, 0); };
        Job.Run(ccdPath, true, Sheet);
    }

    void Record(TProgressEvent event, std::int32_t value)
    {
        Events.emplace_back(event, value);
        if (event == peStep && ++Steps == CancelAtStep)
            Job.RequestCancel();
    }

    std::uintmax_t Size(const char* name) const { return fs::file_size(Dir.File(name)); }

    TTempDir Dir;
    TLuCueSheet Sheet;
    TConversionJob Job;
    std::string AudioData;
    std::vector<TEvent> Events;
    int Steps = 0;
    int CancelAtStep = -1;
};

TEST_F(ConversionJobTest, LeadOutAt4650SendsTheWholeProgressSequence)
{
    LoadAudioDisc(4500);
    Run(Dir.File("disc.ccd"));
    EXPECT_EQ(Job.Status.load(), csSucceeded);
    EXPECT_EQ(Job.Error.Text(), "");
    EXPECT_EQ(Size("disc.img"), 10584000u);
    EXPECT_EQ(Size("disc.sub"), 432000u);
    EXPECT_EQ(TTempDir::ReadAll(Dir.File("disc.img")), AudioData);

    // Range 0..63: one step after the range, one per address 150, 225, ..., 4575, then complete.
    // Each step carries the sectors written up to its address.
    std::vector<TEvent> expected = {{ON_START, 0}, {peSetRange, 2}, {peSetRange, 62}, {peStep, 0}};
    for (int address = 150; address < 4650; address += 75)
        expected.emplace_back(peStep, address - 149);
    expected.insert(expected.end(), {{peComplete, 0}, {peFinished, 0}, {ON_END, 0}});
    EXPECT_EQ(Events, expected);

    // The handler is kept while a run is going on.
    Job.OnStart = [this] { EXPECT_FALSE(Job.SetProgressHandler(nullptr)); };
    Job.Run(Dir.File("disc.ccd"), true, Sheet);
    EXPECT_TRUE(Job.SetProgressHandler(nullptr));
}

TEST_F(ConversionJobTest, CancelBeforeTheFirstSectorLeavesNothing)
{
    LoadAudioDisc(150);
    fs::create_directory(Dir.File("out"));
    Job.RequestCancel();
    Run(Dir.File("out/disc.ccd"));
    EXPECT_EQ(Job.Status.load(), csCanceled);
    EXPECT_TRUE(fs::is_empty(Dir.File("out")));
    const std::vector<TEvent> expected = {{ON_START, 0},   {peSetRange, 2}, {peSetRange, 4}, {peStep, 0},
                                          {peComplete, 0}, {peCanceled, 0}, {ON_END, 0}};
    EXPECT_EQ(Events, expected);
}

// Cancelled, the run leaves the set there was before; asked to keep its part, it puts in place
// what it wrote, the .img and .sub in step.
TEST_F(ConversionJobTest, CancelDuringTheRunKeepsTheEarlierSetOrThePartAskedFor)
{
    LoadAudioDisc(4500);
    fs::create_directory(Dir.File("out"));
    for (const bool keep : {false, true})
    {
        SCOPED_TRACE(keep);
        for (const char* ext : {"ccd", "img", "sub"})
            Dir.Write(std::string("out/disc.") + ext, std::string("earlier ") + ext);
        Events.clear();
        Steps = 0;
        Job.Reset();
        Job.KeepPartial = keep;
        CancelAtStep = 11; // step 0, then one per 75 addresses from 150: 825, so 676 sectors are on disk by then
        Run(Dir.File("out/disc.ccd"));
        EXPECT_EQ(Job.Status.load(), csCanceled);
        EXPECT_EQ(Job.PartialKept, keep);
        ASSERT_GE(Events.size(), 3u);
        EXPECT_EQ(Events[Events.size() - 3], TEvent(peComplete, 0));
        EXPECT_EQ(Events[Events.size() - 2], TEvent(peCanceled, 0));
        EXPECT_EQ(std::distance(fs::directory_iterator(Dir.File("out")), fs::directory_iterator()), 3);
        if (!keep)
        {
            EXPECT_EQ(TTempDir::ReadAll(Dir.File("out/disc.img")), "earlier img");
            EXPECT_EQ(TTempDir::ReadAll(Dir.File("out/disc.ccd")), "earlier ccd");
            continue;
        }
        const auto sectors = Size("out/disc.img") / 2352;
        EXPECT_EQ(Size("out/disc.img") % 2352, 0u);
        EXPECT_EQ(Size("out/disc.sub"), sectors * 96);
        EXPECT_EQ(std::int64_t(sectors), Job.SectorsWritten);
        EXPECT_GE(sectors, 676u);
        EXPECT_LT(sectors, 4500u);
        EXPECT_EQ(TTempDir::ReadAll(Dir.File("out/disc.img")), AudioData.substr(0, sectors * 2352));
        EXPECT_NE(TTempDir::ReadAll(Dir.File("out/disc.ccd")).find("[TRACK 1]"), std::string::npos);
    }
}

// A write that cannot complete (the volume fills in the control file, early in the images, at
// their very end) must end as a failure, never as success.
// A --force run over a sound set that cannot finish (the volume fills in the control file, early in
// the images, at their very end; too little room to start; a cancel; a CD-TEXT file that cannot
// be read) ends as a failure or cancel and leaves the earlier set byte for byte, with no temporary.
TEST_F(ConversionJobTest, AFailedRunOverASoundSetLeavesItAsItWas)
{
    LoadAudioDisc(1000);
    const std::string ccd = Dir.File("disc.ccd");
    Run(ccd);
    ASSERT_EQ(Job.Status.load(), csSucceeded);
    const auto setBytes = [&] {
        return TTempDir::ReadAll(ccd) + TTempDir::ReadAll(Dir.File("disc.img")) +
               TTempDir::ReadAll(Dir.File("disc.sub"));
    };
    const std::string earlier = setBytes();
    const std::int64_t all = 1000 * (2352 + 96);
    struct TCase
    {
        const char* What;
        std::int64_t WriteBudget = -1;
        std::int64_t FreeSpace = -1;
        int CancelAtStep = -1;
        bool CdTextUnreadable = false;
    };
    const std::vector<TCase> cases = {
        {"full in the .ccd", 0},
        {"full early", 5000},
        {"full halfway", all / 2},
        {"full at the end", all - 1},
        {"no room", -1, all},
        {"cancel", -1, -1, 5},
        {"unreadable CD-TEXT", -1, -1, -1, true},
    };
    ASSERT_EQ(::mkfifo(Dir.File("TEXT.FIFO").c_str(), 0666), 0);
    for (const TCase& c : cases)
    {
        SCOPED_TRACE(c.What);
        Events.clear();
        Steps = 0;
        CancelAtStep = c.CancelAtStep;
        Job.Reset();
        Sheet.CdTextFile = c.CdTextUnreadable ? Dir.File("TEXT.FIFO") : std::string();
        const TWriteBudget budget(c.WriteBudget);
        TFile::AssumedFreeSpace = c.FreeSpace;
        Run(ccd);
        TFile::AssumedFreeSpace = -1;
        EXPECT_EQ(Job.Status.load(), c.CancelAtStep < 0 ? csFailed : csCanceled);
        EXPECT_EQ(Job.Error.Text().empty(), c.CancelAtStep >= 0) << Job.Error.Text();
        ASSERT_GE(Events.size(), 2u);
        EXPECT_EQ(Events[Events.size() - 2], TEvent(c.CancelAtStep < 0 ? peAborted : peCanceled, 0));
        EXPECT_EQ(setBytes(), earlier);
        EXPECT_EQ(std::distance(fs::directory_iterator(Dir.Path()), fs::directory_iterator()), 6)
            << "the disc, its sheet, the set and the FIFO; no temporary";
    }
}

// The free space is checked before a byte is written, against the whole set.
TEST_F(ConversionJobTest, TooLittleRoomIsRefusedWithTheFigures)
{
    LoadAudioDisc(100);
    TFile::AssumedFreeSpace = 100 * (2352 + 96);
    Run(Dir.File("disc.ccd"));
    TFile::AssumedFreeSpace = -1;
    EXPECT_EQ(Job.Status.load(), csFailed);
    EXPECT_EQ(Job.Error.Text().rfind("There is not enough free space in \"" + Dir.Path().string() +
                                         "\" for the image set: it needs 245,",
                                     0),
              0u)
        << Job.Error.Text();
    EXPECT_NE(Job.Error.Text().find(" bytes, 244,800 are free."), std::string::npos) << Job.Error.Text();
    EXPECT_FALSE(fs::exists(Dir.File("disc.ccd")));
}

// A killed run leaves its temporaries; the next run of the same set removes those older than itself.
TEST_F(ConversionJobTest, StaleTemporariesOfTheSetAreRemoved)
{
    LoadAudioDisc(10);
    const std::string stale = Dir.Write(".disc.img.sarvex-AbC123", "stale");
    const std::string other = Dir.Write(".other.img.sarvex-AbC123", "another set's");
    const std::string fresh = Dir.Write(".disc.sub.sarvex-XyZ789", "a run going on now");
    for (const std::string& old : {stale, other})
        fs::last_write_time(old, fs::last_write_time(old) - std::chrono::hours(1));
    fs::last_write_time(fresh, fs::last_write_time(fresh) + std::chrono::hours(1));
    Run(Dir.File("disc.ccd"));
    EXPECT_EQ(Job.Status.load(), csSucceeded);
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_TRUE(fs::exists(other));
    EXPECT_TRUE(fs::exists(fresh));
}

TEST(ConversionTablesTest, CodingWithoutItsTablesAbortsTheRun)
{
    struct TCase
    {
        const char* Type;
        std::size_t SectorSize;
    };
    // MODE1/2048 needs EDC/ECC for every sector, CDG the parity of its packs.
    for (const TCase c : {TCase{"MODE1/2048", 2048}, TCase{"CDG", 2448}})
    {
        SCOPED_TRACE(c.Type);
        TTempDir dir;
        dir.Write("D.BIN", std::string(c.SectorSize * 100, '\x5A'));
        const std::string cue =
            dir.Write("d.cue", std::string("FILE \"D.BIN\" BINARY\nTRACK 01 ") + c.Type + "\nINDEX 01 00:00:00\n");
        TLuCueSheet sheet;
        ASSERT_TRUE(sheet.Load(cue)) << sheet.ErrorCode;
        // No other coder lives here, so the run's composer makes the tables, and finds none.
        ASSERT_FALSE(TMode1ErrorCorrect::HasTables());
        ASSERT_FALSE(TSubCodeErrorCorrect::HasTable());

        TConversionJob job;
        std::vector<int> events;
        ASSERT_TRUE(job.SetProgressHandler([&events](TProgressEvent event, std::int32_t) { events.push_back(event); }));
        testsupport::FailNothrowNew = true;
        job.Run(dir.File("d.ccd"), true, sheet);
        testsupport::FailNothrowNew = false;
        EXPECT_EQ(job.Status.load(), csFailed);
        EXPECT_EQ(job.Error.Text(), "not enough memory for the error correction tables");
        ASSERT_FALSE(events.empty());
        EXPECT_EQ(events.back(), peAborted);
        EXPECT_EQ(job.SectorsWritten, 0);
    }
}

// The desktop program converts without asking again: an output that is one of the inputs must
// not be truncated under the composer.
TEST_F(ConversionJobTest, AnOutputThatIsAnInputAbortsBeforeWriting)
{
    LoadAudioDisc(100);
    Run(Dir.File("AUDIO.BIN")); // the control file path names the data file
    EXPECT_EQ(Job.Status.load(), csFailed);
    const std::vector<TEvent> expected = {{ON_START, 0}, {peSetRange, 2}, {peAborted, 0}, {ON_END, 0}};
    EXPECT_EQ(Events, expected);
    EXPECT_EQ(TTempDir::ReadAll(Dir.File("AUDIO.BIN")), AudioData);
    EXPECT_FALSE(fs::exists(Dir.File("AUDIO.img")));
}

// A .ccd path ending in .img or .sub (any case) would let the image overwrite the control file.
TEST_F(ConversionJobTest, ACcdPathThatIsItsOwnImageIsRefusedBeforeWriting)
{
    LoadAudioDisc(10);
    for (const char* name : {"same.img", "same.IMG", "same.Sub"})
    {
        Events.clear();
        Run(Dir.File(name));
        EXPECT_EQ(Job.Status.load(), csFailed) << name;
        EXPECT_NE(Job.Error.Text().find(Dir.File(name)), std::string::npos) << Job.Error.Text();
        const std::vector<TEvent> expected = {{ON_START, 0}, {peSetRange, 2}, {peAborted, 0}, {ON_END, 0}};
        EXPECT_EQ(Events, expected);
        EXPECT_FALSE(fs::exists(Dir.File(name)));
    }
}

TEST_F(ConversionJobTest, MissingOutputFolderAbortsBeforeAnyImageFile)
{
    LoadAudioDisc(10);
    Run(Dir.File("missing/disc.ccd"));
    EXPECT_EQ(Job.Status.load(), csFailed);
    const std::vector<TEvent> expected = {{ON_START, 0}, {peSetRange, 2}, {peAborted, 0}, {ON_END, 0}};
    EXPECT_EQ(Events, expected);
    EXPECT_FALSE(fs::exists(Dir.File("missing")));
}

// A one-track MODE2/2352 disc just long enough for the MediEvil record, converted once without and
// once with a side-car into folders of their own.
class SubQPatchConversionTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Dir.WriteZeros("GAME.BIN", std::uintmax_t(sidecar::MEDIEVIL_DISC_SECTORS) * 2352);
        Cue = Dir.Write("Game.cue", "FILE \"GAME.BIN\" BINARY\nTRACK 01 MODE2/2352\nINDEX 01 00:00:00\n");
        Plain = Convert("plain");
    }

    // The three outputs, in the order ccd, img, sub.
    std::array<std::string, 3> Convert(const std::string& folder)
    {
        TLuCueSheet sheet;
        EXPECT_TRUE(sheet.Load(Cue));
        if (!SideCar.empty())
        {
            std::vector<std::string> warnings;
            EXPECT_EQ(AttachSubQPatches(sheet, SideCar, warnings).Text(), "");
        }
        fs::create_directory(Dir.File(folder));
        TConversionJob job;
        job.Run(Dir.File(folder + "/Game.ccd"), true, sheet);
        EXPECT_EQ(job.Status.load(), csSucceeded) << job.Error.Text();
        Replaced = job.SubQFramesReplaced;
        std::array<std::string, 3> files;
        for (std::size_t i = 0; i < files.size(); ++i)
            files[i] = TTempDir::ReadAll(Dir.File(folder + "/Game" + std::array{".ccd", ".img", ".sub"}[i]));
        return files;
    }

    static std::string QChannel(const std::string& sub, int record)
    {
        return sub.substr(std::size_t(record) * 96 + 12, 12);
    }

    TTempDir Dir;
    std::string Cue;
    std::string SideCar;
    std::array<std::string, 3> Plain;
    std::int64_t Replaced = -1;
};

TEST_F(SubQPatchConversionTest, TheLsdFrameLandsInRecord13955Only)
{
    using namespace sidecar;
    SideCar = Dir.Write("Game.lsd", MedievilLsd());
    const auto patched = Convert("patched");
    EXPECT_EQ(Replaced, 1);
    EXPECT_EQ(patched[0], Plain[0]);
    EXPECT_TRUE(patched[1] == Plain[1]) << "the .img changed";
    ASSERT_EQ(patched[2].size(), std::size_t(MEDIEVIL_DISC_SECTORS) * 96);
    ASSERT_EQ(patched[2].size(), Plain[2].size());

    EXPECT_EQ(QChannel(Plain[2], MEDIEVIL_RECORD), std::string(MEDIEVIL_UNDAMAGED.begin(), MEDIEVIL_UNDAMAGED.end()));
    EXPECT_EQ(QChannel(patched[2], MEDIEVIL_RECORD), std::string(MEDIEVIL_LSD.begin(), MEDIEVIL_LSD.end()));
    for (const int neighbour : {MEDIEVIL_RECORD - 1, MEDIEVIL_RECORD + 1})
        EXPECT_EQ(patched[2].substr(std::size_t(neighbour) * 96, 96), Plain[2].substr(std::size_t(neighbour) * 96, 96));
    std::string expected = Plain[2];
    expected.replace(std::size_t(MEDIEVIL_RECORD) * 96 + 12, 12, QChannel(patched[2], MEDIEVIL_RECORD));
    EXPECT_TRUE(patched[2] == expected) << "a byte outside the Q frame of record 13955 changed";
}

TEST_F(SubQPatchConversionTest, AHeaderOnlySbiChangesNothing)
{
    SideCar = Dir.Write("Game.sbi", sidecar::SBI_HEADER);
    const auto patched = Convert("patched");
    EXPECT_EQ(Replaced, 0);
    for (std::size_t i = 0; i < Plain.size(); ++i)
        EXPECT_TRUE(patched[i] == Plain[i]) << i;
}

// What a converted disc gives the user: the three image files and the layout report.
struct TConvertedDisc
{
    std::string Img, Sub, Ccd, Report;
    bool operator==(const TConvertedDisc&) const = default;
};

TConvertedDisc Convert(const TTempDir& dir, const std::string& name, const std::string& sheetText,
                       TRawPath path = TRawPath::Kernel)
{
    TLuCueSheet sheet;
    EXPECT_TRUE(sheet.Load(dir.Write(name + ".cue", sheetText))) << std::hex << sheet.ErrorCode;
    TConversionJob job;
    UseRawPath(job, path);
    job.Run(dir.File(name + ".ccd"), true, sheet);
    EXPECT_EQ(job.Status.load(), csSucceeded) << job.Error.Text();
    return {TTempDir::ReadAll(dir.File(name + ".img")), TTempDir::ReadAll(dir.File(name + ".sub")),
            TTempDir::ReadAll(dir.File(name + ".ccd")), BuildLayoutReport(BuildDiscLayout(sheet))};
}

std::string Msf(int frames)
{
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", frames / 4500, frames / 75 % 60, frames % 75);
    return text;
}

std::string Wave(std::string_view data)
{
    TWaveLayout layout;
    layout.Data = data;
    return MakeWave(layout);
}

// An album whose track n has gaps[n] sectors of index 0 (none for the first) and bodies[n] from index 1,
// written as one file and as one file per track with each gap at the end of the file before.
void ExpectBothGapFormsGiveTheSameDisc(const std::vector<int>& gaps, const std::vector<int>& bodies)
{
    TTempDir dir;
    std::vector<int> starts; // of each track's index 1, in sectors of the album
    int total = 0;
    for (std::size_t n = 0; n < bodies.size(); ++n)
    {
        starts.push_back(total + gaps[n]);
        total += gaps[n] + bodies[n];
    }
    std::string album(std::size_t(total) * 2352, '\0');
    for (std::size_t i = 0; i < album.size(); ++i)
        album[i] = static_cast<char>(i * 7 + i / 2352);
    dir.Write("album.wav", Wave(album));
    std::string single = "CATALOG 4988001234567\nFILE \"album.wav\" WAVE\n", split = "CATALOG 4988001234567\n";
    for (std::size_t n = 0; n < bodies.size(); ++n)
    {
        const std::string file = std::to_string(n + 1) + ".wav";
        const int end = n + 1 < bodies.size() ? starts[n + 1] : total;
        dir.Write(file, Wave(std::string_view(album).substr(std::size_t(starts[n]) * 2352,
                                                            std::size_t(end - starts[n]) * 2352)));
        std::string track = "  TRACK " + std::string(n < 9 ? "0" : "") + std::to_string(n + 1) + " AUDIO\n";
        track += n == 2 ? "    ISRC USRC17607839\n" : "";
        const std::string index2 = n == 1 ? "    INDEX 02 " : "";
        single += track + (n > 0 ? "    INDEX 00 " + Msf(starts[n] - gaps[n]) + "\n" : "") + "    INDEX 01 " +
                  Msf(starts[n]) + "\n" + (n == 1 ? index2 + Msf(starts[n] + 3) + "\n" : "");
        split += n > 0 ? track + "    INDEX 00 " + Msf(bodies[n - 1]) + "\n" : "";
        split += "FILE \"" + file + "\" WAVE\n" + (n == 0 ? track : "") + "    INDEX 01 00:00:00\n" +
                 (n == 1 ? index2 + "00:00:03\n" : "");
    }
    const TConvertedDisc expected = Convert(dir, "single", single);
    EXPECT_EQ(Convert(dir, "split", split), expected) << split;
    EXPECT_EQ(expected.Img.size(), std::size_t(total) * 2352);
}

// Runs of a data file's bytes come out alike whichever way carries them: lengths that end inside a
// sector, a WAVE header off the page boundary, cooked data between, and a file on another file system
// (a memory file), where the kernel cannot copy and the composer takes the runs over.
TEST(RawRunsTest, EveryWayGivesTheDiscTheReadingWayGives)
{
    TTempDir dir;
    dir.Write("A.BIN", Pattern(300 * 2352 + 1000, 1));
    dir.Write("D.BIN", Pattern(200 * 2048, 2));
    dir.Write("C.WAV", Wave(Pattern(250 * 2352 + 4, 3)));
    const int memory = ::memfd_create("other-volume", MFD_CLOEXEC);
    ASSERT_GE(memory, 0);
    const std::string other = Pattern(280 * 2352 + 8, 4);
    ASSERT_EQ(::write(memory, other.data(), other.size()), static_cast<ssize_t>(other.size()));
    const std::string sheet = "FILE \"A.BIN\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nFILE \"D.BIN\" BINARY\n"
                              "TRACK 02 MODE1/2048\nINDEX 01 00:00:00\nFILE \"/proc/self/fd/" +
                              std::to_string(memory) +
                              "\" BINARY\nTRACK 03 AUDIO\nINDEX 01 00:00:00\nFILE \"C.WAV\" WAVE\n"
                              "TRACK 04 AUDIO\nINDEX 00 00:00:00\nINDEX 01 00:01:00\n";
    const TConvertedDisc read = Convert(dir, "read", sheet, TRawPath::Read);
    EXPECT_EQ(read.Img.substr(0, 300 * 2352 + 1000), Pattern(300 * 2352 + 1000, 1));
    for (const TRawPath path : {TRawPath::Kernel, TRawPath::Pipe})
        EXPECT_TRUE(Convert(dir, RawPathName(path), sheet, path) == read) << RawPathName(path);
    ::close(memory);
}

// Rippers keep each gap at the end of the previous track's file; the disc is the one the single file makes.
TEST(GapsInThePreviousFileTest, TwoAndTenTracksGiveTheDiscOfTheSingleFile)
{
    ExpectBothGapFormsGiveTheSameDisc({0, 70}, {40, 30});
    ExpectBothGapFormsGiveTheSameDisc({0, 5, 150, 0, 1, 33, 2, 75, 10, 4}, {20, 9, 30, 25, 7, 12, 40, 6, 11, 18});
}

// Rippers quote codes, write ISRCs with hyphens and all zeros for codes a disc does not have.
TEST(CodesAsRippersWriteThemTest, QuotesAndHyphensAreDroppedAndZerosAreNoCode)
{
    TTempDir dir;
    dir.Write("a.wav", Wave(std::string(300 * 2352, '\x11')));
    const auto disc = [&](const std::string& name, const std::string& catalog, const std::string& isrc) {
        return Convert(dir, name, catalog + "FILE a.wav WAVE\nTRACK 01 AUDIO\n" + isrc + "INDEX 01 00:00:00\n");
    };
    const TConvertedDisc none = disc("none", "", "");
    EXPECT_EQ(disc("zeros", "CATALOG 0000000000000\n", "ISRC 000000000000\n"), none);
    EXPECT_NE(none.Report.find("Media Catalog Number : Not Specified"), std::string::npos);
    const TConvertedDisc plain = disc("plain", "CATALOG 4988001234567\n", "ISRC USRC17607839\n");
    EXPECT_EQ(disc("ripped", "CATALOG \"4988001234567\"\n", "ISRC \"US-RC1-76-07839\"\n"), plain);
    EXPECT_NE(plain.Sub, none.Sub);
    EXPECT_NE(plain.Ccd.find("CATALOG=4988001234567"), std::string::npos);
}

} // namespace

namespace {

// Multi-session sheets in the layouts dumping tools write: the set holds the program areas only, so
// session 2's INDEX 01 follows session 1's last sector in both files, while the control file and the
// Q channel give its real address, 11,400 sectors on.
struct TSessionCase
{
    const char* Name;
    std::string Sheet;
    std::int32_t Session1; // sectors
    int Track;             // session 2's first
    bool Cooked;           // MODE1/2048: compare user data and check the header
};

class SessionConversionTest : public ::testing::TestWithParam<TSessionCase>
{};

const std::string AUDIO_SESSION = "REM SESSION 01\nFILE a.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n";

std::string TwelveTracks()
{
    std::string text = "CATALOG 0123456789012\nTITLE \"Extra\"\nREM SESSION 01\nFILE a.bin BINARY\n";
    for (int t = 1; t <= 12; ++t)
    {
        char track[64];
        std::snprintf(track, sizeof track, "TRACK %02d AUDIO\nTITLE \"Song %d\"\nINDEX 01 00:%02d:%02d\n", t, t,
                      (t - 1) * 25 / 75, (t - 1) * 25 % 75);
        text += track;
    }
    return text;
}

TEST_P(SessionConversionTest, SessionTwoFollowsSessionOneInTheFilesAndLiesAfterTheGapOnTheDisc)
{
    const TSessionCase& c = GetParam();
    TTempDir dir;
    const std::string data = Pattern(200 * 2352, 2);
    const std::string user = Pattern(200 * 2048, 3);
    dir.Write("a.bin", Pattern(300 * 2352, 1));
    dir.Write("b.bin", Pattern(300 * 2352, 4));
    dir.Write("c.bin", Pattern(300 * 2352, 5));
    dir.Write("d.bin", data);
    dir.Write("dp.bin", std::string(150 * 2352, '\0') + data);
    dir.Write("m.iso", user);
    TLuCueSheet sheet;
    ASSERT_TRUE(sheet.Load(dir.Write("disc.cue", c.Sheet))) << std::hex << sheet.ErrorCode << sheet.ErrorDetail;
    TConversionJob job;
    // Raw sectors as they are, so that the image's bytes can be compared with the file's.
    job.Run(dir.File("disc.ccd"), c.Cooked, sheet);
    ASSERT_EQ(job.Status.load(), csSucceeded) << job.Error.Text();

    const std::int32_t lba = c.Session1 + 11400;
    const std::string img = TTempDir::ReadAll(dir.File("disc.img"));
    const std::string sub = TTempDir::ReadAll(dir.File("disc.sub"));
    ASSERT_EQ(img.size(), std::size_t(c.Session1 + 200) * 2352);
    ASSERT_EQ(sub.size(), std::size_t(c.Session1 + 200) * 96);
    const std::string second = img.substr(std::size_t(c.Session1) * 2352);
    if (!c.Cooked)
    {
        EXPECT_TRUE(second == data);
    }
    for (std::size_t s = 0; c.Cooked && s < 200; ++s)
    {
        std::string header(4, '\1');
        PutBcdMsf(std::span<std::uint8_t, 3>(reinterpret_cast<std::uint8_t*>(header.data()), 3),
                  static_cast<std::uint32_t>(lba + 150) + static_cast<std::uint32_t>(s));
        ASSERT_EQ(second.substr(s * 2352 + 12, 4), header) << s;
        ASSERT_EQ(second.substr(s * 2352 + 16, 2048), user.substr(s * 2048, 2048)) << s;
    }
    // Q of the first stored sector of session 2: its track, index 1, relative 0, absolute LBA + 150.
    std::string expectQ{char(ToBcd(unsigned(c.Track))), 1, 0, 0, 0, 0, 0, 0, 0};
    PutBcdMsf(std::span<std::uint8_t, 3>(reinterpret_cast<std::uint8_t*>(expectQ.data() + 6), 3), unsigned(lba + 150));
    EXPECT_EQ(sub.substr(std::size_t(c.Session1) * 96 + 13, 9), expectQ);

    const ccdtext::TCcd ccd = ccdtext::ParseCcd(TTempDir::ReadAll(dir.File("disc.ccd")));
    EXPECT_EQ(ccd.at("Disc").at("Sessions"), "2");
    if (c.Sheet.find("CATALOG") != std::string::npos)
    {
        EXPECT_EQ(ccd.at("Disc").at("CATALOG"), "0123456789012");
        EXPECT_NE(ccd.at("Disc").at("CDTextLength"), "0");
    }
    EXPECT_EQ(ccd.at("Session 2").at("PreGapMode"), c.Cooked ? "1" : "2");
    const auto& track = ccd.at("TRACK " + std::to_string(c.Track));
    EXPECT_EQ(track.count("INDEX 0"), 0u);
    EXPECT_EQ(track.at("INDEX 1"), std::to_string(lba));
    int pointers = 0;
    for (const auto& [name, keys] : ccd)
    {
        if (name.rfind("Entry", 0) != 0)
            continue;
        if (keys.at("Point") == "0xb0")
        {
            ++pointers;
            EXPECT_EQ(keys.at("Session"), "1");
            EXPECT_EQ(keys.at("ADR"), "0x05");
            EXPECT_EQ(keys.at("ALBA"), std::to_string(lba - 150));
            EXPECT_EQ(keys.at("PLBA"), std::to_string(lba + 200));
        }
        if (keys.at("Point") ==
            (std::ostringstream{} << "0x" << std::hex << std::setw(2) << std::setfill('0') << c.Track).str())
        {
            EXPECT_EQ(keys.at("Session"), "2");
            EXPECT_EQ(keys.at("PLBA"), std::to_string(lba));
        }
    }
    EXPECT_EQ(pointers, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, SessionConversionTest,
    ::testing::Values(
        TSessionCase{"IndexOneAtTheFileStart",
                     AUDIO_SESSION + "REM SESSION 02\nFILE d.bin BINARY\nTRACK 02 MODE2/2352\nINDEX 01 00:00:00\n", 300,
                     2, false},
        TSessionCase{"PregapCommand",
                     AUDIO_SESSION +
                         "REM SESSION 02\nFILE d.bin BINARY\nTRACK 02 MODE2/2352\nPREGAP 00:02:00\nINDEX 01 00:00:00\n",
                     300, 2, false},
        TSessionCase{
            "PregapInTheFile",
            AUDIO_SESSION +
                "REM SESSION 02\nFILE dp.bin BINARY\nTRACK 02 MODE2/2352\nINDEX 00 00:00:00\nINDEX 01 00:02:00\n",
            300, 2, false},
        TSessionCase{"ThreeAudioFilesThenData",
                     AUDIO_SESSION + "FILE b.bin BINARY\nTRACK 02 AUDIO\nINDEX 00 00:00:00\nINDEX 01 00:02:33\n"
                                     "FILE c.bin BINARY\nTRACK 03 AUDIO\nINDEX 00 00:00:00\nINDEX 01 00:02:60\n"
                                     "REM SESSION 02\nFILE d.bin BINARY\nTRACK 04 MODE2/2352\nINDEX 01 00:00:00\n",
                     900, 4, false},
        TSessionCase{"EnhancedCdWithTextAndCatalogue",
                     TwelveTracks() + "REM SESSION 02\nFILE d.bin BINARY\nTRACK 13 MODE2/2352\nINDEX 01 00:00:00\n",
                     300, 13, false},
        TSessionCase{"CookedDataSession",
                     AUDIO_SESSION + "REM SESSION 02\nFILE m.iso BINARY\nTRACK 02 MODE1/2048\nINDEX 01 00:00:00\n", 300,
                     2, true}),
    [](const ::testing::TestParamInfo<TSessionCase>& param) { return std::string(param.param.Name); });

} // namespace
