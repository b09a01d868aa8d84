// SPDX-License-Identifier: GPL-3.0-or-later
#include "fileio/Pagepipe.h"

#include "support/FileFaults.h"
#include "support/Pattern.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class PagepipeTest : public ::testing::Test
{
protected:
    // What the pipe holds, written to a new file through the kernel's way.
    std::string DrainAll(TPagePipe& pipe, std::size_t count)
    {
        TFile out = TFile::OpenForWriting(Dir.File("out.img"));
        std::vector<std::uint8_t> scratch(count);
        pipe.Drain(out, count, scratch);
        return out.ReadAll();
    }

    TTempDir Dir;
    // More than a pipe of the largest size holds.
    std::string Data = Pattern(1'500'000);
    TFile Source = TFile::OpenForReading(Dir.Write("a.bin", Data));
};

TEST_F(PagepipeTest, CarriesTheBytesAndStopsAtTheSourceEnd)
{
    TPagePipe pipe;
    ASSERT_EQ(pipe.Fill(Source, 1000, 5000), 5000u);
    ASSERT_EQ(pipe.Fill(Source, 1'499'000, 5000), 1000u);
    EXPECT_EQ(DrainAll(pipe, 6000), Data.substr(1000, 5000) + Data.substr(1'499'000));
    std::vector<std::uint8_t> none(1);
    EXPECT_THROW(pipe.Read(none), std::system_error) << "the pipe is empty";
}

// A fill never waits: what does not fit is left to the caller, as is everything under a test fault.
TEST_F(PagepipeTest, AFullPipeOrATestFaultTakesLess)
{
    TPagePipe pipe;
    const std::size_t taken = pipe.Fill(Source, 0, Data.size());
    EXPECT_GT(taken, 0u);
    EXPECT_LT(taken, Data.size());
    {
        const TDamagedReads damage(1 << 30);
        EXPECT_EQ(pipe.Fill(Source, 0, 100), 0u);
    }
    {
        const TWriteBudget budget(1 << 30);
        EXPECT_EQ(pipe.Fill(Source, 0, 100), 0u);
    }
    EXPECT_EQ(pipe.Fill(Source, static_cast<std::int64_t>(taken), Data.size() - taken), 0u);
    std::vector<std::uint8_t> head(taken);
    pipe.Read(head);
    EXPECT_EQ(std::string(head.begin(), head.end()), Data.substr(0, taken));
}

// Where the kernel cannot write, the ordinary write takes over and says why it failed.
TEST_F(PagepipeTest, AFailedDrainFailsAsAnOrdinaryWrite)
{
    TPagePipe pipe;
    ASSERT_EQ(pipe.Fill(Source, 0, 4096), 4096u);
    TFile full = TFile::OpenForWriting("/dev/full");
    std::vector<std::uint8_t> scratch(4096);
    try
    {
        pipe.Drain(full, 4096, scratch);
        ADD_FAILURE() << "a write to /dev/full succeeded";
    }
    catch (const std::system_error& error)
    {
        EXPECT_STREQ(error.what(), "cannot write \"/dev/full\": No space left on device");
    }
    EXPECT_EQ(std::string(scratch.begin(), scratch.end()), Data.substr(0, 4096)) << "taken the ordinary way";
}

} // namespace
