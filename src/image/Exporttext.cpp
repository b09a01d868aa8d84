// SPDX-License-Identifier: GPL-3.0-or-later
#include "image/Exporttext.h"

#include "cuesheet/Cuetext.h"
#include "synthesis/Cdtextpack.h"

#include <array>

namespace {

// The sheet's keyword of each text pack type from 0x80 on; null where no line gives the type.
constexpr std::array<const char*, CD_TEXT_TEXT_TYPES> KEYWORDS = {
    "TITLE",  "PERFORMER", "SONGWRITER", "COMPOSER", "ARRANGER", "MESSAGE", "DISC_ID", "GENRE",
    nullptr, nullptr,     nullptr,      nullptr,    nullptr,    nullptr,   "UPC_EAN"};
constexpr std::size_t GENRE = ptGenre - ptTitle;
constexpr std::size_t UPC_ISRC = ptUpcIsrc - ptTitle;

std::string Latin1ToUtf8(const std::string& bytes)
{
    std::string text;
    for (const char c : bytes)
    {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80)
            text += c;
        else
        {
            text += static_cast<char>(0xC0 | b >> 6);
            text += static_cast<char>(0x80 | (b & 0x3F));
        }
    }
    return text;
}

// The strings of each type, by item, as the packs give them, in UTF-8; false for anything but one
// block of one-byte or MS-JIS text.
bool DecodeStrings(const std::vector<TCdTextEntry>& packs, std::size_t items,
                   std::array<std::vector<std::string>, CD_TEXT_TEXT_TYPES>& strings)
{
    std::array<std::string, CD_TEXT_TEXT_TYPES> bytes;
    std::array<std::size_t, CD_TEXT_TEXT_TYPES> first{};
    bool doubleByte = false;
    for (const TCdTextEntry& pack : packs)
    {
        const std::size_t type = pack[0] - ptTitle;
        if ((pack[3] & 0x70) != 0) // another block than the first
            return false;
        doubleByte = doubleByte || (pack[3] & 0x80) != 0;
        if (pack[0] == ptSizeInfo && pack[1] == 0 && pack[4] != ccIso8859_1 && pack[4] != ccAscii &&
            pack[4] != ccMsJis)
            return false;
        if (pack[0] < ptTitle || type >= CD_TEXT_TEXT_TYPES || KEYWORDS[type] == nullptr)
            continue;
        if (bytes[type].empty())
            first[type] = pack[1];
        bytes[type].append(reinterpret_cast<const char*>(pack.data() + 4), CD_TEXT_PAYLOAD);
    }
    for (std::size_t t = 0; t < CD_TEXT_TEXT_TYPES; ++t)
    {
        if (bytes[t].empty())
            continue;
        if (first[t] != 0)
            return false;
        std::vector<std::string>& list = strings[t];
        // The genre is the disc's alone: two code bytes, which may be zero, then its text.
        if (t == GENRE)
        {
            const std::size_t end = bytes[t].find('\0', 2);
            const std::string text = bytes[t].substr(2, end == std::string::npos ? std::string::npos : end - 2);
            list.push_back(bytes[t].substr(0, 2) + (doubleByte ? DecodeSheetText(text, scShiftJis) : Latin1ToUtf8(text)));
            continue;
        }
        // Strings end in one zero byte, two in a double-byte block, whose text is Shift-JIS.
        const std::string end = doubleByte ? std::string(2, '\0') : std::string(1, '\0');
        for (std::size_t at = 0; at < bytes[t].size() && list.size() < items;)
        {
            const std::size_t stop = bytes[t].find(end, at);
            std::string value = bytes[t].substr(at, stop == std::string::npos ? std::string::npos : stop - at);
            value = doubleByte ? DecodeSheetText(value, scShiftJis) : Latin1ToUtf8(value);
            // A lone tab repeats the string before.
            list.push_back((value == "\t" || value == "\t\t") && !list.empty() ? list.back() : value);
            at = stop == std::string::npos ? bytes[t].size() : stop + end.size();
        }
    }
    return true;
}

} // namespace

TCdTextLines CdTextLinesOf(const std::vector<TCdTextEntry>& packs, std::size_t tracks, const std::string& catalog)
{
    std::array<std::vector<std::string>, CD_TEXT_TEXT_TYPES> strings;
    if (packs.empty() || !DecodeStrings(packs, tracks + 1, strings))
        return {};
    TCdTextLines lines(tracks + 1);
    for (std::size_t t = 0; t < CD_TEXT_TEXT_TYPES; ++t)
        for (std::size_t item = 0; item < strings[t].size(); ++item)
        {
            std::string value = strings[t][item];
            if (t == GENRE && item == 0)
                value.erase(0, std::min<std::size_t>(2, value.size())); // the genre's code
            // Track ISRCs and the catalogue come from the control file's own lines.
            if (value.empty() || (t == UPC_ISRC && (item > 0 || value == catalog)))
                continue;
            if (value.find('"') != std::string::npos)
                return {};
            lines[item].push_back(std::string(KEYWORDS[t]) + " \"" + value + "\"");
        }
    return lines;
}
