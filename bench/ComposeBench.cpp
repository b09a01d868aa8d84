// SPDX-License-Identifier: GPL-3.0-or-later
// Composing whole sectors from a loaded sheet, and building the layout of a large sheet.
#include "cuesheet/Lucue.h"
#include "cuesheet/Sectorcomposer.h"
#include "fileio/Fileio.h"
#include "fileio/Pagepipe.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t SECTORS = 4500;

// A folder with one data file and a sheet over it; removed at exit.
class BenchDisc
{
public:
    BenchDisc(const char* type, std::size_t sectorSize)
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "sarvex-bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            std::abort();
        Folder = pattern;
        std::ofstream data(Folder / "d.bin", std::ios::binary);
        std::string sector(sectorSize, '\0');
        for (std::uint32_t s = 0; s < SECTORS; ++s)
        {
            for (std::size_t i = 0; i < sectorSize; ++i)
                sector[i] = static_cast<char>((i * 31 + s) & 0xFF);
            data.write(sector.data(), static_cast<std::streamsize>(sector.size()));
        }
        data.close();
        std::ofstream cue(Folder / "d.cue");
        cue << "FILE d.bin BINARY\nTRACK 01 " << type << "\nINDEX 01 00:00:00\n";
        cue.close();
        if (!Sheet.Load((Folder / "d.cue").string()))
            std::abort();
    }
    ~BenchDisc() { std::filesystem::remove_all(Folder); }

    std::filesystem::path Folder;
    TLuCueSheet Sheet;
};

