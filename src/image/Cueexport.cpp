// SPDX-License-Identifier: GPL-3.0-or-later
#include "image/Cueexport.h"

#include "cuesheet/Cueerrors.h"
#include "cuesheet/Lucue.h"
#include "cuesheet/Subqpatch.h"
#include "fileio/Fileio.h"
#include "fileio/Paths.h"
#include "image/Ccdreader.h"
#include "image/Exportpacks.h"
#include "image/Exportsheet.h"
#include "image/Exportsubq.h"
#include "image/Exporttoc.h"
#include "image/Outputset.h"
#include "synthesis/Cdtextpack.h"
#include "synthesis/Errorcorrectmode1.h"
#include "synthesis/Lusubqcrc.h"
#include "synthesis/Msf.h"
#include "synthesis/Sector.h"
#include "text/Asciitext.h"

#include <algorithm>
#include <ctime>
#include <functional>
#include <memory>
#include <set>

namespace {

// Sectors per read and write: 2 MiB of the .img.
constexpr std::int64_t CHUNK_SECTORS = 896;
constexpr std::int64_t WRITEBACK_SECTORS = 16 * CHUNK_SECTORS;
constexpr std::size_t CDG_SECTOR_SIZE = SECTOR_SIZE + SUBCODE_SIZE; // a CDG file's sector: audio, then packs

// What the control file of a set gives the export: the disc, its layout and the names of the files.
struct TExportDisc
{
    TCcdDisc Ccd;
    TExportLayout Layout;
    std::vector<std::string> FileNames; // beside the sheet
    std::string CdtName;                // empty without CD-TEXT packs
};

// Reads the control file and lays the disc out; the error names the file and the reason.
TError ReadExportDisc(const std::string& ccdPath, const std::string& cuePath, bool singleFile, TExportDisc& disc)
{
    if (TError error = ReadCcdFile(ccdPath, disc.Ccd))
        return error;
    std::string problem;
    disc.Layout = BuildExportLayout(disc.Ccd.Model, problem);
    if (!problem.empty())
        return {0, ccdPath, 0, problem};
    disc.FileNames = ExportFileNames(cuePath, disc.Layout, singleFile);
    if (!disc.Ccd.Model.CdText.empty())
        disc.CdtName = BaseName(ChangeFileExt(cuePath, ".cdt"));
    return {};
}

// Every path the export writes, the sheet last.
std::vector<std::string> OutputPaths(const TExportDisc& disc, const std::string& cuePath)
{
    const std::string folder = FolderPrefix(cuePath);
    std::vector<std::string> paths;
    for (const std::string& name : disc.FileNames)
        paths.push_back(folder + name);
    if (!disc.CdtName.empty())
        paths.push_back(folder + disc.CdtName);
    // Planned whatever the .sub holds: a side-car left from before would be laid over this disc.
    paths.push_back(ChangeFileExt(cuePath, ".lsd"));
    paths.push_back(ChangeFileExt(cuePath, ".sbi"));
    paths.push_back(cuePath);
    return paths;
}

// The side-cars the conversion's lookup finds beside the sheet that are none of the outputs: another
// disc's frames, which the sheet would otherwise take.
std::vector<std::string> OtherSideCars(const std::string& cuePath, const std::vector<std::string>& outputs)
{
    std::vector<std::string> others;
    for (const std::string& path : SubQPatchFilesOf(cuePath))
        if (std::none_of(outputs.begin(), outputs.end(),
                         [&path](const std::string& out) { return out == path || IsSameFile(out, path); }))
            others.push_back(path);
    return others;
}

// An output that is one of the set's files, or two outputs that are one file.
std::string OutputProblem(const std::vector<std::string>& paths, const std::string& ccdPath)
{
    const std::string inputs[] = {ccdPath, ChangeFileExt(ccdPath, ".img"), ChangeFileExt(ccdPath, ".sub")};
    std::set<std::string> folded;
    for (const std::string& path : paths)
    {
        for (const std::string& input : inputs)
            if (IsSameFile(input, path) || ToLowerAscii(input) == ToLowerAscii(path))
                return "\"" + path + "\" is a file of the image set and cannot be overwritten.";
        if (!folded.insert(ToLowerAscii(path)).second)
            return "\"" + path + "\" would be written twice. Choose a sheet name that ends in .cue.";
    }
    return {};
}

// The packs of the control file as a CD-TEXT file holds them: 18 bytes each, with their CRC.
std::string CdTextFileBytes(const std::vector<TCdTextEntry>& entries)
{
    const TLuSubQCrc crc;
    std::string bytes;
    for (const TCdTextEntry& entry : entries)
    {
        const std::uint16_t value = crc.ComputeBytes(entry);
        bytes.append(reinterpret_cast<const char*>(entry.data()), entry.size());
        bytes += static_cast<char>(value >> 8);
        bytes += static_cast<char>(value & 0xFF);
    }
    return bytes;
}

class TExporter
{
public:
    TExporter(const TExportDisc& disc, const TFile& img, const TExportPacks& packs, TCueExportReport& report)
        : Disc(disc), Img(img), Packs(packs), Report(report)
    {}

