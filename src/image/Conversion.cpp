// SPDX-License-Identifier: GPL-3.0-or-later
#include "image/Conversion.h"

#include "cuesheet/Lucue.h"
#include "cuesheet/Sectorcomposer.h"
#include "cuesheet/Subqpatch.h"
#include "fileio/Fileio.h"
#include "fileio/Pagepipe.h"
#include "fileio/Paths.h"
#include "image/Ccdfile.h"
#include "image/Imagewriter.h"
#include "image/Outputplan.h"
#include "image/Outputset.h"
#include "image/Slotring.h"
#include "synthesis/Interleavesubcode.h"
#include "synthesis/Sector.h"
#include "synthesis/Subcode.h"
#include "text/Asciitext.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <ctime>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <vector>

#include <sched.h>

namespace {

inline constexpr std::int32_t FRAMES_PER_STEP = FRAMES_PER_SECOND;
// Sectors per write call: large enough that system calls cost nothing, small enough to stay in cache.
// Smaller batches cost the writer more than they save the composer.
inline constexpr std::int32_t BATCH_SECTORS = 256;
// Batches in flight between the composer and the writer; bounds the memory whatever the disc size.
inline constexpr std::size_t RING_SLOTS = 4;
// Sectors between two starts of writeback: 4 MiB of image.
inline constexpr std::int64_t WRITEBACK_SECTORS = (4 << 20) / SECTOR_SIZE;

using TChannelRecord = std::array<std::uint8_t, SUBCODE_SIZE>;

// Bytes of a batch's main channel that do not pass through its memory: Length bytes from sector First
// on, copied by the kernel from the data file as the writer comes to them (Raw.File set), or else
// waiting in the batch's pipe.
struct TOutsideRun
{
    std::size_t First = 0;
    std::size_t Length = 0;
    TRawBytes Raw;
};

// How the main channel of runs that are a data file's bytes unchanged reaches the image.
struct TRawWay
{
    // Through the batch's pipe rather than its memory, when the kernel cannot copy.
    bool SingleCopy = false;
    // From the data file into the image by the kernel: one copy, and no user-space touch. The writer
    // turns it off when the kernel copies nothing where a read succeeds (another volume).
    std::atomic<bool> KernelCopy{true};
};

struct TBatch
{
    std::unique_ptr<TRawSector[]> Main{new TRawSector[BATCH_SECTORS]};
    std::unique_ptr<TChannelRecord[]> Records{new TChannelRecord[BATCH_SECTORS]};
    // What the composer gave for each sector, before the interleaver.
    std::unique_ptr<TSubChannel[]> Channels{new TSubChannel[BATCH_SECTORS]};
    // With a single copy, audio goes from the data file to the image through here without being
    // copied on the way; the rest of the main channel is in Main.
    std::unique_ptr<TPagePipe> Pipe;
    std::vector<TOutsideRun> OutsideRuns;
    std::int32_t FirstAddress = 0;
    std::int32_t Count = 0;
};

// Composes batches on a thread of its own for the writer, in address order.
using TComposerThread = TRingWorker<TBatch, RING_SLOTS>;
using TBatchRing = TSlotRing<TBatch, RING_SLOTS>;

// P, Q and the R-W packs to a channel record; the packs pass the interleaver on the way.
void EncodeSubchannel(const TSubChannel& channel, TSubCodeInterLeave& interleaver, TChannelRecord& record)
{
    // Without packs in the sector or in the interleaver's memory, the R-W channels stay empty.
    if (!channel.HasPacks && interleaver.IsIdle())
    {
        std::copy(channel.P.begin(), channel.P.end(), record.begin());
        std::copy(channel.Q.begin(), channel.Q.end(), record.begin() + Q_CHANNEL_OFFSET);
        std::fill(record.begin() + Q_CHANNEL_OFFSET + Q_FRAME_SIZE, record.end(), 0);
        return;
    }
    TSubBlock block;
    for (std::size_t k = 0; k < SUBCODE_SIZE; ++k)
        block[k] = static_cast<std::uint8_t>(channel.Packs[k] & 0x3F);
    interleaver.InterleavePacks(block);
    MergePQ(block, channel.P, channel.Q);
    SymbolsToChannels(block, record);
}

// A run's main channel that is a data file's bytes unchanged: left to the kernel's copy at write time,
// or as much as fits into the batch's pipe with the rest read into its place. A failed read leaves the
// pipe as it was.
void FetchRaw(TBatch& batch, std::size_t first, std::size_t count, const TRawBytes& raw, const TRawWay& way)
{
    const std::size_t bytes = count * SECTOR_SIZE;
    auto* place = reinterpret_cast<std::uint8_t*>(&batch.Main[first]);
    if (way.KernelCopy.load())
    {
        const std::size_t held = std::min(raw.Length, bytes);
        std::memset(place + held, 0, bytes - held);
        if (held > 0)
            batch.OutsideRuns.push_back({first, held, raw});
        return;
    }
    const std::size_t piped = way.SingleCopy ? batch.Pipe->Fill(*raw.File, raw.Offset, std::min(raw.Length, bytes)) : 0;
    try
    {
        ReadRaw(raw, piped, std::span(place + piped, bytes - piped));
    }
    catch (...)
    {
        batch.Pipe->Read(std::span(place, piped));
        throw;
    }
    if (piped > 0)
        batch.OutsideRuns.push_back({first, piped, {}});
}

// The batch's main channel to the image, from its memory, the data files and its pipe in turn.
void WriteMainChannel(TImageWriter& image, TBatch& batch)
{
    auto* memory = reinterpret_cast<std::uint8_t*>(batch.Main.get());
    std::size_t from = 0;
    for (const TOutsideRun& run : batch.OutsideRuns)
    {
        const std::size_t start = run.First * SECTOR_SIZE;
        if (start > from)
            image.Write(std::span(memory + from, start - from));
        if (run.Raw.File)
            image.Copy(run.Raw, run.Length);
        else
            // The run's place in memory is free: the way round, should the kernel's way fail.
            image.Drain(*batch.Pipe, run.Length, std::span(memory + start, run.Length));
        from = start + run.Length;
    }
    if (const std::size_t bytes = static_cast<std::size_t>(batch.Count) * SECTOR_SIZE; bytes > from)
        image.Write(std::span(memory + from, bytes - from));
}

struct TComposeResult
{
    bool Refused = false;
    std::int32_t RefusedAddress = 0;
};

// Fills one batch from address on, up to end; false when the loop must end (a cancel request, an
// address no row holds). After a failed read the run is composed again one sector at a time, so that the
// sectors before the failing one are still written; a failure of one sector passes on.
bool FillBatch(TBatch& batch, TSectorComposer& composer, TSubCodeInterLeave& interleaver, std::int32_t& address,
               std::int32_t end, TComposeOptions options, const TRawWay& way, const TJob& job, TComposeResult& result)
{
    std::int32_t runLimit = BATCH_SECTORS;
    while (batch.Count < BATCH_SECTORS && address < end)
    {
        if (job.CancelRequested())
            return false;
        const auto i = static_cast<std::size_t>(batch.Count);
        const std::int32_t want = std::min({BATCH_SECTORS - batch.Count, end - address, runLimit});
        std::int32_t got = 0;
        TRawBytes raw;
        const bool outside = way.SingleCopy || way.KernelCopy.load();
        try
        {
            got = composer.ComposeRun(static_cast<std::uint32_t>(address), want, &batch.Main[i], &batch.Channels[i],
                                      options, outside ? &raw : nullptr);
            if (raw.File)
                FetchRaw(batch, i, static_cast<std::size_t>(got), raw, way);
        }
        catch (...)
        {
            if (want == 1)
                throw;
            runLimit = 1;
            continue;
        }
        if (got == 0)
        {
            result.Refused = true;
            result.RefusedAddress = address;
            return false;
        }
        for (std::size_t s = i; s < i + static_cast<std::size_t>(got); ++s)
            EncodeSubchannel(batch.Channels[s], interleaver, batch.Records[s]);
        batch.Count += got;
        address += got;
    }
    return true;
}

// The composer's loop: every stored address, session after session, unless a cancel request is seen
// first. It alone reads the data files and feeds the interleaver, so the sector order is the
// interleaver's order. A batch never spans the gap between sessions: its addresses run on.
void ComposeSectors(const TLuCueSheet& sheet, TComposeOptions options, const TRawWay& way, const TJob& job,
                    TBatchRing& ring, TComposeResult& result)
{
    TSectorComposer composer(sheet);
    std::exception_ptr error;
    bool ended = false;
    for (const TLbaRange& range : sheet.Model().StoredRanges())
    {
        // The packs of the lead-out and lead-in between are zero: the interleaver starts anew.
        TSubCodeInterLeave interleaver;
        std::int32_t address = range.First + PROGRAM_START;
        const std::int32_t end = range.End + PROGRAM_START;
        while (!ended && address < end)
        {
            TBatch* batch = ring.AcquireFree();
            if (batch == nullptr)
                return;
            batch->FirstAddress = address;
            batch->Count = 0;
            batch->OutsideRuns.clear();
            if (way.SingleCopy && !batch->Pipe)
                batch->Pipe = std::make_unique<TPagePipe>();
            try
            {
                ended = !FillBatch(*batch, composer, interleaver, address, end, options, way, job, result);
            }
            catch (...)
            {
                // The sectors composed before the failure are still written.
                error = std::current_exception();
                ended = true;
            }
            ring.Publish();
        }
    }
    if (error)
        std::rethrow_exception(error);
}

// Lays the side-car's frames over the batch's Q channels. The list is sorted, so one cursor walks it
// alongside the batches and a disc without a side-car pays one comparison per batch.
std::int64_t OverlayQFrames(const std::vector<TSubQPatch>& frames, std::size_t& next, TBatch& batch)
{
    std::int64_t count = 0;
    const std::int32_t end = batch.FirstAddress + batch.Count;
    for (; next < frames.size() && frames[next].Address < end; ++next)
    {
        const std::int32_t i = frames[next].Address - batch.FirstAddress;
        if (i < 0)
            continue;
        std::copy(frames[next].Bytes.begin(), frames[next].Bytes.end(),
                  batch.Records[static_cast<std::size_t>(i)].begin() + Q_CHANNEL_OFFSET);
        ++count;
    }
    return count;
}

} // namespace

