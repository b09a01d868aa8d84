// SPDX-License-Identifier: GPL-3.0-or-later
// A refusal or failure as the program reports it: the status code where the program defines one (the
// packed load status of a cue sheet), the file and line it concerns, and the reason in words.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

struct TError
{
    std::uint32_t Code = 0; // 0 where the program defines none
    std::string File;       // as messages name it; empty when the reason names it itself
    std::uint32_t Line = 0; // 1 on; 0 for none
    std::string Reason;

    // True when something failed: a code or a reason is set.
    explicit operator bool() const { return Code != 0 || !Reason.empty(); }
    // "FILE:LINE: reason", "FILE: reason" or the reason alone, as far as they are known.
    std::string Text() const;
};

// A TError thrown by code that reports failures by exception, so that whoever catches it keeps the
// parts; what() is its Text().
class EError : public std::runtime_error
{
public:
    explicit EError(TError error) : std::runtime_error(error.Text()), Error(std::move(error)) {}

    TError Error;
};
