// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/Asciitext.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

namespace {

TEST(TryStrToIntTest, AcceptsOnlySignAndDigitsWithinRange)
{
    std::int32_t v = 0;
    EXPECT_TRUE(TryStrToInt("+12", v));
    EXPECT_EQ(v, 12);
    EXPECT_TRUE(TryStrToInt("-2147483648", v));
    EXPECT_EQ(v, INT32_MIN);
    for (const char* bad : {"", "+", "1 2", "0x10", "2147483648", "99999999999999999999", "12a"})
        EXPECT_FALSE(TryStrToInt(bad, v)) << bad;
}

TEST(AsciitextTest, FoldsTrimsAndUnquotesAsciiOnly)
{
    EXPECT_EQ(ToUpperAscii("track 01 \xC3\xA4"), "TRACK 01 \xC3\xA4");
    EXPECT_TRUE(EqualsIgnoreCase("Disc.CUE", "disc.cue"));
    EXPECT_FALSE(EqualsIgnoreCase("disc.cue", "disc.cu"));
    EXPECT_EQ(TrimBlanks(" \tkey \t"), "key");
    EXPECT_EQ(TrimBlanks("\rkey\r"), "\rkey\r");
    EXPECT_EQ(TrimControls("\r\x01 key \n"), "key");
    EXPECT_EQ(Unquote("\"a b\""), "a b");
    EXPECT_EQ(Unquote("\"a\" b"), "\"a\" b");
    EXPECT_EQ(Unquote("\""), "\"");
}

TEST(AsciitextTest, SplitsLinesAtCrLfLfOrLoneCr)
{
    const std::string_view text = "a\r\nb\rc\n\n\r\nd";
    std::vector<std::string_view> lines;
    for (std::size_t pos = 0; pos < text.size();)
        lines.push_back(NextLine(text, pos));
    EXPECT_EQ(lines, (std::vector<std::string_view>{"a", "b", "c", "", "", "d"}));
}

TEST(AsciitextTest, GroupsThousands)
{
    EXPECT_EQ(GroupedNumber(0), "0");
    EXPECT_EQ(GroupedNumber(999), "999");
    EXPECT_EQ(GroupedNumber(1000), "1,000");
    EXPECT_EQ(GroupedNumber(-1234567), "-1,234,567");
}

} // namespace
