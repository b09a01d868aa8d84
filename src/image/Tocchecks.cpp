#include "image/Tocchecks.h"

#include "image/Verifystate.h"
#include "synthesis/Msf.h"

#include <algorithm>
#include <array>
#include <numeric>

namespace {

// The entry list as a whole, before the entries one by one.
void CheckEntryList(TVerifyState& state)
{
    const TCcdDisc& disc = state.Disc;
    const std::string ccd = state.Report.CcdPath;
    if (static_cast<std::size_t>(disc.TocEntries) != disc.Entries.size())
        state.Add(fkToc, -1,
                  "TocEntries is " + std::to_string(disc.TocEntries) + " but " + ccd + " holds " +
                      std::to_string(disc.Entries.size()) + " [Entry n] sections");
    for (std::size_t i = 0; i < disc.Entries.size(); ++i)
        if (disc.Entries[i].Number != static_cast<std::int32_t>(i))
        {
            state.Add(fkToc, -1, "[Entry " + std::to_string(i) + "] is missing");
            break;
        }
    if (disc.Model.Sessions.size() != 1)
        state.Add(fkToc, -1,
                  "the set has " + std::to_string(disc.Model.Sessions.size()) + " sessions; only the first is checked");
    if (disc.DataTracksScrambled)
        state.Add(fkToc, -1, "DataTracksScrambled=1: the data sectors are stored scrambled and are not judged");
}

// A track's [TRACK n] section against its TOC entry.
void CheckTrackSection(TVerifyState& state, const TCcdEntry& e, const TDiscTrack& track)
{
    const auto index1 =
        std::find_if(track.Indexes.begin(), track.Indexes.end(), [](const TDiscIndex& i) { return i.Number == 1; });
    if (index1 == track.Indexes.end())
        state.Add(fkToc, -1, "[TRACK " + std::to_string(e.Point) + "] has no INDEX 1");
    else if (index1->Lba != e.PLba)
        state.Add(fkToc, -1,
                  "[TRACK " + std::to_string(e.Point) + "]: INDEX 1 is " + std::to_string(index1->Lba) +
                      " but its TOC entry starts it at " + std::to_string(e.PLba));
    for (std::size_t i = 1; i < track.Indexes.size(); ++i)
        if (track.Indexes[i].Lba <= track.Indexes[i - 1].Lba && track.Indexes[i].Number > 1)
            state.Add(fkToc, -1,
                      "[TRACK " + std::to_string(e.Point) + "]: INDEX " + std::to_string(track.Indexes[i].Number) +
                          " does not follow INDEX " + std::to_string(track.Indexes[i - 1].Number));
    if (track.Mode >= 0 && (track.Mode != 0) != ((e.Control & 0x4) != 0))
        state.Add(fkToc, -1,
                  "[TRACK " + std::to_string(e.Point) + "]: MODE " + std::to_string(track.Mode) +
                      " disagrees with the control flags of its TOC entry (" + ((e.Control & 0x4) ? "data" : "audio") +
                      ")");
}

void CheckTrackEntry(TVerifyState& state, const TCcdEntry& e, const std::string& name, std::int32_t& lastPoint,
                     std::int32_t& lastStart)
{
    if (e.Point <= lastPoint || e.PLba <= lastStart)
        state.Add(fkToc, -1, name + ": track " + std::to_string(e.Point) + " does not follow the track before it");
    lastPoint = e.Point;
    lastStart = e.PLba;
    if (e.Adr != 1)
        state.Add(fkToc, -1, name + ": ADR " + std::to_string(e.Adr) + " where a track entry has 1");
    const TDiscTrack* track = state.Disc.Model.FindTrack(e.Point);
    if (track == nullptr)
    {
        state.Add(fkToc, -1,
                  name + ": track " + std::to_string(e.Point) + " has no [TRACK " + std::to_string(e.Point) +
                      "] section");
        return;
    }
    CheckTrackSection(state, e, *track);
}

// The first eight problems with single packs are listed.
struct TCdTextFailures
{
    TVerifyState& State;
    std::size_t Reported = 0;

    void operator()(std::size_t i, const std::string& text)
    {
        if (Reported++ < 8)
            State.Add(fkCdText, -1, "CD-TEXT Entry " + std::to_string(i) + ": " + text);
    }
};

// Per block: packs of each type and the last sequence number, to match its size information.
struct TCdTextTally
{
    std::array<std::array<int, 16>, 8> Counts{};
    std::array<int, 8> LastSeq{-1, -1, -1, -1, -1, -1, -1, -1};
    std::array<int, 8> SizeInfoAt{-1, -1, -1, -1, -1, -1, -1, -1};
};

TCdTextTally TallyPacks(const std::vector<TCdTextEntry>& packs, TCdTextFailures& fail)
{
    TCdTextTally tally;
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
        const auto b = static_cast<std::size_t>(block);
        ++tally.Counts[b][p[0] & 0x0F];
        tally.LastSeq[b] = p[2];
        if (p[0] == 0x8F && p[1] == 0 && tally.SizeInfoAt[b] < 0)
            tally.SizeInfoAt[b] = static_cast<int>(i);
    }
    return tally;
}

