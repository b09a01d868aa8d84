// SPDX-License-Identifier: GPL-3.0-or-later
// A small INI file kept in memory: the control file and the settings file are written through it.
//
// Rules, as the Windows profile functions keep them: a section is created after all existing
// sections by its first write, a key is added at the end of its section by its first write, and
// writing a key again replaces its value where it stands. Section and key names match without
// regard to ASCII case. Reading accepts LF, CR LF or CR line ends and keeps every line it does not
// understand; the text written is "key=value" lines ending in CR LF, with no blank lines added.
//
// This is our own writer, not SimpleIni: SimpleIni's Save always puts a blank line before every
// section, ends lines with the platform's line end (LF here) and drops lines it cannot parse.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// INI text cut into lines, as the settings and the control-file reader both read it: LF, CR LF or a
// lone CR ends a line.
class TIniLines
{
public:
    explicit TIniLines(std::string_view text) : Text(text) {}
    // The next line as read, without its end; false after the last.
    bool Next(std::string_view& line);
    // The line Next gave last, counted from 1.
    std::int32_t Number() const { return FNumber; }

private:
    std::string_view Text;
    std::size_t At = 0;
    std::int32_t FNumber = 0;
};

// A "key=value" line: both sides of the first '=', trimmed; false without one.
bool SplitIniKeyValue(std::string_view body, std::string_view& key, std::string_view& value);

class TIniFile
{
public:
    // Starts empty; nothing touches the disk before Load or UpdateFile.
    explicit TIniFile(std::string path);

    const std::string& FileName() const { return FPath; }

    // Replaces the contents with the file's. A missing or unreadable file leaves the contents
    // empty and answers false; nothing is raised.
    bool Load();

    std::string ReadString(std::string_view section, std::string_view key, std::string_view def) const;
    // A value that is not a whole decimal number within 32 bits gives def.
    std::int32_t ReadInteger(std::string_view section, std::string_view key, std::int32_t def) const;
    // Any integer other than 0 is true; a value that is not an integer gives def.
    bool ReadBool(std::string_view section, std::string_view key, bool def) const;
    bool SectionExists(std::string_view section) const;
    bool ValueExists(std::string_view section, std::string_view key) const;

    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, std::int32_t value);
    // Written as 1 or 0.
    void WriteBool(std::string_view section, std::string_view key, bool value);

    // The whole file as it would be written.
    std::string Text() const;
    // Writes the whole file; raises std::system_error when it cannot be created or written.
    void UpdateFile() const;
    // The same without raising, for callers whose errors stay silent; false on failure.
    bool TryUpdateFile() const noexcept;

private:
    struct TLine
    {
        std::string Text; // the line as read, for lines that hold no key
        std::string Key;  // empty for such lines
        std::string Value;
    };

    struct TSection
    {
        std::string Name; // empty for the lines before the first section header
        bool HasHeader = false;
        std::vector<TLine> Lines;
        std::unordered_map<std::string, std::size_t> Keys; // folded key -> line; first one wins
    };

    const TSection* FindSection(std::string_view section) const;
    TSection& SectionForWrite(std::string_view section);
    const TLine* FindKey(std::string_view section, std::string_view key) const;
    void AddLine(TSection& section, TLine line);

    std::string FPath;
    std::vector<TSection> Sections;
    std::unordered_map<std::string, std::size_t> SectionIndex; // folded name -> section; first one wins
};
