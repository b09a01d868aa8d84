// The conversion job: writes the control file, then the .img and .sub files sector by sector.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

class TLuCueSheet;

enum TConvertStatus : std::uint8_t
{
    csIdle = 0,
    csFailed = 1,
    csSucceeded = 2,
    csCancelRequested = 3,
};
static_assert(std::atomic<TConvertStatus>::is_always_lock_free);

enum TProgressEvent : std::int8_t
{
    peAborted = 0,
    peFinished = 1,
    peCanceled = 2,
    peSetRange = 6,
    peComplete = 7,
    peStep = 8,
};

// Called on the worker thread. Range, step and complete must have taken effect when it returns;
// the three closing events only queue a close. The result is ignored. A step's value is the number
// of sectors written up to the address it marks: 0 before the first, then 1, 76, 151 ...
using TProgressProc = std::int32_t (*)(TProgressEvent event, std::int32_t value, void* dialog);

// The path with its extension (from the last '.' after the last '/') replaced by ext
// (".img", ".sub"), or ext appended when there is none.
std::string ChangeFileExt(std::string_view path, std::string_view ext);

// True when path names the cue sheet, its CD-TEXT file, its subchannel side-car or a file that the
// process holds open for reading (the sheet's data files): writing it would destroy an input.
bool IsConversionInput(const std::string& path, const TLuCueSheet& sheet);

// Why the image set of ccdPath cannot be written, or empty when it can: a .ccd path whose extension
// is .img or .sub (any case) would make two outputs one file, and an output must not be an input.
// Both front ends check this before they ask or write anything; the job checks it again.
std::string OutputPathsProblem(const std::string& ccdPath, const TLuCueSheet& sheet);

// Holds the shared status and the registered progress handler; one per front end.
class TConversionJob
{
public:
    // Front-end hooks run on the worker thread at the start and the end of a run
    // (the desktop program disables and re-enables its buttons through them).
    std::function<void()> OnStart;
    std::function<void()> OnEnd;

    // Stores handler and dialog only while no conversion is running (status csIdle).
    bool SetProgressHandler(TProgressProc handler, void* dialog);
    void RequestCancel() { Status.store(csCancelRequested); }

    // The whole job: never throws; the outcome is left in Status. correctEdcEcc goes to the
    // composer for this run only; the sheet's own flag is left alone.
    void Run(const std::string& ccdPath, bool correctEdcEcc, TLuCueSheet& sheet);

    std::atomic<TConvertStatus> Status{csIdle};

    // Filled by Run for the front end's summary: why a run failed (empty otherwise) and how many
    // sectors both image files hold at its end.
    std::string ErrorText;
    std::int64_t SectorsWritten = 0;
    // Q frames taken from the sheet's LibCrypt side-car instead of composed.
    std::int64_t SubQFramesReplaced = 0;

private:
    void Notify(TProgressEvent event, std::int32_t value);

    TProgressProc Handler = nullptr;
    void* Dialog = nullptr;
};
