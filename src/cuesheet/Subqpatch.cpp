// SPDX-License-Identifier: GPL-3.0-or-later
#include "cuesheet/Subqpatch.h"

#include "cuesheet/Lucue.h"
#include "fileio/Paths.h"
#include "synthesis/Lusubqcrc.h"
#include "synthesis/Msf.h"
#include "synthesis/Qframe.h"

#include "fileio/Fileio.h"
#include "text/Asciitext.h"

#include <dirent.h>

#include <algorithm>
#include <array>
#include <system_error>

namespace {

constexpr std::uint8_t SBI_HEADER[SBI_HEADER_SIZE] = {'S', 'B', 'I', 0};
constexpr std::size_t SBI_ADDRESS_SIZE = 4; // M, S, F and the type
// A side-car holds a few dozen frames; anything near this is not one.
constexpr std::int64_t MAX_FILE_SIZE = std::int64_t(64) << 20;

struct TPayload
{
    TSubQPatchKind Kind;
    std::size_t First; // Q frame byte the payload starts at
    std::size_t Size;
};
constexpr TPayload SBI_PAYLOADS[] = {
    {sqControl, 0, Q_CRC_SPAN},
    {sqRelative, 3, 3},
    {sqAbsolute, 7, 3},
};

TError Refusal(std::string_view name, std::string reason)
{
    return {0, std::string(name), 0, std::move(reason)};
}

bool HasSbiHeader(std::span<const std::uint8_t> bytes)
{
    return bytes.size() >= SBI_HEADER_SIZE && std::equal(SBI_HEADER, SBI_HEADER + SBI_HEADER_SIZE, bytes.begin());
}

TError ReadSideCar(const std::string& path, std::vector<std::uint8_t>& bytes)
{
    const std::string name = BaseName(path);
    try
    {
        const TFile file = TFile::OpenForReading(path);
        if (file.Size() > MAX_FILE_SIZE)
            return Refusal(name, "is too large for a subchannel side-car");
        const std::string text = file.ReadAll();
        bytes.assign(text.begin(), text.end());
        return {};
    }
    catch (const std::system_error& failure)
    {
        return Refusal(name, "cannot be read (" + failure.code().message() + ")");
    }
}

// Parsed record with its 1-based number in the file, for the message about a repeated address.
struct TNumberedPatch
{
    TSubQPatch Patch;
    std::size_t Record = 0;
};

// The undamaged position frame of a sector inside the disc, made as the composer makes it.
TQFrame PositionQFrame(const TLuCueSheet& sheet, std::int32_t address)
{
    TQFrame q{};
    const std::int32_t r = sheet.FindAddressRow(static_cast<std::uint32_t>(address));
    if (r < 0 || r >= sheet.AddressRowCount())
        return q;
    const TLuCueSheet::TAddressTable& row = sheet.AddressRow(r);
    const TLuCueTrack* track = sheet.GetTrack(row.TrackNumber);
    const std::int64_t sectorInRow = std::int64_t(address) - row.StartAddress;
    const std::int64_t relative =
        row.IndexNumber == 0 ? row.RelativeStart - sectorInRow : row.RelativeStart + sectorInRow;
    return BuildPositionQ({(track ? track->GetControl() : 0) >> 4, row.TrackNumber, row.IndexNumber,
                           static_cast<std::int32_t>(std::max<std::int64_t>(relative, 0)), address});
}

std::string RecordText(std::size_t record)
{
    return "record " + std::to_string(record);
}

// An .lsd record: the address, then the whole frame. size: its length in the file.
TError ReadLsdRecord(std::span<const std::uint8_t> left, std::size_t record, std::string_view name,
                     TSubQPatch& patch, std::size_t& size)
{
    if (left.size() < LSD_RECORD_SIZE)
        return Refusal(name, RecordText(record) + " is cut short");
    std::copy_n(left.begin() + 3, Q_FRAME_SIZE, patch.Bytes.begin());
    patch.Kind = sqFrame;
    size = LSD_RECORD_SIZE;
    return {};
}

// An .sbi record: the address, the type, then the bytes the type names.
TError ReadSbiRecord(std::span<const std::uint8_t> left, std::size_t record, std::string_view name,
                     TSubQPatch& patch, std::size_t& size)
{
    if (left.size() < SBI_ADDRESS_SIZE)
        return Refusal(name, RecordText(record) + " is cut short");
    const std::uint8_t type = left[3];
    if (type < 1 || type > 3)
        return Refusal(name, RecordText(record) + " has type " + std::to_string(type) + ", not 1, 2 or 3");
    const TPayload& payload = SBI_PAYLOADS[type - 1];
    if (left.size() < SBI_ADDRESS_SIZE + payload.Size)
        return Refusal(name, RecordText(record) + " is cut short");
    std::copy_n(left.begin() + SBI_ADDRESS_SIZE, payload.Size,
                patch.Bytes.begin() + static_cast<std::ptrdiff_t>(payload.First));
    patch.Kind = payload.Kind;
    size = SBI_ADDRESS_SIZE + payload.Size;
    return {};
}

// The address a record starts with: a valid one, inside the disc.
TError ReadAddress(const std::uint8_t* msf, std::size_t record, std::string_view name, std::int32_t leadOut,
                   TSubQPatch& patch)
{
    patch.Address = BcdMsfToFrames(std::span<const std::uint8_t, 3>(msf, 3));
    if (patch.Address < 0 || FromBcd(msf[1]) >= 60 || FromBcd(msf[2]) >= FRAMES_PER_SECOND)
        return Refusal(name, RecordText(record) + " has the invalid address " + HexBytes(std::span(msf, 3), ':'));
    if (patch.Address < PROGRAM_START || patch.Address >= leadOut)
        return Refusal(name, "sector " + FramesToStr(patch.Address) + " is outside the disc");
    return {};
}

// The records after the header, numbered from 1; a whole frame whose CRC holds adds a warning.
TError ReadRecords(std::span<const std::uint8_t> records, TSubQPatchFormat format, std::string_view name,
                   std::int32_t leadOut, std::vector<TNumberedPatch>& parsed, std::vector<std::string>& warnings)
{
    const TLuSubQCrc crc;
    std::size_t pos = 0;
    for (std::size_t record = 1; pos < records.size(); ++record)
    {
        const std::span<const std::uint8_t> left = records.subspan(pos);
        TNumberedPatch entry;
        entry.Record = record;
        std::size_t size = 0;
        TError error = format == pfLsd ? ReadLsdRecord(left, record, name, entry.Patch, size)
                                       : ReadSbiRecord(left, record, name, entry.Patch, size);
        if (!error)
            error = ReadAddress(left.data(), record, name, leadOut, entry.Patch);
        if (error)
            return error;
        if (entry.Patch.Kind == sqFrame && HasValidQCrc(entry.Patch.Bytes, crc))
            warnings.push_back(std::string(name) + ": the frame at " + FramesToStr(entry.Patch.Address) +
                               " has a valid CRC and protects nothing");
        parsed.push_back(entry);
        pos += size;
    }
    return {};
}

// Sorts the records by address; two that patch one sector refuse the file.
TError SortByAddress(std::vector<TNumberedPatch>& parsed, std::string_view name)
{
    std::stable_sort(parsed.begin(), parsed.end(), [](const TNumberedPatch& a, const TNumberedPatch& b) {
        return a.Patch.Address < b.Patch.Address;
    });
    for (std::size_t i = 1; i < parsed.size(); ++i)
    {
        if (parsed[i].Patch.Address == parsed[i - 1].Patch.Address)
        {
            const auto [first, second] = std::minmax(parsed[i - 1].Record, parsed[i].Record);
            return Refusal(name, "records " + std::to_string(first) + " and " + std::to_string(second) +
                                     " both patch sector " + FramesToStr(parsed[i].Patch.Address));
        }
    }
    return {};
}

// The .sub has no record for the sectors between one session's program area and the next one's first
// INDEX 01: a frame there would be dropped unseen.
TError CheckStored(const TDiscModel& disc, const std::vector<TSubQPatch>& patches, std::string_view name)
{
    const std::vector<TLbaRange> ranges = disc.StoredRanges();
    for (const TSubQPatch& patch : patches)
    {
        const std::int32_t lba = patch.Address - PROGRAM_START;
        const auto next = std::find_if(ranges.begin(), ranges.end(), [lba](const TLbaRange& r) { return lba < r.End; });
        if (next == ranges.end() || next->First <= lba)
            continue;
        return Refusal(name, "sector " + FramesToStr(patch.Address) + " is in the gap before session " +
                                 std::to_string(next - ranges.begin() + 1) + ", which the set does not store");
    }
    return {};
}

} // namespace

