// SPDX-License-Identifier: GPL-3.0-or-later
// CD-TEXT packs back into the sheet's text lines, where the packs are what such lines give.
#pragma once

#include "cuesheet/Discmodel.h"

#include <cstddef>
#include <string>
#include <vector>

// Lines by item: [0] the disc's, [n] the n-th track's, each "KEYWORD "value"" in UTF-8.
using TCdTextLines = std::vector<std::vector<std::string>>;

// The lines of packs that hold one block of one-byte text (ISO-8859-1 or ASCII) or of Japanese
// (MS-JIS) for a disc of the given tracks. Empty when the packs are anything else (another block or character code, a value
// no line can quote): the packs then go into a CD-TEXT file whole. The disc's UPC_EAN is left out
// where it is the catalogue, which the CATALOG line gives.
TCdTextLines CdTextLinesOf(const std::vector<TCdTextEntry>& packs, std::size_t tracks, const std::string& catalog);
