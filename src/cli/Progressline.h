// The single updating progress line that sarvex-cli draws on a terminal.
#pragma once

#include "image/Conversion.h"

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
