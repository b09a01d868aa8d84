// SPDX-License-Identifier: GPL-3.0-or-later
// Reading a cue sheet line by line: each command found in the table and handed to its handler, the disc's
// length kept as it grows, and the checks at the end of the sheet.
#include "cuesheet/Sheetreader.h"

#include "fileio/Fileio.h"
#include "synthesis/Msf.h"
#include "text/Asciitext.h"

#include <algorithm>

namespace {

// A track's end is kept within this many sectors of its last index, so that the positions stay within
// 32 bits until the length rule refuses the disc (about 39 GB of raw sectors per track).
constexpr std::int64_t MAX_TRACK_SECTORS = std::int64_t(1) << 24;

// How much of the line the row's keyword takes, 0 when it does not start the line. Where the row says
// so, a blank of the keyword takes a run of blanks and tabs, or the line's end.
std::size_t KeywordLength(std::string_view line, const TCommandRow& row)
{
    if (!row.AnyBlank)
        return line.starts_with(row.Keyword) ? row.Keyword.size() : 0;
    const auto blank = [&line](std::size_t at) { return at < line.size() && (line[at] == ' ' || line[at] == '\t'); };
    std::size_t at = 0;
    for (const char k : row.Keyword)
    {
        if (k != ' ' && (at == line.size() || line[at++] != k))
            return 0;
        if (k == ' ' && at < line.size() && !blank(at))
            return 0;
        while (k == ' ' && blank(at))
            ++at;
    }
    return at;
}

} // namespace

void TSheetReader::CloseTrack()
{
    TLuCueTrack& track = *CurrentTrack();
    const std::int64_t sectors = FileEndPosition() - LastIndexPosition;
    Grow(sectors, RegionLine, true);
    RegionOpen = false;
    track.End = static_cast<std::int32_t>(track.GetIndexPos(static_cast<std::uint32_t>(track.LastIndexNo)) +
                                          std::min(sectors, MAX_TRACK_SECTORS));
}

void TSheetReader::OpenRegion(std::int32_t position, std::uint32_t lineNo)
{
    if (RegionOpen)
        Grow(position - LastIndexPosition, RegionLine, true);
    // A file's first region is named by its FILE line, which names the file whose sectors they are.
    RegionLine = RegionOpen ? lineNo : FileLine;
    RegionOpen = true;
}

void TSheetReader::Grow(std::int64_t frames, std::uint32_t lineNo, bool inFile)
{
    if (!inFile && RegionOpen)
    {
        GapsAfterRegion.emplace_back(frames, lineNo);
        return;
    }
    Extend(frames, lineNo, inFile);
    if (!inFile)
        return;
    for (const auto& [gap, line] : GapsAfterRegion)
        Extend(gap, line, false);
    GapsAfterRegion.clear();
}

// Counts in disc order. The line named is the first whose sectors lie past 99:59:74; when none does,
// the one whose last sector lies on it and so puts the lead-out past it.
void TSheetReader::Extend(std::int64_t frames, std::uint32_t lineNo, bool inFile)
{
    DiscEnd += frames;
    if (frames <= 0 || DiscEnd <= MAX_LEAD_OUT || OverPast)
        return;
    OverPast = DiscEnd > MAX_LEAD_OUT + 1;
    if (OverLine != 0 && !OverPast)
        return;
    OverLine = lineNo;
    OverWhere = " (line " + std::to_string(lineNo) + (inFile ? ", " + FileName : "") + ")";
}

std::int64_t TSheetReader::FileEndPosition() const
{
    // The open region belongs to the current track, or to the one before when this track has no INDEX yet;
    // before the file's first INDEX, the sectors are the current track's.
    const TLuCueTrack& owner = !FileHasIndex || TrackHasIndex ? *CurrentTrack() : *PreviousTrack();
    const std::int64_t start = FileHasIndex ? LastIndexPosition : 0;
    const std::int64_t size = owner.GetSectorSize();
    return start + (std::max<std::int64_t>(DataSize - ConsumedBytes, 0) + size - 1) / size;
}

void TSheetReader::Read(const std::string& text, std::span<const TCommandRow> commands)
{
    Commands = commands;
    std::uint32_t lineNo = 0;
    std::size_t pos = 0;
    // Sheets saved by common Windows tools start with a UTF-8 byte order mark.
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        pos = 3;
    while (pos < text.size() && Sheet.ErrorCode == 0)
    {
        ReadLine(NextLine(text, pos), ++lineNo);
    }
    if (Sheet.ErrorCode == 0 && !Names)
        Finish();
}

