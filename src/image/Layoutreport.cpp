// SPDX-License-Identifier: GPL-3.0-or-later
#include "image/Layoutreport.h"

#include "cuesheet/Lucue.h"
#include "cuesheet/Subqpatch.h"
#include "sources/Audiosource.h"
#include "synthesis/Msf.h"
#include "text/Asciitext.h"

#include <algorithm>

namespace {

// Column texts; every list line is 75 characters wide except the separator.
constexpr const char* TYPE_COLUMN[] = {
    "Audio      ", "CDG        ", "Mode1/2048 ", "Mode1/2352 ",
    "Mode2/2336 ", "Mode2/2352 ", "CDI/2336   ", "CDI/2352   ",
};
constexpr const char* TIME_GAP = "     "
                                 "                          "
                                 "     ";
constexpr const char* LEAD_OUT_LINE = "            LeadOut                                       ";
constexpr std::size_t SEPARATOR_WIDTH = 90;
constexpr std::size_t REPORT_WIDTH = 75;
constexpr std::size_t RULE_DASHES = 73;

std::string Time(std::int32_t frames)
{
    return MsfToStr(FramesToMsf(static_cast<std::uint32_t>(frames)));
}

std::string YesNo(int flag)
{
    return flag ? "Yes  " : "No   ";
}

std::string TrackLine(std::int32_t number, const TLuCueTrack& track)
{
    std::string line = "  " + TwoDigits(number) + "  ";
    line += "      ";
    line += track.Isrc.empty() ? std::string(15, ' ') : track.Isrc + "   ";
    if (track.Type >= ttAudio && track.Type <= ttCdi_2352)
        line += TYPE_COLUMN[track.Type - ttAudio];
    line += YesNo(track.GetCopyPermitted());
    line += YesNo(track.GetPreEmphasis());
    line += YesNo(track.GetFourChannel());
    line += std::string(22, ' ');
    return line;
}

std::string TimedLine(const std::string& index, const char* name, std::int32_t start, std::int32_t length)
{
    return "      " + index + name + TIME_GAP + Time(start) + " " + Time(length);
}

constexpr std::size_t CD_TEXT_LABEL_WIDTH = 12;

// The text written from the sheet, as the user wrote it, after the track list: which blocks, then
// each place's items.
void AppendCdTextLines(const TLuCueSheet& sheet, std::vector<std::string>& lines)
{
    static constexpr const char* ITEM_NAMES[] = {"TITLE",    "PERFORMER", "SONGWRITER", "COMPOSER",
                                                 "ARRANGER", "MESSAGE",   "DISC_ID",    "GENRE"};
    auto label = [](std::string text) {
        text.resize(std::max(text.size(), CD_TEXT_LABEL_WIDTH), ' ');
        return "  " + text;
    };
    lines.push_back(std::string(SEPARATOR_WIDTH, '-'));
    for (std::size_t b = 0; b < sheet.CdTextCharCodes.size(); ++b)
    {
        const bool japanese = sheet.CdTextCharCodes[b] == ccMsJis;
        lines.push_back(label(b == 0 ? "CD-TEXT" : "") + "Block " + std::to_string(b) + ": " +
                        (japanese ? "Japanese, MS-JIS" : "English, ISO-8859-1"));
    }
    if (sheet.CdTextReplaced > 0)
        lines.push_back(label("") + std::to_string(sheet.CdTextReplaced) +
                        (sheet.CdTextReplaced == 1 ? " character" : " characters") + " written as \"?\"");
    for (std::int32_t i = 0; i <= sheet.TrackCount; ++i)
    {
        const TLuCueTrack* track = i > 0 ? sheet.Tracks[static_cast<std::size_t>(i - 1)].get() : nullptr;
        const TCueText& text = track ? track->Text : sheet.DiscText;
        std::string place = track ? "Track " + TwoDigits(sheet.FirstTrackNo + i - 1) : "Disc";
        for (std::size_t t = 0; t < std::size(ITEM_NAMES); ++t)
        {
            if (text.Value[t].empty())
                continue;
            std::string name = ITEM_NAMES[t];
            name.resize(CD_TEXT_LABEL_WIDTH - 1, ' ');
            lines.push_back(label(place) + name + ": " + text.Value[t]);
            place.clear();
        }
    }
}

std::string RuleLine()
{
    return "  " + std::string(RULE_DASHES, '-') + "\n";
}

// "  Session 2" with where the session's program area starts, in the Start column.
std::string SessionLine(std::int32_t number, std::int32_t start)
{
    std::string line = "  Session " + std::to_string(number);
    line.resize(std::string_view(LEAD_OUT_LINE).size(), ' ');
    return line + Time(start) + std::string(9, ' ');
}

// A session's gap, when the sheet's REM lines gave lengths other than the standard ones.
std::string GapNote(const TLuCueSheet& sheet, std::size_t i)
{
    const TSessionGap& gap = sheet.SessionGaps[i];
    return "Session " + std::to_string(i + 2) + " follows a lead-out of " + FramesToStr(gap.LeadOut) +
           ", a lead-in of " + FramesToStr(gap.LeadIn) + " and a pregap of " + FramesToStr(gap.Pregap) +
           ", as the sheet gives them; the standard gap is " +
           FramesToStr(i == 0 ? FIRST_LEAD_OUT_LENGTH : LEAD_OUT_LENGTH) + ", " + FramesToStr(LEAD_IN_LENGTH) +
           " and " + FramesToStr(SESSION_PREGAP_LENGTH);
}

// The lines of one track: its own, the pregap, each index (the last with the postgap), the total.
void AppendTrackLines(const TLuCueSheet& sheet, std::int32_t t, const TLuCueTrack& track, TDiscLayout& layout)
{
    const TDiscTrack& model = *sheet.Model().FindTrack(t);
    std::int32_t running = model.Extents.front().Lba + PROGRAM_START;
    std::int32_t total = 0;
    layout.Lines.push_back(TrackLine(t, track));
    // The first track's pregap holds the two seconds before LBA 0, a later session's the pregap the set
    // does not store.
    const std::int32_t pregap = model.IndexLba(1) + PROGRAM_START - running;
    if (pregap != 0)
    {
        layout.Lines.push_back(TimedLine(" 00   ", "Pregap    ", running, pregap));
        running += pregap;
        total += pregap;
    }
    const std::int32_t indexCount = track.GetIndexCount();
    for (std::int32_t i = 1; i <= indexCount; ++i)
    {
        std::int32_t length = track.GetIndexLength(static_cast<std::uint32_t>(i));
        if (i == indexCount)
            length += track.Postgap;
        layout.Lines.push_back(TimedLine(std::string(" ").append(TwoDigits(i)).append("   "),
                                         i == 1 ? "Track     " : "Subindex  ", running, length));
        running += length;
        total += length;
    }
    layout.Lines.push_back(std::string(48, ' ') + "    Total " + std::string(9, ' ') + Time(total));
    if (const auto* audio =
            dynamic_cast<const TLuCueAudioFile*>(track.FileIndex >= 0 && track.FileIndex < MAX_FILES
                                                     ? sheet.Files[static_cast<std::size_t>(track.FileIndex)].get()
                                                     : nullptr);
        audio != nullptr && audio->Lossy)
        layout.Notes.push_back("Track " + TwoDigits(t) + " comes from a lossy file: " + audio->Name + " (" +
                               audio->Format + ")");
    layout.Lines.push_back(std::string(SEPARATOR_WIDTH, '-'));
}

} // namespace

