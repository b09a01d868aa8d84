// SPDX-License-Identifier: GPL-3.0-or-later
#include "cuesheet/Cuetrack.h"

namespace {

struct TTypeInfo
{
    std::int32_t SectorSize;
    std::int32_t Mode;
};

constexpr TTypeInfo TYPE_INFO[] = {
    {0, -1},   // ttNone
    {2352, 0}, // ttAudio
    {2448, 0}, // ttCdg: audio followed by 96 bytes of R-W packs
    {2048, 1}, // ttMode1_2048
    {2352, 1}, // ttMode1_2352
    {2336, 2}, // ttMode2_2336
    {2352, 2}, // ttMode2_2352
    {2336, 2}, // ttCdi_2336
    {2352, 2}, // ttCdi_2352
};

} // namespace

std::int32_t TrackTypeSectorSize(TTrackType type)
{
    return type <= ttCdi_2352 ? TYPE_INFO[type].SectorSize : 0;
}

std::int32_t TrackTypeMode(TTrackType type)
{
    return type <= ttCdi_2352 ? TYPE_INFO[type].Mode : -1;
}

void TLuCueTrack::SetType(TTrackType type)
{
    if (type < ttAudio || type > ttCdi_2352)
    {
        Type = ttNone;
        return;
    }
    Type = type;
    SetFlag(CONTROL_DATA, type != ttAudio && type != ttCdg);
}

void TLuCueTrack::SetIndex(std::uint32_t number, std::int32_t position)
{
    if (number > MAX_INDEX)
        return;
    const auto n = static_cast<std::int32_t>(number);
    Index[number] = position;
    if (n > LastIndexNo)
        LastIndexNo = n;
    if (n == 0)
    {
        FirstIndexNo = 0;
        Start = position;
    }
    else if (n == 1 && FirstIndexNo == -1)
    {
        FirstIndexNo = 1;
        Start = position;
    }
}

std::int32_t TLuCueTrack::GetIndexPos(std::uint32_t number) const
{
    return number <= MAX_INDEX ? Index[number] : 0;
}

std::int32_t TLuCueTrack::GetIndexCount() const
{
    if (FirstIndexNo == -1 || LastIndexNo == -1)
        return 0;
    const std::int32_t count = LastIndexNo - FirstIndexNo + 1;
    return FirstIndexNo == 0 ? count - 1 : count;
}

std::int32_t TLuCueTrack::GetIndexLength(std::uint32_t number) const
{
    if (number > MAX_INDEX || static_cast<std::int32_t>(number) < FirstIndexNo)
        return 0;
    if (number == 0 && PregapFileIndex >= 0)
        return PregapEnd > Index[0] ? PregapEnd - Index[0] : 0;
    const std::int64_t length = static_cast<std::int32_t>(number) == LastIndexNo ? std::int64_t(End) - Index[number]
                                : number == MAX_INDEX                            ? 0
                                                      : std::int64_t(Index[number + 1]) - Index[number];
    return length < 0 ? 0 : static_cast<std::int32_t>(length);
}

std::int64_t TLuCueTrack::GetIndexBytes(std::uint32_t number) const
{
    return std::int64_t(GetIndexLength(number)) * GetSectorSize();
}

std::int32_t TLuCueTrack::GetPregapLength() const
{
    return GetIndexLength(0) + Pregap;
}

std::int32_t TLuCueTrack::GetPlayedLength() const
{
    std::int32_t length = 0;
    for (std::int32_t i = 1; i <= GetIndexCount(); ++i)
        length += GetIndexLength(static_cast<std::uint32_t>(i));
    return length;
}
