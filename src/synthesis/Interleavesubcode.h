// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// R-W interleave of the recording direction: symbol k of a pack leaves k mod 8 packs later, and
// symbols 1/18, 2/5 and 3/23 swap places. Packs must come in disc order; whole bytes move, so
// the caller clears the P and Q bits first (SplitPQ) and restores them afterwards (MergePQ).

#include <array>
#include <cstdint>
#include <span>

#include "synthesis/Sector.h"

inline constexpr std::size_t INTERLEAVE_DEPTH = 8;

class TSubCodeInterLeave
{
public:
    TSubCodeInterLeave() = default;

    // Interleaves size / 24 consecutive packs in place (four per sector).
    void InterleavePacks(std::span<std::uint8_t> packs) noexcept;
    void InterleavePack(std::span<std::uint8_t, PACK_SIZE> pack) noexcept;
    // True when the last eight packs were all zero: zero packs then pass unchanged.
    bool IsIdle() const noexcept { return ZeroRun >= INTERLEAVE_DEPTH; }

private:
    // Ring of the last eight packs: slot Head is the newest, slot (Head - d) & 7 came d packs earlier.
    std::array<std::array<std::uint8_t, PACK_SIZE>, INTERLEAVE_DEPTH> History{};
    std::size_t Head = 0;
    // Packs in a row that were all zero, capped at the depth: at the cap the history is all zero.
    std::size_t ZeroRun = INTERLEAVE_DEPTH;
};

// The reading direction: packs as recorded go in, in disc order; each call gives back the pack
// that went into the interleaver seven packs earlier (all zero for the first seven calls).
class TSubCodeDeInterLeave
{
public:
    TSubCodeDeInterLeave() = default;

    void DeInterleavePack(std::span<std::uint8_t, PACK_SIZE> pack) noexcept;

private:
    std::array<std::array<std::uint8_t, PACK_SIZE>, INTERLEAVE_DEPTH> History{};
    std::size_t Head = 0;
};
