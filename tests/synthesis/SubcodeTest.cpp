// SPDX-License-Identifier: GPL-3.0-or-later
#include "synthesis/Subcode.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

using TPayload = std::array<std::uint8_t, 8>;

TPayload PayloadOf(const TQFrame& q)
{
    TPayload p{};
    std::copy(q.begin() + 1, q.begin() + 9, p.begin());
    return p;
}

// Straight from the bit definitions: bit k of a frame is bit 7 - k % 8 of its byte k / 8.
bool FrameBit(std::span<const std::uint8_t> frame, std::size_t k)
{
    return (frame[k / 8] >> (7 - k % 8)) & 1;
}

void SetFrameBit(std::span<std::uint8_t> frame, std::size_t k, bool on)
{
    if (on)
        frame[k / 8] = static_cast<std::uint8_t>(frame[k / 8] | 0x80 >> (k % 8));
}

TSubBlock RandomBlock(std::mt19937& rng, std::uint8_t mask)
{
    TSubBlock b{};
    for (auto& x : b)
        x = static_cast<std::uint8_t>(rng() & mask);
    return b;
}

TEST(SubcodePayloadTest, IsrcLettersAndDigits)
{
    TQFrame q{};
    q.fill(0xEE);
    EXPECT_TRUE(BuildIsrcPayload("ABCDE1234567", q));
    EXPECT_EQ(PayloadOf(q), (TPayload{0x45, 0x24, 0xD4, 0x54, 0x12, 0x34, 0x56, 0x70}));
    // Bytes 0 and 9-11 are the caller's.
    EXPECT_EQ(q[0], 0xEE);
    EXPECT_EQ(q[9], 0xEE);
    EXPECT_EQ(q[11], 0xEE);
    // Lower case letters share the codes of their capitals.
    TQFrame lower{};
    BuildIsrcPayload("abcde1234567", lower);
    EXPECT_EQ(PayloadOf(lower), PayloadOf(q));
}

TEST(SubcodePayloadTest, IsrcWithDigitCountryCodeUsesCodesZeroToNine)
{
    TQFrame q{};
    BuildIsrcPayload("123450987654", q);
    // Six-bit codes 1, 2, 3, 4, 5 packed MSB first into 30 bits, then two zero bits.
    const std::uint32_t packed = (1u << 24 | 2u << 18 | 3u << 12 | 4u << 6 | 5u) << 2;
    EXPECT_EQ(q[1], packed >> 24);
    EXPECT_EQ(q[2], (packed >> 16) & 0xFF);
    EXPECT_EQ(q[3], (packed >> 8) & 0xFF);
    EXPECT_EQ(q[4], packed & 0xFF);
    EXPECT_EQ(q[5], 0x09);
    EXPECT_EQ(q[6], 0x87);
    EXPECT_EQ(q[8], 0x40);
}

TEST(SubcodePayloadTest, CatalogueNumbers)
{
    TQFrame q{};
    q.fill(0xEE);
    EXPECT_TRUE(BuildMcnPayload("0123456789012", q));
    EXPECT_EQ(PayloadOf(q), (TPayload{0x01, 0x23, 0x45, 0x67, 0x89, 0x01, 0x20, 0x00}));
    EXPECT_EQ(q[0], 0xEE);
    BuildMcnPayload("0000000000000", q);
    EXPECT_EQ(PayloadOf(q), TPayload{});
}

TEST(SubcodeBitsTest, AllOnesBlockSplitsIntoFullFrames)
{
    TSubBlock block;
    block.fill(0xFF);
    TQFrame p{}, q{};
    SplitPQ(block, p, q);
    EXPECT_EQ(p, [] {
        TQFrame f;
        f.fill(0xFF);
        return f;
    }());
    EXPECT_EQ(q, p);
    for (const std::uint8_t b : block)
        ASSERT_EQ(b, 0x3F);
}

TEST(SubcodeBitsTest, ChannelRecordCorners)
{
    TSubBlock block{};
    TSubBlock record;
    record.fill(0xAA);
    SymbolsToChannels(block, record);
    EXPECT_EQ(record, TSubBlock{});

    block[0] = 0x80; // P bit 0 -> record byte 0, MSB
    SymbolsToChannels(block, record);
    TSubBlock expected{};
    expected[0] = 0x80;
    EXPECT_EQ(record, expected);

    block = {};
    block[95] = 0x01; // W symbol 95 -> last byte of the W channel, LSB
    SymbolsToChannels(block, record);
    expected = {};
    expected[95] = 0x01;
    EXPECT_EQ(record, expected);
}

// Each bit moved on its own, against the definitions; random blocks with and without R-W data
// (the latter take the P/Q-only path).
TEST(SubcodeBitsTest, BitMovesMatchDefinitionsOnRandomBlocks)
{
    std::mt19937 rng(77);
    for (int n = 0; n < 400; ++n)
    {
        const TSubBlock block = RandomBlock(rng, n % 2 ? 0xFF : 0xC0);

        TSubBlock record;
        SymbolsToChannels(block, record);
        TSubBlock want{};
        for (std::size_t ch = 0; ch < 8; ++ch)
            for (std::size_t k = 0; k < 96; ++k)
                SetFrameBit(std::span(want).subspan(12 * ch, 12), k, (block[k] >> (7 - ch)) & 1);
        ASSERT_EQ(record, want) << "block " << n;
        TSubBlock back{};
        ChannelsToSymbols(record, back);
        ASSERT_EQ(back, block) << "block " << n;

        TSubBlock split = block;
        TQFrame p{}, q{};
        SplitPQ(split, p, q);
        for (std::size_t k = 0; k < 96; ++k)
        {
            ASSERT_EQ(FrameBit(p, k), (block[k] >> 7) & 1);
            ASSERT_EQ(FrameBit(q, k), (block[k] >> 6) & 1);
            ASSERT_EQ(split[k], block[k] & 0x3F);
        }
        // Merging the same frames back restores the block.
        MergePQ(split, p, q);
        ASSERT_EQ(split, block);
    }
}

TEST(SubcodeBitsTest, MergeKeepsSymbolsAndOverwritesPQ)
{
    std::mt19937 rng(5);
    TSubBlock block = RandomBlock(rng, 0xFF);
    const TSubBlock before = block;
    TQFrame p{}, q{};
    for (auto& b : p)
        b = static_cast<std::uint8_t>(rng());
    for (auto& b : q)
        b = static_cast<std::uint8_t>(rng());
    MergePQ(block, p, q);
    for (std::size_t k = 0; k < 96; ++k)
    {
        ASSERT_EQ(block[k] & 0x3F, before[k] & 0x3F);
        ASSERT_EQ((block[k] >> 7) & 1, FrameBit(p, k));
        ASSERT_EQ((block[k] >> 6) & 1, FrameBit(q, k));
    }
}

} // namespace