TError ParseSubQPatches(std::span<const std::uint8_t> bytes, TSubQPatchFormat format, std::string_view name,
                        std::int32_t leadOut, TSubQPatchList& result)
{
    std::size_t start = 0;
    if (format == pfSbi)
    {
        if (!HasSbiHeader(bytes))
            return Refusal(name, "the header is not \"SBI\\0\"");
        start = SBI_HEADER_SIZE;
    }
    std::vector<TNumberedPatch> parsed;
    if (TError error = ReadRecords(bytes.subspan(start), format, name, leadOut, parsed, result.Warnings))
        return error;
    if (TError error = SortByAddress(parsed, name))
        return error;
    if (parsed.empty())
        result.Warnings.push_back(std::string(name) + ": holds no records");
    result.Patches.clear();
    for (const TNumberedPatch& entry : parsed)
        result.Patches.push_back(entry.Patch);
    return {};
}

TSubQPatchFormat SubQPatchFormatOf(std::string_view path, std::span<const std::uint8_t> bytes)
{
    if (EndsWithIgnoreCase(path, ".lsd"))
        return pfLsd;
    if (EndsWithIgnoreCase(path, ".sbi"))
        return pfSbi;
    return HasSbiHeader(bytes) ? pfSbi : pfLsd;
}

std::vector<std::string> SubQPatchFilesOf(const std::string& cuePath)
{
    const std::string folder = FolderPrefix(cuePath);
    std::string base = BaseName(cuePath);
    base.resize(base.size() - FileExtOf(base).size());

    std::vector<std::string> found[2];
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir)
        return {};
    while (const dirent* entry = ::readdir(dir))
    {
        const std::string_view entryName = entry->d_name;
        for (int i = 0; i < 2; ++i)
            if (EqualsIgnoreCase(entryName, base + (i == 0 ? ".lsd" : ".sbi")) &&
                IsRegularFile(folder + std::string(entryName)))
                found[i].emplace_back(entryName);
    }
    ::closedir(dir);
    // Of several spellings of one name the first in byte order wins, whatever the listing order.
    std::vector<std::string> paths;
    for (std::vector<std::string>& names : found)
    {
        std::sort(names.begin(), names.end());
        for (const std::string& name : names)
            paths.push_back(folder + name);
    }
    return paths;
}

