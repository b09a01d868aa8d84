// SPDX-License-Identifier: GPL-3.0-or-later
// The texts of a sheet's load status, as the user reads them.
#include "cuesheet/Cueerrors.h"

#include "cuesheet/Cuetext.h"
#include "cuesheet/Lucue.h"

#include <algorithm>

namespace {

// The item is named by the line of the status; the message names its kind.
std::string CdTextErrorMessage(std::uint32_t status)
{
    const std::uint32_t reason = status & 0xFF;
    if ((status & 0xFF00) != egCdText || reason < erCdTextFull || reason >= erCdTextFull + 0x20)
        return {};
    static constexpr const char* NAMES[CD_TEXT_TEXT_TYPES] = {
        "TITLE", "PERFORMER", "SONGWRITER", "COMPOSER", "ARRANGER", "MESSAGE", "DISC_ID",      "GENRE",
        nullptr, nullptr,     nullptr,      nullptr,    nullptr,    nullptr,   "UPC_EAN/ISRC",
    };
    const char* name = NAMES[std::min<std::uint32_t>(reason & 0x0F, CD_TEXT_TEXT_TYPES - 1)];
    return std::string("CD-TEXT is too long: the ") + (name ? name : "text") +
           " text does not fit in the 256 packs of " + ((reason & 0x10) ? "the Japanese block" : "a block");
}

} // namespace

std::string CueErrorMessage(std::uint32_t errorCode)
{
    // "Illigal" keeps its historic spelling, as "successfull" and the settings key "Charaset" do:
    // stored files and users' scripts match these texts.
    constexpr const char* MISPLACED = "Illigal command placement";
    constexpr const char* NO_INDEX_IN_PREVIOUS = "No starting INDEX was defined for the previous track";
    switch (errorCode & 0xFFFF)
    {
    case CueStatus(egSheet, erNotFound):
    case CueStatus(egSheet, erUnreadable): return "Unable to find or open CUE SHEET";
    case CueStatus(egSheet, erCanceled): return "Loading was canceled";
    case CueStatus(egEnd, erNoFileYet): return "No FILEs were specified";
    case CueStatus(egEnd, erNoTrack): return "No TRACKs were defined for the last file";
    case CueStatus(egEnd, erNoIndex): return "No starting INDEX was defined for the last track";
    case CueStatus(egEnd, erTooLong): return "The disc is too long for a CD";
    case CueStatus(egSession, erBadArgument): return "Illegal SESSION number or length is specified";
    case CueStatus(egSession, erNotConsecutive): return "SESSION numbers are not in sequential order";
    case CueStatus(egSession, erNoTrack): return "No TRACKs were defined for the previous session";
    case CueStatus(egSession, erGapLength): return "The first TRACK of a session has a pregap of another length";
    case CueStatus(egTocEntry, erBadArgument): return "Illegal TOC-ENTRY is specified";
    case CueStatus(egTrack, erSameFile): return "The first TRACK of a session must start a FILE of its own";
    case CueStatus(egCdTextFile, erNotFound): return "Unable to find or open CDTEXTFILE";
    case CueStatus(egCdTextFile, erGivenTwice):
    case CueStatus(egCatalog, erGivenTwice): return "Command cannot be specified more than one per disc";
    case CueStatus(egCatalog, erBadArgument): return "CATALOG number is wrong length or contains illegal characters";
    case CueStatus(egFile, erNotFound):
    case CueStatus(egFile, erOpenFailed): return "Unable to find or open FILE";
    // The message of the 101st FILE names the TRACK limit.
    case CueStatus(egFile, erTooMany): return "TRACK cannot be specified more than 99 per disc";
    case CueStatus(egFile, erBadArgument): return "Illegal FILE type is specified";
    case CueStatus(egFile, erUnsupportedType): return "Unsupported FILE type is specified";
    case CueStatus(egFile, erNoTrack): return "No TRACKs were defined for the previous file";
    case CueStatus(egFile, erNoIndex): return NO_INDEX_IN_PREVIOUS;
    case CueStatus(egTrack, erNoFileYet): return MISPLACED;
    case CueStatus(egTrack, erOpenFailed): return "Could not create track object";
    case CueStatus(egTrack, erBadArgument): return "Illegal TRACK number or type is specifie";
    case CueStatus(egTrack, erUnsupportedType): return "Unsupported TRACK type is specified";
    case CueStatus(egTrack, erNoIndex): return NO_INDEX_IN_PREVIOUS;
    case CueStatus(egTrack, erNotConsecutive): return "TRACK numbers are not in sequential order";
    case CueStatus(egFlags, erGivenTwice):
    case CueStatus(egIsrc, erGivenTwice):
    case CueStatus(egPregap, erGivenTwice): return "Command cannot be specified more than one per track";
    case CueStatus(egFlags, erBadArgument): return "Illegal FLAGS type is specified";
    case CueStatus(egIsrc, erBadArgument): return "ISRC number is wrong length or contains illegal characters";
    case CueStatus(egPregap, erBadArgument):
    case CueStatus(egPostgap, erBadArgument): return "Illegal address is specified";
    case CueStatus(egIndex, erBadArgument): return "Illegal INDEX number or address is specified";
    case CueStatus(egIndex, erNotConsecutive): return "INDEX numbers are not in sequential order";
    case CueStatus(egIndex, erFileStartNotZero): return "First INDEX of file does not start at 00:00:00";
    case CueStatus(egIndex, erPastEnd): return "INDEX lies past the end of its FILE";
    case CueStatus(egIndex, erNoSectors): return "INDEX leaves a track without sectors";
    case CueStatus(egFlags, erNoTrack):
    case CueStatus(egFlags, erMisplaced):
    case CueStatus(egIsrc, erNoTrack):
    case CueStatus(egIsrc, erMisplaced):
    case CueStatus(egPregap, erNoTrack):
    case CueStatus(egPregap, erMisplaced):
    case CueStatus(egIndex, erNoTrack):
    case CueStatus(egIndex, erMisplaced):
    case CueStatus(egIndex, erFirstIndexNotZeroOrOne):
    // A second POSTGAP is reported as misplaced, unlike the other commands given twice.
    case CueStatus(egPostgap, erGivenTwice):
    case CueStatus(egPostgap, erNoTrack):
    case CueStatus(egPostgap, erMisplaced):
    case CueStatus(egSession, erMisplaced):
    case CueStatus(egTocEntry, erMisplaced): return MISPLACED;
    default: return CdTextErrorMessage(errorCode & 0xFFFF);
    }
}

std::string CueErrorText(std::uint32_t errorCode)
{
    if (errorCode == 0)
        return {};
    std::string text;
    if (const std::uint32_t line = CueStatusLine(errorCode); line != 0)
        text = "Invalid CUE SHEET command at line " + std::to_string(line) + "\n";
    return text + CueErrorMessage(errorCode);
}

std::string CueErrorText(const TLuCueSheet& sheet)
{
    std::string text = CueErrorText(sheet.ErrorCode);
    if (sheet.ErrorCode != 0 && !sheet.ErrorDetail.empty())
        text += "\n" + sheet.ErrorDetail;
    return text;
}
