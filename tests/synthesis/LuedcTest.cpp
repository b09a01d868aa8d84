// SPDX-License-Identifier: GPL-3.0-or-later
#include "synthesis/Luedc.h"
#include "support/ImageOracle.h"

#include <gtest/gtest.h>

#include <random>

namespace {

// The bit-serial reference of the shared oracle.
std::uint32_t BitwiseEdc(std::span<const std::uint8_t> data)
{
    return oracle::Edc(data.data(), data.size());
}

class LuEdcTest : public ::testing::Test
{
protected:
    TLuEdc Edc;
};

TEST_F(LuEdcTest, CheckValueOfDigitsOneToNine)
{
    const std::array<std::uint8_t, 9> digits = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(Edc.Update(0, digits), 0x6EC2EDC4u);
    EXPECT_EQ(BitwiseEdc(digits), 0x6EC2EDC4u);
}

TEST_F(LuEdcTest, ZeroSectorHasZeroEdc)
{
    const TRawSector sector{};
    EXPECT_EQ(Edc.Compute(sector), 0u);
}

TEST_F(LuEdcTest, MatchesBitSerialRegisterOnRandomData)
{
    std::mt19937 rng(2024);
    TRawSector sector;
    for (int n = 0; n < 50; ++n)
    {
        for (auto& b : sector)
            b = static_cast<std::uint8_t>(rng());
        ASSERT_EQ(Edc.Compute(sector), BitwiseEdc(std::span(sector).first(EDC_OFFSET)));
        // Bytes from 2064 on are not covered.
        sector[EDC_OFFSET] ^= 0xFF;
        sector[SECTOR_SIZE - 1] ^= 0xFF;
        ASSERT_EQ(Edc.Compute(sector), BitwiseEdc(std::span(sector).first(EDC_OFFSET)));
    }
    // Lengths that leave a tail after the 16-byte steps, split across two calls.
    for (std::size_t len = 0; len < 70; ++len)
    {
        const auto part = std::span(sector).first(len);
        const std::size_t cut = len / 3;
        ASSERT_EQ(Edc.Update(Edc.Update(0, part.first(cut)), part.subspan(cut)), BitwiseEdc(part)) << len;
    }
}

} // namespace
