// SPDX-License-Identifier: GPL-3.0-or-later
#include "synthesis/Cdtextpack.h"

#include "support/BitCrc.h"
#include "support/CdTextFile.h"
#include "support/CdTextReader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>

namespace {

TCdTextPack Pack(std::initializer_list<int> bytes)
{
    TCdTextPack pack{};
    std::size_t i = 0;
    for (const int b : bytes)
        pack[i++] = static_cast<std::uint8_t>(b);
    return pack;
}

std::vector<TCdTextPack> Build(const std::vector<TCdTextBlock>& blocks, std::uint8_t first, std::uint8_t last)
{
    std::vector<TCdTextPack> packs;
    EXPECT_TRUE(BuildCdTextPacks(blocks, first, last, packs));
    return packs;
}

// Every pack closes with the CRC of its first 16 bytes, checked bit by bit; sequence numbers count
// from 0 in each block and the last one of each block is what its size information says.
void ExpectWellFormed(const std::vector<TCdTextPack>& packs)
{
    int expected = 0;
    int block = 0;
    for (std::size_t i = 0; i < packs.size(); ++i)
    {
        const TCdTextPack& p = packs[i];
        SCOPED_TRACE("pack " + std::to_string(i));
        ASSERT_EQ(p[16] << 8 | p[17], BitwiseCrc(std::span<const std::uint8_t>(p.data(), 16)));
        if (((p[3] >> 4) & 7) != block)
        {
            block = (p[3] >> 4) & 7;
            expected = 0;
        }
        ASSERT_EQ(p[2], expected++);
        if (p[0] == ptSizeInfo && p[1] == 1)
        {
            EXPECT_EQ(packs[i + 1][2], p[4 + 8 + block]) << "last sequence number of the block";
        }
    }
    const TCdTextFileCheck check = CheckCdTextPacks(JoinPacks(packs));
    EXPECT_EQ(check.Fault, cfNone) << "pack " << check.Pack;
    EXPECT_TRUE(check.BadCrcPacks.empty());
}

TEST(CdTextPackTest, WorkedExampleByteForByte)
{
    TCdTextBlock block;
    block.Strings[0] = {"ABC", "X"};
    const std::vector<TCdTextPack> expected = {
        Pack({0x80, 0, 0, 0, 0x41, 0x42, 0x43, 0, 0x58, 0, 0, 0, 0, 0, 0, 0, 0xDB, 0xB6}),
        Pack({0x8F, 0, 1, 0, 0, 1, 1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0x05, 0x2A}),
        Pack({0x8F, 1, 2, 0, 0, 0, 0, 0, 0, 0, 0, 3, 3, 0, 0, 0, 0xA3, 0xA4}),
        Pack({0x8F, 2, 3, 0, 0, 0, 0, 0, 9, 0, 0, 0, 0, 0, 0, 0, 0x17, 0xE7}),
    };
    EXPECT_EQ(Build({block}, 1, 1), expected);
}

// 99 tracks: titles longer than a pack, runs of repeated titles and performers, a first track number
// other than 1.
class CdTextNinetyNineTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Titles.push_back("A disc title that runs across three packs");
        Performers.push_back("Various");
        for (int t = 1; t <= 99; ++t)
        {
            char title[64];
            std::snprintf(title, sizeof title, "Song number %02d, a long one", t);
            // Tracks 20-39 repeat one title; the performer only changes at track 50.
            Titles.push_back(t >= 20 && t < 40 ? "Interlude (reprise), once more" : title);
            Performers.push_back(t < 50 ? "The First Ensemble" : "Another Group of Players");
        }
        Block.Strings[ptTitle - ptTitle] = Titles;
        Block.Strings[ptPerformer - ptTitle] = Performers;
    }

    std::vector<std::string> Titles, Performers;
    TCdTextBlock Block;
};

TEST_F(CdTextNinetyNineTest, PacksCarryTabRunsAndCappedPositions)
{
    const std::vector<TCdTextPack> packs = Build({Block}, 1, 99);
    ExpectWellFormed(packs);

    // Reassemble the strings from the payloads; each pack's header names the string its first byte
    // belongs to and how many of that string's characters came before it.
    std::vector<std::string> strings(1);
    for (const TCdTextPack& p : packs)
    {
        if (p[0] != ptTitle)
            continue;
        SCOPED_TRACE("sequence " + std::to_string(p[2]));
        EXPECT_EQ(p[1], strings.size() - 1) << "track of the pack's first character";
        EXPECT_EQ(p[3] & 0x0F, std::min<std::size_t>(strings.back().size(), 15)) << "character position";
        for (std::size_t k = 4; k < 16; ++k)
        {
            if (p[k] == 0)
                strings.emplace_back();
            else
                strings.back() += static_cast<char>(p[k]);
        }
    }
    strings.resize(100); // the zero fill of the last pack starts no strings
    EXPECT_EQ(strings[0], Titles[0]);
    EXPECT_EQ(strings[20], Titles[20]) << "the first of a run is written out";
    for (int t = 21; t < 40; ++t)
        EXPECT_EQ(strings[static_cast<std::size_t>(t)], "\t") << t;
    EXPECT_EQ(strings[40], Titles[40]);
    EXPECT_EQ(strings[99], Titles[99]);
}

