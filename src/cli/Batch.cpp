// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/Batch.h"

#include "cli/Batchreport.h"
#include "cli/Sheetconversion.h"
#include "cli/Signals.h"
#include "cuesheet/Lucue.h"
#include "fileio/Paths.h"
#include "image/Conversion.h"
#include "image/Outputplan.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

namespace {

// What the signal handler reaches: plain atomics only.
std::atomic<bool> CancelAll{false};
TConversionJob* Jobs = nullptr;
std::atomic<std::size_t> JobCount{0};

extern "C" void CancelBatch(int)
{
    CancelAll.store(true);
    const std::size_t count = JobCount.load();
    for (std::size_t i = 0; i < count; ++i)
        Jobs[i].RequestCancel();
}

// A batch draws no count line (the status lines own the terminal), but a cancel stops a count.
bool CountUntilCanceled(std::int64_t, std::int64_t, const std::string&)
{
    return !CancelAll.load();
}

struct TSlot
{
    TBatchReport* Report = nullptr;
    std::size_t Index = 0;
};

class TBatchRun
{
public:
    TBatchRun(const TCliOptions& options, const std::vector<TBatchTask>& tasks, TBatchReport& report)
        : Options(options), Tasks(tasks), Report(report)
    {}

    // One worker: takes the next sheet until none is left, the batch is cancelled or, with
    // --fail-fast, a sheet has failed. Its job is reused; each run starts from no outcome.
    void Work(TConversionJob& job, TSlot& slot)
    {
        job.SetProgressHandler(
            [&slot](TProgressEvent event, std::int32_t value) { slot.Report->Progress(slot.Index, event, value); });
        for (;;)
        {
            if (CancelAll.load() || job.CancelRequested() || (Options.FailFast && Failed.load()))
                return;
            const std::size_t index = Next.fetch_add(1);
            if (index >= Tasks.size())
                return;

            const TBatchTask& task = Tasks[index];
            TSheetOutcome outcome;
            if (!task.Refusal.empty())
                outcome.Reason = task.Refusal;
            else
                outcome = ConvertSheet(Options, task.CuePath, task.CcdPath, job,
                                       [&](TConversionJob&, const TLuCueSheet&, std::int64_t sectors) {
                                           Report.Started(slot.Index, sectors);
                                       },
                                       CountUntilCanceled);
            if (outcome.Status == ssFailed || outcome.Status == ssNotLoaded)
                Failed.store(true);
            Report.Finished(slot.Index, task.CuePath, outcome);
        }
    }

private:
    const TCliOptions& Options;
    const std::vector<TBatchTask>& Tasks;
    TBatchReport& Report;
    std::atomic<std::size_t> Next{0};
    std::atomic<bool> Failed{false};
};

// A file by its identity, so that any two names of it meet.
using TFileId = std::pair<dev_t, ino_t>;

std::optional<TFileId> IdOf(const std::string& path)
{
    struct stat info = {};
    if (::stat(path.c_str(), &info) != 0)
        return std::nullopt;
    return TFileId{info.st_dev, info.st_ino};
}

// One key for every name of an output: its identity where it exists, else its folder's identity and
// its name, which no spelling of the folder ("./", "../y/", a link) changes.
std::string OutputKey(const std::string& path)
{
    if (const auto id = IdOf(path))
        return "id " + std::to_string(id->first) + ":" + std::to_string(id->second);
    if (const auto folder = IdOf(FolderOf(path)))
        return "in " + std::to_string(folder->first) + ":" + std::to_string(folder->second) + " " + BaseName(path);
    // No such folder: the run fails there whichever sheet it is.
    std::error_code error;
    return "path " + std::filesystem::absolute(path, error).lexically_normal().string();
}

// A set must not overwrite a file that another sheet of the batch reads, whichever runs first: the
// other sheet would lose its data, or be converted from the set's bytes and reported ok.
void RefuseOverwritingInputs(std::vector<TBatchTask>& tasks)
{
    std::map<TFileId, std::vector<std::size_t>> readers; // file -> the sheets that read it
    for (std::size_t i = 0; i < tasks.size(); ++i)
    {
        std::vector<std::string> inputs = TLuCueSheet::NamedFiles(tasks[i].CuePath);
        tasks[i].InputFiles = inputs.size();
        inputs.push_back(tasks[i].CuePath);
        for (const std::string& input : inputs)
            if (const auto id = IdOf(input))
                readers[*id].push_back(i);
    }
    for (std::size_t i = 0; i < tasks.size(); ++i)
    {
        TBatchTask& task = tasks[i];
        for (const std::string& output : OutputNames(task.CcdPath))
        {
            const auto id = IdOf(output);
            const auto found = id ? readers.find(*id) : readers.end();
            if (!task.Refusal.empty() || found == readers.end())
                continue;
            // Its own inputs the sheet's conversion refuses in its own words.
            for (const std::size_t reader : found->second)
                if (reader != i)
                {
                    task.Refusal = "\"" + output + "\" is an input of \"" + tasks[reader].CuePath +
                                   "\" and cannot be overwritten.";
                    break;
                }
        }
    }
}

} // namespace

