// What the conversion and the verification share: the status the front ends watch, the progress
// handler, the hooks around a run, and the frame that turns any failure into a message.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

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

class TJob
{
public:
    // Front-end hooks run on the worker thread at the start and the end of a run
    // (the desktop program disables and re-enables its buttons through them).
    std::function<void()> OnStart;
    std::function<void()> OnEnd;

    // Stores handler and dialog only while no run is going on (status csIdle).
    bool SetProgressHandler(TProgressProc handler, void* dialog);
    void RequestCancel() { Status.store(csCancelRequested); }

    std::atomic<TConvertStatus> Status{csIdle};
    // Why the last run failed; empty otherwise.
    std::string ErrorText;

protected:
    TJob() = default;
    ~TJob() = default;
    TJob(const TJob&) = delete;
    TJob& operator=(const TJob&) = delete;

    void Notify(TProgressEvent event, std::int32_t value);
    // Clears ErrorText, runs OnStart, gives the progress a range of 2, runs body, then OnEnd. What
    // body throws ends it with ErrorText, csFailed and peAborted; what a hook throws is dropped.
    void RunFramed(const std::function<void()>& body);

private:
    TProgressProc Handler = nullptr;
    void* Dialog = nullptr;
};
