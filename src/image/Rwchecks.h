// SPDX-License-Identifier: GPL-3.0-or-later
// The verifier's check of the R-W channels: each pack, de-interleaved, against its P and Q parity.
#pragma once

#include "synthesis/Errorcorrectsubcode.h"
#include "synthesis/Interleavesubcode.h"

#include <cstdint>

struct TVerifyState;

class TRwChecker
{
public:
    explicit TRwChecker(TVerifyState& state) : State(state) {}

    // The next subchannel record; the packs come out of the de-interleaver some sectors later.
    void Check(const std::uint8_t* record);

private:
    TVerifyState& State;
    std::int64_t PacksFed = 0;
    std::int32_t ZeroPacksFed = INTERLEAVE_DEPTH;
    TSubCodeErrorCorrect RwEcc;
    TSubCodeDeInterLeave DeInterleaver;
};
