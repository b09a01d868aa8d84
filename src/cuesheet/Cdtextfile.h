// SPDX-License-Identifier: GPL-3.0-or-later
// The CD-TEXT file a sheet's CDTEXTFILE line names, checked when the sheet loads: the control file
// takes its packs as they are.
#pragma once

#include "cuesheet/Discmodel.h"

#include <string>
#include <vector>

// Reads the CD-TEXT file at path and checks its packs. False, with the reason in detail ("disc.cdt:
// pack 3 has type 0x12; ..."), when it cannot be read or holds no sound packs; packs that fail their
// CRC are kept and named in a warning. label names the file in both.
bool CheckCdTextFile(const std::string& path, const std::string& label, std::string& detail,
                     std::vector<std::string>& warnings);

// The packs of the CD-TEXT file at path as the control file shows them, after a READ TOC/PMA/ATIP
// header when there is one. Raises std::system_error when it cannot be read, std::runtime_error when
// it holds more packs than a disc can.
std::vector<TCdTextEntry> ReadCdTextEntries(const std::string& path);
