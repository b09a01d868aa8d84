// SPDX-License-Identifier: GPL-3.0-or-later
#include "cuesheet/Toccommands.h"

#include "cuesheet/Tocrules.h"
#include "text/Asciitext.h"

#include <array>

namespace {

constexpr std::size_t FIELD_COUNT = 12;
using TFields = std::array<std::uint8_t, FIELD_COUNT>;

struct TKey
{
    std::string_view Name;
    bool Hex; // written so, and read either way
    unsigned Min;
    unsigned Max;
};

constexpr TKey Decimal(std::string_view name, unsigned max = 255)
{
    return {name, false, 0, max};
}

// ADR and Control share one byte of the descriptor: four bits each. The control file's reader takes
// no more than the TOC rule's limits.
constexpr TKey KEYS[FIELD_COUNT] = {
    {"Session", false, 1, MAX_SESSIONS},
    {"Point", true, 0, 0xFF},
    {"ADR", true, 0, 0x0F},
    {"Control", true, 0, 0x0F},
    Decimal("TrackNo", TOC_MAX_TRACK_NO),
    Decimal("AMin"),
    Decimal("ASec", TOC_MAX_A_SECOND),
    Decimal("AFrame", TOC_MAX_A_FRAME),
    Decimal("Zero"),
    Decimal("PMin"),
    Decimal("PSec"),
    Decimal("PFrame"),
};

// "0x00 to 0xff", "0 to 59": as the refusal names the key's range.
std::string RangeOf(const TKey& key)
{
    if (key.Hex)
        return HexByte(key.Min) + " to " + HexByte(key.Max);
    return std::to_string(key.Min) + " to " + std::to_string(key.Max);
}

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

// Hexadecimal after 0x, or decimal digits, whatever the key; false past 8 bits or the key's range.
bool ParseValue(const TKey& key, std::string_view text, std::uint8_t& value)
{
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    if (hex)
        text.remove_prefix(2);
    if (text.empty() || text.size() > 3)
        return false;
    unsigned v = 0;
    for (const char c : text)
    {
        const char low = LowerAscii(c);
        const bool hexLetter = hex && low >= 'a' && low <= 'f';
        if (!IsAsciiDigit(c) && !hexLetter)
            return false;
        v = v * (hex ? 16 : 10) + static_cast<unsigned>(hexLetter ? low - 'a' + 10 : c - '0');
    }
    value = static_cast<std::uint8_t>(v);
    return v >= key.Min && v <= key.Max;
}

// The entry, or the reason the words do not make one.
std::string ParseEntry(std::string_view words, TTocEntry& entry)
{
    TFields fields{};
    std::array<bool, FIELD_COUNT> given{};
    if (TrimBlanks(words).empty())
        return "the line gives no entry";
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
            return std::string(word) + " is not " + RangeOf(KEYS[k]);
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
        const std::string value = KEYS[k].Hex ? HexByte(fields[k]) : std::to_string(fields[k]);
        line.append(" ").append(KEYS[k].Name).append("=").append(value);
    }
    return line;
}
