// SPDX-License-Identifier: GPL-3.0-or-later
#include "fileio/Paths.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

TEST(ChangeFileExtTest, ReplacesTheExtensionAfterTheLastSlashOrAppends)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"/out/disc.ccd", "/out/disc.img"},    {"/out/disc", "/out/disc.img"}, {"/out.d/disc", "/out.d/disc.img"},
        {"disc.tar.ccd", "disc.tar.img"},      {"/out/.ccd", "/out/.img"},     {"disc.", "disc.img"},
        {"C:\\out\\disc", "C:\\out\\disc.img"}};
    for (const auto& [path, expected] : cases)
        EXPECT_EQ(ChangeFileExt(path, ".img"), expected) << path;
}

TEST(PathsTest, SplitsAtTheLastSlash)
{
    struct TCase
    {
        const char* Path;
        const char* Folder;
        const char* Prefix;
        const char* Name;
    };
    for (const TCase& c : {TCase{"disc.cue", ".", "", "disc.cue"}, TCase{"/disc.cue", "/", "/", "disc.cue"},
                           TCase{"a/b.d/disc", "a/b.d", "a/b.d/", "disc"}, TCase{"a/", "a", "a/", ""}})
    {
        EXPECT_EQ(FolderOf(c.Path), c.Folder) << c.Path;
        EXPECT_EQ(FolderPrefix(c.Path), c.Prefix) << c.Path;
        EXPECT_EQ(BaseName(c.Path), c.Name) << c.Path;
    }
}

} // namespace
