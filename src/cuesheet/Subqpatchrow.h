// SPDX-License-Identifier: GPL-3.0-or-later
// One frame of a LibCrypt side-car, as the sheet keeps it for the composer; the reader is Subqpatch.
#pragma once

#include "synthesis/Sector.h"

#include <cstdint>

enum TSubQPatchKind : std::uint8_t
{
    sqFrame = 0,    // the whole 12-byte frame, as an .lsd holds it and as the .sub receives it
    sqControl = 1,  // .sbi type 1: bytes 0-9
    sqRelative = 2, // .sbi type 2: bytes 3-5
    sqAbsolute = 3, // .sbi type 3: bytes 7-9
};

struct TSubQPatch
{
    std::int32_t Address = 0; // absolute; the .sub record is Address - 150
    TSubQPatchKind Kind = sqFrame;
    TQFrame Bytes{}; // at their Q frame positions; only those the kind names count
};
