// SPDX-License-Identifier: GPL-3.0-or-later
#include "cuesheet/Lucue.h"
#include "cuesheet/Cueerrors.h"
#include "sources/Audioprobe.h"
#include "sources/Audiosource.h"

#include "support/Audio.h"
#include "support/VariableFlac.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace {

// 20 seconds and a few samples, so that no coder's block size divides it.
constexpr std::size_t SAMPLES = 44100 * 20 + 123;

// One album encoded every way, shared by the tests of this file.
class AudioFiles : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        Dir = new TTempDir;
        Pcm = new std::string(SyntheticPcm(SAMPLES));
        const std::string wav = Quoted(WriteWave(*Dir, "album.wav", *Pcm));
        auto out = [](const char* name) { return Quoted(Dir->File(name)); };
        Encoded = RunEncoder("flac -s -b 4096 -o " + out("b4096.flac") + " " + wav) &&
                  RunEncoder("flac -s -b 1152 -o " + out("b1152.flac") + " " + wav) &&
                  RunEncoder("wavpack -q -y " + wav + " -o " + out("album.wv")) &&
                  RunEncoder("lame --quiet -b 192 " + wav + " " + out("album.mp3")) &&
                  RunEncoder("ffmpeg -nostdin -i " + wav + " -c:a alac " + out("album.m4a")) &&
                  RunEncoder("ffmpeg -nostdin -i " + wav + " -c:a libvorbis " + out("album.ogg"));
        // Segments of odd lengths end in short frames, so the sizes vary more than the list says.
        Dir->Write("variable.flac", VariableBlockFlac(*Pcm, {4096, 1152, 576, 4608}, 44100 * 3 + 7));
    }
    static void TearDownTestSuite()
    {
        delete Dir;
        delete Pcm;
    }
    void SetUp() override { ASSERT_TRUE(Encoded) << "the flac, wavpack, lame and ffmpeg encoders are needed"; }

    static std::unique_ptr<TLuCueFile> Open(const char* name) { return OpenAudioFile(Dir->File(name)); }

    static std::string ReadAt(TLuCueFile& file, std::int64_t at, std::size_t count)
    {
        std::string out(count, '\0');
        file.Seek(at, soBeginning);
        out.resize(file.Read(out.data(), count));
        return out;
    }

    static std::string ReadAll(TLuCueFile& file)
    {
        std::string all;
        std::string sector(2352, '\0');
        file.Seek(0, soBeginning);
        while (const std::size_t n = file.Read(sector.data(), sector.size()))
            all.append(sector, 0, n);
        return all;
    }

    // The text of the failure a full read raises, or "" when it succeeds.
    static std::string DamageOf(const std::string& path)
    {
        try
        {
            const auto file = OpenAudioFile(path);
            ReadAll(*file);
        }
        catch (const EAudioDamaged& error)
        {
            return error.what();
        }
        return {};
    }

    static std::string RefusalOf(const std::string& name)
    {
        TLuCueSheet sheet;
        EXPECT_FALSE(sheet.Load(Dir->Write("refused.cue", OneTrackSheet(name))));
        return CueErrorText(sheet);
    }

    // A copy of an encoded file with its bytes changed.
    static std::string Damaged(const char* from, const char* to, const std::function<void(std::string&)>& change)
    {
        std::string bytes = TTempDir::ReadAll(Dir->File(from));
        change(bytes);
        return Dir->Write(to, bytes);
    }

    static inline TTempDir* Dir = nullptr;
    static inline std::string* Pcm = nullptr;
    static inline bool Encoded = false;
};

TEST_F(AudioFiles, LosslessFilesPresentThePcmOfTheWaveFile)
{
    // libFLAC's own tool takes the variable-size stream, its MD5 signature included.
    EXPECT_TRUE(RunEncoder("flac -t -w " + Quoted(Dir->File("variable.flac"))));
    for (const char* name : {"album.wav", "b4096.flac", "b1152.flac", "variable.flac", "album.wv", "album.m4a"})
    {
        const auto file = Open(name);
        EXPECT_EQ(file->Seek(0, soEnd), static_cast<std::int64_t>(SAMPLES * 4)) << name;
        EXPECT_TRUE(ReadAll(*file) == *Pcm) << name;
        const auto* audio = dynamic_cast<const TLuCueAudioFile*>(file.get());
        EXPECT_TRUE(audio == nullptr || !audio->Lossy) << name;
    }
}

