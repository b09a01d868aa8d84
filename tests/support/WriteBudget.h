// Makes file writes fail after a given number of bytes for as long as the object lives.
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
