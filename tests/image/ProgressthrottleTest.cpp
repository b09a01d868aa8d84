// SPDX-License-Identifier: GPL-3.0-or-later
#include "image/Progressthrottle.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace std::chrono_literals;

struct TPassed
{
    int Event;
    std::int32_t Value;
    TProgressThrottle::TClock::time_point At;
};

// An 80-minute disc's 4,800 steps, one a millisecond, between the ranges and the closing events; a
// second range counts its steps from the start again.
TEST(ProgressthrottleTest, PassesTheEndsAndAtMostThirtyStepsASecond)
{
    for (const TProgressEvent closing : {peFinished, peCanceled, peAborted})
    {
        SCOPED_TRACE(int(closing));
        std::vector<TPassed> passed;
        TProgressThrottle::TClock::time_point now{};
        TProgressThrottle throttle([&](TProgressEvent event, std::int32_t value) {
            passed.push_back({event, value, now});
        });
        throttle.Pass(peSetRange, 2, now);
        throttle.Pass(peStep, 0, now);
        throttle.Pass(peStep, 0, now);
        throttle.Pass(peSetRange, 4802, now);
        for (int i = 0; i < 4800; ++i, now += 1ms)
            throttle.Pass(peStep, i * 75, now);
        if (closing == peFinished)
            throttle.Pass(peComplete, 0, now);
        throttle.Pass(closing, 0, now);

        // Range, first step, the second held back until the next range; the steps pass on counted.
        ASSERT_GE(passed.size(), 8u);
        const std::vector<std::pair<int, int>> head = {
            {peSetRange, 2}, {peStep, 1}, {peStep, 2}, {peSetRange, 4802}, {peStep, 1}};
        for (std::size_t i = 0; i < head.size(); ++i)
            EXPECT_EQ(std::make_pair(passed[i].Event, passed[i].Value), head[i]) << i;
        const std::size_t tail = closing == peFinished ? 3 : 2;
        EXPECT_EQ(passed[passed.size() - tail].Event, peStep);
        EXPECT_EQ(passed[passed.size() - tail].Value, 4800); // the last position, though held back when it came
        EXPECT_EQ(passed[passed.size() - 2].Event, closing == peFinished ? peComplete : peStep);
        EXPECT_EQ(passed.back().Event, closing);

        const std::size_t steps = passed.size() - tail + 1 - 4;
        EXPECT_LE(steps, 4.8 * 30 + 2);
        EXPECT_GE(steps, 4.8 * 25); // the bar keeps moving
        for (std::size_t i = 5; i + tail < passed.size(); ++i)
            EXPECT_GE(passed[i].At - passed[i - 1].At, TProgressThrottle::DEFAULT_INTERVAL) << i;
    }
}

} // namespace
