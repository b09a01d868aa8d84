// Reading a cue sheet line by line: each command found in the table and handed to its handler, the disc's
// length kept as it grows, and the checks at the end of the sheet.
#include "cuesheet/Sheetreader.h"

#include "cuesheet/Textcommands.h"
#include "cuesheet/Trackcommands.h"
#include "fileio/Fileio.h"
#include "synthesis/Msf.h"
#include "text/Asciitext.h"

#include <algorithm>

namespace {

// A track's end is kept within this many sectors of its last index, so that the positions stay within
// 32 bits until the length rule refuses the disc (about 39 GB of raw sectors per track).
constexpr std::int64_t MAX_TRACK_SECTORS = std::int64_t(1) << 24;

} // namespace

void TSheetReader::CloseTrack()
{
    TLuCueTrack& track = *CurrentTrack();
    const std::int64_t sectors = FileEndPosition() - LastIndexPosition;
    Grow(sectors, FileLine, true);
    track.End = static_cast<std::int32_t>(track.GetIndexPos(static_cast<std::uint32_t>(track.LastIndexNo)) +
                                          std::min(sectors, MAX_TRACK_SECTORS));
}

void TSheetReader::Grow(std::int64_t frames, std::uint32_t lineNo, bool inFile)
{
    DiscEnd += frames;
    if (DiscEnd > MAX_LEAD_OUT && OverLine == 0)
    {
        OverLine = lineNo;
        OverWhere = " (line " + std::to_string(lineNo) + (inFile ? ", " + FileName : "") + ")";
    }
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

struct TCommandRow
{
    std::string_view Keyword; // with the one blank that must follow it
    TCueErrorGroup Group;
    TCommandHandler Handler;
};

namespace {

// Matched in this order; the first keyword that starts the line decides. A new command is one handler
// in Trackcommands or Textcommands and one row here; commands that give text to the disc or a track
// store it through TSheetReader::Sheet and CurrentTrack(), and keep their per-disc or per-track flags
// in TSheetReader.
constexpr TCommandRow COMMANDS[] = {
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

void TSheetReader::Read(const std::string& text)
{
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
    if (row.Handler == HandleFile)
    {
        // The name goes up to the last blank, before the file type.
        const std::size_t blank = command.Arg.rfind(' ');
        if (blank == std::string_view::npos)
            return;
        name = name.substr(0, blank);
    }
    else if (row.Handler != HandleCdTextFile)
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
    const auto row = std::find_if(std::begin(COMMANDS), std::end(COMMANDS),
                                  [line](const TCommandRow& r) { return line.starts_with(r.Keyword); });
    if (row == std::end(COMMANDS))
    {
        if (line != "REM" && !Names)
            Sheet.IgnoredLines.push_back({lineNo, std::string(trimmedOriginal)});
        return;
    }
    TCueCommand command;
    command.Arg = TrimLeftBlanks(line.substr(row->Keyword.size()));
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
    if (OverLine != 0)
    {
        Sheet.ErrorCode = PackStatus(OverLine, egEnd, erTooLong);
        Sheet.ErrorDetail = "the disc would be " + FramesToStr(DiscEnd) + " long; a CD holds at most " +
                            FramesToStr(MAX_LEAD_OUT) + OverWhere;
    }
}
