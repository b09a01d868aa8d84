// SPDX-License-Identifier: GPL-3.0-or-later
// The disc as every reader and writer sees it: sessions of tracks of indexes, the TOC, the catalogue
// and the CD-TEXT packs. The sheet fills it (TLuCueSheet::BuildDiscModel) with where each track's sectors
// come from, and its layout tables are made from it; the .ccd writer writes it and the .ccd reader fills
// it again from a set's control file, so both sides compare like with like.
#pragma once

#include "synthesis/Msf.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

inline constexpr std::uint8_t POINT_FIRST_TRACK = 0xA0;
inline constexpr std::uint8_t POINT_LAST_TRACK = 0xA1;
inline constexpr std::uint8_t POINT_LEAD_OUT = 0xA2;
// In a lead-in followed by another session: where that session's program area starts.
inline constexpr std::uint8_t POINT_NEXT_SESSION = 0xB0;
inline constexpr std::uint8_t ADR_POINTER = 5; // the mode-5 Q of B0

// One descriptor of the full TOC, its times as binary minutes, seconds and frames.
struct TTocEntry
{
    std::uint8_t Session = 1;
    std::uint8_t Point = 0;
    std::uint8_t Adr = 1;
    std::uint8_t Control = 0; // the four flag bits, not shifted
    std::uint8_t TrackNo = 0;
    TMsf A{};
    TMsf P{};
    std::uint8_t Zero = 0; // the byte between: B0 counts the mode-5 pointers here

    bool operator==(const TTocEntry&) const = default;
};

// Entries of one point: the same Session, ADR and Point.
bool SameTocPoint(const TTocEntry& a, const TTocEntry& b);
// "point 0xa2 of session 1", as messages name an entry.
std::string TocEntryName(const TTocEntry& entry);

// What a run of sectors is made of: a data file's bytes, or a gap that the sheet adds.
enum TAddressKind : std::int32_t
{
    akFile = 0,
    akPregap = 1,
    akPostgap = 2,
    akLeadOut = 3,
};

// Consecutive sectors of one index of a track, from one place.
struct TDiscExtent
{
    std::int32_t Index = 0;
    TAddressKind Kind = akFile;
    std::int32_t Lba = 0;
    std::int32_t Length = 0;  // sectors, never 0
    std::int32_t File = 0;    // akFile: the sheet's file number
    std::int64_t Offset = 0;  // akFile: bytes into that file

    bool operator==(const TDiscExtent&) const = default;
};

struct TDiscIndex
{
    std::int32_t Number = 0;
    std::int32_t Lba = 0;

    bool operator==(const TDiscIndex&) const = default;
};

struct TDiscTrack
{
    std::int32_t Number = 0;
    std::int32_t Mode = -1;   // 0 audio, 1, 2; -1 when not known
    std::uint8_t Control = 0; // of its TOC entry, not shifted
    std::string Isrc;
    std::vector<TDiscIndex> Indexes; // ascending; the first track's index 0 before LBA 0 is not held
    // In address order; a sheet's model has them, a control file's has none. The first track's start
    // with the 150 sectors before LBA 0 is the first.
    std::vector<TDiscExtent> Extents;

    // The LBA of that index, or -1.
    std::int32_t IndexLba(std::int32_t number) const;

    bool operator==(const TDiscTrack&) const = default;
};

// Sectors by LBA, First up to End.
struct TLbaRange
{
    std::int32_t First = 0;
    std::int32_t End = 0;

    bool operator==(const TLbaRange&) const = default;
};

// The sectors in the ranges.
std::int64_t SectorCount(const std::vector<TLbaRange>& ranges);

struct TDiscSession
{
    std::int32_t Number = 1;
    std::vector<TDiscTrack> Tracks; // ascending track numbers

    bool operator==(const TDiscSession&) const = default;
};

using TCdTextEntry = std::array<std::uint8_t, 16>; // a pack without its two CRC bytes

struct TDiscModel
{
    std::vector<TDiscSession> Sessions{1};
    std::vector<TTocEntry> Toc; // every session's descriptors, in the order written
    std::string Catalog;
    bool HasCdText = false; // a CD-TEXT block, which may hold no packs
    std::vector<TCdTextEntry> CdText;

    // The track of that number in any session, or null.
    const TDiscTrack* FindTrack(std::int32_t number) const;
    // The lead-out of a session from its A2 descriptor (absolute, LBA + 150); 0 without one.
    std::int32_t LeadOutAddress(std::int32_t session = 1) const;
    // The lead-out that ends the disc: the last session's.
    std::int32_t DiscLeadOutAddress() const;
    // The sectors a set's .img and .sub hold, one after another: each session's program area from
    // LBA 0 or its first track's index 1 (the pregap before it is not stored) up to its lead-out.
    std::vector<TLbaRange> StoredRanges() const;

    bool operator==(const TDiscModel&) const = default;
};

// Why an entry given whole cannot lie over the TOC composed from the tracks, empty when it can: its
// session is not the disc's, or it replaces a composed entry of its point (SameTocPoint) and moves
// what the tracks fix: the track numbers of A0 and A1, the address of A2 and of a track, a track's
// control, B0's start of the next session.
std::string TocEntryConflict(const TDiscModel& composed, const TTocEntry& entry);
// Lays the entries over the composed TOC: each replaces its composed one or, failing that, goes after
// its session's A0 to B0 and before its tracks, in their order. Returns the index of the first that
// cannot, with TocEntryConflict's reason in problem, and leaves disc alone then; entries.size() when
// all were laid.
std::size_t ApplyTocEntries(TDiscModel& disc, const std::vector<TTocEntry>& entries, std::string& problem);
