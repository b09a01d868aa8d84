// SPDX-License-Identifier: GPL-3.0-or-later
#include "cuesheet/Subqpatch.h"

#include "cuesheet/Lucue.h"
#include "cuesheet/Sectorcomposer.h"
#include "support/ImageOracle.h"
#include "support/Sidecar.h"
#include "support/TempDir.h"
#include "synthesis/Msf.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace {

using namespace sidecar;

// Lead-out of the example: 09:28:71 is the first sector past the disc.
constexpr std::int32_t LEAD_OUT = (9 * 60 + 28) * 75 + 71;

std::span<const std::uint8_t> AsBytes(const std::string& text)
{
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

TSubQPatchList Parse(const std::string& bytes, TSubQPatchFormat format, std::string& error)
{
    TSubQPatchList list;
    error = ParseSubQPatches(AsBytes(bytes), format, format == pfSbi ? "Game.sbi" : "Game.lsd", LEAD_OUT, list).Text();
    return list;
}

bool CrcValid(const TFrame& q)
{
    const std::uint16_t crc = oracle::QCrc(q.data(), 10);
    return q[10] == (crc >> 8) && q[11] == (crc & 0xFF);
}

TEST(SubQPatchParseTest, SbiRecordsOfEachTypeComeSortedWithTheirBytesInPlace)
{
    const std::string sbi = SBI_HEADER + Bytes({0x00, 0x02, 0x10, 0x03, 0x00, 0x02, 0x11}) + // type 3
                            Bytes({0x00, 0x02, 0x05, 0x02, 0x00, 0x00, 0x09}) +              // type 2
                            Bytes({0x00, 0x02, 0x00, 0x01, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10});  // type 1
    std::string error;
    const TSubQPatchList list = Parse(sbi, pfSbi, error);
    ASSERT_EQ(error, "");
    ASSERT_EQ(list.Patches.size(), 3u);
    EXPECT_TRUE(list.Warnings.empty());

    EXPECT_EQ(list.Patches[0].Address, 150);
    EXPECT_EQ(list.Patches[0].Kind, sqControl);
    EXPECT_EQ(list.Patches[0].Bytes, (TFrame{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0, 0}));
    EXPECT_EQ(list.Patches[1].Address, 155);
    EXPECT_EQ(list.Patches[1].Kind, sqRelative);
    EXPECT_EQ(list.Patches[1].Bytes, (TFrame{0, 0, 0, 0x00, 0x00, 0x09, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(list.Patches[2].Address, 160);
    EXPECT_EQ(list.Patches[2].Kind, sqAbsolute);
    EXPECT_EQ(list.Patches[2].Bytes, (TFrame{0, 0, 0, 0, 0, 0, 0, 0x00, 0x02, 0x11, 0, 0}));
}

TEST(SubQPatchParseTest, LsdRecordsKeepTheWholeFrame)
{
    const TFrame second = {0x41, 0x01, 0x01, 0x07, 0x06, 0x06, 0x00, 0x23, 0x08, 0x06, 0x12, 0x34};
    std::string error;
    const TSubQPatchList list = Parse(MedievilLsd() + LsdRecord({0x03, 0x08, 0x06}, second), pfLsd, error);
    ASSERT_EQ(error, "");
    ASSERT_EQ(list.Patches.size(), 2u);
    EXPECT_EQ(list.Patches[0].Address, 14105); // the .sub record 13955
    EXPECT_EQ(list.Patches[0].Kind, sqFrame);
    EXPECT_EQ(list.Patches[0].Bytes, MEDIEVIL_LSD);
    EXPECT_EQ(list.Patches[1].Address, 14106);
    EXPECT_EQ(list.Patches[1].Bytes, second);
    EXPECT_TRUE(list.Warnings.empty());
}

TEST(SubQPatchParseTest, EveryFaultIsRefusedWithItsOwnMessage)
{
    const std::string type1 = Bytes({0x03, 0x08, 0x05, 0x01}) + std::string(10, '\0');
    struct TCase
    {
        TSubQPatchFormat Format;
        std::string Bytes;
        std::string Message;
    };
    const std::vector<TCase> cases = {
        {pfSbi, "SBJ" + std::string(1, '\0') + type1, "Game.sbi: the header is not \"SBI\\0\""},
        {pfSbi, "SB", "Game.sbi: the header is not \"SBI\\0\""},
        {pfSbi, SBI_HEADER + type1 + type1.substr(0, 13), "Game.sbi: record 2 is cut short"},
        {pfSbi, SBI_HEADER + Bytes({0x03, 0x08}), "Game.sbi: record 1 is cut short"},
        {pfSbi, SBI_HEADER + Bytes({0x03, 0x08, 0x05, 0x02, 0x00}), "Game.sbi: record 1 is cut short"},
        {pfLsd, MedievilLsd() + MedievilLsd().substr(1), "Game.lsd: record 2 is cut short"},
        {pfSbi, SBI_HEADER + Bytes({0x03, 0x08, 0x05, 0x04, 0, 0, 0}), "Game.sbi: record 1 has type 4, not 1, 2 or 3"},
        {pfSbi, SBI_HEADER + Bytes({0x03, 0x08, 0x05, 0x00}), "Game.sbi: record 1 has type 0, not 1, 2 or 3"},
        {pfSbi, SBI_HEADER + Bytes({0x0A, 0x02, 0x00, 0x03, 0, 0, 0}),
         "Game.sbi: record 1 has the invalid address 0A:02:00"},
        {pfSbi, SBI_HEADER + Bytes({0x00, 0x60, 0x00, 0x03, 0, 0, 0}),
         "Game.sbi: record 1 has the invalid address 00:60:00"},
        {pfLsd, LsdRecord({0x00, 0x02, 0x75}, MEDIEVIL_LSD), "Game.lsd: record 1 has the invalid address 00:02:75"},
        {pfSbi, SBI_HEADER + Bytes({0x00, 0x01, 0x74, 0x03, 0, 0, 0}), "Game.sbi: sector 00:01:74 is outside the disc"},
        {pfSbi, SBI_HEADER + Bytes({0x09, 0x28, 0x71, 0x03, 0, 0, 0}), "Game.sbi: sector 09:28:71 is outside the disc"},
        {pfSbi,
         SBI_HEADER + type1 + Bytes({0x00, 0x02, 0x00, 0x03, 0, 0, 0}) + Bytes({0x03, 0x08, 0x05, 0x02, 0, 0, 0}),
         "Game.sbi: records 1 and 3 both patch sector 03:08:05"},
    };
    for (const TCase& c : cases)
    {
        TSubQPatchList list;
        list.Patches.resize(1);
        EXPECT_EQ(
            ParseSubQPatches(AsBytes(c.Bytes), c.Format, c.Format == pfSbi ? "Game.sbi" : "Game.lsd", LEAD_OUT, list)
                .Text(),
            c.Message);
        EXPECT_EQ(list.Patches.size(), 1u) << c.Message << ": a refused file changed the result";
    }
    // The last sector of the disc is inside it.
    std::string error;
    EXPECT_EQ(Parse(SBI_HEADER + Bytes({0x09, 0x28, 0x70, 0x03, 0, 0, 0}), pfSbi, error).Patches.size(), 1u);
    EXPECT_EQ(error, "");
}

TEST(SubQPatchParseTest, AnEmptySbiAndAValidLsdCrcOnlyWarn)
{
    std::string error;
    const TSubQPatchList empty = Parse(SBI_HEADER, pfSbi, error);
    EXPECT_EQ(error, "");
    EXPECT_TRUE(empty.Patches.empty());
    EXPECT_EQ(empty.Warnings, std::vector<std::string>{"Game.sbi: holds no records"});

    const TSubQPatchList undamaged = Parse(LsdRecord({0x03, 0x08, 0x05}, MEDIEVIL_UNDAMAGED), pfLsd, error);
    EXPECT_EQ(error, "");
    EXPECT_EQ(undamaged.Patches.size(), 1u);
    EXPECT_EQ(undamaged.Warnings,
              std::vector<std::string>{"Game.lsd: the frame at 03:08:05 has a valid CRC and protects nothing"});
}

TEST(SubQPatchParseTest, TheFormatFollowsTheExtensionThenTheHeader)
{
    const std::string lsd = MedievilLsd();
    EXPECT_EQ(SubQPatchFormatOf("/d/GAME.LSD", AsBytes(SBI_HEADER)), pfLsd);
    EXPECT_EQ(SubQPatchFormatOf("/d/game.Sbi", AsBytes(lsd)), pfSbi);
    EXPECT_EQ(SubQPatchFormatOf("/d/game.bin", AsBytes(SBI_HEADER)), pfSbi);
    EXPECT_EQ(SubQPatchFormatOf("/d.sbi/game", AsBytes(lsd)), pfLsd);
}

// A loaded one-track MODE2/2352 disc, with the side-car attached from the text given.
class SubQPatchSheetTest : public ::testing::Test
{
protected:
    void LoadDisc(const std::string& cue = "FILE \"GAME.BIN\" BINARY\nTRACK 01 MODE2/2352\nINDEX 01 00:00:00\n")
    {
        Dir.WriteZeros("GAME.BIN", std::uintmax_t(MEDIEVIL_DISC_SECTORS) * 2352);
        ASSERT_TRUE(Sheet.Load(Dir.Write("Game.cue", cue))) << Sheet.ErrorCode;
    }
    bool Attach(const std::string& name, const std::string& bytes)
    {
        Warnings.clear();
        Error = AttachSubQPatches(Sheet, Dir.Write(name, bytes), Warnings).Text();
        return Error.empty();
    }
    TFrame ComposedQ(std::int32_t address)
    {
        TSubBlock block{};
        EXPECT_TRUE(TSectorComposer(Sheet).ComposeSector(static_cast<std::uint32_t>(address), nullptr, &block, {}));
        TFrame q{};
        for (int k = 0; k < 96; ++k)
            q[static_cast<std::size_t>(k / 8)] |=
                static_cast<std::uint8_t>(((block[static_cast<std::size_t>(k)] >> 6) & 1) << (7 - k % 8));
        return q;
    }

    TTempDir Dir;
    TLuCueSheet Sheet;
    std::vector<std::string> Warnings;
    std::string Error;
};

TEST_F(SubQPatchSheetTest, SbiTypeOneKeepsTheBytesAndComplementsTheValidCrc)
{
    LoadDisc();
    ASSERT_TRUE(Attach("Game.sbi", MedievilSbi())) << Error;
    ASSERT_EQ(Sheet.SubQPatches.size(), 1u);
    const TSubQPatch& patch = Sheet.SubQPatches[0];
    EXPECT_EQ(patch.Kind, sqFrame);
    EXPECT_TRUE(std::equal(MEDIEVIL_LSD.begin(), MEDIEVIL_LSD.begin() + 10, patch.Bytes.begin()));
    const std::uint16_t valid = oracle::QCrc(patch.Bytes.data(), 10);
    EXPECT_EQ(patch.Bytes[10], static_cast<std::uint8_t>(~valid >> 8));
    EXPECT_EQ(patch.Bytes[11], static_cast<std::uint8_t>(~valid & 0xFF));
    EXPECT_FALSE(CrcValid(patch.Bytes));
    EXPECT_EQ(SubQPatchSummary(Sheet), "1 Q frame from Game.sbi");

    ASSERT_TRUE(Attach("Game.lsd", MedievilLsd())) << Error;
    EXPECT_EQ(Sheet.SubQPatches[0].Bytes, MEDIEVIL_LSD);
    EXPECT_EQ(Sheet.SubQPatchFile, Dir.File("Game.lsd"));
}

TEST_F(SubQPatchSheetTest, SbiTimesReplaceTheirFieldsInThePositionFrame)
{
    // A pregap counts the relative time down, so both directions are checked against the composer.
    Dir.WriteZeros("AUDIO.BIN", 3000 * 2352);
    LoadDisc("FILE \"GAME.BIN\" BINARY\nTRACK 01 MODE2/2352\nINDEX 01 00:00:00\n"
             "FILE \"AUDIO.BIN\" BINARY\nTRACK 02 AUDIO\nINDEX 00 00:00:00\nINDEX 01 00:02:00\n");
    const std::int32_t inPregap = 150 + MEDIEVIL_DISC_SECTORS + 10;
    const TMsf pregapMsf = FramesToMsf(static_cast<std::uint32_t>(inPregap));
    const std::string sbi =
        SBI_HEADER + Bytes({0x03, 0x08, 0x05, 0x02, 0x07, 0x06, 0x05}) +
        Bytes({ToBcd(pregapMsf.Minute), ToBcd(pregapMsf.Second), ToBcd(pregapMsf.Frame), 0x03, 0x23, 0x08, 0x05});
    ASSERT_TRUE(Attach("Game.sbi", sbi)) << Error;
    ASSERT_EQ(Sheet.SubQPatches.size(), 2u);

    TFrame relative = ComposedQ(14105);
    relative[3] = 0x07;
    TFrame absolute = ComposedQ(inPregap);
    absolute[7] = 0x23;
    absolute[8] = 0x08;
    absolute[9] = 0x05;
    for (auto [patch, expected] : {std::pair{Sheet.SubQPatches[0], relative}, {Sheet.SubQPatches[1], absolute}})
    {
        EXPECT_TRUE(std::equal(expected.begin(), expected.begin() + 10, patch.Bytes.begin())) << patch.Address;
        const std::uint16_t valid = oracle::QCrc(patch.Bytes.data(), 10);
        EXPECT_EQ((patch.Bytes[10] << 8) | patch.Bytes[11], valid ^ 0xFFFF) << patch.Address;
    }
}

TEST_F(SubQPatchSheetTest, ARefusedFileLeavesTheSheetAsItWas)
{
    LoadDisc();
    ASSERT_TRUE(Attach("Game.lsd", MedievilLsd())) << Error;
    EXPECT_FALSE(Attach("Game.sbi", SBI_HEADER + Bytes({0x09, 0x28, 0x71, 0x03, 0, 0, 0})));
    EXPECT_EQ(Error, "Game.sbi: sector 09:28:71 is outside the disc"); // past this short disc too
    EXPECT_EQ(Sheet.SubQPatchFile, Dir.File("Game.lsd"));
    EXPECT_EQ(Sheet.SubQPatches.size(), 1u);

    EXPECT_EQ(AttachSubQPatches(Sheet, Dir.File("None.sbi"), Warnings).Text(),
              "None.sbi: cannot be read (No such file or directory)");
    EXPECT_EQ(AttachSubQPatches(Sheet, Dir.Path().string(), Warnings).Text(),
              Dir.Path().filename().string() + ": cannot be read (not a regular file)");

    Sheet.Clear();
    EXPECT_TRUE(Sheet.SubQPatchFile.empty());
    EXPECT_TRUE(Sheet.SubQPatches.empty());

    // Two sessions: the set stores nothing from session 1's lead-out (00:06:00) to track 2's INDEX 01.
    Dir.WriteZeros("ONE.BIN", 300 * 2352);
    LoadDisc("REM SESSION 01\nFILE ONE.BIN BINARY\nTRACK 01 MODE2/2352\nINDEX 01 00:00:00\nREM SESSION 02\n"
             "FILE GAME.BIN BINARY\nTRACK 02 MODE2/2352\nINDEX 01 00:00:00\n");
    for (const auto& [msf, at] : {std::pair{Bytes({0, 6, 0}), "00:06:00"}, {Bytes({2, 0x37, 0x59}), "02:37:59"}})
        EXPECT_EQ(Attach("Game.sbi", SBI_HEADER + msf + Bytes({3, 0, 0, 0})) ? "" : Error,
                  "Game.sbi: sector " + std::string(at) +
                      " is in the gap before session 2, which the set does not store");
    EXPECT_TRUE(Attach("Game.sbi", SBI_HEADER + Bytes({2, 0x38, 0, 3, 0, 0, 0}))) << Error;
}

TEST(SubQPatchDiscoveryTest, TheCueBaseNameInItsFolderIgnoringCaseLsdFirst)
{
    TTempDir dir;
    const std::string cue = dir.Write("Game.cue", "");
    EXPECT_EQ(FindSubQPatchFile(cue), "");
    dir.Write("Game.cue.sbi", "");
    dir.Write("Other.sbi", "");
    std::filesystem::create_directory(dir.File("game.lsd"));
    EXPECT_EQ(FindSubQPatchFile(cue), "");

    dir.Write("GAME.SBI", "");
    EXPECT_EQ(FindSubQPatchFile(cue), dir.File("GAME.SBI"));
    dir.Write("game.sbi", ""); // two spellings: the first in byte order
    EXPECT_EQ(FindSubQPatchFile(cue), dir.File("GAME.SBI"));
    dir.Write("GAME.Lsd", "");
    EXPECT_EQ(FindSubQPatchFile(cue), dir.File("GAME.Lsd"));
    EXPECT_EQ(FindSubQPatchFile(dir.File("GAME")), dir.File("GAME.Lsd"));
}

} // namespace
