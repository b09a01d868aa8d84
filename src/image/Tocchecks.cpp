// SPDX-License-Identifier: GPL-3.0-or-later
#include "image/Tocchecks.h"

#include "cuesheet/Tocrules.h"
#include "image/Verifystate.h"
#include "synthesis/Msf.h"
#include "text/Asciitext.h"

#include <algorithm>
#include <array>
#include <numeric>

namespace {

// The TOC rule's faults, each reported once: where the checks below name the entry, the rest after them.
class TRuleFaults
{
public:
    explicit TRuleFaults(const TCcdDisc& disc) : Disc(disc), Faults(TocFaults(disc.Model)), Told(Faults.size()) {}

    // The entry's faults of that rule not told yet; whether it has one.
    bool Tell(TVerifyState& state, std::size_t entry, TTocRule rule)
    {
        bool found = false;
        for (std::size_t k = 0; k < Faults.size(); ++k)
            if (Faults[k].Entry == entry && Faults[k].Rule == rule)
            {
                Report(state, k);
                found = true;
            }
        return found;
    }
    void TellRest(TVerifyState& state)
    {
        for (std::size_t k = 0; k < Faults.size(); ++k)
            Report(state, k);
    }

private:
    // A control file's tracks are its [TRACK n] sections.
    void Report(TVerifyState& state, std::size_t k)
    {
        if (Told[k])
            return;
        Told[k] = true;
        const TTocFault& fault = Faults[k];
        const TCcdEntry& e = Disc.Entries[fault.Entry];
        const std::string track = std::to_string(e.Point);
        state.Add(
            fkToc, -1,
            "[Entry " + std::to_string(e.Number) + "]: " +
                (fault.Rule == trNoTrack ? "track " + track + " has no [TRACK " + track + "] section" : fault.Reason));
    }

    const TCcdDisc& Disc;
    std::vector<TTocFault> Faults;
    std::vector<bool> Told;
};

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
    // Entries of sessions the disc does not have are named once, the first of them.
    const auto outside = [&disc](const TCcdEntry& e) {
        return e.Session < 1 || static_cast<std::size_t>(e.Session) > disc.Model.Sessions.size();
    };
    if (const auto first = std::find_if(disc.Entries.begin(), disc.Entries.end(), outside); first != disc.Entries.end())
    {
        const auto more = std::count_if(first + 1, disc.Entries.end(), outside);
        state.Add(fkToc, -1,
                  "[Entry " + std::to_string(first->Number) + "]: session " + std::to_string(first->Session) +
                      ", but [Disc] Sessions is " + std::to_string(disc.Model.Sessions.size()) +
                      (more > 0 ? " (and " + std::to_string(more) + " more entries)" : ""));
    }
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

void CheckTrackEntry(TVerifyState& state, TRuleFaults& rules, const TCcdEntry& e, std::int32_t& lastPoint,
                     std::int32_t& lastStart)
{
    if (e.Point <= lastPoint || e.PLba <= lastStart)
        state.Add(fkToc, -1,
                  "[Entry " + std::to_string(e.Number) + "]: track " + std::to_string(e.Point) +
                      " does not follow the track before it");
    lastPoint = e.Point;
    lastStart = e.PLba;
    const auto entry = static_cast<std::size_t>(&e - state.Disc.Entries.data());
    rules.Tell(state, entry, trAdr);
    if (rules.Tell(state, entry, trNoTrack))
        return;
    rules.Tell(state, entry, trTrackSession);
    CheckTrackSection(state, e, *state.Disc.Model.FindTrack(e.Point));
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
            fail(i, "pack type 0x" + HexBytes(std::span(p).first(1)) + " is not one of 0x80-0x8F");
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
                            HexBytes(std::array<std::uint8_t, 1>{static_cast<std::uint8_t>(0x80 + type)}) +
                            ", the block holds " + std::to_string(counts[type]));
    // Each block's size information gives the last sequence number of every block.
    for (std::size_t other = 0; other < 8; ++other)
        if (tally.LastSeq[other] >= 0 && info[20 + other] != tally.LastSeq[other])
            fail(first, "the size information of block " + std::to_string(block) + " gives " +
                            std::to_string(info[20 + other]) + " as the last sequence number of block " +
                            std::to_string(other) + ", it is " + std::to_string(tally.LastSeq[other]));
}

