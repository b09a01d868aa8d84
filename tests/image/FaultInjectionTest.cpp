// SPDX-License-Identifier: GPL-3.0-or-later
// Faults from outside the program: unwritable outputs, a full volume, a file size limit, data files
// changed between loading and converting, special files where data files belong, a huge sheet and
// WAVE headers with absurd chunk sizes. Each must end with its documented status, keep what was
// written so far, and never be reported as success.
#include "cuesheet/Lucue.h"
#include "image/Conversion.h"
#include "support/ChildProcess.h"
#include "support/FileFaults.h"
#include "support/Pattern.h"
#include "support/RawPaths.h"
#include "support/CdTextFile.h"
#include "support/TempDir.h"
#include "support/Wave.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr std::size_t SECTOR = 2352;
constexpr std::size_t RECORD = 96;
// The last lines of the control file of a one-track audio disc: it was written to the end.
constexpr const char* CCD_TAIL = "[TRACK 1]\r\nMODE=0\r\nINDEX 1=0\r\n";

// Writes over the file in place (dd conv=notrunc), its modification time put back: its change time tells.
void RewriteInPlace(const std::string& path)
{
    const auto modified = fs::last_write_time(path);
    ::usleep(20000); // past the clock tick of the load
    std::fstream(path, std::ios::in | std::ios::out | std::ios::binary).seekp(10 * SECTOR) << "new bytes";
    fs::last_write_time(path, modified);
}