TEST_F(CdTextNinetyNineTest, LibcdioReadsEveryTitleAndPerformer)
{
    const std::vector<TCdTextPack> packs = Build({Block}, 1, 99);
    const TCdioText read = ReadWithLibcdio(JoinPacks(packs));
    ASSERT_TRUE(read.Parsed);
    ASSERT_EQ(read.Blocks.size(), 1u);
    EXPECT_EQ(read.Blocks[0].Language, CDTEXT_LANGUAGE_ENGLISH);
    for (int t = 0; t <= 99; ++t)
    {
        EXPECT_EQ(read.Get(0, CDTEXT_FIELD_TITLE, t), Titles[static_cast<std::size_t>(t)]) << t;
        EXPECT_EQ(read.Get(0, CDTEXT_FIELD_PERFORMER, t), Performers[static_cast<std::size_t>(t)]) << t;
    }
}

TEST(CdTextPackTest, BlockHoldsExactly256Packs)
{
    // 253 text packs of one disc title and the three size packs; one byte more overflows.
    TCdTextBlock block;
    block.Strings[0] = {std::string(253 * 12 - 1, 'a')};
    std::vector<TCdTextPack> packs;
    ASSERT_TRUE(BuildCdTextPacks(std::span(&block, 1), 1, 1, packs));
    EXPECT_EQ(packs.size(), 256u);
    EXPECT_EQ(packs.back()[2], 255);
    ExpectWellFormed(packs);

    block.Strings[0][0] += 'b';
    packs.clear();
    TCdTextOverflow overflow;
    EXPECT_FALSE(BuildCdTextPacks(std::span(&block, 1), 1, 1, packs, &overflow));
    EXPECT_TRUE(packs.empty());
    EXPECT_EQ(overflow.Type, ptTitle);
    EXPECT_EQ(overflow.Item, 0u);
}

TEST(CdTextPackTest, OverflowNamesTheItemThatDoesNotFit)
{
    // Block 1 only: 100 performers of 40 characters end with NUL NUL, 42 bytes each, so the first
    // pack past 253 (at byte 3036) starts inside the string of track 72.
    std::vector<TCdTextBlock> blocks(2);
    blocks[0].Strings[0] = {"short", "title"};
    blocks[1].CharCode = ccMsJis;
    for (std::size_t t = 0; t < 100; ++t)
        blocks[1].Strings[ptPerformer - ptTitle].push_back(std::string(36, 'p') + std::to_string(1000 + t));
    std::vector<TCdTextPack> packs;
    TCdTextOverflow overflow;
    ASSERT_FALSE(BuildCdTextPacks(blocks, 1, 99, packs, &overflow));
    EXPECT_TRUE(packs.empty());
    EXPECT_EQ(overflow.Block, 1u);
    EXPECT_EQ(overflow.Type, ptPerformer);
    EXPECT_EQ(overflow.Item, 72u);
}

TEST(CdTextPackTest, DoubleByteBlockBesideALatinBlock)
{
    // Block 1 in Shift-JIS: "夜に駆ける" for the disc, then a string whose double-byte character
    // straddles a pack boundary after an odd run of ASCII, then a repeat.
    const std::string yoru = "\x96\xE9\x82\xC9\x8B\xEC\x82\xAF\x82\xE9";
    const std::string a = "\x82\xA0";
    std::vector<TCdTextBlock> blocks(2);
    blocks[0].Strings[0] = {"Caf\xE9", "One", "One"};
    blocks[0].Strings[ptGenre - ptTitle] = {std::string("\x00\x0E", 2) + "Smooth"};
    blocks[1].CharCode = ccMsJis;
    blocks[1].Language = LANGUAGE_JAPANESE;
    blocks[1].Strings[0] = {yoru, "ABC" + a + a + a + a, "ABC" + a + a + a + a};
    blocks[1].Strings[ptUpcIsrc - ptTitle] = {"4988001234567", "JPAB01234567", ""};
    const std::vector<TCdTextPack> packs = Build(blocks, 1, 2);
    ExpectWellFormed(packs);

    const std::vector<TCdTextPack> japanese(packs.begin() + 5, packs.end());
    ASSERT_EQ(japanese[0][0], ptTitle);
    for (const TCdTextPack& p : japanese)
        EXPECT_EQ(p[3] & 0xF0, 0x90) << "double-byte flag and block 1";
    // yoru + NUL NUL (12 bytes) fills pack 0; "ABC" + 4 x 2 bytes is 11 bytes, padded to 12 and ended
    // by NUL NUL, then two TABs and NUL NUL.
    EXPECT_EQ(std::string(japanese[0].begin() + 4, japanese[0].begin() + 16), yoru + std::string(2, '\0'));
    EXPECT_EQ(std::string(japanese[1].begin() + 4, japanese[1].begin() + 16), "ABC" + a + a + a + a + '\0');
    EXPECT_EQ(japanese[1][3] & 0x0F, 0) << "a new string starts the pack";
    EXPECT_EQ(std::string(japanese[2].begin() + 4, japanese[2].begin() + 10), std::string("\0\0\t\t\0\0", 6));
    EXPECT_EQ(japanese[2][3] & 0x0F, 7) << "characters, not bytes";
    // The size information of each block lists both blocks.
    for (const std::size_t at : {std::size_t(4), packs.size() - 1})
        EXPECT_EQ(std::vector<int>(packs[at].begin() + 8, packs[at].begin() + 10), (std::vector<int>{9, 0x69}));

    const TCdioText read = ReadWithLibcdio(JoinPacks(packs));
    ASSERT_TRUE(read.Parsed);
    ASSERT_EQ(read.Blocks.size(), 2u);
    EXPECT_EQ(read.Blocks[0].Language, CDTEXT_LANGUAGE_ENGLISH);
    EXPECT_EQ(read.Blocks[0].Genre, CDTEXT_GENRE_JAZZ);
    EXPECT_EQ(read.Get(0, CDTEXT_FIELD_GENRE, 0), "Smooth");
    EXPECT_EQ(read.Get(0, CDTEXT_FIELD_TITLE, 2), "One");
    EXPECT_EQ(read.Blocks[1].Language, CDTEXT_LANGUAGE_JAPANESE);
    EXPECT_EQ(read.Get(1, CDTEXT_FIELD_TITLE, 0), "夜に駆ける");
    EXPECT_EQ(read.Get(1, CDTEXT_FIELD_TITLE, 1), "ABCああああ");
    EXPECT_EQ(read.Get(1, CDTEXT_FIELD_TITLE, 2), "ABCああああ");
    EXPECT_EQ(read.Get(1, CDTEXT_FIELD_UPC_EAN, 0), "4988001234567");
    EXPECT_EQ(read.Get(1, CDTEXT_FIELD_ISRC, 1), "JPAB01234567");
}

