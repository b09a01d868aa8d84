// Loading time against sheet size. Sheets grow by comment lines (which every real sheet has
// plenty of) around 99 tracks with 99 indexes each; the reported complexity fit should be O(N).
#include "cuesheet/Lucue.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace
{

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
    for (int t = 1; t <= 99; ++t) {
        std::snprintf(line, sizeof line, "  TRACK %02d AUDIO\r\n", t);
        text += line;
        for (int i = t == 1 ? 1 : 0; i <= 98; ++i) {
            const int frame = (t - 1) * 99 + i;
            std::snprintf(line, sizeof line, "    INDEX %02d %02d:%02d:%02d\r\n", i == 0 ? 0 : i, frame / 4500,
                          frame / 75 % 60, frame % 75);
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
    for (auto _ : state) {
        if (!sheet.Load(path)) {
            state.SkipWithError("the sheet does not load");
            break;
        }
        benchmark::DoNotOptimize(sheet.LeadOutAddress());
    }
    state.SetComplexityN(state.range(0));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_LoadSheet)->RangeMultiplier(4)->Range(1 << 20, 64 << 20)->Unit(benchmark::kMillisecond)->Complexity();

} // namespace
