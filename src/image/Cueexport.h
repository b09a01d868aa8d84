// SPDX-License-Identifier: GPL-3.0-or-later
// The export of an image set back to a cue sheet: the .ccd, .img and .sub become a sheet, its BINARY
// track files and, where the disc needs them, a CD-TEXT file and the Q channel's side-cars. Reads the set whole; writes every file
// under a temporary name and puts them in place together, the sheet last, only when all are complete.
#pragma once

#include "image/Job.h"
#include "image/Outputplan.h"

#include <cstdint>
#include <string>
#include <vector>

struct TCueExportOptions
{
    bool Force = false;      // replace existing outputs (read-only ones never)
    bool SingleFile = false; // one DISC.bin for all tracks
    bool Strict = false;     // a set with damage is refused instead of written with warnings
};

// The files an export writes, the sheet last, and what stands in their way.
struct TCueExportPlan
{
    // Why nothing can be written whatever the user answers: the control file cannot be read, an
    // output is an input of the set, or two outputs would be one file.
    std::string Problem;
    std::vector<TOutputFile> Files;
    // Side-cars the conversion would take for the sheet under other spellings of its own: among Files
    // (after the track files), removed and never written.
    std::vector<std::string> Removed;
};

// The sheet's default path: the control file's with .cue for its extension.
std::string DefaultCuePath(const std::string& ccdPath);

TCueExportPlan PlanCueExport(const std::string& ccdPath, const std::string& cuePath, bool singleFile);

// Why the plan may not be carried out with force as given, or empty: an existing output needs force
// ("\"X\" already exists."), a read-only one is always refused.
std::string RefuseExportOutputs(const TCueExportPlan& plan, bool force);

struct TCueExportReport
{
    std::string CuePath;
    std::vector<std::string> Files; // written, the sheet last
    std::int32_t Tracks = 0;
    std::int64_t Sectors = 0; // copied from the .img
    std::vector<std::string> Warnings;
    std::int64_t ModeMismatches = 0; // data sectors whose header names another mode than their track's
    bool SetUnreadable = false;      // the run failed reading the set, before any output was planned
    // Q frames of the .sub that differ from those the sheet gives, kept in the .lsd side-car; of them
    // those at LibCrypt addresses (also in the .sbi), those failing their CRC, and the rest.
    std::int64_t QFrames = 0;
    std::int64_t LibCryptFrames = 0;
    std::int64_t DamagedFrames = 0;
    std::int64_t OddFrames = 0;
    std::int64_t PDiffers = 0; // sectors whose P channel differs, which nothing keeps
};

// What both front ends tell after an export: the sectors and tracks written, then a line about the Q
// frames kept in side-cars and about P channel differences when there are any.
std::string CueExportSummary(const TCueExportReport& report);

class TCueExportJob : public TJob
{
public:
    // Never throws. Afterwards Status is csSucceeded (Report is complete), csFailed (Error says why;
    // nothing was put in place, unless Error names the files a failed rename left replaced) or
    // csCanceled (nothing was put in place). Another run on cuePath makes it refuse at once.
    void Run(const std::string& ccdPath, const std::string& cuePath, const TCueExportOptions& options);

    TCueExportReport Report;
};