std::vector<TBatchTask> PlanBatch(const std::vector<std::string>& sheets, const std::string& outputDir)
{
    namespace fs = std::filesystem;
    std::vector<TBatchTask> tasks;
    std::map<std::string, std::size_t> writers; // output -> the task that writes it
    for (const std::string& sheet : sheets)
    {
        TBatchTask task;
        task.CuePath = sheet;
        if (outputDir.empty())
            task.CcdPath = ChangeFileExt(sheet, ".ccd");
        else
        {
            std::string folder = outputDir;
            if (folder.back() != '/')
                folder += '/';
            task.CcdPath = folder + ChangeFileExt(fs::path(sheet).filename().string(), ".ccd");
        }
        for (const std::string& output : OutputNames(task.CcdPath))
        {
            const auto [writer, inserted] = writers.emplace(OutputKey(output), tasks.size());
            if (!inserted && task.Refusal.empty() && writer->second != tasks.size())
                task.Refusal = "\"" + task.CcdPath + "\" is already the output of \"" + sheets[writer->second] + "\".";
        }
        tasks.push_back(task);
    }
    RefuseOverwritingInputs(tasks);
    return tasks;
}

std::size_t BatchWorkers(std::size_t asked, const std::vector<TBatchTask>& tasks)
{
    std::size_t workers = std::min(asked, tasks.size());
    std::size_t inputs = 0;
    for (const TBatchTask& task : tasks)
        inputs = std::max(inputs, task.InputFiles);
    // A conversion holds its inputs, three outputs, a pipe and the sheet; the rest is the process's own.
    constexpr std::size_t PER_CONVERSION = 8;
    constexpr std::size_t RESERVED = 32;
    rlimit limit = {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return workers;
    const auto open = static_cast<std::size_t>(limit.rlim_cur);
    const std::size_t allowed = std::max<std::size_t>(1, (open > RESERVED ? open - RESERVED : 0) /
                                                             (inputs + PER_CONVERSION));
    if (workers > allowed)
    {
        std::fprintf(stderr, "sarvex-cli: converting %zu sheets at once, not %zu: the limit of %zu open files allows no more\n",
                     allowed, workers, open);
        workers = allowed;
    }
    return workers;
}

int RunBatch(const TCliOptions& options, const std::vector<TBatchTask>& tasks)
{
    const std::size_t workers = BatchWorkers(
        options.Jobs != 0 ? options.Jobs : std::max(1u, std::thread::hardware_concurrency()), tasks);

    TBatchReport report(tasks.size(), workers, options.Quiet, !options.Quiet && ::isatty(STDERR_FILENO));
    TBatchRun run(options, tasks, report);
    const auto jobs = std::make_unique<TConversionJob[]>(workers);
    for (std::size_t i = 0; i < workers; ++i)
        jobs[i].SingleCopy = SingleCopyPays(workers);
    std::vector<TSlot> slots(workers);
    Jobs = jobs.get();
    JobCount.store(workers);
    OnCancelSignals(CancelBatch);

    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < workers; ++i)
    {
        slots[i] = {&report, i};
        threads.emplace_back([&run, &jobs, &slots, i] { run.Work(jobs[i], slots[i]); });
    }
    for (std::thread& thread : threads)
        thread.join();
    JobCount.store(0);
    return report.Summarize();
}
