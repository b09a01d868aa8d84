// SPDX-License-Identifier: GPL-3.0-or-later
#include "cuesheet/Lucue.h"
#include "cuesheet/Sectorcomposer.h"

#include "support/ImageOracle.h"
#include "support/Pattern.h"
#include "support/TempDir.h"
#include "synthesis/Subcode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <thread>
#include <vector>

namespace {

using Frame = std::array<std::uint8_t, 12>;

// The P (bit 7) or Q (bit 6) channel of a symbol block as a 12-byte frame.
Frame ChannelOf(const TSubBlock& block, int bit)
{
    Frame frame{};
    for (int k = 0; k < 96; ++k)
        frame[k / 8] |= static_cast<std::uint8_t>(((block[k] >> bit) & 1) << (7 - k % 8));
    return frame;
}
Frame POf(const TSubBlock& block)
{
    return ChannelOf(block, 7);
}
Frame QOf(const TSubBlock& block)
{
    return ChannelOf(block, 6);
}

bool IsPause(const TSubBlock& block)
{
    const Frame p = POf(block);
    EXPECT_TRUE(std::all_of(p.begin(), p.end(), [&](std::uint8_t b) { return b == p[0]; })) << "mixed P frame";
    return p[0] == 0xFF;
}

bool QCrcValid(const Frame& q)
{
    const std::uint16_t crc = oracle::QCrc(q.data(), 10);
    return q[10] == (crc >> 8) && q[11] == (crc & 0xFF);
}

// Q check over symbols 0-3 and P check over the whole pack of a CD+G pack.
bool PackParityValid(const std::uint8_t* pack)
{
    return oracle::PackQCheckHolds(pack) && oracle::PackPCheckHolds(pack);
}

class ComposeTest : public ::testing::Test
{
protected:
    void Load(const std::string& text)
    {
        ASSERT_TRUE(Sheet.Load(Dir.Write("disc.cue", text))) << std::hex << Sheet.ErrorCode;
    }
    void Compose(std::uint32_t address)
    {
        Main.fill(0x5A);
        Sub.fill(0x5A);
        ASSERT_TRUE(Composer.ComposeSector(address, &Main, &Sub, Options));
    }
    TTempDir Dir;
    TLuCueSheet Sheet;
    // One composer for the test, as a conversion has one for its run.
    TSectorComposer Composer{Sheet};
    TComposeOptions Options;
    TRawSector Main{};
    TSubBlock Sub{};
};

TEST_F(ComposeTest, AudioTrackPositionFramesAndPauseFlag)
{
    const std::string audio = Pattern(750 * 2352, 3);
    Dir.Write("a.bin", audio);
    Load("FILE a.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n");

    Compose(150);
    EXPECT_TRUE(std::equal(Main.begin(), Main.end(), audio.begin(),
                           [](std::uint8_t a, char b) { return a == static_cast<std::uint8_t>(b); }));
    EXPECT_TRUE(IsPause(Sub));
    EXPECT_EQ(QOf(Sub), (Frame{0x01, 0x01, 0x01, 0, 0, 0, 0, 0, 0x02, 0x00, 0x5A, 0x28}));
    EXPECT_TRUE(std::all_of(Sub.begin(), Sub.end(), [](std::uint8_t b) { return (b & 0x3F) == 0; }));

    for (std::uint32_t a = 151; a < 900; ++a)
    {
        Compose(a);
        ASSERT_EQ(IsPause(Sub), a >= 751) << a;
        const Frame q = QOf(Sub);
        ASSERT_TRUE(QCrcValid(q)) << a;
        ASSERT_EQ(q[0], 0x01);
        // Relative time counts up from index 1; absolute time is the address.
        ASSERT_EQ(q[5], oracle::Bcd((a - 150) % 75));
        ASSERT_EQ(q[9], oracle::Bcd(a % 75));
    }
    Compose(160);
    EXPECT_EQ(0, std::memcmp(Main.data(), audio.data() + 10 * 2352, 2352));

    Compose(149);
    EXPECT_TRUE(std::all_of(Main.begin(), Main.end(), [](std::uint8_t b) { return b == 0; }));
    EXPECT_TRUE(IsPause(Sub));
    EXPECT_EQ(QOf(Sub), (Frame{0x01, 0x01, 0x00, 0, 0, 0, 0, 0, 0x01, 0x74, 0x76, 0xBB}));
    Compose(0);
    EXPECT_FALSE(IsPause(Sub));
    EXPECT_EQ(QOf(Sub)[3], 0x00);
    EXPECT_EQ(QOf(Sub)[4], 0x01);
    EXPECT_EQ(QOf(Sub)[5], 0x74) << "the first pregap counts down from 00:01:74";

    for (std::uint32_t a : {900u, 901u, 100000u})
    {
        Compose(a);
        EXPECT_TRUE(std::all_of(Main.begin(), Main.end(), [](std::uint8_t b) { return b == 0; }));
        EXPECT_TRUE(std::all_of(Sub.begin(), Sub.end(), [](std::uint8_t b) { return b == 0; }));
    }

    // Null buffers are neither built nor read.
    EXPECT_TRUE(Composer.ComposeSector(150, nullptr, &Sub, Options));
    EXPECT_TRUE(Composer.ComposeSector(150, &Main, nullptr, Options));
    EXPECT_TRUE(Composer.ComposeSector(150, nullptr, nullptr, Options));

    TLuCueSheet empty;
    Main.fill(7);
    EXPECT_FALSE(TSectorComposer(empty).ComposeSector(150, &Main, &Sub, Options));
    EXPECT_EQ(Main[0], 7);
}

TEST_F(ComposeTest, CookedMode1SectorsGetSyncHeaderEdcAndEcc)
{
    const std::string user = Pattern(20 * 2048 + 1000, 9);
    Dir.Write("d.bin", user);
    Load("FILE d.bin BINARY\nTRACK 01 MODE1/2048\nINDEX 01 00:00:00\n");
    Compose(150);
    const std::uint8_t head[16] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                   0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x02, 0x00, 0x01};
    EXPECT_EQ(0, std::memcmp(Main.data(), head, 16));
    EXPECT_EQ(0, std::memcmp(Main.data() + 16, user.data(), 2048));
    EXPECT_TRUE(std::all_of(Main.begin() + 2068, Main.begin() + 2076, [](std::uint8_t b) { return b == 0; }));
    EXPECT_EQ(oracle::StoredEdc(Main.data()), oracle::Edc(Main.data(), 2064));
    EXPECT_TRUE(oracle::Mode1EccValid(Main.data()));
    EXPECT_EQ(QOf(Sub)[0], 0x41);

