// SPDX-License-Identifier: GPL-3.0-or-later
#include "image/Qchecks.h"

#include "cuesheet/Subqpatch.h"
#include "image/Sidecarchecks.h"
#include "image/Verifystate.h"
#include "synthesis/Msf.h"
#include "synthesis/Sector.h"
#include "synthesis/Subcode.h"
#include "text/Asciitext.h"

#include <algorithm>
#include <array>

namespace {

// How far ahead of an index 1 the P flag may rise.
constexpr std::int32_t P_FLAG_LEAD = 2 * FRAMES_PER_SECOND;

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

std::string QText(const std::uint8_t* q)
{
    return "Q frame " + HexBytes(std::span(q, Q_FRAME_SIZE)) + ": ";
}

} // namespace

void TQChecker::Check(std::int32_t lba, const std::uint8_t* record)
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
        // A frame the side-car lists is one wherever it lies: the conversion put it there.
        if ((State.LibCryptDisc && State.Current == 0 && IsLibCryptAddress(address)) ||
            (SideCar.InUse() && SideCar.Lists(address)))
        {
            State.Report.LibCryptLbas.push_back(lba);
            if (SideCar.InUse())
                SideCar.Compare(lba, q);
            return;
        }
        State.Add(fkQCrc, lba, QText(q) + "CRC fails");
        return;
    }
    const std::uint8_t* p = record;
    if (!AllZero(p, Q_FRAME_SIZE) && !std::all_of(p, p + Q_FRAME_SIZE, [](std::uint8_t b) { return b == 0xFF; }))
        State.Add(fkPFlag, lba, "P frame " + HexBytes(std::span(p, Q_FRAME_SIZE)) + " is neither all set nor all clear");
    if (!State.HasTracks)
        return;
    const TTrackInfo& t = State.Track();
    const TQFields fields = ParseQ(frame);
    const int adr = fields.Adr;
    const int control = fields.Control;
    const std::int32_t index = ExpectedIndex(lba);
    if (p[0] != 0)
        CheckPFlag(lba, index);
    if (control != t.Control)
    {
        State.Add(adr == ADR_POSITION  ? fkQPosition
                  : adr == ADR_CATALOG ? fkQCatalog
                                       : fkQIsrc,
                  lba,
                  QText(q) + "control " + std::to_string(control) + ", track " + std::to_string(t.Number) + " has " +
                      std::to_string(t.Control));
        return;
    }
    if (adr == ADR_CATALOG || adr == ADR_ISRC)
        CheckTextFrame(lba, q, adr);
    else if (adr != ADR_POSITION)
        State.Add(fkQPosition, lba, QText(q) + "mode " + std::to_string(adr) + " has no place in the program area");
    else
        CheckPosition(lba, q, fields, index);
}

void TQChecker::CheckPFlag(std::int32_t lba, std::int32_t index)
{
    const TTrackInfo& t = State.Track();
    if (index == 0 || lba == t.Index1Lba)
        return;
    // Set only in a pause, on the first sector of index 1, or in the last 150 sectors before the
    // next track's index 1 or its session's lead-out.
    const std::int32_t next = State.NextStartAfter(State.Current);
    if (next - lba > P_FLAG_LEAD)
        State.Add(fkPFlag, lba, "P flag set " + std::to_string(next - lba) + " sectors before the next track");
}

