// SPDX-License-Identifier: GPL-3.0-or-later
// The texts that tell users what a sheet may name are checked against the list the reader accepts.
#include "sources/Filetypes.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>

namespace {

// Without the manual pages' font changes (\fB, \fI, \fR, \fP), which would join a name to the letter before it.
std::string WithoutFontChanges(std::string text)
{
    for (std::size_t at = text.find("\\f"); at != std::string::npos; at = text.find("\\f", at))
    {
        if (at + 2 < text.size() && std::string_view("BIRP").find(text[at + 2]) != std::string_view::npos)
            text.erase(at, 3);
        else
            at += 2;
    }
    return text;
}

// The name as a word of its own: no letter, digit or underscore on either side.
bool NamesWord(const std::string& text, std::string_view word)
{
    const auto isWordChar = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; };
    for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1))
    {
        const std::size_t end = at + word.size();
        if ((at == 0 || !isWordChar(text[at - 1])) && (end == text.size() || !isWordChar(text[end])))
            return true;
    }
    return false;
}

} // namespace

TEST(FiletypesTest, EveryTextNamesEveryFileType)
{
    const std::string root = SARVEX_TEST_DATA "/../../";
    for (const char* text : {"README.md", "docs/guide.html", "docs/guide.ja.html", "packaging/sarvex.1",
                             "packaging/sarvex-cli.h2m", "packaging/io.github.sarvex.Sarvex.metainfo.xml"})
    {
        const std::string content = WithoutFontChanges(TTempDir::ReadAll(root + text));
        ASSERT_FALSE(content.empty()) << text;
        for (const std::string_view type : FILE_TYPES)
            EXPECT_TRUE(NamesWord(content, type)) << text << " does not name " << type;
    }
}
