// SPDX-License-Identifier: GPL-3.0-or-later
#include "synthesis/Errorcorrectmode1.h"
#include "support/ImageOracle.h"
#include "support/NothrowNewSwitch.h"
#include "support/Threads.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>

namespace {

TRawSector HeaderSector(std::uint8_t minute, std::uint8_t second, std::uint8_t frame)
{
    TRawSector s{};
    std::copy(SYNC_PATTERN.begin(), SYNC_PATTERN.end(), s.begin());
    s[12] = minute;
    s[13] = second;
    s[14] = frame;
    s[15] = 1;
    return s;
}

class Mode1ErrorCorrectTest : public ::testing::Test
{
protected:
    TMode1ErrorCorrect Ecc;
};

TEST_F(Mode1ErrorCorrectTest, ZeroSectorGetsZeroEdcAndParity)
{
    TRawSector s;
    s.fill(0x5A); // stale parity must be overwritten
    std::fill_n(s.begin(), 2076, 0);
    ASSERT_TRUE(Ecc.Generate(s));
    EXPECT_EQ(s, TRawSector{});
}

TEST_F(Mode1ErrorCorrectTest, SectorAtAddress150)
{
    TRawSector s = HeaderSector(0x00, 0x02, 0x00);
    ASSERT_TRUE(Ecc.Generate(s));
    EXPECT_EQ((std::array<std::uint8_t, 4>{s[2064], s[2065], s[2066], s[2067]}),
              (std::array<std::uint8_t, 4>{0xC5, 0x13, 0x68, 0x2B}));
    const std::array<std::uint8_t, 8> pStart = {0x00, 0xF7, 0x00, 0xF5, 0x00, 0x00, 0x00, 0x00};
    const std::array<std::uint8_t, 8> qStart = {0x00, 0x41, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    EXPECT_TRUE(std::equal(pStart.begin(), pStart.end(), s.begin() + ECC_P_OFFSET));
    EXPECT_TRUE(std::equal(qStart.begin(), qStart.end(), s.begin() + ECC_Q_OFFSET));
    EXPECT_TRUE(oracle::Mode1EccValid(s.data()));

    // One changed user byte moves the EDC and at least one P and one Q byte.
    TRawSector t = HeaderSector(0x00, 0x02, 0x00);
    t[1000] = 0x01;
    ASSERT_TRUE(Ecc.Generate(t));
    EXPECT_FALSE(std::equal(s.begin() + 2064, s.begin() + 2068, t.begin() + 2064));
    EXPECT_FALSE(std::equal(s.begin() + ECC_P_OFFSET, s.begin() + ECC_Q_OFFSET, t.begin() + ECC_P_OFFSET));
    EXPECT_FALSE(std::equal(s.begin() + ECC_Q_OFFSET, s.end(), t.begin() + ECC_Q_OFFSET));
}

TEST_F(Mode1ErrorCorrectTest, RandomSectorsMatchReferenceEncoder)
{
    std::mt19937 rng(4242);
    for (int n = 0; n < 300; ++n)
    {
        TRawSector s;
        for (auto& b : s)
            b = static_cast<std::uint8_t>(rng());
        if (n % 3 == 0) // sparse data: zero products and zero columns
            for (auto& b : s)
                if (rng() % 8 != 0)
                    b = 0;
        TRawSector want = s;
        oracle::EncodeMode1(want.data());
        ASSERT_TRUE(Ecc.Generate(s));
        ASSERT_EQ(s, want) << "sector " << n;
        ASSERT_TRUE(oracle::Mode1EccValid(s.data())) << "sector " << n;
        ASSERT_EQ(GetLE32(std::span(s).subspan<EDC_OFFSET, 4>()), oracle::Edc(s.data(), 2064));
    }
}

TEST_F(Mode1ErrorCorrectTest, SingleByteInEveryPositionMatchesReference)
{
    // One non-zero byte at each covered position hits every P column and Q diagonal lane.
    for (std::size_t pos = 12; pos < 2076; pos += 7)
    {
        TRawSector s{};
        s[pos] = static_cast<std::uint8_t>(pos | 1);
        TRawSector want = s;
        oracle::EncodeMode1(want.data());
        ASSERT_TRUE(Ecc.Generate(s));
        ASSERT_EQ(s, want) << "byte " << pos;
    }
}

// Parity alone: the same P and Q as Generate over the same bytes 12-2075, EDC field untouched.
TEST_F(Mode1ErrorCorrectTest, ParityAloneLeavesTheEdcField)
{
    std::mt19937 rng(99);
    TRawSector s;
    for (auto& b : s)
        b = static_cast<std::uint8_t>(rng());
    TRawSector full = s;
    ASSERT_TRUE(Ecc.Generate(full));
    TRawSector parity = full;
    std::fill(parity.begin() + ECC_P_OFFSET, parity.end(), 0xA5);
    ASSERT_TRUE(Ecc.GenerateParity(parity));
    EXPECT_EQ(parity, full);
    s = full;
    s[EDC_OFFSET] ^= 0xFF; // a wrong EDC field is data to the parity, not rewritten
    ASSERT_TRUE(Ecc.GenerateParity(s));
    EXPECT_EQ(s[EDC_OFFSET], static_cast<std::uint8_t>(full[EDC_OFFSET] ^ 0xFF));
    EXPECT_TRUE(oracle::Mode1EccValid(s.data()));
    EXPECT_NE(s, full);
}

TEST(Mode1ErrorCorrectTableTest, TablesFollowLiveInstances)
{
    ASSERT_FALSE(TMode1ErrorCorrect::HasTables());
    TRawSector first = HeaderSector(0x00, 0x02, 0x00);
    {
        auto a = std::make_unique<TMode1ErrorCorrect>();
        TMode1ErrorCorrect b;
        a.reset();
        EXPECT_TRUE(TMode1ErrorCorrect::HasTables());
        ASSERT_TRUE(b.Generate(first));
    }
    EXPECT_FALSE(TMode1ErrorCorrect::HasTables());
    TMode1ErrorCorrect c; // rebuilt from scratch, same contents
    EXPECT_TRUE(TMode1ErrorCorrect::HasTables());
    TRawSector again = HeaderSector(0x00, 0x02, 0x00);
    ASSERT_TRUE(c.Generate(again));
    EXPECT_EQ(again, first);
}

// Batch workers make and drop instances at once; the shared tables must neither leak nor vanish.
TEST(Mode1ErrorCorrectTableTest, InstancesOnManyThreadsShareOneSetOfTables)
{
    ASSERT_FALSE(TMode1ErrorCorrect::HasTables());
    TRawSector expected = HeaderSector(0x00, 0x02, 0x00);
    ASSERT_TRUE(TMode1ErrorCorrect().Generate(expected));
    EXPECT_EQ(testsupport::FailuresOnThreads(8, 300,
                                             [&] {
                                                 TMode1ErrorCorrect ecc;
                                                 TRawSector s = HeaderSector(0x00, 0x02, 0x00);
                                                 return ecc.Generate(s) && s == expected;
                                             }),
              0);
    EXPECT_FALSE(TMode1ErrorCorrect::HasTables());
}

TEST(Mode1ErrorCorrectTableTest, MissingTablesLeaveSectorUntouched)
{
    testsupport::FailNothrowNew = true;
    TMode1ErrorCorrect ecc;
    testsupport::FailNothrowNew = false;
    ASSERT_FALSE(TMode1ErrorCorrect::HasTables());
    TRawSector s;
    for (std::size_t i = 0; i < s.size(); ++i)
        s[i] = static_cast<std::uint8_t>(i * 7);
    const TRawSector before = s;
    EXPECT_FALSE(ecc.Generate(s));
    EXPECT_EQ(s, before);
}

} // namespace
