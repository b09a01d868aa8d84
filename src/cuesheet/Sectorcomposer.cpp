// SPDX-License-Identifier: GPL-3.0-or-later
#include "cuesheet/Sectorcomposer.h"

#include "synthesis/Msf.h"
#include "synthesis/Qframe.h"
#include "synthesis/Subcode.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <mutex>
#include <stdexcept>

namespace {

constexpr std::size_t CDG_SECTOR_SIZE = SECTOR_SIZE + SUBCODE_SIZE;

// ToBcd of every 8-bit value: the per-sector times take a lookup instead of a division.
constexpr std::array<std::uint8_t, 256> MakeBcdTable()
{
    std::array<std::uint8_t, 256> table{};
    for (unsigned v = 0; v < table.size(); ++v)
        table[v] = ToBcd(v);
    return table;
}
constexpr std::array<std::uint8_t, 256> BCD = MakeBcdTable();
// A pause shorter than this before the next index 1 raises the P flag ahead of it.
constexpr std::uint32_t P_FLAG_LEAD = 2 * FRAMES_PER_SECOND;

void PutSyncAndHeader(TRawSector& main, TMsf msf, std::uint8_t mode)
{
    std::copy(SYNC_PATTERN.begin(), SYNC_PATTERN.end(), main.begin());
    main[HEADER_OFFSET] = BCD[msf.Minute];
    main[HEADER_OFFSET + 1] = BCD[msf.Second];
    main[HEADER_OFFSET + 2] = BCD[msf.Frame];
    main[MODE_OFFSET] = mode;
}

// A sector without its EDC/ECC or parity must not pass for a good one.
void RequireTables(bool coded)
{
    if (!coded)
        throw std::runtime_error("not enough memory for the error correction tables");
}

bool IsMode1(TTrackType type)
{
    return type == ttMode1_2048 || type == ttMode1_2352;
}
bool IsMode2(TTrackType type)
{
    return type == ttMode2_2336 || type == ttMode2_2352;
}

// A time that moves one frame at a time, kept as FramesToMsf would give it (the minute wraps at 256).
struct TMsfCounter
{
    explicit TMsfCounter(std::uint32_t frames) : Frames(frames), Msf(FramesToMsf(frames)) {}
    void Forward()
    {
        ++Frames;
        if (++Msf.Frame < FRAMES_PER_SECOND)
            return;
        Msf.Frame = 0;
        if (++Msf.Second < 60)
            return;
        Msf.Second = 0;
        ++Msf.Minute;
    }
    // Stops at zero, like a pause that has counted down.
    void Back()
    {
        if (Frames == 0)
            return;
        --Frames;
        if (Msf.Frame-- > 0)
            return;
        Msf.Frame = FRAMES_PER_SECOND - 1;
        if (Msf.Second-- > 0)
            return;
        Msf.Second = 59;
        --Msf.Minute;
    }
    void Put(std::uint8_t* bcd) const
    {
        bcd[0] = BCD[Msf.Minute];
        bcd[1] = BCD[Msf.Second];
        bcd[2] = BCD[Msf.Frame];
    }
    std::uint32_t Frames;
    TMsf Msf;
};

// The first address at or after from that falls on the schedule, or -1 when none ever does.
std::int64_t NextDue(std::int64_t from, std::int64_t offset, std::int64_t interval, bool used)
{
    if (!used || interval <= 0)
        return -1;
    std::int64_t rem = (from - offset) % interval;
    if (rem < 0)
        rem += interval;
    return rem == 0 ? from : from + interval - rem;
}

// P flag: rises on the second sector of a pause and falls after the first sector of index 1.
struct TPauseRule
{
    TAddressKind Kind = akFile;
    std::int32_t IndexNumber = 0;
    bool AfterPregap = false;
    bool LeadChecked = false; // the next track's pause is shorter than P_FLAG_LEAD
    std::uint32_t LeadIndex1 = 0;

