// SPDX-License-Identifier: GPL-3.0-or-later
#include "synthesis/Qframe.h"

#include "support/BitCrc.h"

#include <gtest/gtest.h>

namespace {

// Hand-worked frames: control in the high nibble beside ADR 1, then BCD track, index and times.
struct TQCase
{
    TQPosition Position;
    TQFrame Bytes; // bytes 0-9; the CRC is left zero
};

class QframeTest : public ::testing::TestWithParam<TQCase>
{};

TEST_P(QframeTest, BuildsParsesAndCloses)
{
    const TQCase& c = GetParam();
    TQFrame q = BuildPositionQ(c.Position);
    EXPECT_EQ(q, c.Bytes);
    const TQFields f = ParseQ(q);
    EXPECT_EQ(f.Adr, ADR_POSITION);
    EXPECT_EQ(f.Control, c.Position.Control);
    EXPECT_EQ(f.Track, c.Position.Track);
    EXPECT_EQ(f.Index, c.Position.Index);
    EXPECT_EQ(f.Relative, c.Position.Relative);
    EXPECT_EQ(f.Absolute, c.Position.Absolute);

    const TLuSubQCrc crc;
    EXPECT_FALSE(HasValidQCrc(q, crc));
    SetQCrc(q, crc);
    EXPECT_EQ(q[10] << 8 | q[11], BitwiseCrc(std::span(q).first<Q_CRC_SPAN>()));
    EXPECT_TRUE(HasValidQCrc(q, crc));
    SetQCrc(q, crc, true);
    EXPECT_EQ(q[10] << 8 | q[11], BitwiseCrc(std::span(q).first<Q_CRC_SPAN>()) ^ 0xFFFF);
    EXPECT_FALSE(HasValidQCrc(q, crc));
}

INSTANTIATE_TEST_SUITE_P(
    Frames, QframeTest,
    ::testing::Values(TQCase{{0, 1, 1, 0, 150}, {0x01, 0x01, 0x01, 0, 0, 0, 0, 0x00, 0x02, 0x00, 0, 0}},
                      TQCase{{4, 2, 0, 149, 20000}, {0x41, 0x02, 0x00, 0x00, 0x01, 0x74, 0, 0x04, 0x26, 0x50, 0, 0}},
                      TQCase{{15, 99, 99, 449999, 449999},
                             {0xF1, 0x99, 0x99, 0x99, 0x59, 0x74, 0, 0x99, 0x59, 0x74, 0, 0}}));

TEST(QframeParseTest, MarksFieldsThatAreNotBcd)
{
    const TQFrame q = {0x23, 0x1A, 0x01, 0x00, 0x6F, 0x00, 0, 0x00, 0x02, 0x00, 0, 0};
    const TQFields f = ParseQ(q);
    EXPECT_EQ(f.Control, 2);
    EXPECT_EQ(f.Adr, ADR_ISRC);
    EXPECT_EQ(f.Track, -1);
    EXPECT_EQ(f.Index, 1);
    EXPECT_EQ(f.Relative, -1);
    EXPECT_EQ(f.Absolute, 150);
}

} // namespace
