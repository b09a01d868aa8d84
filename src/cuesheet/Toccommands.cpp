// SPDX-License-Identifier: GPL-3.0-or-later
#include "cuesheet/Toccommands.h"

#include "text/Asciitext.h"

#include <array>
#include <cstdio>

namespace {

constexpr std::size_t FIELD_COUNT = 12;
using TFields = std::array<std::uint8_t, FIELD_COUNT>;

struct TKey
{
    std::string_view Name;
    bool Hex;
    unsigned Min;
    unsigned Max;
    std::string_view Range; // as the refusal names it
};

constexpr TKey DECIMAL_BYTE = {"", false, 0, 255, "0 to 255"};
constexpr TKey Decimal(std::string_view name)
{
    TKey key = DECIMAL_BYTE;
    key.Name = name;
    return key;
}

// ADR and Control share one byte of the descriptor: four bits each.
constexpr TKey KEYS[FIELD_COUNT] = {
    {"Session", false, 1, MAX_SESSIONS, "1 to 99"},
    {"Point", true, 0, 0xFF, "0x00 to 0xff"},
    {"ADR", true, 0, 0x0F, "0x00 to 0x0f"},
    {"Control", true, 0, 0x0F, "0x00 to 0x0f"},
    Decimal("TrackNo"),
    Decimal("AMin"),
    Decimal("ASec"),
    Decimal("AFrame"),
    Decimal("Zero"),
    Decimal("PMin"),
    Decimal("PSec"),
    Decimal("PFrame"),
};

TFields FieldsOf(const TTocEntry& e)
{
    return {e.Session,  e.Point,   e.Adr,  e.Control,  e.TrackNo,  e.A.Minute,
            e.A.Second, e.A.Frame, e.Zero, e.P.Minute, e.P.Second, e.P.Frame};
}

TTocEntry EntryOf(const TFields& f)
{
    TTocEntry e;
    e.Session = f[0];
    e.Point = f[1];
    e.Adr = f[2];
    e.Control = f[3];
    e.TrackNo = f[4];
    e.A = TMsf{0, f[5], f[6], f[7]};
    e.Zero = f[8];
    e.P = TMsf{0, f[9], f[10], f[11]};
    return e;
}

// Hexadecimal with its 0x, or decimal digits, as the key wants; false past 8 bits or the key's range.
bool ParseValue(const TKey& key, std::string_view text, std::uint8_t& value)
{
    if (key.Hex && (text.size() < 3 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X')))
        return false;
    if (key.Hex)
        text.remove_prefix(2);
    if (text.empty() || text.size() > 3)
        return false;
    unsigned v = 0;
    for (const char c : text)
    {
        const char low = LowerAscii(c);
        const bool hexLetter = key.Hex && low >= 'a' && low <= 'f';
        if (!IsAsciiDigit(c) && !hexLetter)
            return false;
        v = v * (key.Hex ? 16 : 10) + static_cast<unsigned>(hexLetter ? low - 'a' + 10 : c - '0');
    }
    value = static_cast<std::uint8_t>(v);
    return v >= key.Min && v <= key.Max;
}

// The entry, or the reason the words do not make one.
std::string ParseEntry(std::string_view words, TTocEntry& entry)
{
    TFields fields{};
    std::array<bool, FIELD_COUNT> given{};
    while (!(words = TrimBlanks(words)).empty())
    {
        const std::size_t end = std::min(words.find_first_of(" \t"), words.size());
        const std::string_view word = words.substr(0, end);
        words.remove_prefix(end);
        const std::size_t eq = word.find('=');
        std::size_t k = 0;
        while (k < FIELD_COUNT && (eq == std::string_view::npos || !EqualsIgnoreCase(word.substr(0, eq), KEYS[k].Name)))
            ++k;
        if (k == FIELD_COUNT)
            return std::string(word).insert(0, 1, '"') + "\" is no Key=value of a TOC entry";
        if (given[k])
            return std::string(KEYS[k].Name) + " is given twice";
        given[k] = true;
        if (!ParseValue(KEYS[k], word.substr(eq + 1), fields[k]))
            return std::string(word) + " is not " + std::string(KEYS[k].Range);
    }
    for (std::size_t k = 0; k < FIELD_COUNT; ++k)
        if (!given[k])
            return std::string(KEYS[k].Name) + " is missing";
    entry = EntryOf(fields);
    return {};
}

} // namespace

TCueErrorReason HandleTocEntry(TSheetReader& reader, const TCueCommand& command)
{
    if (reader.Sheet.TrackCount > 0)
        return erMisplaced;
    TTocEntry entry;
    if (std::string problem = ParseEntry(command.ArgOriginal, entry); !problem.empty())
    {
        reader.Sheet.ErrorDetail = "REM TOC-ENTRY: " + problem;
        return erBadArgument;
    }
    reader.Sheet.TocLines.push_back({command.LineNo, entry});
    return erNone;
}

std::string TocEntryLine(const TTocEntry& entry)
{
    const TFields fields = FieldsOf(entry);
    std::string line = "REM TOC-ENTRY";
    for (std::size_t k = 0; k < FIELD_COUNT; ++k)
    {
        char value[8];
        std::snprintf(value, sizeof value, KEYS[k].Hex ? "0x%02x" : "%u", static_cast<unsigned>(fields[k]));
        line.append(" ").append(KEYS[k].Name).append("=").append(value);
    }
    return line;
}
