// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Mode 1 EDC: CRC-32 with polynomial 0x8001801B taken LSB first (reflected 0xD8018001),
// register starting at 0, no final XOR. Stored little-endian at EDC_OFFSET.

#include <array>
#include <cstdint>
#include <span>

#include "synthesis/Sector.h"

inline constexpr std::size_t EDC_SLICES = 16; // bytes consumed per step
using TEdcTables = std::array<std::array<std::uint32_t, 256>, EDC_SLICES>;

// Slice 0 is the byte-at-a-time table; slice s advances a byte through s further zero bytes.
constexpr TEdcTables MakeEdcTables(std::uint32_t poly)
{
    TEdcTables tables{};
    for (std::uint32_t i = 0; i < 256; ++i)
    {
        std::uint32_t reg = i;
        for (int bit = 0; bit < 8; ++bit)
            reg = (reg & 1) ? (reg >> 1) ^ poly : reg >> 1;
        tables[0][i] = reg;
    }
    for (std::size_t s = 1; s < EDC_SLICES; ++s)
        for (std::size_t i = 0; i < 256; ++i)
            tables[s][i] = (tables[s - 1][i] >> 8) ^ tables[0][tables[s - 1][i] & 0xFF];
    return tables;
}
static_assert(MakeEdcTables(0xD8018001)[0][1] == 0x90910101);
static_assert(MakeEdcTables(0xD8018001)[0][128] == 0xD8018001);

class TLuEdc
{
public:
    TLuEdc() = default;

    // EDC of sector bytes 0-2063.
    std::uint32_t Compute(std::span<const std::uint8_t, SECTOR_SIZE> sector) const noexcept;
    // Continues a register over any bytes; Compute is Update(0, bytes 0-2063).
    std::uint32_t Update(std::uint32_t crc, std::span<const std::uint8_t> data) const noexcept;

private:
    TEdcTables Tables = MakeEdcTables(0xD8018001);
};