std::string LayoutHeader()
{
    return std::string("Track Index ") + "ISRC      " + "     " + "Type       Copy Emph 4ch  " + "     " + " Start   " +
           " Length ";
}

TDiscLayout BuildDiscLayout(const TLuCueSheet& sheet)
{
    TDiscLayout layout;
    const TDiscModel& disc = sheet.Model();
    const bool sessions = disc.Sessions.size() > 1;
    for (std::int32_t i = 0; i < sheet.TrackCount; ++i)
    {
        const TLuCueTrack& track = *sheet.Tracks[static_cast<std::size_t>(i)];
        const bool opens = i == 0 || track.Session != sheet.Tracks[static_cast<std::size_t>(i - 1)]->Session;
        if (sessions && opens)
        {
            // Each session ends in a lead-out of its own; the next one starts after the gap.
            if (i > 0)
                layout.Lines.push_back(LEAD_OUT_LINE + Time(disc.LeadOutAddress(track.Session - 1)) + std::string(9, ' '));
            const TDiscTrack& first = *disc.FindTrack(sheet.FirstTrackNo + i);
            layout.Lines.push_back(SessionLine(track.Session, first.Extents.front().Lba + PROGRAM_START));
        }
        AppendTrackLines(sheet, sheet.FirstTrackNo + i, track, layout);
    }
    const std::int32_t leadOut = sheet.LeadOutAddress();
    if (sheet.TrackCount > 0)
        layout.Lines.push_back(LEAD_OUT_LINE + Time(leadOut) + std::string(9, ' '));
    for (std::size_t i = 0; i < sheet.SessionGaps.size(); ++i)
        if (!sheet.SessionGaps[i].Standard)
            layout.Notes.push_back(GapNote(sheet, i));
    // The load's warning, as a sentence of its own.
    if (std::string warning = ShortTrackWarning(sheet); !warning.empty())
    {
        warning[0] = 'T';
        layout.Notes.push_back(std::move(warning));
    }

    layout.NumTracks = std::to_string(sheet.TrackCount);
    layout.TotalTime = Time(leadOut);
    layout.Catalog = sheet.Catalog.empty() ? NOT_SPECIFIED : sheet.Catalog;
    layout.HasCdTextFile = !sheet.CdTextFile.empty();
    layout.CdTextFile = layout.HasCdTextFile ? sheet.CdTextFile : NOT_SPECIFIED;
    if (!layout.HasCdTextFile && !sheet.CdTextPacks.empty())
    {
        layout.CdTextFile = "From the cue sheet (" + std::to_string(sheet.CdTextPacks.size()) + " packs)";
        AppendCdTextLines(sheet, layout.Lines);
    }
    layout.SubQPatches = SubQPatchSummary(sheet);
    for (const TLuCueSheet::TIgnoredLine& ignored : sheet.IgnoredLines)
        layout.IgnoredLines.push_back(std::to_string(ignored.LineNo) + ": " + ignored.Text);
    return layout;
}

