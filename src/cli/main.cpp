// SPDX-License-Identifier: GPL-3.0-or-later
// sarvex-cli: converts a cue sheet into the .ccd/.img/.sub image set, prints its disc layout, or
// verifies an image set.
#include "cli/Batch.h"
#include "cli/Options.h"
#include "cli/Progressline.h"
#include "cli/Sheetconversion.h"
#include "cli/Signals.h"
#include "cuesheet/Lucue.h"
#include "fileio/Fileio.h"
#include "fileio/Paths.h"
#include "image/Conversion.h"
#include "image/Cueexport.h"
#include "image/Layoutreport.h"
#include "image/Verifier.h"
#include "image/Verifyreport.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

// The jobs of the process; the signal handler only stores into their atomic cancel flags.
TConversionJob Job;
TVerifyJob VerifyJob;
TCueExportJob ExportJob;

extern "C" void CancelOnSignal(int)
{
    Job.RequestCancel();
    VerifyJob.RequestCancel();
    ExportJob.RequestCancel();
}

// Lines of the sheet that are no command come first, in the form of the tool's own warnings.
void PrintWarnings(const std::vector<std::string>& warnings, const std::vector<std::string>& ignored = {})
{
    for (const std::string& line : ignored)
        std::fprintf(stderr, "sarvex-cli: warning: %s\n", line.c_str());
    for (const std::string& warning : warnings)
        std::fprintf(stderr, "Warning: %s\n", warning.c_str());
}

int PrintLayout(const TCliOptions& options)
{
    TLuCueSheet sheet;
    std::vector<std::string> warnings;
    TCountLine countLine(stderr, ::isatty(STDERR_FILENO) != 0, Job);
    const std::string error = LoadSheet(options, options.Sheets[0], sheet, warnings, countLine.Handler());
    countLine.End();
    PrintWarnings(warnings, IgnoredLineWarnings(sheet));
    if (!error.empty())
    {
        std::fprintf(stderr, "%s\n", error.c_str());
        return sheet.ErrorCode == CueStatus(egSheet, erCanceled) ? ecCanceled : ecLoadError;
    }
    std::string report = BuildLayoutReport(BuildDiscLayout(sheet));
    if (report.empty() || report.back() != '\n')
        report += '\n';
    std::fputs(report.c_str(), stdout);
    return ecSuccess;
}

int ConvertOne(const TCliOptions& options)
{
    const std::string& cuePath = options.Sheets[0];
    const std::string ccdPath =
        options.CcdPath.empty() ? PlanBatch(options.Sheets, options.OutputDir)[0].CcdPath : options.CcdPath;

    std::unique_ptr<TProgressLine> progress;
    TCountLine countLine(stderr, !options.Quiet && ::isatty(STDERR_FILENO), Job);
    const TBeforeRun showProgress = [&](TConversionJob& job, const TLuCueSheet&, std::int64_t sectors) {
        countLine.End();
        progress = std::make_unique<TProgressLine>(stderr, sectors);
        if (!options.Quiet && ::isatty(STDERR_FILENO))
            job.SetProgressHandler(progress->Handler());
    };
    const TSheetOutcome outcome = ConvertSheet(options, cuePath, ccdPath, Job, showProgress, countLine.Handler());
    countLine.End();

    PrintWarnings(outcome.Warnings, outcome.Ignored);
    const char* img = outcome.ImgPath.c_str();
    const char* sub = outcome.SubPath.c_str();
    const auto sectors = static_cast<long long>(outcome.SectorsWritten);
    if (outcome.Status == ssConverted)
    {
        // "successfull" keeps its historic spelling: users' scripts match the text.
        if (!options.Quiet)
        {
            std::printf("Operation was successfull.\n%lld sectors written to \"%s\" and \"%s\".\n", sectors, img, sub);
            if (!outcome.SubQPatchFile.empty())
                std::printf("%s.\n", ReplacedQFramesText(outcome).c_str());
        }
    }
    else if (outcome.Status == ssCanceled && !outcome.Ran)
        std::fprintf(stderr, "%s\n", outcome.Reason.c_str()); // the load was stopped
    else if (outcome.Status == ssCanceled)
        std::fprintf(stderr, "Operation was canceled.\n%s\n", StoppedRunText(outcome).c_str());
    else if (outcome.Ran)
    {
        std::fprintf(stderr, "Operation was failure.\n");
        if (!outcome.Reason.empty())
            std::fprintf(stderr, "%s\n", outcome.Reason.c_str());
        std::fprintf(stderr, "%s\n", StoppedRunText(outcome).c_str());
    }
    else
        std::fprintf(stderr, "%s\n", outcome.Reason.c_str());
    return ExitCodeOf(outcome.Status);
}

