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
    // A session's first stored sector: the packs still in the de-interleaver ended in the lead-out
    // before it, which the set does not hold, so they cannot be checked.
    void Restart(std::int64_t position);

private:
    TVerifyState& State;
    std::int64_t PacksFed = 0;
    std::int64_t FirstPack = 0; // the first pack of the stored run being fed
    std::int32_t ZeroPacksFed = INTERLEAVE_DEPTH;
    TSubCodeErrorCorrect RwEcc;
    TSubCodeDeInterLeave DeInterleaver;
};
