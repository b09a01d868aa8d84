// SPDX-License-Identifier: GPL-3.0-or-later
#include "image/Sidecarchecks.h"

#include "fileio/Paths.h"
#include "image/Verifystate.h"
#include "synthesis/Msf.h"
#include "synthesis/Qframe.h"
#include "text/Asciitext.h"

#include <climits>

void TSideCarChecker::Use(const std::string& path)
{
    TVerifyReport& report = State.Report;
    report.SideCar = path;
    Name = BaseName(path);
    TSubQPatchList list;
    // Frames beyond the image are not refused here; they are reported as absent from the set.
    if (const TError error = ReadSubQPatchFile(path, INT32_MAX, list))
    {
        State.Add(fkSideCar, -1, error.Text());
        return;
    }
    Frames = std::move(list.Patches);
    report.SideCarListed = static_cast<std::int32_t>(Frames.size());
    report.SideCarMatched = 0;
}

bool TSideCarChecker::InUse() const
{
    return State.Report.SideCarMatched >= 0;
}

bool TSideCarChecker::Lists(std::int32_t address) const
{
    for (std::size_t n = NextFrame; n < Frames.size() && Frames[n].Address <= address; ++n)
        if (Frames[n].Address == address)
            return true;
    return false;
}

void TSideCarChecker::FramesAbsentBefore(std::int32_t address)
{
    for (; NextFrame < Frames.size() && Frames[NextFrame].Address < address; ++NextFrame)
    {
        ++State.Report.SideCarAbsent;
        State.Add(fkSideCar, Frames[NextFrame].Address - PROGRAM_START,
                  Name + " lists a protection frame here; the set has none");
    }
}

void TSideCarChecker::Compare(std::int32_t lba, const std::uint8_t* q)
{
    TVerifyReport& report = State.Report;
    const std::int32_t address = lba + PROGRAM_START;
    FramesAbsentBefore(address);
    const std::string frame = "Q frame " + HexBytes(std::span(q, Q_FRAME_SIZE)) + ": ";
    if (NextFrame == Frames.size() || Frames[NextFrame].Address != address)
    {
        ++report.SideCarUnlisted;
        State.Add(fkSideCar, lba, frame + "protection frame not listed in " + Name);
        return;
    }
    const TSubQPatch& listed = Frames[NextFrame++];
    if (SubQPatchMatches(listed, std::span<const std::uint8_t, Q_FRAME_SIZE>(q, Q_FRAME_SIZE)))
    {
        ++report.SideCarMatched;
        return;
    }
    ++report.SideCarDiffering;
    const TSubQPatchSpan held = SubQPatchSpanOf(listed.Kind);
    std::string bytes = HexBytes(std::span(listed.Bytes).subspan(held.First, held.Size));
    if (held.Size < Q_FRAME_SIZE)
        bytes =
            "bytes " + std::to_string(held.First) + "-" + std::to_string(held.First + held.Size - 1) + " as " + bytes;
    State.Add(fkSideCar, lba, frame + Name + " lists " + bytes + " for this protection frame");
}

void TSideCarChecker::Finish()
{
    if (InUse())
        FramesAbsentBefore(INT32_MAX);
}