bool EndsWith(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// How a run ended, as the front ends see it.
struct TOutcome
{
    int Status = -1;
    int LastClosingEvent = -1; // peAborted, peFinished or peCanceled; -1 when none was sent
    int ClosingEvents = 0;
    long long Sectors = -1;
    bool HasErrorText = false;
    std::string ErrorText; // not carried out of a child

    std::string Encode() const
    {
        std::ostringstream out;
        out << Status << ' ' << LastClosingEvent << ' ' << ClosingEvents << ' ' << Sectors << ' ' << HasErrorText;
        return out.str();
    }
    static TOutcome Decode(const std::string& text)
    {
        TOutcome o;
        std::istringstream(text) >> o.Status >> o.LastClosingEvent >> o.ClosingEvents >> o.Sectors >> o.HasErrorText;
        return o;
    }
};

class FaultInjectionTest : public ::testing::Test
{
protected:
    // One AUDIO track in DATA.BIN (or DATA.WAV), plus optional lines before FILE.
    void WriteDisc(std::size_t sectors, const std::string& head = "")
    {
        Data = Pattern(sectors * SECTOR);
        Dir.Write("DATA.BIN", Data);
        Cue = Dir.Write("disc.cue", head + "FILE \"DATA.BIN\" BINARY\r\n  TRACK 01 AUDIO\r\n    INDEX 01 00:00:00\r\n");
    }
    void LoadDisc(std::size_t sectors, const std::string& head = "")
    {
        WriteDisc(sectors, head);
        ASSERT_TRUE(Sheet.Load(Cue)) << std::hex << Sheet.ErrorCode;
    }

    TOutcome Convert(const std::string& ccd, TRawPath path = TRawPath::Kernel)
    {
        TConversionJob job;
        UseRawPath(job, path);
        job.KeepPartial = KeepPartial;
        TOutcome outcome;
        job.SetProgressHandler([&outcome](TProgressEvent event, std::int32_t) { Record(event, outcome); });
        job.Run(ccd, true, Sheet);
        outcome.Status = job.Status.load();
        outcome.Sectors = job.SectorsWritten;
        outcome.HasErrorText = !job.Error.Text().empty();
        outcome.ErrorText = job.Error.Text();
        return outcome;
    }

    // The run in a child process with its own limits; body prepares the child before the run.
    TOutcome ConvertInChild(const std::string& ccd, const std::function<bool()>& prepare,
                            TRawPath path = TRawPath::Kernel)
    {
        const TChildResult child = RunInChild([&] {
            if (!prepare())
                return std::string("prepare failed");
            return Convert(ccd, path).Encode();
        });
        EXPECT_TRUE(child.Ok()) << child.Describe();
        return TOutcome::Decode(child.Output);
    }

    static void Record(TProgressEvent event, TOutcome& outcome)
    {
        if (event == peAborted || event == peFinished || event == peCanceled)
        {
            outcome.LastClosingEvent = event;
            ++outcome.ClosingEvents;
        }
    }

    static void ExpectAborted(const TOutcome& o)
    {
        EXPECT_EQ(o.Status, csFailed);
        EXPECT_EQ(o.LastClosingEvent, peAborted);
        EXPECT_EQ(o.ClosingEvents, 1);
        EXPECT_TRUE(o.HasErrorText);
    }

    std::string Read(const char* name) const { return TTempDir::ReadAll(Dir.File(name)); }
    bool Exists(const char* name) const { return fs::exists(fs::symlink_status(Dir.File(name))); }
    // The names of hidden files left in the folder: a run's temporaries.
    std::string Temporaries() const
    {
        std::string names;
        for (const auto& entry : fs::directory_iterator(Dir.Path()))
            if (entry.path().filename().string().front() == '.')
                names += entry.path().filename().string() + " ";
        return names;
    }

    TTempDir Dir;
    TLuCueSheet Sheet;
    std::string Data;
    std::string Cue;
    bool KeepPartial = false; // put the written part of a failed run in place
};

// Without the right to change user (a container without CAP_SETUID) the permission tests cannot run.
bool CanDropPrivileges()
{
    const TChildResult child = RunInChild([] { return std::string(DropToNobody() ? "yes" : "no"); });
    return child.Ok() && child.Output == "yes";
}

// --- Outputs that cannot be written -------------------------------------------------------------

// Permission bits do not stop root, so these runs give up root in a child first.
TEST_F(FaultInjectionTest, ReadOnlyOutputsFailAndLeaveEarlierFilesAsTheyWere)
{
    if (!CanDropPrivileges())
        GTEST_SKIP() << "cannot give up root";
    LoadDisc(20);
    fs::permissions(Dir.Path(), fs::perms::all);
    for (const char* readOnly : {"ccd", "img", "sub"})
    {
        SCOPED_TRACE(readOnly);
        for (const char* ext : {"ccd", "img", "sub"})
        {
            const std::string path = Dir.Write(std::string("out.") + ext, std::string("earlier ") + ext);
            fs::permissions(path, ext == std::string(readOnly)
                                      ? fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read
                                      : fs::perms::all);
        }
        ExpectAborted(ConvertInChild(Dir.File("out.ccd"), DropToNobody));
        for (const char* ext : {"ccd", "img", "sub"})
            EXPECT_EQ(TTempDir::ReadAll(Dir.File(std::string("out.") + ext)), std::string("earlier ") + ext);
    }
}

TEST_F(FaultInjectionTest, ReadOnlyFolderFailsWithoutCreatingAnything)
{
    if (!CanDropPrivileges())
        GTEST_SKIP() << "cannot give up root";
    LoadDisc(5);
    fs::create_directory(Dir.File("locked"));
    fs::permissions(Dir.Path(), fs::perms::all);
    fs::permissions(Dir.File("locked"),
                    fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read | fs::perms::others_exec);
    ExpectAborted(ConvertInChild(Dir.File("locked/out.ccd"), DropToNobody));
    EXPECT_TRUE(fs::is_empty(Dir.File("locked")));
}

TEST_F(FaultInjectionTest, AnOutputPathThatIsAFolderFailsAndKeepsTheFolder)
{
    LoadDisc(5);
    for (const char* ext : {"ccd", "img", "sub"})
    {
        SCOPED_TRACE(ext);
        const std::string base = std::string("as-") + ext;
        fs::create_directory(Dir.File(base + "." + ext));
        Dir.Write(base + ".inside", "x");
        fs::rename(Dir.File(base + ".inside"), Dir.File(base + "." + ext + "/inside"));
        ExpectAborted(Convert(Dir.File(base + ".ccd")));
        EXPECT_TRUE(fs::is_directory(Dir.File(base + "." + ext)));
        EXPECT_EQ(TTempDir::ReadAll(Dir.File(base + "." + ext + "/inside")), "x");
        for (const std::string other : {"ccd", "img", "sub"})
        {
            if (other != ext)
            {
                EXPECT_FALSE(Exists((base + "." + other).c_str())) << other;
            }
        }
        EXPECT_EQ(Temporaries(), "");
    }
}

TEST_F(FaultInjectionTest, AFullVolumeUnderTheControlFileFailsBeforeTheImages)
{
    if (::access("/dev/full", W_OK) != 0)
        GTEST_SKIP() << "no /dev/full";
    LoadDisc(5);
    fs::create_symlink("/dev/full", Dir.File("full.ccd"));
    ExpectAborted(Convert(Dir.File("full.ccd")));
    EXPECT_FALSE(Exists("full.img"));
    EXPECT_FALSE(Exists("full.sub"));
}

// --- A file size limit (the way a nearly full volume or a quota shows) ----------------------------

TEST_F(FaultInjectionTest, FileSizeLimitDuringTheImageWritesKeepsWhatWasWrittenWhenAsked)
{
    LoadDisc(1000);
    KeepPartial = true;
    struct TCase
    {
        rlim_t Limit;
        const char* What;
    };
    // 1000 sectors: 2,352,000 bytes of .img, 96,000 of .sub.
    for (const TRawPath path : RAW_PATHS)
    {
        for (const TCase& c : {TCase{1'000'000, ".img hits the limit"}, TCase{2'400'000, "the limit is never reached"},
                               TCase{50'000, ".sub hits the limit after a batch"}})
        {
            SCOPED_TRACE(std::string(c.What) + ", " + RawPathName(path));
            const TOutcome o = ConvertInChild(
                Dir.File("out.ccd"), [&] { return LimitFileSize(c.Limit); }, path);
            const auto img = fs::file_size(Dir.File("out.img"));
            const auto sub = fs::file_size(Dir.File("out.sub"));
            EXPECT_TRUE(EndsWith(Read("out.ccd"), CCD_TAIL));
            if (c.Limit >= 1000 * SECTOR)
            {
                EXPECT_EQ(o.Status, csSucceeded);
                EXPECT_EQ(o.LastClosingEvent, peFinished);
                EXPECT_EQ(img, 1000 * SECTOR);
                EXPECT_EQ(Read("out.img"), Data);
                continue;
            }
            ExpectAborted(o);
            EXPECT_LE(img, c.Limit);
            EXPECT_LE(sub, c.Limit);
            // Both files hold every sector counted as written, and no part of another.
            EXPECT_EQ(sub, static_cast<std::uintmax_t>(o.Sectors) * RECORD);
            EXPECT_EQ(img, static_cast<std::uintmax_t>(o.Sectors) * SECTOR);
            EXPECT_LT(o.Sectors, 1000);
            EXPECT_EQ(Read("out.img"), Data.substr(0, img));
        }
    }
}

TEST_F(FaultInjectionTest, FileSizeLimitDuringTheControlFileLeavesTheImagesUntouched)
{
    LoadDisc(10);
    Dir.Write("out.img", "earlier img");
    const TOutcome o = ConvertInChild(Dir.File("out.ccd"), [] { return LimitFileSize(40); });
    ExpectAborted(o);
    EXPECT_FALSE(Exists("out.ccd"));
    EXPECT_EQ(Read("out.img"), "earlier img");
    EXPECT_FALSE(Exists("out.sub"));
    EXPECT_EQ(Temporaries(), "");
}

// --- Data files changed between loading and converting --------------------------------------------

// A source keeps its file open from the load on, but the user sees the file under its name: a file
// that changed since the load fails the run with its name, whichever way it changed.
TEST_F(FaultInjectionTest, DataFileChangedAfterLoadingFailsTheRun)
{
    struct TCase
    {
        const char* What;
        std::function<void(TTempDir&)> Change;
        const char* Reason;
    };
    const std::vector<TCase> cases = {
        {"deleted", [](TTempDir& d) { fs::remove(d.File("DATA.BIN")); }, "it is gone"},
        {"replaced",
         [](TTempDir& d) {
             d.Write("NEW.BIN", std::string(10 * SECTOR, 'n'));
             fs::rename(d.File("NEW.BIN"), d.File("DATA.BIN"));
         },
         "another file has its name now"},
        {"shortened", [](TTempDir& d) { fs::resize_file(d.File("DATA.BIN"), 7 * SECTOR + 100); },
         "16,564 bytes, was 70,560"},
        {"emptied", [](TTempDir& d) { fs::resize_file(d.File("DATA.BIN"), 0); }, "0 bytes, was 70,560"},
        {"rewritten",
         [](TTempDir& d) {
             fs::last_write_time(d.File("DATA.BIN"), fs::last_write_time(d.File("DATA.BIN")) + std::chrono::seconds(5));
         },
         "it was written since"},
    };
    for (const TRawPath path : RAW_PATHS)
    {
        for (const TCase& c : cases)
        {
            SCOPED_TRACE(std::string(c.What) + ", " + RawPathName(path));
            Dir.Write("out.ccd", "earlier ccd");
            LoadDisc(30);
            c.Change(Dir);
            const TOutcome o = Convert(Dir.File("out.ccd"), path);
            ExpectAborted(o);
            const std::string expected =
                std::string(1, '"').append(Dir.File("DATA.BIN")).append("\" changed after the sheet was loaded (");
            EXPECT_EQ(o.ErrorText, expected + c.Reason + "); load the sheet again");
            EXPECT_EQ(Read("out.ccd"), "earlier ccd");
            EXPECT_FALSE(Exists("out.img"));
        }
    }
}

// A file that shrinks or is written over while the run reads it: the short read or the end fails it.
TEST_F(FaultInjectionTest, DataFileShortenedDuringTheRunFailsAtTheShortRead)
{
    TWaveLayout layout;
    layout.Data = Pattern(3000 * SECTOR);
    Dir.Write("DATA.WAV", MakeWave(layout));
    WriteDisc(3000);
    using TChange = void (*)(const std::string&);
    const TChange shorten = [](const std::string& named) { fs::resize_file(named, 2000 * SECTOR); };
    for (const TRawPath path : RAW_PATHS)
    {
        for (const auto& [file, change] : {std::pair<std::string, TChange>{"DATA.BIN", shorten},
                                           {"DATA.WAV", shorten},
                                           {"DATA.BIN", RewriteInPlace}})
        {
            SCOPED_TRACE(file + ", " + RawPathName(path) + (change == shorten ? "" : ", rewritten"));
            const std::string type = file == "DATA.BIN" ? "BINARY" : "WAVE";
            ASSERT_TRUE(Sheet.Load(
                Dir.Write("short.cue", "FILE \"" + file + "\" " + type + "\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n")));
            const std::string named = Dir.File(file);
            // The first step comes after the run checked its files; the composer is at most a few batches ahead.
            const auto shrink = [&named, apply = change](TProgressEvent event, std::int32_t value) {
                if (event == peStep && value == 1)
                    apply(named);
            };
            TConversionJob job;
            UseRawPath(job, path);
            job.SetProgressHandler(shrink);
            job.Run(Dir.File("out.ccd"), true, Sheet);
            EXPECT_EQ(job.Status.load(), csFailed);
            EXPECT_NE(job.Error.Text().find("changed after the sheet was loaded"), std::string::npos)
                << job.Error.Text();
            EXPECT_FALSE(Exists("out.ccd"));
            if (file == "DATA.BIN")
                Dir.Write(file, Data);
            else
                Dir.Write(file, MakeWave(layout));
        }
    }
}

// A read that fails ends the run after the sectors before the damage, whether the composer reads
// them or they go through a pipe: never a sector made of zeros or old bytes, never one lost.
TEST_F(FaultInjectionTest, DamagedDataFileEndsTheRunAfterTheSectorsBeforeTheDamage)
{
    KeepPartial = true;
    TWaveLayout layout;
    layout.Data = Pattern(1000 * SECTOR);
    const std::size_t header = MakeWave(layout).size() - layout.Data.size();
    Dir.Write("DATA.WAV", MakeWave(layout));
    struct TCase
    {
        const char* File;
        const char* Line;
        std::size_t Header;
    };
    for (const TRawPath path : RAW_PATHS)
    {
        for (const TCase& c : {TCase{"DATA.BIN", "FILE \"DATA.BIN\" BINARY\nTRACK 01 AUDIO\n", 0},
                               TCase{"DATA.WAV", "FILE \"DATA.WAV\" WAVE\nTRACK 01 AUDIO\n", header},
                               TCase{"DATA.BIN", "FILE \"DATA.BIN\" BINARY\nTRACK 01 MODE1/2352\n", 0}})
        {
            SCOPED_TRACE(std::string(c.Line) + ", " + RawPathName(path));
            WriteDisc(1000);
            ASSERT_TRUE(Sheet.Load(Dir.Write("damaged.cue", std::string(c.Line) + "INDEX 01 00:00:00\n")));
            TOutcome o;
            {
                const TDamagedReads damage(static_cast<std::int64_t>(c.Header + 600 * SECTOR + 100));
                o = Convert(Dir.File("out.ccd"), path);
            }
            ExpectAborted(o);
            EXPECT_EQ(o.ErrorText, "cannot read \"" + Dir.File(c.File) + "\": Input/output error");
            EXPECT_EQ(o.Sectors, 600);
            EXPECT_EQ(fs::file_size(Dir.File("out.sub")), 600 * RECORD);
            const std::string img = Read("out.img");
            ASSERT_EQ(img.size(), 600 * SECTOR);
            if (std::string(c.Line).find("AUDIO") != std::string::npos)
            {
                EXPECT_EQ(img, Data.substr(0, 600 * SECTOR));
            }
        }
    }
}

// The .ccd's name taken by a folder during the run: the run says which files there before it replaced.
TEST_F(FaultInjectionTest, ARenameThatFailsAfterOthersSaysWhatWasReplaced)
{
    LoadDisc(200);
    TConversionJob job;
    job.SetProgressHandler([this](TProgressEvent event, std::int32_t) {
        if (event == peStep)
            fs::create_directories(Dir.File("out.ccd"));
    });
    job.Run(Dir.File("out.ccd"), true, Sheet);
    EXPECT_TRUE(job.EarlierSetChanged);
    EXPECT_EQ(job.Error.Text(), "cannot create \"" + Dir.File("out.ccd") + "\": Is a directory; already replaced: \"" +
                                    Dir.File("out.img") + "\", \"" + Dir.File("out.sub") + "\"");
}

// --- Special files where files belong: refused at once, never waited on ---------------------------

TEST_F(FaultInjectionTest, FifoOrFolderAsASheetOrDataFileIsRefusedWithoutBlocking)
{
    ASSERT_EQ(::mkfifo(Dir.File("PIPE.BIN").c_str(), 0666), 0);
    ASSERT_EQ(::mkfifo(Dir.File("PIPE.WAV").c_str(), 0666), 0);
    ASSERT_EQ(::mkfifo(Dir.File("pipe.cue").c_str(), 0666), 0);
    fs::create_directory(Dir.File("FOLDER.BIN"));
    struct TCase
    {
        std::string Sheet;
        std::uint32_t Code;
    };
    const std::vector<TCase> cases = {
        {Dir.Write("a.cue", "FILE \"PIPE.BIN\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"), 0x10401},
        {Dir.Write("b.cue", "FILE \"PIPE.WAV\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"), 0x10401},
        {Dir.Write("c.cue", "FILE \"FOLDER.BIN\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"), 0x10401},
        {Dir.Write("d.cue", "CDTEXTFILE \"PIPE.BIN\"\n"), 0x10201},
        {Dir.File("pipe.cue"), 0x001},
        {Dir.File("FOLDER.BIN"), 0x001},
    };
    const TChildResult child = RunInChild(
        [&] {
            std::string codes;
            for (const TCase& c : cases)
            {
                TLuCueSheet sheet;
                sheet.Load(c.Sheet);
                codes += std::to_string(sheet.ErrorCode) + " ";
            }
            return codes;
        },
        20);
    ASSERT_TRUE(child.Ok()) << child.Describe();
    std::string expected;
    for (const TCase& c : cases)
        expected += std::to_string(c.Code) + " ";
    EXPECT_EQ(child.Output, expected);
}

// The CD-TEXT file is opened by name when the control file is written, so it can have changed.
TEST_F(FaultInjectionTest, CdTextFileRemovedOrReplacedByAFolderAfterLoadingIsLeftOut)
{
    for (const bool folder : {false, true})
    {
        SCOPED_TRACE(folder ? "folder" : "removed");
        Dir.Write("TEXT.CDT", CdTextFileBytes());
        LoadDisc(3, "CDTEXTFILE \"TEXT.CDT\"\r\n");
        fs::remove(Dir.File("TEXT.CDT"));
        if (folder)
            fs::create_directory(Dir.File("TEXT.CDT"));
        const TOutcome o = Convert(Dir.File("out.ccd"));
        EXPECT_EQ(o.Status, csSucceeded);
        const std::string ccd = Read("out.ccd");
        EXPECT_NE(ccd.find("CDTextLength=0\r\n"), std::string::npos);
        EXPECT_EQ(ccd.find("[CDText]"), std::string::npos);
        fs::remove(Dir.File("TEXT.CDT"));
    }
}

// Nothing else of a conversion waits on a FIFO; a CD-TEXT file swapped for one must not either.
TEST_F(FaultInjectionTest, CdTextFileReplacedByAFifoAfterLoadingFailsWithoutBlocking)
{
    Dir.Write("TEXT.CDT", CdTextFileBytes());
    LoadDisc(3, "CDTEXTFILE \"TEXT.CDT\"\r\n");
    fs::remove(Dir.File("TEXT.CDT"));
    ASSERT_EQ(::mkfifo(Dir.File("TEXT.CDT").c_str(), 0666), 0);
    const TChildResult child = RunInChild([&] { return Convert(Dir.File("out.ccd")).Encode(); }, 10);
    ASSERT_TRUE(child.Ok()) << child.Describe();
    ExpectAborted(TOutcome::Decode(child.Output));
    EXPECT_FALSE(Exists("out.img"));
}

TEST_F(FaultInjectionTest, UnreadableCdTextFileFailsBeforeAnythingIsWritten)
{
    if (!CanDropPrivileges())
        GTEST_SKIP() << "cannot give up root";
    Dir.Write("TEXT.CDT", CdTextFileBytes());
    LoadDisc(3, "CDTEXTFILE \"TEXT.CDT\"\r\n");
    fs::permissions(Dir.Path(), fs::perms::all);
    fs::permissions(Dir.File("TEXT.CDT"), fs::perms::none);
    ExpectAborted(ConvertInChild(Dir.File("out.ccd"), DropToNobody));
    EXPECT_FALSE(Exists("out.ccd"));
    EXPECT_FALSE(Exists("out.img"));
}

// --- A cue sheet of 100 MB --------------------------------------------------------------------------

class HugeSheetTest : public FaultInjectionTest
{
protected:
    static constexpr std::size_t HUNDRED_MB = 100u << 20;

    // The sheet's own lines first, then comment lines of lineLength bytes up to 100 MB, then tail.
    std::string WriteHugeSheet(const std::string& head, std::size_t lineLength, const std::string& tail)
    {
        const std::string path = Dir.File("huge.cue");
        std::FILE* f = std::fopen(path.c_str(), "wb");
        EXPECT_NE(f, nullptr);
        std::string line = "REM " + std::string(lineLength - 6, 'c') + "\r\n";
        std::fwrite(head.data(), 1, head.size(), f);
        for (std::size_t written = head.size(); written < HUNDRED_MB; written += line.size())
            std::fwrite(line.data(), 1, line.size(), f);
        std::fwrite(tail.data(), 1, tail.size(), f);
        EXPECT_EQ(std::fclose(f), 0);
        return path;
    }
};

TEST_F(HugeSheetTest, LoadsAndConvertsLikeItsCommandLines)
{
    Dir.Write("DATA.BIN", Pattern(4 * SECTOR));
    const std::string cue =
        WriteHugeSheet("FILE \"DATA.BIN\" BINARY\r\n  TRACK 01 AUDIO\r\n    INDEX 01 00:00:00\r\n", 4096, "");
    ASSERT_TRUE(Sheet.Load(cue)) << std::hex << Sheet.ErrorCode;
    EXPECT_EQ(Sheet.TrackCount, 1);
    EXPECT_EQ(Sheet.LeadOutAddress(), 154);
    EXPECT_EQ(Convert(Dir.File("out.ccd")).Status, csSucceeded);
}

TEST_F(HugeSheetTest, OneLineWithoutLineEndIsNotACommand)
{
    const std::string path = Dir.File("huge.cue");
    {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        const std::string chunk(1 << 20, 'x');
        for (int i = 0; i < 100; ++i)
            std::fwrite(chunk.data(), 1, chunk.size(), f);
        ASSERT_EQ(std::fclose(f), 0);
    }
    EXPECT_FALSE(Sheet.Load(path));
    EXPECT_EQ(Sheet.ErrorCode, 0x101u);
}

// The error after 100 MB of comments is still found, on its own line (25,601 lines of 4 KB).
TEST_F(HugeSheetTest, AnErrorAtTheEndIsReportedWithItsLine)
{
    Dir.Write("DATA.BIN", Pattern(4 * SECTOR));
    const std::string cue = WriteHugeSheet("FILE \"DATA.BIN\" BINARY\r\n", 4096, "TRACK 00 AUDIO\r\n");
    EXPECT_FALSE(Sheet.Load(cue));
    const std::uint32_t lines = 1 + static_cast<std::uint32_t>((HUNDRED_MB - 24 + 4095) / 4096) + 1;
    EXPECT_EQ(Sheet.ErrorCode, lines << 16 | 0x505u);
    EXPECT_EQ(Sheet.TrackCount, 0);
}

// 100 MB of short lines puts the error far beyond line 65,535, which the 16 bits of the packed
// status cannot carry.
TEST_F(HugeSheetTest, AnErrorBeyondLine65535IsNotReportedOnAnotherLine)
{
    Dir.Write("DATA.BIN", Pattern(4 * SECTOR));
    const std::string cue = WriteHugeSheet("FILE \"DATA.BIN\" BINARY\r\n", 64, "TRACK 00 AUDIO\r\n");
    EXPECT_FALSE(Sheet.Load(cue));
    const std::uint32_t line = 1 + static_cast<std::uint32_t>((HUNDRED_MB - 24 + 63) / 64) + 1;
    ASSERT_GT(line, 0xFFFFu);
    EXPECT_EQ(Sheet.ErrorCode & 0xFFFF, 0x505u);
    // Either the true line or none at all; never a line that holds no error.
    const std::uint32_t reported = Sheet.ErrorCode >> 16;
    EXPECT_TRUE(reported == 0 || reported == line) << "reported line " << reported << ", error on line " << line;
}

// --- WAVE headers with absurd chunk sizes -----------------------------------------------------------

struct TWaveCase
{
    const char* Name;
    std::string Wave;
    std::uint32_t LoadCode; // 0: loads
    std::string Converted;  // the audio the image holds when it loads
};

std::vector<TWaveCase> AbsurdWaves()
{
    const std::string audio = Pattern(6 * SECTOR);
    std::vector<TWaveCase> cases;
    auto add = [&](const char* name, std::uint32_t code, std::size_t bytes, auto edit) {
        TWaveLayout layout;
        layout.Data = audio;
        edit(layout);
        cases.push_back({name, MakeWave(layout), code, audio.substr(0, bytes)});
    };
    // A data chunk that claims more than the file holds is cut to what is there.
    add("data size 0xFFFFFFFF", 0, audio.size(), [](TWaveLayout& s) { s.DeclaredDataSize = 0xFFFFFFFF; });
    add("data size 0x80000000", 0, audio.size(), [](TWaveLayout& s) { s.DeclaredDataSize = 0x80000000; });
    add("data size 0x7FFFFFFF", 0, audio.size(), [](TWaveLayout& s) { s.DeclaredDataSize = 0x7FFFFFFF; });
    // An empty data chunk leaves the track without sectors.
    add("data size 0, audio after it", 0x3090F, 0, [](TWaveLayout& s) { s.DeclaredDataSize = 0; });
    // A chunk that jumps past the end hides the data chunk.
    add("junk chunk 0xFFFFFFFE", 0x10403, 0,
        [](TWaveLayout& s) { s.ChunksBeforeData = std::string("JUNK\xFE\xFF\xFF\xFF", 8); });
    add("junk chunk 0x7FFFFFFF", 0x10403, 0,
        [](TWaveLayout& s) { s.ChunksBeforeData = std::string("JUNK\xFF\xFF\xFF\x7F", 8); });
    TWaveLayout layout;
    layout.Data = audio;
    std::string wave = MakeWave(layout);
    wave.replace(16, 4, "\xFF\xFF\xFF\xFF"); // the format chunk's size
    cases.push_back({"format chunk 0xFFFFFFFF", wave, 0x10403, ""});
    return cases;
}

TEST_F(FaultInjectionTest, WaveHeadersWithAbsurdChunkSizesLoadCutOrAreRefused)
{
    for (const TWaveCase& c : AbsurdWaves())
    {
        SCOPED_TRACE(c.Name);
        Dir.Write("DATA.WAV", c.Wave);
        const std::string cue = Dir.Write("wave.cue", "FILE \"DATA.WAV\" WAVE\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n");
        TLuCueSheet sheet;
        ASSERT_EQ(sheet.Load(cue), c.LoadCode == 0) << std::hex << sheet.ErrorCode;
        EXPECT_EQ(sheet.ErrorCode, c.LoadCode);
        if (c.LoadCode != 0)
            continue;
        TConversionJob job;
        job.Run(Dir.File("out.ccd"), true, sheet);
        EXPECT_EQ(job.Status.load(), csSucceeded);
        EXPECT_EQ(Read("out.img"), c.Converted);
    }
}

} // namespace
