// SPDX-License-Identifier: GPL-3.0-or-later
#include "image/Rwchecks.h"

#include "image/Verifystate.h"
#include "synthesis/Sector.h"
#include "synthesis/Subcode.h"
#include "text/Asciitext.h"

#include <algorithm>
#include <array>

void TRwChecker::Restart(std::int64_t position)
{
    DeInterleaver = TSubCodeDeInterLeave{};
    ZeroPacksFed = INTERLEAVE_DEPTH;
    PacksFed = FirstPack = position * std::int64_t(PACKS_PER_SECTOR);
}

void TRwChecker::Check(const std::uint8_t* record)
{
    const bool zero = AllZero(record + 2 * Q_FRAME_SIZE, SUBCODE_SIZE - 2 * Q_FRAME_SIZE);
    if (zero && ZeroPacksFed >= static_cast<std::int32_t>(INTERLEAVE_DEPTH))
    {
        PacksFed += PACKS_PER_SECTOR; // the history stays zero and every pack out is zero
        return;
    }
    TSubBlock block{};
    ChannelsToSymbols(std::span<const std::uint8_t, SUBCODE_SIZE>(record, SUBCODE_SIZE), block);
    for (std::size_t p = 0; p < PACKS_PER_SECTOR; ++p)
    {
        std::array<std::uint8_t, PACK_SIZE> pack{};
        for (std::size_t k = 0; k < PACK_SIZE; ++k)
            pack[k] = block[p * PACK_SIZE + k] & 0x3F;
        ZeroPacksFed = AllZero(pack.data(), PACK_SIZE) ? std::min<std::int32_t>(ZeroPacksFed + 1, INTERLEAVE_DEPTH) : 0;
        DeInterleaver.DeInterleavePack(pack);
        const std::int64_t original = PacksFed++ - static_cast<std::int64_t>(INTERLEAVE_DEPTH - 1);
        if (original < FirstPack || AllZero(pack.data(), PACK_SIZE))
            continue;
        std::array<std::uint8_t, PACK_SIZE> want = pack;
        RwEcc.SetQParity(want);
        RwEcc.SetPParity(want);
        const bool qBad = want[2] != pack[2] || want[3] != pack[3];
        const bool pBad = !std::equal(want.begin() + 20, want.end(), pack.begin() + 20);
        if (qBad || pBad)
        {
            const std::int32_t at = State.LbaOf(original / std::int64_t(PACKS_PER_SECTOR));
            State.Add(fkRwParity, at,
                      "R-W pack " + std::to_string(original % std::int64_t(PACKS_PER_SECTOR)) + " (" +
                          HexBytes(std::span(pack).first(4)) + " ...): " +
                          (qBad && pBad ? "P and Q"
                           : qBad       ? "Q"
                                        : "P") +
                          " parity fails");
        }
    }
}
