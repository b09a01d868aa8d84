// SPDX-License-Identifier: GPL-3.0-or-later
#include "synthesis/Msf.h"

#include "text/Asciitext.h"

#include <cstdio>

bool StrToMsf(std::string_view text, TMsf& msf)
{
    if (text.size() != 8 || text[2] != ':' || text[5] != ':')
        return false;
    auto pair = [&](std::size_t at) {
        std::int32_t v = -1;
        if (!TryStrToInt(text.substr(at, 2), v))
            v = -1;
        return static_cast<std::uint32_t>(v);
    };
    const std::uint32_t minute = pair(0);
    const std::uint32_t second = pair(3);
    const std::uint32_t frame = pair(6);
    if (minute > 98 || second > 59 || frame > 74)
        return false;
    msf.Reserved = 0;
    msf.Minute = static_cast<std::uint8_t>(minute);
    msf.Second = static_cast<std::uint8_t>(second);
    msf.Frame = static_cast<std::uint8_t>(frame);
    return true;
}

std::string MsfToStr(TMsf msf)
{
    char text[16];
    std::snprintf(text, sizeof text, "%.2u:%.2u:%.2u", unsigned(msf.Minute), unsigned(msf.Second), unsigned(msf.Frame));
    return text;
}

std::string FramesToStr(std::int64_t frames)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2lld:%.2lld:%.2lld", static_cast<long long>(frames / FRAMES_PER_MINUTE),
                  static_cast<long long>(frames / FRAMES_PER_SECOND % 60),
                  static_cast<long long>(frames % FRAMES_PER_SECOND));
    return text;
}

TMsf FramesToMsf(std::uint32_t frames)
{
    TMsf msf;
    msf.Minute = static_cast<std::uint8_t>(frames / FRAMES_PER_SECOND / 60);
    msf.Second = static_cast<std::uint8_t>(frames / FRAMES_PER_SECOND % 60);
    msf.Frame = static_cast<std::uint8_t>(frames % FRAMES_PER_SECOND);
    return msf;
}

std::int32_t MsfToFrames(TMsf msf)
{
    return (msf.Minute * 60 + msf.Second) * FRAMES_PER_SECOND + msf.Frame;
}
