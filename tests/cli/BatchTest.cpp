// SPDX-License-Identifier: GPL-3.0-or-later
// Batch use of sarvex-cli: many sheets in one call, some broken, checked against single runs.
#include "support/CliProcess.h"
#include "support/Pattern.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <set>
#include <sstream>
#include <thread>

namespace {

namespace fs = std::filesystem;

std::set<std::string> Lines(const std::string& text)
{
    std::set<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.insert(line);
    return lines;
}

class BatchTest : public ::testing::Test
{
protected:
    // Sheet k of a collection: audio, cooked data or data plus audio, each of its own length.
    std::string WriteSheet(unsigned k)
    {
        const std::string name = "disc" + std::to_string(k);
        const std::size_t sectors = 300 + 9 * k; // at least the 4 seconds a track needs
        std::string cue;
        switch (k % 3)
        {
        case 0:
            Dir.Write(name + ".bin", Pattern(sectors * 2352, k));
            cue = "FILE \"" + name + ".bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n";
            break;
        case 1:
            Dir.Write(name + ".bin", Pattern(sectors * 2048, k));
            cue = "FILE \"" + name + ".bin\" BINARY\nTRACK 01 MODE1/2048\nINDEX 01 00:00:00\n";
            break;
        default:
        {
            Dir.Write(name + ".bin", Pattern(sectors * 2 * 2352, k));
            char second[16];
            std::snprintf(second, sizeof second, "%02zu:%02zu:%02zu", sectors / 4500, sectors / 75 % 60, sectors % 75);
            cue = "FILE \"" + name +
                  ".bin\" BINARY\nTRACK 01 MODE1/2352\nINDEX 01 00:00:00\n"
                  "TRACK 02 AUDIO\nINDEX 01 " +
                  std::string(second) + "\n";
        }
        break;
        }
        return Dir.Write(name + ".cue", cue);
    }

