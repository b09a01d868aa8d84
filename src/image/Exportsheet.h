// SPDX-License-Identifier: GPL-3.0-or-later
// The cue sheet of an image set: which sectors of the .img each track file holds, how the files are
// named, and the text of the sheet that names them. Pure: the export job does the reading and writing.
#pragma once

#include "cuesheet/Discmodel.h"
#include "image/Exporttext.h"

#include <cstdint>
#include <string>
#include <vector>

// One track's part of the .img: its pregap (when stored) and everything up to the next track's.
struct TExportTrack
{
    const TDiscTrack* Track = nullptr;
    std::int32_t Session = 1;
    std::int32_t FirstLba = 0;    // of its first stored sector
    std::int64_t FirstSector = 0; // in the .img
    std::int64_t Sectors = 0;
    std::size_t File = 0;      // of the names ExportFileNames gives
    std::int32_t Pregap = 0;   // sectors before FirstLba that the sheet's PREGAP line makes
    bool Cdg = false;          // its file holds each sector's R-W packs after its audio
};

struct TExportLayout
{
    std::vector<TExportTrack> Tracks; // in address order
    std::int64_t ImgSectors = 0;      // what the control file says the .img holds
};

// The layout of a control file's disc. An empty Tracks with a reason in problem when the disc has no
// track, or tracks that lie outside the sectors the set holds or out of order.
TExportLayout BuildExportLayout(const TDiscModel& disc, std::string& problem);

// The names of the data files beside the sheet at cuePath, one per track or one in all, as the
// checksum databases name them: "DISC (Track 1).bin", "(Track 01)" on discs of ten tracks or more,
// "DISC.bin" for a disc of one track or a single file. A sheet's session starts with a FILE line, so a
// single file of a disc of several sessions is one per session: "DISC (Session 2).bin". Gives each
// track its file.
std::vector<std::string> ExportFileNames(const std::string& cuePath, TExportLayout& layout, bool singleFile);

// The first gap sectors of the first track's stored pregap become a PREGAP line instead of file
// sectors: the conversion composes such a pregap, P channel included, as no file's sectors give it.
// Any rest of the pregap stays in the file, after an INDEX 00.
void MakeFirstPregapGenerated(TExportLayout& layout, std::int32_t gap);

// Sheet keywords of the four control bits, "" when none of those a sheet can give is set.
std::string FlagsOf(std::uint8_t control);

// The text of the sheet: CATALOG, CDTEXTFILE (when cdtName is not empty), the disc's text lines, a
// REM TOC-ENTRY line for each of tocEntries, then the tracks under their FILE lines with their modes,
// FLAGS, ISRC, text and INDEX lines, and REM SESSION lines on a disc of more than one session. Lines
// end in CR LF, as the databases' sheets do; a sheet with text beyond ASCII starts with the UTF-8 byte
// order mark.
std::string ExportSheetText(const TDiscModel& disc, const TExportLayout& layout,
                            const std::vector<std::string>& fileNames, const std::string& cdtName,
                            const TCdTextLines& textLines, const std::vector<TTocEntry>& tocEntries = {});
