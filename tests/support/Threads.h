// SPDX-License-Identifier: GPL-3.0-or-later
// Running one check on many threads at once, for state shared between instances.
#pragma once

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

namespace testsupport {

// How many of the rounds × threads calls of check returned false.
inline int FailuresOnThreads(int threads, int rounds, const std::function<bool()>& check)
{
    std::atomic<int> failures{0};
    std::vector<std::thread> running;
    for (int t = 0; t < threads; ++t)
        running.emplace_back([&] {
            for (int i = 0; i < rounds; ++i)
                if (!check())
                    ++failures;
        });
    for (std::thread& thread : running)
        thread.join();
    return failures.load();
}

} // namespace testsupport
