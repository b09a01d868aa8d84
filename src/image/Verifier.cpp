// SPDX-License-Identifier: GPL-3.0-or-later
#include "image/Verifier.h"

#include "cuesheet/Subqpatch.h"
#include "fileio/Fileio.h"
#include "fileio/Paths.h"
#include "image/Ccdreader.h"
#include "image/Conversion.h"
#include "image/Qchecks.h"
#include "image/Rwchecks.h"
#include "image/Sectorchecks.h"
#include "image/Sidecarchecks.h"
#include "image/Slotring.h"
#include "image/Tocchecks.h"
#include "image/Verifystate.h"
#include "synthesis/Msf.h"
#include "synthesis/Sector.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <memory>
#include <stdexcept>

namespace {

constexpr std::int32_t FRAMES_PER_STEP = FRAMES_PER_SECOND;
// Sectors per read: the .img part of a chunk stays within 1 MiB.
constexpr std::size_t CHUNK_SECTORS = (1u << 20) / SECTOR_SIZE;
constexpr std::size_t RING_SLOTS = 3;

struct TChunk
{
    std::unique_ptr<std::uint8_t[]> Main{new std::uint8_t[CHUNK_SECTORS * SECTOR_SIZE]};
    std::unique_ptr<std::uint8_t[]> Sub{new std::uint8_t[CHUNK_SECTORS * SUBCODE_SIZE]};
    std::int64_t First = 0;
    std::size_t Count = 0;
};

// Reads the set's chunks in order into the ring: sectors of the .img, subRecords of the .sub.
void ReadChunks(TSlotRing<TChunk, RING_SLOTS>& ring, const TFile& img, const TFile& sub, std::int64_t sectors,
                std::int64_t subRecords)
{
    for (std::int64_t first = 0; first < sectors;)
    {
        TChunk* chunk = ring.AcquireFree();
        if (!chunk)
            return;
        chunk->First = first;
        chunk->Count = static_cast<std::size_t>(std::min<std::int64_t>(CHUNK_SECTORS, sectors - first));
        // A file that shrank meanwhile reads as zero bytes.
        img.ReadAt(first * std::int64_t(SECTOR_SIZE), std::span(chunk->Main.get(), chunk->Count * SECTOR_SIZE));
        // Records past the end of a short .sub read as zero.
        const std::int64_t records = std::clamp<std::int64_t>(subRecords - first, 0, std::int64_t(chunk->Count));
        if (records > 0)
            sub.ReadAt(first * std::int64_t(SUBCODE_SIZE),
                       std::span(chunk->Sub.get(), static_cast<std::size_t>(records) * SUBCODE_SIZE));
        std::memset(chunk->Sub.get() + records * std::int64_t(SUBCODE_SIZE), 0,
                    (chunk->Count - static_cast<std::size_t>(records)) * SUBCODE_SIZE);
        first += static_cast<std::int64_t>(chunk->Count);
        ring.Publish();
    }
}

// Runs the checks of each concern over the set, sector by sector in address order.
class TChecker
{
public:
    TChecker(const TCcdDisc& disc, TVerifyReport& report, std::size_t maxFindings)
        : State(disc, report, maxFindings), SideCar(State), Q(State, SideCar), Main(State), Rw(State)
    {}

    void CheckSet(std::int64_t imgSize, std::int64_t subSize);
    // Compares the protection frames found with those the side-car at path lists.
    void UseSideCar(const std::string& path) { SideCar.Use(path); }
    // The sector at that place in the files.
    void CheckSector(std::int64_t position, const std::uint8_t* main, const std::uint8_t* record);
    void Finish();

private:
    void EnterTrack(std::int32_t lba);

