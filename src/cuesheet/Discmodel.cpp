// SPDX-License-Identifier: GPL-3.0-or-later
#include "cuesheet/Discmodel.h"

#include "text/Asciitext.h"

#include <algorithm>
#include <iterator>

bool SameTocPoint(const TTocEntry& a, const TTocEntry& b)
{
    return a.Session == b.Session && a.Adr == b.Adr && a.Point == b.Point;
}

std::string TocEntryName(const TTocEntry& entry)
{
    return "point " + HexByte(entry.Point) + " of session " + std::to_string(entry.Session);
}

std::string TocEntryConflict(const TDiscModel& composed, const TTocEntry& entry)
{
    if (entry.Session < 1 || entry.Session > composed.Sessions.size())
        return "point " + HexByte(entry.Point) + " is of session " + std::to_string(entry.Session) +
               ", which the sheet does not have";
    const auto slot = [&entry](const TTocEntry& e) { return SameTocPoint(e, entry); };
    const auto c = std::find_if(composed.Toc.begin(), composed.Toc.end(), slot);
    if (c == composed.Toc.end())
        return {};
    const std::string name = TocEntryName(entry);
    const bool track = entry.Point < POINT_FIRST_TRACK;
    if ((entry.Point == POINT_FIRST_TRACK || entry.Point == POINT_LAST_TRACK) && entry.P.Minute != c->P.Minute)
        return name + " names track " + std::to_string(entry.P.Minute) + ", but the sheet's tracks make it " +
               std::to_string(c->P.Minute);
    if ((track || entry.Point == POINT_LEAD_OUT) && entry.P != c->P)
        return name + " is at " + MsfToStr(entry.P) + ", but the sheet's tracks put it at " + MsfToStr(c->P);
    if (track && entry.Control != c->Control)
        return name + " has control " + HexByte(entry.Control) + ", but the track's mode and FLAGS give " +
               HexByte(c->Control);
    if (entry.Point == POINT_NEXT_SESSION && entry.A != c->A)
        return name + " starts the next session at " + MsfToStr(entry.A) + ", but the sheet's gaps start it at " +
               MsfToStr(c->A);
    return {};
}

std::size_t ApplyTocEntries(TDiscModel& disc, const std::vector<TTocEntry>& entries, std::string& problem)
{
    std::vector<TTocEntry> toc = disc.Toc;
    std::vector<TTocEntry> added;
    for (std::size_t i = 0; i < entries.size(); ++i)
    {
        const TTocEntry& entry = entries[i];
        if (problem = TocEntryConflict(disc, entry); !problem.empty())
            return i;
        const auto c =
            std::find_if(disc.Toc.begin(), disc.Toc.end(), [&](const TTocEntry& e) { return SameTocPoint(e, entry); });
        if (c != disc.Toc.end())
            toc[static_cast<std::size_t>(c - disc.Toc.begin())] = entry;
        else
            added.push_back(entry);
    }
    // Every session of a disc has tracks, and its entries start with A0: the added ones go before its first track.
    std::vector<TTocEntry> merged;
    for (std::size_t k = 0; k < toc.size(); ++k)
    {
        const std::uint8_t point = disc.Toc[k].Point;
        if (point < POINT_FIRST_TRACK && (k == 0 || disc.Toc[k - 1].Point >= POINT_FIRST_TRACK))
            std::copy_if(added.begin(), added.end(), std::back_inserter(merged),
                         [&](const TTocEntry& e) { return e.Session == disc.Toc[k].Session; });
        merged.push_back(toc[k]);
    }
    disc.Toc = std::move(merged);
    return entries.size();
}

std::int32_t TDiscTrack::IndexLba(std::int32_t number) const
{
    for (const TDiscIndex& index : Indexes)
        if (index.Number == number)
            return index.Lba;
    return -1;
}

const TDiscTrack* TDiscModel::FindTrack(std::int32_t number) const
{
    for (const TDiscSession& session : Sessions)
    {
        const auto found = std::find_if(session.Tracks.begin(), session.Tracks.end(),
                                        [number](const TDiscTrack& t) { return t.Number == number; });
        if (found != session.Tracks.end())
            return &*found;
    }
    return nullptr;
}

std::int32_t TDiscModel::LeadOutAddress(std::int32_t session) const
{
    for (const TTocEntry& e : Toc)
        if (e.Session == session && e.Point == POINT_LEAD_OUT)
            return MsfToFrames(e.P);
    return 0;
}

std::int32_t TDiscModel::DiscLeadOutAddress() const
{
    return LeadOutAddress(static_cast<std::int32_t>(Sessions.size()));
}

std::vector<TLbaRange> TDiscModel::StoredRanges() const
{
    std::vector<TLbaRange> ranges;
    for (std::size_t s = 0; s < Sessions.size(); ++s)
    {
        const TDiscSession& session = Sessions[s];
        const std::int32_t end = LeadOutAddress(session.Number) - PROGRAM_START;
        const std::int32_t first = s == 0 || session.Tracks.empty() ? 0 : session.Tracks.front().IndexLba(1);
        if (end > first && first >= 0)
            ranges.push_back(TLbaRange{first, end});
    }
    return ranges;
}

std::int64_t SectorCount(const std::vector<TLbaRange>& ranges)
{
    std::int64_t count = 0;
    for (const TLbaRange& range : ranges)
        count += range.End - range.First;
    return count;
}