// The A0, A1 and A2 entries of one session and its tracks' entries, in the order written.
void CheckSession(TVerifyState& state, TRuleFaults& rules, std::int32_t session, std::int32_t& lastPoint,
                  std::int32_t& lastStart)
{
    std::vector<TTrackInfo> tracks;
    std::copy_if(state.Tracks.begin(), state.Tracks.end(), std::back_inserter(tracks),
                 [session](const TTrackInfo& t) { return t.Session == session; });
    const bool single = state.Disc.Model.Sessions.size() == 1;
    const std::string of = single ? "" : " of session " + std::to_string(session);
    bool a0 = false, a1 = false, a2 = false;
    for (const TCcdEntry& e : state.Disc.Entries)
    {
        if (e.Session != session)
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
            if (!tracks.empty() && e.PMin != tracks.front().Number)
                state.Add(fkToc, -1,
                          name + ": A0 names " + std::to_string(e.PMin) + " as the first track, the TOC" + of +
                              " starts with " + std::to_string(tracks.front().Number));
        }
        else if (e.Point == 0xA1)
        {
            a1 = true;
            if (!tracks.empty() && e.PMin != tracks.back().Number)
                state.Add(fkToc, -1,
                          name + ": A1 names " + std::to_string(e.PMin) + " as the last track, the TOC" + of +
                              " ends with " + std::to_string(tracks.back().Number));
        }
        else if (e.Point == 0xA2)
        {
            a2 = true;
            if (single && e.PLba != state.StoredSectors)
                state.Add(fkToc, -1,
                          name + ": the lead-out (A2) is at LBA " + std::to_string(e.PLba) + " but the image holds " +
                              state.ImageExtent());
            else if (!single && !tracks.empty() && e.PLba <= tracks.back().Index1Lba)
                state.Add(fkToc, -1,
                          name + ": the lead-out (A2)" + of + " is at LBA " + std::to_string(e.PLba) +
                              ", not after track " + std::to_string(tracks.back().Number));
        }
        else if (e.Point >= 1 && e.Point <= 99)
            CheckTrackEntry(state, rules, e, lastPoint, lastStart);
    }
    if (!a0 || !a1 || !a2)
        state.Add(fkToc, -1,
                  std::string("the TOC") + of + " lacks the " + (!a0 ? "A0 " : "") + (!a1 ? "A1 " : "") +
                      (!a2 ? "A2 " : "") + "point");
    if (!single && tracks.empty())
        state.Add(fkToc, -1, "session " + std::to_string(session) + " lists no track");
}

// The B0 entry in each lead-in but the last: where the next session's program area starts, between
// this session's lead-out and the next one's first track, and the disc's last lead-out.
void CheckNextSessionPointers(TVerifyState& state, TRuleFaults& rules)
{
    const TDiscModel& model = state.Disc.Model;
    const auto sessions = static_cast<std::int32_t>(model.Sessions.size());
    for (std::int32_t session = 1; session <= sessions; ++session)
    {
        const std::string of = "session " + std::to_string(session);
        const auto b0 =
            std::find_if(state.Disc.Entries.begin(), state.Disc.Entries.end(), [session](const TCcdEntry& e) {
                return e.Session == session && e.Point == POINT_NEXT_SESSION;
            });
        const auto entry = static_cast<std::size_t>(b0 - state.Disc.Entries.begin());
        if (session == sessions)
        {
            if (b0 != state.Disc.Entries.end())
                rules.Tell(state, entry, trLastPointer);
            continue;
        }
        if (b0 == state.Disc.Entries.end())
        {
            state.Add(fkToc, -1, "the TOC of " + of + " lacks the B0 point to the next session");
            continue;
        }
        const std::string name = "[Entry " + std::to_string(b0->Number) + "]: B0 of " + of;
        rules.Tell(state, entry, trAdr);
        const std::int32_t next = (b0->AMin * 60 + b0->ASec) * FRAMES_PER_SECOND + b0->AFrame - PROGRAM_START;
        const std::int32_t leadOut = state.LeadOuts[static_cast<std::size_t>(session) - 1];
        const auto first = std::find_if(state.Tracks.begin(), state.Tracks.end(),
                                        [session](const TTrackInfo& t) { return t.Session == session + 1; });
        if (next <= leadOut || (first != state.Tracks.end() && next > first->Index1Lba))
            state.Add(fkToc, -1,
                      name + " starts the next session at " + FramesToStr(next + PROGRAM_START) +
                          ", not between the lead-out at LBA " + std::to_string(leadOut) + " and track " +
                          (first == state.Tracks.end() ? std::string("?") : std::to_string(first->Number)));
        if (first != state.Tracks.end() && first->Index1Lba <= leadOut)
            state.Add(fkToc, -1,
                      "track " + std::to_string(first->Number) + " starts session " + std::to_string(session + 1) +
                          " at LBA " + std::to_string(first->Index1Lba) + ", before the lead-out of " + of);
        rules.Tell(state, entry, trLeadOutLimit);
    }
}

} // namespace

void CheckToc(TVerifyState& state)
{
    CheckEntryList(state);
    const std::vector<TTrackInfo>& tracks = state.Tracks;
    const auto sessions = static_cast<std::int32_t>(state.Disc.Model.Sessions.size());
    std::int32_t lastPoint = 0;
    std::int32_t lastStart = -1;
    TRuleFaults rules(state.Disc);
    for (std::int32_t session = 1; session <= sessions; ++session)
        CheckSession(state, rules, session, lastPoint, lastStart);
    if (sessions > 1)
    {
        CheckNextSessionPointers(state, rules);
        if (const std::int64_t want = SectorCount(state.Ranges); want != state.StoredSectors)
            state.Add(fkToc, -1,
                      "the program areas of the " + std::to_string(sessions) + " sessions hold " +
                          std::to_string(want) + " sectors but the image holds " + std::to_string(state.StoredSectors));
    }
    rules.TellRest(state);
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
