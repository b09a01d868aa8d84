// The CD-TEXT file a sheet's CDTEXTFILE line names, checked when the sheet loads: the control file
// takes its packs as they are.
#pragma once

#include <string>
#include <vector>

// Reads the CD-TEXT file at path and checks its packs. False, with the reason in detail ("disc.cdt:
// pack 3 has type 0x12; ..."), when it cannot be read or holds no sound packs; packs that fail their
// CRC are kept and named in a warning. label names the file in both.
bool CheckCdTextFile(const std::string& path, const std::string& label, std::string& detail,
                     std::vector<std::string>& warnings);
