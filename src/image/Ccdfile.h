// SPDX-License-Identifier: GPL-3.0-or-later
// The .ccd control file of the image set.
#pragma once

#include <cstdint>
#include <string>

class TLuCueSheet;
struct TDiscModel;

// The control file of a disc: the text that ReadCcdFile reads back into the same model.
std::string CcdFileText(const TDiscModel& disc);

// The control file of a loaded sheet (at least one track), and its lead-out address (absolute,
// LBA + 150). A CD-TEXT file that cannot be read raises std::system_error or std::runtime_error.
std::string CcdFileText(const TLuCueSheet& sheet, std::int32_t& leadOut);

// Writes CcdFileText to ccdPath whole and returns the lead-out; nothing is written when it fails.
std::int32_t WriteCcdFile(const std::string& ccdPath, const TLuCueSheet& sheet);