    bool Pause(bool firstOfRow, std::uint32_t address) const
    {
        if (Kind == akPregap)
            return !firstOfRow;
        if (Kind == akFile && IndexNumber == 0)
            return !firstOfRow || AfterPregap;
        if (Kind == akFile && IndexNumber == 1 && firstOfRow)
            return true;
        return LeadChecked && LeadIndex1 - address < P_FLAG_LEAD;
    }
};

TPauseRule PauseRuleOf(const TLuCueSheet& sheet, std::int32_t r)
{
    const TLuCueSheet::TAddressTable& row = sheet.AddressRow(r);
    TPauseRule rule;
    rule.Kind = row.Kind;
    rule.IndexNumber = row.IndexNumber;
    rule.AfterPregap = row.Kind == akFile && row.IndexNumber == 0 && r > 0 && sheet.AddressRow(r - 1).Kind == akPregap;
    const std::int32_t next = row.TrackNumber - sheet.FirstTrackNo + 1;
    if (next <= sheet.TrackCount)
    {
        const TLuCueSheet::TTocTable& toc = sheet.TocRow(next);
        rule.LeadChecked = static_cast<std::uint32_t>(toc.Index1Address - toc.StartAddress) < P_FLAG_LEAD;
        rule.LeadIndex1 = static_cast<std::uint32_t>(toc.Index1Address);
        // The last track of a session runs into its session's lead-out, as the disc's last one does.
        const std::int32_t session = sheet.Tracks[static_cast<std::size_t>(next - 1)]->Session;
        if (next < sheet.TrackCount && sheet.Tracks[static_cast<std::size_t>(next)]->Session != session)
        {
            rule.LeadChecked = true;
            rule.LeadIndex1 = static_cast<std::uint32_t>(sheet.Model().LeadOutAddress(session));
        }
    }
    return rule;
}

} // namespace

bool TSectorComposer::ComposeSector(std::uint32_t address, TRawSector* main, TSubBlock* sub,
                                    const TComposeOptions& options)
{
    TSubChannel channel;
    if (ComposeRun(address, 1, main, sub ? &channel : nullptr, options) != 1)
        return false;
    if (sub)
    {
        *sub = channel.Packs;
        MergePQ(*sub, channel.P, channel.Q);
    }
    return true;
}

std::int32_t TSectorComposer::ComposeRun(std::uint32_t address, std::int32_t count, TRawSector* main, TSubChannel* sub,
                                         const TComposeOptions& options, TRawBytes* raw)
{
    if (raw)
        raw->File = nullptr;
    const std::int32_t r = Sheet.FindAddressRow(address);
    if (r < 0 || count <= 0)
        return 0;
    // Lead-outs and what follows them up to the next session are no set's sectors: zeros. FindAddressRow
    // gives the disc's last row to no address, so every other row has one after it.
    if (r == Sheet.AddressRowCount() || Sheet.AddressRow(r).Kind == akLeadOut)
    {
        const std::int32_t left = r == Sheet.AddressRowCount()
                                      ? count
                                      : std::min<std::int32_t>(count, Sheet.AddressRow(r + 1).StartAddress -
                                                                          static_cast<std::int32_t>(address));
        const auto total = static_cast<std::size_t>(left);
        if (main)
            std::memset(main, 0, total * SECTOR_SIZE);
        if (sub)
            std::fill_n(sub, total, TSubChannel{});
        return left;
    }
    const TRow& row = Sheet.AddressRow(r);
    const std::int64_t rowEnd = Sheet.AddressRow(r + 1).StartAddress;
    const auto n = static_cast<std::size_t>(std::min<std::int64_t>(count, rowEnd - std::int64_t(address)));
    const TLuCueTrack& track = *Sheet.Tracks[static_cast<std::size_t>(row.TrackNumber - Sheet.FirstTrackNo)];
    const std::int64_t firstInRow = std::int64_t(address) - row.StartAddress;
    const std::int64_t fileOffset = row.FileOffset + firstInRow * track.GetSectorSize();
    TLuCueFile* file = row.Kind == akFile ? SourceOf(row) : nullptr;
    std::unique_lock<std::mutex> hold;
    if (file)
        hold = std::unique_lock(file->Guard());

    // Audio, and raw data left as it is, are the file's bytes unchanged.
    const bool unchanged =
        track.Type == ttAudio || (!options.CorrectEdcEcc && (track.Type == ttMode1_2352 || track.Type == ttMode2_2352));
    if (main && raw && file && unchanged && file->Seek(fileOffset, soBeginning) == fileOffset &&
        file->LocateRaw(n * SECTOR_SIZE, *raw))
        main = nullptr;
    if (main)
        ComposeMain(row, track, file, address, fileOffset, n, main, sub, options);
    if (!sub)
        return static_cast<std::int32_t>(n);
    ComposePacks(track.Type == ttCdg && row.Kind == akFile, file, fileOffset, main != nullptr, n, sub);
    ComposePQ(r, track, address, n, sub);
    return static_cast<std::int32_t>(n);
}

