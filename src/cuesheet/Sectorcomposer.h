// SPDX-License-Identifier: GPL-3.0-or-later
// The sector composer: main channel and subchannel symbols of runs of absolute addresses, read from a
// loaded sheet's model and layout, which it never changes. It owns what a run changes (the read buffer,
// which source keeps its read-ahead, the coding objects), so every conversion makes its own. Composers
// of one sheet share its sources: a run holds its source's guard from the seek to the last read.
#pragma once

#include "cuesheet/Lucue.h"
#include "synthesis/Errorcorrectmode1.h"
#include "synthesis/Errorcorrectsubcode.h"
#include "synthesis/Lusubqcrc.h"

#include <array>
#include <cstdint>

class TSectorComposer
{
public:
    // Raises nothing: coding tables that cannot be had make the first sector that needs them raise.
    explicit TSectorComposer(const TLuCueSheet& sheet) noexcept : Sheet(sheet) {}
    TSectorComposer(const TSectorComposer&) = delete;
    TSectorComposer& operator=(const TSectorComposer&) = delete;

    // Either buffer may be null. False when no address row holds the address. Data file read errors
    // pass through as exceptions, and so does a coding step without its tables (no memory for them).
    bool ComposeSector(std::uint32_t address, TRawSector* main, TSubBlock* sub, const TComposeOptions& options);
    // Composes up to count sectors from address on, all of one address row: the run ends where the
    // row does. Either array may be null, else holds count entries. Returns the sectors composed,
    // 0 when no row holds the address. The sectors equal those of ComposeSector one by one.
    // With raw given, a main channel that is a data file's bytes unchanged is not read: main is left
    // as it was and raw says where the bytes are. raw->File is null when main was composed.
    std::int32_t ComposeRun(std::uint32_t address, std::int32_t count, TRawSector* main, TSubChannel* sub,
                            const TComposeOptions& options, TRawBytes* raw = nullptr);

private:
    using TRow = TLuCueSheet::TAddressTable;

    // The source of a file row, keeping one read-ahead buffer alive at a time, whatever the number of files.
    TLuCueFile* SourceOf(const TRow& row);
    // The main channel of n sectors of one row; CD+G packs read with it go to sub when given.
    void ComposeMain(const TRow& row, const TLuCueTrack& track, TLuCueFile* file, std::uint32_t address,
                     std::int64_t fileOffset, std::size_t n, TRawSector* main, TSubChannel* sub,
                     const TComposeOptions& options);
    void ComposeDataGap(const TLuCueTrack& track, std::uint32_t address, std::size_t n, TRawSector* main);
    // R-W packs: CD+G files carry them after each sector's audio; every other sector has none.
    void ComposePacks(bool cdg, TLuCueFile* file, std::int64_t fileOffset, bool packsRead, std::size_t n,
                      TSubChannel* sub);
    // P and Q of n sectors of row r from address on.
    void ComposePQ(std::int32_t r, const TLuCueTrack& track, std::uint32_t address, std::size_t n, TSubChannel* sub);

    const TLuCueSheet& Sheet;
    TLuSubQCrc SubQCrc;
    TMode1ErrorCorrect Mode1Ecc;
    TSubCodeErrorCorrect SubCodeEcc;
    std::array<std::uint8_t, 2448> ReadBuffer{};
    std::int32_t LastFileNumber = -1; // the one source whose read-ahead buffer is kept
};
