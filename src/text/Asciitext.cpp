// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/Asciitext.h"

#include <algorithm>
#include <climits>

namespace {

template <typename TIsBlank>
std::string_view TrimFrontBy(std::string_view text, TIsBlank isBlank)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    return text;
}

template <typename TIsBlank>
std::string_view TrimBackBy(std::string_view text, TIsBlank isBlank)
{
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

template <typename TIsBlank>
std::string_view TrimBy(std::string_view text, TIsBlank isBlank)
{
    return TrimBackBy(TrimFrontBy(text, isBlank), isBlank);
}

bool IsSpace(char c)
{
    return c == ' ';
}

} // namespace

std::string ToLowerAscii(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), LowerAscii);
    return out;
}

std::string ToUpperAscii(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), UpperAscii);
    return out;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

bool EndsWithIgnoreCase(std::string_view text, std::string_view tail)
{
    return text.size() >= tail.size() && EqualsIgnoreCase(text.substr(text.size() - tail.size()), tail);
}

std::string_view TrimBlanks(std::string_view text)
{
    return TrimBy(text, [](char c) { return c == ' ' || c == '\t'; });
}

std::string_view TrimControls(std::string_view text)
{
    return TrimBy(text, [](char c) { return static_cast<unsigned char>(c) <= 32; });
}

std::string_view TrimLeadingSpaces(std::string_view text)
{
    return TrimFrontBy(text, IsSpace);
}

std::string_view TrimTrailingSpaces(std::string_view text)
{
    return TrimBackBy(text, IsSpace);
}

std::string_view NextLine(std::string_view text, std::size_t& pos)
{
    const std::size_t end = std::min(text.find_first_of("\r\n", pos), text.size());
    const std::string_view line = text.substr(pos, end - pos);
    pos = end;
    if (pos < text.size())
        pos += text[pos] == '\r' && pos + 1 < text.size() && text[pos + 1] == '\n' ? 2 : 1;
    return line;
}

std::string_view Unquote(std::string_view text)
{
    return text.size() >= 2 && text.front() == '"' && text.back() == '"' ? text.substr(1, text.size() - 2) : text;
}

std::string HexBytes(std::span<const std::uint8_t> bytes, char separator, THexCase letters)
{
    const char* digits = letters == hcUpper ? "0123456789ABCDEF" : "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 3);
    for (const std::uint8_t b : bytes)
    {
        if (!text.empty())
            text += separator;
        text += digits[b >> 4];
        text += digits[b & 0x0F];
    }
    return text;
}

std::string HexByte(unsigned value)
{
    const std::uint8_t byte = static_cast<std::uint8_t>(value & 0xFFu);
    return "0x" + HexBytes(std::span(&byte, 1), ' ', hcLower);
}

std::string TwoDigits(std::int32_t value)
{
    std::string text = std::to_string(value);
    if (text.size() < 2)
        text.insert(0, 1, '0');
    return text;
}

std::string GroupedNumber(std::int64_t value)
{
    const std::string digits = std::to_string(value < 0 ? -value : value);
    std::string text = value < 0 ? "-" : "";
    for (std::size_t i = 0; i < digits.size(); ++i)
    {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            text += ',';
        text += digits[i];
    }
    return text;
}

bool TryStrToInt(std::string_view text, std::int32_t& value)
{
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
    {
        negative = text[i] == '-';
        ++i;
    }
    if (i == text.size())
        return false;
    std::int64_t result = 0;
    for (; i < text.size(); ++i)
    {
        if (!IsAsciiDigit(text[i]))
            return false;
        result = result * 10 + (text[i] - '0');
        if (result > std::int64_t(INT32_MAX) + 1)
            return false;
    }
    if (negative)
        result = -result;
    if (result < INT32_MIN || result > INT32_MAX)
        return false;
    value = static_cast<std::int32_t>(result);
    return true;
}
