// SPDX-License-Identifier: GPL-3.0-or-later
#include "sources/Wavesource.h"

#include "sources/Audioprobe.h"
#include "sources/Audiosource.h"

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

// What Windows tools write: an extensible header, chunks before "fmt ". The source gives the very
// bytes of a plain header's data chunk.
TEST_F(WaveHeaderTest, ExtensibleHeadersAndChunksBeforeTheFormatGiveThePlainData)
{
    TWaveLayout plain;
    for (int i = 0; i < 2352 * 3; ++i)
        plain.Data.push_back(static_cast<char>(i * 37 + i / 256));
    TWaveLayout extensible = plain;
    extensible.Extensible = true;
    TWaveLayout listFirst = plain;
    listFirst.ChunksBeforeFormat = MakeChunk("LIST", "INFOISFT\x05\0\0\0tool\0");
    TWaveLayout both = extensible;
    both.ChunksBeforeFormat = listFirst.ChunksBeforeFormat + MakeChunk("JUNK", std::string(28, '\0'));
    for (const TWaveLayout& layout : {extensible, listFirst, both})
    {
        TLuCueWavFile source(Dir.Write("t.wav", MakeWave(layout)));
        std::string data(plain.Data.size() + 10, '\0');
        ASSERT_EQ(source.Read(data.data(), data.size()), plain.Data.size());
        EXPECT_TRUE(data.substr(0, plain.Data.size()) == plain.Data);
    }
}

TEST_F(WaveHeaderTest, RefusalsSayWhatTheFileHolds)
{
    const auto wave = [](auto change) {
        TWaveLayout layout;
        layout.Data = "abcd";
        change(layout);
        return MakeWave(layout);
    };
    const std::string rule = "; audio must be 44,100 Hz, 16-bit, stereo";
    const std::string unreadable = "not a readable WAVE file ";
    const std::pair<std::string, std::string> cases[] = {
        {wave([](TWaveLayout& l) { l.SampleRate = 48000, l.Channels = 1; }), "48,000 Hz, 16-bit, 1 channel" + rule},
        {wave([](TWaveLayout& l) { l.BitsPerSample = 24; }), "44,100 Hz, 24-bit, 2 channels" + rule},
        {wave([](TWaveLayout& l) { l.FormatTag = 3, l.BitsPerSample = 32, l.Extensible = true; }),
         "44,100 Hz, 32-bit float, 2 channels" + rule},
        {wave([](TWaveLayout& l) { l.FormatTag = 0x55; }), "44,100 Hz, WAVE format 0x0055, 2 channels" + rule},
        {wave([](TWaveLayout& l) { l.WithDataChunk = false; }), unreadable + "(no data chunk)"},
        {wave([](TWaveLayout& l) { l.ChunksBeforeFormat = MakeChunk("data", "abcd"); }),
         unreadable + "(the data chunk comes before the format chunk)"},
        {wave([](TWaveLayout& l) { l.FormatChunkSize = 14; }), unreadable + "(the format chunk is too short)"},
        {"", "the file is empty"},
    };
    for (const auto& [bytes, reason] : cases)
    {
        SCOPED_TRACE(reason);
        try
        {
            OpenAudioFile(Dir.Write("t.wav", bytes));
            ADD_FAILURE() << "accepted";
        }
        catch (const EAudioRefused& error)
        {
            EXPECT_EQ(error.what(), "t.wav: " + reason);
        }
    }
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
