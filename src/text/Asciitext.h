// SPDX-License-Identifier: GPL-3.0-or-later
// Text as sheets and control files spell it: ASCII case, blanks, quotes and decimal numbers.
// Bytes past 127 are never folded or trimmed: they are a name's, in whatever encoding it came.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

constexpr bool IsAsciiDigit(char c)
{
    return c >= '0' && c <= '9';
}
constexpr char LowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
constexpr char UpperAscii(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
std::string ToLowerAscii(std::string_view text);
std::string ToUpperAscii(std::string_view text);

// Equal but for the case of ASCII letters.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);
bool EndsWithIgnoreCase(std::string_view text, std::string_view tail);

// Without leading and trailing spaces and tabs (a control file's line).
std::string_view TrimBlanks(std::string_view text);
// Without leading and trailing spaces and control characters, anything up to 32 (a sheet's line).
std::string_view TrimControls(std::string_view text);
// Without leading, or trailing, spaces alone (the words of a sheet's command).
std::string_view TrimLeadingSpaces(std::string_view text);
std::string_view TrimTrailingSpaces(std::string_view text);

// The line of text that starts at pos, without its end; pos moves past one line end: CR LF, LF or a
// lone CR. The last line needs no end.
std::string_view NextLine(std::string_view text, std::size_t& pos);

// One pair of double quotes around the whole text dropped; anything else as it is.
std::string_view Unquote(std::string_view text);

// "1F 00 A0": two digits a byte, split by separator; lower case as the control file writes its
// packs, upper case as the reports show bytes.
enum THexCase
{
    hcUpper,
    hcLower
};
std::string HexBytes(std::span<const std::uint8_t> bytes, char separator = ' ', THexCase letters = hcUpper);
// "0x1f": one byte as the control file and the TOC keys write it.
std::string HexByte(unsigned value);

// "07": at least two digits, as sheets write track and index numbers.
std::string TwoDigits(std::int32_t value);

// "12,345": thousands separated by commas.
std::string GroupedNumber(std::int64_t value);

// An optional sign and ASCII digits only, within 32-bit range; anything else fails.
bool TryStrToInt(std::string_view text, std::int32_t& value);
