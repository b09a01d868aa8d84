// SPDX-License-Identifier: GPL-3.0-or-later
#include "image/Progressthrottle.h"

void TProgressThrottle::Pass(TProgressEvent event, std::int32_t value, TClock::time_point now)
{
    if (event == peStep)
    {
        ++Steps;
        StepHeld = Steps > 1 && now - LastPassed < Interval;
        if (!StepHeld)
            Forward(peStep, Steps, now);
        return;
    }
    if (StepHeld)
        Forward(peStep, Steps, now);
    StepHeld = false;
    if (event == peSetRange)
        Steps = 0;
    Forward(event, value, now);
}

void TProgressThrottle::Forward(TProgressEvent event, std::int32_t value, TClock::time_point now)
{
    LastPassed = now;
    if (Target)
        Target(event, value);
}