    TTempDir Dir;
};

TEST_F(BatchTest, TwentySheetsFourAtOnceMatchSingleRuns)
{
    TTempDir ref;
    TTempDir out;
    std::vector<std::string> args = {"-j", "4", "--output-dir", out.Path().string()};
    std::set<std::string> expected;
    std::set<std::string> errors; // what went wrong goes to stderr
    std::vector<std::string> converted;
    for (unsigned k = 0; k < 20; ++k)
    {
        const std::string cue = WriteSheet(k);
        const std::string name = "disc" + std::to_string(k);
        args.push_back(cue);
        if (k % 6 == 5) // broken sheets: a wrong command, or a data file that is missing
        {
            if (k == 5)
                Dir.Write(name + ".cue", "FILE \"x.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nFLAGS DCP\n");
            else
                fs::remove(Dir.File(name + ".bin"));
            const TRunResult single = RunCli({"--quiet", cue, ref.File(name + ".ccd")});
            ASSERT_EQ(single.Exit, 2);
            std::string reason = single.Err.substr(0, single.Err.size() - 1);
            std::replace(reason.begin(), reason.end(), '\n', '\x01');
            for (std::size_t at; (at = reason.find('\x01')) != std::string::npos;)
                reason.replace(at, 1, ": ");
            errors.insert(cue + ": not loaded: " + reason);
            continue;
        }
        if (k == 4) // an existing output is refused without --force, the others go on
        {
            out.Write(name + ".sub", "keep");
            errors.insert(cue + ": failed: \"" + out.File(name + ".sub") +
                            "\" already exists. Use --force to overwrite it.");
            continue;
        }
        ASSERT_EQ(RunCli({"--quiet", cue, ref.File(name + ".ccd")}).Exit, 0) << cue;
        expected.insert(cue + ": ok");
        converted.push_back(name);
    }

    const TRunResult batch = RunCli(args);
    EXPECT_EQ(batch.Exit, 2) << batch.Err; // the worst: a sheet that could not be loaded
    expected.insert("16 converted, 1 failed, 3 could not be loaded");
    EXPECT_EQ(Lines(batch.Out), expected) << batch.Out;
    EXPECT_EQ(batch.Out.substr(batch.Out.rfind('\n', batch.Out.size() - 2) + 1),
              "16 converted, 1 failed, 3 could not be loaded\n");
    EXPECT_EQ(Lines(batch.Err), errors) << batch.Err;
    for (const std::string& name : converted)
        for (const char* ext : {".ccd", ".img", ".sub"})
            EXPECT_EQ(TTempDir::ReadAll(out.File(name + ext)), TTempDir::ReadAll(ref.File(name + ext))) << name << ext;
    EXPECT_EQ(TTempDir::ReadAll(out.File("disc4.sub")), "keep");
    EXPECT_FALSE(fs::exists(out.File("disc4.ccd")));
}

TEST_F(BatchTest, SameNameRefusedFailFastAndUsageErrors)
{
    const std::string first = WriteSheet(0);
    const std::string second = WriteSheet(1);
    fs::create_directory(Dir.File("more"));
    const std::string twin = Dir.Write("more/disc0.cue", TTempDir::ReadAll(first));
    fs::copy_file(Dir.File("disc0.bin"), Dir.File("more/disc0.bin"));
    TTempDir out;

    // Two sheets named alike: the second set would land on the first, so it is refused.
    const TRunResult twins = RunCli({"--output-dir", out.Path().string(), first, twin});
    EXPECT_EQ(twins.Exit, 1);
    EXPECT_EQ(Lines(twins.Out), (std::set<std::string>{first + ": ok", "1 converted, 1 failed, 0 could not be loaded"}));
    EXPECT_EQ(twins.Err, twin + ": failed: \"" + out.File("disc0.ccd") + "\" is already the output of \"" + first + "\".\n");

    // --fail-fast: nothing starts after the broken sheet; without it the others go on.
    const std::string broken = Dir.Write("broken.cue", "TRACK 01 AUDIO\n");
    const TRunResult fast = RunCli({"--fail-fast", "--force", broken, first, second});
    EXPECT_EQ(fast.Exit, 2);
    EXPECT_EQ(fast.Out, "0 converted, 0 failed, 1 could not be loaded, 2 not started\n");
    EXPECT_EQ(fast.Err.rfind(broken + ": not loaded: Invalid CUE SHEET command at line 1: ", 0), 0u) << fast.Err;
    EXPECT_FALSE(fs::exists(Dir.File("disc0.ccd")));
    const TRunResult slow = RunCli({"--quiet", broken, first, second});
    EXPECT_EQ(slow.Exit, 2);
    EXPECT_EQ(slow.Out, "") << "--quiet prints only what went wrong";
    EXPECT_NE(slow.Err.find(broken + ": not loaded: "), std::string::npos) << slow.Err;
    EXPECT_TRUE(fs::exists(Dir.File("disc1.img")));

    // A glob the shell left as it was, a folder, or a control file among several sheets.
    const TRunResult glob = RunCli({Dir.File("*.cue.none"), first});
    EXPECT_EQ(glob.Exit, 64);
    EXPECT_EQ(glob.Err.rfind("sarvex-cli: \"" + Dir.File("*.cue.none") + "\" matches no file\n", 0), 0u) << glob.Err;
    const TRunResult folder = RunCli({"--force", Dir.File("more")});
    EXPECT_EQ(folder.Exit, 64);
    EXPECT_EQ(folder.Err.rfind("sarvex-cli: \"" + Dir.File("more") + "\" is a folder, not a cue sheet\n", 0), 0u);
    EXPECT_EQ(RunCli({first, second, "x.ccd"}).Exit, 64);
    EXPECT_EQ(RunCli({"--output-dir", out.Path().string(), first, "x.ccd"}).Exit, 64);
}

// track.cue's set would overwrite track.img, which game.cue reads: refused whichever runs first.
TEST_F(BatchTest, ASetThatWouldOverwriteAnotherSheetsInputIsRefused)
{
    WriteSheet(0);
    const std::string data = Pattern(50 * 2352, 7);
    Dir.Write("track.img", data);
    const std::string game = Dir.Write("game.cue", "FILE \"TRACK.IMG\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n");
    const std::string track = Dir.Write("track.cue", TTempDir::ReadAll(Dir.File("disc0.cue")));
    const TRunResult run = RunCli({"--force", "-j", "2", track, game});
    EXPECT_EQ(run.Exit, 1);
    EXPECT_EQ(Lines(run.Out), (std::set<std::string>{game + ": ok", "1 converted, 1 failed, 0 could not be loaded"}));
    EXPECT_EQ(Lines(run.Err).count(track + ": failed: \"" + Dir.File("track.img") + "\" is an input of \"" + game +
                                   "\" and cannot be overwritten."),
              1u)
        << run.Err;
    EXPECT_EQ(TTempDir::ReadAll(Dir.File("track.img")), data);
}

// Outputs meet by what they are, not how they are spelled: a folder reached through a link is the
// same folder, whether the set exists yet or not.
TEST_F(BatchTest, TwoNamesOfOneSetAreOneOutput)
{
    const std::string sheet = WriteSheet(0);
    fs::create_directory_symlink(Dir.Path(), Dir.File("link"));
    fs::copy_file(sheet, Dir.File("link/disc0.CUE"));
    TSpawnOptions inDir;
    inDir.Folder = Dir.Path().string();
    for (const std::string& twin :
         {Dir.File("link/disc0.CUE"), std::string("./disc0.cue"), std::string("link/disc0.cue"),
          "../" + Dir.Path().filename().string() + "/disc0.cue"})
        for (const bool exists : {false, true})
        {
            SCOPED_TRACE(twin + (exists ? ": set exists" : ": no set yet"));
            for (const char* ext : {".ccd", ".img", ".sub"})
                if (!exists)
                    fs::remove(Dir.File(std::string("disc0") + ext));
            const TRunResult run = RunCli({"--force", "-j", "2", "disc0.cue", twin}, inDir);
            EXPECT_EQ(run.Exit, 1);
            EXPECT_EQ(Lines(run.Out),
                      (std::set<std::string>{"disc0.cue: ok", "1 converted, 1 failed, 0 could not be loaded"}));
            EXPECT_EQ(run.Err, twin + ": failed: \"" + twin.substr(0, twin.size() - 4) +
                                   ".ccd\" is already the output of \"disc0.cue\".\n");
            EXPECT_EQ(fs::file_size(Dir.File("disc0.img")), 300u * 2352);
        }
}

// More sheets at once than the open files allow: the batch takes fewer at a time and says so.
TEST_F(BatchTest, WorkersAreCappedByTheOpenFileLimit)
{
    std::vector<std::string> args = {SARVEX_CLI, "-j", "40", "--quiet"};
    for (unsigned k = 0; k < 40; ++k)
        args.push_back(WriteSheet(k));
    TSpawnOptions limited;
    limited.OpenFilesLimit = 64;
    TTempDir logDir;
    const TRunResult run = Finish(Spawn(args, logDir, limited), logDir);
    EXPECT_EQ(run.Exit, 0) << run.Out << run.Err;
    EXPECT_EQ(run.Err, "sarvex-cli: converting 3 sheets at once, not 40: the limit of 64 open files allows no more\n");
    for (unsigned k = 0; k < 40; ++k)
        EXPECT_TRUE(fs::exists(Dir.File("disc" + std::to_string(k) + ".ccd"))) << k;
}

// A chroot without devpts mounted hands out a master whose terminal cannot be opened.
bool CanOpenPseudoTerminal()
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0)
        return false;
    bool ok = ::grantpt(master) == 0 && ::unlockpt(master) == 0;
    if (ok)
    {
        const char* name = ::ptsname(master);
        const int terminal = name != nullptr ? ::open(name, O_RDWR | O_NOCTTY) : -1;
        ok = terminal >= 0;
        if (ok)
            ::close(terminal);
    }
    ::close(master);
    return ok;
}

