// SPDX-License-Identifier: GPL-3.0-or-later
// The FILE keywords a cue sheet may use. The package description is made from this list and a test
// checks the manual pages, the guides, the README and the AppStream data against it.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

// Raw sector data (BINARY) and raw big-endian audio (MOTOROLA) first, then the keywords of audio
// files, which are opened by their content whichever of them a line names.
inline constexpr std::array<std::string_view, 8> FILE_TYPES = {"BINARY", "MOTOROLA", "WAVE", "FLAC",
                                                               "MP3",    "AIFF",     "WV",   "APE"};
inline constexpr std::size_t FIRST_AUDIO_FILE_TYPE = 2;
