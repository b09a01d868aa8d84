// Reading a cue sheet: one command per line, checked against the placement rules in order.
#include "cuesheet/Lucue.h"

#include "cuesheet/Cdtextfile.h"
#include "cuesheet/Cuetext.h"
#include "fileio/Fileio.h"
#include "fileio/Paths.h"
#include "sources/Audioprobe.h"
#include "sources/Audiosource.h"
#include "sources/Binarysource.h"
#include "sources/Motorolasource.h"
#include "sources/Wavesource.h"
#include "synthesis/Msf.h"
#include "text/Asciitext.h"

#include <algorithm>
#include <vector>

namespace {

// A track's end is kept within this many sectors of its last index, so that the positions stay within
// 32 bits until the length rule refuses the disc (about 39 GB of raw sectors per track).
constexpr std::int64_t MAX_TRACK_SECTORS = std::int64_t(1) << 24;

std::string_view TrimLeftBlanks(std::string_view s)
{
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    return s;
}

std::string_view TrimRightBlanks(std::string_view s)
{
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    return s;
}

// The whole file, or false when it cannot be read. Never blocks on a FIFO or device.
bool ReadWholeFile(const std::string& path, std::string& text)
{
    try
    {
        text = TFile::OpenForReading(path).ReadAll();
        return true;
    }
    catch (const std::exception&)
    {
        return false;
    }
}

constexpr std::string_view TRACK_TYPES[] = {
    "", "AUDIO", "CDG", "MODE1/2048", "MODE1/2352", "MODE2/2336", "MODE2/2352", "CDI/2336", "CDI/2352",
};

// One command of the sheet: the argument after the keyword and its blanks, upper-cased for the checks,
// and the same characters as written, for file names.
struct TCueCommand
{
    std::string_view Arg;
    std::string_view ArgOriginal;
    std::uint32_t LineNo = 0;
};

// Rippers write all zeros for a disc or track that has no code.
bool IsAllZero(std::string_view code)
{
    return std::all_of(code.begin(), code.end(), [](char c) { return c == '0'; });
}

// The state of one Load between lines. A handler reaches the model through Sheet: what a command gives
// before the first TRACK belongs to the disc, after it to CurrentTrack().
struct TCommandRow;

class TSheetReader
{
public:
    explicit TSheetReader(TLuCueSheet& sheet) : Sheet(sheet) {}

    void Read(const std::string& text);

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
    // Sectors the disc gains at a line; inFile when they are the current file's data.
    void Grow(std::int64_t frames, std::uint32_t lineNo, bool inFile);
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

