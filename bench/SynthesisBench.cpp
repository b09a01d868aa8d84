// SPDX-License-Identifier: GPL-3.0-or-later
// Per-sector cost of the coding kernels; items are sectors.
#include <benchmark/benchmark.h>

#include <random>

#include "synthesis/Errorcorrectmode1.h"
#include "synthesis/Errorcorrectsubcode.h"
#include "synthesis/Interleavesubcode.h"
#include "synthesis/Luedc.h"
#include "synthesis/Lusubqcrc.h"
#include "synthesis/Subcode.h"

namespace {

TRawSector RandomSector()
{
    std::mt19937 rng(1);
    TRawSector s;
    for (auto& b : s)
        b = static_cast<std::uint8_t>(rng());
    return s;
}

TSubBlock RandomBlock(std::uint8_t mask)
{
    std::mt19937 rng(2);
    TSubBlock b;
    for (auto& x : b)
        x = static_cast<std::uint8_t>(rng() & mask);
    return b;
}

void BM_Mode1Generate(benchmark::State& state)
{
    TMode1ErrorCorrect ecc;
    TRawSector s = RandomSector();
    for (auto _ : state)
    {
        ecc.Generate(s);
        benchmark::DoNotOptimize(s.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Mode1Generate);

void BM_EdcCompute(benchmark::State& state)
{
    const TLuEdc edc;
    const TRawSector s = RandomSector();
    for (auto _ : state)
        benchmark::DoNotOptimize(edc.Compute(s));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EdcCompute);

void BM_SubQCrcCompute(benchmark::State& state)
{
    const TLuSubQCrc crc;
    TQFrame q = {0x01, 0x01, 0x01, 0, 0, 0, 0, 0, 0x02, 0x00};
    for (auto _ : state)
    {
        benchmark::DoNotOptimize(q.data());
        benchmark::DoNotOptimize(crc.Compute(std::span(q).first<10>()));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SubQCrcCompute);

// Four packs per sector, as the composer does for CD+G.
void BM_PackParity(benchmark::State& state)
{
    TSubCodeErrorCorrect ecc;
    TSubBlock block = RandomBlock(0x3F);
    for (auto _ : state)
    {
        for (std::size_t p = 0; p < PACKS_PER_SECTOR; ++p)
        {
            const auto pack = std::span(block).subspan(p * PACK_SIZE).first<PACK_SIZE>();
            ecc.SetQParity(pack);
            ecc.SetPParity(pack);
        }
        benchmark::DoNotOptimize(block.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PackParity);

void BM_InterleavePacks(benchmark::State& state)
{
    TSubCodeInterLeave il;
    const TSubBlock source = RandomBlock(state.range(0) ? 0x3F : 0x00);
    TSubBlock block;
    for (auto _ : state)
    {
        block = source;
        il.InterleavePacks(block);
        benchmark::DoNotOptimize(block.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_InterleavePacks)->ArgName("rw")->Arg(0)->Arg(1);

void BM_SplitMergePQ(benchmark::State& state)
{
    TSubBlock block = RandomBlock(0xFF);
    TQFrame p{}, q{};
    for (auto _ : state)
    {
        SplitPQ(block, p, q);
        MergePQ(block, p, q);
        benchmark::DoNotOptimize(block.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SplitMergePQ);

void BM_SymbolsToChannels(benchmark::State& state)
{
    const TSubBlock block = RandomBlock(state.range(0) ? 0xFF : 0xC0);
    TSubBlock record;
    for (auto _ : state)
    {
        SymbolsToChannels(block, record);
        benchmark::DoNotOptimize(record.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SymbolsToChannels)->ArgName("rw")->Arg(0)->Arg(1);

// What the conversion job does per sector after composing: CRC of the Q frame, split, interleave,
// merge and the channel record.
void BM_SubchannelPipeline(benchmark::State& state)
{
    const TLuSubQCrc crc;
    TSubCodeInterLeave il;
    const TSubBlock source = RandomBlock(state.range(0) ? 0xFF : 0xC0);
    TSubBlock block, record;
    TQFrame p{}, q = {0x01, 0x01, 0x01, 0, 0, 0, 0, 0, 0x02, 0x00};
    for (auto _ : state)
    {
        block = source;
        const std::uint16_t c = crc.Compute(std::span(q).first<10>());
        q[10] = static_cast<std::uint8_t>(c >> 8);
        q[11] = static_cast<std::uint8_t>(c);
        SplitPQ(block, p, q);
        il.InterleavePacks(block);
        MergePQ(block, p, q);
        SymbolsToChannels(block, record);
        benchmark::DoNotOptimize(record.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SubchannelPipeline)->ArgName("rw")->Arg(0)->Arg(1);

} // namespace
