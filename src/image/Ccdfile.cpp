#include "image/Ccdfile.h"

#include "cuesheet/Lucue.h"
#include "fileio/Fileio.h"
#include "image/Inifile.h"
#include "synthesis/Cdtextpack.h"
#include "synthesis/Msf.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <stdexcept>

namespace {

// The two CRC bytes at the end of a pack are not written.
constexpr std::size_t CD_TEXT_PACK_SHOWN = 16;
constexpr std::size_t DESCRIPTOR_SIZE = 11;
constexpr std::size_t FIRST_DESCRIPTOR = 4;
constexpr std::uint8_t POINT_LEAD_OUT = 0xA2;
constexpr auto MAX_CD_TEXT_PACKS = static_cast<std::int64_t>(CD_TEXT_FILE_MAX_PACKS);

std::string HexByte(unsigned value)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%02x", value & 0xFFu);
    return text;
}

std::string PackText(const std::array<std::uint8_t, CD_TEXT_PACK_SIZE>& pack)
{
    static constexpr char DIGITS[] = "0123456789abcdef";
    std::string text;
    text.reserve(CD_TEXT_PACK_SHOWN * 3);
    for (std::size_t i = 0; i < CD_TEXT_PACK_SHOWN; ++i)
    {
        const std::uint8_t b = pack[i];
        if (i > 0)
            text += ' ';
        text += DIGITS[b >> 4];
        text += DIGITS[b & 0x0F];
    }
    return text;
}

// No file, a folder, or a path we may not even look at means no CD-TEXT, as it does for the parser;
// anything else named there must open as a regular file or the run fails.
bool CdTextFileIsNamed(const std::string& path)
{
    const TPathKind kind = PathKind(path);
    return kind == pkRegular || kind == pkOther;
}

// 4 when the file starts with a READ TOC/PMA/ATIP header, else 0.
std::int64_t ReadTocHeaderSize(const TFile& file, std::int64_t size)
{
    if (size < 2)
        return 0;
    std::array<std::uint8_t, 2> length{};
    file.ReadExact(0, length);
    return static_cast<std::int64_t>(CdTextHeaderSize(static_cast<std::uint64_t>(size), length[0], length[1]));
}

// The packs built from the sheet's text lines, as a CD-TEXT file's would be written.
void WriteSheetCdText(TIniFile& ini, const std::vector<TCdTextPack>& packs)
{
    ini.WriteInteger("Disc", "CDTextLength", static_cast<std::int32_t>(packs.size() * CD_TEXT_PACK_SIZE));
    ini.WriteInteger("CDText", "Entries", static_cast<std::int32_t>(packs.size()));
    for (std::size_t i = 0; i < packs.size(); ++i)
        ini.WriteString("CDText", "Entry " + std::to_string(i), PackText(packs[i]));
}

void WriteCdText(TIniFile& ini, const std::string& path)
{
    const TFile file = TFile::OpenForReading(path, "the CD-TEXT file");
    const std::int64_t size = file.Size();
    const std::int64_t start = ReadTocHeaderSize(file, size);
    const std::int64_t packs = (size - start) / static_cast<std::int64_t>(CD_TEXT_PACK_SIZE);
    // Every pack costs memory until the file is written, so a file named by mistake (a disc image,
    // say) must not be taken whole.
    if (packs > MAX_CD_TEXT_PACKS)
        throw std::runtime_error("The CD-TEXT file \"" + path + "\" holds more than " +
                                 std::to_string(MAX_CD_TEXT_PACKS) + " packs");

    ini.WriteInteger("Disc", "CDTextLength", static_cast<std::int32_t>(packs * CD_TEXT_PACK_SIZE));
    ini.WriteInteger("CDText", "Entries", static_cast<std::int32_t>(packs));
    std::array<std::uint8_t, CD_TEXT_PACK_SIZE> pack{};
    for (std::int64_t i = 0; i < packs; ++i)
    {
        file.ReadExact(start + i * static_cast<std::int64_t>(CD_TEXT_PACK_SIZE), pack);
        ini.WriteString("CDText", "Entry " + std::to_string(i), PackText(pack));
    }
}