// Two blocks of four packs: 0-3 and 0-3 again.
TEST(CdTextFileCheckTest, HeaderBlocksSequenceNumbersAndCrcs)
{
    TCdTextBlock block;
    block.Strings[0] = {"A title", "B"};
    const std::vector<TCdTextPack> packs = Build({block, block}, 1, 1);
    ASSERT_EQ(packs.size(), 8u);
    std::vector<std::uint8_t> withHeader = {0, 8 * 18 + 2, 0, 0};
    const std::vector<std::uint8_t> bytes = JoinPacks(packs);
    withHeader.insert(withHeader.end(), bytes.begin(), bytes.end());
    TCdTextFileCheck check = CheckCdTextPacks(withHeader);
    EXPECT_EQ(check.Fault, cfNone);
    EXPECT_EQ(check.HeaderSize, 4u);
    EXPECT_EQ(check.Packs, 8u);

    const auto renumbered = [&](std::size_t pack, std::uint8_t sequence) {
        std::vector<std::uint8_t> changed = bytes;
        changed[pack * 18 + 2] = sequence;
        return CheckCdTextPacks(changed);
    };
    // The second block may go on from the first: only the changed packs fail their CRC.
    std::vector<std::uint8_t> goesOn = bytes;
    for (std::uint8_t p = 4; p < 8; ++p)
        goesOn[p * 18 + 2] = p;
    check = CheckCdTextPacks(goesOn);
    EXPECT_EQ(check.Fault, cfNone);
    EXPECT_EQ(check.BadCrcPacks, (std::vector<std::size_t>{5, 6, 7, 8}));

    const std::string full = CdTextFileBytes(257);
    // The pack, its sequence number and the one expected.
    const std::pair<TCdTextFileCheck, std::vector<unsigned>> faults[] = {
        {renumbered(2, 0), {3, 0, 2}}, // a block starts over only at a new block
        {renumbered(4, 3), {5, 3, 4}},
        {CheckCdTextPacks(std::vector<std::uint8_t>(full.begin(), full.end())), {257, 0, 256}}, // past 255
    };
    for (const auto& [found, expected] : faults)
    {
        EXPECT_EQ(found.Fault, cfSequence);
        EXPECT_EQ(std::vector<unsigned>({unsigned(found.Pack), found.Found, found.Expected}), expected);
    }
    EXPECT_EQ(CheckCdTextPacks(std::vector<std::uint8_t>(8193 * 18, 0x80)).Fault, cfTooManyPacks);
}

TEST(CdTextPackTest, GenreCodesAsReadersNameThem)
{
    for (int code = CDTEXT_GENRE_ADULT_CONTEMP; code <= 27; ++code)
        EXPECT_EQ(CdTextGenreCode(cdtext_genre2str(static_cast<cdtext_genre_t>(code))), code);
    EXPECT_EQ(CdTextGenreCode("rock"), CDTEXT_GENRE_ROCK);
    EXPECT_EQ(CdTextGenreCode("JAZZ"), CDTEXT_GENRE_JAZZ);
    EXPECT_EQ(CdTextGenreCode("Rock Musical"), CDTEXT_GENRE_UNDEFINED);
    EXPECT_EQ(CdTextGenreCode("Synthwave"), CDTEXT_GENRE_UNDEFINED);
}

} // namespace
