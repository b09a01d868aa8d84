// The single updating progress line that sarvex-cli draws on a terminal.
#pragma once

#include "image/Conversion.h"

#include <atomic>
#include <string>

#include <chrono>
#include <cstdint>
#include <cstdio>

class TProgressLine
{
public:
    // totalSectors: the sectors of the program area, for the counts and the rate.
    TProgressLine(std::FILE* out, std::int64_t totalSectors) : Out(out), TotalSectors(totalSectors) {}

    // A TProgressProc: dialog is the TProgressLine.
    static std::int32_t Handler(TProgressEvent event, std::int32_t value, void* dialog);

private:
    void Apply(TProgressEvent event, std::int32_t value);
    void Draw(bool force);

    std::FILE* Out;
    std::int64_t TotalSectors;
    std::int64_t Done = 0; // sectors written, as the last step told
    std::chrono::steady_clock::time_point Started = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point LastDrawn{};
    bool Drawn = false;
};

// "Counting samples of song.ogg: 42%" while a load reads a file whole to count it, drawn once that
// takes more than a moment; the line is erased when the count ends.
class TCountLine
{
public:
    // draw: false keeps the terminal untouched (--quiet, not a terminal). The count stops once status says
    // a cancel was requested.
    TCountLine(std::FILE* out, bool draw, const std::atomic<TConvertStatus>& status)
        : Out(out), DrawLine(draw), Status(status)
    {}

    // A TCountProgressProc: context is the TCountLine.
    static bool Handler(std::int64_t done, std::int64_t total, const std::string& name, void* context);

    // Erases the line if it is drawn.
    void End();

private:
    std::FILE* Out;
    bool DrawLine;
    const std::atomic<TConvertStatus>& Status;
    std::string Name;
    std::chrono::steady_clock::time_point Started{};
    std::chrono::steady_clock::time_point LastDrawn{};
    bool Drawn = false;
};
