// SPDX-License-Identifier: GPL-3.0-or-later
// CD-TEXT from the sheet's text lines through sarvex-cli: the control file libcdio reads back,
// --no-cd-text, the warnings about replaced characters and the layout line.
#include "support/BitCrc.h"
#include "support/CdTextReader.h"
#include "support/CliProcess.h"
#include "support/Recode.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

// A Japanese album, saved as a Windows ripper saves it: code page 932, CR LF.
const std::string ALBUM_UTF8 = "REM GENRE \"J-Pop\"\r\nPERFORMER \"YOASOBI\"\r\nTITLE \"THE BOOK\"\r\n"
                               "FILE \"ALBUM.BIN\" BINARY\r\n"
                               "  TRACK 01 AUDIO\r\n    TITLE \"夜に駆ける\"\r\n    INDEX 01 00:00:00\r\n"
                               "  TRACK 02 AUDIO\r\n    TITLE \"ハルジオン\"\r\n    INDEX 01 00:04:00\r\n";

// The [CDText] entries of a control file as packs, their CRC put back (the file leaves it out).
std::vector<std::array<std::uint8_t, 18>> PacksOf(const std::string& ccd)
{
    std::vector<std::array<std::uint8_t, 18>> packs;
    std::istringstream lines(ccd);
    for (std::string line; std::getline(lines, line);)
    {
        if (line.rfind("Entry ", 0) != 0 || line.find('=') == std::string::npos || line.size() < 47)
            continue;
        std::istringstream hex(line.substr(line.find('=') + 1));
        std::array<std::uint8_t, 18> pack{};
        for (std::size_t i = 0; i < 16; ++i)
        {
            unsigned value = 0;
            hex >> std::hex >> value;
            pack[i] = static_cast<std::uint8_t>(value);
        }
        const std::uint16_t crc = BitwiseCrc(std::span<const std::uint8_t>(pack.data(), 16));
        pack[16] = static_cast<std::uint8_t>(crc >> 8);
        pack[17] = static_cast<std::uint8_t>(crc);
        if (hex)
            packs.push_back(pack);
    }
    return packs;
}

class CdTextCliTest : public ::testing::Test
{
protected:
    void SetUp() override { Dir.WriteZeros("ALBUM.BIN", 600 * 2352); }
    TTempDir Dir;
};

TEST_F(CdTextCliTest, ShiftJisAlbumReachesTheControlFileAsWritten)
{
    const std::string cue = Dir.Write("album.cue", Recode(ALBUM_UTF8, "CP932"));
    const TRunResult run = RunCli({"--quiet", cue});
    ASSERT_EQ(run.Exit, 0) << run.Err;
    EXPECT_EQ(run.Err, "");
    const std::string ccd = TTempDir::ReadAll(Dir.File("album.ccd"));
    const auto packs = PacksOf(ccd);
    ASSERT_FALSE(packs.empty());
    EXPECT_NE(ccd.find("CDTextLength=" + std::to_string(packs.size() * 18) + "\r\n"), std::string::npos);

    const TCdioText read = ReadWithLibcdio(JoinPacks(packs));
    ASSERT_TRUE(read.Parsed);
    ASSERT_EQ(read.Blocks.size(), 1u);
    EXPECT_EQ(read.Blocks[0].Language, CDTEXT_LANGUAGE_JAPANESE);
    EXPECT_EQ(read.Get(0, CDTEXT_FIELD_TITLE, 0), "THE BOOK");
    EXPECT_EQ(read.Get(0, CDTEXT_FIELD_PERFORMER, 0), "YOASOBI");
    EXPECT_EQ(read.Get(0, CDTEXT_FIELD_TITLE, 1), "夜に駆ける");
    EXPECT_EQ(read.Get(0, CDTEXT_FIELD_TITLE, 2), "ハルジオン");
    EXPECT_EQ(read.Get(0, CDTEXT_FIELD_GENRE, 0), "J-Pop");
    EXPECT_EQ(read.Blocks[0].Genre, CDTEXT_GENRE_UNDEFINED);

    const TRunResult layout = RunCli({"--layout", cue});
    EXPECT_NE(
        layout.Out.find("  CD-TEXT File         : From the cue sheet (" + std::to_string(packs.size()) + " packs)\n"),
        std::string::npos)
        << layout.Out;
    EXPECT_NE(layout.Out.find("  Track 01    TITLE      : 夜に駆ける\n"), std::string::npos) << "shown in UTF-8";
}

TEST_F(CdTextCliTest, NoCdTextOptionAndReplacedCharacters)
{
    const std::string cue =
        Dir.Write("disc.cue", "TITLE \"Circled ① and ②\"\r\nFILE \"ALBUM.BIN\" BINARY\r\nTRACK 01 AUDIO\r\n"
                              "INDEX 01 00:00:00\r\n");
    const TRunResult run = RunCli({cue});
    ASSERT_EQ(run.Exit, 0) << run.Err;
    EXPECT_EQ(run.Err, "Warning: CD-TEXT: 2 characters of the sheet's text cannot be written and became \"?\"\n");
    const auto packs = PacksOf(TTempDir::ReadAll(Dir.File("disc.ccd")));
    EXPECT_EQ(ReadWithLibcdio(JoinPacks(packs)).Get(0, CDTEXT_FIELD_TITLE, 0), "Circled ? and ?");

    const TRunResult off = RunCli({"--no-cd-text", "--force", cue});
    ASSERT_EQ(off.Exit, 0) << off.Err;
    EXPECT_EQ(off.Err, "");
    const std::string ccd = TTempDir::ReadAll(Dir.File("disc.ccd"));
    EXPECT_NE(ccd.find("CDTextLength=0\r\n"), std::string::npos);
    EXPECT_EQ(ccd.find("[CDText]"), std::string::npos);
    EXPECT_NE(RunCli({"--layout", "--no-cd-text", cue}).Out.find("  CD-TEXT File         : Not Specified\n"),
              std::string::npos);
}

// One warning names the charset and the count; the layout shows the text as written.
TEST_F(CdTextCliTest, AKoreanSheetIsShownAndWarnedOnce)
{
    const std::string cue = Dir.Write("disc.cue", Recode("TITLE \"사랑해요\"\r\nFILE \"ALBUM.BIN\" BINARY\r\n"
                                                         "TRACK 01 AUDIO\r\nINDEX 01 00:00:00\r\n",
                                                         "CP949"));
    const TRunResult run = RunCli({cue});
    ASSERT_EQ(run.Exit, 0) << run.Err;
    EXPECT_EQ(run.Err, "Warning: CD-TEXT: the sheet is in EUC-KR (Korean); 4 characters that CD-TEXT cannot hold "
                       "became \"?\"\n");
    EXPECT_NE(RunCli({"--layout", cue}).Out.find("  Disc        TITLE      : 사랑해요\n"), std::string::npos);
}

} // namespace
