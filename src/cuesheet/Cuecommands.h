// SPDX-License-Identifier: GPL-3.0-or-later
// The table of the sheet's commands: each keyword with its status group and its handler.
#pragma once

#include "cuesheet/Sheetreader.h"

#include <span>

// A new command is one handler in Trackcommands or Textcommands and one row here; commands that give
// text to the disc or a track store it through TSheetReader::Sheet and CurrentTrack(), and keep their
// per-disc or per-track flags in TSheetReader.
std::span<const TCommandRow> CueCommands();