    // Copies each track's sectors into its file; false when cancel said to stop.
    template <typename TStep>
    bool CopyTracks(TTemporaryFiles& files, const TStep& step);

private:
    void CheckModes(const TDiscTrack& track, const std::uint8_t* sectors, std::int64_t count);

    // A CD+G track's sectors with their packs after each one's audio.
    std::span<const std::uint8_t> WithPacks(std::span<const std::uint8_t> audio, std::int64_t firstSector);

    // Hands what was written to the medium now and then, so that the end has little to wait for.
    void WriteBack(const TFile& out);

    const TExportDisc& Disc;
    const TFile& Img;
    const TExportPacks& Packs;
    TCueExportReport& Report;
    std::int64_t Unsynced = 0; // sectors written since writeback last started
    std::unique_ptr<std::uint8_t[]> Buffer{new std::uint8_t[CHUNK_SECTORS * SECTOR_SIZE]};
    std::unique_ptr<std::uint8_t[]> CdgBuffer{new std::uint8_t[CHUNK_SECTORS * CDG_SECTOR_SIZE]};
    std::int64_t TrackMismatches = 0;
};

void TExporter::CheckModes(const TDiscTrack& track, const std::uint8_t* sectors, std::int64_t count)
{
    if (track.Mode != 1 && track.Mode != 2)
        return;
    for (std::int64_t i = 0; i < count; ++i)
    {
        const std::uint8_t* sector = sectors + i * std::int64_t(SECTOR_SIZE);
        // Mode 0 is a blank sector, which any data track's gaps may hold.
        if (std::equal(SYNC_PATTERN.begin(), SYNC_PATTERN.end(), sector) && sector[MODE_OFFSET] != 0 &&
            sector[MODE_OFFSET] != track.Mode)
            ++TrackMismatches;
    }
}

void TExporter::WriteBack(const TFile& out)
{
    Unsynced += CHUNK_SECTORS;
    if (Unsynced < WRITEBACK_SECTORS)
        return;
    out.StartWriteback(0, 0);
    Unsynced = 0;
}

std::span<const std::uint8_t> TExporter::WithPacks(std::span<const std::uint8_t> audio, std::int64_t firstSector)
{
    const std::size_t sectors = audio.size() / SECTOR_SIZE;
    for (std::size_t i = 0; i < sectors; ++i)
    {
        std::uint8_t* out = CdgBuffer.get() + i * CDG_SECTOR_SIZE;
        std::copy_n(audio.data() + i * SECTOR_SIZE, SECTOR_SIZE, out);
        std::copy_n(Packs.Packs.data() + (firstSector + std::int64_t(i)) * std::int64_t(SUBCODE_SIZE), SUBCODE_SIZE,
                    out + SECTOR_SIZE);
    }
    return {CdgBuffer.get(), sectors * CDG_SECTOR_SIZE};
}

template <typename TStep>
bool TExporter::CopyTracks(TTemporaryFiles& files, const TStep& step)
{
    for (std::size_t t = 0; t < Disc.Layout.Tracks.size(); ++t)
    {
        const TExportTrack& part = Disc.Layout.Tracks[t];
        TFile& out = files[part.File];
        TrackMismatches = 0;
        const bool data = part.Track->Mode == 1 || part.Track->Mode == 2;
        for (std::int64_t done = 0; done < part.Sectors;)
        {
            const std::int64_t n = std::min(CHUNK_SECTORS, part.Sectors - done);
            const std::int64_t offset = (part.FirstSector + done) * std::int64_t(SECTOR_SIZE);
            const std::span<std::uint8_t> bytes(Buffer.get(), static_cast<std::size_t>(n) * SECTOR_SIZE);
            // Sectors that need no look pass in the kernel, as a plain copy of the file would.
            if (part.Cdg)
            {
                Img.ReadExact(offset, bytes);
                out.WriteAll(WithPacks(bytes, part.FirstSector + done));
            }
            else
                out.CopyFrom(Img, offset, std::int64_t(bytes.size()), bytes);
            if (data)
            {
                Img.ReadExact(offset, bytes);
                CheckModes(*part.Track, bytes.data(), n);
            }
            if (files.Replacing())
                WriteBack(out);
            done += n;
            Report.Sectors += n;
            if (!step(Report.Sectors))
                return false;
        }
        if (TrackMismatches > 0)
            Report.Warnings.push_back("track " + std::to_string(part.Track->Number) + " is mode " +
                                      std::to_string(part.Track->Mode) + " in the control file, but " +
                                      std::to_string(TrackMismatches) + " of its sectors say another mode");
        Report.ModeMismatches += TrackMismatches;
    }
    return true;
}

// The .img and .sub must hold the sectors the control file lays out, whole.
void CheckSizes(const TFile& img, const TFile& sub, std::int64_t sectors, TCueExportReport& report)
{
    const std::int64_t imgSize = img.Size();
    const std::int64_t stored = imgSize / std::int64_t(SECTOR_SIZE);
    if (imgSize % std::int64_t(SECTOR_SIZE) != 0)
        throw EError(
            {0, img.Path(), 0, "holds " + std::to_string(imgSize) + " bytes, not a whole number of 2352-byte sectors"});
    if (stored < sectors)
        throw EError({0, img.Path(), 0,
                      "holds " + std::to_string(stored) + " sectors; the control file's tracks need " +
                          std::to_string(sectors)});
    if (stored > sectors)
        report.Warnings.push_back(img.Path() + " holds " + std::to_string(stored - sectors) +
                                  " sectors past the lead-out; they are not written");
    const std::int64_t wanted = stored * std::int64_t(SUBCODE_SIZE);
    if (sub.Size() != wanted)
        throw EError({0, sub.Path(), 0,
                      "holds " + std::to_string(sub.Size()) + " bytes; " + std::to_string(stored) + " sectors need " +
                          std::to_string(wanted)});
}

// How many sectors from the start of the first track's stored pregap are what the conversion composes
// for a PREGAP line: a P flag still down on its first sector, and the sectors of a gap of the track's
// mode. A pregap of file sectors may follow them: the sheet's PREGAP and INDEX 00 both.
std::int32_t ComposedFirstPregap(const TExportLayout& layout, const TFile& img, const TFile& sub)
{
    const TExportTrack& first = layout.Tracks.front();
    const std::int32_t gap = first.Track->IndexLba(1) - first.FirstLba;
    if (first.Session != 1 || gap <= 0)
        return 0;
    std::array<std::uint8_t, SUBCODE_SIZE> record{};
    sub.ReadExact(first.FirstSector * std::int64_t(SUBCODE_SIZE), record);
    if (std::any_of(record.begin(), record.begin() + 12, [](std::uint8_t b) { return b != 0; }))
        return 0;
    const std::int32_t mode = first.Track->Mode >= 0 ? first.Track->Mode : (first.Track->Control & 0x4) != 0 ? 1 : 0;
    const TMode1ErrorCorrect ecc;
    TRawSector want{};
    TRawSector have{};
    for (std::int32_t i = 0; i < gap; ++i)
    {
        want.fill(0);
        if (mode != 0)
        {
            std::copy(SYNC_PATTERN.begin(), SYNC_PATTERN.end(), want.begin());
            PutBcdMsf(std::span<std::uint8_t, 3>(want.data() + HEADER_OFFSET, 3),
                      static_cast<std::uint32_t>(first.FirstLba + i + PROGRAM_START));
            want[MODE_OFFSET] = static_cast<std::uint8_t>(mode);
            if (mode == 1 && !ecc.Generate(want))
                return 0;
        }
        img.ReadExact((first.FirstSector + i) * std::int64_t(SECTOR_SIZE), have);
        if (want != have)
            return i;
    }
    return gap;
}

// The set as the export reads it, checked: the control file laid out, the .img and .sub open and of
// the right sizes, the first pregap and the R-W packs looked at.
struct TExportSet
{
    TExportSet(const std::string& ccdPath, const std::string& cuePath, bool singleFile, TCueExportReport& report)
    {
        if (TError error = ReadExportDisc(ccdPath, cuePath, singleFile, Disc))
            throw EError(std::move(error));
        Img = TFile::OpenForReading(ChangeFileExt(ccdPath, ".img"), "the image file");
        Sub = TFile::OpenForReading(ChangeFileExt(ccdPath, ".sub"), "the subchannel file");
        CheckSizes(Img, Sub, Disc.Layout.ImgSectors, report);
        if (const std::int32_t composed = ComposedFirstPregap(Disc.Layout, Img, Sub); composed > 0)
            MakeFirstPregapGenerated(Disc.Layout, composed);
        Packs = ReadExportPacks(Disc.Layout, Sub, Disc.Layout.ImgSectors);
        for (std::size_t t = 0; t < Disc.Layout.Tracks.size(); ++t)
            Disc.Layout.Tracks[t].Cdg = Packs.Cdg[t];
        for (const std::int32_t track : Packs.Dropped)
            report.Warnings.push_back("track " + std::to_string(track) +
                                      " holds R-W data, which a sheet can keep for CD+G tracks only: not kept");
    }

