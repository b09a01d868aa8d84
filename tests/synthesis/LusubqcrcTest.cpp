// SPDX-License-Identifier: GPL-3.0-or-later
#include "synthesis/Lusubqcrc.h"

#include "support/BitCrc.h"

#include <gtest/gtest.h>

#include <random>

namespace {

class LuSubQCrcTest : public ::testing::Test
{
protected:
    TLuSubQCrc Crc;
};

TEST_F(LuSubQCrcTest, CheckValueOfDigitsOneToNine)
{
    // A leading zero byte leaves a CRC that starts at 0 unchanged, so ten bytes carry the check.
    const std::array<std::uint8_t, 10> data = {0, '1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(Crc.Compute(data), 0xCE3C);
}

struct TQFrameCase
{
    const char* Name;
    TQFrame Frame; // bytes 10-11 hold the expected CRC
};

class LuSubQCrcFrameTest : public LuSubQCrcTest, public ::testing::WithParamInterface<TQFrameCase>
{};

TEST_P(LuSubQCrcFrameTest, ClosesPublishedFrames)
{
    const TQFrame& f = GetParam().Frame;
    const std::uint16_t crc = Crc.Compute(std::span(f).first<10>());
    EXPECT_EQ(crc >> 8, f[10]);
    EXPECT_EQ(crc & 0xFF, f[11]);
}

INSTANTIATE_TEST_SUITE_P(Frames, LuSubQCrcFrameTest,
                         ::testing::Values(TQFrameCase{"AudioTrack1Index1At150",
                                                       {0x01, 0x01, 0x01, 0, 0, 0, 0, 0x00, 0x02, 0x00, 0x5A, 0x28}},
                                           TQFrameCase{"DataTrack1Index1At150",
                                                       {0x41, 0x01, 0x01, 0, 0, 0, 0, 0x00, 0x02, 0x00, 0x28, 0x32}},
                                           TQFrameCase{"Track1Index0At149",
                                                       {0x01, 0x01, 0x00, 0, 0, 0, 0, 0x00, 0x01, 0x74, 0x76, 0xBB}}),
                         [](const auto& testInfo) { return testInfo.param.Name; });

TEST_F(LuSubQCrcTest, MatchesBitSerialRegisterOnRandomFrames)
{
    std::mt19937 rng(1234);
    for (int n = 0; n < 2000; ++n)
    {
        std::array<std::uint8_t, 10> data{};
        for (auto& b : data)
            b = static_cast<std::uint8_t>(rng());
        ASSERT_EQ(Crc.Compute(data), BitwiseCrc(data));
    }
}

} // namespace
