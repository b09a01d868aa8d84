// SPDX-License-Identifier: GPL-3.0-or-later
// The verifier's checks of the main channel of data tracks: blank sectors, sync, header, mode,
// subheader, EDC and ECC.
#pragma once

#include "synthesis/Errorcorrectmode1.h"
#include "synthesis/Luedc.h"
#include "synthesis/Sector.h"

#include <cstdint>

struct TVerifyState;

class TSectorChecker
{
public:
    explicit TSectorChecker(TVerifyState& state) : State(state) {}

    // The 2352 bytes of the sector at lba, in the current track.
    void Check(std::int32_t lba, const std::uint8_t* main);
    // Ends a run of blank sectors: as problems inside a track, silently where it turned out a postgap.
    void FlushBlankRun(bool asProblems);

private:
    struct TParity
    {
        std::uint32_t Stored = 0;
        std::uint32_t Computed = 0;
        bool WithEcc = true;
        bool EdcBad = false;
        bool PBad = false;
        bool QBad = false;
    };

    // False where the sector is judged already: a finding made, or a mode 0 sector.
    bool CheckHeader(std::int32_t lba, const std::uint8_t* main);
    // False where the two copies of a mode 2 subheader differ (a finding made).
    bool JudgeParity(std::int32_t lba, const std::uint8_t* main, TParity& parity);
    void ReportParity(std::int32_t lba, std::uint8_t mode, const TParity& parity);

    TVerifyState& State;
    std::int32_t BlankStart = -1;
    std::int32_t BlankCount = 0;
    TLuEdc Edc;
    TMode1ErrorCorrect Ecc;
    TRawSector Scratch{};
};