    std::string Upper;
};

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

// A handler applies the rules of its command in order and returns the reason of the first that fails.
using TCommandHandler = TCueErrorReason (*)(TSheetReader&, const TCueCommand&);

// Text lines are never an error: before the first TRACK they belong to the disc, after it to the
// track. DISC_ID, GENRE and UPC_EAN belong to the disc wherever they stand.
void StoreText(TSheetReader& reader, std::uint8_t type, std::string_view value, std::uint32_t lineNo)
{
    TLuCueTrack* track = reader.CurrentTrack();
    const bool discOnly = type == ptDiscId || type == ptGenre || type == ptUpcIsrc;
    TCueText& text = track && !discOnly ? track->Text : reader.Sheet.DiscText;
    text.Set(type, Unquote(value), lineNo);
    text.FromTextLine = text.FromTextLine || !text.Get(type).empty();
}

template <std::uint8_t TYPE>
TCueErrorReason HandleText(TSheetReader& reader, const TCueCommand& command)
{
    StoreText(reader, TYPE, command.ArgOriginal, command.LineNo);
    return erNone;
}

// Remarks carry nothing the disc needs, except the text rippers write as remarks.
TCueErrorReason HandleRem(TSheetReader& reader, const TCueCommand& command)
{
    static constexpr struct
    {
        std::string_view Word;
        std::uint8_t Type;
    } REMARKS[] = {{"COMPOSER ", ptComposer}, {"ARRANGER ", ptArranger}, {"MESSAGE ", ptMessage}, {"GENRE ", ptGenre}};
    for (const auto& remark : REMARKS)
    {
        if (command.Arg.starts_with(remark.Word))
        {
            const std::size_t skip = command.Arg.size() - TrimLeftBlanks(command.Arg.substr(remark.Word.size())).size();
            StoreText(reader, remark.Type, command.ArgOriginal.substr(skip), command.LineNo);
        }
    }
    return erNone;
}

TCueErrorReason HandleCdTextFile(TSheetReader& reader, const TCueCommand& command)
{
    if (reader.CdTextGiven)
        return erGivenTwice;
    TLuCueSheet& sheet = reader.Sheet;
    const std::string path = sheet.NoteFileTried(command.ArgOriginal);
    const std::string label = FileLabel(sheet.TriedFileName);
    if (!IsRegularFile(path))
    {
        sheet.ErrorDetail = label + ": " + NoFileReason(path);
        return erNotFound;
    }
    if (!CheckCdTextFile(path, label, sheet.ErrorDetail, sheet.LoadWarnings))
        return erNotFound;
    sheet.CdTextFile = path;
    reader.CdTextGiven = true;
    return erNone;
}

TCueErrorReason HandleCatalog(TSheetReader& reader, const TCueCommand& command)
{
    if (reader.CatalogGiven)
        return erGivenTwice;
    const std::string_view arg = Unquote(command.Arg);
    if (arg.size() != 13 || !std::all_of(arg.begin(), arg.end(), IsAsciiDigit))
        return erBadArgument;
    if (!IsAllZero(arg))
    {
        reader.Sheet.Catalog = arg;
        reader.Sheet.DiscText.Set(ptUpcIsrc, arg, command.LineNo);
    }
    reader.CatalogGiven = true;
    return erNone;
}

// The checks a FILE makes on the file before it, which it then closes.
TCueErrorReason CloseFile(TSheetReader& reader)
{
    if (!reader.FileHasTrack)
        return erNoTrack;
    // A track without any INDEX would reach the disc with no sectors at all.
    if (!reader.TrackHasIndex)
        return erNoIndex;
    reader.CloseTrack();
    return erNone;
}

// The track's index 0 region stays in the file it was closed in; its INDEX 01 may start the new file.
void CarryTrack(TLuCueTrack& track, std::int32_t newFile)
{
    track.PregapFileIndex = track.FileIndex;
    track.PregapEnd = track.End;
    track.FileIndex = newFile;
}

// Opens the source of a FILE line into the sheet's next slot and measures its data; a refusal leaves its
// reason in ErrorDetail.
TCueErrorReason OpenSource(TLuCueSheet& sheet, std::string_view type, const std::string& path, std::int64_t& dataSize)
{
    auto& slot = sheet.Files[static_cast<std::size_t>(sheet.FileCount)];
    try
    {
        if (type == "BINARY")
            slot = std::make_unique<TLuCueBinFile>(path);
        else if (type == "MOTOROLA")
            slot = std::make_unique<TLuCueMotorolaFile>(path);
        else
            slot = OpenAudioFile(path, sheet.CountProgress);
        dataSize = slot->Seek(0, soEnd);
        return erNone;
    }
    catch (const ECountCanceled&)
    {
        throw; // ends the load
    }
    catch (const EAudioRefused& error)
    {
        sheet.ErrorDetail = error.what();
    }
    catch (const EAudioDamaged& error)
    {
        sheet.ErrorDetail = error.what(); // found by the counting pass
    }
    catch (const std::system_error& error)
    {
        sheet.ErrorDetail = FileLabel(sheet.TriedFileName) + ": cannot be read (" + error.code().message() + ")";
    }
    catch (...)
    {
        // No reason is known: the message stands alone.
    }
    return erOpenFailed;
}

TCueErrorReason HandleFile(TSheetReader& reader, const TCueCommand& command)
{
    TLuCueSheet& sheet = reader.Sheet;
    if (sheet.FileCount >= MAX_FILES)
        return erTooMany;
    if (reader.CurrentFile >= 0)
    {
        if (const TCueErrorReason reason = CloseFile(reader); reason != erNone)
            return reason;
    }
    const std::size_t blank = command.Arg.rfind(' ');
    if (blank == std::string_view::npos)
        return erBadArgument;
    const std::string_view type = TrimLeftBlanks(command.Arg.substr(blank));
    const std::string path = sheet.NoteFileTried(command.ArgOriginal.substr(0, blank));
    if (!IsRegularFile(path))
    {
        sheet.ErrorDetail = FileLabel(sheet.TriedFileName) + ": " + NoFileReason(path);
        return erNotFound;
    }
    if (type != "BINARY" && type != "MOTOROLA" && !IsAudioFileType(type))
        return erUnsupportedType;
    if (const TCueErrorReason reason = OpenSource(sheet, type, path, reader.DataSize); reason != erNone)
        return reason;
    reader.CurrentFile = sheet.FileCount++;
    reader.FileHasTrack = false;
    reader.FileHasIndex = false;
    reader.TrackHasIndex = true;
    reader.ConsumedBytes = 0;
    reader.FileLine = command.LineNo;
    reader.FileName = sheet.TriedFileName;
    if (reader.AwaitsIndex1())
        CarryTrack(*reader.CurrentTrack(), reader.CurrentFile);
    reader.TrackCarried = reader.AwaitsIndex1();
    return erNone;
}

// The track type code of a keyword, ttNone when there is no such keyword.
TTrackType FindTrackType(std::string_view text)
{
    const auto found = std::find(std::begin(TRACK_TYPES) + 1, std::end(TRACK_TYPES), text);
    return found == std::end(TRACK_TYPES) ? ttNone : static_cast<TTrackType>(found - std::begin(TRACK_TYPES));
}

TCueErrorReason HandleTrack(TSheetReader& reader, const TCueCommand& command)
{
    TLuCueSheet& sheet = reader.Sheet;
    if (reader.CurrentFile < 0)
        return erNoFileYet;
    // A track needs an INDEX 01: INDEX 00 alone would make it all pregap.
    if (!reader.TrackHasIndex || reader.AwaitsIndex1())
        return erNoIndex;
    const std::size_t blank = command.Arg.rfind(' ');
    if (blank == std::string_view::npos)
        return erBadArgument;
    std::int32_t number = 0;
    if (!TryStrToInt(TrimRightBlanks(command.Arg.substr(0, blank)), number))
        number = 0;
    if (number < 1 || number > MAX_TRACK_NUMBER)
        return erBadArgument;
    if (sheet.FirstTrackNo == 0)
        sheet.FirstTrackNo = number;
    else if (number != reader.LastTrackNo + 1)
        return erNotConsecutive;
    const TTrackType type = FindTrackType(TrimLeftBlanks(command.Arg.substr(blank)));
    if (type == ttNone)
        return erBadArgument;
    if (type == ttCdi_2336 || type == ttCdi_2352)
        return erUnsupportedType;
    try
    {
        auto created = std::make_unique<TLuCueTrack>();
        created->SetType(type);
        created->FileIndex = reader.CurrentFile;
        sheet.Tracks[static_cast<std::size_t>(sheet.TrackCount)] = std::move(created);
    }
    catch (...)
    {
        return erOpenFailed;
    }
    reader.CurrentTrackSlot = sheet.TrackCount++;
    reader.TrackLine = command.LineNo;
    reader.LastTrackNo = number;
    reader.FileHasTrack = true;
    reader.TrackHasIndex = false;
    reader.FlagsGiven = reader.IsrcGiven = reader.PregapGiven = reader.PostgapGiven = false;
    reader.LastIndexNo = -1;
    return erNone;
}

// The placement rules shared by the commands allowed once per track, between its TRACK and first INDEX.
TCueErrorReason CheckBeforeFirstIndex(const TSheetReader& reader, bool alreadyGiven)
{
    if (alreadyGiven)
        return erGivenTwice;
    if (!reader.FileHasTrack)
        return erNoTrack;
    if (reader.TrackHasIndex)
        return erMisplaced;
    return erNone;
}

TCueErrorReason HandleFlags(TSheetReader& reader, const TCueCommand& command)
{
    if (const TCueErrorReason reason = CheckBeforeFirstIndex(reader, reader.FlagsGiven); reason != erNone)
        return reason;
    TLuCueTrack& track = *reader.CurrentTrack();
    std::string rest(command.Arg);
    for (std::string_view token : {"DCP", "4CH", "PRE", "SCMS"})
    {
        const std::size_t at = rest.find(token);
        if (at == std::string::npos)
            continue;
        rest.erase(at, token.size());
        if (token == "DCP")
            track.SetCopyPermitted(true);
        else if (token == "4CH")
            track.SetFourChannel(true);
        else if (token == "PRE")
            track.SetPreEmphasis(true);
    }
    if (!TrimRightBlanks(TrimLeftBlanks(rest)).empty())
        return erBadArgument;
    reader.FlagsGiven = true;
    return erNone;
}

TCueErrorReason HandleIsrc(TSheetReader& reader, const TCueCommand& command)
{
    if (const TCueErrorReason reason = CheckBeforeFirstIndex(reader, reader.IsrcGiven); reason != erNone)
        return reason;
    // Rippers write the code with hyphens between its parts (US-RC1-76-07839).
    std::string code(Unquote(command.Arg));
    code.erase(std::remove(code.begin(), code.end(), '-'), code.end());
    bool valid = code.size() == 12;
    for (std::size_t i = 0; valid && i < 12; ++i)
        valid = IsAsciiDigit(code[i]) || (i < 5 && code[i] >= 'A' && code[i] <= 'Z');
    if (!valid)
        return erBadArgument;
    if (!IsAllZero(code))
    {
        reader.CurrentTrack()->Isrc = code;
        reader.CurrentTrack()->Text.Set(ptUpcIsrc, code, command.LineNo);
    }
    reader.IsrcGiven = true;
    return erNone;
}

TCueErrorReason HandlePregap(TSheetReader& reader, const TCueCommand& command)
{
    if (const TCueErrorReason reason = CheckBeforeFirstIndex(reader, reader.PregapGiven); reason != erNone)
        return reason;
    TMsf msf;
    if (!StrToMsf(command.Arg, msf))
        return erBadArgument;
    reader.CurrentTrack()->Pregap = MsfToFrames(msf);
    reader.Grow(reader.CurrentTrack()->Pregap, command.LineNo, false);
    reader.PregapGiven = true;
    return erNone;
}

// The number and position rules of an INDEX, in order.
TCueErrorReason CheckIndexPlace(const TSheetReader& reader, std::int32_t number, std::int32_t position)
{
    if (!reader.TrackHasIndex)
    {
        if (number != 0 && number != 1)
            return erFirstIndexNotZeroOrOne;
    }
    else if (number != reader.LastIndexNo + 1)
    {
        return erNotConsecutive;
    }
    if (!reader.FileHasIndex)
        return position == 0 ? erNone : erFileStartNotZero;
    // An earlier position would make the control file disagree with the Q channel.
    return position < reader.LastIndexPosition ? erBadArgument : erNone;
}

// "07": index numbers as sheets write them.
std::string TwoDigits(std::int32_t n)
{
    std::string text = std::to_string(n);
    if (text.size() < 2)
        text.insert(0, 1, '0');
    return text;
}

// An INDEX must start within its file's data, and no track may be left without sectors of index 1: the set
// would have no INDEX 1 for it.
TCueErrorReason CheckIndexSpace(const TSheetReader& reader, std::int32_t number, std::int32_t position, TMsf msf)
{
    const std::int64_t end = reader.FileEndPosition();
    const std::string index = "INDEX " + TwoDigits(number) + " " + MsfToStr(msf);
    std::string& detail = reader.Sheet.ErrorDetail;
    if (position > end)
    {
        detail = index + " lies past the end of \"" + reader.FileName + "\" (" + FramesToStr(end) + ")";
        return erPastEnd;
    }
    // The index region this INDEX closes, in this track or the one before.
    const bool sameTrack = reader.TrackHasIndex;
    const std::int32_t closed = !reader.FileHasIndex ? -1
                                : sameTrack          ? reader.LastIndexNo
                                                     : reader.PreviousTrack()->LastIndexNo;
    if (closed == 1 && position == reader.LastIndexPosition)
    {
        const std::int32_t track = sameTrack ? reader.LastTrackNo : reader.LastTrackNo - 1;
        detail = "track " + std::to_string(track) + " has no sectors" + (sameTrack ? " before its " + index : "");
        return erNoSectors;
    }
    if (number == 1 && position == end)
    {
        detail = "track " + std::to_string(reader.LastTrackNo) + " has no sectors";
        return erNoSectors;
    }
    return erNone;
}

TCueErrorReason HandleIndex(TSheetReader& reader, const TCueCommand& command)
{
    if (reader.PostgapGiven)
        return erMisplaced;
    if (!reader.FileHasTrack && !reader.TrackCarried)
        return erNoTrack;
    const std::string_view arg = command.Arg;
    const std::size_t blank = arg.find(' ');
    if (blank == std::string_view::npos)
        return erBadArgument;
    TMsf msf;
    if (!StrToMsf(arg.substr(blank + 1), msf))
        return erBadArgument;
    const std::int32_t position = MsfToFrames(msf);
    std::int32_t number = 100;
    if (!TryStrToInt(TrimControls(arg.substr(0, blank)), number))
        number = 100;
    if (static_cast<std::uint32_t>(number) > MAX_INDEX)
        return erBadArgument;
    // Only INDEX 01 continues a track across a FILE.
    if (!reader.FileHasTrack && number != 1)
        return erNoTrack;
    if (const TCueErrorReason reason = CheckIndexPlace(reader, number, position); reason != erNone)
        return reason;
    if (const TCueErrorReason reason = CheckIndexSpace(reader, number, position, msf); reason != erNone)
        return reason;
    TLuCueTrack& track = *reader.CurrentTrack();
    TLuCueTrack* previous = reader.PreviousTrack();
    const bool trackHadIndex = reader.TrackHasIndex;
    // The first INDEX of a later track in the same file closes the track before it.
    if (!trackHadIndex && reader.FileHasIndex && previous)
        previous->End = position;
    track.SetIndex(static_cast<std::uint32_t>(number), position);
    if (reader.FileHasIndex && trackHadIndex)
        reader.ConsumedBytes += track.GetIndexBytes(static_cast<std::uint32_t>(number - 1));
    else if (reader.FileHasIndex && previous)
        reader.ConsumedBytes += previous->GetIndexBytes(static_cast<std::uint32_t>(previous->LastIndexNo));
    if (reader.FileHasIndex)
        reader.Grow(position - reader.LastIndexPosition, command.LineNo, true);
    reader.LastIndexNo = number;
    reader.LastIndexPosition = position;
    reader.TrackHasIndex = true;
    reader.FileHasIndex = true;
    reader.FileHasTrack = true;
    reader.TrackCarried = false;
    return erNone;
}

TCueErrorReason HandlePostgap(TSheetReader& reader, const TCueCommand& command)
{
    if (reader.PostgapGiven)
        return erGivenTwice;
    if (!reader.FileHasTrack)
        return erNoTrack;
    if (!reader.TrackHasIndex)
        return erMisplaced;
    TMsf msf;
    if (!StrToMsf(command.Arg, msf))
        return erBadArgument;
    reader.CurrentTrack()->Postgap = MsfToFrames(msf);
    reader.Grow(reader.CurrentTrack()->Postgap, command.LineNo, false);
    reader.PostgapGiven = true;
    return erNone;
}

struct TCommandRow
{
    std::string_view Keyword; // with the one blank that must follow it
    TCueErrorGroup Group;
    TCommandHandler Handler;
};

// Matched in this order; the first keyword that starts the line decides. A new command is one handler
// above and one row here; commands that give text to the disc or a track store it through
// TSheetReader::Sheet and CurrentTrack(), and keep their per-disc or per-track flags in TSheetReader.
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
        return;
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
} // namespace

