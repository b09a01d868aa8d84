#include "image/Conversion.h"

#include "cuesheet/Lucue.h"
#include "fileio/Fileio.h"
#include "image/Ccdfile.h"
#include "synthesis/Interleavesubcode.h"
#include "synthesis/Sector.h"
#include "synthesis/Subcode.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <system_error>
#include <thread>

namespace {

inline constexpr std::int32_t FRAMES_PER_STEP = 75;
// Sectors per write call: large enough that system calls cost nothing, small enough to stay in cache.
inline constexpr std::int32_t BATCH_SECTORS = 256;
// Batches in flight between the composer and the writer; bounds the memory whatever the disc size.
inline constexpr std::size_t RING_SLOTS = 4;

using TChannelRecord = std::array<std::uint8_t, SUBCODE_SIZE>;

struct TBatch
{
    std::unique_ptr<TRawSector[]> Main{new TRawSector[BATCH_SECTORS]};
    std::unique_ptr<TChannelRecord[]> Records{new TChannelRecord[BATCH_SECTORS]};
    std::int32_t FirstAddress = 0;
    std::int32_t Count = 0;
};

// Hands composed batches from the composer thread to the writer in address order.
class TBatchRing
{
public:
    // Composer side: the next free batch, or null once the writer has given up.
    TBatch* AcquireFree()
    {
        std::unique_lock lock(Mutex);
        Changed.wait(lock, [this] { return Stopped || Filled < RING_SLOTS; });
        return Stopped ? nullptr : &Slots[Head];
    }
    void Publish()
    {
        {
            std::lock_guard lock(Mutex);
            Head = (Head + 1) % RING_SLOTS;
            ++Filled;
        }
        Changed.notify_all();
    }
    // Composer side: no more batches; error is what ended composing early, if anything.
    void Finish(std::exception_ptr error)
    {
        {
            std::lock_guard lock(Mutex);
            Finished = true;
            Error = std::move(error);
        }
        Changed.notify_all();
    }