    // The last sector exists only in part: the rest of its user data is zero.
    Compose(170);
    EXPECT_TRUE(oracle::HeaderMatches(Main.data(), 170, 1));
    EXPECT_EQ(0, std::memcmp(Main.data() + 16, user.data() + 20 * 2048, 1000));
    EXPECT_TRUE(std::all_of(Main.begin() + 16 + 1000, Main.begin() + 2064, [](std::uint8_t b) { return b == 0; }));
    EXPECT_TRUE(oracle::Mode1EccValid(Main.data()));
}

TEST_F(ComposeTest, RawDataSectorsAreRepairedOnlyWhenAsked)
{
    std::string raw = Pattern(4 * 2352, 1);
    raw[12] = 0x77; // a damaged header in the first sector
    Dir.Write("m1.bin", raw);
    Dir.Write("m2.bin", raw);
    Load("FILE m1.bin BINARY\nTRACK 01 MODE1/2352\nINDEX 01 00:00:00\nFILE m2.bin BINARY\nTRACK 02 MODE2/2352\nINDEX "
         "01 00:00:00\n");

    Options.CorrectEdcEcc = false;
    Compose(150);
    EXPECT_EQ(0, std::memcmp(Main.data(), raw.data(), 2352));
    Compose(154);
    EXPECT_EQ(0, std::memcmp(Main.data(), raw.data(), 2352));

    Options.CorrectEdcEcc = true;
    Compose(150);
    EXPECT_TRUE(oracle::HeaderMatches(Main.data(), 150, 1));
    EXPECT_EQ(0, std::memcmp(Main.data() + 16, raw.data() + 16, 2048));
    EXPECT_TRUE(std::all_of(Main.begin() + 2068, Main.begin() + 2076, [](std::uint8_t b) { return b == 0; }));
    EXPECT_EQ(oracle::StoredEdc(Main.data()), oracle::Edc(Main.data(), 2064));
    EXPECT_TRUE(oracle::Mode1EccValid(Main.data()));
    // Mode 2: only sync and header are rewritten.
    Compose(154);
    EXPECT_TRUE(oracle::HeaderMatches(Main.data(), 154, 2));
    EXPECT_EQ(0, std::memcmp(Main.data() + 16, raw.data() + 16, 2352 - 16));
}

