// SPDX-License-Identifier: GPL-3.0-or-later
#include "synthesis/Lusubqcrc.h"

std::uint16_t TLuSubQCrc::Compute(std::span<const std::uint8_t, Q_CRC_SPAN> data) const noexcept
{
    unsigned crc = 0;
    for (const std::uint8_t b : data)
        crc = (Table[(crc >> 8) ^ b] ^ (crc << 8)) & 0xFFFF;
    return static_cast<std::uint16_t>(crc ^ 0xFFFF);
}

std::uint16_t TLuSubQCrc::ComputeBytes(std::span<const std::uint8_t> data) const noexcept
{
    unsigned crc = 0;
    for (const std::uint8_t b : data)
        crc = (Table[(crc >> 8) ^ b] ^ (crc << 8)) & 0xFFFF;
    return static_cast<std::uint16_t>(crc ^ 0xFFFF);
}