    TExportDisc Disc;
    TFile Img;
    TFile Sub;
    TExportPacks Packs;
    TCdTextLines TextLines;            // the CD-TEXT as the sheet's lines, when they give the same packs
    std::vector<TTocEntry> TocEntries; // the TOC entries the sheet gives whole
};

// The files replaced stay until the new ones are complete, so the new ones need all of their room.
void CheckRoom(const TExportSet& set, const std::string& cuePath)
{
    std::int64_t bytes = 0;
    for (const TExportTrack& part : set.Disc.Layout.Tracks)
        bytes += part.Sectors * std::int64_t(part.Cdg ? CDG_SECTOR_SIZE : SECTOR_SIZE);
    const std::string folder = FolderOf(cuePath).empty() ? "." : FolderOf(cuePath);
    if (const std::int64_t free = FreeSpace(folder); free >= 0 && free < bytes)
        throw std::runtime_error("There is not enough free space in \"" + folder +
                                 "\" for the track files: they need " + GroupedNumber(bytes) + " bytes, " +
                                 GroupedNumber(free) + " are free.");
}

// A file of the export's own, removed when the object goes.
struct TScratchFile
{
    explicit TScratchFile(const std::string& target) : File(TFile::CreateTemporary(target)) {}
    ~TScratchFile() { ::unlink(File.Path().c_str()); }
    TScratchFile(const TScratchFile&) = delete;
    TScratchFile& operator=(const TScratchFile&) = delete;
    TFile File;
};

// Loads the sheet over the track files as written (under their temporary names), with the CD-TEXT as
// text lines where it can be, and compares the subchannel it composes with the .sub. The lines stay
// only when they give the very packs of the control file. The TOC it composes tells which entries the
// sheet must give whole. A sheet that does not load is a fault of the export.
TSubQComparison CompareWithSheet(TExportSet& set, TTemporaryFiles& files, const std::string& cuePath,
                                 const std::function<bool()>& keepGoing, std::vector<std::string>& warnings)
{
    std::vector<std::string> names;
    for (std::size_t i = 0; i < set.Disc.FileNames.size(); ++i)
        names.push_back(BaseName(files[i].Path()));
    const TDiscModel& model = set.Disc.Ccd.Model;
    set.TextLines = CdTextLinesOf(model.CdText, set.Disc.Layout.Tracks.size(), model.Catalog);
    TScratchFile scratch(cuePath);
    scratch.File.WriteAll(ExportSheetText(model, set.Disc.Layout, names, {}, set.TextLines));
    TLuCueSheet sheet;
    if (!sheet.Load(scratch.File.Path()))
        throw std::runtime_error("the exported sheet does not load: " + CueErrorText(sheet));
    if (sheet.Model().StoredRanges() != model.StoredRanges())
        throw std::runtime_error("the exported sheet does not put the sessions where the set has them");
    if (!set.TextLines.empty() && sheet.DiscModel().CdText != model.CdText)
        set.TextLines.clear();
    set.TocEntries = TocEntriesToCarry(model.Toc, sheet.Model(), warnings);
    return CompareSubQ(sheet, model.StoredRanges(), set.Sub, keepGoing);
}

void ReportSubQ(const TSubQComparison& q, TCueExportReport& report)
{
    report.QFrames = static_cast<std::int64_t>(q.Frames.size());
    report.LibCryptFrames = q.LibCrypt;
    report.DamagedFrames = q.Damaged;
    report.OddFrames = q.Odd;
    report.PDiffers = q.PDiffers;
}

// The CD-TEXT file, the side-cars and the sheet, into the last outputs; side-cars not needed are dropped.
void WriteSheetFiles(const TExportSet& set, const TSubQComparison& q, TTemporaryFiles& files, std::size_t count)
{
    const std::size_t cue = count - 1;
    const std::size_t sbi = count - 2;
    const std::size_t lsd = count - 3;
    const bool cdt = !set.Disc.CdtName.empty() && set.TextLines.empty();
    if (cdt)
        files[count - 4].WriteAll(CdTextFileBytes(set.Disc.Ccd.Model.CdText));
    else if (!set.Disc.CdtName.empty())
        files.Drop(count - 4);
    if (q.Frames.empty())
        files.Drop(lsd);
    else
        files[lsd].WriteAll(LsdBytes(q.Frames));
    if (q.LibCrypt == 0)
        files.Drop(sbi);
    else
        files[sbi].WriteAll(SbiBytes(q.LibCryptFrames));
    files[cue].WriteAll(ExportSheetText(set.Disc.Ccd.Model, set.Disc.Layout, set.Disc.FileNames,
                                        cdt ? set.Disc.CdtName : std::string(), set.TextLines, set.TocEntries));
}

} // namespace

