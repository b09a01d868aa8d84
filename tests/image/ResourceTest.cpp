// SPDX-License-Identifier: GPL-3.0-or-later
// Resource bounds of a long-lived front end: no descriptor is lost however loads and conversions
// end, and a conversion's memory does not grow with the size of the disc.
#include "cuesheet/Lucue.h"
#include "image/Conversion.h"
#include "support/ChildProcess.h"
#include "support/CdTextFile.h"
#include "support/TempDir.h"
#include "support/Wave.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

int OpenDescriptors()
{
    int count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

class ResourceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!fs::is_directory("/proc/self/fd"))
            GTEST_SKIP() << "no /proc/self/fd";
        TWaveLayout wave;
        wave.Data = std::string(3 * 2352, '\x11');
        Dir.Write("A.WAV", MakeWave(wave));
        Dir.Write("B.BIN", std::string(5 * 2352, '\x22'));
        Dir.Write("TEXT.CDT", CdTextFileBytes(3));
        wave.SampleRate = 48000;
        Dir.Write("BAD.WAV", MakeWave(wave));
    }

    TTempDir Dir;
};

// Every way a load can end: success with three sources, a refused WAVE file, a missing file, and
// an error after files were already opened.
TEST_F(ResourceTest, AThousandLoadsLeaveNoDescriptorOpen)
{
    const std::vector<std::pair<std::string, bool>> sheets = {
        {Dir.Write("good.cue", "CDTEXTFILE TEXT.CDT\nFILE A.WAV WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"
                               "FILE B.BIN BINARY\nTRACK 02 MODE1/2352\nINDEX 01 00:00:00\n"
                               "FILE B.BIN BINARY\nTRACK 03 AUDIO\nINDEX 01 00:00:00\n"),
         true},
        {Dir.Write("badwave.cue", "FILE B.BIN BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nFILE BAD.WAV WAVE\n"), false},
        {Dir.Write("missing.cue", "FILE B.BIN BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nFILE NONE.BIN BINARY\n"),
         false},
        {Dir.Write("late.cue",
                   "FILE A.WAV WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nFILE B.BIN BINARY\nTRACK 03 AUDIO\n"),
         false},
    };
    TLuCueSheet sheet;
    const int before = OpenDescriptors();
    int loaded = 0;
    for (int i = 0; i < 1000; ++i)
    {
        const auto& [path, good] = sheets[static_cast<std::size_t>(i) % sheets.size()];
        const bool ok = sheet.Load(path);
        ASSERT_EQ(ok, good) << path;
        loaded += ok ? 1 : 0;
    }
    EXPECT_EQ(loaded, 250);
    sheet.Clear();
    EXPECT_EQ(OpenDescriptors(), before);
}

// Every way a conversion can end: success, cancel, and failures at the control file and the images.
TEST_F(ResourceTest, AHundredConversionsLeaveNoDescriptorOpen)
{
    const std::string cue = Dir.Write("disc.cue", "CDTEXTFILE TEXT.CDT\nFILE A.WAV WAVE\nTRACK 01 AUDIO\n"
                                                  "INDEX 01 00:00:00\nFILE B.BIN BINARY\nTRACK 02 MODE1/2352\n"
                                                  "INDEX 01 00:00:00\n");
    TLuCueSheet sheet;
    ASSERT_TRUE(sheet.Load(cue));
    fs::create_directory(Dir.File("img-is-a-folder.img"));
    const int before = OpenDescriptors();
    int succeeded = 0;
    for (int i = 0; i < 100; ++i)
    {
        TConversionJob job;
        std::string ccd = Dir.File("out.ccd");
        switch (i % 4)
        {
        case 1: job.RequestCancel(); break;
        case 2: ccd = Dir.File("no-such-folder/out.ccd"); break;
        case 3: ccd = Dir.File("img-is-a-folder.ccd"); break;
        default: break;
        }
        job.Run(ccd, i % 2 == 0, sheet);
        const TConvertStatus expected = i % 4 == 0 ? csSucceeded : i % 4 == 1 ? csCanceled : csFailed;
        ASSERT_EQ(job.Status.load(), expected) << i;
        succeeded += job.Status.load() == csSucceeded ? 1 : 0;
    }
    EXPECT_EQ(succeeded, 25);
    EXPECT_EQ(OpenDescriptors(), before);
}