bool SingleCopyPays(std::size_t conversionsAtOnce)
{
    cpu_set_t cpus;
    CPU_ZERO(&cpus);
    const std::size_t cores = ::sched_getaffinity(0, sizeof cpus, &cpus) == 0
                                  ? static_cast<std::size_t>(CPU_COUNT(&cpus))
                                  : std::max(1u, std::thread::hardware_concurrency());
    return cores < 2 * std::max<std::size_t>(conversionsAtOnce, 1);
}

namespace {

// Each output must be a file that this run may replace: never a folder or a device, never a file that
// the user could not write (the rename would replace it all the same).
void CheckOutputFile(const TOutputFile& file)
{
    const std::string what = "cannot create \"" + file.Path + "\"";
    if (file.Kind == pkFolder)
        throw std::system_error(std::make_error_code(std::errc::is_a_directory), what);
    if (file.Kind == pkOther)
        throw std::system_error(feNotRegularFile, FileErrorCategory(), what);
    if (file.ReadOnly())
        throw std::system_error(file.WriteDenied, what);
}

// Everything that can be told before a byte is written: the output names, the folder, the room.
void CheckBeforeWriting(const std::string& ccdPath, const TLuCueSheet& sheet, std::int64_t bytes)
{
    const TOutputPlan plan = PlanOutputs(ccdPath, sheet);
    if (!plan.Problem.empty())
        throw std::runtime_error(plan.Problem);
    // Said in the words the command-line tool uses before it starts a job.
    const std::string folder = FolderOf(ccdPath);
    if (std::string problem = OutputFolderProblem(folder); !problem.empty())
        throw std::runtime_error(problem);
    for (const TOutputFile& file : plan.Files)
        CheckOutputFile(file);
    // The old set stays until the new one is complete, so the new one needs all of its room.
    if (const std::int64_t free = FreeSpace(folder); free >= 0 && free < bytes)
        throw std::runtime_error("There is not enough free space in \"" + folder + "\" for the image set: it needs " +
                                 GroupedNumber(bytes) + " bytes, " + GroupedNumber(free) + " are free.");
}

} // namespace

