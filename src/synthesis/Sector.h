// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Raw sector and subchannel layouts shared by the coding units and the sector composer.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

inline constexpr std::size_t SECTOR_SIZE = 2352;
inline constexpr std::size_t SUBCODE_SIZE = 96; // one symbol block or one channel record
inline constexpr std::size_t Q_FRAME_SIZE = 12; // also the size of a P frame and of each channel
inline constexpr std::size_t Q_CRC_SPAN = 10;   // Q frame bytes covered by the CRC
inline constexpr std::size_t PACK_SIZE = 24;    // R-W symbols per pack
inline constexpr std::size_t PACKS_PER_SECTOR = 4;

// Mode 1 sector fields, byte offsets into the raw sector.
inline constexpr std::size_t SYNC_OFFSET = 0;
inline constexpr std::size_t SYNC_SIZE = 12;
inline constexpr std::size_t HEADER_OFFSET = 12; // minute, second, frame (BCD), mode
inline constexpr std::size_t MODE_OFFSET = 15;
inline constexpr std::size_t USER_DATA_OFFSET = 16;
inline constexpr std::size_t MODE1_USER_SIZE = 2048;
inline constexpr std::size_t MODE2_USER_SIZE = 2336;
inline constexpr std::size_t EDC_OFFSET = 2064; // little-endian, covers bytes 0-2063
inline constexpr std::size_t INTERMEDIATE_OFFSET = 2068;
inline constexpr std::size_t INTERMEDIATE_SIZE = 8;
inline constexpr std::size_t ECC_P_OFFSET = 2076;
inline constexpr std::size_t ECC_P_SIZE = 172;
inline constexpr std::size_t ECC_Q_OFFSET = 2248;
inline constexpr std::size_t ECC_Q_SIZE = 104;
static_assert(USER_DATA_OFFSET + MODE1_USER_SIZE == EDC_OFFSET);
static_assert(EDC_OFFSET + 4 == INTERMEDIATE_OFFSET && INTERMEDIATE_OFFSET + INTERMEDIATE_SIZE == ECC_P_OFFSET);
static_assert(ECC_P_OFFSET + ECC_P_SIZE == ECC_Q_OFFSET && ECC_Q_OFFSET + ECC_Q_SIZE == SECTOR_SIZE);
static_assert(USER_DATA_OFFSET + MODE2_USER_SIZE == SECTOR_SIZE);
static_assert(PACK_SIZE * PACKS_PER_SECTOR == SUBCODE_SIZE);

using TRawSector = std::array<std::uint8_t, SECTOR_SIZE>;
using TSubBlock = std::array<std::uint8_t, SUBCODE_SIZE>;
using TQFrame = std::array<std::uint8_t, Q_FRAME_SIZE>;
using TPack = std::span<std::uint8_t, PACK_SIZE>;

inline constexpr std::array<std::uint8_t, SYNC_SIZE> SYNC_PATTERN = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                                                     0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};

constexpr std::uint16_t GetLE16(std::span<const std::uint8_t, 2> b)
{
    return static_cast<std::uint16_t>(b[0] | b[1] << 8);
}

constexpr std::uint32_t GetLE32(std::span<const std::uint8_t, 4> b)
{
    return b[0] | b[1] << 8 | b[2] << 16 | std::uint32_t(b[3]) << 24;
}

constexpr void PutLE32(std::span<std::uint8_t, 4> b, std::uint32_t v)
{
    b[0] = static_cast<std::uint8_t>(v);
    b[1] = static_cast<std::uint8_t>(v >> 8);
    b[2] = static_cast<std::uint8_t>(v >> 16);
    b[3] = static_cast<std::uint8_t>(v >> 24);
}
