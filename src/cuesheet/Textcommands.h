// SPDX-License-Identifier: GPL-3.0-or-later
// The sheet's commands that give text: CD-TEXT lines, remarks, CDTEXTFILE and CATALOG.
#pragma once

#include "cuesheet/Sheetreader.h"

#include <cstdint>
#include <string_view>

// Text lines are never an error: before the first TRACK they belong to the disc, after it to the
// track. DISC_ID, GENRE and UPC_EAN belong to the disc wherever they stand.
void StoreText(TSheetReader& reader, std::uint8_t type, std::string_view value, std::uint32_t lineNo);

template <std::uint8_t TYPE>
TCueErrorReason HandleText(TSheetReader& reader, const TCueCommand& command)
{
    StoreText(reader, TYPE, command.ArgOriginal, command.LineNo);
    return erNone;
}

// Remarks carry nothing the disc needs, except the text rippers write as remarks.
TCueErrorReason HandleRem(TSheetReader& reader, const TCueCommand& command);
TCueErrorReason HandleCdTextFile(TSheetReader& reader, const TCueCommand& command);
TCueErrorReason HandleCatalog(TSheetReader& reader, const TCueCommand& command);
