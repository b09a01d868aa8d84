// SPDX-License-Identifier: GPL-3.0-or-later
// The disc layout as the preview shows it, and the plain-text report built from it.
#pragma once

#include <string>
#include <vector>

class TLuCueSheet;

inline constexpr const char* NOT_SPECIFIED = "Not Specified";
inline constexpr const char* SUBQ_PATCH_LABEL = "Subchannel patches: ";
inline constexpr const char* IGNORED_LINES_LABEL = "Ignored lines: ";

struct TDiscLayout
{
    std::string NumTracks = "0";
    std::string TotalTime = "00:00:00";
    std::string Catalog = NOT_SPECIFIED;
    std::string CdTextFile = NOT_SPECIFIED;
    bool HasCdTextFile = false; // the path is shown in the path boxes' font
    std::string SubQPatches;    // "16 Q frames from Game.sbi"; empty without a side-car
    std::vector<std::string> Lines;
    // The sheet's lines that are no command, "5: TRAKC 02 AUDIO"; usually none.
    std::vector<std::string> IgnoredLines;
    // Remarks after the track list, such as a track decoded from a lossy file; usually none.
    std::vector<std::string> Notes;
};

// The column header of the track list (75 characters).
std::string LayoutHeader();
TDiscLayout BuildDiscLayout(const TLuCueSheet& sheet);
// Line-feed separated report, exactly as put on the clipboard.
std::string BuildLayoutReport(const TDiscLayout& layout);
