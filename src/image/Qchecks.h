// SPDX-License-Identifier: GPL-3.0-or-later
// The verifier's checks of the P and Q channels: CRCs, positions against the TOC, ISRC and
// catalogue frames, the P flag, and the LibCrypt protection frames.
#pragma once

#include "synthesis/Lusubqcrc.h"
#include "synthesis/Qframe.h"

#include <cstdint>

struct TVerifyState;
class TSideCarChecker;

class TQChecker
{
public:
    TQChecker(TVerifyState& state, TSideCarChecker& sideCar) : State(state), SideCar(sideCar) {}

    // The P and Q frames of the subchannel record at lba.
    void Check(std::int32_t lba, const std::uint8_t* record);

private:
    void CheckPFlag(std::int32_t lba, std::int32_t index);
    void CheckTextFrame(std::int32_t lba, const std::uint8_t* q, int adr);
    void CheckPosition(std::int32_t lba, const std::uint8_t* q, const TQFields& fields, std::int32_t index);
    std::int32_t ExpectedIndex(std::int32_t lba) const;
    void ExpectNextQ(std::int32_t lba, const std::uint8_t* q, std::int32_t index, std::int32_t relative);

    TVerifyState& State;
    TSideCarChecker& SideCar;
    TLuSubQCrc Crc;
    // The position frame the next sector holds when all runs on: one that passed, a frame on.
    TQFrame NextQ{};
    std::int32_t NextQLba = -1;
    std::int32_t NextQIndex = 0;
    std::int32_t NextQRelative = 0;
};
