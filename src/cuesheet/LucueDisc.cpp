// SPDX-License-Identifier: GPL-3.0-or-later
// The disc a loaded sheet makes: its model, built once after the sheet was read, and that model as
// its control file tells it.
#include "cuesheet/Lucue.h"

#include "cuesheet/Cdtextfile.h"
#include "cuesheet/Tocrules.h"
#include "fileio/Fileio.h"

#include <algorithm>

namespace {

// No file, a folder, or a path we may not even look at means no CD-TEXT, as it does for the parser;
// anything else named there must open as a regular file.
bool CdTextFileIsNamed(const std::string& path)
{
    const TPathKind kind = PathKind(path);
    return kind == pkRegular || kind == pkOther;
}

// Lays tracks out one after another: the gaps the sheet adds and the runs of their data files.
class TExtentPlacer
{
public:
    std::int32_t Lba = -PROGRAM_START;

    void PlaceGap(std::int32_t index, TAddressKind kind, std::int32_t length, std::vector<TDiscExtent>& extents)
    {
        extents.push_back(TDiscExtent{index, kind, Lba, length, 0, 0});
        Lba += length;
    }

    void PlaceTrack(const TLuCueTrack& track, std::vector<TDiscExtent>& extents)
    {
        // The first track's PREGAP follows the fixed 150 sectors, as the TOC counts it.
        if (track.Pregap > 0)
            PlaceGap(0, akPregap, track.Pregap, extents);
        const std::int32_t indexCount = track.GetIndexCount();
        for (std::int32_t j = 0; j <= indexCount; ++j)
        {
            const std::int32_t length = track.GetIndexLength(static_cast<std::uint32_t>(j));
            // Index 0 may lie at the end of the file before the track's own.
            const std::int32_t file = j == 0 && track.PregapFileIndex >= 0 ? track.PregapFileIndex : track.FileIndex;
            if (file != CurrentFile)
            {
                FileOffset = 0;
                CurrentFile = file;
            }
            if (length <= 0)
                continue;
            extents.push_back(TDiscExtent{j, akFile, Lba, length, file, FileOffset});
            Lba += length;
            FileOffset += std::int64_t(length) * track.GetSectorSize();
        }
        if (track.Postgap > 0)
            PlaceGap(indexCount, akPostgap, track.Postgap, extents);
    }

private:
    std::int64_t FileOffset = 0;
    std::int32_t CurrentFile = -1;
};

// Where each index starts: the first of its runs. The list ends at the first index that holds no
// sectors, as the control file lists them; a session's first track has its index 0 in no image.
std::vector<TDiscIndex> IndexesOf(const std::vector<TDiscExtent>& extents, bool firstTrack)
{
    std::vector<TDiscIndex> indexes;
    for (std::int32_t i = 0; i <= MAX_INDEX; ++i)
    {
        const auto run = std::find_if(extents.begin(), extents.end(), [i](const TDiscExtent& e) { return e.Index == i; });
        if (run == extents.end())
        {
            if (i == 0)
                continue;
            break;
        }
        if (i > 0 || !firstTrack)
            indexes.push_back(TDiscIndex{i, run->Lba});
    }
    return indexes;
}

TTocEntry PointEntry(std::uint8_t control, std::uint8_t point, TMsf p)
{
    TTocEntry entry;
    entry.Point = point;
    entry.Control = control;
    entry.P = p;
    return entry;
}

// A0, A1 and A2, the pointer to the next session's program area when there is one, then one descriptor
// per track at its index 1.
std::vector<TTocEntry> TocOf(const TDiscSession& session, std::int32_t leadOutLba, bool hasMode2,
                             const TDiscSession* next, std::int32_t discLeadOutLba)
{
    std::vector<TTocEntry> entries;
    const TDiscTrack& first = session.Tracks.front();
    const TDiscTrack& last = session.Tracks.back();
    const auto number = [](std::int32_t n) { return static_cast<std::uint8_t>(n); };
    const auto at = [](std::int32_t lba) { return FramesToMsf(static_cast<std::uint32_t>(lba + PROGRAM_START)); };
    // Readers pick the session type from A0's PSEC: 0x20 marks a CD-ROM XA session.
    entries.push_back(
        PointEntry(first.Control, POINT_FIRST_TRACK, TMsf{0, number(first.Number), std::uint8_t(hasMode2 ? 0x20 : 0), 0}));
    entries.push_back(PointEntry(last.Control, POINT_LAST_TRACK, TMsf{0, number(last.Number), 0, 0}));
    // The lead-out carries the last track's control, so a data disc does not end in "audio".
    entries.push_back(PointEntry(last.Control, POINT_LEAD_OUT, at(leadOutLba)));
    if (next)
    {
        // Mode 5: where the next program area starts (its first track's pregap), the one pointer of its
        // kind here, and the start of the disc's outermost lead-out.
        TTocEntry pointer = PointEntry(0, POINT_NEXT_SESSION, at(discLeadOutLba));
        pointer.Adr = ADR_POINTER;
        pointer.A = at(next->Tracks.front().Extents.front().Lba);
        pointer.Zero = 1;
        entries.push_back(pointer);
    }
    for (const TDiscTrack& track : session.Tracks)
        entries.push_back(PointEntry(track.Control, number(track.Number), at(track.IndexLba(1))));
    for (TTocEntry& entry : entries)
        entry.Session = static_cast<std::uint8_t>(session.Number);
    return entries;
}

// The TOC rule over the laid entries: the first line whose entry breaks it, and why; 0 when none does.
// Too many entries are all the lines' doing: the last one names it.
std::uint32_t FirstTocFault(const TDiscModel& disc, const std::vector<TLuCueSheet::TTocLine>& lines,
                            std::string& reason)
{
    std::uint32_t first = 0;
    for (const TTocFault& fault : TocFaults(disc))
    {
        const auto given = std::find_if(lines.begin(), lines.end(), [&](const TLuCueSheet::TTocLine& l) {
            return l.Entry == disc.Toc[fault.Entry];
        });
        const std::uint32_t line = given == lines.end() || fault.Rule == trEntryCount ? lines.back().Line : given->Line;
        if (first == 0 || line < first)
        {
            first = line;
            reason = fault.Reason;
        }
    }
    return first;
}

} // namespace