void Compose(benchmark::State& state, const char* type, std::size_t sectorSize)
{
    BenchDisc disc(type, sectorSize);
    TSectorComposer composer(disc.Sheet);
    TRawSector main{};
    TSubBlock sub{};
    std::uint32_t address = PROGRAM_START;
    for (auto _ : state)
    {
        composer.ComposeSector(address, &main, &sub, TComposeOptions{});
        benchmark::DoNotOptimize(main.data());
        benchmark::DoNotOptimize(sub.data());
        if (++address == PROGRAM_START + SECTORS)
            address = PROGRAM_START;
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_ComposeSectorAudio(benchmark::State& state)
{
    Compose(state, "AUDIO", 2352);
}
void BM_ComposeSectorMode1_2048(benchmark::State& state)
{
    Compose(state, "MODE1/2048", 2048);
}
BENCHMARK(BM_ComposeSectorAudio);
BENCHMARK(BM_ComposeSectorMode1_2048);

// The conversion's batch length.
constexpr std::int32_t RUN = 256;

// CPU time per sector, in nanoseconds.
void CountSectors(benchmark::State& state, std::int64_t sectors)
{
    state.SetItemsProcessed(sectors);
    state.counters["ns_per_sector"] =
        benchmark::Counter(static_cast<double>(sectors), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// The conversion's way: runs of one batch's length, timed per sector to compare with the above.
// With singleCopy, as where composer and writer cannot run at once, audio is not read: its pages go
// into a pipe and the writer copies them from there (BM_DrainRunAudio). The pipe is emptied into
// /dev/null, within the time.
void ComposeRuns(benchmark::State& state, const char* type, std::size_t sectorSize, bool singleCopy = false)
{
    BenchDisc disc(type, sectorSize);
    TSectorComposer composer(disc.Sheet);
    std::vector<TRawSector> main(RUN);
    std::vector<TSubChannel> sub(RUN);
    TPagePipe pipe;
    TFile nowhere = TFile::OpenForWriting("/dev/null");
    std::uint32_t address = PROGRAM_START;
    std::int64_t sectors = 0;
    TRawBytes raw;
    for (auto _ : state)
    {
        const std::int32_t want =
            std::min<std::int32_t>(RUN, static_cast<std::int32_t>(PROGRAM_START + SECTORS - address));
        const std::int32_t n =
            composer.ComposeRun(address, want, main.data(), sub.data(), TComposeOptions{}, singleCopy ? &raw : nullptr);
        if (raw.File)
        {
            const std::size_t piped = pipe.Fill(*raw.File, raw.Offset, raw.Length);
            if (piped != raw.Length)
                state.SkipWithError("the pipe took less than a run");
            pipe.Drain(nowhere, piped, std::span(reinterpret_cast<std::uint8_t*>(main.data()), piped));
        }
        benchmark::DoNotOptimize(main.data());
        benchmark::DoNotOptimize(sub.data());
        sectors += n;
        address += static_cast<std::uint32_t>(n);
        if (address == PROGRAM_START + SECTORS)
            address = PROGRAM_START;
    }
    CountSectors(state, sectors);
}

void BM_ComposeRunAudio(benchmark::State& state)
{
    ComposeRuns(state, "AUDIO", 2352, state.range(0) != 0);
}
void BM_ComposeRunMode1_2048(benchmark::State& state)
{
    ComposeRuns(state, "MODE1/2048", 2048);
}
BENCHMARK(BM_ComposeRunAudio)->ArgName("singleCopy")->Arg(0)->Arg(1);
BENCHMARK(BM_ComposeRunMode1_2048);

// What moving an audio run's bytes costs the writer now: from the pipe into the image, one copy,
// page cache to page cache. The image is cut back at every pass, so that it stays the disc's size.
void BM_DrainRunAudio(benchmark::State& state)
{
    BenchDisc disc("AUDIO", SECTOR_SIZE);
    const TFile source = TFile::OpenForReading((disc.Folder / "d.bin").string());
    TFile image = TFile::OpenForWriting((disc.Folder / "d.img").string());
    TPagePipe pipe;
    std::vector<std::uint8_t> scratch(RUN * SECTOR_SIZE);
    std::int64_t sectors = 0;
    for (auto _ : state)
    {
        const std::int64_t first = sectors % SECTORS;
        const auto n = static_cast<std::size_t>(std::min<std::int64_t>(RUN, SECTORS - first));
        state.PauseTiming();
        if (first == 0)
            image = TFile::OpenForWriting((disc.Folder / "d.img").string());
        const std::size_t piped = pipe.Fill(source, first * std::int64_t{SECTOR_SIZE}, n * SECTOR_SIZE);
        state.ResumeTiming();
        pipe.Drain(image, piped, scratch);
        sectors += static_cast<std::int64_t>(n);
    }
    CountSectors(state, sectors);
}
BENCHMARK(BM_DrainRunAudio);

// What it cost before, when the composer read the audio: the kernel's copy out of the page cache
// (the data file, 10 MB, stays there), and the writer's copy back in (BM_WriteRunAudio).
void BM_ReadRunAudio(benchmark::State& state)
{
    BenchDisc disc("AUDIO", SECTOR_SIZE);
    TLuCueFile& file = *disc.Sheet.Files[0];
    std::vector<TRawSector> main(RUN);
    std::int64_t sectors = 0;
    for (auto _ : state)
    {
        const std::int64_t first = sectors % SECTORS;
        const auto n = static_cast<std::size_t>(std::min<std::int64_t>(RUN, SECTORS - first));
        file.Seek(first * std::int64_t{SECTOR_SIZE}, soBeginning);
        benchmark::DoNotOptimize(file.Read(main.data(), n * SECTOR_SIZE));
        benchmark::DoNotOptimize(main.data());
        sectors += static_cast<std::int64_t>(n);
    }
    CountSectors(state, sectors);
}
BENCHMARK(BM_ReadRunAudio);

void BM_WriteRunAudio(benchmark::State& state)
{
    BenchDisc disc("AUDIO", SECTOR_SIZE);
    std::vector<std::uint8_t> run(RUN * SECTOR_SIZE, 0x5A);
    TFile image = TFile::OpenForWriting((disc.Folder / "d.img").string());
    std::int64_t sectors = 0;
    for (auto _ : state)
    {
        const std::int64_t first = sectors % SECTORS;
        if (first == 0)
            image = TFile::OpenForWriting((disc.Folder / "d.img").string());
        const auto n = static_cast<std::size_t>(std::min<std::int64_t>(RUN, SECTORS - first));
        image.WriteAll(std::span(run.data(), n * SECTOR_SIZE));
        sectors += static_cast<std::int64_t>(n);
    }
    CountSectors(state, sectors);
}
BENCHMARK(BM_WriteRunAudio);

// 99 tracks of 99 indexes each: parse, address table, TOC table and schedule.
void BM_LoadSheetOf99TracksWith99Indexes(benchmark::State& state)
{
    std::string pattern = (std::filesystem::temp_directory_path() / "sarvex-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        std::abort();
    const std::filesystem::path folder = pattern;
    std::filesystem::resize_file((std::ofstream(folder / "d.bin"), folder / "d.bin"),
                                 std::uintmax_t(99) * 99 * 10 * 2352);
    std::string text = "FILE d.bin BINARY\n";
    char line[64];
    for (int t = 1; t <= 99; ++t)
    {
        std::snprintf(line, sizeof line, "TRACK %02d AUDIO\n", t);
        text += line;
        for (int i = 1; i <= 99; ++i)
        {
            const int frames = ((t - 1) * 99 + (i - 1)) * 10;
            std::snprintf(line, sizeof line, "INDEX %02d %02d:%02d:%02d\n", i, frames / 4500, frames / 75 % 60,
                          frames % 75);
            text += line;
        }
    }
    std::ofstream(folder / "d.cue") << text;
    TLuCueSheet sheet;
    for (auto _ : state)
    {
        if (!sheet.Load((folder / "d.cue").string()))
            state.SkipWithError("load failed");
        benchmark::DoNotOptimize(sheet.AddressRowCount());
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_LoadSheetOf99TracksWith99Indexes)->Unit(benchmark::kMillisecond);

// The layout builders alone, on an already loaded 99 x 99 sheet.
void BM_BuildLayoutOf99TracksWith99Indexes(benchmark::State& state)
{
    BenchDisc disc("AUDIO", 2352);
    TLuCueSheet& sheet = disc.Sheet;
    // Reshape the one loaded track set into 99 tracks of 99 one-second indexes.
    for (int t = 0; t < 99; ++t)
    {
        if (!sheet.Tracks[static_cast<std::size_t>(t)])
            sheet.Tracks[static_cast<std::size_t>(t)] = std::make_unique<TLuCueTrack>();
        TLuCueTrack& track = *sheet.Tracks[static_cast<std::size_t>(t)];
        track.SetType(ttAudio);
        track.FileIndex = 0;
        for (int i = 1; i <= 99; ++i)
            track.SetIndex(static_cast<std::uint32_t>(i), (t * 99 + i - 1) * 75);
        track.End = (t + 1) * 99 * 75;
    }
    sheet.TrackCount = 99;
    for (auto _ : state)
    {
        sheet.BuildDiscModel();
        sheet.BuildAddressTable();
        sheet.BuildTocTable();
        sheet.BuildSubQSchedule();
        benchmark::DoNotOptimize(sheet.AddressRowCount());
    }
}
BENCHMARK(BM_BuildLayoutOf99TracksWith99Indexes)->Unit(benchmark::kMicrosecond);

} // namespace
