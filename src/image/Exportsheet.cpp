// SPDX-License-Identifier: GPL-3.0-or-later
#include "image/Exportsheet.h"

#include "cuesheet/Toccommands.h"
#include "fileio/Paths.h"
#include "synthesis/Msf.h"
#include "text/Asciitext.h"

#include <algorithm>

namespace {

// Between sessions: the lead-out of the one before (longer after the first), the lead-in and the
// pregap of the next session's first track, none of them stored.
constexpr std::int32_t FIRST_LEAD_OUT = 90 * FRAMES_PER_SECOND;
constexpr std::int32_t LATER_LEAD_OUT = 30 * FRAMES_PER_SECOND;
constexpr std::int32_t LEAD_IN = 60 * FRAMES_PER_SECOND;
constexpr std::int32_t SESSION_PREGAP = 2 * FRAMES_PER_SECOND;
constexpr const char* EOL = "\r\n";

// Where the track's sectors start: its index 0, else its index 1.
std::int32_t TrackStartLba(const TDiscTrack& track)
{
    const std::int32_t gap = track.IndexLba(0);
    return gap >= 0 ? gap : track.IndexLba(1);
}

const char* ModeName(const TExportTrack& part)
{
    const TDiscTrack& track = *part.Track;
    if (part.Cdg)
        return "CDG";
    const std::int32_t mode = track.Mode >= 0 ? track.Mode : (track.Control & 0x4) != 0 ? 1 : 0;
    return mode == 0 ? "AUDIO" : mode == 1 ? "MODE1/2352" : "MODE2/2352";
}

// What lies between a session and the one before. The tracks fix its length, from the earlier
// session's lead-out (A2) to the first track's index 1; the pointer to the next program area (B0 of
// mode 5, within that gap) only says where the first track's pregap starts.
struct TGap
{
    std::int32_t LeadOut = 0;
    std::int32_t LeadIn = 0;
    std::int32_t Pregap = 0;
};

TGap SessionGapOf(const TDiscModel& disc, std::int32_t session, const TExportTrack& first)
{
    const std::int32_t leadOutAt = disc.LeadOutAddress(session - 1);
    const std::int32_t index1At = first.FirstLba + PROGRAM_START;
    std::int32_t areaAt = std::max(index1At - SESSION_PREGAP, leadOutAt);
    for (const TTocEntry& e : disc.Toc)
        if (e.Session == session - 1 && e.Point == POINT_NEXT_SESSION && e.Adr == ADR_POINTER &&
            MsfToFrames(e.A) >= leadOutAt && MsfToFrames(e.A) <= index1At)
            areaAt = MsfToFrames(e.A);
    TGap gap;
    gap.Pregap = index1At - areaAt;
    // Only the sum of lead-out and lead-in places anything: the lead-out keeps its usual length.
    gap.LeadOut = std::min(session == 2 ? FIRST_LEAD_OUT : LATER_LEAD_OUT, areaAt - leadOutAt);
    gap.LeadIn = areaAt - leadOutAt - gap.LeadOut;
    return gap;
}

// REM SESSION and the lengths of the gap before it that are not the usual ones: the lead-out's ends the
// session before, the others follow the session line.
void AppendSessionStart(std::string& text, const TDiscModel& disc, const TExportTrack& first)
{
    const TGap gap = first.Session > 1 ? SessionGapOf(disc, first.Session, first) : TGap{};
    if (first.Session > 1 && gap.LeadOut != (first.Session == 2 ? FIRST_LEAD_OUT : LATER_LEAD_OUT))
        text += "REM LEAD-OUT " + FramesToStr(gap.LeadOut) + EOL;
    text += "REM SESSION " + TwoDigits(first.Session) + EOL;
    if (first.Session > 1 && gap.LeadIn != LEAD_IN)
        text += "REM LEAD-IN " + FramesToStr(gap.LeadIn) + EOL;
    if (first.Session > 1 && gap.Pregap != SESSION_PREGAP)
        text += "REM PREGAP " + FramesToStr(gap.Pregap) + EOL;
}

void AppendTrack(std::string& text, const TExportTrack& part, std::int32_t fileStartLba,
                 const std::vector<std::string>& textLines)
{
    const TDiscTrack& track = *part.Track;
    text += "  TRACK " + TwoDigits(track.Number) + " " + ModeName(part) + EOL;
    for (const std::string& line : textLines)
        text += "    " + line + EOL;
    if (const std::string flags = FlagsOf(track.Control); !flags.empty())
        text += "    FLAGS " + flags + EOL;
    if (!track.Isrc.empty())
        text += "    ISRC " + track.Isrc + EOL;
    if (part.Pregap > 0)
        text += "    PREGAP " + FramesToStr(part.Pregap) + EOL;
    // Sectors before the first index that is kept belong to the track's pregap.
    const auto kept = std::find_if(track.Indexes.begin(), track.Indexes.end(),
                                   [&part](const TDiscIndex& index) { return index.Lba >= part.FirstLba; });
    const bool gapFirst = kept == track.Indexes.end() || kept->Lba > part.FirstLba;
    if (gapFirst)
        text += "    INDEX 00 " + FramesToStr(part.FirstLba - fileStartLba) + EOL;
    for (const TDiscIndex& index : track.Indexes)
        if (index.Lba >= part.FirstLba && !(gapFirst && index.Number == 0))
            text += "    INDEX " + TwoDigits(index.Number) + " " + FramesToStr(index.Lba - fileStartLba) + EOL;
}

} // namespace

