// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/Options.h"

#include "text/Asciitext.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <filesystem>
#include <string_view>
#include <utility>

namespace {

constexpr const char* USAGE =
    "Usage: sarvex-cli [--no-edc-ecc] [--force] [--keep-partial] [--quiet] CUE_FILE [CCD_FILE]\n"
    "  or:  sarvex-cli [options] [--output-dir DIR] [-j N] [--fail-fast] CUE_FILE...\n"
    "  or:  sarvex-cli --layout [--subq-patch FILE | --no-subq-patch] [--no-cd-text] CUE_FILE\n"
    "  or:  sarvex-cli --verify [--max-errors N] [--json] [--quiet] CCD_FILE\n"
    "  or:  sarvex-cli --to-cue [--single-file] [--strict] [--force] [--quiet] CCD_FILE [CUE_FILE]\n"
    "  or:  sarvex-cli --help | --version\n";

constexpr const char* DESCRIPTION =
    "Converts the disc described by CUE_FILE into CCD_FILE and the .img and .sub files beside it.\n"
    "CCD_FILE defaults to CUE_FILE with its extension replaced by .ccd.\n"
    "Several CUE_FILEs are converted as a batch: each set goes beside its sheet or into the\n"
    "--output-dir, one status line is printed per sheet and a summary at the end.\n"
    "--verify reads the image set CCD_FILE names and reports what is wrong with it; it writes nothing.\n"
    "--to-cue writes the image set CCD_FILE names as CUE_FILE (default: CCD_FILE with .cue) and one\n"
    "BINARY file per track beside it.\n";

constexpr const char* EXIT_STATUS =
    "Exit status: 0 success, 1 conversion failed or refused, 2 the cue sheet or its subchannel\n"
    "side-car could not be loaded, 3 cancelled (SIGINT or SIGTERM), 64 usage error. A batch exits\n"
    "with the worst status of its sheets.\n"
    "--verify: 0 the set is sound, 1 problems found, 2 the set cannot be read, 3 cancelled, 64 usage error.\n"
    "--to-cue: 0 written, 1 refused or failed, 2 the set cannot be read, 3 cancelled, 64 usage error.\n";

// The one place an option is declared: its names, what it sets and its line in --help, in the
// order --help lists them. Options without a help line go into the group "".
void DeclareOptions(CLI::App& app, TCliOptions& options)
{
    app.add_flag_callback(
        "--no-edc-ecc", [&options] { options.CorrectEdcEcc = false; },
        "keep the mode header, EDC and ECC of raw data sectors as they are");
    app.add_flag("-f,--force", options.Force, "overwrite existing output files (read-only ones are never overwritten)");
    app.add_flag("--keep-partial", options.KeepPartial,
                 "after a failure or cancel, keep the sectors written (else the files there before stay)");
    app.add_flag("-q,--quiet", options.Quiet, "print neither progress nor a summary");
    app.add_flag("--layout", options.Layout, "print the disc layout report and convert nothing");
    app.add_flag("--verify", options.Verify, "check the .ccd/.img/.sub set CCD_FILE names and print a report");
    app.add_flag("--to-cue", options.ToCue, "write the .ccd/.img/.sub set CCD_FILE names as a cue sheet");
    app.add_flag("--single-file", options.SingleFile, "--to-cue: write one .bin for all tracks");
    app.add_flag("--strict", options.Strict, "--to-cue: refuse a set with damage instead of warning about it");
    app.add_option("--max-errors", options.MaxErrors, "list at most N problems of a --verify report (default 20)")
        ->type_name("N");
    app.add_flag("--json", options.Json, "print the --verify report as one JSON object");
    app.add_option("-o,--output-dir", options.OutputDir, "write each set into DIR, named after its sheet")
        ->type_name("DIR");
    app.add_option("-j,--jobs", options.Jobs, "convert up to N sheets at once (default 1, 0: one per core)")
        ->type_name("N");
    app.add_flag("--fail-fast", options.FailFast, "start no further sheet once one has failed");
    app.add_option("--subq-patch", options.SubQPatch,
                   "take the damaged Q frames of a LibCrypt disc from FILE (.sbi or .lsd)")
        ->type_name("FILE");
    app.add_flag("--no-subq-patch", options.NoSubQPatch,
                 "ignore the .lsd or .sbi file named like the sheet in its folder");
    app.add_flag_callback(
        "--no-cd-text", [&options] { options.SheetCdText = false; },
        "write no CD-TEXT from the sheet's TITLE, PERFORMER... lines (a CDTEXTFILE still counts)");
    app.add_flag("--help", options.Help, "print this help");
    app.add_flag("-h", options.Help)->group("");
    app.add_flag("--version", options.Version, "print the version");
    app.add_option("paths", options.Paths)->group("");
}

// What is wrong with the first argument before "--" that names no option exactly, or empty. CLI11
// alone would take "-5" or "---x" as a file name and split "-hx"; here they are unknown options, and
// flags take no value ("--force=no"). An option with a value takes it attached ("--jobs=4", "-j4") or
// next; a count must be a number.
std::string FirstWrongOption(const CLI::App& app, int argc, const char* const* argv)
{
    for (int i = 1; i < argc; ++i)
    {
        const std::string arg = argv[i];
        if (arg == "--")
            break;
        if (arg.size() < 2 || arg[0] != '-')
            continue;
        const std::string name = arg[1] == '-' ? arg.substr(0, arg.find('=')) : arg.substr(0, 2);
        const CLI::Option* option = app.get_option_no_throw(name);
        if (option == nullptr || option->get_positional() || (option->get_expected_min() == 0 && arg[1] != '-' &&
                                                               name != arg))
            return "unknown option \"" + arg + "\"";
        if (option->get_expected_min() == 0)
        {
            if (name != arg)
                return name + " takes no value";
            continue;
        }
        const std::size_t attached = arg[1] == '-' ? name.size() + 1 : 2;
        if (name == arg && i + 1 == argc)
            return name + " needs a value";
        const std::string value = name == arg ? argv[++i] : arg.substr(std::min(attached, arg.size()));
        if (option->get_type_name() == "N" && (value.empty() || value.find_first_not_of("0123456789") != std::string::npos))
            return name + " must be 0 or more";
    }
    return {};
}

// Names as --help shows them: "-j, --jobs N".
std::string ShownNames(const CLI::Option& option)
{
    std::string names;
    for (const std::string& name : option.get_snames())
        names += "-" + name + ", ";
    for (const std::string& name : option.get_lnames())
        names += "--" + name + ", ";
    names.resize(names.size() - 2);
    if (option.get_expected_min() > 0)
        names += " " + option.get_type_name();
    return names;
}

// The combinations --to-cue takes: --force and --quiet, a CCD_FILE and a CUE_FILE.
std::string CheckToCue(const TCliOptions& options)
{
    const std::string wrong = "sarvex-cli: wrong arguments: ";
    if (!options.ToCue)
        return wrong + (options.SingleFile ? "--single-file" : "--strict") + " goes with --to-cue only\n";
    const std::pair<bool, const char*> others[] = {
        {options.Verify, "--verify"},           {options.Layout, "--layout"},
        {!options.CorrectEdcEcc, "--no-edc-ecc"}, {options.KeepPartial, "--keep-partial"},
        {!options.OutputDir.empty(), "--output-dir"}, {options.Jobs != 1, "--jobs"},
        {options.FailFast, "--fail-fast"},      {!options.SubQPatch.empty(), "--subq-patch"},
        {options.NoSubQPatch, "--no-subq-patch"}, {!options.SheetCdText, "--no-cd-text"},
        {options.Json, "--json"},               {options.MaxErrors != 20, "--max-errors"}};
    for (const auto& [given, name] : others)
        if (given)
            return wrong + "--to-cue cannot be given with " + name + "\n";
    if (options.Paths.empty())
        return wrong + "no CCD_FILE given\n";
    if (options.Paths.size() > 2)
        return wrong + "one CCD_FILE and one CUE_FILE only; \"" + options.Paths[2] + "\" is one too many\n";
    return {};
}

// The combinations that make no sense, and sheets that are folders or globs that matched nothing
// (the shell passes those on unexpanded).
std::string CheckCombination(const TCliOptions& options)
{
    if (options.Help || options.Version)
        return {};
    // "wrong arguments" stays first, for the scripts that match it; what follows names the argument.
    const std::string wrong = "sarvex-cli: wrong arguments: ";
    const std::pair<bool, const char*> convertOptions[] = {
        {!options.CorrectEdcEcc, "--no-edc-ecc"}, {options.Force, "--force"},
        {options.KeepPartial, "--keep-partial"},  {!options.OutputDir.empty(), "--output-dir"},
        {options.Jobs != 1, "--jobs"},            {options.FailFast, "--fail-fast"}};
    const std::pair<bool, const char*> sheetOptions[] = {{options.Layout, "--layout"},
                                                         {!options.SubQPatch.empty(), "--subq-patch"},
                                                         {options.NoSubQPatch, "--no-subq-patch"},
                                                         {!options.SheetCdText, "--no-cd-text"}};
    const auto firstGiven = [](const auto& list) -> const char* {
        for (const auto& [given, name] : list)
            if (given)
                return name;
        return nullptr;
    };
    const auto countOf = [&](const char* what, std::size_t wanted) -> std::string {
        if (options.Paths.empty())
            return wrong + "no " + what + " given\n";
        if (options.Paths.size() > wanted)
            return wrong + "one " + what + " only; \"" + options.Paths[wanted] + "\" is one too many\n";
        return {};
    };
    if (options.ToCue || options.SingleFile || options.Strict)
        return CheckToCue(options);
    if (options.Verify || options.Json || options.MaxErrors != 20)
    {
        if (!options.Verify)
            return wrong + (options.Json ? "--json" : "--max-errors") + " goes with --verify only\n";
        const char* other = firstGiven(convertOptions);
        other = other ? other : firstGiven(sheetOptions);
        if (other)
            return wrong + "--verify cannot be given with " + other + "\n";
        return countOf("CCD_FILE", 1);
    }
    if (options.Layout)
    {
        if (const char* other = options.Quiet ? "--quiet" : firstGiven(convertOptions))
            return wrong + "--layout cannot be given with " + other + "\n";
        if (std::string error = countOf("CUE_FILE", 1); !error.empty())
            return error;
    }
    if (options.Paths.empty())
        return wrong + "no CUE_FILE given\n";
    const std::vector<std::string>& paths = options.Paths;
    const bool ccdGiven = paths.size() == 2 && !EndsWithIgnoreCase(paths[1], ".cue");
    if (ccdGiven && !options.OutputDir.empty())
        return "sarvex-cli: CCD_FILE and --output-dir cannot be given together\n";
    if (!options.SubQPatch.empty() && options.NoSubQPatch)
        return "sarvex-cli: --subq-patch and --no-subq-patch cannot be given together\n";
    if (!options.SubQPatch.empty() && paths.size() > (ccdGiven ? 2u : 1u))
        return "sarvex-cli: --subq-patch cannot be given with more than one CUE_FILE\n";
    if (paths.size() > 2)
        for (const std::string& path : paths)
            if (EndsWithIgnoreCase(path, ".ccd"))
                return "sarvex-cli: CCD_FILE cannot be given with more than one CUE_FILE (\"" + path + "\")\n";
    for (std::size_t i = 0; i < (ccdGiven ? 1 : paths.size()); ++i)
    {
        std::error_code error;
        if (std::filesystem::is_directory(paths[i], error))
            return "sarvex-cli: \"" + paths[i] + "\" is a folder, not a cue sheet\n";
        if (paths[i].find_first_of("*?[") != std::string::npos && !std::filesystem::exists(paths[i], error))
            return "sarvex-cli: \"" + paths[i] + "\" matches no file\n";
    }
    return {};
}

// The sheets and the control file the paths name.
void SortPaths(TCliOptions& options)
{
    const std::vector<std::string>& paths = options.Paths;
    if (options.ToCue)
    {
        options.CcdPath = paths.empty() ? std::string() : paths[0];
        options.CuePath = paths.size() > 1 ? paths[1] : std::string();
    }
    else if (options.Verify)
        options.CcdPath = paths.empty() ? std::string() : paths[0];
    else if (paths.size() == 2 && !EndsWithIgnoreCase(paths[1], ".cue"))
    {
        options.Sheets = {paths[0]};
        options.CcdPath = paths[1];
    }
    else
        options.Sheets = paths;
}

} // namespace

