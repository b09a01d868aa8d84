// SPDX-License-Identifier: GPL-3.0-or-later
// Passes a run's progress on at a bounded rate, for a receiver that pays for each event: a window
// redrawn on another thread, to which every event is a posted message.
#pragma once

#include "image/Job.h"

#include <chrono>
#include <cstdint>

class TProgressThrottle
{
public:
    using TClock = std::chrono::steady_clock;
    // 30 events a second at most, besides the ones that always pass.
    static constexpr TClock::duration DEFAULT_INTERVAL = std::chrono::microseconds(33334);

    explicit TProgressThrottle(TProgressHandler target, TClock::duration interval = DEFAULT_INTERVAL)
        : Target(std::move(target)), Interval(interval)
    {}

    // A TProgressHandler.
    void operator()(TProgressEvent event, std::int32_t value) { Pass(event, value, TClock::now()); }

    // A range, complete or closing event passes at once, and so does the first step after a range;
    // a later step passes once Interval has gone by since the last event passed. A step held back
    // passes just before the next event that always passes, so the last position is never lost.
    // Steps pass on counted: their value is the number of steps since the range.
    void Pass(TProgressEvent event, std::int32_t value, TClock::time_point now);

private:
    void Forward(TProgressEvent event, std::int32_t value, TClock::time_point now);

    TProgressHandler Target;
    TClock::duration Interval;
    TClock::time_point LastPassed{};
    std::int32_t Steps = 0;
    bool StepHeld = false;
};