TExportLayout BuildExportLayout(const TDiscModel& disc, std::string& problem)
{
    TExportLayout layout;
    const std::vector<TLbaRange> ranges = disc.StoredRanges();
    std::int64_t rangeStart = 0; // in the .img
    for (std::size_t s = 0; s < disc.Sessions.size() && s < ranges.size(); ++s)
    {
        const TLbaRange& range = ranges[s];
        const auto& tracks = disc.Sessions[s].Tracks;
        // No gap of a sheet puts a session before the lead-out of the one before.
        if (s > 0 && range.First + PROGRAM_START < disc.LeadOutAddress(disc.Sessions[s - 1].Number))
        {
            problem = "session " + std::to_string(disc.Sessions[s].Number) +
                      " starts before the lead-out of the session before it";
            return {};
        }
        for (std::size_t t = 0; t < tracks.size(); ++t)
        {
            TExportTrack part;
            part.Track = &tracks[t];
            part.Session = disc.Sessions[s].Number;
            part.FirstLba = t == 0 ? range.First : TrackStartLba(tracks[t]);
            // Each track is checked by its own start, so that the one named is the one misplaced.
            const std::int32_t previous = t == 0 ? range.First - 1 : layout.Tracks.back().FirstLba;
            if (tracks[t].IndexLba(1) < 0 || part.FirstLba <= previous || part.FirstLba >= range.End)
            {
                problem = "track " + std::to_string(tracks[t].Number) + " lies outside the sectors the set holds";
                return {};
            }
            if (t > 0)
                layout.Tracks.back().Sectors = part.FirstLba - previous;
            part.FirstSector = rangeStart + (part.FirstLba - range.First);
            part.Sectors = range.End - part.FirstLba;
            layout.Tracks.push_back(part);
        }
        rangeStart += range.End - range.First;
    }
    if (layout.Tracks.empty())
        problem = "the control file lists no track";
    layout.ImgSectors = layout.Tracks.empty() ? 0 : rangeStart;
    return layout;
}

std::vector<std::string> ExportFileNames(const std::string& cuePath, TExportLayout& layout, bool singleFile)
{
    const std::string base = BaseName(ChangeFileExt(cuePath, ""));
    const std::size_t tracks = layout.Tracks.size();
    const bool sessions = tracks > 0 && layout.Tracks.back().Session > 1;
    const auto nameOf = [&](const TExportTrack& part) {
        if (singleFile)
            return sessions ? base + " (Session " + std::to_string(part.Session) + ").bin" : base + ".bin";
        const std::int32_t n = part.Track->Number;
        return tracks == 1 ? base + ".bin"
                           : base + " (Track " + (tracks >= 10 ? TwoDigits(n) : std::to_string(n)) + ").bin";
    };
    std::vector<std::string> names;
    for (std::size_t i = 0; i < tracks; ++i)
    {
        TExportTrack& part = layout.Tracks[i];
        if (!singleFile || i == 0 || part.Session != layout.Tracks[i - 1].Session)
            names.push_back(nameOf(part));
        part.File = names.size() - 1;
    }
    return names;
}

void MakeFirstPregapGenerated(TExportLayout& layout, std::int32_t gap)
{
    TExportTrack& first = layout.Tracks.front();
    first.Pregap = gap;
    first.FirstLba += gap;
    first.FirstSector += gap;
    first.Sectors -= gap;
}

std::string FlagsOf(std::uint8_t control)
{
    std::string flags;
    if ((control & 0x2) != 0)
        flags += "DCP ";
    if ((control & 0x8) != 0)
        flags += "4CH ";
    if ((control & 0x1) != 0)
        flags += "PRE ";
    if (!flags.empty())
        flags.pop_back();
    return flags;
}

std::string ExportSheetText(const TDiscModel& disc, const TExportLayout& layout,
                            const std::vector<std::string>& fileNames, const std::string& cdtName,
                            const TCdTextLines& textLines, const std::vector<TTocEntry>& tocEntries)
{
    std::string text;
    const auto linesOf = [&textLines](std::size_t item) {
        return item < textLines.size() ? textLines[item] : std::vector<std::string>{};
    };
    if (!disc.Catalog.empty())
        text += "CATALOG " + disc.Catalog + EOL;
    if (!cdtName.empty())
        text += "CDTEXTFILE \"" + cdtName + "\"" + EOL;
    for (const std::string& line : linesOf(0))
        text += line + EOL;
    for (const TTocEntry& entry : tocEntries)
        text += TocEntryLine(entry) + EOL;
    const bool sessions = disc.Sessions.size() > 1;
    std::int64_t fileStartSector = 0;
    for (std::size_t i = 0; i < layout.Tracks.size(); ++i)
    {
        const TExportTrack& part = layout.Tracks[i];
        const bool sessionStart = i == 0 || part.Session != layout.Tracks[i - 1].Session;
        if (sessions && sessionStart)
            AppendSessionStart(text, disc, part);
        if (i == 0 || part.File != layout.Tracks[i - 1].File)
        {
            text += "FILE \"" + fileNames[part.File] + "\" BINARY" + EOL;
            fileStartSector = part.FirstSector;
        }
        // In one file for all, a later session's sectors follow the earlier one's.
        AppendTrack(text, part, part.FirstLba - static_cast<std::int32_t>(part.FirstSector - fileStartSector),
                    linesOf(i + 1));
    }
    // Text beyond ASCII is UTF-8, which the mark tells every reader.
    if (std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; }))
        text.insert(0, "\xEF\xBB\xBF");
    return text;
}
