// SPDX-License-Identifier: GPL-3.0-or-later
// sarvex-cli --to-cue as its own process: what it takes, what it refuses, and how it exits.
#include "support/CliProcess.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

TEST(ToCueCliTest, OptionsThatDoNotGoTogetherAreUsageErrors)
{
    const std::vector<std::vector<std::string>> wrong = {
        {"--to-cue", "--verify", "d.ccd"},           {"--single-file", "d.cue"},
        {"--strict", "--verify", "d.ccd"},           {"--to-cue", "a.ccd", "b.cue", "c.cue"},
        {"--to-cue", "--no-edc-ecc", "d.ccd"},       {"--to-cue"},
    };
    for (const auto& args : wrong)
    {
        SCOPED_TRACE(args.back());
        const TRunResult run = RunCli(args);
        EXPECT_EQ(run.Exit, 64);
        EXPECT_NE(run.Err.find("sarvex-cli: wrong arguments: "), std::string::npos) << run.Err;
    }
}

TEST(ToCueCliTest, WritesBesideTheSetRefusesToReplaceWithoutForceAndTellsAnUnreadableSet)
{
    TTempDir dir;
    dir.WriteZeros("data.bin", 300 * 2352);
    const std::string cue = dir.Write("disc.cue", "FILE data.bin BINARY\nTRACK 01 MODE1/2352\nINDEX 01 00:00:00\n");
    ASSERT_EQ(RunCli({cue, dir.File("set.ccd")}).Exit, 0);

    // Another disc's side-car, which a conversion of c.cue would take: refused, removed by --force.
    dir.Write("C.LSD", std::string(15, '\0'));
    TRunResult run = RunCli({"--to-cue", dir.File("set.ccd"), dir.File("c.cue")});
    EXPECT_NE(run.Err.find(dir.File("C.LSD") + "\" already exists. Use --force"), std::string::npos) << run.Err;
    EXPECT_EQ(RunCli({"--to-cue", "--force", dir.File("set.ccd"), dir.File("c.cue")}).Exit, 0);
    EXPECT_FALSE(fs::exists(dir.File("C.LSD")));

    run = RunCli({"--to-cue", dir.File("set.ccd")});
    EXPECT_EQ(run.Exit, 0) << run.Err;
    EXPECT_EQ(run.Out, "300 sectors of 1 track written to \"" + dir.File("set.cue") + "\".\n");
    EXPECT_EQ(fs::file_size(dir.File("set.bin")), 300u * 2352);

    run = RunCli({"--to-cue", dir.File("set.ccd")});
    EXPECT_EQ(run.Exit, 1);
    EXPECT_EQ(run.Err, "Cannot export \"" + dir.File("set.ccd") + "\": \"" + dir.File("set.bin") +
                           "\" already exists. Use --force to overwrite it.\n");
    EXPECT_EQ(RunCli({"--to-cue", "--force", "-q", dir.File("set.ccd")}).Out, "");
    TSpawnOptions limited; // a full disk, as a file size limit gives it: no temporaries stay
    limited.FileSizeLimit = 100000;
    EXPECT_EQ(RunCli({"--to-cue", dir.File("set.ccd"), dir.File("lim.cue")}, limited).Err,
              "Cannot export \"" + dir.File("set.ccd") + "\": cannot write \"" + dir.File("lim.bin") +
                  "\": File too large\n");
    // The sheet, the two sets, and c.cue with its track file: no temporaries.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 9);

    fs::remove(dir.File("set.img"));
    run = RunCli({"--to-cue", "--force", dir.File("set.ccd"), dir.File("other.cue")});
    EXPECT_EQ(run.Exit, 2);
    EXPECT_NE(run.Err.find("set.img"), std::string::npos) << run.Err;
}

} // namespace
