#include "image/Progressthrottle.h"

#include <gtest/gtest.h>

#include <chrono>
#include <utility>
#include <vector>

namespace {

using namespace std::chrono_literals;
using TClock = TProgressThrottle::TClock;

struct TPassed
{
    TProgressEvent Event;
    std::int32_t Value;
    TClock::time_point At;
};

// An 80-minute disc's 4,800 steps, one a millisecond, between the ranges and the closing events.
TEST(ProgressthrottleTest, PassesTheEndsAndAtMostThirtyStepsASecond)
{
    for (const TProgressEvent closing : {peFinished, peCanceled, peAborted})
    {
        SCOPED_TRACE(int(closing));
        std::vector<TPassed> passed;
        TClock::time_point now{};
        TProgressThrottle throttle([&](TProgressEvent event, std::int32_t value) { passed.push_back({event, value, now}); });
        throttle.Pass(peSetRange, 2, now);
        throttle.Pass(peSetRange, 4802, now);
        constexpr int STEPS = 4800;
        for (int i = 0; i < STEPS; ++i, now += 1ms)
            throttle.Pass(peStep, i * 75, now);
        if (closing == peFinished)
            throttle.Pass(peComplete, 0, now);
        throttle.Pass(closing, 0, now);

        ASSERT_GE(passed.size(), 5u);
        EXPECT_EQ(passed[0].Event, peSetRange);
        EXPECT_EQ(passed[1].Value, 4802);
        EXPECT_EQ(passed[2].Event, peStep);
        EXPECT_EQ(passed[2].Value, 1); // the first step, counted
        const std::size_t tail = closing == peFinished ? 3 : 2;
        const TPassed& last = passed[passed.size() - tail];
        EXPECT_EQ(last.Event, peStep);
        EXPECT_EQ(last.Value, STEPS); // the last position, though held back when it came
        EXPECT_EQ(passed.back().Event, closing);
        EXPECT_EQ(passed[passed.size() - 2].Event, closing == peFinished ? peComplete : peStep);

        const std::size_t steps = passed.size() - 2 - tail + 1;
        EXPECT_LE(steps, 4.8 * 30 + 2);
        EXPECT_GE(steps, 4.8 * 25); // the bar keeps moving
        for (std::size_t i = 3; i + tail < passed.size(); ++i)
        {
            EXPECT_GE(passed[i].At - passed[i - 1].At, TProgressThrottle::DEFAULT_INTERVAL) << i;
            EXPECT_GT(passed[i].Value, passed[i - 1].Value) << i;
        }
    }
}

// A new range counts its steps from the start, and its first step passes at once.
TEST(ProgressthrottleTest, ARangeStartsTheCountAgain)
{
    std::vector<std::pair<int, int>> passed;
    TProgressThrottle throttle([&](TProgressEvent event, std::int32_t value) { passed.emplace_back(event, value); });
    const TClock::time_point now{};
    for (int run = 0; run < 2; ++run)
    {
        throttle.Pass(peSetRange, 9, now);
        for (int i = 0; i < 5; ++i)
            throttle.Pass(peStep, 0, now);
    }
    throttle.Pass(peComplete, 0, now);
    const std::vector<std::pair<int, int>> expected = {{peSetRange, 9}, {peStep, 1}, {peStep, 5}, {peSetRange, 9},
                                                       {peStep, 1},     {peStep, 5}, {peComplete, 0}};
    EXPECT_EQ(passed, expected);
}

} // namespace
