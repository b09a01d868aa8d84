// SPDX-License-Identifier: GPL-3.0-or-later
#include "image/Outputplan.h"

#include "cuesheet/Lucue.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

class OutputplanTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Dir.Write("GAME.BIN", std::string(20 * 2352, '\x5A'));
        ASSERT_TRUE(Sheet.Load(Dir.Write("game.cue", "FILE \"GAME.BIN\" BINARY\nTRACK 01 MODE1/2352\nINDEX 01 00:00:00\n")));
    }

    TTempDir Dir;
    TLuCueSheet Sheet;
};

// What stands under the .img name decides whether the user is asked, and whether it may be replaced:
// one rule for both front ends and the job.
TEST_F(OutputplanTest, WhatStandsUnderAnOutputName)
{
    struct TCase
    {
        const char* What;
        std::function<void(const std::string&)> Make;
        TPathKind Kind;
        bool Exists;
        bool ReadOnly;
    };
    const std::string file = Dir.Write("file", "x");
    const std::string locked = Dir.Write("locked", "x");
    ASSERT_EQ(::chmod(locked.c_str(), 0444), 0);
    const std::vector<TCase> cases = {
        {"missing", [](const std::string&) {}, pkMissing, false, false},
        {"regular", [&](const std::string& p) { fs::copy_file(file, p); }, pkRegular, true, false},
        {"read-only, even for root", [&](const std::string& p) { fs::copy_file(locked, p); }, pkRegular, true, true},
        {"folder", [](const std::string& p) { fs::create_directory(p); }, pkFolder, false, false},
        {"FIFO", [](const std::string& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0666), 0); }, pkOther, false, false},
        {"device", [](const std::string& p) { fs::create_symlink("/dev/null", p); }, pkOther, false, false},
        {"dangling link", [&](const std::string& p) { fs::create_symlink(Dir.File("gone"), p); }, pkBrokenLink, true,
         true},
        {"link to a file", [&](const std::string& p) { fs::create_symlink(file, p); }, pkRegular, true, false},
        {"link to a read-only file", [&](const std::string& p) { fs::create_symlink(locked, p); }, pkRegular, true,
         true},
    };
    for (const TCase& c : cases)
    {
        SCOPED_TRACE(c.What);
        const std::string img = Dir.File(std::string(c.What) + ".img");
        c.Make(img);
        const TOutputPlan plan = PlanOutputs(Dir.File(std::string(c.What) + ".ccd"), Sheet);
        EXPECT_EQ(plan.Problem, "");
        EXPECT_EQ(plan.ImgPath(), img);
        EXPECT_EQ(plan.Files[1].Kind, c.Kind);
        EXPECT_EQ(plan.Files[1].Exists(), c.Exists);
        EXPECT_EQ(plan.Files[1].ReadOnly(), c.ReadOnly);
        EXPECT_FALSE(plan.Files[0].Exists() || plan.Files[2].Exists());
    }
}

// Refusals no answer can lift: a .ccd path that is its own .img or .sub, any case, and an output that
// is an input (the data file under another case of its name is another file).
TEST_F(OutputplanTest, RefusesOutputsThatWouldBeOneFileOrAnInput)
{
    const auto sameFile = [&](const char* name, const char* ext) {
        return std::string(1, '"').append(Dir.File(name)).append("\" cannot be the .ccd file: its ").append(ext).append(
            " file would be the same file. Choose a name that ends in .ccd.");
    };
    const auto input = [&](const char* name) {
        return std::string(1, '"').append(Dir.File(name)).append("\" is an input of the conversion and cannot be overwritten.");
    };
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"same.img", sameFile("same.img", ".img")}, {"same.IMG", sameFile("same.IMG", ".img")},
        {"same.Sub", sameFile("same.Sub", ".sub")}, {"img.ccd", ""},
        {"disc.imgx", ""},                          {"disc.img.ccd", ""},
        {"sub", ""},                                {"GAME.BIN", input("GAME.BIN")},
        {"game.cue", input("game.cue")},            {"GAME.ccd", ""},
    };
    for (const auto& [name, problem] : cases)
        EXPECT_EQ(PlanOutputs(Dir.File(name), Sheet).Problem, problem) << name;
    fs::rename(Dir.File("GAME.BIN"), Dir.File("GAME.img"));
    ASSERT_TRUE(Sheet.Load(Dir.Write("game.cue", "FILE \"GAME.img\" BINARY\nTRACK 01 MODE1/2352\nINDEX 01 00:00:00\n")));
    EXPECT_EQ(PlanOutputs(Dir.File("GAME.ccd"), Sheet).Problem, input("GAME.img"));
    EXPECT_EQ(PlanOutputs(Dir.File("game.ccd"), Sheet).Problem, "");
}

} // namespace