TEST_F(ComposeTest, GeneratedGapsOfDataTracksAreSectorsOfTheirMode)
{
    Dir.WriteZeros("a.bin", 10 * 2352);
    Dir.Write("b.bin", Pattern(10 * 2048, 4));
    Dir.Write("c.bin", Pattern(10 * 2336, 5));
    Load("FILE a.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nPOSTGAP 00:00:02\n"
         "FILE b.bin BINARY\nTRACK 02 MODE1/2048\nPREGAP 00:00:03\nINDEX 01 00:00:00\nPOSTGAP 00:00:02\n"
         "FILE c.bin BINARY\nTRACK 03 MODE2/2336\nPREGAP 00:00:02\nINDEX 01 00:00:00\n");
    // Audio postgap 160-161: zero sectors.
    Compose(160);
    EXPECT_TRUE(std::all_of(Main.begin(), Main.end(), [](std::uint8_t b) { return b == 0; }));
    // Mode 1 pregap 162-164 and postgap 175-176.
    for (std::uint32_t a : {162u, 164u, 175u, 176u})
    {
        Compose(a);
        EXPECT_TRUE(oracle::HeaderMatches(Main.data(), static_cast<int>(a), 1)) << a;
        EXPECT_TRUE(std::all_of(Main.begin() + 16, Main.begin() + 2064, [](std::uint8_t b) { return b == 0; }));
        EXPECT_EQ(oracle::StoredEdc(Main.data()), oracle::Edc(Main.data(), 2064));
        EXPECT_TRUE(oracle::Mode1EccValid(Main.data()));
    }
    // Mode 2 pregap 177-178, then the file's sectors behind a fresh header.
    Compose(177);
    EXPECT_TRUE(oracle::HeaderMatches(Main.data(), 177, 2));
    EXPECT_TRUE(std::all_of(Main.begin() + 16, Main.end(), [](std::uint8_t b) { return b == 0; }));
    Compose(179);
    EXPECT_TRUE(oracle::HeaderMatches(Main.data(), 179, 2));
    EXPECT_EQ(0, std::memcmp(Main.data() + 16, Pattern(2336, 5).data(), 2336));
}

TEST_F(ComposeTest, CdgPacksComeThroughWithFreshParity)
{
    std::string cdg;
    for (int s = 0; s < 5; ++s)
    {
        cdg += Pattern(2352, static_cast<std::uint8_t>(s));
        std::string packs = Pattern(96, static_cast<std::uint8_t>(40 + s));
        for (char& c : packs)
            c = static_cast<char>(c & 0xFF); // bits 7 and 6 are of no account
        cdg += packs;
    }
    Dir.Write("g.bin", cdg);
    Load("FILE g.bin BINARY\nTRACK 01 CDG\nINDEX 01 00:00:00\nPOSTGAP 00:00:02\n");
    for (int s = 0; s < 5; ++s)
    {
        Compose(static_cast<std::uint32_t>(150 + s));
        EXPECT_EQ(0, std::memcmp(Main.data(), cdg.data() + s * 2448, 2352));
        const std::uint8_t* packs = reinterpret_cast<const std::uint8_t*>(cdg.data()) + s * 2448 + 2352;
        for (int p = 0; p < 4; ++p)
        {
            EXPECT_TRUE(PackParityValid(Sub.data() + 24 * p)) << s << "/" << p;
            for (int i : {0, 1, 4, 10, 19})
                EXPECT_EQ(Sub[24 * p + i] & 0x3F, packs[24 * p + i] & 0x3F);
        }
        // Without a main buffer the packs are read on their own and come out the same.
        TSubBlock alone{};
        ASSERT_TRUE(Composer.ComposeSector(static_cast<std::uint32_t>(150 + s), nullptr, &alone, Options));
        EXPECT_EQ(alone, Sub);
    }
    Compose(155); // postgap: no packs
    EXPECT_TRUE(std::all_of(Sub.begin(), Sub.end(), [](std::uint8_t b) { return (b & 0x3F) == 0; }));
}

