// SPDX-License-Identifier: GPL-3.0-or-later
// One TRACK of a cue sheet: its type, flags, indexes and gaps.
#pragma once

#include "cuesheet/Cuetext.h"

#include <array>
#include <cstdint>
#include <string>

enum TTrackType : std::uint32_t
{
    ttNone = 0,
    ttAudio = 1,
    ttCdg = 2,
    ttMode1_2048 = 3,
    ttMode1_2352 = 4,
    ttMode2_2336 = 5,
    ttMode2_2352 = 6,
    ttCdi_2336 = 7,
    ttCdi_2352 = 8,
};

inline constexpr std::uint32_t CONTROL_PRE = 0x10;
inline constexpr std::uint32_t CONTROL_DCP = 0x20;
inline constexpr std::uint32_t CONTROL_DATA = 0x40;
inline constexpr std::uint32_t CONTROL_4CH = 0x80;
inline constexpr int MAX_INDEX = 99;

// Bytes per sector in the data file and mode number, by type code (0 for codes out of range).
std::int32_t TrackTypeSectorSize(TTrackType type);
std::int32_t TrackTypeMode(TTrackType type);

class TLuCueTrack
{
public:
    // All positions are frame counts from the start of the track's data file.
    TTrackType Type = ttNone;
    std::int32_t FileIndex = 0;
    std::int32_t Start = 0;
    std::int32_t End = 0;
    std::array<std::int32_t, MAX_INDEX + 1> Index{};
    std::int32_t FirstIndexNo = -1;
    std::int32_t LastIndexNo = -1;
    std::uint32_t Control = 0;
    std::int32_t Pregap = 0;
    std::int32_t Postgap = 0;
    std::string Isrc;
    TCueText Text; // TITLE, PERFORMER and the rest after this TRACK; its ISRC as well
    // A track whose INDEX 00 lies in the file before its own (rippers append gaps to the previous track's
    // file): that file and the position there just past the index 0 region. -1 when all is in FileIndex.
    std::int32_t PregapFileIndex = -1;
    std::int32_t PregapEnd = 0;
    std::int32_t Session = 1;

    // A code out of range leaves the track without a type.
    void SetType(TTrackType type);
    std::int32_t GetSectorSize() const { return TrackTypeSectorSize(Type); }

    void SetPreEmphasis(bool on) { SetFlag(CONTROL_PRE, on); }
    void SetCopyPermitted(bool on) { SetFlag(CONTROL_DCP, on); }
    void SetFourChannel(bool on) { SetFlag(CONTROL_4CH, on); }
    int GetPreEmphasis() const { return (Control & CONTROL_PRE) ? 1 : 0; }
    int GetCopyPermitted() const { return (Control & CONTROL_DCP) ? 1 : 0; }
    int GetFourChannel() const { return (Control & CONTROL_4CH) ? 1 : 0; }
    std::uint8_t GetControl() const { return static_cast<std::uint8_t>(Control & 0xF0); }

    void SetIndex(std::uint32_t number, std::int32_t position);
    std::int32_t GetIndexPos(std::uint32_t number) const;
    std::int32_t GetIndexCount() const;
    std::int32_t GetIndexLength(std::uint32_t number) const;
    std::int64_t GetIndexBytes(std::uint32_t number) const;
    std::int32_t GetPregapLength() const;
    // What a player plays as the track: index 1 and on, to the next track's pregap or the end of the
    // data. Neither gap counts: the pregap belongs before the track's start, the postgap is silence after it.
    std::int32_t GetPlayedLength() const;

private:
    void SetFlag(std::uint32_t bit, bool on) { Control = on ? (Control | bit) : (Control & ~bit); }
};
