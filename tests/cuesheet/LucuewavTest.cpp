#include "cuesheet/Lucuewav.h"

#include "support/TempDir.h"
#include "support/Wave.h"

#include <gtest/gtest.h>

namespace {

class WaveHeaderTest : public ::testing::Test
{
protected:
    TWaveCheck Read(const TWaveLayout& layout, TWaveInfo& info)
    {
        return ReadWaveHeader(Dir.Write("t.wav", MakeWave(layout)), info);
    }
    TTempDir Dir;
};

TEST_F(WaveHeaderTest, AcceptsLongFormatChunkAndSkipsChunksBeforeData)
{
    TWaveLayout layout;
    layout.FormatChunkSize = 18;
    layout.ChunksBeforeData = MakeChunk("LIST", "INFOabcde"); // odd size: a pad byte follows
    layout.Data = std::string(2352 * 2, '\x11');
    TWaveInfo info;
    ASSERT_EQ(Read(layout, info), wcAccepted);
    // RIFF(12) + fmt header(8) + 18 + LIST header(8) + 9 + pad + data header(8)
    EXPECT_EQ(info.DataOffset, 12 + 8 + 18 + 8 + 10 + 8);
    EXPECT_EQ(info.DataLength, 2352 * 2);
    EXPECT_EQ(info.Channels, 2);
    EXPECT_EQ(info.BitsPerSample, 16);
    EXPECT_EQ(info.SampleRate, 44100);
}

TEST_F(WaveHeaderTest, ClampsTheDataLengthToTheBytesInTheFile)
{
    TWaveLayout layout;
    layout.Data = std::string(1000, '\x01');
    layout.DeclaredDataSize = 0xFFFFFFFF;
    TWaveInfo info;
    ASSERT_EQ(Read(layout, info), wcAccepted);
    EXPECT_EQ(info.DataLength, 1000);
}

TEST_F(WaveHeaderTest, RefusesWhatIsNotPcmWave)
{
    TWaveInfo info;
    TWaveLayout floatFormat;
    floatFormat.FormatTag = 3;
    EXPECT_EQ(Read(floatFormat, info), wcNotWave);
    TWaveLayout noData;
    noData.WithDataChunk = false;
    noData.Trailer = MakeChunk("LIST", "xxxx");
    EXPECT_EQ(Read(noData, info), wcNotWave);
    EXPECT_EQ(ReadWaveHeader(Dir.Write("junk.wav", "RIFF\x04\0\0\0WAVEdata"), info), wcNotWave);
    EXPECT_EQ(ReadWaveHeader(Dir.Write("empty.wav", ""), info), wcNotWave);
    std::string notFmtFirst = MakeWave(TWaveLayout{});
    notFmtFirst.replace(12, 4, "junk");
    EXPECT_EQ(ReadWaveHeader(Dir.Write("order.wav", notFmtFirst), info), wcNotWave);
    EXPECT_EQ(ReadWaveHeader(Dir.File("missing.wav"), info), wcCannotOpen);
    EXPECT_EQ(ReadWaveHeader(Dir.Path().string(), info), wcCannotOpen);
}

TEST_F(WaveHeaderTest, AbsurdChunkSizesEndTheWalk)
{
    TWaveLayout layout;
    layout.ChunksBeforeData = "JUNK\xFF\xFF\xFF\xFF";
    layout.Data = "abcd";
    TWaveInfo info;
    EXPECT_EQ(Read(layout, info), wcNotWave);
}

} // namespace
