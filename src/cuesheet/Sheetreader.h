// SPDX-License-Identifier: GPL-3.0-or-later
// The reader of a cue sheet: its state between lines, the command its handlers get, and the codes
// the handlers share. The handlers are in Trackcommands and Textcommands, their table in
// Cuecommands; the reader gets the table from its caller, so that it knows no handler itself.
#pragma once

#include "cuesheet/Lucue.h"

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// One command of the sheet: the argument after the keyword and its blanks, upper-cased for the checks,
// and the same characters as written, for file names.
struct TCueCommand
{
    std::string_view Arg;
    std::string_view ArgOriginal;
    std::uint32_t LineNo = 0;
};

// Rippers write all zeros for a disc or track that has no code.
inline bool IsAllZero(std::string_view code)
{
    return std::all_of(code.begin(), code.end(), [](char c) { return c == '0'; });
}

struct TCommandRow;

// The state of one Load between lines. A handler reaches the model through Sheet: what a command gives
// before the first TRACK belongs to the disc, after it to CurrentTrack().
class TSheetReader
{
public:
    explicit TSheetReader(TLuCueSheet& sheet) : Sheet(sheet) {}

    // commands: matched in their order; the first keyword that starts a line decides.
    void Read(const std::string& text, std::span<const TCommandRow> commands);

    // When set, the reader only collects the files that FILE and CDTEXTFILE lines name, opens none
    // and checks nothing else.
    std::vector<std::string>* Names = nullptr;

    TLuCueSheet& Sheet;
    std::int32_t CurrentFile = -1;
    std::int32_t CurrentTrackSlot = -1;
    std::int32_t LastTrackNo = 0;
    std::int32_t LastIndexNo = -1;
    std::int32_t LastIndexPosition = 0; // frames into the current file, once it has an INDEX
    std::uint32_t TrackLine = 0;
    std::int64_t ConsumedBytes = 0; // of the current file, by index regions already closed
    std::int64_t DataSize = 0;      // of the current file, in bytes
    std::uint32_t FileLine = 0;     // of the current file's FILE
    std::string FileName;           // of the current file, as the sheet names it
    // The lead-out address as far as the sheet has been read, and where it first went past MAX_LEAD_OUT.
    std::int64_t DiscEnd = PROGRAM_START;
    std::uint32_t OverLine = 0;
    std::string OverWhere;
    bool OverPast = false; // OverLine's sectors lie past 99:59:74, not just on it
    // The index region still open in the current file, the line it is named by, and the gaps read
    // since: on the disc they follow the region's sectors, so they are counted after them.
    bool RegionOpen = false;
    std::uint32_t RegionLine = 0;
    std::vector<std::pair<std::int64_t, std::uint32_t>> GapsAfterRegion;
    // Sessions: the number of the last REM SESSION (0 before one), its line, whether it has a track yet,
    // and gap lengths given before the next REM SESSION.
    std::int32_t SessionNo = 0;
    std::uint32_t SessionLine = 0;
    bool SessionHasTrack = false;
    TSessionGap PendingGap;
    std::uint32_t UnusedLeadOutLine = 0; // of a REM LEAD-OUT no REM SESSION has taken yet
    // Per disc.
    bool CdTextGiven = false;
    bool CatalogGiven = false;
    // Per file.
    bool FileHasTrack = false;
    bool FileHasIndex = false;
    // Per track; a FILE sets TrackHasIndex so that its first TRACK is allowed.
    bool TrackHasIndex = false;
    bool FlagsGiven = false;
    bool IsrcGiven = false;
    bool PregapGiven = false;
    bool PostgapGiven = false;
    // The current track came over from the file before with its INDEX 00 only; its INDEX 01 starts this file.
    bool TrackCarried = false;

    // Null before the first TRACK.
    TLuCueTrack* CurrentTrack() const { return Slot(CurrentTrackSlot); }
    TLuCueTrack* PreviousTrack() const { return CurrentTrackSlot > 0 ? Slot(CurrentTrackSlot - 1) : nullptr; }
    // A track with INDEX 00 and no INDEX 01 yet.
    bool AwaitsIndex1() const { return CurrentTrack() && CurrentTrack()->LastIndexNo == 0; }
    // The last track of a file ends with the file's data.
    void CloseTrack();
    // Sectors the disc gains at a line; inFile when they close the current file's open index region.
    void Grow(std::int64_t frames, std::uint32_t lineNo, bool inFile);
    // The current file's INDEX at lineNo opens an index region; what it closes is counted first.
    void OpenRegion(std::int32_t position, std::uint32_t lineNo);
    // Where the current file's data ends, as a position counted in the sectors of the index region now open.
    std::int64_t FileEndPosition() const;

private:
    TLuCueTrack* Slot(std::int32_t slot) const
    {
        return slot >= 0 ? Sheet.Tracks[static_cast<std::size_t>(slot)].get() : nullptr;
    }
    void ReadLine(std::string_view original, std::uint32_t lineNo);
    void CollectName(const TCommandRow& row, const TCueCommand& command);
    void Finish();
    std::uint32_t CheckSessions();
    void Extend(std::int64_t frames, std::uint32_t lineNo, bool inFile);

    std::string Upper;
    std::span<const TCommandRow> Commands;
};

// A handler applies the rules of its command in order and returns the reason of the first that fails.
using TCommandHandler = TCueErrorReason (*)(TSheetReader&, const TCueCommand&);

struct TCommandRow
{
    std::string_view Keyword; // with the one blank that must follow it
    TCueErrorGroup Group;
    TCommandHandler Handler;
    bool AnyBlank = false; // its blanks may be tabs or runs of them, the last one the line's end
};
