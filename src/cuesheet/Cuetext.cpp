#include "cuesheet/Cuetext.h"

#include "synthesis/Cdtextpack.h"

#include <iconv.h>

#include <cerrno>

namespace {

constexpr char32_t REPLACEMENT = 0xFFFD;
constexpr const char* UTF8_REPLACEMENT = "\xEF\xBF\xBD";
const auto NO_CONVERTER = reinterpret_cast<iconv_t>(-1);

// Length of the valid UTF-8 sequence at the start of s (1 to 4), or 0. Overlong forms,
// surrogates and code points past U+10FFFF are invalid.
std::size_t Utf8SequenceLength(std::string_view s, char32_t& c)
{
    const auto b0 = static_cast<std::uint8_t>(s[0]);
    if (b0 < 0x80)
    {
        c = b0;
        return 1;
    }
    // Lead bytes C0, C1 and F5-FF never start a valid sequence.
    const std::size_t n = b0 >= 0xC2 && b0 <= 0xDF   ? 2
                          : b0 >= 0xE0 && b0 <= 0xEF ? 3
                          : b0 >= 0xF0 && b0 <= 0xF4 ? 4
                                                     : 0;
    if (n == 0)
        return 0;
    c = b0 & (0x7Fu >> n);
    if (s.size() < n)
        return 0;
    for (std::size_t i = 1; i < n; ++i)
    {
        const auto b = static_cast<std::uint8_t>(s[i]);
        if ((b & 0xC0) != 0x80)
            return 0;
        c = (c << 6) | (b & 0x3Fu);
    }
    const char32_t minimum = n == 3 ? 0x800 : n == 4 ? 0x10000 : 0x80;
    if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return 0;
    return n;
}

bool IsValidUtf8(std::string_view s)
{
    char32_t c = 0;
    while (!s.empty())
    {
        const std::size_t n = Utf8SequenceLength(s, c);
        if (n == 0)
            return false;
        s.remove_prefix(n);
    }
    return true;
}

bool IsValidShiftJis(std::string_view s)
{
    bool doubleByte = false;
    for (std::size_t i = 0; i < s.size(); ++i)
    {
        const auto b = static_cast<std::uint8_t>(s[i]);
        if (b < 0x80 || (b >= 0xA1 && b <= 0xDF)) // ASCII or a half-width katakana
            continue;
        if (!((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC)) || i + 1 == s.size())
            return false;
        const auto trail = static_cast<std::uint8_t>(s[++i]);
        if (trail < 0x40 || trail == 0x7F || trail > 0xFC)
            return false;
        doubleByte = true;
    }
    return doubleByte;
}

class TConverter
{
public:
    TConverter(const char* to, const char* from) : Handle(::iconv_open(to, from)) {}
    ~TConverter()
    {
        if (Handle != NO_CONVERTER)
            ::iconv_close(Handle);
    }
    TConverter(const TConverter&) = delete;
    TConverter& operator=(const TConverter&) = delete;

