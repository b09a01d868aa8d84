// SPDX-License-Identifier: GPL-3.0-or-later
#include "image/Verifystate.h"

#include <algorithm>
#include <cstring>


bool AllZero(const std::uint8_t* p, std::size_t n)
{
    std::uint64_t any = 0;
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8)
    {
        std::uint64_t w;
        std::memcpy(&w, p + i, 8);
        any |= w;
    }
    for (; i < n; ++i)
        any |= p[i];
    return any == 0;
}

void TVerifyState::Add(TFindingKind kind, std::int32_t lba, std::string text)
{
    ++Report.Problems;
    if (lba >= 0 && !Report.Tracks.empty())
    {
        // Count the sector's problem against its track.
        TTrackReport* track = &Report.Tracks.front();
        for (auto& t : Report.Tracks)
            if (t.FirstLba <= lba)
                track = &t;
        switch (kind)
        {
        case fkQCrc: ++track->QCrc; break;
        case fkQPosition: ++track->QPosition; break;
        case fkQIsrc:
        case fkQCatalog:
        case fkPFlag: ++track->QOther; break;
        case fkSync:
        case fkHeader: ++track->Header; break;
        case fkEdc: ++track->Edc; break;
        case fkEccP:
        case fkEccQ: ++track->Ecc; break;
        case fkRwParity: ++track->RwParity; break;
        default: break;
        }
    }
    auto& list = Report.Findings;
    // Sorted by address, set-wide findings (-1) first; a late find may go before earlier ones.
    const auto at = std::upper_bound(list.begin(), list.end(), lba,
                                     [](std::int32_t value, const TFinding& f) { return value < f.Lba; });
    if (static_cast<std::size_t>(at - list.begin()) >= MaxFindings)
        return;
    list.insert(at, TFinding{kind, lba, std::move(text)});
    if (list.size() > MaxFindings)
        list.pop_back();
}

std::string TVerifyState::ImageExtent() const
{
    if (Report.PartialBytes == 0)
        return std::to_string(StoredSectors) + " sectors";
    return std::to_string(Report.Sectors) + " whole sectors and a partial one";
}

void TVerifyState::BuildTracks()
{
    const std::size_t sessions = Disc.Model.Sessions.size();
    LeadOuts.assign(sessions, -1);
    for (const TCcdEntry& e : Disc.Entries)
    {
        if (e.Session < 1 || static_cast<std::size_t>(e.Session) > sessions)
            continue;
        if (e.Point == 0xA2)
            LeadOuts[static_cast<std::size_t>(e.Session) - 1] = e.PLba;
        if (e.Point < 1 || e.Point > 99)
            continue;
        TTrackInfo t;
        t.Number = e.Point;
        t.Session = e.Session;
        t.Control = e.Control;
        t.Index1Lba = e.PLba;
        t.StartLba = e.PLba;
        t.Mode = (e.Control & 0x4) ? -1 : 0;
        if (const TDiscTrack* s = Disc.Model.FindTrack(e.Point))
        {
            if (s->Mode >= 0)
                t.Mode = s->Mode;
            t.Isrc = s->Isrc;
            t.Indexes = s->Indexes;
            for (const TDiscIndex& i : s->Indexes)
                if (i.Number == 0 && i.Lba < t.Index1Lba)
                    t.StartLba = i.Lba;
        }
        Tracks.push_back(t);
    }
    std::sort(Tracks.begin(), Tracks.end(),
              [](const TTrackInfo& a, const TTrackInfo& b) { return a.Number < b.Number; });
    HasTracks = !Tracks.empty();
    if (HasTracks)
        Tracks.front().StartLba = 0; // the image starts inside the first track's pregap or at its index 1
    LibCryptDisc = HasTracks && Tracks.front().Mode == 2;
    for (const TTrackInfo& t : Tracks)
    {
        TTrackReport r;
        r.Number = t.Number;
        r.Mode = t.Mode;
        r.FirstLba = t.StartLba;
        Report.Tracks.push_back(r);
    }
    // The sectors of a track are those the files hold from its start to the next one's.
    const std::int32_t end = LbaOf(Report.Sectors);
    for (std::size_t i = 0; i < Report.Tracks.size(); ++i)
    {
        TTrackReport& track = Report.Tracks[i];
        const std::int32_t next = i + 1 < Report.Tracks.size() ? Report.Tracks[i + 1].FirstLba : end;
        const std::int64_t first = PositionOf(track.FirstLba);
        track.Sectors = std::max<std::int64_t>(0, std::min(PositionOf(next), Report.Sectors) - first);
        track.InImage = first < Report.Sectors;
    }
}

std::int32_t TVerifyState::LbaOf(std::int64_t position) const
{
    std::int64_t start = 0;
    for (const TLbaRange& r : Ranges)
    {
        if (position < start + (r.End - r.First))
            return static_cast<std::int32_t>(r.First + (position - start));
        start += r.End - r.First;
    }
    return static_cast<std::int32_t>(position - start + (Ranges.empty() ? 0 : Ranges.back().End));
}

std::int64_t TVerifyState::PositionOf(std::int32_t lba) const
{
    std::int64_t start = 0;
    for (std::size_t i = 0; i < Ranges.size(); ++i)
    {
        const TLbaRange& r = Ranges[i];
        if (lba < r.End)
            return start + (i == 0 || lba >= r.First ? lba - r.First : 0);
        start += r.End - r.First;
    }
    return start + lba - (Ranges.empty() ? 0 : Ranges.back().End);
}

std::int32_t TVerifyState::NextStartAfter(std::size_t track) const
{
    const TTrackInfo& t = Tracks[track];
    const bool last = track + 1 == Tracks.size();
    if (!last && Tracks[track + 1].Session == t.Session)
        return Tracks[track + 1].Index1Lba;
    if (const std::int32_t leadOut = LeadOuts[static_cast<std::size_t>(t.Session) - 1]; leadOut >= 0)
        return leadOut;
    return last ? LbaOf(Report.Sectors) : Tracks[track + 1].Index1Lba;
}
