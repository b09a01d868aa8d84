#include "image/Verifier.h"

#include "cuesheet/Subqpatch.h"
#include "fileio/Fileio.h"
#include "fileio/Paths.h"
#include "image/Ccdreader.h"
#include "image/Conversion.h"
#include "image/Slotring.h"
#include "synthesis/Errorcorrectmode1.h"
#include "synthesis/Errorcorrectsubcode.h"
#include "synthesis/Interleavesubcode.h"
#include "synthesis/Luedc.h"
#include "synthesis/Lusubqcrc.h"
#include "synthesis/Msf.h"
#include "synthesis/Qframe.h"
#include "synthesis/Sector.h"
#include "synthesis/Subcode.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <numeric>
#include <stdexcept>

namespace {

constexpr std::int32_t FRAMES_PER_STEP = FRAMES_PER_SECOND;
// How far ahead of an index 1 the P flag may rise.
constexpr std::int32_t P_FLAG_LEAD = 2 * FRAMES_PER_SECOND;
// Sectors per read: the .img part of a chunk stays within 1 MiB.
constexpr std::size_t CHUNK_SECTORS = (1u << 20) / SECTOR_SIZE;
constexpr std::size_t RING_SLOTS = 3;
constexpr std::size_t MODE2_FORM1_EDC_OFFSET = 2072;
constexpr std::size_t MODE2_FORM2_EDC_OFFSET = 2348;
constexpr std::size_t SUBHEADER_OFFSET = 16;

// First sector (absolute address) of each pair of LibCrypt protection frames; the second lies
// five sectors later. The list the PlayStation emulators use to find the 16-bit key.
constexpr std::array<std::int32_t, 16> LIBCRYPT_FIRST = {14105, 14231, 14485, 14579, 14649, 14899, 15056, 15130,
                                                         15242, 15312, 15378, 15628, 15919, 16031, 16101, 16167};

bool IsLibCryptAddress(std::int32_t address)
{
    for (const std::int32_t first : LIBCRYPT_FIRST)
        if (address == first || address == first + 5)
            return true;
    return false;
}

std::string Hex(std::span<const std::uint8_t> bytes)
{
    std::string text;
    char b[4];
    for (const std::uint8_t v : bytes)
    {
        std::snprintf(b, sizeof b, "%02X", v);
        if (!text.empty())
            text += ' ';
        text += b;
    }
    return text;
}

// A valid BCD byte one on, or back, within 00 to last; true where it wraps.
bool BcdUp(std::uint8_t& b, std::uint8_t last)
{
    if (b == last)
    {
        b = 0;
        return true;
    }
    b = static_cast<std::uint8_t>((b & 0x0F) == 9 ? b + 7 : b + 1);
    return false;
}

bool BcdDown(std::uint8_t& b, std::uint8_t last)
{
    if (b == 0)
    {
        b = last;
        return true;
    }
    b = static_cast<std::uint8_t>((b & 0x0F) == 0 ? b - 7 : b - 1);
    return false;
}

// A valid BCD MM:SS:FF field one frame on or back; the caller keeps it within 00:00:00-99:59:74.
void StepBcdMsf(std::uint8_t* msf, bool back)
{
    const auto step = back ? BcdDown : BcdUp;
    if (step(msf[2], 0x74) && step(msf[1], 0x59))
        step(msf[0], 0x99);
}

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

struct TChunk
{
    std::unique_ptr<std::uint8_t[]> Main{new std::uint8_t[CHUNK_SECTORS * SECTOR_SIZE]};
    std::unique_ptr<std::uint8_t[]> Sub{new std::uint8_t[CHUNK_SECTORS * SUBCODE_SIZE]};
    std::int64_t First = 0;
    std::size_t Count = 0;
};

// Reads the set's chunks in order into the ring: sectors of the .img, subRecords of the .sub.
void ReadChunks(TSlotRing<TChunk, RING_SLOTS>& ring, const TFile& img, const TFile& sub, std::int64_t sectors,
                std::int64_t subRecords)
{
    for (std::int64_t first = 0; first < sectors;)
    {
        TChunk* chunk = ring.AcquireFree();
        if (!chunk)
            return;
        chunk->First = first;
        chunk->Count = static_cast<std::size_t>(std::min<std::int64_t>(CHUNK_SECTORS, sectors - first));
        // A file that shrank meanwhile reads as zero bytes.
        img.ReadAt(first * std::int64_t(SECTOR_SIZE), std::span(chunk->Main.get(), chunk->Count * SECTOR_SIZE));
        // Records past the end of a short .sub read as zero.
        const std::int64_t records = std::clamp<std::int64_t>(subRecords - first, 0, std::int64_t(chunk->Count));
        if (records > 0)
            sub.ReadAt(first * std::int64_t(SUBCODE_SIZE),
                       std::span(chunk->Sub.get(), static_cast<std::size_t>(records) * SUBCODE_SIZE));
        std::memset(chunk->Sub.get() + records * std::int64_t(SUBCODE_SIZE), 0,
                    (chunk->Count - static_cast<std::size_t>(records)) * SUBCODE_SIZE);
        first += static_cast<std::int64_t>(chunk->Count);
        ring.Publish();
    }
}

struct TTrackInfo
{
    std::int32_t Number = 0;
    std::int32_t Control = 0;
    std::int32_t Mode = 0;
    std::int32_t StartLba = 0;
    std::int32_t Index1Lba = 0;
    std::vector<TDiscIndex> Indexes;
    std::string Isrc;
};

class TChecker
{
public:
    TChecker(const TCcdDisc& disc, TVerifyReport& report, std::size_t maxFindings)
        : Disc(disc), Report(report), MaxFindings(maxFindings)
    {}

