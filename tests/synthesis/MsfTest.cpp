// SPDX-License-Identifier: GPL-3.0-or-later
#include "synthesis/Msf.h"

#include <gtest/gtest.h>

#include <array>

namespace {

struct TMsfCase
{
    const char* Text;
    bool Valid;
    std::int32_t Frames;
};

class StrToMsfTest : public ::testing::TestWithParam<TMsfCase>
{};

TEST_P(StrToMsfTest, ConvertsOrLeavesTheRecordAlone)
{
    const TMsfCase& c = GetParam();
    TMsf msf{0, 7, 7, 7};
    EXPECT_EQ(StrToMsf(c.Text, msf), c.Valid) << c.Text;
    if (c.Valid)
    {
        EXPECT_EQ(MsfToFrames(msf), c.Frames);
        EXPECT_EQ(msf.Reserved, 0);
    }
    else
    {
        EXPECT_EQ(msf.Minute, 7);
        EXPECT_EQ(msf.Second, 7);
        EXPECT_EQ(msf.Frame, 7);
    }
}

INSTANTIATE_TEST_SUITE_P(Texts, StrToMsfTest,
                         ::testing::Values(TMsfCase{"00:00:00", true, 0}, TMsfCase{"00:02:00", true, 150},
                                           TMsfCase{"98:59:74", true, 445499}, TMsfCase{"10:02:00", true, 45150},
                                           TMsfCase{"99:00:00", false, 0}, TMsfCase{"00:60:00", false, 0},
                                           TMsfCase{"00:00:75", false, 0}, TMsfCase{"1:00:00", false, 0},
                                           TMsfCase{"01:00:00 ", false, 0}, TMsfCase{"01-00-00", false, 0},
                                           TMsfCase{"0a:00:00", false, 0}, TMsfCase{"-1:00:00", false, 0},
                                           TMsfCase{" 1:00:00", false, 0}, TMsfCase{"", false, 0}));

TEST(FramesToMsfTest, SplitsWithoutTheNinetyEightMinuteLimitAndWrapsTheMinuteByte)
{
    const TMsf a = FramesToMsf(445499);
    EXPECT_EQ(a.Minute, 98);
    EXPECT_EQ(a.Second, 59);
    EXPECT_EQ(a.Frame, 74);
    const TMsf b = FramesToMsf(449999);
    EXPECT_EQ(b.Minute, 99);
    EXPECT_EQ(b.Second, 59);
    EXPECT_EQ(b.Frame, 74);
    const TMsf c = FramesToMsf(256 * 4500 + 75 + 3);
    EXPECT_EQ(c.Minute, 0);
    EXPECT_EQ(c.Second, 1);
    EXPECT_EQ(c.Frame, 3);
}

TEST(MsfToStrTest, PadsToTwoDigits)
{
    EXPECT_EQ(MsfToStr(TMsf{0, 5, 3, 7}), "05:03:07");
    EXPECT_EQ(MsfToStr(TMsf{0, 123, 0, 0}), "123:00:00");
}

TEST(BcdMsfTest, RoundTripsAndRefusesNonBcdBytes)
{
    for (const std::uint32_t frames : {0u, 74u, 75u, 4499u, 4500u, 449999u})
    {
        std::array<std::uint8_t, 3> bcd{};
        PutBcdMsf(bcd, frames);
        EXPECT_EQ(BcdMsfToFrames(bcd), static_cast<std::int32_t>(frames)) << frames;
    }
    std::array<std::uint8_t, 3> bcd{0x12, 0x34, 0x56};
    EXPECT_EQ(BcdMsfToFrames(bcd), (12 * 60 + 34) * 75 + 56);
    for (const std::uint8_t bad : {std::uint8_t{0x0A}, std::uint8_t{0xA0}, std::uint8_t{0xFF}})
    {
        bcd[1] = bad;
        EXPECT_EQ(BcdMsfToFrames(bcd), -1) << int(bad);
        EXPECT_EQ(FromBcd(bad), -1) << int(bad);
    }
}

} // namespace
