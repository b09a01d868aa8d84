// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/Batchreport.h"

#include "image/Conversion.h"

#include <algorithm>

namespace {

inline constexpr auto REDRAW_INTERVAL = std::chrono::milliseconds(100);
inline constexpr double BYTES_PER_SECTOR = 2352.0 + 96.0;

// A reason on one line: the sheet reader's "at line N" and its message are joined by ": ".
std::string OneLine(std::string text)
{
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at))
        text.replace(at, 1, ": ");
    return text;
}

} // namespace

TBatchReport::TBatchReport(std::size_t sheets, std::size_t slots, bool quiet, bool showProgress, std::FILE* out,
                           std::FILE* err)
    : Sheets(sheets), Quiet(quiet), ShowProgress(showProgress), Out(out), Err(err), Slots(slots)
{}

std::string TBatchReport::StatusLine(const std::string& cuePath, const TSheetOutcome& outcome)
{
    switch (outcome.Status)
    {
    case ssConverted:
        if (outcome.SubQPatchFile.empty())
            return cuePath + ": ok";
        return cuePath + ": ok, " + ReplacedQFramesText(outcome);
    case ssNotLoaded: return cuePath + ": not loaded: " + OneLine(outcome.Reason);
    case ssCanceled: return cuePath + ": cancelled" + (outcome.PartialKept ? "; partial set kept" : "");
    default:
        return cuePath + ": failed: " + (outcome.Reason.empty() ? "Operation was failure." : OneLine(outcome.Reason)) +
               (outcome.PartialKept ? "; partial set kept" : "");
    }
}

void TBatchReport::Started(std::size_t slot, std::int64_t sectors)
{
    const std::lock_guard<std::mutex> guard(Lock);
    Slots[slot] = {sectors, 0, 0};
    ++StartedSheets;
    StartedSectors += sectors;
}

void TBatchReport::Progress(std::size_t slot, TProgressEvent event, std::int32_t value)
{
    const std::lock_guard<std::mutex> guard(Lock);
    TSlotProgress& progress = Slots[slot];
    switch (event)
    {
    case peSetRange:
        progress.Maximum = value + 1;
        progress.Position = 0;
        break;
    case peStep: ++progress.Position; break;
    case peComplete: progress.Position = progress.Maximum; break;
    default: return;
    }
    Draw(false);
}

void TBatchReport::Finished(std::size_t slot, const std::string& cuePath, const TSheetOutcome& outcome)
{
    const std::lock_guard<std::mutex> guard(Lock);
    Slots[slot] = {};
    ++Finish;
    ++Counts[outcome.Status];
    Worst = std::max(Worst, ExitCodeOf(outcome.Status));
    DoneSectors += outcome.SectorsWritten;
    const bool statusShown = !(Quiet && outcome.Status == ssConverted);
    if (!statusShown && outcome.Warnings.empty() && outcome.Ignored.empty())
        return;
    Clear();
    for (const auto* warnings : {&outcome.Ignored, &outcome.Warnings})
        for (const std::string& warning : *warnings)
            std::fprintf(Err, "%s: warning: %s\n", cuePath.c_str(), warning.c_str());
    // Only what went well goes to stdout; a failure is an error message.
    std::FILE* status = outcome.Status == ssConverted ? Out : Err;
    if (statusShown)
        std::fprintf(status, "%s\n", StatusLine(cuePath, outcome).c_str());
    std::fflush(Err);
    std::fflush(Out);
    Draw(true);
}

int TBatchReport::Summarize()
{
    const std::lock_guard<std::mutex> guard(Lock);
    Clear();
    if (!Quiet)
    {
        std::string summary = std::to_string(Counts[ssConverted]) + " converted, " + std::to_string(Counts[ssFailed]) +
                              " failed, " + std::to_string(Counts[ssNotLoaded]) + " could not be loaded";
        if (Counts[ssCanceled] != 0)
            summary += ", " + std::to_string(Counts[ssCanceled]) + " cancelled";
        if (Finish < Sheets)
            summary += ", " + std::to_string(Sheets - Finish) + " not started";
        std::fprintf(Out, "%s\n", summary.c_str());
        std::fflush(Out);
    }
    return Worst;
}

void TBatchReport::Clear()
{
    if (!Drawn)
        return;
    std::fputs("\r\x1b[K", Err);
    std::fflush(Err);
    Drawn = false;
}

void TBatchReport::Draw(bool force)
{
    if (!ShowProgress)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (!force && Drawn && now - LastDrawn < REDRAW_INTERVAL)
        return;
    LastDrawn = now;
    Drawn = true;

    std::int64_t done = DoneSectors;
    for (const TSlotProgress& slot : Slots)
        if (slot.Maximum > 0)
            done += slot.Sectors * std::min(slot.Position, slot.Maximum) / slot.Maximum;
    // Sheets not loaded yet are guessed at the mean size of those that were.
    const std::int64_t total = StartedSheets > 0 ? StartedSectors * static_cast<std::int64_t>(Sheets) /
                                                       static_cast<std::int64_t>(StartedSheets)
                                                 : 0;
    const double seconds = std::chrono::duration<double>(now - Begun).count();
    const double rate = seconds > 0 ? double(done) / seconds : 0.0;
    char left[32] = "--:--";
    if (rate > 0 && total >= done)
    {
        const auto remaining = static_cast<long>(double(total - done) / rate + 0.5);
        std::snprintf(left, sizeof left, "%ld:%02ld", remaining / 60, remaining % 60);
    }
    std::fprintf(Err, "\r%zu/%zu sheets  %.1f/%.1f MB  %7.1f MB/s  %s left\x1b[K", Finish, Sheets,
                 double(done) * BYTES_PER_SECTOR / 1e6, double(total) * BYTES_PER_SECTOR / 1e6,
                 rate * BYTES_PER_SECTOR / 1e6, left);
    std::fflush(Err);
}
