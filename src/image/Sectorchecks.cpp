// SPDX-License-Identifier: GPL-3.0-or-later
#include "image/Sectorchecks.h"

#include "image/Verifystate.h"
#include "synthesis/Msf.h"
#include "text/Asciitext.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

namespace {

constexpr std::size_t MODE2_FORM1_EDC_OFFSET = 2072;
constexpr std::size_t MODE2_FORM2_EDC_OFFSET = 2348;
constexpr std::size_t SUBHEADER_OFFSET = 16;

} // namespace

void TSectorChecker::FlushBlankRun(bool asProblems)
{
    if (BlankCount > 0 && asProblems)
    {
        const std::int32_t number = State.Track().Number;
        // One finding for the run; every sector counts.
        State.Add(fkHeader, BlankStart,
                  std::to_string(BlankCount) + " blank sector" + (BlankCount > 1 ? "s" : "") +
                      " (all bytes zero, no sync) inside data track " + std::to_string(number));
        if (!State.Report.Tracks.empty())
            for (auto& t : State.Report.Tracks)
                if (t.Number == number)
                    t.Header += BlankCount - 1;
        State.Report.Problems += BlankCount - 1;
    }
    BlankStart = -1;
    BlankCount = 0;
}

void TSectorChecker::Check(std::int32_t lba, const std::uint8_t* main)
{
    const TTrackInfo& t = State.Track();
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
    if (!synced)
    {
        State.Add(fkSync, lba, "sync field " + HexBytes(std::span(main, SYNC_SIZE)) + " is damaged");
        return;
    }
    if (!CheckHeader(lba, main))
        return;
    TParity parity;
    if (!JudgeParity(lba, main, parity))
        return;
    if (parity.EdcBad || parity.PBad || parity.QBad)
        ReportParity(lba, main[MODE_OFFSET], parity);
}

bool TSectorChecker::CheckHeader(std::int32_t lba, const std::uint8_t* main)
{
    const TTrackInfo& t = State.Track();
    const std::int32_t address = lba + PROGRAM_START;
    const std::uint8_t mode = main[MODE_OFFSET];
    std::array<std::uint8_t, 3> header{};
    PutBcdMsf(header, static_cast<std::uint32_t>(address));
    if (!std::equal(header.begin(), header.end(), main + HEADER_OFFSET))
    {
        State.Add(fkHeader, lba,
                  "header address " + HexBytes(std::span(main + 12, 3)) + " where " + FramesToStr(address) + " belongs");
        return false;
    }
    if (mode == 0)
    {
        if (!AllZero(main + USER_DATA_OFFSET, MODE2_USER_SIZE))
            State.Add(fkHeader, lba, "mode 0 sector with data in it");
        return false;
    }
    if ((t.Mode > 0 && mode != t.Mode) || mode > 2)
    {
        State.Add(fkHeader, lba,
                  "header mode " + std::to_string(mode) + " in a MODE" + std::to_string(t.Mode) + " track");
        return false;
    }
    return true;
}

bool TSectorChecker::JudgeParity(std::int32_t lba, const std::uint8_t* main, TParity& parity)
{
    const std::uint8_t mode = main[MODE_OFFSET];
    const auto sector = std::span<const std::uint8_t, SECTOR_SIZE>(main, SECTOR_SIZE);
    std::size_t edcAt = EDC_OFFSET;
    if (mode == 1)
        parity.Computed = Edc.Compute(sector);
    else
    {
        const std::uint8_t* sub = main + SUBHEADER_OFFSET;
        if (!std::equal(sub, sub + 4, sub + 4))
        {
            State.Add(fkHeader, lba, "the two copies of the subheader differ: " + HexBytes(std::span(sub, 8)));
            return false;
        }
        const bool form2 = (sub[2] & 0x20) != 0;
        parity.WithEcc = !form2;
        edcAt = form2 ? MODE2_FORM2_EDC_OFFSET : MODE2_FORM1_EDC_OFFSET;
        parity.Computed = Edc.Update(0, std::span(main + SUBHEADER_OFFSET, edcAt - SUBHEADER_OFFSET));
    }
    parity.Stored = GetLE32(std::span<const std::uint8_t, 4>(main + edcAt, 4));
    // Form 2 sectors may leave the EDC out (zero).
    parity.EdcBad = parity.Stored != parity.Computed && !(edcAt == MODE2_FORM2_EDC_OFFSET && parity.Stored == 0);
    if (!parity.WithEcc)
        return true;
    // Mode 1 is judged in place. A copy is made where the parity leaves the address out, and
    // where the P parity fails, so that Q is judged over the P parity it was made from.
    bool pGood = true, qGood = true;
    if (mode == 1 && Ecc.CheckParity(sector, pGood, qGood) && pGood)
        parity.QBad = !qGood;
    else if (mode == 2 || !pGood)
    {
        std::memcpy(Scratch.data(), main, SECTOR_SIZE);
        if (mode == 2)
            std::memset(Scratch.data() + HEADER_OFFSET, 0, 4); // form 1 parity leaves the address out
        Ecc.GenerateParity(Scratch);
        parity.PBad = std::memcmp(Scratch.data() + ECC_P_OFFSET, main + ECC_P_OFFSET, ECC_P_SIZE) != 0;
        parity.QBad = std::memcmp(Scratch.data() + ECC_Q_OFFSET, main + ECC_Q_OFFSET, ECC_Q_SIZE) != 0;
    }
    return true;
}

void TSectorChecker::ReportParity(std::int32_t lba, std::uint8_t mode, const TParity& parity)
{
    const bool edcBad = parity.EdcBad, pBad = parity.PBad, qBad = parity.QBad;
    const std::string form = mode == 1 ? "Mode 1" : parity.WithEcc ? "Mode 2 form 1" : "Mode 2 form 2";
    std::string text = form + ":";
    if (edcBad)
    {
        char b[64];
        std::snprintf(b, sizeof b, " EDC %08X stored, %08X computed", parity.Stored, parity.Computed);
        text += b;
    }
    if (pBad || qBad)
        text += std::string(edcBad ? ";" : "") + " ECC " +
                (pBad && qBad ? "P and Q"
                 : pBad       ? "P"
                              : "Q") +
                " parity fails";
    State.Add(edcBad ? fkEdc : pBad ? fkEccP : fkEccQ, lba, text);
    if (edcBad && (pBad || qBad))
        for (auto& r : State.Report.Tracks)
            if (r.Number == State.Track().Number)
                ++r.Ecc; // counted in both columns, listed once
}
