// A strict reader of .ccd control files, ours and those other tools write.
#pragma once

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

// Parses the text of a control file. On a malformed file returns false and sets error to
// "NAME:LINE: reason" (NAME as given). Never throws on any input.
bool ParseCcdText(std::string_view text, const std::string& name, TCcdDisc& disc, std::string& error);

// Reads and parses the file (at most 16 MiB); false with the reason in error.
bool ReadCcdFile(const std::string& path, TCcdDisc& disc, std::string& error);