// The job streams: converting a disc ten times the size must not raise the peak resident size by
// anything near the difference (over 90 MB of .img). Measured in a child, whose peak starts fresh.
TEST_F(ResourceTest, ConversionMemoryDoesNotGrowWithTheDisc)
{
    Dir.WriteZeros("SMALL.BIN", 4500 * 2352);
    Dir.WriteZeros("LARGE.BIN", 45000 * 2352);
    const std::string small = Dir.Write("small.cue", "FILE SMALL.BIN BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n");
    const std::string large = Dir.Write("large.cue", "FILE LARGE.BIN BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n");
    const TChildResult child = RunInChild(
        [&] {
            auto convert = [&](const std::string& cue, const char* ccd) {
                TLuCueSheet sheet;
                TConversionJob job;
                if (!sheet.Load(cue))
                    return false;
                job.Run(Dir.File(ccd), true, sheet);
                return job.Status.load() == csSucceeded;
            };
            auto peakKb = [] {
                rusage usage{};
                ::getrusage(RUSAGE_SELF, &usage);
                return usage.ru_maxrss;
            };
            if (!convert(small, "small.ccd"))
                return std::string("small disc failed");
            const long afterSmall = peakKb();
            if (!convert(large, "large.ccd"))
                return std::string("large disc failed");
            return std::to_string(peakKb() - afterSmall);
        },
        300);
    ASSERT_TRUE(child.Ok()) << child.Describe();
    const long growthKb = std::stol(child.Output);
    EXPECT_LT(growthKb, 24 * 1024) << "peak resident size grew by " << growthKb << " KB";
    RecordProperty("PeakGrowthKb", std::to_string(growthKb));
    EXPECT_EQ(fs::file_size(Dir.File("large.img")), 45000u * 2352);
}

// A lead-in holds at most 8 blocks of 256 CD-TEXT packs; a file named by mistake (the disc's own
// data file, say) holds millions. The run fails, and its memory stays bounded.
TEST_F(ResourceTest, AHugeCdTextFileFailsWithoutExhaustingMemory)
{
    constexpr std::size_t PACKS = 500'000;
    std::string packs(PACKS * 18, '\0');
    for (std::size_t i = 0; i < packs.size(); ++i)
        packs[i] = static_cast<char>(i * 131 % 251);
    // The load refuses such a file: it is put in place after a sound one loaded.
    Dir.Write("HUGE.CDT", CdTextFileBytes());
    Dir.Write("HUGE.BIN", packs);
    packs = std::string();
    const std::string cue =
        Dir.Write("huge.cue", "CDTEXTFILE HUGE.CDT\nFILE B.BIN BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n");
    const TChildResult child = RunInChild(
        [&] {
            TLuCueSheet sheet;
            if (!sheet.Load(cue))
                return std::string("load failed");
            fs::rename(Dir.File("HUGE.BIN"), Dir.File("HUGE.CDT"));
            rusage usage{};
            ::getrusage(RUSAGE_SELF, &usage);
            const long before = usage.ru_maxrss;
            TConversionJob job;
            job.Run(Dir.File("out.ccd"), true, sheet);
            ::getrusage(RUSAGE_SELF, &usage);
            return std::to_string(int(job.Status.load())) + " " + std::to_string(usage.ru_maxrss - before);
        },
        120);
    ASSERT_TRUE(child.Ok()) << child.Describe();
    int status = -1;
    long growthKb = -1;
    std::istringstream(child.Output) >> status >> growthKb;
    EXPECT_EQ(status, csFailed);
    EXPECT_LT(growthKb, 64 * 1024) << "peak resident size grew by " << growthKb << " KB for " << PACKS << " packs";
}

} // namespace
