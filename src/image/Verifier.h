// SPDX-License-Identifier: GPL-3.0-or-later
// The verifier: reads a .ccd/.img/.sub set and reports what is wrong with it, where, and what
// it means. It only ever reads.
#pragma once

#include "image/Job.h"
#include "image/Verifyreport.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

inline constexpr std::size_t DEFAULT_MAX_FINDINGS = 20;

class TVerifyJob : public TJob
{
public:
    // Never throws. Afterwards Status is csSucceeded (Report is complete), csFailed (the set could
    // not be read; Error names the file and the reason) or csCanceled, as the other jobs leave it.
    void Run(const std::string& ccdPath, std::size_t maxFindings = DEFAULT_MAX_FINDINGS);

    TVerifyReport Report;
};
