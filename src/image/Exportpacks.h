// SPDX-License-Identifier: GPL-3.0-or-later
// The R-W packs of a set's .sub for the export: de-interleaved as the conversion interleaved them,
// so that a CD+G track's file can hold them after each sector's audio, as the sheet's CDG files do.
#pragma once

#include "fileio/Fileio.h"
#include "image/Exportsheet.h"

#include <cstdint>
#include <vector>

struct TExportPacks
{
    // 96 symbols per stored sector, de-interleaved; empty when the .sub holds no R-W data at all.
    std::vector<std::uint8_t> Packs;
    std::vector<bool> Cdg;               // by layout track: an audio track with packs
    std::vector<std::int32_t> Dropped;   // numbers of the other tracks with packs, which a sheet cannot carry
};

// Reads the R-W channels of the first sectors records of sub.
TExportPacks ReadExportPacks(const TExportLayout& layout, const TFile& sub, std::int64_t sectors);