// On a terminal one progress line covers the batch; it is cleared before every status line.
TEST_F(BatchTest, TerminalProgressLineNeverBreaksAStatusLine)
{
    if (::access("/usr/bin/script", X_OK) != 0)
        GTEST_SKIP() << "script (bsdutils) is not installed";
    if (!CanOpenPseudoTerminal())
        GTEST_SKIP() << "no pseudo-terminal can be opened here (is devpts mounted?)";
    const std::string command =
        std::string(SARVEX_CLI) + " -j 2 " + WriteSheet(0) + " " + WriteSheet(1) + " " + WriteSheet(2);
    TTempDir logDir;
    const TRunResult run = Finish(Spawn({"/usr/bin/script", "-qec", command, "/dev/null"}, logDir), logDir);
    EXPECT_EQ(run.Exit, 0) << run.Out;
    for (unsigned k = 0; k < 3; ++k)
        EXPECT_NE(run.Out.find("\r\x1b[K" + Dir.File("disc" + std::to_string(k) + ".cue") + ": ok\r\n"),
                  std::string::npos)
            << run.Out;
    EXPECT_NE(run.Out.find("\r3/3 sheets"), std::string::npos) << run.Out;
    EXPECT_NE(run.Out.find("\r\x1b[K3 converted, 0 failed, 0 could not be loaded\r\n"), std::string::npos) << run.Out;
}