void WriteEntry(TIniFile& ini, std::size_t k, const std::uint8_t* d)
{
    const std::string section = "Entry " + std::to_string(k);
    ini.WriteInteger(section, "Session", d[0]);
    ini.WriteString(section, "Point", HexByte(d[3]));
    ini.WriteString(section, "ADR", HexByte(d[1] & 0x0F));
    ini.WriteString(section, "Control", HexByte(d[1] >> 4));
    ini.WriteInteger(section, "TrackNo", d[2]);
    ini.WriteInteger(section, "AMin", d[4]);
    ini.WriteInteger(section, "ASec", d[5]);
    ini.WriteInteger(section, "AFrame", d[6]);
    ini.WriteInteger(section, "ALBA", (d[4] * 60 + d[5]) * FRAMES_PER_SECOND + d[6] - PROGRAM_START);
    ini.WriteInteger(section, "Zero", 0);
    ini.WriteInteger(section, "PMin", d[8]);
    ini.WriteInteger(section, "PSec", d[9]);
    ini.WriteInteger(section, "PFrame", d[10]);
    ini.WriteInteger(section, "PLBA", (d[8] * 60 + d[9]) * FRAMES_PER_SECOND + d[10] - PROGRAM_START);
}

} // namespace

std::string CcdFileText(const TLuCueSheet& sheet, std::int32_t& leadOut)
{
    std::array<std::uint8_t, FULL_TOC_SIZE> toc{};
    if (sheet.TrackCount < 1 || !sheet.GetFullToc(toc.data()))
        throw std::runtime_error("No cue sheet with tracks is loaded");
    const std::size_t dataLength = static_cast<std::size_t>(toc[0] << 8 | toc[1]);
    const std::size_t entries = dataLength >= 2 ? (dataLength - 2) / DESCRIPTOR_SIZE : 0;

    // Built whole in memory: a CD-TEXT file that cannot be read fails the run before anything is written.
    TIniFile ini(std::string{});
    ini.WriteInteger("CloneCD", "Version", 3);
    ini.WriteInteger("Disc", "TocEntries", static_cast<std::int32_t>(entries));
    ini.WriteInteger("Disc", "Sessions", 1);
    ini.WriteInteger("Disc", "DataTracksScrambled", 0);
    ini.WriteInteger("Disc", "CDTextLength", 0);
    if (!sheet.Catalog.empty())
        ini.WriteString("Disc", "CATALOG", sheet.Catalog);

    if (CdTextFileIsNamed(sheet.CdTextFile))
        WriteCdText(ini, sheet.CdTextFile);
    else if (!sheet.CdTextPacks.empty())
    {
        WriteSheetCdText(ini, sheet.CdTextPacks);
    }

    ini.WriteInteger("Session 1", "PreGapMode", 0);
    ini.WriteInteger("Session 1", "PreGapSubC", 0);

    leadOut = 0;
    for (std::size_t k = 0; k < entries; ++k)
    {
        const std::uint8_t* d = toc.data() + FIRST_DESCRIPTOR + k * DESCRIPTOR_SIZE;
        WriteEntry(ini, k, d);
        if (d[3] == POINT_LEAD_OUT)
            leadOut = (d[8] * 60 + d[9]) * FRAMES_PER_SECOND + d[10];
    }

    for (std::int32_t j = 0; j < sheet.TrackCount; ++j)
    {
        const std::int32_t n = sheet.FirstTrackNo + j;
        const std::string section = "TRACK " + std::to_string(n);
        if (j == 0)
            ini.WriteInteger("Session 1", "PreGapMode", sheet.GetTrackMode(n));
        ini.WriteInteger(section, "MODE", sheet.GetTrackMode(n));
        const std::string isrc = sheet.GetTrackIsrc(n);
        if (!isrc.empty())
            ini.WriteString(section, "ISRC", isrc);
        for (std::int32_t i = 0; i <= MAX_INDEX; ++i)
        {
            const std::int32_t address = sheet.GetIndexAddress(n, i);
            if (address == -1)
            {
                if (i == 0)
                    continue;
                break;
            }
            // The first track's index 0 lies before LBA 0, in the pregap that no image holds.
            if (i == 0 && j == 0)
                continue;
            ini.WriteInteger(section, "INDEX " + std::to_string(i), address - PROGRAM_START);
        }
    }

    return ini.Text();
}

std::int32_t WriteCcdFile(const std::string& ccdPath, const TLuCueSheet& sheet)
{
    std::int32_t leadOut = 0;
    const std::string text = CcdFileText(sheet, leadOut);
    TFile out = TFile::OpenForWriting(ccdPath);
    out.WriteAll(text);
    out.Close();
    return leadOut;
}
