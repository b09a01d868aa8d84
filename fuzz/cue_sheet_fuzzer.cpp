// SPDX-License-Identifier: GPL-3.0-or-later
// Cue sheet text -> TLuCueSheet::Load. A loaded sheet is then used the way a conversion uses it:
// a sample of sectors is composed, the control file and the layout report are written, and a
// small disc is converted whole and verified.
#include "FuzzSupport.h"

#include "cuesheet/Cueerrors.h"
#include "cuesheet/Lucue.h"
#include "cuesheet/Sectorcomposer.h"
#include "cuesheet/Tocrules.h"
#include "fileio/Paths.h"
#include "image/Ccdfile.h"
#include "image/Ccdreader.h"
#include "image/Conversion.h"
#include "image/Layoutreport.h"
#include "image/Verifier.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdint>
#include <filesystem>
#include <set>
#include <string>

namespace {

constexpr std::int32_t MAX_CONVERTED_SECTORS = 600;
constexpr std::size_t MAX_SAMPLED_SECTORS = 400;

std::string Pattern(std::size_t size, unsigned seed)
{
    std::string data(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        data[i] = static_cast<char>((i * 7 + seed * 13 + i / 2352) & 0xFF);
    return data;
}

// The data files a sheet may name, written once per process. Sizes are chosen so that every
// track type meets a whole number of sectors in one file and a partial last sector in another.
void WriteDataFiles()
{
    using fuzz::ScratchFile;
    using fuzz::WriteFile;
    WriteFile(ScratchFile("A.BIN"), Pattern(30 * 2352, 1));
    WriteFile(ScratchFile("CDG.BIN"), Pattern(12 * 2448, 2));
    WriteFile(ScratchFile("M1.BIN"), Pattern(20 * 2048 + 100, 3));
    WriteFile(ScratchFile("M2.BIN"), Pattern(16 * 2336, 4));
    WriteFile(ScratchFile("ODD.BIN"), Pattern(1000, 5));
    WriteFile(ScratchFile("EMPTY.BIN"), "");
    WriteFile(ScratchFile("T.WAV"), fuzz::MakeWave(44100, Pattern(25 * 2352 + 588, 6)));
    WriteFile(ScratchFile("HI.WAV"), fuzz::MakeWave(48000, Pattern(4 * 2352, 7)));
    WriteFile(ScratchFile("CDTEXT.DAT"), Pattern(3 * 18 + 5, 8));
    std::filesystem::create_directories(ScratchFile("Sub Dir"));
    WriteFile(ScratchFile("Sub Dir/D.bin"), Pattern(8 * 2352, 9));
}

// What a converted set must never show, whatever bytes its data files hold: the TOC, the
// control file, the Q and P channels and the CD-TEXT are all of Sarvex's own making. Sector
// checks are left out, since a raw track copies whatever its file holds.
void CheckVerifiesSound(const std::string& ccd)
{
    TVerifyJob verify;
    verify.Run(ccd, 50);
    fuzz::Check(verify.Status.load() == csSucceeded, "a converted set could not be verified");
    for (const TFinding& f : verify.Report.Findings)
        if (f.Kind < fkSync || f.Kind == fkSideCar)
        {
            std::fprintf(stderr, "verify: %s at LBA %d: %s\n", FindingKindName(f.Kind), f.Lba, f.Text.c_str());
            fuzz::Fail("a set that converted does not verify sound");
        }
}

// Sheets that reach the machine's special files could block or read devices; they test nothing
// that a sheet naming a missing file does not.
bool NamesSpecialFiles(const std::uint8_t* data, std::size_t size)
{
    std::string upper(reinterpret_cast<const char*>(data), size);
    std::transform(upper.begin(), upper.end(), upper.begin(), [](char c) { return c >= 'a' && c <= 'z' ? c - 32 : c; });
    for (const char* word : {"PROC", "SYS", "DEV", "RUN"})
        if (upper.find(word) != std::string::npos)
            return true;
    return false;
}

void ExerciseLoadedSheet(TLuCueSheet& sheet)
{
    using fuzz::Check;
    Check(sheet.ErrorCode == 0, "a successful load left an error code");
    Check(sheet.TrackCount >= 1 && sheet.FileCount >= 1, "a loaded sheet without files or tracks");
    const std::int32_t leadOut = sheet.LeadOutAddress();
    Check(leadOut >= PROGRAM_START, "lead-out before LBA 0");

    // Each session's A0, A1 and A2, a B0 in each but the last, and the tracks, and what REM TOC-ENTRY
    // lines add to those; the control file holds every one of them.
    const auto sessions = static_cast<std::int32_t>(sheet.Model().Sessions.size());
    const std::int32_t composed = sheet.TrackCount + 4 * sessions - 1;
    const auto descriptors = static_cast<std::int32_t>(sheet.Model().Toc.size());
    Check(descriptors >= composed && descriptors <= composed + static_cast<std::int32_t>(sheet.TocLines.size()),
          "TOC entries neither composed nor given by a line");
    Check(TocFaults(sheet.Model()).empty(), "a loaded sheet's TOC breaks the TOC rule");
    TCcdDisc written;
    Check(!ParseCcdText(CcdFileText(sheet), "out.ccd", written), "the control file does not read back");
    Check(written.Model.Toc == sheet.Model().Toc, "the control file's TOC differs from the sheet's");

    for (std::int32_t n = sheet.FirstTrackNo; n < sheet.FirstTrackNo + sheet.TrackCount; ++n)
    {
        const TDiscTrack* track = sheet.Model().FindTrack(n);
        Check(track != nullptr, "a loaded track that the disc model lacks");
        // An index without sectors (an empty data file) has no address.
        const std::int32_t index1 = track->IndexLba(1);
        Check(index1 == -1 || (index1 >= 0 && index1 + PROGRAM_START <= leadOut), "index 1 outside the disc");
    }

    // A sample: the start of the disc, both sides of every row boundary, and the lead-out.
    std::set<std::int64_t> addresses = {0, 149, 150, 151, leadOut - 1, leadOut, leadOut + 1};
    for (std::int32_t r = 0; r < sheet.AddressRowCount() && addresses.size() < MAX_SAMPLED_SECTORS; ++r)
    {
        const std::int64_t start = sheet.AddressRow(r).StartAddress;
        addresses.insert({start - 1, start, start + 1});
    }
    TSectorComposer composer(sheet);
    const TComposeOptions options;
    TRawSector main{};
    TSubBlock sub{};
    for (const std::int64_t a : addresses)
    {
        if (a < 0)
            continue;
        const bool composed = composer.ComposeSector(static_cast<std::uint32_t>(a), &main, &sub, options);
        if (a >= PROGRAM_START && a < leadOut)
            Check(composed, "the composer refused a program-area sector");
    }
    // Either buffer may be left out.
    composer.ComposeSector(PROGRAM_START, nullptr, &sub, options);
    composer.ComposeSector(PROGRAM_START, &main, nullptr, options);

    Check(written.Model.DiscLeadOutAddress() == leadOut, "the control file's lead-out differs from the sheet's");
    const std::string report = BuildLayoutReport(BuildDiscLayout(sheet));
    Check(!report.empty(), "empty layout report");

    // The files hold the program areas only, session after session.
    const std::int64_t stored = SectorCount(sheet.Model().StoredRanges());
    const std::string ccd = fuzz::ScratchFile("out.ccd");
    if (stored <= MAX_CONVERTED_SECTORS)
    {
        TConversionJob job;
        job.Run(ccd, true, sheet);
        Check(job.Status.load() == csSucceeded, "a small disc did not convert");
        const auto sectors = static_cast<std::uintmax_t>(stored);
        Check(job.SectorsWritten == stored, "sector count of a finished run");
        Check(std::filesystem::file_size(ChangeFileExt(ccd, ".img")) == sectors * 2352, ".img size");
        Check(std::filesystem::file_size(ChangeFileExt(ccd, ".sub")) == sectors * 96, ".sub size");
        CheckVerifiesSound(ccd);
    }
    for (const char* ext : {".ccd", ".img", ".sub"})
        ::unlink(ChangeFileExt(ccd, ext).c_str());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    WriteDataFiles();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (NamesSpecialFiles(data, size))
        return 0;
    const std::string cue = fuzz::ScratchFile("disc.cue");
    fuzz::WriteFile(cue, data, size);
    // What a batch plans by: only files that are there.
    for (const std::string& name : TLuCueSheet::NamedFiles(cue))
        fuzz::Check(IsRegularFile(name), "a named file that is not there");
    TLuCueSheet sheet;
    if (sheet.Load(cue))
    {
        ExerciseLoadedSheet(sheet);
    }
    else
    {
        fuzz::Check(sheet.TrackCount == 0 && sheet.FileCount == 0, "a failed load kept part of the sheet");
        fuzz::Check(sheet.ErrorCode != 0, "a failed load without an error code");
        fuzz::Check(!CueErrorMessage(sheet.ErrorCode).empty(), "an error code without a message");
    }
    return 0;
}
