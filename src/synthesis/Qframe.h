// SPDX-License-Identifier: GPL-3.0-or-later
// The Q subchannel frame: built from a position, read back into fields, closed and checked by its CRC.
#pragma once

#include "synthesis/Lusubqcrc.h"
#include "synthesis/Sector.h"

#include <cstdint>
#include <span>

// The ADR nibble: what the frame's bytes 1-9 say.
inline constexpr int ADR_POSITION = 1;
inline constexpr int ADR_CATALOG = 2;
inline constexpr int ADR_ISRC = 3;

// Where a sector lies, as a position frame (ADR 1) says it. Times are frame counts.
struct TQPosition
{
    int Control = 0; // the four control bits, 0-15
    int Track = 0;
    int Index = 0;
    std::int32_t Relative = 0; // into the index; counts down in a pause
    std::int32_t Absolute = 0; // absolute address (LBA + 150)
};

// A frame read back. A field whose bytes are not BCD is -1; times are not range-checked.
struct TQFields
{
    int Control = 0;
    int Adr = 0;
    int Track = -1;
    int Index = -1;
    std::int32_t Relative = -1;
    std::int32_t Absolute = -1;
};

// The position frame with its CRC bytes (10-11) left zero.
TQFrame BuildPositionQ(const TQPosition& position) noexcept;
TQFields ParseQ(std::span<const std::uint8_t, Q_FRAME_SIZE> q) noexcept;

// Bytes 10-11 from bytes 0-9, high byte first; damaged gives the inverted CRC a protected disc carries.
inline void SetQCrc(std::span<std::uint8_t, Q_FRAME_SIZE> q, const TLuSubQCrc& crc, bool damaged = false) noexcept
{
    auto value = crc.Compute(q.first<Q_CRC_SPAN>());
    if (damaged)
        value = static_cast<std::uint16_t>(~value);
    q[10] = static_cast<std::uint8_t>(value >> 8);
    q[11] = static_cast<std::uint8_t>(value & 0xFF);
}

inline bool HasValidQCrc(std::span<const std::uint8_t, Q_FRAME_SIZE> q, const TLuSubQCrc& crc) noexcept
{
    return crc.Compute(q.first<Q_CRC_SPAN>()) == (q[10] << 8 | q[11]);
}
