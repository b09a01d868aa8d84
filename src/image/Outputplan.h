// SPDX-License-Identifier: GPL-3.0-or-later
// The three files a conversion into one .ccd path writes and what stands in their way. Both front ends,
// the batch and the job itself go by these rules; the front ends only ask the user about the result.
#pragma once

#include "fileio/Fileio.h"

#include <array>
#include <string>
#include <system_error>

class TLuCueSheet;

// What one output's name holds now.
struct TOutputFile
{
    std::string Path;
    TPathKind Kind = pkMissing;
    // Why the user may not replace it, or empty: no write bit at all (which binds even root), no write
    // access for this process, or a link that leads nowhere (nothing to write through).
    std::error_code WriteDenied;

    // A file that the conversion would replace, a dangling link included: the user is asked first.
    // A folder or a device is no file to replace; the job refuses it whatever the answer.
    bool Exists() const { return Kind == pkRegular || Kind == pkBrokenLink; }
    bool ReadOnly() const { return static_cast<bool>(WriteDenied); }
};

TOutputFile InspectOutput(const std::string& path);

// The .ccd path and its .img and .sub paths, in the order the user is asked about them.
std::array<std::string, 3> OutputNames(const std::string& ccdPath);

// True when path names the cue sheet, its CD-TEXT file, its subchannel side-car or a file that the
// process holds open for reading (the sheet's data files): writing it would destroy an input.
bool IsConversionInput(const std::string& path, const TLuCueSheet& sheet);

struct TOutputPlan
{
    // Why the set cannot be written whatever the user answers, or empty: a .ccd path whose extension is
    // .img or .sub (any case) would make two outputs one file, and an output must not be an input.
    std::string Problem;
    std::array<TOutputFile, 3> Files; // .ccd, .img, .sub
    const std::string& CcdPath() const { return Files[0].Path; }
    const std::string& ImgPath() const { return Files[1].Path; }
    const std::string& SubPath() const { return Files[2].Path; }
};

TOutputPlan PlanOutputs(const std::string& ccdPath, const TLuCueSheet& sheet);