std::string DefaultCuePath(const std::string& ccdPath)
{
    return ChangeFileExt(ccdPath, ".cue");
}

TCueExportPlan PlanCueExport(const std::string& ccdPath, const std::string& cuePath, bool singleFile)
{
    TCueExportPlan plan;
    TExportDisc disc;
    if (TError error = ReadExportDisc(ccdPath, cuePath, singleFile, disc))
    {
        plan.Problem = error.Text();
        return plan;
    }
    std::vector<std::string> paths = OutputPaths(disc, cuePath);
    plan.Problem = OutputProblem(paths, ccdPath);
    plan.Removed = OtherSideCars(cuePath, paths);
    paths.insert(paths.begin() + static_cast<std::ptrdiff_t>(disc.FileNames.size()), plan.Removed.begin(),
                 plan.Removed.end());
    const std::string folder = FolderOf(cuePath);
    if (std::string problem = folder.empty() ? "" : OutputFolderProblem(folder); !problem.empty())
        plan.Problem = problem;
    for (const std::string& path : paths)
        plan.Files.push_back(InspectOutput(path));
    return plan;
}

std::string RefuseExportOutputs(const TCueExportPlan& plan, bool force)
{
    if (!plan.Problem.empty())
        return plan.Problem;
    for (const TOutputFile& file : plan.Files)
    {
        if (file.Kind == pkFolder || file.Kind == pkOther)
            return "\"" + file.Path + "\" is not a file.";
        if (!file.Exists())
            continue;
        if (!force)
            return "\"" + file.Path + "\" already exists.";
        if (file.ReadOnly())
            return "\"" + file.Path + "\" is a read-only file.";
    }
    return {};
}

