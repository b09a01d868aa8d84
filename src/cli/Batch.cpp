#include "cli/Batch.h"

#include "cli/Batchreport.h"
#include "cli/Sheetconversion.h"
#include "cli/Signals.h"
#include "image/Conversion.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <map>
#include <memory>
#include <thread>

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
bool CountUntilCanceled(std::int64_t, std::int64_t, const std::string&, void*)
{
    return !CancelAll.load();
}

struct TSlot
{
    TBatchReport* Report = nullptr;
    std::size_t Index = 0;
};

std::int32_t SlotProgress(TProgressEvent event, std::int32_t value, void* context)
{
    const TSlot& slot = *static_cast<TSlot*>(context);
    slot.Report->Progress(slot.Index, event, value);
    return 0;
}

class TBatchRun
{
public:
    TBatchRun(const TCliOptions& options, const std::vector<TBatchTask>& tasks, TBatchReport& report)
        : Options(options), Tasks(tasks), Report(report)
    {}

    // One worker: takes the next sheet until none is left, the batch is cancelled or, with
    // --fail-fast, a sheet has failed. Its job is reused; a finished run leaves its status set.
    void Work(TConversionJob& job, TSlot& slot)
    {
        job.SetProgressHandler(SlotProgress, &slot);
        for (;;)
        {
            if (CancelAll.load() || (Options.FailFast && Failed.load()))
                return;
            TConvertStatus last = job.Status.load();
            if (last == csCancelRequested || !job.Status.compare_exchange_strong(last, csIdle))
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
                                       {CountUntilCanceled, nullptr});
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

} // namespace

std::vector<TBatchTask> PlanBatch(const std::vector<std::string>& sheets, const std::string& outputDir)
{
    namespace fs = std::filesystem;
    std::vector<TBatchTask> tasks;
    std::map<fs::path, std::string> writers; // control file -> the sheet that writes it
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
        std::error_code error;
        const fs::path key = fs::absolute(task.CcdPath, error).lexically_normal();
        const auto [writer, inserted] = writers.emplace(key, sheet);
        if (!inserted)
            task.Refusal = "\"" + task.CcdPath + "\" is already the output of \"" + writer->second + "\".";
        tasks.push_back(task);
    }
    return tasks;
}

int RunBatch(const TCliOptions& options, const std::vector<TBatchTask>& tasks)
{
    std::size_t workers = options.Jobs != 0 ? options.Jobs : std::max(1u, std::thread::hardware_concurrency());
    workers = std::min(workers, tasks.size());

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
