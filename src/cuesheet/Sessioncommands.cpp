// SPDX-License-Identifier: GPL-3.0-or-later
#include "cuesheet/Sessioncommands.h"

#include "synthesis/Msf.h"
#include "text/Asciitext.h"

namespace {

// The gap lines belong between a session's last track and the next session's first.
bool BetweenSessions(const TSheetReader& reader)
{
    return reader.Sheet.TrackCount > 0 && (reader.SessionHasTrack || reader.SessionNo >= 2);
}

// A length given by a REM line: the session's own, noted when it is not the standard one. In a sheet
// without session lines they stay the comments they always were.
TCueErrorReason SetLength(TSheetReader& reader, const TCueCommand& command, std::int32_t TSessionGap::*member,
                          bool afterSessionLine)
{
    if (reader.SessionNo == 0)
        return erNone;
    if (!BetweenSessions(reader) || (afterSessionLine && (reader.SessionNo < 2 || reader.SessionHasTrack)))
        return erMisplaced;
    TMsf msf;
    if (!StrToMsf(TrimTrailingSpaces(command.Arg), msf))
        return erBadArgument;
    // Before the REM SESSION line the lengths wait for it; after it they are its own.
    TSessionGap& gap = reader.SessionHasTrack ? reader.PendingGap : reader.Sheet.SessionGaps.back();
    const std::int32_t length = MsfToFrames(msf);
    if (gap.*member != length)
        gap.Standard = false;
    gap.*member = length;
    // The set keeps only their sum; with none, the next program area would start where the lead-out
    // does, which no disc has and the verifier refuses.
    if (gap.LeadOut + gap.LeadIn == 0)
    {
        const std::int32_t next = reader.SessionHasTrack ? reader.SessionNo + 1 : reader.SessionNo;
        reader.Sheet.ErrorDetail = "session " + std::to_string(next) + " would start where the lead-out of session " +
                                   std::to_string(next - 1) + " does: a lead-out and a lead-in of 00:00:00";
        return erBadArgument;
    }
    return erNone;
}

} // namespace

TCueErrorReason HandleSession(TSheetReader& reader, const TCueCommand& command)
{
    std::int32_t number = 0;
    if (!TryStrToInt(TrimTrailingSpaces(command.Arg), number) || number < 1 || number > MAX_SESSIONS)
        return erBadArgument;
    if (number != reader.SessionNo + 1)
        return erNotConsecutive;
    if (number == 1 && reader.Sheet.TrackCount > 0)
        return erMisplaced;
    if (number > 1 && !reader.SessionHasTrack)
        return erNoTrack;
    // A track without its INDEX 01 would lie across the gap.
    if (reader.CurrentTrack() && reader.CurrentTrack()->LastIndexNo < 1)
        return erMisplaced;
    if (number > 1)
    {
        TSessionGap gap = reader.PendingGap;
        gap.Line = command.LineNo;
        reader.Sheet.SessionGaps.push_back(gap);
        reader.PendingGap = TSessionGap{};
        reader.PendingGap.LeadOut = LEAD_OUT_LENGTH;
        reader.UnusedLeadOutLine = 0;
    }
    reader.SessionNo = number;
    reader.SessionHasTrack = false;
    reader.SessionLine = command.LineNo;
    return erNone;
}

TCueErrorReason HandleLeadOut(TSheetReader& reader, const TCueCommand& command)
{
    const TCueErrorReason reason = SetLength(reader, command, &TSessionGap::LeadOut, false);
    // Waits for the REM SESSION that uses it; after the last session nothing does.
    if (reason == erNone && reader.SessionNo > 0 && reader.SessionHasTrack)
        reader.UnusedLeadOutLine = command.LineNo;
    return reason;
}

TCueErrorReason HandleLeadIn(TSheetReader& reader, const TCueCommand& command)
{
    return SetLength(reader, command, &TSessionGap::LeadIn, true);
}

TCueErrorReason HandleSessionPregap(TSheetReader& reader, const TCueCommand& command)
{
    return SetLength(reader, command, &TSessionGap::Pregap, true);
}

TCueErrorReason JoinSession(TSheetReader& reader, TLuCueTrack& track, std::uint32_t lineNo)
{
    track.Session = std::max(reader.SessionNo, 1);
    const bool opens = !reader.SessionHasTrack;
    reader.SessionHasTrack = true;
    if (!opens || track.Session == 1)
        return erNone;
    if (reader.FileHasTrack)
        return erSameFile;
    const TSessionGap& gap = reader.Sheet.SessionGaps.back();
    reader.Grow(gap.LeadOut + gap.LeadIn, lineNo, false);
    return erNone;
}
