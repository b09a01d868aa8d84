// SPDX-License-Identifier: GPL-3.0-or-later
// The conversion job: writes the control file, then the .img and .sub files sector by sector.
#pragma once

#include "image/Job.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class TLuCueSheet;
class TImageWriter;
class TOutputSet;

// True when a conversion, one of conversionsAtOnce, cannot count on two processor cores of its own.
bool SingleCopyPays(std::size_t conversionsAtOnce);

// One per front end; the status and the progress handler are shared with the front end.
class TConversionJob : public TJob
{
public:
    // The whole job: never throws; the outcome is left in Status. correctEdcEcc goes to the
    // composer for this run only; the sheet's own flag is left alone. The three files are written
    // under temporary names and replace those of ccdPath only when the whole set is sound. While
    // another run writes ccdPath, it refuses before it writes anything.
    void Run(const std::string& ccdPath, bool correctEdcEcc, TLuCueSheet& sheet);

    // Audio (and raw data left as it is) reaches the image in the one copy the kernel makes from a
    // pipe, instead of being read by the composer thread and written by the writer thread: less work
    // in all, but all of the copying falls to one thread. It pays where the two threads cannot run
    // at once, which is what the default asks of this machine.
    bool SingleCopy = SingleCopyPays(1);
    // Runs that are a data file's bytes unchanged go from the file into the image inside the kernel, as
    // cp copies: one copy, no user-space touch, and the composer only builds their subchannel. Where
    // the kernel cannot (another volume), the run goes on the other way.
    bool KernelCopy = true;

    // Filled by Run for the front end's summary: how many sectors both image files hold at its end.
    std::int64_t SectorsWritten = 0;
    // Q frames taken from the sheet's LibCrypt side-car instead of composed.
    std::int64_t SubQFramesReplaced = 0;

    // A failed or cancelled run puts what it wrote in place instead of nothing: .img and .sub hold
    // the same sectors. PartialKept tells that it did.
    bool KeepPartial = false;
    bool PartialKept = false;
    // A run that failed while it put its files in place: some of the files there before are replaced
    // already, so they are not as they were, and the set there is not whole.
    bool EarlierSetChanged = false;

private:
    void WriteSet(TOutputSet& set, const std::string& ccdText, std::int64_t sectors, bool correctEdcEcc,
                  TLuCueSheet& sheet);
    void WriteImages(TOutputSet& set, bool correctEdcEcc, TLuCueSheet& sheet);
    void WriteBatchEnd(TOutputSet& set, const std::uint8_t* records, std::int32_t count);
    void KeepWholeSectors(TOutputSet& set, TImageWriter& image, const std::uint8_t* records);
    void StartWriteback(TOutputSet& set);
    void KeepWhatWasWritten(TOutputSet& set);
    void Finish(TOutputSet& set);

    std::int64_t WritebackSectors = 0; // of SectorsWritten, those already handed to writeback
};
