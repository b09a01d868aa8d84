// SPDX-License-Identifier: GPL-3.0-or-later
// The bytes of CD-TEXT files for tests: sound ones, and ones with a chosen fault.
#pragma once

#include "support/BitCrc.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>

// count title packs of block 0 (at most 256), sequence numbers from 0, each closed with its CRC.
inline std::string CdTextFileBytes(std::size_t count = 2)
{
    std::string out(count * 18, '\0');
    for (std::size_t i = 0; i < count; ++i)
    {
        std::array<std::uint8_t, 18> pack = {
            0x80, static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i), 0, 'T', 'e', 'x', 't'};
        const std::uint16_t crc = BitwiseCrc(std::span<const std::uint8_t>(pack.data(), 16));
        pack[16] = static_cast<std::uint8_t>(crc >> 8);
        pack[17] = static_cast<std::uint8_t>(crc);
        std::copy(pack.begin(), pack.end(), out.begin() + static_cast<std::ptrdiff_t>(i * 18));
    }
    return out;
}