TEST_F(ComposeTest, IsrcAndCatalogueFramesFollowTheSchedule)
{
    Dir.WriteZeros("a.bin", 2000 * 2352);
    Load("CATALOG 0123456789012\nFILE a.bin BINARY\nTRACK 01 AUDIO\nISRC ABCDE1234567\nINDEX 01 00:00:00\n");
    ASSERT_EQ(Sheet.IsrcInterval, 98);
    ASSERT_EQ(Sheet.IsrcOffset, 163);
    std::vector<std::uint32_t> isrc, mcn;
    for (std::uint32_t a = 150; a < 2150; ++a)
    {
        Compose(a);
        const Frame q = QOf(Sub);
        ASSERT_TRUE(QCrcValid(q)) << a;
        if ((q[0] & 0x0F) == 3)
        {
            isrc.push_back(a);
            EXPECT_EQ((Frame{q[1], q[2], q[3], q[4], q[5], q[6], q[7], q[8]}),
                      (Frame{0x45, 0x24, 0xD4, 0x54, 0x12, 0x34, 0x56, 0x70}));
        }
        else if ((q[0] & 0x0F) == 2)
        {
            mcn.push_back(a);
            EXPECT_EQ((Frame{q[1], q[2], q[3], q[4], q[5], q[6], q[7], q[8]}),
                      (Frame{0x01, 0x23, 0x45, 0x67, 0x89, 0x01, 0x20, 0x00}));
        }
        if ((q[0] & 0x0F) != 1)
        {
            EXPECT_EQ(q[9], oracle::Bcd(a % 75));
        }
    }
    ASSERT_FALSE(isrc.empty());
    EXPECT_EQ(isrc.front(), 163u);
    for (std::uint32_t a : isrc)
        EXPECT_EQ((a - 163) % 98, 0u);
    ASSERT_FALSE(mcn.empty());
    for (std::uint32_t a : mcn)
    {
        EXPECT_EQ((a - Sheet.McnOffset) % Sheet.McnInterval, 0u);
        EXPECT_NE((a - 163) % 98, 0u) << "the ISRC frame wins";
    }
}

TEST_F(ComposeTest, ShortPauseRaisesTheFlagAheadOfTheNextTrack)
{
    // Track 2 has an INDEX 00 of 75 sectors; track 1 ends at 10 seconds.
    Dir.WriteZeros("a.bin", 1500 * 2352);
    Load(
        "FILE a.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nINDEX 00 00:10:00\nINDEX 01 00:11:00\n");
    // Track 1 covers 150-899, the pause 900-974, index 1 of track 2 starts at 975.
    for (std::uint32_t a = 151; a < 900; ++a)
    {
        Compose(a);
        ASSERT_EQ(IsPause(Sub), a > 825) << a; // within 150 sectors of 975
    }
    Compose(900);
    EXPECT_FALSE(IsPause(Sub)) << "its previous row is not a generated pregap";
    for (std::uint32_t a = 901; a <= 975; ++a)
    {
        Compose(a);
        ASSERT_TRUE(IsPause(Sub)) << a;
    }
    Compose(976);
    EXPECT_FALSE(IsPause(Sub));
    // Relative time of the pause counts down to 0 on its last sector.
    Compose(974);
    EXPECT_EQ(QOf(Sub)[2], 0x00);
    EXPECT_EQ(QOf(Sub)[5], 0x00);
    Compose(900);
    EXPECT_EQ(QOf(Sub)[5], 0x74);
}

// A file shortened after the load fails the read that falls short, never gives zeros for its bytes;
// the sectors it still holds compose as before.
TEST_F(ComposeTest, DataFileShortenedAfterLoadFailsTheReadThatFallsShort)
{
    Dir.Write("a.bin", Pattern(100 * 2352, 2));
    Load("FILE a.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n");
    std::filesystem::resize_file(Dir.File("a.bin"), 10 * 2352);
    Sheet.ReleaseReadAhead();
    EXPECT_THROW(Compose(200), ESourceChanged);
    Compose(151);
    EXPECT_EQ(0, std::memcmp(Main.data(), Pattern(2 * 2352, 2).data() + 2352, 2352));
}

} // namespace

