// SPDX-License-Identifier: GPL-3.0-or-later
// What the verifier's checks share: the .ccd as read, its tracks in order, the track of the sector
// being checked, and the report the findings go to.
#pragma once

#include "image/Ccdreader.h"
#include "image/Verifyreport.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

struct TTrackInfo
{
    std::int32_t Number = 0;
    std::int32_t Session = 1;
    std::int32_t Control = 0;
    std::int32_t Mode = 0;
    std::int32_t StartLba = 0;
    std::int32_t Index1Lba = 0;
    std::vector<TDiscIndex> Indexes;
    std::string Isrc;
};

bool AllZero(const std::uint8_t* p, std::size_t n);

struct TVerifyState
{
    TVerifyState(const TCcdDisc& disc, TVerifyReport& report, std::size_t maxFindings)
        : Disc(disc), Report(report), MaxFindings(maxFindings), Ranges(disc.Model.StoredRanges())
    {}

    // Counts a problem and keeps it among the first MaxFindings by address.
    void Add(TFindingKind kind, std::int32_t lba, std::string text);
    // Tracks and their report rows from the TOC entries of every session; needs Report.Sectors.
    void BuildTracks();
    const TTrackInfo& Track() const { return Tracks[Current]; }
    // The LBA of the sector at that place in the .img and .sub, and back: the sessions' program areas
    // lie one after another there. Places past them run on from the last; an LBA in a gap between
    // sessions gives the place of the next session's first sector.
    std::int32_t LbaOf(std::int64_t position) const;
    std::int64_t PositionOf(std::int32_t lba) const;
    // Where the track's sectors end: the next track's index 1 in its session, else its session's lead-out.
    std::int32_t NextStartAfter(std::size_t track) const;

    const TCcdDisc& Disc;
    TVerifyReport& Report;
    std::size_t MaxFindings;
    std::vector<TTrackInfo> Tracks;
    std::vector<TLbaRange> Ranges;      // of the control file's disc, as the files hold them
    std::vector<std::int32_t> LeadOuts; // each session's A2 LBA, -1 without one
    std::int64_t StoredSectors = 0;     // whole and partial sectors in the .img
    // What the .img holds, counted as the report's header counts it: "N sectors", or "N whole sectors
    // and a partial one".
    std::string ImageExtent() const;
    std::size_t Current = 0;            // track of the sector being checked
    bool HasTracks = false;
    bool LibCryptDisc = false;
};
