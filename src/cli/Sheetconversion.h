// SPDX-License-Identifier: GPL-3.0-or-later
// The conversion of one cue sheet into one image set, as the single and the batch mode both run it.
#pragma once

#include "cli/Options.h"
#include "sources/Audiosource.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class TConversionJob;
class TLuCueSheet;

enum TSheetStatus : std::uint8_t
{
    ssConverted = 0,
    ssFailed = 1,    // refused before writing, or the run failed
    ssNotLoaded = 2, // the sheet itself could not be loaded
    ssCanceled = 3,
};

struct TSheetOutcome
{
    TSheetStatus Status = ssFailed;
    // Why it failed or was not loaded, as the single mode prints it (lines without the last newline).
    std::string Reason;
    bool Ran = false; // the job ran (so SectorsWritten counts)
    std::int64_t SectorsWritten = 0;
    bool PartialKept = false;       // a failed or cancelled run put the sectors it wrote in place
    bool EarlierSetChanged = false; // a failed run replaced some of the files there before
    std::string ImgPath;
    std::string SubPath;
    std::vector<std::string> Warnings; // about the LibCrypt side-car and text CD-TEXT cannot hold
    std::vector<std::string> Ignored;  // IgnoredLineWarnings of the sheet
    std::string SubQPatchFile;         // the side-car applied, if any
    std::int64_t SubQFramesReplaced = 0;
};

// Called once the sheet is loaded and the outputs are checked, right before the job runs:
// a front end registers its progress handler here. sectors: the program area to be written.
using TBeforeRun = std::function<void(TConversionJob& job, const TLuCueSheet& sheet, std::int64_t sectors)>;

// Loads cuePath and then the LibCrypt side-car that --subq-patch names or that lies beside the sheet
// (none with --no-subq-patch). Returns why the sheet cannot be used, as the desktop program's error
// box says it, or empty. count is told how counting an audio file by reading it whole goes.
// "line 5 is not a cue sheet command and was ignored: TRAKC 02 AUDIO", one for each such line.
std::vector<std::string> IgnoredLineWarnings(const TLuCueSheet& sheet);

std::string LoadSheet(const TCliOptions& options, const std::string& cuePath, TLuCueSheet& sheet,
                      std::vector<std::string>& warnings, const TCountProgress& count = {});

// Loads the sheet as LoadSheet does, refuses outputs it must not touch, and converts into ccdPath with job
// (idle on entry). Prints nothing. A load stopped by count ends ssCanceled without running the job.
TSheetOutcome ConvertSheet(const TCliOptions& options, const std::string& cuePath, const std::string& ccdPath,
                           TConversionJob& job, const TBeforeRun& beforeRun = {}, const TCountProgress& count = {});

// "16 Q frames replaced from \"Game.sbi\"" for a conversion that applied a side-car.
// What a run that failed or was cancelled left: nothing new, or the part it kept.
std::string StoppedRunText(const TSheetOutcome& outcome);
std::string ReplacedQFramesText(const TSheetOutcome& outcome);

// The exit code of an outcome, the codes of a single conversion.
int ExitCodeOf(TSheetStatus status);