namespace {

// Every track type, pregaps, postgaps, index 0 counting down, ISRC and catalogue frames, CD+G packs,
// and a file that ends inside a sector.
class MixedDiscTest : public ComposeTest
{
protected:
    void SetUp() override
    {
        Dir.Write("d.bin", Pattern(300 * 2048, 1));
        Dir.Write("a.bin", Pattern(400 * 2352 + 1000, 2));
        Dir.Write("x.bin", Pattern(200 * 2336 + 77, 3));
        Dir.Write("k.bin", Pattern(300 * 2448, 4));
        Dir.Write("r.bin", Pattern(300 * 2352, 5));
        Load("CATALOG 0123456789012\n"
             "FILE d.bin BINARY\nTRACK 01 MODE1/2048\nINDEX 01 00:00:00\nPOSTGAP 00:00:30\n"
             "FILE a.bin BINARY\nTRACK 02 AUDIO\nISRC ABCDE1234567\nPREGAP 00:00:20\nINDEX 00 00:00:00\n"
             "INDEX 01 00:01:00\nINDEX 02 00:03:00\n"
             "FILE x.bin BINARY\nTRACK 03 MODE2/2336\nINDEX 00 00:00:00\nINDEX 01 00:00:40\n"
             "FILE k.bin BINARY\nTRACK 04 CDG\nINDEX 01 00:00:00\n"
             "FILE r.bin BINARY\nTRACK 05 MODE1/2352\nPREGAP 00:00:10\nINDEX 01 00:00:00\nTRACK 06 AUDIO\n"
             "INDEX 01 00:02:00\n");
    }
};

// Runs of any length, cut at row ends, give what composing one sector at a time gives.
TEST_F(MixedDiscTest, RunsEqualSectorsOneByOne)
{
    const auto end = static_cast<std::uint32_t>(Sheet.LeadOutAddress() + 10);
    for (const std::int32_t length : {1, 7, 256})
    {
        std::vector<TRawSector> main(static_cast<std::size_t>(length));
        std::vector<TSubChannel> sub(main.size());
        std::uint32_t address = 0;
        while (address < end)
        {
            const std::int32_t n = Composer.ComposeRun(address, length, main.data(), sub.data(), Options);
            ASSERT_GT(n, 0) << address;
            for (std::int32_t s = 0; s < n; ++s, ++address)
            {
                Compose(address);
                const auto i = static_cast<std::size_t>(s);
                ASSERT_EQ(Main, main[i]) << "length " << length << ", address " << address;
                TSubBlock block = sub[i].Packs;
                MergePQ(block, sub[i].P, sub[i].Q);
                ASSERT_EQ(Sub, block) << "length " << length << ", address " << address;
                ASSERT_EQ(sub[i].HasPacks,
                          std::any_of(block.begin(), block.end(), [](std::uint8_t b) { return b & 0x3F; }));
            }
        }
    }
}

// Conversions of one loaded sheet share its sources; each composer's runs still read what they would alone.
TEST_F(MixedDiscTest, ComposersOnTwoThreadsDoNotDisturbEachOther)
{
    const auto end = static_cast<std::uint32_t>(Sheet.LeadOutAddress());
    const auto composeAll = [&](std::vector<TRawSector>& main, std::vector<TSubChannel>& sub) {
        TSectorComposer composer(Sheet);
        main.resize(end);
        sub.resize(end);
        for (std::uint32_t a = 0; a < end;)
            a += static_cast<std::uint32_t>(composer.ComposeRun(a, 1, &main[a], &sub[a], TComposeOptions{}));
    };
    std::vector<TRawSector> alone;
    std::vector<TSubChannel> aloneSub;
    composeAll(alone, aloneSub);
    std::array<std::vector<TRawSector>, 2> main;
    std::array<std::vector<TSubChannel>, 2> sub;
    for (int round = 0; round < 20; ++round)
    {
        std::thread other([&] { composeAll(main[1], sub[1]); });
        composeAll(main[0], sub[0]);
        other.join();
        for (std::size_t t = 0; t < 2; ++t)
        {
            ASSERT_TRUE(main[t] == alone) << "round " << round;
            for (std::uint32_t a = 0; a < end; ++a)
                ASSERT_TRUE(sub[t][a].Packs == aloneSub[a].Packs && sub[t][a].Q == aloneSub[a].Q) << a;
        }
    }
}

} // namespace