void TConversionJob::Run(const std::string& ccdPath, bool correctEdcEcc, TLuCueSheet& sheet)
{
    SectorsWritten = 0;
    WritebackSectors = 0;
    SubQFramesReplaced = 0;
    PartialKept = false;
    EarlierSetChanged = false;
    RunFramed([&] {
        const std::time_t startedAt = std::time(nullptr);
        sheet.CheckSourcesUnchanged();
        const std::string ccdText = CcdFileText(sheet);
        const std::int64_t sectors = SectorCount(sheet.Model().StoredRanges());
        CheckBeforeWriting(ccdPath, sheet,
                           sectors * static_cast<std::int64_t>(SECTOR_SIZE + SUBCODE_SIZE) +
                               static_cast<std::int64_t>(ccdText.size()));
        TOutputSet set(ccdPath, startedAt);
        const auto noteChanges = [&] {
            EarlierSetChanged = set.Changed() && Status.load() != csSucceeded && !PartialKept;
        };
        try
        {
            WriteSet(set, ccdText, sectors, correctEdcEcc, sheet);
        }
        catch (...)
        {
            noteChanges();
            throw;
        }
        noteChanges();
    });
}

void TConversionJob::WriteSet(TOutputSet& set, const std::string& ccdText, std::int64_t sectors, bool correctEdcEcc,
                              TLuCueSheet& sheet)
{
    set.Ccd.WriteAll(ccdText);
    // The data files may have changed since an earlier run read ahead in them.
    sheet.ReleaseReadAhead();

    Notify(peSetRange, static_cast<std::int32_t>(sectors / FRAMES_PER_STEP + 2));
    Notify(peStep, 0);
    try
    {
        WriteImages(set, correctEdcEcc, sheet);
        if (Status.load() == csIdle && !CancelRequested())
        {
            sheet.CheckSourcesIntact();
            // A file written in place while the run read it may have given old bytes here, new there.
            sheet.CheckSourcesUnchanged();
        }
    }
    catch (...)
    {
        // The run's own failure is what the user must hear of, not a failure to keep its part.
        try
        {
            KeepWhatWasWritten(set);
        }
        catch (...)
        {}
        throw;
    }
    Finish(set);
}

