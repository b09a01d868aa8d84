// SPDX-License-Identifier: GPL-3.0-or-later
// The sheet's session lines: REM SESSION nn, and the REM LEAD-OUT, REM LEAD-IN and REM PREGAP lines that
// dumping tools write before a later session's first FILE.
#pragma once

#include "cuesheet/Sheetreader.h"

TCueErrorReason HandleSession(TSheetReader& reader, const TCueCommand& command);
TCueErrorReason HandleLeadOut(TSheetReader& reader, const TCueCommand& command);
TCueErrorReason HandleLeadIn(TSheetReader& reader, const TCueCommand& command);
TCueErrorReason HandleSessionPregap(TSheetReader& reader, const TCueCommand& command);

// Called by TRACK: the track joins the open session; the first track of a later session must start
// a FILE of its own, and the disc grows by the gap before it.
TCueErrorReason JoinSession(TSheetReader& reader, TLuCueTrack& track, std::uint32_t lineNo);
