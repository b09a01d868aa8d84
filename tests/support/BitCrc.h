// SPDX-License-Identifier: GPL-3.0-or-later
// The CRC of Q frames and CD-TEXT packs, computed one bit at a time.
#pragma once

#include <cstdint>
#include <span>

// Bit-serial CRC-16, register 0, polynomial 0x1021, inverted at the end.
inline std::uint16_t BitwiseCrc(std::span<const std::uint8_t> data)
{
    unsigned reg = 0;
    for (const std::uint8_t b : data)
        for (int bit = 7; bit >= 0; --bit)
        {
            const bool top = ((reg >> 15) ^ (b >> bit)) & 1;
            reg = ((reg << 1) ^ (top ? 0x1021 : 0)) & 0xFFFF;
        }
    return static_cast<std::uint16_t>(reg ^ 0xFFFF);
}
