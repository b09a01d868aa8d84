// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/Sheetconversion.h"

#include "cuesheet/Cueerrors.h"
#include "cuesheet/Cuetext.h"
#include "cuesheet/Lucue.h"
#include "cuesheet/Subqpatch.h"
#include "fileio/Fileio.h"
#include "fileio/Paths.h"
#include "image/Conversion.h"
#include "image/Outputplan.h"

#include <algorithm>
#include <array>

namespace {

// Why the planned outputs may not be written: an existing one needs force, a read-only one is always
// refused. Empty when they may; nothing is written before.
std::string RefuseOutputs(const TOutputPlan& plan, bool force)
{
    if (!plan.Problem.empty())
        return plan.Problem;
    for (const TOutputFile& file : plan.Files)
    {
        if (!file.Exists())
            continue;
        if (!force)
            return "\"" + file.Path + "\" already exists. Use --force to overwrite it.";
        if (file.ReadOnly())
            return "\"" + file.Path + "\" is a read-only file.";
    }
    return {};
}

} // namespace

std::vector<std::string> IgnoredLineWarnings(const TLuCueSheet& sheet)
{
    std::vector<std::string> warnings;
    for (const TLuCueSheet::TIgnoredLine& line : sheet.IgnoredLines)
        warnings.push_back("line " + std::to_string(line.LineNo) + " is not a cue sheet command and was ignored: " +
                           line.Text);
    return warnings;
}

std::string LoadSheet(const TCliOptions& options, const std::string& cuePath, TLuCueSheet& sheet,
                      std::vector<std::string>& warnings, const TCountProgress& count)
{
    sheet.UseSheetCdText = options.SheetCdText;
    sheet.CountProgress = count;
    if (!sheet.Load(cuePath))
        return CueErrorText(sheet);
    warnings.insert(warnings.end(), sheet.LoadWarnings.begin(), sheet.LoadWarnings.end());
    // A sheet in a charset CD-TEXT cannot carry has its own load warning naming the charset and the count.
    if (sheet.CdTextReplaced > 0 && ForeignCharsetName(sheet.TextCharset) == nullptr)
        warnings.push_back("CD-TEXT: " + std::to_string(sheet.CdTextReplaced) +
                           (sheet.CdTextReplaced == 1 ? " character" : " characters") +
                           " of the sheet's text cannot be written and became \"?\"");
    if (options.NoSubQPatch)
        return {};
    const std::string sideCar = options.SubQPatch.empty() ? FindSubQPatchFile(cuePath) : options.SubQPatch;
    if (const TError error = sideCar.empty() ? TError() : AttachSubQPatches(sheet, sideCar, warnings))
    {
        sheet.Clear();
        return error.Text();
    }
    return {};
}

TSheetOutcome ConvertSheet(const TCliOptions& options, const std::string& cuePath, const std::string& ccdPath,
                           TConversionJob& job, const TBeforeRun& beforeRun, const TCountProgress& count)
{
    TSheetOutcome outcome;
    const std::array<std::string, 3> names = OutputNames(ccdPath);
    outcome.ImgPath = names[1];
    outcome.SubPath = names[2];

    TLuCueSheet sheet;
    outcome.Reason = LoadSheet(options, cuePath, sheet, outcome.Warnings, count);
    if (!outcome.Reason.empty())
    {
        outcome.Status = sheet.ErrorCode == CueStatus(egSheet, erCanceled) ? ssCanceled : ssNotLoaded;
        return outcome;
    }
    outcome.SubQPatchFile = sheet.SubQPatchFile;
    outcome.Ignored = IgnoredLineWarnings(sheet);

    outcome.Reason = OutputFolderProblem(FolderOf(ccdPath));
    if (!outcome.Reason.empty())
        return outcome;
    outcome.Reason = RefuseOutputs(PlanOutputs(ccdPath, sheet), options.Force);
    if (!outcome.Reason.empty())
        return outcome;

    if (beforeRun)
        beforeRun(job, sheet, SectorCount(sheet.Model().StoredRanges()));
    job.KeepPartial = options.KeepPartial;
    job.Run(ccdPath, options.CorrectEdcEcc, sheet);
    outcome.Ran = true;
    outcome.PartialKept = job.PartialKept;
    outcome.EarlierSetChanged = job.EarlierSetChanged;
    outcome.SectorsWritten = job.SectorsWritten;
    outcome.SubQFramesReplaced = job.SubQFramesReplaced;
    switch (job.Status.load())
    {
    case csSucceeded: outcome.Status = ssConverted; break;
    case csCanceled: outcome.Status = ssCanceled; break;
    default:
        outcome.Status = ssFailed;
        outcome.Reason = job.Error.Text();
        break;
    }
    return outcome;
}

std::string StoppedRunText(const TSheetOutcome& outcome)
{
    if (outcome.EarlierSetChanged)
        return "The image set there is not whole: the run replaced some of its files before it failed.";
    if (!outcome.PartialKept)
        return "No image set was written; the files there before are as they were.";
    return "partial set kept: " + std::to_string(outcome.SectorsWritten) + " sectors in \"" + outcome.ImgPath +
           "\" and \"" + outcome.SubPath + "\".";
}

std::string ReplacedQFramesText(const TSheetOutcome& outcome)
{
    const std::int64_t count = outcome.SubQFramesReplaced;
    return std::to_string(count) + (count == 1 ? " Q frame" : " Q frames") + " replaced from \"" +
           outcome.SubQPatchFile + "\"";
}

int ExitCodeOf(TSheetStatus status)
{
    switch (status)
    {
    case ssConverted: return ecSuccess;
    case ssNotLoaded: return ecLoadError;
    case ssCanceled: return ecCanceled;
    default: return ecFailed;
    }
}