void TLuCueSheet::BuildDiscModel()
{
    Disc = TDiscModel{};
    Disc.Catalog = Catalog;
    if (TrackCount == 0)
        return;
    Disc.Sessions.resize(SessionGaps.size() + 1);
    TExtentPlacer placer;
    std::vector<std::int32_t> leadOuts;
    std::vector<bool> hasMode2(Disc.Sessions.size());
    for (std::int32_t j = 0; j < TrackCount; ++j)
    {
        const TLuCueTrack& source = *Tracks[static_cast<std::size_t>(j)];
        const auto s = static_cast<std::size_t>(source.Session - 1);
        TDiscSession& session = Disc.Sessions[s];
        session.Number = source.Session;
        const bool opens = session.Tracks.empty();
        TDiscTrack& track = session.Tracks.emplace_back();
        track.Number = FirstTrackNo + j;
        track.Mode = TrackTypeMode(source.Type);
        track.Control = static_cast<std::uint8_t>(source.GetControl() >> 4);
        track.Isrc = source.Isrc;
        if (j == 0)
            placer.PlaceGap(0, akPregap, PROGRAM_START, track.Extents);
        else if (opens)
        {
            // The lead-out before, the lead-in, and the pregap when the sheet gives none of its own.
            leadOuts.push_back(placer.Lba);
            const TSessionGap& gap = SessionGaps[s - 1];
            placer.Lba += gap.LeadOut + gap.LeadIn;
            if (source.GetPregapLength() == 0)
                placer.PlaceGap(0, akPregap, gap.Pregap, track.Extents);
        }
        placer.PlaceTrack(source, track.Extents);
        track.Indexes = IndexesOf(track.Extents, opens);
        hasMode2[s] = hasMode2[s] || source.Type == ttMode2_2336 || source.Type == ttMode2_2352;
    }
    leadOuts.push_back(placer.Lba);
    for (std::size_t s = 0; s < Disc.Sessions.size(); ++s)
    {
        const TDiscSession* next = s + 1 < Disc.Sessions.size() ? &Disc.Sessions[s + 1] : nullptr;
        const std::vector<TTocEntry> toc = TocOf(Disc.Sessions[s], leadOuts[s], hasMode2[s], next, placer.Lba);
        Disc.Toc.insert(Disc.Toc.end(), toc.begin(), toc.end());
    }
    if (TocLines.empty())
        return;
    std::vector<TTocEntry> given;
    for (const TTocLine& line : TocLines)
        given.push_back(line.Entry);
    std::string problem;
    if (const std::size_t failed = ApplyTocEntries(Disc, given, problem); failed < given.size())
    {
        ErrorCode = PackStatus(TocLines[failed].Line, egTocEntry, erBadArgument);
        ErrorDetail = problem;
        return;
    }
    if (const std::uint32_t line = FirstTocFault(Disc, TocLines, problem); line != 0)
    {
        ErrorCode = PackStatus(line, egTocEntry, erBadArgument);
        ErrorDetail = "REM TOC-ENTRY: " + problem;
    }
}

TDiscModel TLuCueSheet::DiscModel() const
{
    TDiscModel disc = Disc;
    for (TDiscSession& session : disc.Sessions)
        for (TDiscTrack& track : session.Tracks)
            track.Extents.clear();
    if (CdTextFileIsNamed(CdTextFile))
    {
        disc.HasCdText = true;
        disc.CdText = ReadCdTextEntries(CdTextFile);
    }
    else if (!CdTextPacks.empty())
    {
        disc.HasCdText = true;
        for (const TCdTextPack& pack : CdTextPacks)
            std::copy_n(pack.begin(), TCdTextEntry{}.size(), disc.CdText.emplace_back().begin());
    }
    return disc;
}