void TSheetReader::CollectName(const TCommandRow& row, const TCueCommand& command)
{
    std::string_view name = command.ArgOriginal;
    if (row.Group == egFile)
    {
        // The name goes up to the last blank, before the file type.
        const std::size_t blank = command.Arg.rfind(' ');
        if (blank == std::string_view::npos)
            return;
        name = name.substr(0, blank);
    }
    else if (row.Group != egCdTextFile)
        return;
    if (std::string path = Sheet.ResolvePath(name); IsRegularFile(path))
        Names->push_back(std::move(path));
}

void TSheetReader::ReadLine(std::string_view original, std::uint32_t lineNo)
{
    // Keywords and arguments are checked upper-cased; file names keep their case,
    // taken from the original line at the same positions.
    const std::string_view trimmedOriginal = TrimControls(original);
    if (trimmedOriginal.empty())
        return;
    Upper.assign(trimmedOriginal);
    std::transform(Upper.begin(), Upper.end(), Upper.begin(), UpperAscii);
    const std::string_view line(Upper);
    std::size_t keyword = 0;
    const auto row = std::find_if(Commands.begin(), Commands.end(),
                                  [&](const TCommandRow& r) { return (keyword = KeywordLength(line, r)) > 0; });
    if (row == Commands.end())
    {
        if (line != "REM" && !Names)
            Sheet.IgnoredLines.push_back({lineNo, std::string(trimmedOriginal)});
        return;
    }
    TCueCommand command;
    command.Arg = TrimLeadingSpaces(line.substr(keyword));
    command.ArgOriginal = trimmedOriginal.substr(trimmedOriginal.size() - command.Arg.size());
    command.LineNo = lineNo;
    if (Names)
    {
        CollectName(*row, command);
        return;
    }
    if (const TCueErrorReason reason = row->Handler(*this, command); reason != erNone)
        Sheet.ErrorCode = PackStatus(lineNo, row->Group, reason);
}

// The checks at the end of the sheet; the last that applies gives the status.
void TSheetReader::Finish()
{
    std::uint32_t status = 0;
    if (!TrackHasIndex)
        status = CueStatus(egEnd, erNoIndex);
    if (!FileHasTrack)
        status = CueStatus(egEnd, erNoTrack);
    if (CurrentFile < 0)
        status = CueStatus(egEnd, erNoFileYet);
    // The last track has INDEX 00 only: the end has no line of its own, so name the track's.
    if (status == 0 && AwaitsIndex1())
        status = PackStatus(TrackLine, egEnd, erNoIndex);
    if (status != 0)
    {
        Sheet.ErrorCode = status;
        return;
    }
    CloseTrack();
    if (const std::uint32_t sessions = CheckSessions(); sessions != 0)
    {
        Sheet.ErrorCode = sessions;
        return;
    }
    if (OverLine != 0)
    {
        Sheet.ErrorCode = PackStatus(OverLine, egEnd, erTooLong);
        Sheet.ErrorDetail = "the disc would be " + FramesToStr(DiscEnd) + " long; a CD holds at most " +
                            FramesToStr(MAX_LEAD_OUT) + OverWhere;
    }
}

// At the end of the sheet: the last session has a track, and each later session's first track has no
// pregap of its own or the session's; the disc grows by the pregaps the sheet leaves to the standard.
std::uint32_t TSheetReader::CheckSessions()
{
    TLuCueSheet& sheet = Sheet;
    if (SessionNo >= 2 && !SessionHasTrack)
        return PackStatus(SessionLine, egSession, erMisplaced);
    // The set has no place for the length of the disc's last lead-out.
    if (UnusedLeadOutLine != 0)
        sheet.LoadWarnings.push_back("line " + std::to_string(UnusedLeadOutLine) +
                                     ": REM LEAD-OUT after the last session is ignored; no session follows it");
    std::size_t next = 0;
    for (std::int32_t i = 1; i < sheet.TrackCount && next < sheet.SessionGaps.size(); ++i)
    {
        TLuCueTrack& track = *sheet.Tracks[static_cast<std::size_t>(i)];
        if (track.Session == sheet.Tracks[static_cast<std::size_t>(i - 1)]->Session)
            continue;
        const TSessionGap& gap = sheet.SessionGaps[next++];
        const std::int32_t own = track.GetPregapLength();
        if (own == 0)
        {
            Grow(gap.Pregap, gap.Line, false);
            continue;
        }
        if (own == gap.Pregap)
            continue;
        sheet.ErrorDetail = "track " + std::to_string(sheet.FirstTrackNo + i) + " has a pregap of " +
                            FramesToStr(own) + "; the first track of session " + std::to_string(track.Session) +
                            " has one of " + FramesToStr(gap.Pregap) + ", which the set does not store";
        return PackStatus(gap.Line, egSession, erGapLength);
    }
    return 0;
}
