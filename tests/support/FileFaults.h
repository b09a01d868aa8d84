// SPDX-License-Identifier: GPL-3.0-or-later
// File faults for as long as the object lives: writes that fail after a number of bytes, reads that
// fail from an offset on.
#pragma once

#include "fileio/Fileio.h"

#include <cstdint>

class TWriteBudget
{
public:
    explicit TWriteBudget(std::int64_t bytes) { TFile::WriteBudget = bytes; }
    ~TWriteBudget() { TFile::WriteBudget = -1; }
    TWriteBudget(const TWriteBudget&) = delete;
    TWriteBudget& operator=(const TWriteBudget&) = delete;
};

class TDamagedReads
{
public:
    explicit TDamagedReads(std::int64_t offset) { TFile::FailReadsFrom = offset; }
    ~TDamagedReads() { TFile::FailReadsFrom = -1; }
    TDamagedReads(const TDamagedReads&) = delete;
    TDamagedReads& operator=(const TDamagedReads&) = delete;
};
