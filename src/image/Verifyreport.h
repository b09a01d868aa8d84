// The verifier's report as text (terminal, clipboard) and as one JSON object (scripts).
#pragma once

#include "image/Verifier.h"

#include <string>

// True when the report names no problem at all.
bool IsSound(const TVerifyReport& report);

// Line-feed separated, fixed-pitch columns.
std::string BuildVerifyText(const TVerifyReport& report);

// The schema version of the JSON report, raised when a field changes its meaning or goes.
inline constexpr int VERIFY_JSON_FORMAT = 1;
// One JSON object, without a trailing line end.
std::string BuildVerifyJson(const TVerifyReport& report);
