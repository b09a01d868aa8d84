// SPDX-License-Identifier: GPL-3.0-or-later
// What a batch prints: one status line per finished sheet, the summary, and on a terminal one
// progress line for the whole batch. Called from every worker; lines never interleave.
#pragma once

#include "cli/Sheetconversion.h"
#include "image/Conversion.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

class TBatchReport
{
public:
    TBatchReport(std::size_t sheets, std::size_t slots, bool quiet, bool showProgress, std::FILE* out = stdout,
                 std::FILE* err = stderr);

    // A worker's sheet is loaded and about to be written: sectors of its program area.
    void Started(std::size_t slot, std::int64_t sectors);
    // The job's progress events of a worker (its job's handler forwards them).
    void Progress(std::size_t slot, TProgressEvent event, std::int32_t value);
    void Finished(std::size_t slot, const std::string& cuePath, const TSheetOutcome& outcome);
    // Prints the summary; returns the worst exit code (cancelled > not loaded > failed > ok).
    int Summarize();

    // "disc.cue: failed: reason" and the like, on one line.
    static std::string StatusLine(const std::string& cuePath, const TSheetOutcome& outcome);

private:
    struct TSlotProgress
    {
        std::int64_t Sectors = 0;
        std::int32_t Position = 0;
        std::int32_t Maximum = 0;
    };

    void Draw(bool force);
    void Clear();

    std::mutex Lock;
    const std::size_t Sheets;
    const bool Quiet;
    const bool ShowProgress;
    std::FILE* Out;
    std::FILE* Err;
    std::vector<TSlotProgress> Slots;
    std::array<std::size_t, 4> Counts{}; // by TSheetStatus
    std::size_t Finish = 0;
    int Worst = ecSuccess;
    std::size_t StartedSheets = 0;
    std::int64_t StartedSectors = 0;
    std::int64_t DoneSectors = 0;
    std::chrono::steady_clock::time_point Begun = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point LastDrawn{};
    bool Drawn = false;
};