    void CheckSet(std::int64_t imgSize, std::int64_t subSize);
    // Compares the protection frames found with those the side-car at path lists.
    void UseSideCar(const std::string& path);
    void CheckSector(std::int32_t lba, const std::uint8_t* main, const std::uint8_t* record);
    void Finish();

private:
    void Add(TFindingKind kind, std::int32_t lba, std::string text);
    void CheckToc();
    void CheckCdText();
    void BuildTracks();
    void EnterTrack(std::int32_t lba);
    void CheckQ(std::int32_t lba, const std::uint8_t* record);
    void CheckMain(std::int32_t lba, const std::uint8_t* main);
    void CheckRw(std::int32_t lba, const std::uint8_t* record);
    void FlushBlankRun(bool asProblems);
    void CompareWithSideCar(std::int32_t lba, const std::uint8_t* q);
    void SideCarFramesAbsentBefore(std::int32_t address);
    std::int32_t ExpectedIndex(std::int32_t lba) const;
    void ExpectNextQ(std::int32_t lba, const std::uint8_t* q, std::int32_t index, std::int32_t relative);

    const TCcdDisc& Disc;
    TVerifyReport& Report;
    std::size_t MaxFindings;
    std::vector<TTrackInfo> Tracks;
    std::int32_t LeadOutLba = -1;
    std::int64_t StoredSectors = 0; // whole and partial sectors in the .img
    std::size_t Current = 0;        // track of the sector being checked
    bool HasTracks = false;
    bool LibCryptDisc = false;
    std::int32_t BlankStart = -1;
    std::int32_t BlankCount = 0;
    std::int64_t PacksFed = 0;
    std::int32_t ZeroPacksFed = INTERLEAVE_DEPTH;
    std::vector<TSubQPatch> SideCarFrames; // sorted by address
    std::size_t NextSideCarFrame = 0;
    std::string SideCarName;