std::string BuildLayoutReport(const TDiscLayout& layout)
{
    const std::string bar = std::string(REPORT_WIDTH, '=') + "\n\n";
    std::string text = bar;
    text += "DISC INFORMATION\n\n";
    text += "  Number of Tracks     : " + layout.NumTracks + "\n\n";
    text += "  Total Disc Time      : " + layout.TotalTime + "\n\n";
    text += "  Media Catalog Number : " + layout.Catalog + "\n\n";
    text += "  CD-TEXT File         : " + layout.CdTextFile + "\n\n";
    if (!layout.SubQPatches.empty())
        text += std::string("  ") + SUBQ_PATCH_LABEL + layout.SubQPatches + "\n\n";
    // One line each, the later ones under the first.
    std::string label = IGNORED_LINES_LABEL;
    for (const std::string& ignored : layout.IgnoredLines)
    {
        text += "  " + label + ignored + "\n";
        label.assign(label.size(), ' ');
    }
    if (!layout.IgnoredLines.empty())
        text += "\n";
    text += bar;
    text += "TRACK/INDEX INFORMATION\n\n";
    text += "                                                           Start    Length \n";
    text += "  TRK IDX   ISRC           TYPE       COPY EMPH 4CHN      MM:SS:FF MM:SS:FF\n";
    text += RuleLine();
    for (const std::string& line : layout.Lines)
    {
        if (line.compare(0, 2, "--") == 0)
            text += RuleLine();
        else
            text += line + "\n";
    }
    if (!layout.Notes.empty())
    {
        text += "\n";
        for (const std::string& note : layout.Notes)
            text += "  " + note + "\n";
    }
    return text;
}
