// SPDX-License-Identifier: GPL-3.0-or-later
#include "image/Ccdreader.h"

#include "cuesheet/Tocrules.h"
#include "fileio/Fileio.h"
#include "image/Inifile.h"
#include "synthesis/Msf.h"
#include "text/Asciitext.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>

namespace {

constexpr std::size_t MAX_FILE_SIZE = 16u << 20;
// 99 tracks and the A0-A2 points need 102; the TOC rule holds a sheet's entries to the same limits.
constexpr auto MAX_ENTRIES = static_cast<std::int32_t>(TOC_MAX_ENTRIES);
constexpr std::int32_t MAX_LBA = TOC_MAX_LBA;
constexpr std::int32_t MIN_LBA = -450150;               // the lead-in's addresses, as some tools write them
constexpr std::int32_t MAX_CD_TEXT_PACKS = 4 * 8 * 256; // as many as the writer takes

// A folded name against one of the vocabulary's.
bool Is(std::string_view folded, std::string_view name)
{
    return folded == ToLowerAscii(name);
}

// At most 40 characters of a line for a message, anything unprintable shown as '?'.
std::string Quote(std::string_view text)
{
    std::string out = "\"";
    for (const char c : text.substr(0, 40))
        out += c >= 0x20 && c < 0x7F ? c : '?';
    return out + (text.size() > 40 ? "...\"" : "\"");
}

// Decimal with an optional sign, or 0x hexadecimal, within 32 bits.
std::optional<std::int64_t> ParseNumber(std::string_view text)
{
    bool negative = false;
    int base = 10;
    if (!text.empty() && (text[0] == '-' || text[0] == '+'))
    {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
    {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty() || text.size() > 10)
        return std::nullopt;
    std::int64_t value = 0;
    for (const char c : text)
    {
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return std::nullopt;
        value = value * base + digit;
    }
    if (value > 0xFFFFFFFFll)
        return std::nullopt;
    return negative ? -value : value;
}

// "name n" with n a decimal number: the number, else nullopt.
std::optional<std::int32_t> NumberedName(std::string_view folded, std::string_view name)
{
    const std::string prefix = ToLowerAscii(name) + " ";
    if (folded.size() <= prefix.size() || folded.substr(0, prefix.size()) != prefix)
        return std::nullopt;
    const auto n = ParseNumber(TrimBlanks(folded.substr(prefix.size())));
    if (!n || *n < 0 || *n > 99999)
        return std::nullopt;
    return static_cast<std::int32_t>(*n);
}

enum TSectionKind : std::uint8_t
{
    skOther = 0,
    skCloneCd = 1,
    skDisc = 2,
    skCdText = 3,
    skSession = 4,
    skEntry = 5,
    skTrack = 6,
};

class TParser
{
public:
    TParser(const std::string& name, TCcdDisc& disc, TError& error) : Name(name), Disc(disc), Error(error) {}

    bool Parse(std::string_view text);

private:
    bool Fail(std::int32_t line, const std::string& reason)
    {
        Error = {0, Name, static_cast<std::uint32_t>(line), reason};
        return false;
    }
    bool StartSection(std::string_view name);
    bool Key(std::string_view key, std::string_view value);
    bool DiscKey(const std::string& folded, std::string_view key, std::string_view value);
    bool CdTextKey(const std::string& folded, std::string_view key, std::string_view value);
    bool EntryKey(const std::string& folded, std::string_view key, std::string_view value);
    bool TrackKey(const std::string& folded, std::string_view key, std::string_view value);
    bool Integer(std::string_view key, std::string_view value, std::int64_t low, std::int64_t high, std::int32_t& out);
    bool Finish();
    void FillSessions();

    const std::string& Name;
    TCcdDisc& Disc;
    TError& Error;
    std::int32_t Line = 0;
    TSectionKind Kind = skOther;
    std::int32_t SectionNumber = 0;
    std::set<std::string> Sections;
    std::set<std::string> Keys; // of the current section
    std::map<std::int32_t, TCcdEntry> Entries;
    std::map<std::int32_t, std::set<std::string>> EntryKeys;
    std::map<std::int32_t, TDiscTrack> Tracks;
    std::map<std::int32_t, TCdTextEntry> Packs;
    std::int32_t CloneCdLine = 0;
    std::int32_t DiscLine = 0;
    std::int32_t CdTextLine = 0;
    std::int32_t Sessions = 1;
    bool HasTocEntries = false;
    bool HasCdTextEntries = false;
};

bool TParser::Parse(std::string_view text)
{
    TIniLines lines(text);
    std::string_view raw;
    while (lines.Next(raw))
    {
        Line = lines.Number();
        const std::string_view line = TrimBlanks(raw);
        if (line.empty() || line[0] == ';')
            continue;
        if (line.find('\0') != std::string_view::npos)
            return Fail(Line, "the file holds binary data, not text");
        if (line.front() == '[')
        {
            if (line.back() != ']')
                return Fail(Line, "a section header without its closing \"]\"");
            if (!StartSection(TrimBlanks(line.substr(1, line.size() - 2))))
                return false;
            continue;
        }
        std::string_view key;
        std::string_view value;
        if (!SplitIniKeyValue(line, key, value))
            return Fail(Line, Quote(line) + " is neither a [section] nor a key=value line");
        if (Sections.empty())
            return Fail(Line, "a key before the first section");
        if (key.empty())
            return Fail(Line, "a value without a key");
        if (!Key(key, value))
            return false;
    }
    return Finish();
}

bool TParser::StartSection(std::string_view name)
{
    const std::string folded = ToLowerAscii(name);
    if (folded.empty())
        return Fail(Line, "a section without a name");
    if (!Sections.insert(folded).second)
        return Fail(Line, "the section " + Quote(name) + " appears twice");
    Keys.clear();
    Kind = skOther;
    if (Is(folded, CCD_CLONECD))
    {
        Kind = skCloneCd;
        CloneCdLine = Line;
    }
    else if (Is(folded, CCD_DISC))
    {
        Kind = skDisc;
        DiscLine = Line;
    }
    else if (Is(folded, CCD_CD_TEXT))
    {
        Kind = skCdText;
        CdTextLine = Line;
        Disc.Model.HasCdText = true;
    }
    else if (const auto session = NumberedName(folded, CCD_SESSION))
    {
        Kind = skSession;
        SectionNumber = *session;
    }
    else if (const auto entry = NumberedName(folded, CCD_ENTRY))
    {
        if (*entry >= MAX_ENTRIES)
            return Fail(Line, "entry number " + std::to_string(*entry) + " is out of range (0-999)");
        Kind = skEntry;
        SectionNumber = *entry;
        Entries[*entry].Line = Line;
        Entries[*entry].Number = *entry;
    }
    else if (const auto track = NumberedName(folded, CCD_TRACK))
    {
        if (*track < 1 || *track > 99)
            return Fail(Line, "track number " + std::to_string(*track) + " is out of range (1-99)");
        Kind = skTrack;
        SectionNumber = *track;
        Tracks[*track].Number = *track;
    }
    return true;
}

bool TParser::Integer(std::string_view key, std::string_view value, std::int64_t low, std::int64_t high,
                      std::int32_t& out)
{
    const auto n = ParseNumber(value);
    if (!n)
        return Fail(Line, std::string(key) + " " + Quote(value) + " is not a number");
    if (*n < low || *n > high)
        return Fail(Line, std::string(key) + " " + std::to_string(*n) + " is out of range (" + std::to_string(low) +
                              " to " + std::to_string(high) + ")");
    out = static_cast<std::int32_t>(*n);
    return true;
}

bool TParser::Key(std::string_view key, std::string_view value)
{
    const std::string folded = ToLowerAscii(key);
    if (!Keys.insert(folded).second)
        return Fail(Line, "the key " + Quote(key) + " appears twice in its section");
    switch (Kind)
    {
    case skCloneCd:
        if (Is(folded, CCD_VERSION))
            return Integer(key, value, 1, 99, Disc.Version);
        return true;
    case skDisc: return DiscKey(folded, key, value);
    case skCdText: return CdTextKey(folded, key, value);
    case skEntry: return EntryKey(folded, key, value);
    case skTrack: return TrackKey(folded, key, value);
    default: return true;
    }
}

bool TParser::DiscKey(const std::string& folded, std::string_view key, std::string_view value)
{
    if (Is(folded, CCD_TOC_ENTRIES))
    {
        HasTocEntries = true;
        return Integer(key, value, 0, MAX_ENTRIES, Disc.TocEntries);
    }
    if (Is(folded, CCD_SESSIONS))
        return Integer(key, value, 1, 99, Sessions);
    if (Is(folded, CCD_DATA_TRACKS_SCRAMBLED))
    {
        std::int32_t scrambled = 0;
        if (!Integer(key, value, 0, 1, scrambled))
            return false;
        Disc.DataTracksScrambled = scrambled != 0;
        return true;
    }
    if (Is(folded, CCD_CD_TEXT_LENGTH))
        return Integer(key, value, 0, MAX_CD_TEXT_PACKS * 18, Disc.CdTextLength);
    if (Is(folded, CCD_CATALOG))
    {
        if (value.size() != 13 || !std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return Fail(Line, "CATALOG " + Quote(value) + " is not 13 digits");
        Disc.Model.Catalog = value;
    }
    return true;
}

bool TParser::CdTextKey(const std::string& folded, std::string_view key, std::string_view value)
{
    if (Is(folded, CCD_CD_TEXT_ENTRIES))
    {
        HasCdTextEntries = true;
        return Integer(key, value, 0, MAX_CD_TEXT_PACKS, Disc.CdTextEntries);
    }
    const auto n = NumberedName(folded, CCD_CD_TEXT_ENTRY);
    if (!n)
        return true;
    if (*n >= MAX_CD_TEXT_PACKS)
        return Fail(Line, "CD-TEXT entry " + std::to_string(*n) + " is out of range");
    TCdTextEntry pack{};
    std::size_t count = 0;
    std::size_t i = 0;
    while (i < value.size())
    {
        if (value[i] == ' ')
        {
            ++i;
            continue;
        }
        const auto byte = ParseNumber("0x" + std::string(value.substr(i, 2)));
        if (count == pack.size() || i + 2 > value.size() || !byte || (i + 2 < value.size() && value[i + 2] != ' '))
            return Fail(Line, "CD-TEXT " + std::string(key) + " is not 16 hexadecimal bytes");
        pack[count++] = static_cast<std::uint8_t>(*byte);
        i += 2;
    }
    if (count != pack.size())
        return Fail(Line, "CD-TEXT " + std::string(key) + " is not 16 hexadecimal bytes");
    Packs[*n] = pack;
    return true;
}

bool TParser::EntryKey(const std::string& folded, std::string_view key, std::string_view value)
{
    struct TField
    {
        std::string_view Name;
        std::int64_t Low, High;
        std::int32_t TCcdEntry::*Member;
    };
    static constexpr TField FIELDS[] = {
        {CCD_SESSION, 1, 99, &TCcdEntry::Session},
        {CCD_POINT, 0, 255, &TCcdEntry::Point},
        {CCD_ADR, 0, 15, &TCcdEntry::Adr},
        {CCD_CONTROL, 0, 15, &TCcdEntry::Control},
        {CCD_TRACK_NO, 0, TOC_MAX_TRACK_NO, &TCcdEntry::TrackNo},
        {CCD_A_MIN, 0, 255, &TCcdEntry::AMin},
        {CCD_A_SEC, 0, TOC_MAX_A_SECOND, &TCcdEntry::ASec},
        {CCD_A_FRAME, 0, TOC_MAX_A_FRAME, &TCcdEntry::AFrame},
        {CCD_A_LBA, MIN_LBA, MAX_LBA, &TCcdEntry::ALba},
        {CCD_ZERO, 0, 255, &TCcdEntry::Zero},
        {CCD_P_MIN, 0, 255, &TCcdEntry::PMin},
        {CCD_P_SEC, 0, 255, &TCcdEntry::PSec}, // A0 carries the disc type here
        {CCD_P_FRAME, 0, 255, &TCcdEntry::PFrame},
        {CCD_P_LBA, MIN_LBA, MAX_LBA, &TCcdEntry::PLba},
    };
    TCcdEntry& e = Entries[SectionNumber];
    EntryKeys[SectionNumber].insert(folded);
    for (const TField& field : FIELDS)
        if (Is(folded, field.Name))
            return Integer(key, value, field.Low, field.High, e.*field.Member);
    return true;
}

bool TParser::TrackKey(const std::string& folded, std::string_view key, std::string_view value)
{
    TDiscTrack& t = Tracks[SectionNumber];
    if (Is(folded, CCD_MODE))
        return Integer(key, value, 0, 2, t.Mode);
    if (Is(folded, CCD_ISRC))
    {
        if (value.size() != 12)
            return Fail(Line, "ISRC " + Quote(value) + " is not 12 characters");
        t.Isrc = value;
        return true;
    }
    if (const auto n = NumberedName(folded, CCD_INDEX))
    {
        if (*n > 99)
            return Fail(Line, "index number " + std::to_string(*n) + " is out of range (0-99)");
        TDiscIndex index;
        index.Number = *n;
        if (!Integer(key, value, 0, MAX_LBA, index.Lba))
            return false;
        t.Indexes.push_back(index);
    }
    return true;
}

bool TParser::Finish()
{
    if (CloneCdLine == 0)
        return Fail(std::max<std::int32_t>(Line, 1), "the [CloneCD] section is missing");
    if (DiscLine == 0)
        return Fail(std::max<std::int32_t>(Line, 1), "the [Disc] section is missing");
    if (!HasTocEntries)
        return Fail(DiscLine, "[Disc] has no TocEntries");
    for (const auto& [number, entry] : Entries)
    {
        const auto& keys = EntryKeys[number];
        for (const std::string_view required : {CCD_POINT, CCD_CONTROL, CCD_ADR, CCD_P_MIN, CCD_P_SEC, CCD_P_FRAME})
            if (keys.count(ToLowerAscii(required)) == 0)
                return Fail(entry.Line, "[Entry " + std::to_string(number) + "] has no " + ToLowerAscii(required));
        Disc.Entries.push_back(entry);
        Disc.Model.Toc.push_back(TocEntryOf(entry));
    }
    FillSessions();
    if (Disc.Model.HasCdText)
    {
        if (!HasCdTextEntries)
            return Fail(CdTextLine, "[CDText] has no Entries");
        for (std::int32_t i = 0; i < Disc.CdTextEntries; ++i)
        {
            const auto pack = Packs.find(i);
            if (pack == Packs.end())
                return Fail(CdTextLine, "[CDText] has no Entry " + std::to_string(i));
            Disc.Model.CdText.push_back(pack->second);
        }
        if (Packs.size() != Disc.Model.CdText.size())
            return Fail(CdTextLine, "[CDText] holds more entries than its Entries says");
    }
    return true;
}

// Each track goes to the session of its TOC entry, with that entry's control bits.
void TParser::FillSessions()
{
    auto& sessions = Disc.Model.Sessions;
    sessions.resize(static_cast<std::size_t>(Sessions));
    for (std::size_t i = 0; i < sessions.size(); ++i)
        sessions[i].Number = static_cast<std::int32_t>(i) + 1;
    for (auto& [number, track] : Tracks)
    {
        std::sort(track.Indexes.begin(), track.Indexes.end(),
                  [](const TDiscIndex& a, const TDiscIndex& b) { return a.Number < b.Number; });
        std::size_t session = 0;
        const auto point = number; // clang 14 lets no lambda take a structured binding
        const auto entry = std::find_if(Disc.Model.Toc.begin(), Disc.Model.Toc.end(),
                                        [point](const TTocEntry& e) { return e.Point == point; });
        if (entry != Disc.Model.Toc.end())
        {
            track.Control = entry->Control;
            if (entry->Session >= 1 && entry->Session <= Sessions)
                session = entry->Session - 1u;
        }
        sessions[session].Tracks.push_back(track);
    }
}

} // namespace

TError ParseCcdText(std::string_view text, const std::string& name, TCcdDisc& disc)
{
    disc = TCcdDisc{};
    // Windows editors save with a UTF-8 byte order mark, as they do sheets.
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    TError error;
    TParser parser(name, disc, error);
    parser.Parse(text);
    return error;
}

TError ReadCcdFile(const std::string& path, TCcdDisc& disc)
{
    disc = TCcdDisc{};
    try
    {
        const TFile file = TFile::OpenForReading(path, "the control file");
        if (static_cast<std::uint64_t>(file.Size()) > MAX_FILE_SIZE)
            return {0, path, 0, std::to_string(file.Size()) + " bytes is too large for a control file"};
        return ParseCcdText(file.ReadAll(), path, disc);
    }
    catch (const std::exception& e)
    {
        return {0, {}, 0, e.what()};
    }
}
