// SPDX-License-Identifier: GPL-3.0-or-later
#include "cuesheet/Cuecommands.h"

#include "cuesheet/Sessioncommands.h"
#include "cuesheet/Textcommands.h"
#include "cuesheet/Toccommands.h"
#include "cuesheet/Trackcommands.h"

namespace {

// Matched in this order; the first keyword that starts the line decides.
constexpr TCommandRow COMMANDS[] = {
    {"REM SESSION ", egSession, HandleSession},
    {"REM LEAD-OUT ", egSession, HandleLeadOut},
    {"REM LEAD-IN ", egSession, HandleLeadIn},
    {"REM PREGAP ", egSession, HandleSessionPregap},
    {"REM TOC-ENTRY ", egTocEntry, HandleTocEntry, true},
    {"REM ", egSheet, HandleRem},
    {"CDTEXTFILE ", egCdTextFile, HandleCdTextFile},
    {"CATALOG ", egCatalog, HandleCatalog},
    {"FILE ", egFile, HandleFile},
    {"TRACK ", egTrack, HandleTrack},
    {"FLAGS ", egFlags, HandleFlags},
    {"ISRC ", egIsrc, HandleIsrc},
    {"PREGAP ", egPregap, HandlePregap},
    {"INDEX ", egIndex, HandleIndex},
    {"POSTGAP ", egPostgap, HandlePostgap},
    // CD-TEXT: once ignored lines, so never an error.
    {"TITLE ", egSheet, HandleText<ptTitle>},
    {"PERFORMER ", egSheet, HandleText<ptPerformer>},
    {"SONGWRITER ", egSheet, HandleText<ptSongwriter>},
    {"COMPOSER ", egSheet, HandleText<ptComposer>},
    {"ARRANGER ", egSheet, HandleText<ptArranger>},
    {"MESSAGE ", egSheet, HandleText<ptMessage>},
    {"DISC_ID ", egSheet, HandleText<ptDiscId>},
    {"GENRE ", egSheet, HandleText<ptGenre>},
    {"UPC_EAN ", egSheet, HandleText<ptUpcIsrc>},
};

} // namespace

std::span<const TCommandRow> CueCommands()
{
    return COMMANDS;
}