TEST_F(AudioFiles, AnMp3WithALameHeaderKeepsTheExactLength)
{
    const auto file = Open("album.mp3");
    // The encoder's delay and padding are dropped: a gapless album stays gapless.
    EXPECT_EQ(file->Seek(0, soEnd), static_cast<std::int64_t>(SAMPLES * 4));
    const auto& audio = dynamic_cast<const TLuCueAudioFile&>(*file);
    EXPECT_TRUE(audio.Lossy);
    EXPECT_EQ(audio.Format, "MP3");
    const std::string all = ReadAll(*file);
    ASSERT_EQ(all.size(), SAMPLES * 4);
    // Lossy but aligned: the decoded tone follows the original closely sample by sample.
    double error = 0;
    double power = 0;
    for (std::size_t i = 0; i < all.size(); i += 2)
    {
        const auto a =
            static_cast<std::int16_t>(std::uint16_t(std::uint8_t((*Pcm)[i]) | std::uint8_t((*Pcm)[i + 1]) << 8));
        const auto b = static_cast<std::int16_t>(std::uint16_t(std::uint8_t(all[i]) | std::uint8_t(all[i + 1]) << 8));
        error += (a - b) * double(a - b);
        power += a * double(a);
    }
    EXPECT_LT(error, power / 100);
}

// What a count handler was told, and the report it stops the load at (0: never).
struct TCountSeen
{
    std::vector<std::int64_t> Done;
    std::int64_t Total = 0;
    std::string Name;
    std::size_t StopAt = 0;

    TCountProgress Handler()
    {
        return [this](std::int64_t done, std::int64_t total, const std::string& name) {
            Done.push_back(done);
            Total = total;
            Name = name;
            return Done.size() != StopAt;
        };
    }
};

TEST_F(AudioFiles, FilesWithoutAStatedCountAreCountedByDecodingWithProgressThatCanCancel)
{
    TCountSeen seen;
    TLuCueSheet sheet;
    sheet.CountProgress = seen.Handler();
    ASSERT_TRUE(sheet.Load(Dir->Write("v.cue", OneTrackSheet("album.ogg")))) << CueErrorText(sheet);
    // The length of the PCM it was encoded from, to the sample, and a full read agrees.
    EXPECT_EQ(sheet.Files[0]->Seek(0, soEnd), static_cast<std::int64_t>(SAMPLES * 4));
    EXPECT_EQ(ReadAll(*sheet.Files[0]).size(), SAMPLES * 4);
    const auto& audio = dynamic_cast<const TLuCueAudioFile&>(*sheet.Files[0]);
    EXPECT_TRUE(audio.Lossy);
    EXPECT_EQ(audio.Format, "Vorbis");
    const auto size = static_cast<std::int64_t>(std::filesystem::file_size(Dir->File("album.ogg")));
    EXPECT_EQ(seen.Name, "album.ogg");
    EXPECT_EQ(seen.Total, size);
    EXPECT_GT(seen.Done.size(), 3U); // a report per 64 KiB read
    EXPECT_TRUE(std::is_sorted(seen.Done.begin(), seen.Done.end()));
    EXPECT_EQ(seen.Done.back(), size);

    // Stopped at its third report, the load ends canceled and keeps nothing.
    TCountSeen stop;
    stop.StopAt = 3;
    sheet.CountProgress = stop.Handler();
    EXPECT_FALSE(sheet.Load(Dir->File("v.cue")));
    EXPECT_EQ(stop.Done.size(), 3U);
    EXPECT_EQ(sheet.ErrorCode, CueStatus(egSheet, erCanceled));
    EXPECT_EQ(CueErrorText(sheet), "Loading was canceled");
    EXPECT_EQ(sheet.FileCount, 0);

    // A FLAC stream whose STREAMINFO holds no count is counted the same way.
    TCountSeen flac;
    sheet.CountProgress = flac.Handler();
    Damaged("b4096.flac", "nocount.flac", [](std::string& bytes) {
        // The 36-bit count ends STREAMINFO's eighth byte of rate, channels, depth and count.
        bytes[21] = static_cast<char>(bytes[21] & 0xF0);
        std::fill(bytes.begin() + 22, bytes.begin() + 26, '\0');
    });
    ASSERT_TRUE(sheet.Load(Dir->Write("f.cue", OneTrackSheet("nocount.flac")))) << CueErrorText(sheet);
    EXPECT_TRUE(ReadAll(*sheet.Files[0]) == *Pcm);
    EXPECT_EQ(flac.Name, "nocount.flac");
    EXPECT_GT(flac.Done.size(), 3U);

    // Files whose headers state the count are not read at load.
    TCountSeen none;
    sheet.CountProgress = none.Handler();
    for (const char* name : {"b4096.flac", "album.m4a", "album.wv"})
        EXPECT_TRUE(sheet.Load(Dir->Write("n.cue", OneTrackSheet(name)))) << name;
    EXPECT_TRUE(none.Done.empty());
}

