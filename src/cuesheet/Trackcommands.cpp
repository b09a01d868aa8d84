// SPDX-License-Identifier: GPL-3.0-or-later
// The sheet's commands that lay out the disc: FILE, TRACK, FLAGS, ISRC, PREGAP, INDEX and POSTGAP, and the
// checks that keep each file's indexes within its data.
#include "cuesheet/Trackcommands.h"

#include "cuesheet/Sessioncommands.h"

#include "fileio/Fileio.h"
#include "fileio/Paths.h"
#include "sources/Audioprobe.h"
#include "sources/Audiosource.h"
#include "sources/Binarysource.h"
#include "sources/Motorolasource.h"
#include "synthesis/Msf.h"
#include "text/Asciitext.h"

#include <algorithm>
#include <system_error>

namespace {

constexpr std::string_view TRACK_TYPES[] = {
    "", "AUDIO", "CDG", "MODE1/2048", "MODE1/2352", "MODE2/2336", "MODE2/2352", "CDI/2336", "CDI/2352",
};

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
    catch (const EFOpenError&)
    {
        // Not RIFF, and no decoder knows it: the keyword at least says what it should have been.
        if (type == "WAVE")
            sheet.ErrorDetail = FileLabel(sheet.TriedFileName) + ": not a WAVE file";
    }
    catch (...)
    {
        // No reason is known: the message stands alone.
    }
    return erOpenFailed;
}

// The track type code of a keyword, ttNone when there is no such keyword.
TTrackType FindTrackType(std::string_view text)
{
    const auto found = std::find(std::begin(TRACK_TYPES) + 1, std::end(TRACK_TYPES), text);
    return found == std::end(TRACK_TYPES) ? ttNone : static_cast<TTrackType>(found - std::begin(TRACK_TYPES));
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

// PREGAP and POSTGAP: sectors the sheet adds to the track, which the disc's length counts.
TCueErrorReason SetGap(TSheetReader& reader, const TCueCommand& command, std::int32_t TLuCueTrack::*gap, bool& given)
{
    TMsf msf;
    if (!StrToMsf(command.Arg, msf))
        return erBadArgument;
    TLuCueTrack& track = *reader.CurrentTrack();
    track.*gap = MsfToFrames(msf);
    reader.Grow(track.*gap, command.LineNo, false);
    given = true;
    return erNone;
}

} // namespace

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
    const std::string_view type = TrimLeadingSpaces(command.Arg.substr(blank));
    const std::string path = sheet.NoteFileTried(command.ArgOriginal.substr(0, blank));
    if (!IsRegularFile(path))
    {
        sheet.ErrorDetail = NoFileText(sheet.TriedFileName, path);
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
    if (!TryStrToInt(TrimTrailingSpaces(command.Arg.substr(0, blank)), number))
        number = 0;
    if (number < 1 || number > MAX_TRACK_NUMBER)
        return erBadArgument;
    if (sheet.FirstTrackNo == 0)
        sheet.FirstTrackNo = number;
    else if (number != reader.LastTrackNo + 1)
        return erNotConsecutive;
    const TTrackType type = FindTrackType(TrimLeadingSpaces(command.Arg.substr(blank)));
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
    if (const TCueErrorReason reason = JoinSession(reader, *reader.CurrentTrack(), command.LineNo); reason != erNone)
        return reason;
    reader.TrackLine = command.LineNo;
    reader.LastTrackNo = number;
    reader.FileHasTrack = true;
    reader.TrackHasIndex = false;
    reader.FlagsGiven = reader.IsrcGiven = reader.PregapGiven = reader.PostgapGiven = false;
    reader.LastIndexNo = -1;
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
    if (!TrimTrailingSpaces(TrimLeadingSpaces(rest)).empty())
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
    return SetGap(reader, command, &TLuCueTrack::Pregap, reader.PregapGiven);
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
    reader.OpenRegion(position, command.LineNo);
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
    return SetGap(reader, command, &TLuCueTrack::Postgap, reader.PostgapGiven);
}