std::string HelpText()
{
    TCliOptions unused;
    CLI::App app;
    app.set_help_flag();
    DeclareOptions(app, unused);

    std::vector<const CLI::Option*> shown;
    std::size_t width = 0;
    for (const CLI::Option* option : app.get_options())
        if (!option->get_group().empty() && !option->get_positional())
        {
            shown.push_back(option);
            width = std::max(width, ShownNames(*option).size());
        }

    std::string text = std::string(USAGE) + "\n" + DESCRIPTION + "\n";
    for (const CLI::Option* option : shown)
    {
        std::string names = ShownNames(*option);
        names.resize(width + 2, ' ');
        text += "  " + names + option->get_description() + "\n";
    }
    return text + "\n" + EXIT_STATUS;
}

TCommandLine ParseCommandLine(int argc, const char* const* argv)
{
    TCommandLine result;
    CLI::App app;
    app.set_help_flag();
    DeclareOptions(app, result.Options);

    std::string error;
    try
    {
        const std::string wrong = FirstWrongOption(app, argc, argv);
        if (!wrong.empty())
            error = "sarvex-cli: " + wrong + "\n";
        else
        {
            app.parse(argc, argv);
            error = CheckCombination(result.Options);
            SortPaths(result.Options);
        }
    }
    catch (const CLI::ParseError& e)
    {
        error = std::string("sarvex-cli: ") + e.what() + "\n";
    }

    const TCliOptions& options = result.Options;
    if (!error.empty())
    {
        result.Stop = true;
        result.ExitCode = ecUsage;
        result.Error = error + USAGE;
    }
    else if (options.Help)
    {
        result.Stop = true;
        result.Output = HelpText();
    }
    else if (options.Version)
    {
        result.Stop = true;
        result.Output = std::string("sarvex-cli ") + SARVEX_VERSION + "\n";
    }
    return result;
}
