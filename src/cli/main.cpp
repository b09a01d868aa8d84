// sarvex-cli: converts a cue sheet into the .ccd/.img/.sub image set, or prints its disc layout.
#include "cli/Progressline.h"
#include "cuesheet/Lucue.h"
#include "image/Conversion.h"
#include "image/Layoutreport.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

enum TExitCode : int
{
    ecSuccess = 0,
    ecFailed = 1,
    ecLoadError = 2,
    ecCanceled = 3,
    ecUsage = 64,
};

constexpr const char* USAGE = "Usage: sarvex-cli [--no-edc-ecc] [--force] [--quiet] CUE_FILE [CCD_FILE]\n"
                              "       sarvex-cli --layout CUE_FILE\n"
                              "       sarvex-cli --help | --version\n";

constexpr const char* HELP =
    "\n"
    "Converts the disc described by CUE_FILE into CCD_FILE and the .img and .sub files beside it.\n"
    "CCD_FILE defaults to CUE_FILE with its extension replaced by .ccd.\n"
    "\n"
    "  --no-edc-ecc  keep the mode header, EDC and ECC of raw data sectors as they are\n"
    "  --force       overwrite existing output files (read-only ones are never overwritten)\n"
    "  --quiet       print neither progress nor a summary\n"
    "  --layout      print the disc layout report and convert nothing\n"
    "  --help        print this help\n"
    "  --version     print the version\n"
    "\n"
    "Exit status: 0 success, 1 conversion failed or refused, 2 the cue sheet could not be loaded,\n"
    "3 canceled (SIGINT or SIGTERM), 64 usage error.\n";

struct TOptions
{
    bool CorrectEdcEcc = true;
    bool Force = false;
    bool Quiet = false;
    bool Layout = false;
    bool Help = false;
    bool Version = false;
    std::vector<std::string> Paths;
};

// The one job of the process; the signal handler only stores into its atomic status.
TConversionJob Job;

extern "C" void CancelOnSignal(int)
{
    Job.RequestCancel();
}