TLuCueFile* TSectorComposer::SourceOf(const TRow& row)
{
    const auto& files = Sheet.Files;
    if (LastFileNumber != row.FileNumber)
    {
        if (TLuCueFile* last = LastFileNumber >= 0 ? files[static_cast<std::size_t>(LastFileNumber)].get() : nullptr)
        {
            const std::lock_guard hold(last->Guard());
            last->ReleaseBuffer();
        }
        LastFileNumber = row.FileNumber;
    }
    return files[static_cast<std::size_t>(row.FileNumber)].get();
}

void TSectorComposer::ComposePacks(bool cdg, TLuCueFile* file, std::int64_t fileOffset, bool packsRead, std::size_t n,
                                   TSubChannel* sub)
{
    if (!cdg)
    {
        for (std::size_t s = 0; s < n; ++s)
        {
            if (sub[s].HasPacks)
                sub[s].Packs.fill(0);
            sub[s].HasPacks = false;
        }
        return;
    }
    // Without a main channel read the packs were not read with it.
    if (!packsRead)
    {
        for (std::size_t s = 0; s < n; ++s)
        {
            sub[s].Packs.fill(0);
            file->Seek(fileOffset + static_cast<std::int64_t>(s * CDG_SECTOR_SIZE + SECTOR_SIZE), soBeginning);
            file->Read(sub[s].Packs.data(), SUBCODE_SIZE);
        }
    }
    for (std::size_t s = 0; s < n; ++s)
    {
        sub[s].HasPacks = true;
        for (std::size_t p = 0; p < PACKS_PER_SECTOR; ++p)
        {
            const TPack pack(sub[s].Packs.data() + p * PACK_SIZE, PACK_SIZE);
            RequireTables(SubCodeEcc.SetQParity(pack));
            RequireTables(SubCodeEcc.SetPParity(pack));
        }
    }
}

void TSectorComposer::ComposePQ(std::int32_t r, const TLuCueTrack& track, std::uint32_t address, std::size_t n,
                                TSubChannel* sub)
{
    const TRow& row = Sheet.AddressRow(r);
    const std::int64_t firstInRow = std::int64_t(address) - row.StartAddress;
    // Q frames: the position frame moves on by one frame per sector; ISRC or catalogue frames
    // replace it when due (ISRC wins), never on a row's first sector.
    const std::uint8_t control = track.GetControl();
    const bool countDown = row.IndexNumber == 0;
    const std::int64_t relative = countDown ? row.RelativeStart - firstInRow : row.RelativeStart + firstInRow;
    std::int64_t relativeNow = relative;
    TMsfCounter rel(static_cast<std::uint32_t>(std::max<std::int64_t>(relative, 0)));
    TMsfCounter abs(address);
    // The loop puts each sector's times in; they move on without a division.
    TQFrame position = BuildPositionQ({control >> 4, row.TrackNumber, row.IndexNumber, 0, 0});
    std::int64_t isrcDue = NextDue(address, Sheet.IsrcOffset, Sheet.IsrcInterval, !track.Isrc.empty());
    std::int64_t mcnDue = NextDue(address, Sheet.McnOffset, Sheet.McnInterval, !Sheet.Catalog.empty());
    // Built only when the run holds a frame of theirs: most single sectors do not.
    const std::int64_t runEnd = std::int64_t(address) + static_cast<std::int64_t>(n);
    TQFrame isrc{};
    if (isrcDue >= 0 && isrcDue < runEnd)
    {
        isrc[0] = static_cast<std::uint8_t>(control | 3);
        BuildIsrcPayload(track.Isrc, isrc);
    }
    TQFrame mcn{};
    if (mcnDue >= 0 && mcnDue < runEnd)
    {
        mcn[0] = static_cast<std::uint8_t>(control | 2);
        BuildMcnPayload(Sheet.Catalog, mcn);
    }

    const TPauseRule pauseRule = PauseRuleOf(Sheet, r);
    TQFrame pauseFrame;
    pauseFrame.fill(0xFF);
    const TQFrame silentFrame{};

    for (std::size_t s = 0; s < n; ++s)
    {
        const std::int64_t a = std::int64_t(address) + static_cast<std::int64_t>(s);
        const bool firstOfRow = firstInRow + static_cast<std::int64_t>(s) == 0;
        if (s > 0)
        {
            if (countDown)
                rel.Back();
            else if (++relativeNow > 0)
                rel.Forward();
            abs.Forward();
        }
        const bool isrcNow = a == isrcDue;
        const bool mcnNow = a == mcnDue;
        if (isrcNow)
            isrcDue += Sheet.IsrcInterval;
        if (mcnNow)
            mcnDue += Sheet.McnInterval;
        TQFrame* q = &position;
        if (isrcNow && !firstOfRow)
            q = &isrc;
        else if (mcnNow && !firstOfRow)
            q = &mcn;
        if (q == &position)
        {
            rel.Put(&position[3]);
            abs.Put(&position[7]);
        }
        else
        {
            (*q)[9] = BCD[abs.Msf.Frame];
        }
        SetQCrc(*q, SubQCrc);

        sub[s].P = pauseRule.Pause(firstOfRow, static_cast<std::uint32_t>(a)) ? pauseFrame : silentFrame;
        sub[s].Q = *q;
    }
}