    TLuSubQCrc Crc;
    TLuEdc Edc;
    TMode1ErrorCorrect Ecc;
    TSubCodeErrorCorrect RwEcc;
    TSubCodeDeInterLeave DeInterleaver;
    TRawSector Scratch{};
    // The position frame the next sector holds when all runs on: one that passed, a frame on.
    TQFrame NextQ{};
    std::int32_t NextQLba = -1;
    std::int32_t NextQIndex = 0;
    std::int32_t NextQRelative = 0;
};

void TChecker::Add(TFindingKind kind, std::int32_t lba, std::string text)
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

void TChecker::CheckSet(std::int64_t imgSize, std::int64_t subSize)
{
    const std::int64_t sectors = imgSize / std::int64_t(SECTOR_SIZE);
    Report.Sectors = sectors;
    // A partial last sector is reported once; the TOC and the .sub are measured against it.
    StoredSectors = (imgSize + std::int64_t(SECTOR_SIZE) - 1) / std::int64_t(SECTOR_SIZE);
    if (imgSize % std::int64_t(SECTOR_SIZE) != 0)
        Add(fkFile, static_cast<std::int32_t>(sectors),
            Report.ImgPath + " holds " + std::to_string(imgSize) + " bytes, not a whole number of 2352-byte sectors: " +
                "the last sector is " + std::to_string(imgSize % std::int64_t(SECTOR_SIZE)) + " bytes long");
    const std::int64_t records = subSize / std::int64_t(SUBCODE_SIZE);
    if (subSize != StoredSectors * std::int64_t(SUBCODE_SIZE))
    {
        const std::int32_t at = static_cast<std::int32_t>(std::min(records, StoredSectors));
        Add(fkFile, records < StoredSectors ? at : -1,
            Report.SubPath + " holds " + std::to_string(subSize) + " bytes; " + std::to_string(StoredSectors) +
                " sectors need " + std::to_string(StoredSectors * std::int64_t(SUBCODE_SIZE)) +
                (records < StoredSectors ? " (no subchannel from LBA " + std::to_string(at) + " on)" : ""));
    }
    BuildTracks();
    CheckToc();
    CheckCdText();
}

void TChecker::BuildTracks()
{
    for (const TCcdEntry& e : Disc.Entries)
    {
        if (e.Session != 1)
            continue;
        if (e.Point == 0xA2)
            LeadOutLba = e.PLba;
        if (e.Point < 1 || e.Point > 99)
            continue;
        TTrackInfo t;
        t.Number = e.Point;
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
    for (std::size_t i = 0; i < Report.Tracks.size(); ++i)
    {
        const std::int64_t end = i + 1 < Report.Tracks.size() ? Report.Tracks[i + 1].FirstLba : Report.Sectors;
        Report.Tracks[i].Sectors = std::max<std::int64_t>(0, end - Report.Tracks[i].FirstLba);
    }
}

void TChecker::CheckToc()
{
    const std::string ccd = Report.CcdPath;
    if (static_cast<std::size_t>(Disc.TocEntries) != Disc.Entries.size())
        Add(fkToc, -1,
            "TocEntries is " + std::to_string(Disc.TocEntries) + " but " + ccd + " holds " +
                std::to_string(Disc.Entries.size()) + " [Entry n] sections");
    for (std::size_t i = 0; i < Disc.Entries.size(); ++i)
        if (Disc.Entries[i].Number != static_cast<std::int32_t>(i))
        {
            Add(fkToc, -1, "[Entry " + std::to_string(i) + "] is missing");
            break;
        }
    if (Disc.Model.Sessions.size() != 1)
        Add(fkToc, -1,
            "the set has " + std::to_string(Disc.Model.Sessions.size()) + " sessions; only the first is checked");
    if (Disc.DataTracksScrambled)
        Add(fkToc, -1, "DataTracksScrambled=1: the data sectors are stored scrambled and are not judged");

    bool a0 = false, a1 = false, a2 = false;
    std::int32_t lastPoint = 0;
    std::int32_t lastStart = -1;
    for (const TCcdEntry& e : Disc.Entries)
    {
        if (e.Session != 1)
            continue;
        const std::string name = "[Entry " + std::to_string(e.Number) + "]";
        const std::int32_t pmsf = (e.PMin * 60 + e.PSec) * FRAMES_PER_SECOND + e.PFrame - PROGRAM_START;
        if ((e.Point <= 99 || e.Point == 0xA2) && pmsf != e.PLba)
            Add(fkToc, -1,
                name + ": PLBA " + std::to_string(e.PLba) + " disagrees with PMin/PSec/PFrame " +
                    FramesToStr(pmsf + PROGRAM_START));
        if (e.Point == 0xA0)
        {
            a0 = true;
            if (HasTracks && e.PMin != Tracks.front().Number)
                Add(fkToc, -1,
                    name + ": A0 names " + std::to_string(e.PMin) + " as the first track, the TOC starts with " +
                        std::to_string(Tracks.front().Number));
        }
        else if (e.Point == 0xA1)
        {
            a1 = true;
            if (HasTracks && e.PMin != Tracks.back().Number)
                Add(fkToc, -1,
                    name + ": A1 names " + std::to_string(e.PMin) + " as the last track, the TOC ends with " +
                        std::to_string(Tracks.back().Number));
        }
        else if (e.Point == 0xA2)
        {
            a2 = true;
            if (e.PLba != StoredSectors)
                Add(fkToc, -1,
                    name + ": the lead-out (A2) is at LBA " + std::to_string(e.PLba) + " but the image holds " +
                        std::to_string(StoredSectors) + " sectors");
        }
        else if (e.Point >= 1 && e.Point <= 99)
        {
            if (e.Point <= lastPoint || e.PLba <= lastStart)
                Add(fkToc, -1, name + ": track " + std::to_string(e.Point) + " does not follow the track before it");
            lastPoint = e.Point;
            lastStart = e.PLba;
            if (e.Adr != 1)
                Add(fkToc, -1, name + ": ADR " + std::to_string(e.Adr) + " where a track entry has 1");
            const TDiscTrack* track = Disc.Model.FindTrack(e.Point);
            if (track == nullptr)
            {
                Add(fkToc, -1,
                    name + ": track " + std::to_string(e.Point) + " has no [TRACK " + std::to_string(e.Point) +
                        "] section");
                continue;
            }
            const auto index1 = std::find_if(track->Indexes.begin(), track->Indexes.end(),
                                             [](const TDiscIndex& i) { return i.Number == 1; });
            if (index1 == track->Indexes.end())
                Add(fkToc, -1, "[TRACK " + std::to_string(e.Point) + "] has no INDEX 1");
            else if (index1->Lba != e.PLba)
                Add(fkToc, -1,
                    "[TRACK " + std::to_string(e.Point) + "]: INDEX 1 is " + std::to_string(index1->Lba) +
                        " but its TOC entry starts it at " + std::to_string(e.PLba));
            for (std::size_t i = 1; i < track->Indexes.size(); ++i)
                if (track->Indexes[i].Lba <= track->Indexes[i - 1].Lba && track->Indexes[i].Number > 1)
                    Add(fkToc, -1,
                        "[TRACK " + std::to_string(e.Point) + "]: INDEX " + std::to_string(track->Indexes[i].Number) +
                            " does not follow INDEX " + std::to_string(track->Indexes[i - 1].Number));
            if (track->Mode >= 0 && (track->Mode != 0) != ((e.Control & 0x4) != 0))
                Add(fkToc, -1,
                    "[TRACK " + std::to_string(e.Point) + "]: MODE " + std::to_string(track->Mode) +
                        " disagrees with the control flags of its TOC entry (" +
                        ((e.Control & 0x4) ? "data" : "audio") + ")");
        }
    }
    if (!a0 || !a1 || !a2)
        Add(fkToc, -1,
            std::string("the TOC lacks the ") + (!a0 ? "A0 " : "") + (!a1 ? "A1 " : "") + (!a2 ? "A2 " : "") + "point");
    if (!HasTracks)
        Add(fkToc, -1, "the TOC lists no track; only the Q CRCs are checked");
    for (const TDiscSession& session : Disc.Model.Sessions)
        for (const TDiscTrack& t : session.Tracks)
            if (std::none_of(Tracks.begin(), Tracks.end(), [&](const TTrackInfo& i) { return i.Number == t.Number; }))
                Add(fkToc, -1, "[TRACK " + std::to_string(t.Number) + "] has no TOC entry");
}

void TChecker::CheckCdText()
{
    if (!Disc.Model.HasCdText)
        return;
    const auto& packs = Disc.Model.CdText;
    if (Disc.CdTextLength != static_cast<std::int32_t>(packs.size() * 18))
        Add(fkCdText, -1,
            "CDTextLength is " + std::to_string(Disc.CdTextLength) + " but [CDText] holds " +
                std::to_string(packs.size()) + " packs of 18 bytes");
    std::size_t reported = 0;
    const auto fail = [&](std::size_t i, const std::string& text) {
        if (reported++ < 8)
            Add(fkCdText, -1, "CD-TEXT Entry " + std::to_string(i) + ": " + text);
    };
    // Per block: packs of each type and the last sequence number, to match its size information.
    std::array<std::array<int, 16>, 8> counts{};
    std::array<int, 8> lastSeq{};
    lastSeq.fill(-1);
    std::array<int, 8> sizeInfoAt{};
    sizeInfoAt.fill(-1);
    int lastBlock = 0;
    std::size_t inBlock = 0;
    for (std::size_t i = 0; i < packs.size(); ++i)
    {
        const TCdTextEntry& p = packs[i];
        if (p[0] < 0x80 || p[0] > 0x8F)
        {
            fail(i, "pack type 0x" + Hex(std::span(p).first(1)) + " is not one of 0x80-0x8F");
            continue;
        }
        const int block = (p[3] >> 4) & 7;
        if (block < lastBlock)
            fail(i, "block " + std::to_string(block) + " after block " + std::to_string(lastBlock));
        inBlock = block == lastBlock ? inBlock + 1 : 0;
        if (i == 0)
            inBlock = 0;
        lastBlock = block;
        // Numbered from 0 in each block; some writers number on across the blocks instead.
        if (p[2] != (inBlock & 0xFF) && p[2] != (i & 0xFF))
            fail(i,
                 "sequence number " + std::to_string(p[2]) + " where " + std::to_string(inBlock & 0xFF) + " follows");
        ++counts[static_cast<std::size_t>(block)][p[0] & 0x0F];
        lastSeq[static_cast<std::size_t>(block)] = p[2];
        if (p[0] == 0x8F && p[1] == 0 && sizeInfoAt[static_cast<std::size_t>(block)] < 0)
            sizeInfoAt[static_cast<std::size_t>(block)] = static_cast<int>(i);
    }
    for (std::size_t block = 0; block < 8; ++block)
    {
        const int total = std::accumulate(counts[block].begin(), counts[block].end(), 0);
        if (total == 0)
            continue;
        const int at = sizeInfoAt[block];
        if (at < 0 || static_cast<std::size_t>(at) + 2 >= packs.size())
        {
            Add(fkCdText, -1, "CD-TEXT block " + std::to_string(block) + " has no size information packs");
            continue;
        }
        // Three packs of 12 payload bytes each, read as one 36-byte field.
        std::array<std::uint8_t, 36> info{};
        for (std::size_t k = 0; k < 3; ++k)
            std::copy_n(packs[static_cast<std::size_t>(at) + k].begin() + 4, 12, info.begin() + 12 * k);
        for (std::size_t type = 0; type < 16; ++type)
            if (info[4 + type] != counts[block][type])
                fail(static_cast<std::size_t>(at),
                     "the size information of block " + std::to_string(block) + " counts " +
                         std::to_string(info[4 + type]) + " packs of type 0x" +
                         Hex(std::array<std::uint8_t, 1>{static_cast<std::uint8_t>(0x80 + type)}) +
                         ", the block holds " + std::to_string(counts[block][type]));
        // Each block's size information gives the last sequence number of every block.
        for (std::size_t other = 0; other < 8; ++other)
            if (lastSeq[other] >= 0 && info[20 + other] != lastSeq[other])
                fail(static_cast<std::size_t>(at),
                     "the size information of block " + std::to_string(block) + " gives " +
                         std::to_string(info[20 + other]) + " as the last sequence number of block " +
                         std::to_string(other) + ", it is " + std::to_string(lastSeq[other]));
    }
}

std::int32_t TChecker::ExpectedIndex(std::int32_t lba) const
{
    const TTrackInfo& t = Tracks[Current];
    if (lba < t.Index1Lba)
        return 0;
    std::int32_t index = 1;
    for (const TDiscIndex& i : t.Indexes)
        if (i.Number >= 1 && i.Lba <= lba)
            index = i.Number;
    return index;
}

void TChecker::EnterTrack(std::int32_t lba)
{
    while (Current + 1 < Tracks.size() && lba >= Tracks[Current + 1].StartLba)
    {
        FlushBlankRun(false); // blank sectors that end a data track are its postgap
        ++Current;
    }
}

void TChecker::FlushBlankRun(bool asProblems)
{
    if (BlankCount > 0 && asProblems)
    {
        // One finding for the run; every sector counts.
        Add(fkHeader, BlankStart,
            std::to_string(BlankCount) + " blank sector" + (BlankCount > 1 ? "s" : "") +
                " (all bytes zero, no sync) inside data track " + std::to_string(Tracks[Current].Number));
        if (!Report.Tracks.empty())
            for (auto& t : Report.Tracks)
                if (t.Number == Tracks[Current].Number)
                    t.Header += BlankCount - 1;
        Report.Problems += BlankCount - 1;
    }
    BlankStart = -1;
    BlankCount = 0;
}

void TChecker::CheckSector(std::int32_t lba, const std::uint8_t* main, const std::uint8_t* record)
{
    if (HasTracks)
        EnterTrack(lba);
    CheckQ(lba, record);
    if (HasTracks && !Disc.DataTracksScrambled)
        CheckMain(lba, main);
    CheckRw(lba, record);
}

void TChecker::CheckQ(std::int32_t lba, const std::uint8_t* record)
{
    const std::uint8_t* q = record + Q_FRAME_SIZE;
    // The frame that follows on from one that passed, with a clear P frame, passes as well.
    if (lba == NextQLba && std::equal(q, q + Q_FRAME_SIZE, NextQ.begin()) && AllZero(record, Q_FRAME_SIZE))
    {
        ExpectNextQ(lba, q, NextQIndex, NextQRelative);
        return;
    }
    const std::int32_t address = lba + PROGRAM_START;
    const std::span<const std::uint8_t, Q_FRAME_SIZE> frame(q, Q_FRAME_SIZE);
    if (!HasValidQCrc(frame, Crc))
    {
        if (LibCryptDisc && Current == 0 && IsLibCryptAddress(address))
        {
            Report.LibCryptLbas.push_back(lba);
            if (Report.SideCarMatched >= 0)
                CompareWithSideCar(lba, q);
            return;
        }
        Add(fkQCrc, lba, "Q frame " + Hex(std::span(q, Q_FRAME_SIZE)) + ": CRC fails");
        return;
    }
    const std::uint8_t* p = record;
    const bool pSet = p[0] != 0;
    if (!AllZero(p, Q_FRAME_SIZE) && !std::all_of(p, p + Q_FRAME_SIZE, [](std::uint8_t b) { return b == 0xFF; }))
        Add(fkPFlag, lba, "P frame " + Hex(std::span(p, Q_FRAME_SIZE)) + " is neither all set nor all clear");
    if (!HasTracks)
        return;
    const TTrackInfo& t = Tracks[Current];
    const TQFields fields = ParseQ(frame);
    const int adr = fields.Adr;
    const int control = fields.Control;
    const std::int32_t index = ExpectedIndex(lba);

    if (pSet && index != 0 && lba != t.Index1Lba)
    {
        // Set only in a pause, on the first sector of index 1, or in the last 150 sectors before the
        // next track's index 1 or the lead-out.
        const std::int32_t next = Current + 1 < Tracks.size()
                                      ? Tracks[Current + 1].Index1Lba
                                      : (LeadOutLba >= 0 ? LeadOutLba : std::int32_t(Report.Sectors));
        if (next - lba > P_FLAG_LEAD)
            Add(fkPFlag, lba, "P flag set " + std::to_string(next - lba) + " sectors before the next track");
    }

    if (control != t.Control)
    {
        Add(adr == ADR_POSITION  ? fkQPosition
            : adr == ADR_CATALOG ? fkQCatalog
                                 : fkQIsrc,
            lba,
            "Q frame " + Hex(std::span(q, Q_FRAME_SIZE)) + ": control " + std::to_string(control) + ", track " +
                std::to_string(t.Number) + " has " + std::to_string(t.Control));
        return;
    }
    if (adr == ADR_CATALOG || adr == ADR_ISRC)
    {
        TQFrame want{};
        if (adr == ADR_CATALOG)
            BuildMcnPayload(Disc.Model.Catalog, want);
        else
            BuildIsrcPayload(t.Isrc, want);
        const bool known = adr == ADR_CATALOG ? !Disc.Model.Catalog.empty() : !t.Isrc.empty();
        const bool frameOk = FromBcd(q[9]) == address % FRAMES_PER_SECOND;
        if (!known || !std::equal(q + 1, q + 9, want.begin() + 1) || !frameOk)
        {
            const std::string what = adr == ADR_CATALOG ? "catalogue" : "ISRC";
            std::string text = "Q frame " + Hex(std::span(q, Q_FRAME_SIZE)) + ": ";
            if (!known)
                text += what + " frame, but the .ccd has no " + what + (adr == ADR_ISRC ? " for this track" : "");
            else if (!frameOk)
                text += "absolute frame " + Hex(std::span(q + 9, 1)) + " where " + FramesToStr(address).substr(6) +
                        " belongs";
            else
                text += what + " differs from the .ccd's " + (adr == ADR_CATALOG ? Disc.Model.Catalog : t.Isrc);
            Add(adr == ADR_CATALOG ? fkQCatalog : fkQIsrc, lba, text);
        }
        return;
    }
    if (adr != ADR_POSITION)
    {
        Add(fkQPosition, lba,
            "Q frame " + Hex(std::span(q, Q_FRAME_SIZE)) + ": mode " + std::to_string(adr) +
                " has no place in the program area");
        return;
    }
    std::string problem;
    if (fields.Absolute != address)
        problem = "absolute time " + Hex(std::span(q + 7, 3)) + " where " + FramesToStr(address) + " belongs";
    else if (fields.Track != t.Number)
        problem = "track " + Hex(std::span(q + 1, 1)) + " where track " + std::to_string(t.Number) + " lies";
    else if (fields.Index != index)
        problem = "index " + Hex(std::span(q + 2, 1)) + " where index " + std::to_string(index) + " lies";
    else
    {
        const std::int32_t rel = fields.Relative;
        const std::int32_t want = index == 0 ? t.Index1Lba - lba : lba - t.Index1Lba;
        // In a pause the count down may end at 0 on the last sector or on index 1.
        if (rel != want && !(index == 0 && rel == want - 1))
            problem =
                "relative time " + Hex(std::span(q + 3, 3)) + " where " + FramesToStr(std::max(want, 0)) + " belongs";
        else if (q[6] != 0)
            problem = "byte 6 is " + Hex(std::span(q + 6, 1)) + ", not 00";
        else
            ExpectNextQ(lba, q, index, rel);
    }
    if (!problem.empty())
        Add(fkQPosition, lba, "Q frame " + Hex(std::span(q, Q_FRAME_SIZE)) + ": " + problem);
}

void TChecker::ExpectNextQ(std::int32_t lba, const std::uint8_t* q, std::int32_t index, std::int32_t relative)
{
    NextQLba = -1;
    const std::int32_t next = lba + 1;
    const std::int32_t nextRelative = index == 0 ? relative - 1 : relative + 1;
    constexpr std::int32_t MSF_LIMIT = 100 * FRAMES_PER_MINUTE; // 100:00:00
    // Only where the full check would pass it: same track, same index, times in range.
    if ((Current + 1 < Tracks.size() && next >= Tracks[Current + 1].StartLba) || ExpectedIndex(next) != index ||
        nextRelative < 0 || nextRelative >= MSF_LIMIT || next + PROGRAM_START >= MSF_LIMIT)
        return;
    std::copy_n(q, Q_FRAME_SIZE, NextQ.begin());
    StepBcdMsf(NextQ.data() + 3, index == 0);
    StepBcdMsf(NextQ.data() + 7, false);
    SetQCrc(NextQ, Crc);
    NextQLba = next;
    NextQIndex = index;
    NextQRelative = nextRelative;
}

void TChecker::CheckMain(std::int32_t lba, const std::uint8_t* main)
{
    const TTrackInfo& t = Tracks[Current];
    if (t.Mode == 0)
        return;
    // A sector with its sync is not blank; only the others are scanned for zeros.
    const bool synced = std::equal(SYNC_PATTERN.begin(), SYNC_PATTERN.end(), main);
    if (!synced && AllZero(main, SECTOR_SIZE))
    {
        // A generated pause holds blank sectors; so does a postgap, known only when the track ends.
        if (lba < t.Index1Lba)
            return;
        if (BlankCount == 0)
            BlankStart = lba;
        ++BlankCount;
        return;
    }
    if (BlankCount > 0)
        FlushBlankRun(true);

    const std::int32_t address = lba + PROGRAM_START;
    if (!synced)
    {
        Add(fkSync, lba, "sync field " + Hex(std::span(main, SYNC_SIZE)) + " is damaged");
        return;
    }
    const std::uint8_t mode = main[MODE_OFFSET];
    std::array<std::uint8_t, 3> header{};
    PutBcdMsf(header, static_cast<std::uint32_t>(address));
    if (!std::equal(header.begin(), header.end(), main + HEADER_OFFSET))
    {
        Add(fkHeader, lba,
            "header address " + Hex(std::span(main + 12, 3)) + " where " + FramesToStr(address) + " belongs");
        return;
    }
    if (mode == 0)
    {
        if (!AllZero(main + USER_DATA_OFFSET, MODE2_USER_SIZE))
            Add(fkHeader, lba, "mode 0 sector with data in it");
        return;
    }
    if ((t.Mode > 0 && mode != t.Mode) || mode > 2)
    {
        Add(fkHeader, lba, "header mode " + std::to_string(mode) + " in a MODE" + std::to_string(t.Mode) + " track");
        return;
    }

    const auto sector = std::span<const std::uint8_t, SECTOR_SIZE>(main, SECTOR_SIZE);
    std::size_t edcAt = EDC_OFFSET;
    std::uint32_t edc = 0;
    bool withEcc = true;
    if (mode == 1)
        edc = Edc.Compute(sector);
    else
    {
        const std::uint8_t* sub = main + SUBHEADER_OFFSET;
        if (!std::equal(sub, sub + 4, sub + 4))
        {
            Add(fkHeader, lba, "the two copies of the subheader differ: " + Hex(std::span(sub, 8)));
            return;
        }
        const bool form2 = (sub[2] & 0x20) != 0;
        withEcc = !form2;
        edcAt = form2 ? MODE2_FORM2_EDC_OFFSET : MODE2_FORM1_EDC_OFFSET;
        edc = Edc.Update(0, std::span(main + SUBHEADER_OFFSET, edcAt - SUBHEADER_OFFSET));
    }
    const std::uint32_t stored = GetLE32(std::span<const std::uint8_t, 4>(main + edcAt, 4));
    // Form 2 sectors may leave the EDC out (zero).
    const bool edcBad = stored != edc && !(edcAt == MODE2_FORM2_EDC_OFFSET && stored == 0);
    bool pBad = false, qBad = false;
    if (withEcc)
    {
        // Mode 1 is judged in place. A copy is made where the parity leaves the address out, and
        // where the P parity fails, so that Q is judged over the P parity it was made from.
        bool pGood = true, qGood = true;
        if (mode == 1 && Ecc.CheckParity(sector, pGood, qGood) && pGood)
            qBad = !qGood;
        else if (mode == 2 || !pGood)
        {
            std::memcpy(Scratch.data(), main, SECTOR_SIZE);
            if (mode == 2)
                std::memset(Scratch.data() + HEADER_OFFSET, 0, 4); // form 1 parity leaves the address out
            Ecc.GenerateParity(Scratch);
            pBad = std::memcmp(Scratch.data() + ECC_P_OFFSET, main + ECC_P_OFFSET, ECC_P_SIZE) != 0;
            qBad = std::memcmp(Scratch.data() + ECC_Q_OFFSET, main + ECC_Q_OFFSET, ECC_Q_SIZE) != 0;
        }
    }
    if (!edcBad && !pBad && !qBad)
        return;
    const std::string form = mode == 1 ? "Mode 1" : withEcc ? "Mode 2 form 1" : "Mode 2 form 2";
    std::string text = form + ":";
    if (edcBad)
    {
        char b[64];
        std::snprintf(b, sizeof b, " EDC %08X stored, %08X computed", stored, edc);
        text += b;
    }
    if (pBad || qBad)
        text += std::string(edcBad ? ";" : "") + " ECC " +
                (pBad && qBad ? "P and Q"
                 : pBad       ? "P"
                              : "Q") +
                " parity fails";
    Add(edcBad ? fkEdc : pBad ? fkEccP : fkEccQ, lba, text);
    if (edcBad && (pBad || qBad))
        for (auto& r : Report.Tracks)
            if (r.Number == t.Number)
                ++r.Ecc; // counted in both columns, listed once
}

void TChecker::CheckRw(std::int32_t lba, const std::uint8_t* record)
{
    const bool zero = AllZero(record + 2 * Q_FRAME_SIZE, SUBCODE_SIZE - 2 * Q_FRAME_SIZE);
    if (zero && ZeroPacksFed >= static_cast<std::int32_t>(INTERLEAVE_DEPTH))
    {
        PacksFed += PACKS_PER_SECTOR; // the history stays zero and every pack out is zero
        return;
    }
    TSubBlock block{};
    ChannelsToSymbols(std::span<const std::uint8_t, SUBCODE_SIZE>(record, SUBCODE_SIZE), block);
    for (std::size_t p = 0; p < PACKS_PER_SECTOR; ++p)
    {
        std::array<std::uint8_t, PACK_SIZE> pack{};
        for (std::size_t k = 0; k < PACK_SIZE; ++k)
            pack[k] = block[p * PACK_SIZE + k] & 0x3F;
        ZeroPacksFed = AllZero(pack.data(), PACK_SIZE) ? std::min<std::int32_t>(ZeroPacksFed + 1, INTERLEAVE_DEPTH) : 0;
        DeInterleaver.DeInterleavePack(pack);
        const std::int64_t original = PacksFed++ - static_cast<std::int64_t>(INTERLEAVE_DEPTH - 1);
        if (original < 0 || AllZero(pack.data(), PACK_SIZE))
            continue;
        std::array<std::uint8_t, PACK_SIZE> want = pack;
        RwEcc.SetQParity(want);
        RwEcc.SetPParity(want);
        const bool qBad = want[2] != pack[2] || want[3] != pack[3];
        const bool pBad = !std::equal(want.begin() + 20, want.end(), pack.begin() + 20);
        if (qBad || pBad)
        {
            const auto at = static_cast<std::int32_t>(original / std::int64_t(PACKS_PER_SECTOR));
            Add(fkRwParity, at,
                "R-W pack " + std::to_string(original % std::int64_t(PACKS_PER_SECTOR)) + " (" +
                    Hex(std::span(pack).first(4)) + " ...): " +
                    (qBad && pBad ? "P and Q"
                     : qBad       ? "Q"
                                  : "P") +
                    " parity fails");
        }
    }
    (void)lba;
}

void TChecker::UseSideCar(const std::string& path)
{
    Report.SideCar = path;
    SideCarName = BaseName(path);
    TSubQPatchList list;
    std::string error;
    // Frames beyond the image are not refused here; they are reported as absent from the set.
    if (!ReadSubQPatchFile(path, INT32_MAX, list, error))
    {
        Add(fkSideCar, -1, error);
        return;
    }
    SideCarFrames = std::move(list.Patches);
    Report.SideCarListed = static_cast<std::int32_t>(SideCarFrames.size());
    Report.SideCarMatched = 0;
}

void TChecker::SideCarFramesAbsentBefore(std::int32_t address)
{
    for (; NextSideCarFrame < SideCarFrames.size() && SideCarFrames[NextSideCarFrame].Address < address;
         ++NextSideCarFrame)
    {
        ++Report.SideCarAbsent;
        Add(fkSideCar, SideCarFrames[NextSideCarFrame].Address - PROGRAM_START,
            SideCarName + " lists a protection frame here; the set has none");
    }
}

void TChecker::CompareWithSideCar(std::int32_t lba, const std::uint8_t* q)
{
    const std::int32_t address = lba + PROGRAM_START;
    SideCarFramesAbsentBefore(address);
    const std::string frame = "Q frame " + Hex(std::span(q, Q_FRAME_SIZE)) + ": ";
    if (NextSideCarFrame == SideCarFrames.size() || SideCarFrames[NextSideCarFrame].Address != address)
    {
        ++Report.SideCarUnlisted;
        Add(fkSideCar, lba, frame + "protection frame not listed in " + SideCarName);
        return;
    }
    const TSubQPatch& listed = SideCarFrames[NextSideCarFrame++];
    if (SubQPatchMatches(listed, std::span<const std::uint8_t, Q_FRAME_SIZE>(q, Q_FRAME_SIZE)))
    {
        ++Report.SideCarMatched;
        return;
    }
    ++Report.SideCarDiffering;
    const TSubQPatchSpan held = SubQPatchSpanOf(listed.Kind);
    std::string bytes = Hex(std::span(listed.Bytes).subspan(held.First, held.Size));
    if (held.Size < Q_FRAME_SIZE)
        bytes =
            "bytes " + std::to_string(held.First) + "-" + std::to_string(held.First + held.Size - 1) + " as " + bytes;
    Add(fkSideCar, lba, frame + SideCarName + " lists " + bytes + " for this protection frame");
}

void TChecker::Finish()
{
    // Blank sectors up to the end belong to the last track's postgap.
    FlushBlankRun(false);
    if (Report.SideCarMatched >= 0)
        SideCarFramesAbsentBefore(INT32_MAX);
}

} // namespace

const char* FindingKindName(TFindingKind kind)
{
    switch (kind)
    {
    case fkFile: return "file";
    case fkToc: return "TOC";
    case fkCdText: return "CD-TEXT";
    case fkQCrc: return "Q CRC";
    case fkQPosition: return "Q position";
    case fkQIsrc: return "Q ISRC";
    case fkQCatalog: return "Q catalogue";
    case fkPFlag: return "P flag";
    case fkSync: return "sync";
    case fkHeader: return "header";
    case fkEdc: return "EDC";
    case fkEccP: return "ECC P";
    case fkEccQ: return "ECC Q";
    case fkRwParity: return "R-W parity";
    case fkSideCar: return "side-car";
    }
    return "?";
}

int TVerifyJob::Run(const std::string& ccdPath, std::size_t maxFindings)
{
    Report = TVerifyReport{};
    Report.CcdPath = ccdPath;
    Report.ImgPath = ChangeFileExt(ccdPath, ".img");
    Report.SubPath = ChangeFileExt(ccdPath, ".sub");
    RunFramed([&] {
        TCcdDisc disc;
        if (const TError error = ReadCcdFile(ccdPath, disc))
            throw std::runtime_error(error.Text());
        const TFile img = TFile::OpenForReading(Report.ImgPath, "the image file");
        const TFile sub = TFile::OpenForReading(Report.SubPath, "the subchannel file");
        TChecker checker(disc, Report, maxFindings);
        checker.CheckSet(img.Size(), sub.Size());
        if (const std::string sideCar = FindSubQPatchFile(ccdPath); !sideCar.empty())
            checker.UseSideCar(sideCar);
        const std::int64_t sectors = Report.Sectors;
        Notify(peSetRange, static_cast<std::int32_t>(sectors / FRAMES_PER_STEP + 2));
        Notify(peStep, 0);

        // Reads chunks ahead on its own thread while the checker works on the ones before.
        const std::int64_t subRecords = sub.Size() / std::int64_t(SUBCODE_SIZE);
        TRingWorker<TChunk, RING_SLOTS> reader([&img, &sub, sectors, subRecords](TSlotRing<TChunk, RING_SLOTS>& ring) {
            ReadChunks(ring, img, sub, sectors, subRecords);
        });
        bool canceled = false;
        while (TChunk* chunk = reader.Next())
        {
            if (CancelRequested())
            {
                canceled = true;
                break;
            }
            for (std::size_t i = 0; i < chunk->Count; ++i)
                checker.CheckSector(static_cast<std::int32_t>(chunk->First + std::int64_t(i)),
                                    chunk->Main.get() + i * SECTOR_SIZE, chunk->Sub.get() + i * SUBCODE_SIZE);
            // A step for every absolute address that is a multiple of 75, as the conversion gives.
            const std::int64_t begin = chunk->First + PROGRAM_START;
            const std::int64_t end = begin + static_cast<std::int64_t>(chunk->Count);
            for (std::int64_t a = (begin + FRAMES_PER_STEP - 1) / FRAMES_PER_STEP * FRAMES_PER_STEP; a < end;
                 a += FRAMES_PER_STEP)
                Notify(peStep, 0);
            reader.Release();
        }
        if (!canceled)
            checker.Finish();
        Notify(peComplete, 0);
        Status.store(CancelRequested() ? csCanceled : csSucceeded);
        Notify(Status.load() == csCanceled ? peCanceled : peFinished, 0);
    });
    return 0;
}
