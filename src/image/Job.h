// SPDX-License-Identifier: GPL-3.0-or-later
// What the conversion and the verification share: the outcome the front ends read, the cancel
// request, the progress handler, the hooks around a run, and the frame that turns any failure into
// a message.
#pragma once

#include "fileio/Error.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

// The outcome of a run: csIdle until it ends.
enum TConvertStatus : std::uint8_t
{
    csIdle = 0,
    csFailed = 1,
    csSucceeded = 2,
    csCanceled = 3,
};
static_assert(std::atomic<TConvertStatus>::is_always_lock_free);
static_assert(std::atomic<bool>::is_always_lock_free);

enum TProgressEvent : std::int8_t
{
    peAborted = 0,
    peFinished = 1,
    peCanceled = 2,
    peSetRange = 6,
    peComplete = 7,
    peStep = 8,
};

// Called on the worker thread, in order; one of the three closing events is the last of a run. A
// step's value is the number of sectors written up to the address it marks: 0 before the first,
// then 1, 76, 151 ... (the verification's steps carry 0). A handler that redraws a window on
// another thread passes the events through a TProgressThrottle and never waits for that thread.
using TProgressHandler = std::function<void(TProgressEvent event, std::int32_t value)>;

class TJob
{
public:
    // Front-end hooks run on the worker thread at the start and the end of a run
    // (the desktop program disables and re-enables its buttons through them).
    std::function<void()> OnStart;
    std::function<void()> OnEnd;

    // Stores the handler only while no run is going on.
    bool SetProgressHandler(TProgressHandler handler);

    // From any thread, a signal handler too: the run under way, or the next one, stops at its next
    // sector and ends csCanceled. The request stays until Reset.
    void RequestCancel() { Cancel.store(true); }
    bool CancelRequested() const { return Cancel.load(); }
    // Ready for the next run: no outcome, no cancel request.
    void Reset()
    {
        Status.store(csIdle);
        Cancel.store(false);
    }

    std::atomic<TConvertStatus> Status{csIdle};
    // Why the last run failed; empty otherwise. Error.Text() is what the user reads.
    TError Error;

protected:
    TJob() = default;
    ~TJob() = default;
    TJob(const TJob&) = delete;
    TJob& operator=(const TJob&) = delete;

    void Notify(TProgressEvent event, std::int32_t value);
    // Clears Status and Error (not a cancel request), runs OnStart, gives the progress a range
    // of 2, runs body, then OnEnd. What body throws ends it with Error, csFailed and peAborted;
    // what a hook throws is dropped.
    void RunFramed(const std::function<void()>& body);

private:
    std::atomic<bool> Cancel{false};
    std::atomic<bool> Running{false};
    TProgressHandler Handler;
};
