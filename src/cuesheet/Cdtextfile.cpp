// SPDX-License-Identifier: GPL-3.0-or-later
#include "cuesheet/Cdtextfile.h"

#include "fileio/Fileio.h"
#include "synthesis/Cdtextpack.h"
#include "text/Asciitext.h"

#include <algorithm>
#include <array>
#include <stdexcept>

namespace {

// How many CRC failures a warning names one by one.
constexpr std::size_t NAMED_CRC_PACKS = 5;

std::string FaultText(const TCdTextFileCheck& check, std::int64_t size)
{
    const std::string pack = "pack " + GroupedNumber(static_cast<std::int64_t>(check.Pack));
    switch (check.Fault)
    {
    case cfEmpty: return "the file holds no CD-TEXT packs";
    case cfPartialPack:
        return GroupedNumber(size) + (size == 1 ? " byte" : " bytes") + " is not a whole number of " +
               std::to_string(CD_TEXT_PACK_SIZE) + "-byte packs";
    case cfTooManyPacks:
        return GroupedNumber(static_cast<std::int64_t>(check.Packs)) + " packs; a control file holds at most " +
               GroupedNumber(CD_TEXT_FILE_MAX_PACKS);
    case cfPackType: return pack + " has type 0x" + HexBytes(std::array{static_cast<std::uint8_t>(check.Found)}) + "; CD-TEXT packs are 0x80-0x8F";
    case cfSequence:
        return pack + "'s sequence number is " + std::to_string(check.Found) + ", expected " +
               std::to_string(check.Expected);
    case cfNone: break;
    }
    return {};
}

std::string CrcWarning(const std::string& label, const std::vector<std::size_t>& packs)
{
    std::string list;
    const std::size_t named = std::min(packs.size(), NAMED_CRC_PACKS);
    for (std::size_t i = 0; i < named; ++i)
        list += (i == 0 ? "" : i + 1 == packs.size() ? " and " : ", ") + GroupedNumber(std::int64_t(packs[i]));
    if (packs.size() > named)
        list += " and " + GroupedNumber(std::int64_t(packs.size() - named)) + " more";
    return label + ": " + (packs.size() == 1 ? "pack " : "packs ") + list +
           (packs.size() == 1 ? " fails its CRC check and is" : " fail their CRC check and are") + " copied unchanged";
}

} // namespace

bool CheckCdTextFile(const std::string& path, const std::string& label, std::string& detail,
                     std::vector<std::string>& warnings)
{
    std::string bytes;
    try
    {
        const TFile file = TFile::OpenForReading(path);
        // A disc image named by mistake is not read whole.
        const std::int64_t size = file.Size();
        if (size > static_cast<std::int64_t>(4 + CD_TEXT_PACK_SIZE * CD_TEXT_FILE_MAX_PACKS))
        {
            TCdTextFileCheck check;
            check.Fault = cfTooManyPacks;
            check.Packs = static_cast<std::size_t>(size) / CD_TEXT_PACK_SIZE;
            detail = label + ": " + FaultText(check, size);
            return false;
        }
        bytes = file.ReadAll();
    }
    catch (const std::system_error& error)
    {
        detail = label + ": cannot be read (" + error.code().message() + ")";
        return false;
    }
    const auto data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    const TCdTextFileCheck check = CheckCdTextPacks({data, bytes.size()});
    if (check.Fault != cfNone)
    {
        detail = label + ": " + FaultText(check, static_cast<std::int64_t>(bytes.size()));
        return false;
    }
    if (!check.BadCrcPacks.empty())
        warnings.push_back(CrcWarning(label, check.BadCrcPacks));
    return true;
}

std::vector<TCdTextEntry> ReadCdTextEntries(const std::string& path)
{
    const TFile file = TFile::OpenForReading(path, "the CD-TEXT file");
    const std::int64_t size = file.Size();
    std::int64_t start = 0;
    if (size >= 2)
    {
        std::array<std::uint8_t, 2> length{};
        file.ReadExact(0, length);
        start = static_cast<std::int64_t>(CdTextHeaderSize(static_cast<std::uint64_t>(size), length[0], length[1]));
    }
    const auto packSize = static_cast<std::int64_t>(CD_TEXT_PACK_SIZE);
    const std::int64_t packs = (size - start) / packSize;
    // Every pack costs memory until the file is written, so a file named by mistake (a disc image,
    // say) must not be taken whole.
    constexpr auto maxPacks = static_cast<std::int64_t>(CD_TEXT_FILE_MAX_PACKS);
    if (packs > maxPacks)
        throw std::runtime_error("The CD-TEXT file \"" + path + "\" holds more than " + std::to_string(maxPacks) +
                                 " packs");
    std::vector<TCdTextEntry> entries(static_cast<std::size_t>(packs));
    TCdTextPack pack{};
    for (std::int64_t i = 0; i < packs; ++i)
    {
        file.ReadExact(start + i * packSize, pack);
        std::copy_n(pack.begin(), entries[static_cast<std::size_t>(i)].size(),
                    entries[static_cast<std::size_t>(i)].begin());
    }
    return entries;
}
