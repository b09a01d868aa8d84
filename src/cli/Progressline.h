// SPDX-License-Identifier: GPL-3.0-or-later
// The single updating progress line that sarvex-cli draws on a terminal.
#pragma once

#include "sources/Audiosource.h"
#include "image/Conversion.h"

#include <string>

#include <chrono>
#include <cstdint>
#include <cstdio>

class TProgressLine
{
public:
    // totalSectors: the sectors of the program area, for the counts and the rate.
    TProgressLine(std::FILE* out, std::int64_t totalSectors) : Out(out), TotalSectors(totalSectors) {}

    // The job's handler; the line redraws at most ten times a second, so it takes every event.
    TProgressHandler Handler()
    {
        return [this](TProgressEvent event, std::int32_t value) { Apply(event, value); };
    }

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
    // draw: false keeps the terminal untouched (--quiet, not a terminal). The count stops once a cancel
    // of job was requested.
    TCountLine(std::FILE* out, bool draw, const TJob& job) : Out(out), DrawLine(draw), Job(job) {}

    // The load's count handler.
    TCountProgress Handler()
    {
        return
            [this](std::int64_t done, std::int64_t total, const std::string& name) { return Count(done, total, name); };
    }

    // Erases the line if it is drawn.
    void End();

private:
    bool Count(std::int64_t done, std::int64_t total, const std::string& name);

    std::FILE* Out;
    bool DrawLine;
    const TJob& Job;
    std::string Name;
    std::chrono::steady_clock::time_point Started{};
    std::chrono::steady_clock::time_point LastDrawn{};
    bool Drawn = false;
};
