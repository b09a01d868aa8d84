// The texts that tell users what a sheet may name are checked against the list the reader accepts.
#include "sources/Filetypes.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

TEST(FiletypesTest, EveryTextNamesEveryFileType)
{
    const std::string root = SARVEX_TEST_DATA "/../../";
    for (const char* text : {"README.md", "docs/guide.html", "docs/guide.ja.html", "packaging/sarvex.1",
                             "packaging/sarvex-cli.h2m", "packaging/io.github.sarvex.Sarvex.metainfo.xml"})
    {
        // Without the manual pages' font changes, which would join a name to the letter before it.
        const std::string content =
            std::regex_replace(TTempDir::ReadAll(root + text), std::regex(R"(\\f[BIRP])"), "");
        ASSERT_FALSE(content.empty()) << text;
        for (const std::string_view type : FILE_TYPES)
            EXPECT_TRUE(std::regex_search(content, std::regex("\\b" + std::string(type) + "\\b")))
                << text << " does not name " << type;
    }
}
