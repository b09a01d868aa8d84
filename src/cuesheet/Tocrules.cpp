// SPDX-License-Identifier: GPL-3.0-or-later
#include "cuesheet/Tocrules.h"

#include <algorithm>

namespace {

// The latest time a Q frame's BCD minutes, seconds and frames hold.
constexpr TMsf Q_LATEST = {0, 99, 59, 74};

bool IsTrackPoint(std::uint8_t point)
{
    return point >= 1 && point <= 99;
}

class TRules
{
public:
    TRules(const TDiscModel& disc, std::vector<TTocFault>& faults) : Disc(disc), Faults(faults) {}

    void Check(std::size_t i)
    {
        const TTocEntry& e = Disc.Toc[i];
        if (i == TOC_MAX_ENTRIES)
            Add(i, trEntryCount,
                "the TOC has " + std::to_string(Disc.Toc.size()) + " entries, a control file holds " +
                    std::to_string(TOC_MAX_ENTRIES));
        if (e.Session < 1 || e.Session > Disc.Sessions.size())
            return;
        CheckTime(i, 'A', e.A);
        CheckTime(i, 'P', e.P);
        CheckAdr(i, e);
        if (IsTrackPoint(e.Point))
            CheckTrackPoint(i, e);
        if (e.Point == POINT_NEXT_SESSION)
            CheckPointer(i, e);
    }

private:
    void Add(std::size_t i, TTocRule rule, std::string reason) { Faults.push_back({i, rule, std::move(reason)}); }

    void CheckTime(std::size_t i, char which, TMsf time)
    {
        if (MsfToFrames(time) - PROGRAM_START > TOC_MAX_LBA)
            Add(i, trTime,
                std::string("the ") + which + " time " + MsfToStr(time) + " is past " +
                    FramesToStr(TOC_MAX_LBA + PROGRAM_START) + ", the last a control file holds");
    }

    // Track points and A0 to A2 are mode 1 of the lead-in's Q, B0 mode 5; the others are the drive's.
    void CheckAdr(std::size_t i, const TTocEntry& e)
    {
        const std::string adr = "ADR " + std::to_string(e.Adr);
        if (IsTrackPoint(e.Point) && e.Adr != 1)
            Add(i, trAdr, adr + " where a track entry has 1");
        else if (e.Point >= POINT_FIRST_TRACK && e.Point <= POINT_LEAD_OUT && e.Adr != 1)
            Add(i, trAdr, adr + " where A" + std::to_string(e.Point - POINT_FIRST_TRACK) + " has 1");
        else if (e.Point == POINT_NEXT_SESSION && e.Adr != ADR_POINTER)
            Add(i, trAdr, "B0 of session " + std::to_string(e.Session) + " has " + adr + " where B0 has 5");
    }

    void CheckTrackPoint(std::size_t i, const TTocEntry& e)
    {
        const std::string track = "track " + std::to_string(e.Point);
        for (const TDiscSession& session : Disc.Sessions)
        {
            const auto same = [&e](const TDiscTrack& t) { return t.Number == e.Point; };
            if (std::none_of(session.Tracks.begin(), session.Tracks.end(), same))
                continue;
            if (session.Number != e.Session)
                Add(i, trTrackSession,
                    track + " is of session " + std::to_string(session.Number) + ", not session " +
                        std::to_string(e.Session));
            return;
        }
        Add(i, trNoTrack, track + " is none of the disc's tracks");
    }

    // B0 points from a lead-in to the next session; its P time is the latest start of the disc's last
    // lead-out that the medium allows, as dumping tools write it (79:59:74 on a common CD-R).
    void CheckPointer(std::size_t i, const TTocEntry& e)
    {
        const auto sessions = Disc.Sessions.size();
        if (sessions > 1 && e.Session == sessions)
        {
            Add(i, trLastPointer, "B0 in the last session, session " + std::to_string(e.Session));
            return;
        }
        const std::string gives = "B0 of session " + std::to_string(e.Session) + " gives ";
        const std::int32_t latest = MsfToFrames(e.P);
        if (latest < Disc.DiscLeadOutAddress())
            Add(i, trLeadOutLimit,
                gives + FramesToStr(latest) + " as the disc's last lead-out, the last session's A2 is at " +
                    FramesToStr(Disc.DiscLeadOutAddress()));
        else if (e.P.Minute > Q_LATEST.Minute || e.P.Second > Q_LATEST.Second || e.P.Frame > Q_LATEST.Frame)
            Add(i, trLeadOutLimit,
                gives + MsfToStr(e.P) + " as the disc's last lead-out, past the " + MsfToStr(Q_LATEST) +
                    " a Q frame holds");
    }

    const TDiscModel& Disc;
    std::vector<TTocFault>& Faults;
};

} // namespace

std::vector<TTocFault> TocFaults(const TDiscModel& disc)
{
    std::vector<TTocFault> faults;
    TRules rules(disc, faults);
    for (std::size_t i = 0; i < disc.Toc.size(); ++i)
        rules.Check(i);
    return faults;
}