    // Converts all of in; a byte it cannot convert is skipped and U+FFFD written instead, unless
    // strict, when the result is false.
    bool Run(std::string_view in, std::string& out, bool strict)
    {
        if (Handle == NO_CONVERTER)
            return false;
        char* src = const_cast<char*>(in.data());
        std::size_t left = in.size();
        char buffer[1024];
        while (left > 0)
        {
            char* dst = buffer;
            std::size_t room = sizeof buffer;
            const std::size_t done = ::iconv(Handle, &src, &left, &dst, &room);
            out.append(buffer, static_cast<std::size_t>(dst - buffer));
            if (done != static_cast<std::size_t>(-1) || errno == E2BIG)
                continue;
            if (strict)
                return false;
            out += UTF8_REPLACEMENT;
            ++src;
            --left;
            ::iconv(Handle, nullptr, nullptr, nullptr, nullptr);
        }
        return true;
    }

private:
    iconv_t Handle;
};

// JIS X 0208 in Shift-JIS: rows 1-8 and 16-84. Row 13 and the lead bytes past 0xEA hold the
// code page's own additions, which other readers lack.
bool IsJisX0208(std::uint8_t lead)
{
    return (lead >= 0x81 && lead <= 0x84) || (lead >= 0x88 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xEA);
}

// Typographic punctuation as rippers write it, stored as what it looks like.
const char* AsciiLookAlike(char32_t c)
{
    switch (c)
    {
    case 0x2018:
    case 0x2019: return "'";
    case 0x201C:
    case 0x201D: return "\"";
    case 0x2013:
    case 0x2014: return "-";
    case 0x2026: return "...";
    default: return nullptr;
    }
}

void AppendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80)
        out += static_cast<char>(c);
    else if (c < 0x800)
    {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    else if (c < 0x10000)
    {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    else
    {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

} // namespace

std::string Utf16ToUtf8(std::string_view text, bool bigEndian)
{
    std::string out;
    out.reserve(text.size());
    auto unit = [&](std::size_t at) {
        const auto a = static_cast<std::uint8_t>(text[at]);
        const auto b = static_cast<std::uint8_t>(text[at + 1]);
        return static_cast<char32_t>(bigEndian ? a << 8 | b : b << 8 | a);
    };
    for (std::size_t at = 2; at + 1 < text.size(); at += 2)
    {
        char32_t code = unit(at);
        if (code >= 0xD800 && code < 0xDC00 && at + 3 < text.size() && unit(at + 2) >= 0xDC00 && unit(at + 2) < 0xE000)
        {
            code = 0x10000 + ((code - 0xD800) << 10) + (unit(at + 2) - 0xDC00);
            at += 2;
        }
        else if (code >= 0xD800 && code < 0xE000)
        {
            code = 0xFFFD;
        }
        AppendUtf8(out, code);
    }
    return out;
}

std::u32string Utf8ToCodePoints(std::string_view utf8)
{
    std::u32string result;
    char32_t c = 0;
    while (!utf8.empty())
    {
        const std::size_t n = Utf8SequenceLength(utf8, c);
        result += n == 0 ? REPLACEMENT : c;
        utf8.remove_prefix(n == 0 ? 1 : n);
    }
    return result;
}

TSheetCharset DetectSheetCharset(std::string_view bytes)
{
    if (IsValidUtf8(bytes))
        return scUtf8;
    if (IsValidShiftJis(bytes))
    {
        // Structure alone lets through pairs the code page leaves undefined.
        std::string ignored;
        if (TConverter("UTF-8", "CP932").Run(bytes, ignored, true))
            return scShiftJis;
    }
    return scWindows1252;
}

std::string DecodeSheetText(std::string_view bytes, TSheetCharset charset)
{
    std::string text;
    if (charset == scUtf8)
    {
        for (const char32_t c : Utf8ToCodePoints(bytes))
            AppendUtf8(text, c);
        return text;
    }
    TConverter("UTF-8", charset == scShiftJis ? "CP932" : "WINDOWS-1252").Run(bytes, text, false);
    return text;
}

bool HasJapanese(std::string_view utf8)
{
    for (const char32_t c : Utf8ToCodePoints(utf8))
    {
        if ((c >= 0x3000 && c <= 0x30FF) || (c >= 0x31F0 && c <= 0x31FF) || (c >= 0x3400 && c <= 0x4DBF) ||
            (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF00 && c <= 0xFFEF))
            return true;
    }
    return false;
}

TCdTextEncoder::TCdTextEncoder() : ToCp932(::iconv_open("CP932", "UTF-8")) {}

TCdTextEncoder::~TCdTextEncoder()
{
    if (static_cast<iconv_t>(ToCp932) != NO_CONVERTER)
        ::iconv_close(static_cast<iconv_t>(ToCp932));
}

std::string TCdTextEncoder::CharBytes(char32_t c, std::uint8_t charCode)
{
    // Control characters never reach a block: a lone TAB there means "same as the previous track".
    if (c < 0x20 || (c >= 0x7F && c < 0xA0))
        return {};
    if (c < 0x7F)
        return std::string(1, static_cast<char>(c));
    if (charCode == ccIso8859_1 && c <= 0xFF)
        return std::string(1, static_cast<char>(c));
    if (charCode == ccMsJis && static_cast<iconv_t>(ToCp932) != NO_CONVERTER && c != REPLACEMENT)
    {
        std::string utf8;
        AppendUtf8(utf8, c);
        char* src = utf8.data();
        std::size_t left = utf8.size();
        char out[8];
        char* dst = out;
        std::size_t room = sizeof out;
        const auto handle = static_cast<iconv_t>(ToCp932);
        const bool ok = ::iconv(handle, &src, &left, &dst, &room) != static_cast<std::size_t>(-1);
        ::iconv(handle, nullptr, nullptr, nullptr, nullptr);
        if (ok && dst - out == 2 && IsJisX0208(static_cast<std::uint8_t>(out[0])))
            return std::string(out, 2);
    }
    if (const char* lookAlike = AsciiLookAlike(c))
        return lookAlike;
    return {};
}

std::string TCdTextEncoder::Encode(std::string_view utf8, std::uint8_t charCode, std::int32_t& replaced)
{
    std::string result;
    for (const char32_t c : Utf8ToCodePoints(utf8))
    {
        const std::string bytes = CharBytes(c, charCode);
        if (bytes.empty())
            ++replaced;
        result += bytes.empty() ? "?" : bytes;
    }
    return result;
}
