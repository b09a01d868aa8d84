// Disc layout: the address table, the TOC table and the ISRC/catalogue Q-frame schedule.
#include "cuesheet/Lucue.h"

#include "synthesis/Msf.h"

#include <algorithm>
#include <bitset>
#include <cstring>

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

TTocEntry PointEntry(std::uint32_t control, std::uint8_t point, TMsf p)
{
    TTocEntry entry;
    entry.Point = point;
    entry.Control = static_cast<std::uint8_t>(control >> 4);
    entry.P = p;
    return entry;
}

} // namespace

void TLuCueSheet::BuildAddressTable()
{
    AddressTable.clear();
    AddressStarts.clear();
    if (TrackCount == 0)
        return;
    auto append = [this](std::int32_t track, std::int32_t index, std::int32_t start,
                         TAddressKind kind) -> TAddressTable& {
        TAddressTable& row = AddressTable.emplace_back();
        row.TrackNumber = track;
        row.IndexNumber = index;
        row.StartAddress = start;
        row.Kind = kind;
        return row;
    };

    append(FirstTrackNo, 0, 0, akPregap);
    std::int32_t running = PROGRAM_START;
    std::int64_t fileOffset = 0;
    std::int32_t currentFile = -1;
    // Where each track's index 1 begins, even when it has no sectors; -1 without an index 1.
    std::vector<std::int32_t> index1Start(static_cast<std::size_t>(TrackCount), -1);

    for (std::int32_t i = 0; i < TrackCount; ++i)
    {
        const TLuCueTrack& track = *Tracks[static_cast<std::size_t>(i)];
        const std::int32_t number = FirstTrackNo + i;
        // The first track's PREGAP follows the fixed 150 sectors, as the TOC counts it.
        if (track.Pregap > 0)
        {
            append(number, 0, running, akPregap);
            running += track.Pregap;
        }
        const std::int32_t indexCount = track.GetIndexCount();
        for (std::int32_t j = 0; j <= indexCount; ++j)
        {
            const std::int32_t length = track.GetIndexLength(static_cast<std::uint32_t>(j));
            if (j == 1)
                index1Start[static_cast<std::size_t>(i)] = running;
            // Index 0 may lie at the end of the file before the track's own.
            const std::int32_t file = j == 0 && track.PregapFileIndex >= 0 ? track.PregapFileIndex : track.FileIndex;
            if (file != currentFile)
            {
                fileOffset = 0;
                currentFile = file;
            }
            if (length <= 0)
                continue;
            TAddressTable& row = append(number, j, running, akFile);
            row.FileNumber = file;
            row.FileOffset = fileOffset;
            running += length;
            fileOffset += std::int64_t(length) * track.GetSectorSize();
        }
        if (track.Postgap > 0)
        {
            append(number, indexCount, running, akPostgap);
            running += track.Postgap;
        }
    }
    append(LEAD_OUT_TRACK, 0, running, akLeadOut);

    // Pregap rows count down to the track's index 1; the walk stops at another track.
    for (std::size_t r = 0; r < AddressTable.size(); ++r)
    {
        const TAddressTable& index1 = AddressTable[r];
        if (index1.Kind != akFile || index1.IndexNumber != 1)
            continue;
        for (std::size_t b = r; b-- > 0 && AddressTable[b].TrackNumber == index1.TrackNumber;)
            AddressTable[b].RelativeStart = index1.StartAddress - AddressTable[b].StartAddress - 1;
    }
    // From index 1 on, the relative time runs on to the end of the track, postgap included.
    for (TAddressTable& row : AddressTable)
    {
        if (row.Kind == akLeadOut || row.IndexNumber < 1)
            continue;
        const std::int32_t origin = index1Start[static_cast<std::size_t>(row.TrackNumber - FirstTrackNo)];
        if (origin >= 0)
            row.RelativeStart = row.StartAddress - origin;
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
    std::int32_t running = 0;
    for (std::int32_t i = 0; i < TrackCount; ++i)
    {
        const TLuCueTrack& track = *Tracks[static_cast<std::size_t>(i)];
        TTocTable row;
        row.TrackNumber = FirstTrackNo + i;
        row.Control = track.GetControl();
        row.StartAddress = running;
        running += track.GetPregapLength() + (i == 0 ? PROGRAM_START : 0);
        row.Index1Address = running;
        TocTable.push_back(row);
        for (std::int32_t j = 1; j <= track.GetIndexCount(); ++j)
            running += track.GetIndexLength(static_cast<std::uint32_t>(j));
        running += track.Postgap;
    }
    TTocTable leadOut;
    leadOut.TrackNumber = LEAD_OUT_TRACK;
    leadOut.Index1Address = running;
    leadOut.StartAddress = running;
    TocTable.push_back(leadOut);
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

std::int32_t TLuCueSheet::GetIndexAddress(std::int32_t track, std::int32_t index) const
{
    if (track < FirstTrackNo || track > FirstTrackNo + TrackCount - 1)
        return -1;
    // Rows are grouped by track in ascending track order.
    auto row = std::lower_bound(AddressTable.begin(), AddressTable.end(), track,
                                [](const TAddressTable& r, std::int32_t t) { return r.TrackNumber < t; });
    for (; row != AddressTable.end() && row->TrackNumber == track; ++row)
    {
        if (row->IndexNumber == index)
            return row->StartAddress;
    }
    return -1;
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
    return AddressTable.empty() ? 0 : AddressTable.back().StartAddress;
}

std::vector<TTocEntry> TLuCueSheet::TocEntries() const
{
    std::vector<TTocEntry> entries;
    if (TrackCount == 0 || TocTable.size() < 2)
        return entries;
    const TTocTable& first = TocTable.front();
    const TTocTable& last = TocTable[TocTable.size() - 2];
    const TTocTable& leadOut = TocTable.back();
    // Readers pick the session type from A0's PSEC: 0x20 marks a CD-ROM XA disc.
    bool hasMode2 = false;
    for (std::int32_t i = 0; i < TrackCount; ++i)
    {
        const TTrackType type = Tracks[static_cast<std::size_t>(i)]->Type;
        hasMode2 = hasMode2 || type == ttMode2_2336 || type == ttMode2_2352;
    }
    const auto number = [](std::int32_t n) { return static_cast<std::uint8_t>(n); };
    entries.push_back(PointEntry(first.Control, POINT_FIRST_TRACK,
                                 TMsf{0, number(FirstTrackNo), std::uint8_t(hasMode2 ? 0x20 : 0), 0}));
    entries.push_back(PointEntry(last.Control, POINT_LAST_TRACK, TMsf{0, number(FirstTrackNo + TrackCount - 1), 0, 0}));
    // The lead-out carries the last track's control, so a data disc does not end in "audio".
    entries.push_back(
        PointEntry(last.Control, POINT_LEAD_OUT, FramesToMsf(static_cast<std::uint32_t>(leadOut.StartAddress))));
    for (std::size_t i = 0; i + 1 < TocTable.size(); ++i)
        entries.push_back(PointEntry(TocTable[i].Control, number(TocTable[i].TrackNumber),
                                     FramesToMsf(static_cast<std::uint32_t>(TocTable[i].Index1Address))));
    return entries;
}

bool TLuCueSheet::GetFullToc(std::uint8_t* buffer) const
{
    if (!buffer)
        return false;
    std::memset(buffer, 0, FULL_TOC_SIZE);
    const std::vector<TTocEntry> entries = TocEntries();
    if (entries.empty())
        return false;
    buffer[2] = entries.front().Session;
    buffer[3] = entries.back().Session;
    std::uint8_t* d = buffer + 4;
    for (const TTocEntry& entry : entries)
    {
        PutTocDescriptor(entry, d);
        d += TOC_DESCRIPTOR_SIZE;
    }
    const auto length = static_cast<std::uint16_t>(2 + (d - (buffer + 4)));
    buffer[0] = static_cast<std::uint8_t>(length >> 8);
    buffer[1] = static_cast<std::uint8_t>(length & 0xFF);
    return true;
}