std::string TLuCueSheet::ResolvePath(std::string_view name) const
{
    name = TrimControls(name);
    if (name.empty())
        return {};
    return ResolveBesideSheet(CuePath, Unquote(name));
}

std::string TLuCueSheet::NoteFileTried(std::string_view name)
{
    TriedFilePath = ResolvePath(name);
    TriedFileName = Unquote(TrimControls(name));
    return TriedFilePath;
}

bool TLuCueSheet::Load(const std::string& cuePath)
{
    Clear();
    TriedFileName.clear();
    TriedFilePath.clear();
    ErrorCode = 0;
    ErrorDetail.clear();
    if (!IsRegularFile(cuePath))
    {
        ErrorCode = CueStatus(egSheet, erNotFound);
        return false;
    }
    std::string text;
    if (!ReadWholeFile(cuePath, text))
    {
        ErrorCode = CueStatus(egSheet, erUnreadable);
        return false;
    }
    CuePath = cuePath;
    try
    {
        WideSheetToUtf8(text);
        ReadSheet(text);
        if (ErrorCode == 0)
            BuildCdText();
    }
    catch (const ECountCanceled&)
    {
        ErrorCode = CueStatus(egSheet, erCanceled);
    }
    catch (...)
    {
        if (ErrorCode == 0)
            ErrorCode = CueStatus(egSheet, erUnreadable);
    }
    text.clear();
    text.shrink_to_fit();
    if (ErrorCode != 0)
    {
        Clear();
        return false;
    }
    BuildAddressTable();
    BuildTocTable();
    BuildSubQSchedule();
    if (std::string warning = ShortTrackWarning(*this); !warning.empty())
        LoadWarnings.push_back(std::move(warning));
    return true;
}

std::vector<std::string> TLuCueSheet::NamedFiles(const std::string& cuePath)
{
    std::vector<std::string> names;
    std::string text;
    if (!IsRegularFile(cuePath) || !ReadWholeFile(cuePath, text))
        return names;
    WideSheetToUtf8(text);
    TLuCueSheet sheet;
    sheet.CuePath = cuePath;
    TSheetReader reader(sheet);
    reader.Names = &names;
    reader.Read(text);
    return names;
}

void TLuCueSheet::ReadSheet(const std::string& text)
{
    TSheetReader reader(*this);
    reader.Read(text);
}

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
    case CueStatus(egPostgap, erMisplaced): return MISPLACED;
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