void TConversionJob::WriteImages(TOutputSet& set, bool correctEdcEcc, TLuCueSheet& sheet)
{
    // This thread writes and reports progress; a second one composes ahead of it.
    TComposeResult composed;
    TRawWay way;
    way.SingleCopy = SingleCopy;
    way.KernelCopy.store(KernelCopy);
    TComposerThread composer([&sheet, correctEdcEcc, this, &composed, &way](TBatchRing& ring) {
        ComposeSectors(sheet, TComposeOptions{correctEdcEcc}, way, *this, ring, composed);
    });
    std::size_t nextQFrame = 0;
    TImageWriter image(set.Img, way.KernelCopy);
    TBatch* batch = nullptr;
    try
    {
        while ((batch = composer.Next()) != nullptr)
        {
            SubQFramesReplaced += OverlayQFrames(sheet.SubQPatches, nextQFrame, *batch);
            WriteMainChannel(image, *batch);
            WriteBatchEnd(set, batch->Records.get()->data(), batch->Count);
            batch = nullptr;
            composer.Release();
        }
        image.Flush();
    }
    catch (...)
    {
        KeepWholeSectors(set, image, batch ? batch->Records.get()->data() : nullptr);
        throw;
    }
    composer.Join();
    if (composed.Refused)
    {
        Status.store(csFailed);
        Error = {0, {}, 0, "no sector could be made for address " + std::to_string(composed.RefusedAddress)};
    }
}

