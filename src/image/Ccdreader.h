// A strict reader of .ccd control files, ours and those other tools write.
#pragma once

#include "fileio/Error.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct TCcdEntry
{
    std::int32_t Line = 0; // of the section header
    std::int32_t Number = 0;
    std::int32_t Session = 1;
    std::int32_t Point = 0;
    std::int32_t Adr = 1;
    std::int32_t Control = 0; // the four flag bits, not shifted
    std::int32_t TrackNo = 0;
    std::int32_t AMin = 0, ASec = 0, AFrame = 0, ALba = 0;
    std::int32_t PMin = 0, PSec = 0, PFrame = 0, PLba = 0;
};

struct TCcdIndex
{
    std::int32_t Number = 0;
    std::int32_t Lba = 0;
};

struct TCcdTrack
{
    std::int32_t Line = 0;
    std::int32_t Number = 0;
    std::int32_t Mode = -1; // 0 audio, 1, 2; -1 when the section has no MODE
    std::string Isrc;
    std::vector<TCcdIndex> Indexes; // ascending index numbers
};

using TCdTextEntry = std::array<std::uint8_t, 16>; // a pack without its two CRC bytes

struct TCcdDisc
{
    std::int32_t Version = 0;
    std::int32_t TocEntries = 0;
    std::int32_t Sessions = 1;
    bool DataTracksScrambled = false;
    std::int32_t CdTextLength = 0;
    std::string Catalog;
    bool HasCdText = false;
    std::int32_t CdTextEntries = 0;
    std::vector<TCdTextEntry> CdTextPacks;
    std::vector<TCcdEntry> Entries; // in [Entry n] order
    std::vector<TCcdTrack> Tracks;  // in ascending track number
};

// Parses the text of a control file. On a malformed file returns the error, naming NAME as given and
// the line. Never throws on any input.
TError ParseCcdText(std::string_view text, const std::string& name, TCcdDisc& disc);

// Reads and parses the file (at most 16 MiB); the error is empty when it could.
TError ReadCcdFile(const std::string& path, TCcdDisc& disc);