TEST_F(AudioFiles, ReadsAcrossBlocksAtTheEndPastItAndBackward)
{
    for (const char* name : {"b1152.flac", "variable.flac", "album.wv", "album.mp3"})
    {
        const auto file = Open(name);
        const std::string expected = name == std::string("album.mp3") ? ReadAll(*file) : *Pcm;
        const auto size = static_cast<std::int64_t>(expected.size());
        // Across the 1152- and 4096-sample block edges, then backward (the decoder restarts).
        for (const std::int64_t at :
             {std::int64_t(1152 * 4 - 6), std::int64_t(4096 * 4 * 10 - 2), size / 2, std::int64_t(40)})
            EXPECT_TRUE(ReadAt(*file, at, 10000) == expected.substr(std::size_t(at), 10000)) << name << " at " << at;
        EXPECT_TRUE(ReadAt(*file, size - 100, 2352) == expected.substr(std::size_t(size - 100))) << name;
        EXPECT_EQ(ReadAt(*file, size + 4000, 2352), "") << name;
        EXPECT_EQ(file->Seek(size + 4000, soBeginning), size) << name;
        EXPECT_TRUE(ReadAt(*file, 0, 2352) == expected.substr(0, 2352)) << name;
    }
}

TEST_F(AudioFiles, EveryAudioKeywordOpensByContentAndBinaryStaysRaw)
{
    for (const char* type : {"WAVE", "FLAC", "MP3", "AIFF", "WV", "APE"})
    {
        TLuCueSheet sheet;
        EXPECT_TRUE(sheet.Load(Dir->Write("k.cue", OneTrackSheet("b4096.flac", type)))) << type;
        EXPECT_EQ(sheet.Files[0]->Seek(0, soEnd), static_cast<std::int64_t>(SAMPLES * 4)) << type;
    }
    TLuCueSheet sheet;
    ASSERT_TRUE(sheet.Load(Dir->Write("k.cue", OneTrackSheet("b4096.flac", "BINARY"))));
    EXPECT_EQ(sheet.Files[0]->Seek(0, soEnd),
              static_cast<std::int64_t>(std::filesystem::file_size(Dir->File("b4096.flac"))));
    // Not audio at all: refused, with the keyword's type as the reason.
    Dir->Write("noise.bin", std::string(100000, '\x5A'));
    EXPECT_EQ(RefusalOf("noise.bin"), "Invalid CUE SHEET command at line 1\nUnable to find or open FILE\n"
                                      "noise.bin: not a WAVE file");
}

TEST_F(AudioFiles, MotorolaSwapsTheBytesOfEachSample)
{
    std::string swapped = *Pcm;
    for (std::size_t i = 0; i + 1 < swapped.size(); i += 2)
        std::swap(swapped[i], swapped[i + 1]);
    Dir->Write("album.be", swapped);
    TLuCueSheet sheet;
    ASSERT_TRUE(sheet.Load(Dir->Write("m.cue", OneTrackSheet("album.be", "MOTOROLA"))));
    EXPECT_TRUE(ReadAll(*sheet.Files[0]) == *Pcm);
    // An odd start still takes the partner byte of its pair.
    EXPECT_EQ(ReadAt(*sheet.Files[0], 1001, 5), Pcm->substr(1001, 5));
}

