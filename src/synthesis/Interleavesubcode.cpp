// SPDX-License-Identifier: GPL-3.0-or-later
#include "synthesis/Interleavesubcode.h"

#include <algorithm>
#include <cstring>

namespace {

struct TTap
{
    std::uint8_t Delay;  // packs back in the history
    std::uint8_t Source; // symbol of that pack
};

constexpr std::array<TTap, PACK_SIZE> MakeTaps()
{
    std::array<TTap, PACK_SIZE> taps{};
    for (std::size_t k = 0; k < PACK_SIZE; ++k)
        taps[k] = {static_cast<std::uint8_t>(k % INTERLEAVE_DEPTH), static_cast<std::uint8_t>(k)};
    constexpr std::array<std::array<std::uint8_t, 2>, 3> swaps = {{{1, 18}, {2, 5}, {3, 23}}};
    for (const auto& s : swaps)
    {
        taps[s[0]].Source = s[1];
        taps[s[1]].Source = s[0];
    }
    return taps;
}
constexpr std::array<TTap, PACK_SIZE> TAPS = MakeTaps();
static_assert(TAPS[1].Delay == 1 && TAPS[1].Source == 18 && TAPS[18].Delay == 2 && TAPS[18].Source == 1);
static_assert(TAPS[23].Delay == 7 && TAPS[23].Source == 3 && TAPS[5].Delay == 5 && TAPS[5].Source == 2);

bool IsZero(std::span<const std::uint8_t> bytes) noexcept
{
    std::uint64_t any = 0;
    std::size_t i = 0;
    for (; i + 8 <= bytes.size(); i += 8)
    {
        std::uint64_t word;
        std::memcpy(&word, bytes.data() + i, sizeof word);
        any |= word;
    }
    for (; i < bytes.size(); ++i)
        any |= bytes[i];
    return any == 0;
}

} // namespace

void TSubCodeInterLeave::InterleavePacks(std::span<std::uint8_t> packs) noexcept
{
    const std::size_t count = packs.size() / PACK_SIZE;
    // Zero packs into a zero history give zero packs and leave the history zero: nothing to do.
    if (ZeroRun >= INTERLEAVE_DEPTH && IsZero(packs.first(count * PACK_SIZE)))
        return;
    for (std::size_t p = 0; p < count; ++p)
        InterleavePack(packs.subspan(p * PACK_SIZE).first<PACK_SIZE>());
}

void TSubCodeInterLeave::InterleavePack(std::span<std::uint8_t, PACK_SIZE> pack) noexcept
{
    Head = (Head + 1) % INTERLEAVE_DEPTH;
    std::copy(pack.begin(), pack.end(), History[Head].begin());
    ZeroRun = IsZero(pack) ? std::min(ZeroRun + 1, INTERLEAVE_DEPTH) : 0;
    for (std::size_t k = 0; k < PACK_SIZE; ++k)
        pack[k] = History[(Head - TAPS[k].Delay) % INTERLEAVE_DEPTH][TAPS[k].Source];
}

void TSubCodeDeInterLeave::DeInterleavePack(std::span<std::uint8_t, PACK_SIZE> pack) noexcept
{
    Head = (Head + 1) % INTERLEAVE_DEPTH;
    std::copy(pack.begin(), pack.end(), History[Head].begin());
    // Recorded symbol k of pack m came from pack m - (k mod 8); pack Head - 7 is complete now.
    constexpr std::size_t OLDEST = INTERLEAVE_DEPTH - 1;
    for (std::size_t k = 0; k < PACK_SIZE; ++k)
        pack[TAPS[k].Source] = History[(Head + INTERLEAVE_DEPTH - OLDEST + TAPS[k].Delay) % INTERLEAVE_DEPTH][k];
}
