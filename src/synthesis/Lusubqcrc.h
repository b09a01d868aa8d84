// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// CRC-16 that closes every Q frame and every CD-TEXT pack: polynomial 0x1021, MSB first, start 0, result inverted.

#include <array>
#include <cstdint>
#include <span>

#include "synthesis/Sector.h"

constexpr std::array<std::uint16_t, 256> MakeCrc16Table(std::uint16_t poly)
{
    std::array<std::uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i)
    {
        unsigned reg = i << 8;
        for (int bit = 0; bit < 8; ++bit)
            reg = (reg & 0x8000) ? (reg << 1) ^ poly : reg << 1;
        table[i] = static_cast<std::uint16_t>(reg);
    }
    return table;
}
static_assert(MakeCrc16Table(0x1021)[1] == 0x1021);
static_assert(MakeCrc16Table(0x1021)[255] == 0x1EF0);

class TLuSubQCrc
{
public:
    TLuSubQCrc() = default;

    // Always reads Q frame bytes 0-9; the result goes high byte first into bytes 10-11.
    std::uint16_t Compute(std::span<const std::uint8_t, Q_CRC_SPAN> data) const noexcept;
    // The same CRC over any length; CD-TEXT packs close with it too.
    std::uint16_t ComputeBytes(std::span<const std::uint8_t> data) const noexcept;

private:
    std::array<std::uint16_t, 256> Table = MakeCrc16Table(0x1021);
};