std::string FindSubQPatchFile(const std::string& cuePath)
{
    const std::vector<std::string> paths = SubQPatchFilesOf(cuePath);
    return paths.empty() ? std::string() : paths.front();
}

TQFrame PatchedQFrame(const TSubQPatch& patch, const TQFrame& normal, const TLuSubQCrc& crc) noexcept
{
    if (patch.Kind == sqFrame)
        return patch.Bytes;
    TQFrame q = normal;
    const TPayload& payload = SBI_PAYLOADS[patch.Kind - sqControl];
    std::copy_n(patch.Bytes.begin() + static_cast<std::ptrdiff_t>(payload.First), payload.Size,
                q.begin() + static_cast<std::ptrdiff_t>(payload.First));
    SetQCrc(q, crc, true);
    return q;
}

TSubQPatchSpan SubQPatchSpanOf(TSubQPatchKind kind) noexcept
{
    if (kind == sqFrame)
        return {};
    const TPayload& payload = SBI_PAYLOADS[kind - sqControl];
    return {payload.First, payload.Size};
}

bool SubQPatchMatches(const TSubQPatch& patch, std::span<const std::uint8_t, Q_FRAME_SIZE> q) noexcept
{
    const TSubQPatchSpan held = SubQPatchSpanOf(patch.Kind);
    return std::equal(q.begin() + static_cast<std::ptrdiff_t>(held.First),
                      q.begin() + static_cast<std::ptrdiff_t>(held.First + held.Size),
                      patch.Bytes.begin() + static_cast<std::ptrdiff_t>(held.First));
}

TError ReadSubQPatchFile(const std::string& path, std::int32_t leadOut, TSubQPatchList& result)
{
    std::vector<std::uint8_t> bytes;
    if (TError error = ReadSideCar(path, bytes))
        return error;
    return ParseSubQPatches(bytes, SubQPatchFormatOf(path, bytes), BaseName(path), leadOut, result);
}

TError AttachSubQPatches(TLuCueSheet& sheet, const std::string& path, std::vector<std::string>& warnings)
{
    TSubQPatchList list;
    if (TError error = ReadSubQPatchFile(path, sheet.LeadOutAddress(), list))
        return error;
    if (TError error = CheckStored(sheet.Model(), list.Patches, BaseName(path)))
        return error;
    const TLuSubQCrc crc;
    for (TSubQPatch& patch : list.Patches)
    {
        patch.Bytes = PatchedQFrame(patch, PositionQFrame(sheet, patch.Address), crc);
        patch.Kind = sqFrame;
    }
    sheet.SubQPatches = std::move(list.Patches);
    sheet.SubQPatchFile = path;
    warnings.insert(warnings.end(), list.Warnings.begin(), list.Warnings.end());
    return {};
}

std::string SubQPatchSummary(const TLuCueSheet& sheet)
{
    if (sheet.SubQPatchFile.empty())
        return {};
    const std::size_t count = sheet.SubQPatches.size();
    return std::to_string(count) + (count == 1 ? " Q frame from " : " Q frames from ") + BaseName(sheet.SubQPatchFile);
}

bool IsLibCryptAddress(std::int32_t address)
{
    // The first sector of each pair; the second lies five sectors later.
    static constexpr std::array<std::int32_t, 16> FIRST = {14105, 14231, 14485, 14579, 14649, 14899, 15056, 15130,
                                                           15242, 15312, 15378, 15628, 15919, 16031, 16101, 16167};
    return std::any_of(FIRST.begin(), FIRST.end(),
                       [address](std::int32_t first) { return address == first || address == first + 5; });
}
