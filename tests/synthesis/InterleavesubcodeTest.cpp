// SPDX-License-Identifier: GPL-3.0-or-later
#include "synthesis/Interleavesubcode.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

using TPackBytes = std::array<std::uint8_t, PACK_SIZE>;

// The plain form: eight slots that age by copying, slot d being d packs old.
class TReferenceInterleaver
{
public:
    TPackBytes Push(const TPackBytes& in)
    {
        Slots[0] = in;
        TPackBytes out{};
        for (std::size_t k = 0; k < 24; ++k)
        {
            std::size_t src = k;
            for (const auto& [a, b] : {std::pair{1, 18}, {2, 5}, {3, 23}})
            {
                if (k == std::size_t(a))
                    src = b;
                else if (k == std::size_t(b))
                    src = a;
            }
            out[k] = Slots[k % 8][src];
        }
        for (std::size_t d = 7; d > 0; --d)
            Slots[d] = Slots[d - 1];
        return out;
    }

private:
    std::array<TPackBytes, 8> Slots{};
};

std::vector<TPackBytes> RunPacks(std::vector<TPackBytes> packs, std::size_t perCall)
{
    TSubCodeInterLeave il;
    std::vector<std::uint8_t> flat;
    for (const auto& p : packs)
        flat.insert(flat.end(), p.begin(), p.end());
    for (std::size_t at = 0; at < flat.size(); at += perCall * PACK_SIZE)
        il.InterleavePacks(std::span(flat).subspan(at, perCall * PACK_SIZE));
    for (std::size_t i = 0; i < packs.size(); ++i)
        std::copy_n(flat.begin() + i * PACK_SIZE, PACK_SIZE, packs[i].begin());
    return packs;
}

TEST(SubCodeInterLeaveTest, CountingStreamShowsTheDelays)
{
    std::vector<TPackBytes> packs(12);
    for (std::size_t n = 0; n < packs.size(); ++n)
        packs[n].fill(static_cast<std::uint8_t>(n % 64));
    const auto out = RunPacks(packs, 4);
    for (std::size_t k = 0; k < 24; ++k)
        EXPECT_EQ(out[7][k], 7 - k % 8) << "symbol " << k;
    for (std::size_t n = 0; n < 7; ++n)
        for (std::size_t k = 0; k < 24; ++k)
            if (k % 8 > n)
            {
                EXPECT_EQ(out[n][k], 0) << "pack " << n << " symbol " << k;
            }
}

TEST(SubCodeInterLeaveTest, SwappedSymbolsComeFromTheirSources)
{
    std::mt19937 rng(3);
    std::vector<TPackBytes> packs(40);
    for (auto& p : packs)
        for (auto& b : p)
            b = static_cast<std::uint8_t>(rng() & 0x3F);
    const auto out = RunPacks(packs, 4);
    for (std::size_t n = 8; n < packs.size(); ++n)
    {
        EXPECT_EQ(out[n][1], packs[n - 1][18]);
        EXPECT_EQ(out[n][18], packs[n - 2][1]);
        EXPECT_EQ(out[n][23], packs[n - 7][3]);
        EXPECT_EQ(out[n][5], packs[n - 5][2]);
        EXPECT_EQ(out[n][0], packs[n][0]);
    }
}

// Random streams with long all-zero stretches in between, so that the zero-history shortcut
// is entered and left, against the copying reference; also one pack per call.
TEST(SubCodeInterLeaveTest, MatchesReferenceAcrossZeroStretches)
{
    std::mt19937 rng(11);
    std::vector<TPackBytes> packs(4 * 200);
    for (std::size_t n = 0; n < packs.size(); ++n)
        if ((n / 40) % 2 == 1 || n % 97 == 3)
            for (auto& b : packs[n])
                b = static_cast<std::uint8_t>(rng() & 0x3F);
    TReferenceInterleaver ref;
    std::vector<TPackBytes> want;
    for (const auto& p : packs)
        want.push_back(ref.Push(p));
    EXPECT_EQ(RunPacks(packs, 4), want);
    EXPECT_EQ(RunPacks(packs, 1), want);
}

// Reading back what was recorded gives every pack again, seven packs late.
TEST(SubCodeDeInterLeaveTest, UndoesTheInterleaveSevenPacksLate)
{
    std::mt19937 rng(5);
    std::vector<TPackBytes> packs(64);
    for (auto& p : packs)
        for (auto& b : p)
            b = static_cast<std::uint8_t>(rng() & 0x3F);
    auto recorded = RunPacks(packs, 4);
    TSubCodeDeInterLeave dil;
    for (std::size_t n = 0; n < recorded.size(); ++n)
    {
        dil.DeInterleavePack(recorded[n]);
        if (n < 7)
            EXPECT_EQ(recorded[n], TPackBytes{}) << "pack " << n;
        else
            ASSERT_EQ(recorded[n], packs[n - 7]) << "pack " << n;
    }
}

} // namespace
