// SPDX-License-Identifier: GPL-3.0-or-later
#include "cuesheet/Lucue.h"
#include "cuesheet/Cueerrors.h"
#include "image/Conversion.h"
#include "image/Layoutreport.h"

#include "support/Audio.h"
#include "support/VariableFlac.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>

namespace {

// Three tracks of odd lengths, one file each, so that sector edges fall inside coder blocks.
constexpr std::array<std::size_t, 3> TRACK_SAMPLES = {44100 * 4 + 17, 44100 * 5 + 1000, 44100 * 4 + 3};

class AudioAlbumTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (std::size_t t = 0; t < TRACK_SAMPLES.size(); ++t)
        {
            const std::string name = std::string("t").append(std::to_string(t + 1));
            const std::string pcm = SyntheticPcm(TRACK_SAMPLES[t], unsigned(t + 7));
            const std::string wav = Quoted(WriteWave(Dir, name + ".wav", pcm));
            // Block sizes 4096, 1152 and varying.
            if (t == 2)
                Dir.Write(name + ".flac", VariableBlockFlac(pcm, {1152, 4608, 576}, 44100 + 5));
            else
                ASSERT_TRUE(RunEncoder("flac -s -b " + std::string(t == 1 ? "1152" : "4096") + " -o " +
                                       Quoted(Dir.File(name + ".flac")) + " " + wav));
            ASSERT_TRUE(RunEncoder("wavpack -q -y " + wav + " -o " + Quoted(Dir.File(name + ".wv"))));
            ASSERT_TRUE(RunEncoder("lame --quiet -b 192 " + wav + " " + Quoted(Dir.File(name + ".mp3"))));
            ASSERT_TRUE(RunEncoder("ffmpeg -nostdin -i " + wav + " -c:a alac " + Quoted(Dir.File(name + ".m4a"))));
            ASSERT_TRUE(RunEncoder("ffmpeg -nostdin -i " + wav + " -c:a libvorbis " + Quoted(Dir.File(name + ".ogg"))));
        }
    }

    // Converts the album in the given coding; returns the .img, .sub and .ccd bytes.
    std::string Convert(const std::string& extension, const char* keyword = "WAVE")
    {
        std::string cue;
        for (std::size_t t = 1; t <= TRACK_SAMPLES.size(); ++t)
        {
            const std::string number = std::to_string(t);
            cue.append("FILE \"t").append(number).append(".").append(extension).append("\" ").append(keyword);
            cue.append("\n  TRACK 0").append(number).append(" AUDIO\n    INDEX 01 00:00:00\n");
        }
        EXPECT_TRUE(Sheet.Load(Dir.Write(extension + ".cue", cue))) << CueErrorText(Sheet);
        const std::string ccd = Dir.File(extension + ".ccd");
        TConversionJob job;
        job.Run(ccd, true, Sheet);
        Status = job.Status.load();
        ErrorText = job.Error.Text();
        if (Status != csSucceeded)
            return {};
        return TTempDir::ReadAll(Dir.File(extension + ".img")) + TTempDir::ReadAll(Dir.File(extension + ".sub")) +
               TTempDir::ReadAll(ccd);
    }

    TTempDir Dir;
    TLuCueSheet Sheet;
    TConvertStatus Status = csIdle;
    std::string ErrorText;
};

TEST_F(AudioAlbumTest, WaveAndLosslessAlbumsGiveTheSameImage)
{
    const std::string wave = Convert("wav");
    ASSERT_EQ(Status, csSucceeded) << ErrorText;
    EXPECT_TRUE(Convert("flac", "FLAC") == wave);
    EXPECT_EQ(Status, csSucceeded) << ErrorText;
    EXPECT_TRUE(Convert("wv") == wave);
    EXPECT_EQ(Status, csSucceeded) << ErrorText;
    EXPECT_TRUE(Convert("m4a") == wave);
    EXPECT_EQ(Status, csSucceeded) << ErrorText;
    EXPECT_EQ(BuildDiscLayout(Sheet).Notes.size(), 0U);
}

TEST_F(AudioAlbumTest, LossyAlbumsKeepTheirLengthAndTheReportNamesTheLossyFiles)
{
    const std::string wave = Convert("wav");
    for (const auto& [extension, format] : {std::pair{"mp3", "MP3"}, std::pair{"ogg", "Vorbis"}})
    {
        const std::string lossy = Convert(extension);
        ASSERT_EQ(Status, csSucceeded) << ErrorText;
        EXPECT_EQ(lossy.size(), wave.size()) << extension;
        const std::string report = BuildLayoutReport(BuildDiscLayout(Sheet));
        for (const char* track : {"1", "3"})
            EXPECT_NE(report.find(std::string("\n  Track 0") + track + " comes from a lossy file: t" + track + "." +
                                  extension + " (" + format + ")\n"),
                      std::string::npos)
                << report;
    }
}

// A bad frame fails where it lies; a wrong MD5 signature fails the run that read the whole stream,
// though the run that met it at the end read its last sectors again one by one, after a seek.
TEST_F(AudioAlbumTest, ADamagedFileFailsTheConversionWithItsNameAndTime)
{
    const std::string intact = TTempDir::ReadAll(Dir.File("t2.flac"));
    struct TCase
    {
        std::size_t Offset; // of the byte spoiled
        const char* Error;
        const char* Time;
    };
    // The MD5 signature is bytes 26-41: after "fLaC", the block header and 18 bytes of STREAMINFO.
    for (const TCase& c : {TCase{intact.size() / 2, "t2.flac: damaged", " at 00:02:"},
                           TCase{30, "t2.flac: the decoded audio does not match the MD5 signature", " at 00:05:"}})
    {
        SCOPED_TRACE(c.Error);
        std::string bytes = intact;
        bytes[c.Offset] ^= 0x40;
        Dir.Write("t2.flac", bytes);
        EXPECT_EQ(Convert("flac"), "");
        EXPECT_EQ(Status, csFailed);
        EXPECT_EQ(ErrorText.rfind(c.Error, 0), 0U) << ErrorText;
        EXPECT_NE(ErrorText.find(c.Time), std::string::npos) << ErrorText;
        EXPECT_FALSE(std::filesystem::exists(Dir.File("flac.ccd")));
    }
}

} // namespace
