// SPDX-License-Identifier: GPL-3.0-or-later
// The sheet's REM TOC-ENTRY line: one entry of the full TOC given whole, as a control file's
// [Entry n] section spells its keys, for what a sheet's tracks cannot say (B0, C0, a drive's fields).
#pragma once

#include "cuesheet/Sheetreader.h"

#include <string>

// Before the first TRACK only; all twelve keys, in any order, each in decimal or 0x hexadecimal. Whether
// the session exists and the entry fits the tracks and the TOC rule is known after the last line
// (TLuCueSheet::BuildDiscModel).
TCueErrorReason HandleTocEntry(TSheetReader& reader, const TCueCommand& command);

// "REM TOC-ENTRY Session=1 Point=0xb0 ADR=0x05 ...": the keys in their order, Point, ADR and Control
// in hexadecimal, the rest decimal.
std::string TocEntryLine(const TTocEntry& entry);
