// SPDX-License-Identifier: GPL-3.0-or-later
#include "synthesis/Errorcorrectsubcode.h"

#include "support/ImageOracle.h"
#include "support/NothrowNewSwitch.h"
#include "support/Threads.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>

namespace {

using TPackBytes = std::array<std::uint8_t, PACK_SIZE>;

class SubCodeErrorCorrectTest : public ::testing::Test
{
protected:
    TSubCodeErrorCorrect Ecc;

    void Encode(TPackBytes& pack)
    {
        ASSERT_TRUE(Ecc.SetQParity(pack));
        ASSERT_TRUE(Ecc.SetPParity(pack));
    }
};

TEST_F(SubCodeErrorCorrectTest, PublishedParityExamples)
{
    TPackBytes pack{};
    pack[0] = 0x01;
    Encode(pack);
    EXPECT_EQ(pack[2], 0x07);
    EXPECT_EQ(pack[3], 0x06);
    EXPECT_EQ((std::array<std::uint8_t, 4>{pack[20], pack[21], pack[22], pack[23]}),
              (std::array<std::uint8_t, 4>{0x2E, 0x07, 0x06, 0x2F}));

    pack = {};
    pack[0] = 0x09;
    pack[1] = 0x01;
    Encode(pack);
    EXPECT_EQ(pack[2], 0x3C);
    EXPECT_EQ(pack[3], 0x34);
    EXPECT_EQ((std::array<std::uint8_t, 4>{pack[20], pack[21], pack[22], pack[23]}),
              (std::array<std::uint8_t, 4>{0x0D, 0x07, 0x2A, 0x20}));
}

TEST_F(SubCodeErrorCorrectTest, ZeroSymbolsKeepZeroParityAndPQBits)
{
    TPackBytes pack;
    pack.fill(0xC0);
    pack[5] = 0x40;
    const TPackBytes before = pack;
    Encode(pack);
    EXPECT_EQ(pack, before);
}

TEST_F(SubCodeErrorCorrectTest, RandomPacksSatisfyBothChecksAndAreStable)
{
    std::mt19937 rng(99);
    for (int n = 0; n < 3000; ++n)
    {
        TPackBytes pack{};
        for (auto& b : pack)
            b = static_cast<std::uint8_t>(rng());
        if (n % 5 == 0) // sparse packs exercise the zero guards
            for (std::size_t i = 0; i < 20; ++i)
                if (rng() % 4 != 0)
                    pack[i] &= 0xC0;
        const TPackBytes before = pack;
        Encode(pack);
        ASSERT_TRUE(oracle::PackQCheckHolds(pack.data())) << n;
        ASSERT_TRUE(oracle::PackPCheckHolds(pack.data())) << n;
        for (std::size_t i = 0; i < 24; ++i)
        {
            ASSERT_EQ(pack[i] & 0xC0, before[i] & 0xC0) << "P/Q bits touched";
            if (i != 2 && i != 3 && i < 20)
            {
                ASSERT_EQ(pack[i], before[i]) << "data symbol touched";
            }
        }
        const TPackBytes once = pack;
        Encode(pack);
        ASSERT_EQ(pack, once);
    }
}

TEST(SubCodeErrorCorrectTableTest, SharedTableFollowsLiveInstances)
{
    ASSERT_FALSE(TSubCodeErrorCorrect::HasTable());
    {
        auto first = std::make_unique<TSubCodeErrorCorrect>();
        TSubCodeErrorCorrect second;
        first.reset();
        EXPECT_TRUE(TSubCodeErrorCorrect::HasTable());
        TPackBytes pack{};
        pack[0] = 1;
        EXPECT_TRUE(second.SetQParity(pack));
        EXPECT_EQ(pack[2], 0x07);
    }
    EXPECT_FALSE(TSubCodeErrorCorrect::HasTable());
}

TEST(SubCodeErrorCorrectTableTest, InstancesOnManyThreadsShareOneTable)
{
    ASSERT_FALSE(TSubCodeErrorCorrect::HasTable());
    EXPECT_EQ(testsupport::FailuresOnThreads(8, 300,
                                             [] {
                                                 TSubCodeErrorCorrect ecc;
                                                 TPackBytes pack{};
                                                 pack[0] = 1;
                                                 return ecc.SetQParity(pack) && pack[2] == 0x07;
                                             }),
              0);
    EXPECT_FALSE(TSubCodeErrorCorrect::HasTable());
}

TEST(SubCodeErrorCorrectTableTest, MissingTableLeavesPackUnchanged)
{
    testsupport::FailNothrowNew = true;
    TSubCodeErrorCorrect ecc;
    testsupport::FailNothrowNew = false;
    ASSERT_FALSE(TSubCodeErrorCorrect::HasTable());
    TPackBytes pack{};
    pack[0] = 0x09;
    pack[3] = 0x15;
    pack[21] = 0x2A;
    const TPackBytes before = pack;
    EXPECT_FALSE(ecc.SetQParity(pack));
    EXPECT_FALSE(ecc.SetPParity(pack));
    EXPECT_EQ(pack, before);
}

} // namespace