void TSectorComposer::ComposeMain(const TRow& row, const TLuCueTrack& track, TLuCueFile* file, std::uint32_t address,
                                  std::int64_t fileOffset, std::size_t n, TRawSector* main, TSubChannel* sub,
                                  const TComposeOptions& options)
{
    auto* bytes = reinterpret_cast<std::uint8_t*>(main);
    if (row.Kind != akFile)
    {
        ComposeDataGap(track, address, n, main);
        return;
    }
    file->Seek(fileOffset, soBeginning);
    switch (track.Type)
    {
    case ttAudio:
    case ttMode1_2352:
    case ttMode2_2352:
    {
        // Straight into the image: one read for the whole run.
        const std::size_t got = file->Read(bytes, n * SECTOR_SIZE);
        std::memset(bytes + got, 0, n * SECTOR_SIZE - got);
        if (!options.CorrectEdcEcc || track.Type == ttAudio)
            break;
        TMsfCounter at(address);
        for (std::size_t s = 0; s < n; ++s, at.Forward())
        {
            if (track.Type == ttMode1_2352)
            {
                PutSyncAndHeader(main[s], at.Msf, 1);
                std::fill(main[s].begin() + EDC_OFFSET, main[s].end(), 0);
                RequireTables(Mode1Ecc.Generate(main[s]));
            }
            else
            {
                PutSyncAndHeader(main[s], at.Msf, 2);
            }
        }
        break;
    }
    case ttMode1_2048:
    case ttMode2_2336:
    {
        // One read of the run's user data to the start of the run, then each sector's data moves
        // to its place, the last one first: no sector's data lands on data not yet moved.
        const std::size_t user = track.Type == ttMode1_2048 ? MODE1_USER_SIZE : MODE2_USER_SIZE;
        const std::size_t got = file->Read(bytes, n * user);
        const std::uint8_t mode = track.Type == ttMode1_2048 ? 1 : 2;
        for (std::size_t s = n; s-- > 0;)
        {
            std::uint8_t* out = bytes + s * SECTOR_SIZE;
            const std::size_t from = s * user;
            const std::size_t have = got > from ? std::min(user, got - from) : 0;
            std::memmove(out + USER_DATA_OFFSET, bytes + from, have);
            std::memset(out + USER_DATA_OFFSET + have, 0, SECTOR_SIZE - USER_DATA_OFFSET - have);
        }
        TMsfCounter at(address);
        for (std::size_t s = 0; s < n; ++s, at.Forward())
        {
            PutSyncAndHeader(main[s], at.Msf, mode);
            if (mode == 1)
                RequireTables(Mode1Ecc.Generate(main[s]));
        }
        break;
    }
    case ttCdg:
    {
        for (std::size_t s = 0; s < n; ++s)
        {
            const std::size_t got = file->Read(ReadBuffer.data(), CDG_SECTOR_SIZE);
            std::fill(ReadBuffer.begin() + static_cast<std::ptrdiff_t>(got), ReadBuffer.end(), 0);
            std::copy_n(ReadBuffer.begin(), SECTOR_SIZE, main[s].begin());
            // The packs follow the audio in the file.
            if (sub)
                std::copy_n(ReadBuffer.begin() + SECTOR_SIZE, SUBCODE_SIZE, sub[s].Packs.begin());
        }
        break;
    }
    default: std::memset(bytes, 0, n * SECTOR_SIZE); break;
    }
}

// Gaps of a data track are sectors of its mode: readers detect the mode from them.
void TSectorComposer::ComposeDataGap(const TLuCueTrack& track, std::uint32_t address, std::size_t n, TRawSector* main)
{
    std::memset(main, 0, n * SECTOR_SIZE);
    if (!IsMode1(track.Type) && !IsMode2(track.Type))
        return;
    const std::uint8_t mode = IsMode1(track.Type) ? 1 : 2;
    TMsfCounter at(address);
    for (std::size_t s = 0; s < n; ++s, at.Forward())
    {
        PutSyncAndHeader(main[s], at.Msf, mode);
        if (mode == 1)
            RequireTables(Mode1Ecc.Generate(main[s]));
    }
}
