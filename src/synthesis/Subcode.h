// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Q frame payloads and the bit moves between P/Q frames, symbol blocks and channel records.
//
// Symbol block: byte k holds P bit k in bit 7, Q bit k in bit 6 and R-W symbol k in bits 5-0.
// Channel record: channels P, Q, R, S, T, U, V, W of 12 bytes each; byte j of a channel holds
// symbols 8j..8j+7, the lower-numbered symbol in the more significant bit.

#include <cstdint>
#include <span>
#include <string_view>

#include "synthesis/Sector.h"

// Expect texts the sheet reader validated: 12 ISRC characters, 13 catalogue digits. A shorter
// text reads as if padded with characters of code 0. Both write Q bytes 1-8 only.
bool BuildIsrcPayload(std::string_view isrc, std::span<std::uint8_t, Q_FRAME_SIZE> qFrame) noexcept;
bool BuildMcnPayload(std::string_view catalog, std::span<std::uint8_t, Q_FRAME_SIZE> qFrame) noexcept;

// Sets bits 7 and 6 of every block byte from the P and Q frames; bits 5-0 stay.
void MergePQ(std::span<std::uint8_t, SUBCODE_SIZE> block, std::span<const std::uint8_t, Q_FRAME_SIZE> pFrame,
             std::span<const std::uint8_t, Q_FRAME_SIZE> qFrame) noexcept;

// Takes the P and Q frames out of the block and clears bits 7 and 6, leaving the R-W symbols.
void SplitPQ(std::span<std::uint8_t, SUBCODE_SIZE> block, std::span<std::uint8_t, Q_FRAME_SIZE> pFrame,
             std::span<std::uint8_t, Q_FRAME_SIZE> qFrame) noexcept;

// Writes the eight 12-byte channels P..W of one channel record.
void SymbolsToChannels(std::span<const std::uint8_t, SUBCODE_SIZE> block,
                       std::span<std::uint8_t, SUBCODE_SIZE> channels) noexcept;

// The inverse of SymbolsToChannels: a channel record back into a symbol block.
void ChannelsToSymbols(std::span<const std::uint8_t, SUBCODE_SIZE> channels,
                       std::span<std::uint8_t, SUBCODE_SIZE> block) noexcept;
