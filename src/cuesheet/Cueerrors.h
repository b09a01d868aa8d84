// SPDX-License-Identifier: GPL-3.0-or-later
// The texts of a sheet's load status, as the user reads them.
#pragma once

#include <cstdint>
#include <string>

class TLuCueSheet;

// The message for a load status, without the line prefix; empty for 0 or an unknown code.
std::string CueErrorMessage(std::uint32_t errorCode);
// The full text shown to the user: "Invalid CUE SHEET command at line N\n" when N is not 0, then the message.
std::string CueErrorText(std::uint32_t errorCode);
// CueErrorText of the sheet's status, followed by the refusal reason on a line of its own when there is one.
std::string CueErrorText(const TLuCueSheet& sheet);
