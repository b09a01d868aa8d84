// SPDX-License-Identifier: GPL-3.0-or-later
// A strict reader of .ccd control files, ours and those other tools write.
#pragma once

#include "fileio/Error.h"
#include "image/Ccdformat.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// What a control file says: the disc model (as many sessions as Sessions= names, each with the tracks
// its TOC entries point to; tracks without an entry go to the first) and what only the file holds.
struct TCcdDisc
{
    std::int32_t Version = 0;
    std::int32_t TocEntries = 0;
    bool DataTracksScrambled = false;
    std::int32_t CdTextLength = 0;
    std::int32_t CdTextEntries = 0;
    std::vector<TCcdEntry> Entries; // as written, in [Entry n] order; Model.Toc holds them typed
    TDiscModel Model;
};

// Parses the text of a control file. On a malformed file returns the error, naming NAME as given and
// the line. Never throws on any input.
TError ParseCcdText(std::string_view text, const std::string& name, TCcdDisc& disc);

// Reads and parses the file (at most 16 MiB); the error is empty when it could.
TError ReadCcdFile(const std::string& path, TCcdDisc& disc);
