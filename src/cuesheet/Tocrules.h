// SPDX-License-Identifier: GPL-3.0-or-later
// What a full TOC may hold, one rule for the sheet's REM TOC-ENTRY lines and a set's control file: the
// loader refuses the line of an entry that breaks it, the verifier reports the entry, the export leaves
// it out of the sheet it writes.
#pragma once

#include "cuesheet/Discmodel.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// What a control file's [Entry n] sections hold; its reader refuses a file past these.
inline constexpr std::size_t TOC_MAX_ENTRIES = 1000;
inline constexpr unsigned TOC_MAX_TRACK_NO = 99;
inline constexpr unsigned TOC_MAX_A_SECOND = 59;
inline constexpr unsigned TOC_MAX_A_FRAME = 74;
inline constexpr std::int32_t TOC_MAX_LBA = 255 * FRAMES_PER_MINUTE; // of ALBA and PLBA

enum TTocRule : std::uint8_t
{
    trEntryCount,   // more entries than a control file holds
    trTime,         // an A or P time past the LBAs a control file holds
    trAdr,          // an ADR its point does not take
    trNoTrack,      // a track point the disc has no track for
    trTrackSession, // a track point in another session than its track's
    trLastPointer,  // B0 in the last of several sessions
    trLeadOutLimit, // B0's latest lead-out before the disc's last one, or past what a Q frame holds
};

struct TTocFault
{
    std::size_t Entry = 0; // in the disc's Toc
    TTocRule Rule = trEntryCount;
    std::string Reason;
};

// The faults of disc.Toc against the disc's sessions and tracks, in the order of the entries; an entry
// may have several. Entries of a session the disc lacks are the caller's to name.
std::vector<TTocFault> TocFaults(const TDiscModel& disc);