int VerifySet(const TCliOptions& options)
{
    // The progress line counts the sectors of the .img; the job itself measures the set again.
    struct stat info = {};
    const std::string imgPath = ChangeFileExt(options.CcdPath, ".img");
    const std::int64_t sectors = ::stat(imgPath.c_str(), &info) == 0 ? info.st_size / 2352 : 0;
    TProgressLine progress(stderr, sectors);
    if (!options.Quiet && ::isatty(STDERR_FILENO))
        VerifyJob.SetProgressHandler(progress.Handler());

    VerifyJob.Run(options.CcdPath, options.MaxErrors);

    switch (VerifyJob.Status.load())
    {
    case csSucceeded:
        if (!options.Quiet)
        {
            const std::string report =
                options.Json ? BuildVerifyJson(VerifyJob.Report) + "\n" : BuildVerifyText(VerifyJob.Report);
            std::fputs(report.c_str(), stdout);
        }
        return IsSound(VerifyJob.Report) ? ecSuccess : ecFailed;
    case csCanceled: std::fprintf(stderr, "Verification was canceled.\n"); return ecCanceled;
    default:
        std::fprintf(stderr, "Cannot verify \"%s\": %s\n", options.CcdPath.c_str(), VerifyJob.Error.Text().c_str());
        return ecLoadError;
    }
}

int ExportSet(const TCliOptions& options)
{
    const std::string cuePath = options.CuePath.empty() ? DefaultCuePath(options.CcdPath) : options.CuePath;
    struct stat info = {};
    const std::string imgPath = ChangeFileExt(options.CcdPath, ".img");
    const std::int64_t sectors = ::stat(imgPath.c_str(), &info) == 0 ? info.st_size / 2352 : 0;
    TProgressLine progress(stderr, sectors);
    if (!options.Quiet && ::isatty(STDERR_FILENO))
        ExportJob.SetProgressHandler(progress.Handler());

    ExportJob.Run(options.CcdPath, cuePath, {options.Force, options.SingleFile, options.Strict});

    const TCueExportReport& report = ExportJob.Report;
    PrintWarnings(report.Warnings);
    switch (ExportJob.Status.load())
    {
    case csSucceeded:
        if (!options.Quiet)
            std::fputs(CueExportSummary(report).c_str(), stdout);
        return ecSuccess;
    case csCanceled: std::fprintf(stderr, "Export was canceled.\n"); return ecCanceled;
    default: break;
    }
    const std::string reason = ExportJob.Error.Text();
    std::fprintf(stderr, "Cannot export \"%s\": %s%s\n", options.CcdPath.c_str(), reason.c_str(),
                 reason.ends_with("already exists.") ? " Use --force to overwrite it." : "");
    return report.SetUnreadable ? ecLoadError : ecFailed;
}

} // namespace

int main(int argc, char** argv)
{
    FailWritesPastSizeLimit();
    OnCancelSignals(CancelOnSignal);

    const TCommandLine commandLine = ParseCommandLine(argc, argv);
    if (commandLine.Stop)
    {
        std::fputs(commandLine.Output.c_str(), stdout);
        std::fputs(commandLine.Error.c_str(), stderr);
        return commandLine.ExitCode;
    }
    const TCliOptions& options = commandLine.Options;
    if (options.ToCue)
        return ExportSet(options);
    if (options.Verify)
        return VerifySet(options);
    if (options.Layout)
        return PrintLayout(options);
    if (options.Sheets.size() > 1)
        return RunBatch(options, PlanBatch(options.Sheets, options.OutputDir));
    return ConvertOne(options);
}
