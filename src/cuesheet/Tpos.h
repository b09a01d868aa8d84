// Disc positions: minutes:seconds:frames records, frame counts and their text form.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

inline constexpr std::int32_t FRAMES_PER_SECOND = 75;
inline constexpr std::int32_t FRAMES_PER_MINUTE = 60 * FRAMES_PER_SECOND;

// Byte 0 is lowest when the record travels as one 32-bit value.
struct TMsf
{
    std::uint8_t Reserved = 0;
    std::uint8_t Minute = 0;
    std::uint8_t Second = 0;
    std::uint8_t Frame = 0;
};
static_assert(sizeof(TMsf) == 4);

// True for an exact "mm:ss:ff" with minutes 0..98; msf is written only then.
bool StrToMsf(std::string_view text, TMsf& msf);
std::string MsfToStr(TMsf msf);
// "mm:ss:ff" of a frame count of any size: the minutes take as many digits as they need.
std::string FramesToStr(std::int64_t frames);
TMsf FramesToMsf(std::uint32_t frames);
std::int32_t MsfToFrames(TMsf msf);
