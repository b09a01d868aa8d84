// SPDX-License-Identifier: GPL-3.0-or-later
// Disc layout: the address table, the TOC table and the ISRC/catalogue Q-frame schedule.
#include "cuesheet/Lucue.h"

#include "synthesis/Msf.h"

#include <algorithm>
#include <bitset>

namespace {

constexpr std::int32_t SCHEDULE_MAX_INTERVAL = 98;
constexpr std::int32_t SCHEDULE_MIN_INTERVAL = 89;

// First (interval, offset) pair, intervals descending and offsets ascending, such that no
// start address (as LBA) falls on the schedule.
bool FindSchedulePair(const std::vector<std::int32_t>& lbas, std::int32_t fromInterval, std::int32_t firstOffset,
                      std::int32_t lastOffset, std::int32_t& interval, std::int32_t& offset)
{
    for (std::int32_t n = fromInterval; n >= SCHEDULE_MIN_INTERVAL; --n)
    {
        std::bitset<SCHEDULE_MAX_INTERVAL> taken;
        for (const std::int32_t lba : lbas)
            taken.set(static_cast<std::size_t>(((lba % n) + n) % n));
        for (std::int32_t p = firstOffset; p <= lastOffset; ++p)
        {
            if (!taken.test(static_cast<std::size_t>(p % n)))
            {
                interval = n;
                offset = p;
                return true;
            }
        }
    }
    return false;
}

} // namespace

void TLuCueSheet::BuildAddressTable()
{
    AddressTable.clear();
    AddressStarts.clear();
    if (TrackCount == 0)
        return;
    for (const TDiscSession& session : Disc.Sessions)
    {
        for (const TDiscTrack& track : session.Tracks)
        {
            // Pregap rows count down to the track's index 1; from index 1 on, the relative time runs on
            // to the end of the track, postgap included.
            const std::int32_t index1 = track.IndexLba(1);
            for (const TDiscExtent& extent : track.Extents)
            {
                TAddressTable& row = AddressTable.emplace_back();
                row.TrackNumber = track.Number;
                row.IndexNumber = extent.Index;
                row.StartAddress = extent.Lba + PROGRAM_START;
                row.Kind = extent.Kind;
                row.FileNumber = extent.File;
                row.FileOffset = extent.Offset;
                if (index1 >= 0)
                    row.RelativeStart = extent.Index < 1 ? index1 - extent.Lba - 1 : extent.Lba - index1;
            }
        }
        // A session's lead-out row runs on to the next session's first row: lead-out, lead-in and the
        // pregap that no set stores.
        TAddressTable& leadOut = AddressTable.emplace_back();
        leadOut.TrackNumber = LEAD_OUT_TRACK;
        leadOut.StartAddress = Disc.LeadOutAddress(session.Number);
        leadOut.Kind = akLeadOut;
    }
    AddressStarts.reserve(AddressTable.size());
    for (const TAddressTable& row : AddressTable)
        AddressStarts.push_back(row.StartAddress);
}

void TLuCueSheet::BuildTocTable()
{
    TocTable.clear();
    if (TrackCount == 0)
        return;
    for (const TDiscSession& session : Disc.Sessions)
    {
        for (const TDiscTrack& track : session.Tracks)
        {
            TTocTable& row = TocTable.emplace_back();
            row.TrackNumber = track.Number;
            row.Control = static_cast<std::uint32_t>(track.Control) << 4;
            row.StartAddress = track.Extents.front().Lba + PROGRAM_START;
            row.Index1Address = track.IndexLba(1) + PROGRAM_START;
        }
    }
    TTocTable& leadOut = TocTable.emplace_back();
    leadOut.TrackNumber = LEAD_OUT_TRACK;
    leadOut.Index1Address = LeadOutAddress();
    leadOut.StartAddress = leadOut.Index1Address;
}

void TLuCueSheet::BuildSubQSchedule()
{
    IsrcInterval = 0;
    IsrcOffset = PROGRAM_START;
    McnInterval = 0;
    McnOffset = PROGRAM_START;
    std::vector<std::int32_t> lbas;
    lbas.reserve(AddressTable.size());
    for (std::size_t r = 1; r < AddressTable.size(); ++r)
        lbas.push_back(AddressTable[r].StartAddress - PROGRAM_START);

    std::int32_t interval = 0;
    std::int32_t offset = 0;
    if (!FindSchedulePair(lbas, SCHEDULE_MAX_INTERVAL, 13, 52, interval, offset))
        return;
    IsrcInterval = interval;
    IsrcOffset = offset + PROGRAM_START;
    if (FindSchedulePair(lbas, IsrcInterval, (IsrcOffset - PROGRAM_START) + 10, 82, interval, offset))
    {
        McnInterval = interval;
        McnOffset = offset + PROGRAM_START;
    }
}

std::int32_t TLuCueSheet::FindAddressRow(std::uint32_t address) const
{
    const auto count = static_cast<std::int32_t>(AddressStarts.size());
    if (count == 0)
        return -1;
    // Starts strictly increase and are never negative, so the first start above the address
    // (compared unsigned) is what a scan from row 1 would find.
    const auto above =
        std::upper_bound(AddressStarts.begin() + 1, AddressStarts.end(), address,
                         [](std::uint32_t a, std::int32_t start) { return a < static_cast<std::uint32_t>(start); });
    if (above == AddressStarts.end())
        return count;
    return static_cast<std::int32_t>(above - AddressStarts.begin()) - 1;
}

std::string ShortTrackWarning(const TLuCueSheet& sheet)
{
    std::vector<std::int32_t> numbers;
    std::int32_t length = 0;
    for (std::int32_t i = 0; i < sheet.TrackCount; ++i)
    {
        const std::int32_t played = sheet.Tracks[static_cast<std::size_t>(i)]->GetPlayedLength();
        if (played >= MIN_TRACK_LENGTH)
            continue;
        numbers.push_back(sheet.FirstTrackNo + i);
        length = played;
    }
    if (numbers.size() == 1)
        return "track " + std::to_string(numbers[0]) + " is " + FramesToStr(length) +
               " long; the Red Book asks for at least 4 seconds";
    // One sentence for the disc: a disc of many short tracks gets one line, not one per track.
    std::string list;
    for (std::size_t i = 0; i < numbers.size(); ++i)
        list += (i == 0 ? "" : i + 1 == numbers.size() ? " and " : ", ") + std::to_string(numbers[i]);
    return list.empty() ? list : "tracks " + list + " are shorter than the 4 seconds the Red Book asks for";
}

std::int32_t TLuCueSheet::LeadOutAddress() const
{
    return Disc.DiscLeadOutAddress();
}

std::vector<TTocEntry> TLuCueSheet::TocEntries() const
{
    return Disc.Toc;
}
