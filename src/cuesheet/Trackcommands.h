// SPDX-License-Identifier: GPL-3.0-or-later
// The sheet's commands that lay out the disc: FILE, TRACK, FLAGS, ISRC, PREGAP, INDEX and POSTGAP.
#pragma once

#include "cuesheet/Sheetreader.h"

TCueErrorReason HandleFile(TSheetReader& reader, const TCueCommand& command);
TCueErrorReason HandleTrack(TSheetReader& reader, const TCueCommand& command);
TCueErrorReason HandleFlags(TSheetReader& reader, const TCueCommand& command);
TCueErrorReason HandleIsrc(TSheetReader& reader, const TCueCommand& command);
TCueErrorReason HandlePregap(TSheetReader& reader, const TCueCommand& command);
TCueErrorReason HandleIndex(TSheetReader& reader, const TCueCommand& command);
TCueErrorReason HandlePostgap(TSheetReader& reader, const TCueCommand& command);
