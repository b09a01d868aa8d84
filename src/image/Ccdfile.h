// SPDX-License-Identifier: GPL-3.0-or-later
// The .ccd control file of the image set.
#pragma once

#include <string>

class TLuCueSheet;
struct TDiscModel;

// The control file of a disc: the text that ReadCcdFile reads back into the same model.
std::string CcdFileText(const TDiscModel& disc);

// The control file of a loaded sheet (at least one track). A CD-TEXT file that cannot be read raises
// std::system_error or std::runtime_error.
std::string CcdFileText(const TLuCueSheet& sheet);
