// SPDX-License-Identifier: GPL-3.0-or-later
#include "image/Inifile.h"

#include "fileio/Fileio.h"
#include "text/Asciitext.h"

#include <charconv>
#include <utility>

namespace {

constexpr std::string_view LINE_END = "\r\n";

bool ParseInteger(std::string_view text, std::int32_t& value)
{
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    std::int64_t wide = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), wide);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size())
        return false;
    if (wide < INT32_MIN || wide > INT32_MAX)
        return false;
    value = static_cast<std::int32_t>(wide);
    return true;
}

} // namespace

bool TIniLines::Next(std::string_view& line)
{
    if (At >= Text.size())
        return false;
    ++FNumber;
    line = NextLine(Text, At);
    return true;
}

bool SplitIniKeyValue(std::string_view body, std::string_view& key, std::string_view& value)
{
    const std::size_t equals = body.find('=');
    if (equals == std::string_view::npos)
        return false;
    key = TrimBlanks(body.substr(0, equals));
    value = TrimBlanks(body.substr(equals + 1));
    return true;
}

TIniFile::TIniFile(std::string path) : FPath(std::move(path)) {}

bool TIniFile::Load()
{
    Sections.clear();
    SectionIndex.clear();

    // Only a regular file is read; a folder or a FIFO counts as no file.
    if (!IsRegularFile(FPath))
        return false;
    std::string text;
    try
    {
        text = TFile::OpenForReading(FPath).ReadAll();
    }
    catch (...)
    {
        return false;
    }

    // Lines before the first header belong to a section without a name; they are kept as they are.
    Sections.emplace_back();
    TIniLines lines(text);
    std::string_view line;
    while (lines.Next(line))
    {
        const std::string_view body = TrimBlanks(line);
        const std::size_t close = body.find(']');
        if (!body.empty() && body.front() == '[' && close != std::string_view::npos)
        {
            TSection section;
            section.Name = std::string(TrimBlanks(body.substr(1, close - 1)));
            section.HasHeader = true;
            Sections.push_back(std::move(section));
            SectionIndex.emplace(ToLowerAscii(Sections.back().Name), Sections.size() - 1);
            continue;
        }

        TLine entry;
        entry.Text = std::string(line);
        std::string_view key;
        std::string_view value;
        if (!body.empty() && body.front() != ';' && SplitIniKeyValue(body, key, value))
        {
            entry.Key = std::string(key);
            // A value in double quotes reads without them.
            if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
                value = value.substr(1, value.size() - 2);
            entry.Value = std::string(value);
        }
        AddLine(Sections.back(), std::move(entry));
    }
    return true;
}

const TIniFile::TSection* TIniFile::FindSection(std::string_view section) const
{
    const auto found = SectionIndex.find(ToLowerAscii(TrimBlanks(section)));
    return found == SectionIndex.end() ? nullptr : &Sections[found->second];
}

TIniFile::TSection& TIniFile::SectionForWrite(std::string_view section)
{
    const std::string name(TrimBlanks(section));
    const auto [found, added] = SectionIndex.emplace(ToLowerAscii(name), Sections.size());
    if (added)
    {
        TSection created;
        created.Name = name;
        created.HasHeader = true;
        Sections.push_back(std::move(created));
    }
    return Sections[found->second];
}

const TIniFile::TLine* TIniFile::FindKey(std::string_view section, std::string_view key) const
{
    const TSection* found = FindSection(section);
    if (!found)
        return nullptr;
    const auto line = found->Keys.find(ToLowerAscii(TrimBlanks(key)));
    return line == found->Keys.end() ? nullptr : &found->Lines[line->second];
}

void TIniFile::AddLine(TSection& section, TLine line)
{
    if (!line.Key.empty())
        section.Keys.emplace(ToLowerAscii(line.Key), section.Lines.size());
    section.Lines.push_back(std::move(line));
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key, std::string_view def) const
{
    const TLine* line = FindKey(section, key);
    return line ? line->Value : std::string(def);
}

std::int32_t TIniFile::ReadInteger(std::string_view section, std::string_view key, std::int32_t def) const
{
    const TLine* line = FindKey(section, key);
    std::int32_t value = def;
    if (!line || !ParseInteger(line->Value, value))
        return def;
    return value;
}

bool TIniFile::ReadBool(std::string_view section, std::string_view key, bool def) const
{
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

bool TIniFile::SectionExists(std::string_view section) const
{
    return FindSection(section) != nullptr;
}

bool TIniFile::ValueExists(std::string_view section, std::string_view key) const
{
    return FindKey(section, key) != nullptr;
}

void TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value)
{
    TSection& target = SectionForWrite(section);
    const std::string name(TrimBlanks(key));
    const auto found = target.Keys.find(ToLowerAscii(name));
    if (found != target.Keys.end())
    {
        TLine& line = target.Lines[found->second];
        line.Value = std::string(value);
        line.Text = line.Key + "=" + line.Value;
        return;
    }

    TLine line;
    line.Key = name;
    line.Value = std::string(value);
    line.Text = line.Key + "=" + line.Value;
    // A new key goes after the section's last non-blank line, so blank lines that part it from
    // the next section stay where they are. Only blank lines move, and they hold no keys.
    std::size_t at = target.Lines.size();
    while (at > 0 && target.Lines[at - 1].Key.empty() && TrimBlanks(target.Lines[at - 1].Text).empty())
        --at;
    if (at == target.Lines.size())
    {
        AddLine(target, std::move(line));
        return;
    }
    target.Keys.emplace(ToLowerAscii(line.Key), at);
    target.Lines.insert(target.Lines.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
}

void TIniFile::WriteInteger(std::string_view section, std::string_view key, std::int32_t value)
{
    WriteString(section, key, std::to_string(value));
}

void TIniFile::WriteBool(std::string_view section, std::string_view key, bool value)
{
    WriteString(section, key, value ? "1" : "0");
}

std::string TIniFile::Text() const
{
    std::string text;
    for (const TSection& section : Sections)
    {
        if (section.HasHeader)
        {
            text += '[';
            text += section.Name;
            text += ']';
            text += LINE_END;
        }
        for (const TLine& line : section.Lines)
        {
            text += line.Text;
            text += LINE_END;
        }
    }
    return text;
}

void TIniFile::UpdateFile() const
{
    TFile out = TFile::OpenForWriting(FPath);
    out.WriteAll(Text());
    out.Close();
}

bool TIniFile::TryUpdateFile() const noexcept
{
    try
    {
        UpdateFile();
        return true;
    }
    catch (...)
    {
        return false;
    }
}