TEST_F(AudioFiles, OtherRatesDepthsAndChannelsAreRefusedWithTheirDescription)
{
    const std::string pcm = Pcm->substr(0, 44100 * 4);
    WriteWave(*Dir, "r48.wav", pcm, 48000);
    WriteWave(*Dir, "mono.wav", pcm, 44100, 1);
    WriteWave(*Dir, "b24.wav", pcm.substr(0, 44100 * 3), 44100, 2, 24);
    ASSERT_TRUE(RunEncoder("flac -s -o " + Quoted(Dir->File("r48.flac")) + " " + Quoted(Dir->File("r48.wav"))));
    ASSERT_TRUE(RunEncoder("flac -s -o " + Quoted(Dir->File("b24.flac")) + " " + Quoted(Dir->File("b24.wav"))));
    ASSERT_TRUE(RunEncoder("wavpack -q -y " + Quoted(Dir->File("mono.wav")) + " -o " + Quoted(Dir->File("mono.wv"))));
    ASSERT_TRUE(
        RunEncoder("lame --quiet -m m " + Quoted(Dir->File("album.wav")) + " " + Quoted(Dir->File("mono.mp3"))));
    const std::string head = "Invalid CUE SHEET command at line 1\nUnable to find or open FILE\n";
    const std::string rule = "; audio must be 44,100 Hz, 16-bit, stereo";
    EXPECT_EQ(RefusalOf("r48.flac"), head + "r48.flac: 48,000 Hz, 16-bit, 2 channels" + rule);
    EXPECT_EQ(RefusalOf("b24.flac"), head + "b24.flac: 44,100 Hz, 24-bit, 2 channels" + rule);
    EXPECT_EQ(RefusalOf("mono.wv"), head + "mono.wv: 44,100 Hz, 16-bit, 1 channel" + rule);
    EXPECT_EQ(RefusalOf("mono.mp3"), head + "mono.mp3: 44,100 Hz, MP3, 1 channel" + rule);
}

// A STREAMINFO count of 2^36 - 1 samples is taken as stated, and the disc is refused as too long for a CD.
TEST_F(AudioFiles, AStatedCountLongerThanAnyDiscIsRefusedNamingTheFile)
{
    Damaged("b4096.flac", "huge.flac", [](std::string& bytes) {
        bytes[21] = static_cast<char>(bytes[21] | 0x0F);
        std::fill(bytes.begin() + 22, bytes.begin() + 26, '\xFF');
    });
    EXPECT_EQ(RefusalOf("huge.flac"),
              "Invalid CUE SHEET command at line 1\nThe disc is too long for a CD\n"
              "the disc would be 25971:06:59 long; a CD holds at most 99:59:74 (line 1, huge.flac)");
}

TEST_F(AudioFiles, DamageFailsTheReadNamingTheFileAndTheTime)
{
    const auto middle = [](std::string& bytes) { bytes[bytes.size() / 2] ^= 0x55; };
    const auto cut = [](std::string& bytes) { bytes.resize(bytes.size() * 2 / 3); };
    // The MD5 signature is the last 16 bytes of STREAMINFO, which follows "fLaC" and a 4-byte header.
    const auto signature = [](std::string& bytes) { bytes[30] ^= 1; };
    EXPECT_EQ(DamageOf(Damaged("b4096.flac", "crc.flac", middle)).rfind("crc.flac: damaged", 0), 0U);
    EXPECT_NE(DamageOf(Damaged("b4096.flac", "cut.flac", cut)).find("cut.flac: "), std::string::npos);
    EXPECT_EQ(DamageOf(Damaged("b4096.flac", "md5.flac", signature)),
              "md5.flac: the decoded audio does not match the MD5 signature of the stream at 00:20:00 (FLAC)");
    EXPECT_EQ(DamageOf(Damaged("album.wv", "crc.wv", middle)).rfind("crc.wv: decoder error", 0), 0U);
    EXPECT_NE(DamageOf(Damaged("album.wv", "cut.wv", cut)).find("cut.wv: "), std::string::npos);
    // The time is where decoding stopped: in the middle, or two thirds in.
    EXPECT_NE(DamageOf(Dir->File("crc.wv")).find(" at 00:10:"), std::string::npos);
    EXPECT_NE(DamageOf(Dir->File("cut.flac")).find(" at 00:13:"), std::string::npos);
}

} // namespace
