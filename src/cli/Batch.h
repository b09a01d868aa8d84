// SPDX-License-Identifier: GPL-3.0-or-later
// Batch conversion: several sheets, up to N at once, one status line per finished sheet and a summary.
#pragma once

#include "cli/Options.h"

#include <string>
#include <vector>

struct TBatchTask
{
    std::string CuePath;
    std::string CcdPath;
    std::string Refusal; // set when another sheet of the batch writes CcdPath or reads one of its files
    std::size_t InputFiles = 0; // the files the sheet names, each held open while it converts
};

// Where each sheet's set goes: beside the sheet, or into outputDir named after it. A second sheet
// whose set would land on the first's (by any name: links, folders reached twice) is refused, never
// overwritten, and so is a sheet whose set would overwrite a file that another sheet reads.
std::vector<TBatchTask> PlanBatch(const std::vector<std::string>& sheets, const std::string& outputDir);

// How many sheets may convert at once: as asked, but no more than the limit of open files allows
// for the sheet that holds the most. Says so on stderr when it has to take fewer.
std::size_t BatchWorkers(std::size_t asked, const std::vector<TBatchTask>& tasks);

// Converts every task; SIGINT and SIGTERM cancel the running sheets and start no new one.
// Returns the worst exit code of the sheets.
int RunBatch(const TCliOptions& options, const std::vector<TBatchTask>& tasks);
