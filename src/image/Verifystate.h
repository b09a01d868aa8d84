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
    std::int32_t Control = 0;
    std::int32_t Mode = 0;
    std::int32_t StartLba = 0;
    std::int32_t Index1Lba = 0;
    std::vector<TDiscIndex> Indexes;
    std::string Isrc;
};

// Bytes as upper-case hex pairs, space-separated, as the findings quote them.
std::string Hex(std::span<const std::uint8_t> bytes);
bool AllZero(const std::uint8_t* p, std::size_t n);

struct TVerifyState
{
    TVerifyState(const TCcdDisc& disc, TVerifyReport& report, std::size_t maxFindings)
        : Disc(disc), Report(report), MaxFindings(maxFindings)
    {}

    // Counts a problem and keeps it among the first MaxFindings by address.
    void Add(TFindingKind kind, std::int32_t lba, std::string text);
    // Tracks and their report rows from the session 1 TOC entries; needs Report.Sectors.
    void BuildTracks();
    const TTrackInfo& Track() const { return Tracks[Current]; }

    const TCcdDisc& Disc;
    TVerifyReport& Report;
    std::size_t MaxFindings;
    std::vector<TTrackInfo> Tracks;
    std::int32_t LeadOutLba = -1;
    std::int64_t StoredSectors = 0; // whole and partial sectors in the .img
    // What the .img holds, counted as the report's header counts it: "N sectors", or "N whole sectors
    // and a partial one".
    std::string ImageExtent() const;
    std::size_t Current = 0; // track of the sector being checked
    bool HasTracks = false;
    bool LibCryptDisc = false;
};
