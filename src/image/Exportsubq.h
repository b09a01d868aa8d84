// SPDX-License-Identifier: GPL-3.0-or-later
// The Q channel of a set against the one its exported sheet gives: every frame of the .sub that
// differs from the composed one goes into a side-car, which the conversion lays back over.
#pragma once

#include "cuesheet/Discmodel.h"
#include "cuesheet/Subqpatchrow.h"
#include "fileio/Fileio.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class TLuCueSheet;

struct TSubQComparison
{
    std::vector<TSubQPatch> Frames; // the .sub's frames where they differ, whole, in address order
    std::vector<TSubQPatch> LibCryptFrames; // of those, on a PlayStation disc at the protection's addresses
    std::int64_t LibCrypt = 0;
    std::int64_t Damaged = 0;       // elsewhere and failing their CRC
    std::int64_t Odd = 0;           // elsewhere with a sound CRC: mastering oddities
    std::int64_t PDiffers = 0;      // sectors whose P channel differs, which no side-car keeps
};

// Composes the P and Q of every sector the .sub holds (ranges: the disc's stored ranges, in order)
// for the loaded sheet and compares. Frames count as LibCrypt ones only on a disc whose first track
// is mode 2, as the protected PlayStation discs are. Stops early, with what it found so far, when
// keepGoing says so.
TSubQComparison CompareSubQ(const TLuCueSheet& sheet, const std::vector<TLbaRange>& ranges, const TFile& sub,
                            const std::function<bool()>& keepGoing);

// The side-cars' bytes: an .lsd of whole frames, an .sbi of the frames without their CRC.
std::string LsdBytes(const std::vector<TSubQPatch>& frames);
std::string SbiBytes(const std::vector<TSubQPatch>& frames);