// After a failure: the sectors that both files surely hold, whole. The image's copies that wait are
// made if they can be, and the batch the failure met gives what it put in the image.
void TConversionJob::KeepWholeSectors(TOutputSet& set, TImageWriter& image, const std::uint8_t* records)
{
    try
    {
        image.Flush();
    }
    catch (...)
    {}
    const std::int64_t inImage = image.Written() / static_cast<std::int64_t>(SECTOR_SIZE);
    try
    {
        if (records && inImage > SectorsWritten)
            WriteBatchEnd(set, records, static_cast<std::int32_t>(inImage - SectorsWritten));
    }
    catch (...)
    {}
    SectorsWritten = std::min(SectorsWritten, inImage);
}

// The batch's subchannel records, and the progress its sectors make.
void TConversionJob::WriteBatchEnd(TOutputSet& set, const std::uint8_t* records, std::int32_t count)
{
    set.Sub.WriteAll(std::span(records, static_cast<std::size_t>(count) * SUBCODE_SIZE));
    // A step follows the write of every 75th sector of the set.
    const std::int64_t before = SectorsWritten;
    SectorsWritten += count;
    StartWriteback(set);
    for (std::int64_t k = (before + FRAMES_PER_STEP - 1) / FRAMES_PER_STEP * FRAMES_PER_STEP; k < SectorsWritten;
         k += FRAMES_PER_STEP)
        Notify(peStep, static_cast<std::int32_t>(k + 1));
}

// A set that replaces another goes to the medium while the run goes on: the sync before the renames
// then waits for little more than the last stretch instead of the whole disc.
void TConversionJob::StartWriteback(TOutputSet& set)
{
    const std::int64_t written = SectorsWritten - WritebackSectors;
    if (written < WRITEBACK_SECTORS || !set.Replacing())
        return;
    set.Img.StartWriteback(WritebackSectors * static_cast<std::int64_t>(SECTOR_SIZE),
                           written * static_cast<std::int64_t>(SECTOR_SIZE));
    set.Sub.StartWriteback(WritebackSectors * static_cast<std::int64_t>(SUBCODE_SIZE),
                           written * static_cast<std::int64_t>(SUBCODE_SIZE));
    WritebackSectors = SectorsWritten;
}

void TConversionJob::KeepWhatWasWritten(TOutputSet& set)
{
    if (!KeepPartial)
        return;
    set.CommitPartial(SectorsWritten);
    PartialKept = true;
}

// The set goes in place only when every sector was written and every source read sound to its end.
void TConversionJob::Finish(TOutputSet& set)
{
    if (Status.load() == csIdle && !CancelRequested())
    {
        set.Commit();
        // Once the set is in place, a cancel request came too late to matter.
        Status.store(csSucceeded);
    }
    else
    {
        if (Status.load() == csIdle)
            Status.store(csCanceled);
        try
        {
            KeepWhatWasWritten(set);
        }
        catch (const std::exception& error)
        {
            if (!Error)
                Error = {0, {}, 0, error.what()};
        }
    }
    Notify(peComplete, 0);
    Notify(Status.load() == csCanceled ? peCanceled : peFinished, 0);
}
