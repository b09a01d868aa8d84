// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/Progressline.h"

#include "image/Conversion.h"

#include <algorithm>

namespace {

// Redrawing more often than this only costs terminal time.
inline constexpr auto REDRAW_INTERVAL = std::chrono::milliseconds(100);
// A count shorter than this shows nothing.
inline constexpr auto COUNT_LINE_DELAY = std::chrono::milliseconds(250);
inline constexpr double BYTES_PER_SECTOR = 2352.0 + 96.0;

} // namespace

void TProgressLine::Apply(TProgressEvent event, std::int32_t value)
{
    switch (event)
    {
    case peSetRange:
        Done = 0;
        Started = std::chrono::steady_clock::now();
        break;
    case peStep:
        Done = value;
        Draw(false);
        break;
    case peComplete:
        Done = TotalSectors;
        Draw(true);
        break;
    default: // a closing event ends the line
        if (Drawn)
            std::fputc('\n', Out);
        Drawn = false;
        break;
    }
}

void TProgressLine::Draw(bool force)
{
    const auto now = std::chrono::steady_clock::now();
    if (!force && Drawn && now - LastDrawn < REDRAW_INTERVAL)
        return;
    LastDrawn = now;
    Drawn = true;

    const std::int64_t done = std::min(Done, TotalSectors);
    const double seconds = std::chrono::duration<double>(now - Started).count();
    const double rate = seconds > 0 ? double(done) / seconds : 0.0;
    const int percent = TotalSectors > 0 ? int(done * 100 / TotalSectors) : 100;
    char left[32] = "--:--";
    if (rate > 0)
    {
        const auto remaining = static_cast<long>(double(TotalSectors - done) / rate + 0.5);
        std::snprintf(left, sizeof left, "%ld:%02ld", remaining / 60, remaining % 60);
    }
    std::fprintf(Out, "\r%3d%%  %lld/%lld sectors  %7.1f MB/s  %s left\x1b[K", percent, static_cast<long long>(done),
                 static_cast<long long>(TotalSectors), rate * BYTES_PER_SECTOR / 1e6, left);
    std::fflush(Out);
}

bool TCountLine::Count(std::int64_t done, std::int64_t total, const std::string& name)
{
    if (Job.CancelRequested())
    {
        End();
        return false;
    }
    if (!DrawLine)
        return true;
    const auto now = std::chrono::steady_clock::now();
    if (name != Name)
    {
        Name = name;
        Started = now;
    }
    if (done >= total)
    {
        End();
        return true;
    }
    if (now - Started < COUNT_LINE_DELAY || (Drawn && now - LastDrawn < REDRAW_INTERVAL))
        return true;
    LastDrawn = now;
    Drawn = true;
    const auto percent = static_cast<int>(total > 0 ? done * 100 / total : 0);
    std::fprintf(Out, "\rCounting samples of %s: %d%%\x1b[K", name.c_str(), percent);
    std::fflush(Out);
    return true;
}

void TCountLine::End()
{
    if (!Drawn)
        return;
    std::fputs("\r\x1b[K", Out);
    std::fflush(Out);
    Drawn = false;
}
