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
#include <cstdio>
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

std::string HexMsf(const std::uint8_t* msf)
{
    char text[16];
    std::snprintf(text, sizeof text, "%02X:%02X:%02X", msf[0], msf[1], msf[2]);
    return text;
}

std::string AddressText(std::int32_t address)
{
    return MsfToStr(FramesToMsf(static_cast<std::uint32_t>(address)));
}

bool ReadSideCar(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error)
{
    const std::string name = BaseName(path);
    try
    {
        const TFile file = TFile::OpenForReading(path);
        if (file.Size() > MAX_FILE_SIZE)
        {
            error = name + ": is too large for a subchannel side-car";
            return false;
        }
        const std::string text = file.ReadAll();
        bytes.assign(text.begin(), text.end());
        return true;
    }
    catch (const std::system_error& failure)
    {
        error = name + ": cannot be read (" + failure.code().message() + ")";
        return false;
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

} // namespace

bool ParseSubQPatches(std::span<const std::uint8_t> bytes, TSubQPatchFormat format, std::string_view name,
                      std::int32_t leadOut, TSubQPatchList& result, std::string& error)
{
    const std::string prefix = std::string(name) + ": ";
    std::size_t pos = 0;
    if (format == pfSbi)
    {
        if (bytes.size() < SBI_HEADER_SIZE || !std::equal(SBI_HEADER, SBI_HEADER + SBI_HEADER_SIZE, bytes.begin()))
        {
            error = prefix + "the header is not \"SBI\\0\"";
            return false;
        }
        pos = SBI_HEADER_SIZE;
    }

    std::vector<TNumberedPatch> parsed;
    const TLuSubQCrc crc;
    for (std::size_t record = 1; pos < bytes.size(); ++record)
    {
        const std::string recordText = prefix + "record " + std::to_string(record);
        const std::size_t left = bytes.size() - pos;
        const std::uint8_t* at = bytes.data() + pos;
        TNumberedPatch entry;
        entry.Record = record;
        TSubQPatch& patch = entry.Patch;
        if (format == pfLsd)
        {
            if (left < LSD_RECORD_SIZE)
            {
                error = recordText + " is cut short";
                return false;
            }
            std::copy_n(at + 3, Q_FRAME_SIZE, patch.Bytes.begin());
            patch.Kind = sqFrame;
            pos += LSD_RECORD_SIZE;
        }
        else
        {
            if (left < SBI_ADDRESS_SIZE)
            {
                error = recordText + " is cut short";
                return false;
            }
            const std::uint8_t type = at[3];
            if (type < 1 || type > 3)
            {
                error = recordText + " has type " + std::to_string(type) + ", not 1, 2 or 3";
                return false;
            }
            const TPayload& payload = SBI_PAYLOADS[type - 1];
            if (left < SBI_ADDRESS_SIZE + payload.Size)
            {
                error = recordText + " is cut short";
                return false;
            }
            std::copy_n(at + SBI_ADDRESS_SIZE, payload.Size,
                        patch.Bytes.begin() + static_cast<std::ptrdiff_t>(payload.First));
            patch.Kind = payload.Kind;
            pos += SBI_ADDRESS_SIZE + payload.Size;
        }

        patch.Address = BcdMsfToFrames(std::span<const std::uint8_t, 3>(at, 3));
        if (patch.Address < 0 || FromBcd(at[1]) >= 60 || FromBcd(at[2]) >= FRAMES_PER_SECOND)
        {
            error = recordText + " has the invalid address " + HexMsf(at);
            return false;
        }
        if (patch.Address < PROGRAM_START || patch.Address >= leadOut)
        {
            error = prefix + "sector " + AddressText(patch.Address) + " is outside the disc";
            return false;
        }
        if (patch.Kind == sqFrame && HasValidQCrc(patch.Bytes, crc))
            result.Warnings.push_back(prefix + "the frame at " + AddressText(patch.Address) +
                                      " has a valid CRC and protects nothing");
        parsed.push_back(entry);
    }

    std::stable_sort(parsed.begin(), parsed.end(), [](const TNumberedPatch& a, const TNumberedPatch& b) {
        return a.Patch.Address < b.Patch.Address;
    });
    for (std::size_t i = 1; i < parsed.size(); ++i)
    {
        if (parsed[i].Patch.Address == parsed[i - 1].Patch.Address)
        {
            const auto [first, second] = std::minmax(parsed[i - 1].Record, parsed[i].Record);
            error = prefix + "records " + std::to_string(first) + " and " + std::to_string(second) +
                    " both patch sector " + AddressText(parsed[i].Patch.Address);
            return false;
        }
    }
    if (parsed.empty())
        result.Warnings.push_back(prefix + "holds no records");
    result.Patches.clear();
    for (const TNumberedPatch& entry : parsed)
        result.Patches.push_back(entry.Patch);
    return true;
}

TSubQPatchFormat SubQPatchFormatOf(std::string_view path, std::span<const std::uint8_t> bytes)
{
    if (EndsWithIgnoreCase(path, ".lsd"))
        return pfLsd;
    if (EndsWithIgnoreCase(path, ".sbi"))
        return pfSbi;
    const bool sbiHeader =
        bytes.size() >= SBI_HEADER_SIZE && std::equal(SBI_HEADER, SBI_HEADER + SBI_HEADER_SIZE, bytes.begin());
    return sbiHeader ? pfSbi : pfLsd;
}

std::string FindSubQPatchFile(const std::string& cuePath)
{
    const std::string folder = FolderPrefix(cuePath);
    std::string base = BaseName(cuePath);
    base.resize(base.size() - FileExtOf(base).size());

    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir)
        return {};
    // Of several spellings of one name the first in byte order wins, whatever the listing order.
    std::string found[2];
    while (const dirent* entry = ::readdir(dir))
    {
        const std::string_view entryName = entry->d_name;
        for (int i = 0; i < 2; ++i)
        {
            if (EqualsIgnoreCase(entryName, base + (i == 0 ? ".lsd" : ".sbi")) &&
                (found[i].empty() || entryName < found[i]))
            {
                const std::string path = folder + std::string(entryName);
                if (IsRegularFile(path))
                    found[i] = entryName;
            }
        }
    }
    ::closedir(dir);
    for (const std::string& name : found)
    {
        if (!name.empty())
            return folder + name;
    }
    return {};
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

bool ReadSubQPatchFile(const std::string& path, std::int32_t leadOut, TSubQPatchList& result, std::string& error)
{
    std::vector<std::uint8_t> bytes;
    return ReadSideCar(path, bytes, error) &&
           ParseSubQPatches(bytes, SubQPatchFormatOf(path, bytes), BaseName(path), leadOut, result, error);
}

bool AttachSubQPatches(TLuCueSheet& sheet, const std::string& path, std::vector<std::string>& warnings,
                       std::string& error)
{
    TSubQPatchList list;
    if (!ReadSubQPatchFile(path, sheet.LeadOutAddress(), list, error))
        return false;
    const TLuSubQCrc crc;
    for (TSubQPatch& patch : list.Patches)
    {
        patch.Bytes = PatchedQFrame(patch, PositionQFrame(sheet, patch.Address), crc);
        patch.Kind = sqFrame;
    }
    sheet.SubQPatches = std::move(list.Patches);
    sheet.SubQPatchFile = path;
    warnings.insert(warnings.end(), list.Warnings.begin(), list.Warnings.end());
    return true;
}

std::string SubQPatchSummary(const TLuCueSheet& sheet)
{
    if (sheet.SubQPatchFile.empty())
        return {};
    const std::size_t count = sheet.SubQPatches.size();
    return std::to_string(count) + (count == 1 ? " Q frame from " : " Q frames from ") + BaseName(sheet.SubQPatchFile);
}