    TVerifyState State;
    TSideCarChecker SideCar;
    TQChecker Q;
    TSectorChecker Main;
    TRwChecker Rw;
    std::int32_t PreviousLba = -1;
};

void TChecker::CheckSet(std::int64_t imgSize, std::int64_t subSize)
{
    TVerifyReport& report = State.Report;
    const std::int64_t sectors = imgSize / std::int64_t(SECTOR_SIZE);
    report.Sectors = sectors;
    // A partial last sector is reported once; the TOC and the .sub are measured against it.
    const std::int64_t stored = (imgSize + std::int64_t(SECTOR_SIZE) - 1) / std::int64_t(SECTOR_SIZE);
    State.StoredSectors = stored;
    report.PartialBytes = imgSize % std::int64_t(SECTOR_SIZE);
    if (imgSize % std::int64_t(SECTOR_SIZE) != 0)
        State.Add(fkFile, State.LbaOf(sectors),
                  report.ImgPath + " holds " + std::to_string(imgSize) +
                      " bytes, not a whole number of 2352-byte sectors: " + "the last sector is " +
                      std::to_string(imgSize % std::int64_t(SECTOR_SIZE)) + " bytes long");
    const std::int64_t records = subSize / std::int64_t(SUBCODE_SIZE);
    if (subSize != stored * std::int64_t(SUBCODE_SIZE))
    {
        const std::int32_t at = State.LbaOf(std::min(records, stored));
        State.Add(fkFile, records < stored ? at : -1,
                  report.SubPath + " holds " + std::to_string(subSize) + " bytes; " + State.ImageExtent() + " need " +
                      std::to_string(stored * std::int64_t(SUBCODE_SIZE)) +
                      (records < stored ? " (no subchannel from LBA " + std::to_string(at) + " on)" : ""));
    }
    State.BuildTracks();
    CheckToc(State);
    CheckCdText(State);
}

void TChecker::EnterTrack(std::int32_t lba)
{
    while (State.Current + 1 < State.Tracks.size() && lba >= State.Tracks[State.Current + 1].StartLba)
    {
        Main.FlushBlankRun(false); // blank sectors that end a data track are its postgap
        ++State.Current;
    }
}

void TChecker::CheckSector(std::int64_t position, const std::uint8_t* main, const std::uint8_t* record)
{
    const std::int32_t lba = State.LbaOf(position);
    if (State.HasTracks)
        EnterTrack(lba);
    Q.Check(lba, record);
    if (State.HasTracks && !State.Disc.DataTracksScrambled)
        Main.Check(lba, main);
    // The sector after a gap between sessions: the interleave started anew there when it was written.
    if (position > 0 && lba != PreviousLba + 1)
        Rw.Restart(position);
    PreviousLba = lba;
    Rw.Check(record);
}

void TChecker::Finish()
{
    // Blank sectors up to the end belong to the last track's postgap.
    Main.FlushBlankRun(false);
    SideCar.Finish();
}

} // namespace

void TVerifyJob::Run(const std::string& ccdPath, std::size_t maxFindings)
{
    Report = TVerifyReport{};
    Report.CcdPath = ccdPath;
    Report.ImgPath = ChangeFileExt(ccdPath, ".img");
    Report.SubPath = ChangeFileExt(ccdPath, ".sub");
    RunFramed([&] {
        TCcdDisc disc;
        if (TError error = ReadCcdFile(ccdPath, disc))
            throw EError(std::move(error));
        const TFile img = TFile::OpenForReading(Report.ImgPath, "the image file");
        const TFile sub = TFile::OpenForReading(Report.SubPath, "the subchannel file");
        TChecker checker(disc, Report, maxFindings);
        checker.CheckSet(img.Size(), sub.Size());
        if (const std::string sideCar = FindSubQPatchFile(ccdPath); !sideCar.empty())
            checker.UseSideCar(sideCar);
        const std::int64_t sectors = Report.Sectors;
        Notify(peSetRange, static_cast<std::int32_t>(sectors / FRAMES_PER_STEP + 2));
        Notify(peStep, 0);

        // Reads chunks ahead on its own thread while the checker works on the ones before.
        const std::int64_t subRecords = sub.Size() / std::int64_t(SUBCODE_SIZE);
        TRingWorker<TChunk, RING_SLOTS> reader([&img, &sub, sectors, subRecords](TSlotRing<TChunk, RING_SLOTS>& ring) {
            ReadChunks(ring, img, sub, sectors, subRecords);
        });
        bool canceled = false;
        while (TChunk* chunk = reader.Next())
        {
            if (CancelRequested())
            {
                canceled = true;
                break;
            }
            for (std::size_t i = 0; i < chunk->Count; ++i)
                checker.CheckSector(chunk->First + std::int64_t(i), chunk->Main.get() + i * SECTOR_SIZE,
                                    chunk->Sub.get() + i * SUBCODE_SIZE);
            // A step for every absolute address that is a multiple of 75, as the conversion gives.
            const std::int64_t begin = chunk->First + PROGRAM_START;
            const std::int64_t end = begin + static_cast<std::int64_t>(chunk->Count);
            for (std::int64_t a = (begin + FRAMES_PER_STEP - 1) / FRAMES_PER_STEP * FRAMES_PER_STEP; a < end;
                 a += FRAMES_PER_STEP)
                Notify(peStep, 0);
            reader.Release();
        }
        if (!canceled)
            checker.Finish();
        Notify(peComplete, 0);
        Status.store(CancelRequested() ? csCanceled : csSucceeded);
        Notify(Status.load() == csCanceled ? peCanceled : peFinished, 0);
    });
}