    // Writer side: the oldest composed batch, or null when composing has ended and all are written.
    TBatch* AcquireFull()
    {
        std::unique_lock lock(Mutex);
        Changed.wait(lock, [this] { return Finished || Filled > 0; });
        return Filled > 0 ? &Slots[Tail] : nullptr;
    }
    void Release()
    {
        {
            std::lock_guard lock(Mutex);
            Tail = (Tail + 1) % RING_SLOTS;
            --Filled;
        }
        Changed.notify_all();
    }
    // Writer side: stop the composer after a write failure.
    void Stop()
    {
        {
            std::lock_guard lock(Mutex);
            Stopped = true;
        }
        Changed.notify_all();
    }
    std::exception_ptr ComposeError()
    {
        std::lock_guard lock(Mutex);
        return Error;
    }

private:
    std::mutex Mutex;
    std::condition_variable Changed;
    std::array<TBatch, RING_SLOTS> Slots;
    std::size_t Head = 0;
    std::size_t Tail = 0;
    std::size_t Filled = 0;
    bool Finished = false;
    bool Stopped = false;
    std::exception_ptr Error;
};

// Runs the composer on its own thread; joining on every way out keeps the sheet and the ring alive
// for as long as it works.
class TComposerThread
{
public:
    TComposerThread(TBatchRing& ring, std::thread thread) : Ring(ring), Thread(std::move(thread)) {}
    ~TComposerThread() { Join(); }
    TComposerThread(const TComposerThread&) = delete;
    TComposerThread& operator=(const TComposerThread&) = delete;
    void Join()
    {
        if (!Thread.joinable())
            return;
        Ring.Stop();
        Thread.join();
    }

private:
    TBatchRing& Ring;
    std::thread Thread;
};

// Symbol block to channel record: P and Q stay in place while the R-W packs pass the interleaver.
void EncodeSubchannel(TSubBlock& block, TSubCodeInterLeave& interleaver, TChannelRecord& record)
{
    TQFrame pFrame{};
    TQFrame qFrame{};
    SplitPQ(block, pFrame, qFrame);
    interleaver.InterleavePacks(block);
    MergePQ(block, pFrame, qFrame);
    SymbolsToChannels(block, record);
}

struct TComposeResult
{
    bool Refused = false;
    std::int32_t RefusedAddress = 0;
};

// The composer's loop: every address from 150 to leadOut - 1 unless a cancel request is seen first.
// It alone touches the sheet and the interleaver, so the sector order is the interleaver's order.
void ComposeSectors(TLuCueSheet& sheet, TComposeOptions options, std::int32_t leadOut,
                    std::atomic<TConvertStatus>& status, TBatchRing& ring, TComposeResult& result)
{
    std::exception_ptr error;
    TSubCodeInterLeave interleaver;
    TSubBlock block{};
    std::int32_t address = PROGRAM_START;
    bool ended = false;
    while (!ended && address < leadOut)
    {
        TBatch* batch = ring.AcquireFree();
        if (batch == nullptr)
            break;
        batch->FirstAddress = address;
        batch->Count = 0;
        try
        {
            while (batch->Count < BATCH_SECTORS && address < leadOut)
            {
                if (status.load() == csCancelRequested)
                {
                    ended = true;
                    break;
                }
                const auto i = static_cast<std::size_t>(batch->Count);
                if (!sheet.ComposeSector(static_cast<std::uint32_t>(address), &batch->Main[i], &block, options))
                {
                    status.store(csFailed);
                    result.Refused = true;
                    result.RefusedAddress = address;
                    ended = true;
                    break;
                }
                EncodeSubchannel(block, interleaver, batch->Records[i]);
                ++batch->Count;
                ++address;
            }
        }
        catch (...)
        {
            // The sectors composed before the failure are still written.
            error = std::current_exception();
            ended = true;
        }
        ring.Publish();
    }
    ring.Finish(error);
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

std::string ChangeFileExt(std::string_view path, std::string_view ext)
{
    const std::size_t slash = path.rfind('/');
    const std::size_t dot = path.rfind('.');
    std::string result(path);
    if (dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash))
        result.resize(dot);
    result += ext;
    return result;
}

bool TConversionJob::SetProgressHandler(TProgressProc handler, void* dialog)
{
    if (Status.load() != csIdle)
        return false;
    Handler = handler;
    Dialog = dialog;
    return true;
}

void TConversionJob::Notify(TProgressEvent event, std::int32_t value)
{
    if (Handler != nullptr)
        Handler(event, value, Dialog);
}

void TConversionJob::Run(const std::string& ccdPath, bool correctEdcEcc, TLuCueSheet& sheet)
{
    ErrorText.clear();
    SectorsWritten = 0;
    SubQFramesReplaced = 0;
    try
    {
        if (OnStart)
            OnStart();
    }
    catch (...)
    {}

    const std::string imgPath = ChangeFileExt(ccdPath, ".img");
    const std::string subPath = ChangeFileExt(ccdPath, ".sub");
    Notify(peSetRange, 2);
    try
    {
        for (const std::string* path : {&ccdPath, &imgPath, &subPath})
            if (IsConversionInput(*path, sheet))
                throw std::runtime_error("\"" + *path + "\" is an input of the conversion");
        // Output files close on unwinding without a cleanup list; what was written stays.
        TFile::OpenForWriting(ccdPath).Close();
        const std::int32_t leadOut = WriteCcdFile(ccdPath, sheet);
        TFile img = TFile::OpenForWriting(imgPath);
        TFile sub = TFile::OpenForWriting(subPath);
        // The data files may have changed since an earlier run read ahead in them.
        sheet.ReleaseReadAhead();

        Notify(peSetRange, (leadOut - PROGRAM_START) / FRAMES_PER_STEP + 2);
        Notify(peStep, 0);

        // This thread writes and reports progress; a second one composes ahead of it.
        TBatchRing ring;
        TComposeResult composed;
        TComposerThread composer(ring, std::thread(ComposeSectors, std::ref(sheet), TComposeOptions{correctEdcEcc},
                                                   leadOut, std::ref(Status), std::ref(ring), std::ref(composed)));
        std::size_t nextQFrame = 0;
        while (TBatch* batch = ring.AcquireFull())
        {
            const auto count = static_cast<std::size_t>(batch->Count);
            try
            {
                SubQFramesReplaced += OverlayQFrames(sheet.SubQPatches, nextQFrame, *batch);
                img.WriteAll(std::span(reinterpret_cast<const std::uint8_t*>(batch->Main.get()), count * SECTOR_SIZE));
                sub.WriteAll(
                    std::span(reinterpret_cast<const std::uint8_t*>(batch->Records.get()), count * SUBCODE_SIZE));
            }
            catch (...)
            {
                ring.Stop();
                throw;
            }
            SectorsWritten += batch->Count;
            // A step follows the write of every address that is a multiple of 75.
            const std::int32_t end = batch->FirstAddress + batch->Count;
            for (std::int32_t a = (batch->FirstAddress + FRAMES_PER_STEP - 1) / FRAMES_PER_STEP * FRAMES_PER_STEP;
                 a < end; a += FRAMES_PER_STEP)
                Notify(peStep, a - PROGRAM_START + 1);
            ring.Release();
        }
        composer.Join();
        if (const std::exception_ptr error = ring.ComposeError())
            std::rethrow_exception(error);
        if (composed.Refused)
            ErrorText = "no sector could be made for address " + std::to_string(composed.RefusedAddress);

        img.Close();
        sub.Close();
        Notify(peComplete, 0);

        TConvertStatus now = Status.load();
        if (now == csCancelRequested)
            Notify(peCanceled, 0);
        else if (now == csFailed)
            Notify(peFinished, 0);
        else
        {
            // A cancel request that arrives meanwhile is kept rather than overwritten.
            Status.compare_exchange_strong(now, csSucceeded);
            Notify(Status.load() == csCancelRequested ? peCanceled : peFinished, 0);
        }
    }
    catch (const std::exception& error)
    {
        ErrorText = error.what();
        Status.store(csFailed);
        Notify(peAborted, 0);
    }
    catch (...)
    {
        ErrorText = "unknown error";
        Status.store(csFailed);
        Notify(peAborted, 0);
    }

    try
    {
        if (OnEnd)
            OnEnd();
    }
    catch (...)
    {}
}
