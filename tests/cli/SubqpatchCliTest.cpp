// SPDX-License-Identifier: GPL-3.0-or-later
// LibCrypt side-cars through sarvex-cli: which file is found, what the options change, what a bad
// file stops.
#include "support/CliProcess.h"
#include "support/Sidecar.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace sidecar;

// A record at 00:02:05 (.sub record 5) of a 300-sector data disc.
const TFrame LSD_FRAME = {0x41, 0x01, 0x01, 0x00, 0x00, 0x25, 0x00, 0x00, 0x02, 0x05, 0x12, 0x34};
const std::string LSD = LsdRecord({0x00, 0x02, 0x05}, LSD_FRAME);
const std::string SBI = SBI_HEADER + Bytes({0x00, 0x02, 0x05, 0x03, 0x00, 0x22, 0x05});

class SubQPatchCliTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Dir.WriteZeros("GAME.BIN", 300 * 2352);
        Cue = Dir.Write("Game.cue", "FILE \"GAME.BIN\" BINARY\nTRACK 01 MODE2/2352\nINDEX 01 00:00:00\n");
        const TRunResult plain = RunCli({"--quiet", Cue, Dir.File("plain.ccd")});
        ASSERT_EQ(plain.Exit, 0) << plain.Err;
        PlainSub = TTempDir::ReadAll(Dir.File("plain.sub"));
    }

    // Converts into out.ccd with the options given and returns the run; Sub holds the .sub.
    TRunResult Convert(std::vector<std::string> options)
    {
        options.insert(options.end(), {"--force", Cue, Dir.File("out.ccd")});
        const TRunResult run = RunCli(options);
        Sub = fs::exists(Dir.File("out.sub")) ? TTempDir::ReadAll(Dir.File("out.sub")) : "";
        return run;
    }
    std::string QChannel(int record) const { return Sub.substr(std::size_t(record) * 96 + 12, 12); }

    TTempDir Dir;
    std::string Cue;
    std::string PlainSub;
    std::string Sub;
};

TEST_F(SubQPatchCliTest, TheSheetsSideCarIsFoundIgnoringCaseAndTheLsdWins)
{
    const TRunResult none = Convert({});
    EXPECT_EQ(none.Exit, 0) << none.Err;
    EXPECT_EQ(none.Out.find("Q frame"), std::string::npos) << none.Out;
    EXPECT_TRUE(Sub == PlainSub);

    Dir.Write("GAME.SBI", SBI);
    const TRunResult sbi = Convert({});
    EXPECT_EQ(sbi.Exit, 0) << sbi.Err;
    EXPECT_NE(sbi.Out.find("1 Q frame replaced from \"" + Dir.File("GAME.SBI") + "\".\n"), std::string::npos)
        << sbi.Out;
    const std::string q = QChannel(5);
    EXPECT_EQ(q.substr(0, 10), PlainSub.substr(5 * 96 + 12, 7) + Bytes({0x00, 0x22, 0x05}));
    EXPECT_NE(q.substr(10), PlainSub.substr(5 * 96 + 22, 2));

    Dir.Write("game.lsd", LSD);
    const TRunResult lsd = Convert({});
    EXPECT_EQ(lsd.Exit, 0) << lsd.Err;
    EXPECT_EQ(QChannel(5), std::string(LSD_FRAME.begin(), LSD_FRAME.end()));
    EXPECT_EQ(Sub.substr(6 * 96), PlainSub.substr(6 * 96));

    const TRunResult ignored = Convert({"--no-subq-patch"});
    EXPECT_EQ(ignored.Exit, 0) << ignored.Err;
    EXPECT_TRUE(Sub == PlainSub);
    EXPECT_EQ(ignored.Out.find("Q frame"), std::string::npos);
}

TEST_F(SubQPatchCliTest, AnExplicitFileIsUsedAndShownInTheLayout)
{
    const std::string other = Dir.Write("protection.bin", LSD);
    const TRunResult run = Convert({"--subq-patch", other});
    EXPECT_EQ(run.Exit, 0) << run.Err;
    EXPECT_EQ(QChannel(5), std::string(LSD_FRAME.begin(), LSD_FRAME.end()));

    const TRunResult layout = RunCli({"--layout", "--subq-patch", other, Cue});
    EXPECT_EQ(layout.Exit, 0) << layout.Err;
    EXPECT_NE(layout.Out.find("  Subchannel patches: 1 Q frame from protection.bin\n"), std::string::npos)
        << layout.Out;

    EXPECT_EQ(RunCli({"--subq-patch", other, "--no-subq-patch", Cue}).Exit, 64);
    EXPECT_EQ(RunCli({"--subq-patch", other, Cue, Cue}).Exit, 64);
}

TEST_F(SubQPatchCliTest, ABadSideCarStopsTheLoadAndAWarningDoesNot)
{
    Dir.Write("Game.sbi", SBI_HEADER + Bytes({0x00, 0x03, 0x41, 0x01}));
    const TRunResult bad = Convert({});
    EXPECT_EQ(bad.Exit, 2);
    EXPECT_EQ(bad.Err, "Game.sbi: record 1 is cut short\n");
    EXPECT_FALSE(fs::exists(Dir.File("out.ccd")));
    EXPECT_FALSE(fs::exists(Dir.File("out.img")));
    EXPECT_EQ(RunCli({"--layout", Cue}).Exit, 2);
    const TRunResult missing = Convert({"--subq-patch", Dir.File("none.lsd")});
    EXPECT_EQ(missing.Exit, 2);
    EXPECT_EQ(missing.Err, "none.lsd: cannot be read (No such file or directory)\n");

    Dir.Write("Game.sbi", SBI_HEADER);
    const TRunResult empty = Convert({});
    EXPECT_EQ(empty.Exit, 0) << empty.Err;
    EXPECT_EQ(empty.Err, "Warning: Game.sbi: holds no records\n");
    EXPECT_NE(empty.Out.find("0 Q frames replaced"), std::string::npos) << empty.Out;
    EXPECT_TRUE(Sub == PlainSub);
}

TEST_F(SubQPatchCliTest, ABatchNamesTheReplacedFramesAndTheWarningsPerSheet)
{
    Dir.Write("Game.lsd", LSD);
    const std::string other = Dir.Write("Other.cue", TTempDir::ReadAll(Cue));
    Dir.Write("Other.sbi", SBI_HEADER);
    fs::create_directory(Dir.File("out"));
    const TRunResult run = RunCli({"--output-dir", Dir.File("out"), Cue, other});
    EXPECT_EQ(run.Exit, 0) << run.Err;
    EXPECT_NE(run.Out.find(Cue + ": ok, 1 Q frame replaced from \"" + Dir.File("Game.lsd") + "\"\n"), std::string::npos)
        << run.Out;
    EXPECT_NE(run.Out.find(other + ": ok, 0 Q frames replaced from \"" + Dir.File("Other.sbi") + "\"\n"),
              std::string::npos)
        << run.Out;
    EXPECT_NE(run.Err.find(other + ": warning: Other.sbi: holds no records\n"), std::string::npos) << run.Err;
}

} // namespace
