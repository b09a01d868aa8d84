// SPDX-License-Identifier: GPL-3.0-or-later
#include "image/Outputplan.h"

#include "cuesheet/Lucue.h"
#include "fileio/Paths.h"
#include "text/Asciitext.h"

#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// A .ccd path whose own .img or .sub path it is, or empty.
std::string SameFileProblem(const std::string& ccdPath)
{
    const std::string ext = ToLowerAscii(FileExtOf(ccdPath));
    if (ext != ".img" && ext != ".sub")
        return {};
    return "\"" + ccdPath + "\" cannot be the .ccd file: its " + ext +
           " file would be the same file. Choose a name that ends in .ccd.";
}

} // namespace

TOutputFile InspectOutput(const std::string& path)
{
    TOutputFile file{path, PathKind(path), {}};
    struct stat info = {};
    if (file.Kind == pkBrokenLink)
        file.WriteDenied = std::make_error_code(std::errc::permission_denied);
    else if (file.Kind == pkRegular && ::access(path.c_str(), W_OK) != 0)
        file.WriteDenied = std::error_code(errno, std::generic_category());
    else if (file.Kind == pkRegular && ::stat(path.c_str(), &info) == 0 &&
             (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        file.WriteDenied = std::make_error_code(std::errc::permission_denied);
    return file;
}

std::array<std::string, 3> OutputNames(const std::string& ccdPath)
{
    return {ccdPath, ChangeFileExt(ccdPath, ".img"), ChangeFileExt(ccdPath, ".sub")};
}

bool IsConversionInput(const std::string& path, const TLuCueSheet& sheet)
{
    for (const std::string& input : {sheet.CuePath, sheet.CdTextFile, sheet.SubQPatchFile})
    {
        if (IsSameFile(input, path))
            return true;
    }
    // The data file sources were opened by paths that may differ from this one.
    for (const auto& file : sheet.Files)
    {
        if (file && file->RefersTo(path))
            return true;
    }
    return false;
}

TOutputPlan PlanOutputs(const std::string& ccdPath, const TLuCueSheet& sheet)
{
    TOutputPlan plan;
    plan.Problem = SameFileProblem(ccdPath);
    const std::array<std::string, 3> names = OutputNames(ccdPath);
    for (std::size_t i = 0; i < names.size(); ++i)
    {
        plan.Files[i] = InspectOutput(names[i]);
        if (plan.Problem.empty() && IsConversionInput(names[i], sheet))
            plan.Problem = "\"" + names[i] + "\" is an input of the conversion and cannot be overwritten.";
    }
    return plan;
}
