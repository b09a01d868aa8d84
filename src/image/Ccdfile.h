// The .ccd control file of the image set.
#pragma once

#include <cstdint>
#include <string>

class TLuCueSheet;

// Writes the control file for a loaded sheet (at least one track) and returns the lead-out
// address (absolute, LBA + 150). I/O failures are raised as exceptions (std::system_error or
// std::runtime_error); what was written so far stays.
std::int32_t WriteCcdFile(const std::string& ccdPath, const TLuCueSheet& sheet);
