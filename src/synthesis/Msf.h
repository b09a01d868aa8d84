// SPDX-License-Identifier: GPL-3.0-or-later
// Disc positions: minutes:seconds:frames records, frame counts, and their BCD and text forms.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

inline constexpr std::int32_t FRAMES_PER_SECOND = 75;
inline constexpr std::int32_t FRAMES_PER_MINUTE = 60 * FRAMES_PER_SECOND;
// Absolute address of LBA 0: the first track's two-second pregap is never written.
inline constexpr std::int32_t PROGRAM_START = 2 * FRAMES_PER_SECOND;

// Byte 0 is lowest when the record travels as one 32-bit value.
struct TMsf
{
    std::uint8_t Reserved = 0;
    std::uint8_t Minute = 0;
    std::uint8_t Second = 0;
    std::uint8_t Frame = 0;

    bool operator==(const TMsf&) const = default;
};
static_assert(sizeof(TMsf) == 4);

// True for an exact "mm:ss:ff" with minutes 0..98; msf is written only then.
bool StrToMsf(std::string_view text, TMsf& msf);
std::string MsfToStr(TMsf msf);
// "mm:ss:ff" of a frame count of any size: the minutes take as many digits as they need.
std::string FramesToStr(std::int64_t frames);
TMsf FramesToMsf(std::uint32_t frames);
std::int32_t MsfToFrames(TMsf msf);

// Values of 100 and more (minutes past 99) go through the same formula and wrap to 8 bits.
constexpr std::uint8_t ToBcd(unsigned v)
{
    return static_cast<std::uint8_t>(v / 10 * 16 + v % 10);
}
static_assert(ToBcd(0) == 0x00 && ToBcd(74) == 0x74 && ToBcd(99) == 0x99);
constexpr bool IsBcd(std::uint8_t b)
{
    return (b >> 4) <= 9 && (b & 0x0F) <= 9;
}
// -1 when a digit is past 9.
constexpr int FromBcd(std::uint8_t b)
{
    return IsBcd(b) ? (b >> 4) * 10 + (b & 0x0F) : -1;
}

// Minute, second and frame of a frame count in BCD, as sector headers and Q frames carry them.
constexpr void PutBcdMsf(std::span<std::uint8_t, 3> bcd, std::uint32_t frames)
{
    bcd[0] = ToBcd(frames / FRAMES_PER_MINUTE);
    bcd[1] = ToBcd(frames / FRAMES_PER_SECOND % 60);
    bcd[2] = ToBcd(frames % FRAMES_PER_SECOND);
}
// The frame count of a BCD minute, second and frame, or -1 when a byte is not BCD. Seconds and
// frames are not range-checked: 00:75:00 counts as 75 seconds.
constexpr std::int32_t BcdMsfToFrames(std::span<const std::uint8_t, 3> bcd)
{
    const int m = FromBcd(bcd[0]), s = FromBcd(bcd[1]), f = FromBcd(bcd[2]);
    return m < 0 || s < 0 || f < 0 ? -1 : (m * 60 + s) * FRAMES_PER_SECOND + f;
}