std::string CueExportSummary(const TCueExportReport& report)
{
    std::string text = std::to_string(report.Sectors) + " sectors of " + std::to_string(report.Tracks) +
                       (report.Tracks == 1 ? " track" : " tracks") + " written to \"" + report.CuePath + "\".\n";
    if (report.QFrames > 0)
        text +=
            std::to_string(report.QFrames) + " Q frames differ from those the sheet gives and are kept in " +
            BaseName(ChangeFileExt(report.CuePath, ".lsd")) + ": " + std::to_string(report.LibCryptFrames) +
            " at LibCrypt addresses" +
            (report.LibCryptFrames > 0 ? " (also in " + BaseName(ChangeFileExt(report.CuePath, ".sbi")) + ")" : "") +
            ", " + std::to_string(report.DamagedFrames) + " that look damaged (CRC fails), " +
            std::to_string(report.OddFrames) + " with a sound CRC.\n";
    if (report.PDiffers > 0)
        text +=
            std::to_string(report.PDiffers) + " sectors have a P channel other than the sheet gives; it is not kept.\n";
    return text;
}

void TCueExportJob::Run(const std::string& ccdPath, const std::string& cuePath, const TCueExportOptions& options)
{
    Report = TCueExportReport{};
    Report.CuePath = cuePath;
    RunFramed([&] {
        const std::time_t startedAt = std::time(nullptr);
        Report.SetUnreadable = true;
        TExportSet set(ccdPath, cuePath, options.SingleFile, Report);
        Report.SetUnreadable = false;
        const TCueExportPlan plan = PlanCueExport(ccdPath, cuePath, options.SingleFile);
        if (const std::string refused = RefuseExportOutputs(plan, options.Force); !refused.empty())
            throw EError({0, {}, 0, refused});
        CheckRoom(set, cuePath);

        std::vector<std::string> paths;
        for (const TOutputFile& file : plan.Files)
            paths.push_back(file.Path);
        TTemporaryFiles files(paths, startedAt);
        Notify(peSetRange, static_cast<std::int32_t>(set.Disc.Layout.ImgSectors / FRAMES_PER_SECOND + 2));
        Notify(peStep, 0);
        std::int64_t nextStep = FRAMES_PER_SECOND;
        TExporter exporter(set.Disc, set.Img, set.Packs, Report);
        const bool whole = exporter.CopyTracks(files, [&](std::int64_t copied) {
            for (; nextStep <= copied; nextStep += FRAMES_PER_SECOND)
                Notify(peStep, static_cast<std::int32_t>(nextStep));
            return !CancelRequested();
        });
        const auto keepGoing = [this] { return !CancelRequested(); };
        const TSubQComparison q =
            whole ? CompareWithSheet(set, files, cuePath, keepGoing, Report.Warnings) : TSubQComparison{};
        Notify(peComplete, 0);
        if (!whole || CancelRequested())
        {
            Status.store(csCanceled);
            Notify(peCanceled, 0);
            return;
        }
        ReportSubQ(q, Report);
        if (options.Strict && (!Report.Warnings.empty() || q.Damaged > 0))
            throw EError({0,
                          {},
                          0,
                          "the set is damaged and --strict is given: " +
                              (Report.Warnings.empty() ? std::to_string(q.Damaged) + " Q frames fail their CRC"
                                                       : Report.Warnings.front())});
        WriteSheetFiles(set, q, files, paths.size());
        for (std::size_t i = 0; i < paths.size(); ++i)
            if (std::find(plan.Removed.begin(), plan.Removed.end(), paths[i]) != plan.Removed.end())
                files.Drop(i);
        files.Commit();
        for (std::size_t i = 0; i < paths.size(); ++i)
            if (files.Kept(i))
                Report.Files.push_back(paths[i]);
        Report.Tracks = static_cast<std::int32_t>(set.Disc.Layout.Tracks.size());
        Status.store(csSucceeded);
        Notify(peFinished, 0);
    });
}
