// SPDX-License-Identifier: GPL-3.0-or-later
#include "image/Exportpacks.h"

#include "synthesis/Interleavesubcode.h"
#include "synthesis/Sector.h"
#include "synthesis/Subcode.h"

#include <algorithm>
#include <array>
#include <memory>

namespace {

constexpr std::int64_t CHUNK_RECORDS = 4096;
constexpr std::size_t RW_OFFSET = 2 * Q_FRAME_SIZE; // channels R to W follow P and Q

bool AnyPacks(const std::uint8_t* packs, std::int64_t sectors)
{
    return std::any_of(packs, packs + sectors * std::int64_t(SUBCODE_SIZE), [](std::uint8_t b) { return b != 0; });
}

} // namespace

TExportPacks ReadExportPacks(const TExportLayout& layout, const TFile& sub, std::int64_t sectors)
{
    TExportPacks result;
    result.Cdg.assign(layout.Tracks.size(), false);
    std::unique_ptr<std::uint8_t[]> records(new std::uint8_t[CHUNK_RECORDS * SUBCODE_SIZE]);
    TSubCodeDeInterLeave deInterleaver;
    // A pack comes out of the de-interleaver seven packs after it went in: the output runs that far behind.
    constexpr std::int64_t LAG = INTERLEAVE_DEPTH - 1;
    std::int64_t packsOut = -LAG;
    const auto feed = [&](std::uint8_t* block) {
        for (std::size_t p = 0; p < PACKS_PER_SECTOR; ++p, ++packsOut)
        {
            const TPack pack(block + p * PACK_SIZE, PACK_SIZE);
            deInterleaver.DeInterleavePack(pack);
            if (packsOut >= 0 && packsOut < sectors * std::int64_t(PACKS_PER_SECTOR))
                std::copy(pack.begin(), pack.end(), result.Packs.begin() + packsOut * std::int64_t(PACK_SIZE));
        }
    };
    for (std::int64_t first = 0; first < sectors; first += CHUNK_RECORDS)
    {
        const std::int64_t n = std::min(CHUNK_RECORDS, sectors - first);
        sub.ReadExact(first * std::int64_t(SUBCODE_SIZE),
                      std::span(records.get(), static_cast<std::size_t>(n) * SUBCODE_SIZE));
        for (std::int64_t i = 0; i < n; ++i)
        {
            std::uint8_t* record = records.get() + i * std::int64_t(SUBCODE_SIZE);
            const bool empty = std::all_of(record + RW_OFFSET, record + SUBCODE_SIZE, [](std::uint8_t b) { return b == 0; });
            if (empty && result.Packs.empty())
            {
                packsOut += PACKS_PER_SECTOR;
                continue;
            }
            if (result.Packs.empty())
                result.Packs.assign(static_cast<std::size_t>(sectors) * SUBCODE_SIZE, 0);
            std::array<std::uint8_t, SUBCODE_SIZE> block{};
            ChannelsToSymbols(std::span<const std::uint8_t, SUBCODE_SIZE>(record, SUBCODE_SIZE), block);
            for (std::uint8_t& symbol : block)
                symbol &= 0x3F;
            feed(block.data());
        }
    }
    std::array<std::uint8_t, SUBCODE_SIZE> zero{};
    for (std::int64_t i = 0; i < 2 && !result.Packs.empty(); ++i)
    {
        zero.fill(0);
        feed(zero.data());
    }
    if (result.Packs.empty())
        return result;
    for (std::size_t t = 0; t < layout.Tracks.size(); ++t)
    {
        const TExportTrack& part = layout.Tracks[t];
        if (!AnyPacks(result.Packs.data() + part.FirstSector * std::int64_t(SUBCODE_SIZE), part.Sectors))
            continue;
        if (part.Track->Mode == 0)
            result.Cdg[t] = true;
        else
            result.Dropped.push_back(part.Track->Number);
    }
    return result;
}