void CheckSizeInformation(TVerifyState& state, const std::vector<TCdTextEntry>& packs, const TCdTextTally& tally,
                          std::size_t block, TCdTextFailures& fail)
{
    const auto& counts = tally.Counts[block];
    if (std::accumulate(counts.begin(), counts.end(), 0) == 0)
        return;
    const int at = tally.SizeInfoAt[block];
    if (at < 0 || static_cast<std::size_t>(at) + 2 >= packs.size())
    {
        state.Add(fkCdText, -1, "CD-TEXT block " + std::to_string(block) + " has no size information packs");
        return;
    }
    const auto first = static_cast<std::size_t>(at);
    // Three packs of 12 payload bytes each, read as one 36-byte field.
    std::array<std::uint8_t, 36> info{};
    for (std::size_t k = 0; k < 3; ++k)
        std::copy_n(packs[first + k].begin() + 4, 12, info.begin() + 12 * k);
    for (std::size_t type = 0; type < 16; ++type)
        if (info[4 + type] != counts[type])
            fail(first, "the size information of block " + std::to_string(block) + " counts " +
                            std::to_string(info[4 + type]) + " packs of type 0x" +
                            Hex(std::array<std::uint8_t, 1>{static_cast<std::uint8_t>(0x80 + type)}) +
                            ", the block holds " + std::to_string(counts[type]));
    // Each block's size information gives the last sequence number of every block.
    for (std::size_t other = 0; other < 8; ++other)
        if (tally.LastSeq[other] >= 0 && info[20 + other] != tally.LastSeq[other])
            fail(first, "the size information of block " + std::to_string(block) + " gives " +
                            std::to_string(info[20 + other]) + " as the last sequence number of block " +
                            std::to_string(other) + ", it is " + std::to_string(tally.LastSeq[other]));
}

} // namespace

void CheckToc(TVerifyState& state)
{
    CheckEntryList(state);
    const std::vector<TTrackInfo>& tracks = state.Tracks;
    bool a0 = false, a1 = false, a2 = false;
    std::int32_t lastPoint = 0;
    std::int32_t lastStart = -1;
    for (const TCcdEntry& e : state.Disc.Entries)
    {
        if (e.Session != 1)
            continue;
        const std::string name = "[Entry " + std::to_string(e.Number) + "]";
        const std::int32_t pmsf = (e.PMin * 60 + e.PSec) * FRAMES_PER_SECOND + e.PFrame - PROGRAM_START;
        if ((e.Point <= 99 || e.Point == 0xA2) && pmsf != e.PLba)
            state.Add(fkToc, -1,
                      name + ": PLBA " + std::to_string(e.PLba) + " disagrees with PMin/PSec/PFrame " +
                          FramesToStr(pmsf + PROGRAM_START));
        if (e.Point == 0xA0)
        {
            a0 = true;
            if (state.HasTracks && e.PMin != tracks.front().Number)
                state.Add(fkToc, -1,
                          name + ": A0 names " + std::to_string(e.PMin) + " as the first track, the TOC starts with " +
                              std::to_string(tracks.front().Number));
        }
        else if (e.Point == 0xA1)
        {
            a1 = true;
            if (state.HasTracks && e.PMin != tracks.back().Number)
                state.Add(fkToc, -1,
                          name + ": A1 names " + std::to_string(e.PMin) + " as the last track, the TOC ends with " +
                              std::to_string(tracks.back().Number));
        }
        else if (e.Point == 0xA2)
        {
            a2 = true;
            if (e.PLba != state.StoredSectors)
                state.Add(fkToc, -1,
                          name + ": the lead-out (A2) is at LBA " + std::to_string(e.PLba) + " but the image holds " +
                              state.ImageExtent());
        }
        else if (e.Point >= 1 && e.Point <= 99)
            CheckTrackEntry(state, e, name, lastPoint, lastStart);
    }
    if (!a0 || !a1 || !a2)
        state.Add(fkToc, -1,
                  std::string("the TOC lacks the ") + (!a0 ? "A0 " : "") + (!a1 ? "A1 " : "") + (!a2 ? "A2 " : "") +
                      "point");
    if (!state.HasTracks)
        state.Add(fkToc, -1, "the TOC lists no track; only the Q CRCs are checked");
    for (const TDiscSession& session : state.Disc.Model.Sessions)
        for (const TDiscTrack& t : session.Tracks)
            if (std::none_of(tracks.begin(), tracks.end(), [&](const TTrackInfo& i) { return i.Number == t.Number; }))
                state.Add(fkToc, -1, "[TRACK " + std::to_string(t.Number) + "] has no TOC entry");
}

void CheckCdText(TVerifyState& state)
{
    if (!state.Disc.Model.HasCdText)
        return;
    const auto& packs = state.Disc.Model.CdText;
    if (state.Disc.CdTextLength != static_cast<std::int32_t>(packs.size() * 18))
        state.Add(fkCdText, -1,
                  "CDTextLength is " + std::to_string(state.Disc.CdTextLength) + " but [CDText] holds " +
                      std::to_string(packs.size()) + " packs of 18 bytes");
    TCdTextFailures fail{state};
    const TCdTextTally tally = TallyPacks(packs, fail);
    for (std::size_t block = 0; block < 8; ++block)
        CheckSizeInformation(state, packs, tally, block, fail);
}
