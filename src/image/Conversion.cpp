#include "image/Conversion.h"

#include "cuesheet/Lucue.h"
#include "fileio/Fileio.h"
#include "image/Ccdfile.h"
#include "synthesis/Interleavesubcode.h"
#include "synthesis/Sector.h"
#include "synthesis/Subcode.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <vector>

namespace {

inline constexpr std::int32_t FRAMES_PER_STEP = 75;
// Sectors per write call: large enough that system calls cost nothing, small enough to stay in cache.
// Smaller batches cost the writer more than they save the composer.
inline constexpr std::int32_t BATCH_SECTORS = 256;
// Batches in flight between the composer and the writer; bounds the memory whatever the disc size.
inline constexpr std::size_t RING_SLOTS = 4;

using TChannelRecord = std::array<std::uint8_t, SUBCODE_SIZE>;

// Sectors First .. First + Count - 1 of a batch hold a data file's bytes unchanged.
struct TRawRun
{
    std::size_t First = 0;
    std::size_t Count = 0;
    TRawBytes Bytes;
};

struct TBatch
{
    std::unique_ptr<TRawSector[]> Main{new TRawSector[BATCH_SECTORS]};
    std::unique_ptr<TChannelRecord[]> Records{new TChannelRecord[BATCH_SECTORS]};
    // What the composer gave for each sector, before the interleaver.
    std::unique_ptr<TSubChannel[]> Channels{new TSubChannel[BATCH_SECTORS]};
    // Runs whose main channel the writer copies from a data file itself, in sector order.
    std::vector<TRawRun> RawRuns;
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

// Rows of one track follow each other in its file: their runs join into one copy.
void AddRawRun(std::vector<TRawRun>& runs, const TRawRun& run)
{
    if (!runs.empty())
    {
        TRawRun& last = runs.back();
        if (last.First + last.Count == run.First && last.Bytes.File == run.Bytes.File &&
            last.Bytes.Length == last.Count * SECTOR_SIZE &&
            last.Bytes.Offset + static_cast<std::int64_t>(last.Bytes.Length) == run.Bytes.Offset)
        {
            last.Count += run.Count;
            last.Bytes.Length += run.Bytes.Length;
            return;
        }
    }
    runs.push_back(run);
}

// The bytes from .. to of a raw run into its place in the batch, zeros where the file holds none.
void ReadRaw(const TRawBytes& bytes, std::uint8_t* place, std::size_t from, std::size_t to)
{
    const std::size_t held = std::clamp(bytes.Length, from, to);
    bytes.File->ReadAt(bytes.Offset + static_cast<std::int64_t>(from), std::span(place + from, held - from));
    std::memset(place + held, 0, to - held);
}

// A raw run to the image: file to file in the kernel where it can, else through the batch's memory.
// A read failure is returned after the sectors before the failing one are written; writes raise.
std::exception_ptr CopyRawRun(TFile& img, const TRawRun& run, TRawSector* place, std::size_t& sectorsWritten)
{
    const std::size_t bytes = run.Count * SECTOR_SIZE;
    const std::size_t copied =
        img.CopyFrom(*run.Bytes.File, run.Bytes.Offset, std::min(run.Bytes.Length, bytes), SECTOR_SIZE);
    auto* memory = reinterpret_cast<std::uint8_t*>(place);
    std::size_t good = bytes;
    std::exception_ptr error;
    try
    {
        ReadRaw(run.Bytes, memory, copied, bytes);
    }
    catch (...)
    {
        // Again sector by sector, so that every sector before the failing one is written.
        good = copied;
        try
        {
            for (; good < bytes; good = (good / SECTOR_SIZE + 1) * SECTOR_SIZE)
                ReadRaw(run.Bytes, memory, good, (good / SECTOR_SIZE + 1) * SECTOR_SIZE);
        }
        catch (...)
        {
            error = std::current_exception();
        }
    }
    img.WriteAll(std::span(memory + copied, good - copied));
    sectorsWritten = good / SECTOR_SIZE;
    return error;
}

// The batch's main channel to the image. After a data file fails to read, the batch ends at the
// sector before and the failure is returned; write failures raise.
std::exception_ptr WriteMainChannel(TFile& img, TBatch& batch)
{
    const auto writeComposed = [&](std::size_t from, std::size_t to) {
        img.WriteAll(std::span(reinterpret_cast<const std::uint8_t*>(&batch.Main[from]), (to - from) * SECTOR_SIZE));
    };
    std::size_t done = 0;
    for (const TRawRun& run : batch.RawRuns)
    {
        writeComposed(done, run.First);
        std::size_t copied = 0;
        if (std::exception_ptr error = CopyRawRun(img, run, &batch.Main[run.First], copied))
        {
            batch.Count = static_cast<std::int32_t>(run.First + copied);
            return error;
        }
        done = run.First + run.Count;
    }
    writeComposed(done, static_cast<std::size_t>(batch.Count));
    return nullptr;
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
    std::int32_t address = PROGRAM_START;
    bool ended = false;
    while (!ended && address < leadOut)
    {
        TBatch* batch = ring.AcquireFree();
        if (batch == nullptr)
            break;
        batch->FirstAddress = address;
        batch->Count = 0;
        batch->RawRuns.clear();
        // After a failed read the run is composed again one sector at a time, so that the sectors
        // before the failing one are still written.
        std::int32_t runLimit = BATCH_SECTORS;
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
                const std::int32_t want = std::min({BATCH_SECTORS - batch->Count, leadOut - address, runLimit});
                std::int32_t got = 0;
                TRawBytes raw;
                try
                {
                    got = sheet.ComposeRun(static_cast<std::uint32_t>(address), want, &batch->Main[i],
                                           &batch->Channels[i], options, &raw);
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
                    status.store(csFailed);
                    result.Refused = true;
                    result.RefusedAddress = address;
                    ended = true;
                    break;
                }
                if (raw.File)
                    AddRawRun(batch->RawRuns, {i, static_cast<std::size_t>(got), raw});
                for (std::size_t s = i; s < i + static_cast<std::size_t>(got); ++s)
                    EncodeSubchannel(batch->Channels[s], interleaver, batch->Records[s]);
                batch->Count += got;
                address += got;
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

std::string OutputPathsProblem(const std::string& ccdPath, const TLuCueSheet& sheet)
{
    const std::size_t slash = ccdPath.rfind('/');
    const std::size_t dot = ccdPath.rfind('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
    {
        std::string ext = ccdPath.substr(dot);
        for (char& c : ext)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (ext == ".img" || ext == ".sub")
            return "\"" + ccdPath + "\" cannot be the .ccd file: its " + ext +
                   " file would be the same file. Choose a name that ends in .ccd.";
    }
    for (const std::string& path : {ccdPath, ChangeFileExt(ccdPath, ".img"), ChangeFileExt(ccdPath, ".sub")})
        if (IsConversionInput(path, sheet))
            return "\"" + path + "\" is an input of the conversion and cannot be overwritten.";
    return std::string();
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

void TConversionJob::Run(const std::string& ccdPath, bool correctEdcEcc, TLuCueSheet& sheet)
{
    SectorsWritten = 0;
    SubQFramesReplaced = 0;
    RunFramed([&] {
        const std::string imgPath = ChangeFileExt(ccdPath, ".img");
        const std::string subPath = ChangeFileExt(ccdPath, ".sub");
        if (const std::string problem = OutputPathsProblem(ccdPath, sheet); !problem.empty())
            throw std::runtime_error(problem);
        // Said in the words the command-line tool uses before it starts a job.
        const std::size_t slash = ccdPath.rfind('/');
        const std::string folder =
            slash == std::string::npos ? std::string(".") : (slash == 0 ? std::string("/") : ccdPath.substr(0, slash));
        if (PathKind(folder) != pkFolder)
            throw std::runtime_error("The output folder \"" + folder + "\" does not exist.");
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
            std::exception_ptr readError;
            try
            {
                readError = WriteMainChannel(img, *batch);
                SubQFramesReplaced += OverlayQFrames(sheet.SubQPatches, nextQFrame, *batch);
                sub.WriteAll(std::span(reinterpret_cast<const std::uint8_t*>(batch->Records.get()),
                                       static_cast<std::size_t>(batch->Count) * SUBCODE_SIZE));
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
            if (readError)
            {
                // As when the composer fails to read: what came before is written, nothing after.
                ring.Stop();
                std::rethrow_exception(readError);
            }
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
    });
}
