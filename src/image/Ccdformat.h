// SPDX-License-Identifier: GPL-3.0-or-later
// The control file's vocabulary, shared by its writer and its reader: section and key names as
// written (the reader matches them without regard to ASCII case), and its TOC entry rows.
#pragma once

#include "cuesheet/Discmodel.h"

#include <cstdint>
#include <string>
#include <string_view>

inline constexpr std::string_view CCD_CLONECD = "CloneCD";
inline constexpr std::string_view CCD_VERSION = "Version";

inline constexpr std::string_view CCD_DISC = "Disc";
inline constexpr std::string_view CCD_TOC_ENTRIES = "TocEntries";
inline constexpr std::string_view CCD_SESSIONS = "Sessions";
inline constexpr std::string_view CCD_DATA_TRACKS_SCRAMBLED = "DataTracksScrambled";
inline constexpr std::string_view CCD_CD_TEXT_LENGTH = "CDTextLength";
inline constexpr std::string_view CCD_CATALOG = "CATALOG";

inline constexpr std::string_view CCD_CD_TEXT = "CDText";
inline constexpr std::string_view CCD_CD_TEXT_ENTRIES = "Entries";
inline constexpr std::string_view CCD_CD_TEXT_ENTRY = "Entry"; // "Entry n", a key of [CDText]

inline constexpr std::string_view CCD_SESSION = "Session"; // "[Session n]", and a key of [Entry n]
inline constexpr std::string_view CCD_PRE_GAP_MODE = "PreGapMode";
inline constexpr std::string_view CCD_PRE_GAP_SUBC = "PreGapSubC";

inline constexpr std::string_view CCD_ENTRY = "Entry"; // "[Entry n]"
inline constexpr std::string_view CCD_POINT = "Point";
inline constexpr std::string_view CCD_ADR = "ADR";
inline constexpr std::string_view CCD_CONTROL = "Control";
inline constexpr std::string_view CCD_TRACK_NO = "TrackNo";
inline constexpr std::string_view CCD_A_MIN = "AMin";
inline constexpr std::string_view CCD_A_SEC = "ASec";
inline constexpr std::string_view CCD_A_FRAME = "AFrame";
inline constexpr std::string_view CCD_A_LBA = "ALBA";
inline constexpr std::string_view CCD_ZERO = "Zero";
inline constexpr std::string_view CCD_P_MIN = "PMin";
inline constexpr std::string_view CCD_P_SEC = "PSec";
inline constexpr std::string_view CCD_P_FRAME = "PFrame";
inline constexpr std::string_view CCD_P_LBA = "PLBA";

inline constexpr std::string_view CCD_TRACK = "TRACK"; // "[TRACK n]"
inline constexpr std::string_view CCD_MODE = "MODE";
inline constexpr std::string_view CCD_ISRC = "ISRC";
inline constexpr std::string_view CCD_INDEX = "INDEX"; // "INDEX n", a key of [TRACK n]

// "Entry 3", "TRACK 12": a numbered section or key.
std::string CcdNumbered(std::string_view name, std::int32_t number);

// One [Entry n] section: a TOC entry with the LBAs the file writes beside its times.
struct TCcdEntry
{
    std::int32_t Line = 0; // of the section header
    std::int32_t Number = 0;
    std::int32_t Session = 1;
    std::int32_t Point = 0;
    std::int32_t Adr = 1;
    std::int32_t Control = 0; // the four flag bits, not shifted
    std::int32_t TrackNo = 0;
    std::int32_t AMin = 0, ASec = 0, AFrame = 0, ALba = 0;
    std::int32_t Zero = 0;
    std::int32_t PMin = 0, PSec = 0, PFrame = 0, PLba = 0;
};

// The one conversion between a TOC entry and its section; LBAs count from the address 150. Reading
// back takes the times and leaves the LBAs, which the verifier checks against them.
TCcdEntry CcdEntryOf(const TTocEntry& entry);
TTocEntry TocEntryOf(const TCcdEntry& entry);
