// SPDX-License-Identifier: GPL-3.0-or-later
// Loading time against sheet size. Sheets grow by comment lines (which every real sheet has
// plenty of) around 99 tracks with 99 indexes each. The fit to O(N) is reported with its RMS error.
#include "cuesheet/Lucue.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

struct TScratch
{
    TScratch()
    {
        std::string pattern = "/tmp/sarvex-scaling-XXXXXX";
        if (!::mkdtemp(pattern.data()))
            std::abort();
        Dir = pattern;
        std::ofstream(Dir + "/DATA.BIN", std::ios::binary) << std::string(99 * 99 * 2352, '\0');
    }
    ~TScratch()
    {
        std::remove((Dir + "/DATA.BIN").c_str());
        std::remove((Dir + "/disc.cue").c_str());
        ::rmdir(Dir.c_str());
    }
    std::string Dir;
};

TScratch& Scratch()
{
    static TScratch scratch;
    return scratch;
}

// A sheet of at least `bytes` bytes: the tracks first, then comment lines.
std::string WriteSheet(std::size_t bytes)
{
    std::string text = "FILE \"DATA.BIN\" BINARY\r\n";
    char line[64];
    for (int t = 1; t <= 99; ++t)
    {
        std::snprintf(line, sizeof line, "  TRACK %02d AUDIO\r\n", t);
        text += line;
        // Track 1 has indexes 1 to 99 from frame 0, every other track 0 to 98: one frame each.
        for (int i = t == 1 ? 1 : 0; i <= (t == 1 ? 99 : 98); ++i)
        {
            const int frame = (t - 1) * 99 + (t == 1 ? i - 1 : i);
            std::snprintf(line, sizeof line, "    INDEX %02d %02d:%02d:%02d\r\n", i, frame / 4500, frame / 75 % 60,
                          frame % 75);
            text += line;
        }
    }
    while (text.size() < bytes)
        text += "REM COMMENT \"a remark of the kind that ripping tools leave in every sheet\"\r\n";
    const std::string path = Scratch().Dir + "/disc.cue";
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

void BM_LoadSheet(benchmark::State& state)
{
    const std::string path = WriteSheet(static_cast<std::size_t>(state.range(0)));
    TLuCueSheet sheet;
    // A sheet that fails would time the error path; the complexity fit cannot take skipped runs.
    if (!sheet.Load(path))
    {
        std::fprintf(stderr, "the generated sheet does not load: 0x%x\n", sheet.ErrorCode);
        std::exit(1);
    }
    for (auto _ : state)
    {
        sheet.Load(path);
        benchmark::DoNotOptimize(sheet.LeadOutAddress());
    }
    state.SetComplexityN(state.range(0));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_LoadSheet)
    ->RangeMultiplier(4)
    ->Range(1 << 20, 64 << 20)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

} // namespace