void InstallSignalHandlers()
{
    struct sigaction action = {};
    action.sa_handler = CancelOnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

std::optional<TOptions> ParseArguments(int argc, char** argv)
{
    TOptions options;
    bool onlyPaths = false;
    for (int i = 1; i < argc; ++i)
    {
        const std::string arg = argv[i];
        if (onlyPaths || arg.empty() || arg[0] != '-' || arg == "-")
            options.Paths.push_back(arg);
        else if (arg == "--")
            onlyPaths = true;
        else if (arg == "--no-edc-ecc")
            options.CorrectEdcEcc = false;
        else if (arg == "--force")
            options.Force = true;
        else if (arg == "--quiet")
            options.Quiet = true;
        else if (arg == "--layout")
            options.Layout = true;
        else if (arg == "--help" || arg == "-h")
            options.Help = true;
        else if (arg == "--version")
            options.Version = true;
        else
        {
            std::fprintf(stderr, "sarvex-cli: unknown option \"%s\"\n", arg.c_str());
            return std::nullopt;
        }
    }
    if (options.Help || options.Version)
        return options;
    const bool convertOptions = !options.CorrectEdcEcc || options.Force || options.Quiet;
    if (options.Layout ? (options.Paths.size() != 1 || convertOptions)
                       : (options.Paths.empty() || options.Paths.size() > 2))
    {
        std::fputs("sarvex-cli: wrong arguments\n", stderr);
        return std::nullopt;
    }
    return options;
}

// The folder part of a path as the file system sees it: "." for a bare name, "/" for the root.
std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool FileExists(const std::string& path)
{
    struct stat info = {};
    return ::lstat(path.c_str(), &info) == 0;
}

// Read-only as the user sees it: no write permission bit, or no write access for this process.
// The mode bits count even for root, who could write anyway.
bool IsReadOnly(const std::string& path)
{
    struct stat info = {};
    if (::stat(path.c_str(), &info) != 0)
        return FileExists(path); // a dangling link cannot be written through either
    return (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(path.c_str(), W_OK) != 0;
}

// Refuses existing outputs unless forced, and read-only ones always; nothing is written before.
bool CheckOutputs(const std::vector<std::string>& paths, bool force, const TLuCueSheet& sheet)
{
    for (const std::string& path : paths)
    {
        if (!FileExists(path))
            continue;
        if (IsConversionInput(path, sheet))
        {
            std::fprintf(stderr, "\"%s\" is an input of the conversion and cannot be overwritten.\n", path.c_str());
            return false;
        }
        if (!force)
        {
            std::fprintf(stderr, "\"%s\" already exists. Use --force to overwrite it.\n", path.c_str());
            return false;
        }
        if (IsReadOnly(path))
        {
            std::fprintf(stderr, "\"%s\" is a read-only file.\n", path.c_str());
            return false;
        }
    }
    return true;
}

int Convert(const TOptions& options, TLuCueSheet& sheet)
{
    const std::string ccdPath = options.Paths.size() > 1 ? options.Paths[1] : ChangeFileExt(options.Paths[0], ".ccd");
    const std::string imgPath = ChangeFileExt(ccdPath, ".img");
    const std::string subPath = ChangeFileExt(ccdPath, ".sub");

    const std::string folder = FolderOf(ccdPath);
    struct stat info = {};
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
    {
        std::fprintf(stderr, "The output folder \"%s\" does not exist.\n", folder.c_str());
        return ecFailed;
    }
    if (!CheckOutputs({ccdPath, imgPath, subPath}, options.Force, sheet))
        return ecFailed;

    const std::int64_t sectors = std::max<std::int64_t>(0, sheet.LeadOutAddress() - PROGRAM_START);
    TProgressLine progress(stderr, sectors);
    if (!options.Quiet && ::isatty(STDERR_FILENO))
        Job.SetProgressHandler(TProgressLine::Handler, &progress);

    Job.Run(ccdPath, options.CorrectEdcEcc, sheet);

    switch (Job.Status.load())
    {
    case csSucceeded:
        // "successfull" keeps its historic spelling: users' scripts match the text.
        if (!options.Quiet)
            std::printf("Operation was successfull.\n%lld sectors written to \"%s\" and \"%s\".\n",
                        static_cast<long long>(Job.SectorsWritten), imgPath.c_str(), subPath.c_str());
        return ecSuccess;
    case csCancelRequested:
        std::fprintf(stderr, "Operation was canceled.\n%lld sectors written to \"%s\" and \"%s\".\n",
                     static_cast<long long>(Job.SectorsWritten), imgPath.c_str(), subPath.c_str());
        return ecCanceled;
    default:
        std::fprintf(stderr, "Operation was failure.\n");
        if (!Job.ErrorText.empty())
            std::fprintf(stderr, "%s\n", Job.ErrorText.c_str());
        return ecFailed;
    }
}

} // namespace

int main(int argc, char** argv)
{
    InstallSignalHandlers();

    const std::optional<TOptions> options = ParseArguments(argc, argv);
    if (!options)
    {
        std::fputs(USAGE, stderr);
        return ecUsage;
    }
    if (options->Help)
    {
        std::fputs(USAGE, stdout);
        std::fputs(HELP, stdout);
        return ecSuccess;
    }
    if (options->Version)
    {
        std::printf("sarvex-cli %s\n", SARVEX_VERSION);
        return ecSuccess;
    }

    TLuCueSheet sheet;
    if (!sheet.Load(options->Paths[0]))
    {
        // Exactly the text of the desktop program's error box.
        std::fprintf(stderr, "%s\n", CueErrorText(sheet.ErrorCode).c_str());
        return ecLoadError;
    }

    if (options->Layout)
    {
        std::string report = BuildLayoutReport(BuildDiscLayout(sheet));
        if (report.empty() || report.back() != '\n')
            report += '\n';
        std::fputs(report.c_str(), stdout);
        return ecSuccess;
    }
    return Convert(*options, sheet);
}
