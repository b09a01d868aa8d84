// SPDX-License-Identifier: GPL-3.0-or-later
#include "cuesheet/Discmodel.h"

#include <algorithm>

void PutTocDescriptor(const TTocEntry& entry, std::uint8_t* descriptor)
{
    descriptor[0] = entry.Session;
    descriptor[1] = static_cast<std::uint8_t>(entry.Control << 4 | (entry.Adr & 0x0F));
    descriptor[2] = entry.TrackNo;
    descriptor[3] = entry.Point;
    descriptor[4] = entry.A.Minute;
    descriptor[5] = entry.A.Second;
    descriptor[6] = entry.A.Frame;
    descriptor[7] = entry.Zero;
    descriptor[8] = entry.P.Minute;
    descriptor[9] = entry.P.Second;
    descriptor[10] = entry.P.Frame;
}

TTocEntry GetTocDescriptor(const std::uint8_t* descriptor)
{
    TTocEntry entry;
    entry.Session = descriptor[0];
    entry.Adr = descriptor[1] & 0x0F;
    entry.Control = static_cast<std::uint8_t>(descriptor[1] >> 4);
    entry.TrackNo = descriptor[2];
    entry.Point = descriptor[3];
    entry.A = TMsf{0, descriptor[4], descriptor[5], descriptor[6]};
    entry.Zero = descriptor[7];
    entry.P = TMsf{0, descriptor[8], descriptor[9], descriptor[10]};
    return entry;
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
