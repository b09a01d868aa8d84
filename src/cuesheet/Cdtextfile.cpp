#include "cuesheet/Cdtextfile.h"

#include "fileio/Fileio.h"
#include "synthesis/Cdtextpack.h"
#include "text/Asciitext.h"

#include <algorithm>
#include <cstdio>

namespace {

// How many CRC failures a warning names one by one.
constexpr std::size_t NAMED_CRC_PACKS = 5;

std::string Hex(unsigned value)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value & 0xFFu);
    return text;
}

std::string FaultText(const TCdTextFileCheck& check, std::int64_t size)
{
    const std::string pack = "pack " + GroupedNumber(static_cast<std::int64_t>(check.Pack));
    switch (check.Fault)
    {
    case cfEmpty: return "the file holds no CD-TEXT packs";
    case cfPartialPack:
        return GroupedNumber(size) + " bytes is not a whole number of " + std::to_string(CD_TEXT_PACK_SIZE) +
               "-byte packs";
    case cfTooManyPacks:
        return GroupedNumber(static_cast<std::int64_t>(check.Packs)) + " packs; a control file holds at most " +
               GroupedNumber(CD_TEXT_FILE_MAX_PACKS);
    case cfPackType: return pack + " has type " + Hex(check.Found) + "; CD-TEXT packs are 0x80-0x8F";
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