void TQChecker::CheckTextFrame(std::int32_t lba, const std::uint8_t* q, int adr)
{
    const TTrackInfo& t = State.Track();
    const std::string& catalog = State.Disc.Model.Catalog;
    const std::int32_t address = lba + PROGRAM_START;
    TQFrame want{};
    if (adr == ADR_CATALOG)
        BuildMcnPayload(catalog, want);
    else
        BuildIsrcPayload(t.Isrc, want);
    const bool known = adr == ADR_CATALOG ? !catalog.empty() : !t.Isrc.empty();
    const bool frameOk = FromBcd(q[9]) == address % FRAMES_PER_SECOND;
    if (known && std::equal(q + 1, q + 9, want.begin() + 1) && frameOk)
        return;
    const std::string what = adr == ADR_CATALOG ? "catalogue" : "ISRC";
    std::string text = QText(q);
    if (!known)
        text += what + " frame, but the .ccd has no " + what + (adr == ADR_ISRC ? " for this track" : "");
    else if (!frameOk)
        text += "absolute frame " + HexBytes(std::span(q + 9, 1)) + " where " + FramesToStr(address).substr(6) + " belongs";
    else
        text += what + " differs from the .ccd's " + (adr == ADR_CATALOG ? catalog : t.Isrc);
    State.Add(adr == ADR_CATALOG ? fkQCatalog : fkQIsrc, lba, text);
}

void TQChecker::CheckPosition(std::int32_t lba, const std::uint8_t* q, const TQFields& fields, std::int32_t index)
{
    const TTrackInfo& t = State.Track();
    const std::int32_t address = lba + PROGRAM_START;
    std::string problem;
    if (fields.Absolute != address)
        problem = "absolute time " + HexBytes(std::span(q + 7, 3)) + " where " + FramesToStr(address) + " belongs";
    else if (fields.Track != t.Number)
        problem = "track " + HexBytes(std::span(q + 1, 1)) + " where track " + std::to_string(t.Number) + " lies";
    else if (fields.Index != index)
        problem = "index " + HexBytes(std::span(q + 2, 1)) + " where index " + std::to_string(index) + " lies";
    else
    {
        const std::int32_t rel = fields.Relative;
        const std::int32_t want = index == 0 ? t.Index1Lba - lba : lba - t.Index1Lba;
        // In a pause the count down may end at 0 on the last sector or on index 1.
        if (rel != want && !(index == 0 && rel == want - 1))
            problem =
                "relative time " + HexBytes(std::span(q + 3, 3)) + " where " + FramesToStr(std::max(want, 0)) + " belongs";
        else if (q[6] != 0)
            problem = "byte 6 is " + HexBytes(std::span(q + 6, 1)) + ", not 00";
        else
            ExpectNextQ(lba, q, index, rel);
    }
    if (!problem.empty())
        State.Add(fkQPosition, lba, QText(q) + problem);
}

std::int32_t TQChecker::ExpectedIndex(std::int32_t lba) const
{
    const TTrackInfo& t = State.Track();
    if (lba < t.Index1Lba)
        return 0;
    std::int32_t index = 1;
    for (const TDiscIndex& i : t.Indexes)
        if (i.Number >= 1 && i.Lba <= lba)
            index = i.Number;
    return index;
}

void TQChecker::ExpectNextQ(std::int32_t lba, const std::uint8_t* q, std::int32_t index, std::int32_t relative)
{
    NextQLba = -1;
    const std::int32_t next = lba + 1;
    const std::int32_t nextRelative = index == 0 ? relative - 1 : relative + 1;
    constexpr std::int32_t MSF_LIMIT = 100 * FRAMES_PER_MINUTE; // 100:00:00
    // Only where the full check would pass it: same track, same index, times in range.
    const std::vector<TTrackInfo>& tracks = State.Tracks;
    if ((State.Current + 1 < tracks.size() && next >= tracks[State.Current + 1].StartLba) ||
        ExpectedIndex(next) != index || nextRelative < 0 || nextRelative >= MSF_LIMIT ||
        next + PROGRAM_START >= MSF_LIMIT)
        return;
    std::copy_n(q, Q_FRAME_SIZE, NextQ.begin());
    StepBcdMsf(NextQ.data() + 3, index == 0);
    StepBcdMsf(NextQ.data() + 7, false);
    SetQCrc(NextQ, Crc);
    NextQLba = next;
    NextQIndex = index;
    NextQRelative = nextRelative;
}
