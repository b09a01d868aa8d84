// SPDX-License-Identifier: GPL-3.0-or-later
// sarvex-cli's options: what they are, where they are declared, and how the command line becomes them.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

enum TExitCode : int
{
    ecSuccess = 0,
    ecFailed = 1,
    ecLoadError = 2,
    ecCanceled = 3,
    ecUsage = 64,
};

struct TCliOptions
{
    bool CorrectEdcEcc = true;
    bool Force = false;
    bool KeepPartial = false; // a failed or cancelled run keeps what it wrote
    bool Quiet = false;
    bool Layout = false;
    bool Verify = false; // check the image set a .ccd names; write nothing
    bool ToCue = false;  // export the image set a .ccd names to a cue sheet and its track files
    bool SingleFile = false;
    bool Strict = false;
    std::size_t MaxErrors = 20;
    bool Json = false;
    std::string OutputDir;
    unsigned Jobs = 1; // 0: one per core
    bool FailFast = false;
    std::string SubQPatch; // a LibCrypt side-car named on the command line
    bool NoSubQPatch = false;
    bool SheetCdText = true; // CD-TEXT from the sheet's TITLE, PERFORMER... lines
    bool Help = false;
    bool Version = false;
    std::vector<std::string> Paths; // as given

    // Sorted out of Paths: the sheets to convert and the control file named for a single one
    // (--to-cue: the set's control file and the sheet to write).
    std::vector<std::string> Sheets;
    std::string CcdPath;
    std::string CuePath;
};

// What the command line asks for. When Stop is set the process ends with ExitCode after printing
// Output to stdout (help, version) or Error to stderr (a usage error, followed by the usage lines).
struct TCommandLine
{
    TCliOptions Options;
    bool Stop = false;
    int ExitCode = ecSuccess;
    std::string Output;
    std::string Error;
};

TCommandLine ParseCommandLine(int argc, const char* const* argv);

// The text of --help: the usage lines, what the tool does, one line per option and the exit codes.
std::string HelpText();