TEST_F(BatchTest, SigintCancelsTheRunningSheetsAndStartsNoOther)
{
    // Sparse cooked data: each sheet runs long enough for the signal to find it working.
    std::vector<std::string> args = {SARVEX_CLI, "-j", "2", "--keep-partial"};
    for (int k = 0; k < 6; ++k)
    {
        const std::string name = "big" + std::to_string(k);
        Dir.WriteZeros(name + ".bin", std::uintmax_t(300000) * 2048);
        args.push_back(
            Dir.Write(name + ".cue", "FILE \"" + name + ".bin\" BINARY\nTRACK 01 MODE1/2048\nINDEX 01 00:00:00\n"));
    }
    TTempDir logDir;
    const pid_t pid = Spawn(args, logDir);
    const auto started = [this](const char* name) { return Dir.WrittenSoFar(name) > 0; };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!(started("big0.img") && started("big1.img")) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    ::kill(pid, SIGINT);
    const TRunResult run = Finish(pid, logDir);

    EXPECT_EQ(run.Exit, 3) << run.Out << run.Err;
    EXPECT_EQ(Lines(run.Out), (std::set<std::string>{"0 converted, 0 failed, 0 could not be loaded, 2 cancelled, "
                                                     "4 not started"}));
    EXPECT_EQ(Lines(run.Err), (std::set<std::string>{args[4] + ": cancelled; partial set kept",
                                                     args[5] + ": cancelled; partial set kept"}));
    for (int k = 0; k < 6; ++k)
    {
        const std::string name = "big" + std::to_string(k);
        SCOPED_TRACE(name);
        if (k >= 2)
        {
            EXPECT_FALSE(fs::exists(Dir.File(name + ".ccd")));
            continue;
        }
        // Each running sheet ends as a single cancelled run does: whole sectors, both files alike.
        const auto img = fs::file_size(Dir.File(name + ".img"));
        const auto sub = fs::file_size(Dir.File(name + ".sub"));
        EXPECT_EQ(img % 2352, 0u);
        EXPECT_EQ(img / 2352, sub / 96);
        EXPECT_LT(img, std::uintmax_t(300000) * 2352);
    }
}

} // namespace
