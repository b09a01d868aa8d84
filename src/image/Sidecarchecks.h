// SPDX-License-Identifier: GPL-3.0-or-later
// The verifier's comparison of the set's protection frames with a .sbi/.lsd beside it.
#pragma once

#include "cuesheet/Subqpatch.h"

#include <cstdint>
#include <string>
#include <vector>

struct TVerifyState;

class TSideCarChecker
{
public:
    explicit TSideCarChecker(TVerifyState& state) : State(state) {}

    // Reads the side-car at path; a file it cannot read is a finding and leaves the comparison off.
    void Use(const std::string& path);
    bool InUse() const;
    // Whether the side-car lists a frame at the absolute address; asked in address order.
    bool Lists(std::int32_t address) const;
    // A protection frame of the set at lba, its Q frame q.
    void Compare(std::int32_t lba, const std::uint8_t* q);
    // The frames listed past the last protection frame of the set.
    void Finish();

private:
    void FramesAbsentBefore(std::int32_t address);

    TVerifyState& State;
    std::vector<TSubQPatch> Frames; // sorted by address
    std::size_t NextFrame = 0;
    std::string Name;
};
