// SPDX-License-Identifier: GPL-3.0-or-later
#include "cuesheet/Cuetext.h"

#include "synthesis/Cdtextpack.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <span>
#include <vector>

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

// UTF-16 or UTF-32 units from start on, as UTF-8.
std::string WideToUtf8(std::string_view text, std::size_t start, std::size_t unitSize, bool bigEndian)
{
    std::string out;
    out.reserve(text.size());
    auto unit = [&](std::size_t at) {
        char32_t value = 0;
        for (std::size_t i = 0; i < unitSize; ++i)
        {
            const auto b = static_cast<std::uint8_t>(text[at + (bigEndian ? i : unitSize - 1 - i)]);
            value = value << 8 | b;
        }
        return value;
    };
    for (std::size_t at = start; at + unitSize <= text.size(); at += unitSize)
    {
        char32_t code = unit(at);
        const bool pair = unitSize == 2 && at + 4 <= text.size();
        if (pair && code >= 0xD800 && code < 0xDC00 && unit(at + 2) >= 0xDC00 && unit(at + 2) < 0xE000)
        {
            code = 0x10000 + ((code - 0xD800) << 10) + (unit(at + 2) - 0xDC00);
            at += 2;
        }
        else if ((code >= 0xD800 && code < 0xE000) || code > 0x10FFFF)
        {
            code = REPLACEMENT;
        }
        AppendUtf8(out, code);
    }
    return out;
}

// 1 for UTF-16LE, 2 for UTF-16BE without a byte order mark, else 0: the units of a sheet are mostly
// ASCII, whose high bytes are zero, and an 8-bit sheet has no zero bytes.
int Utf16WithoutMark(std::string_view text)
{
    std::size_t zeros[2] = {0, 0};
    for (std::size_t i = 0; i < text.size(); ++i)
        zeros[i % 2] += text[i] == '\0';
    const std::size_t units = text.size() / 2;
    if (units >= 2 && zeros[1] * 2 > units && zeros[0] * 4 < zeros[1])
        return 1;
    if (units >= 2 && zeros[0] * 2 > units && zeros[1] * 4 < zeros[0])
        return 2;
    return 0;
}

const char* IconvName(TSheetCharset charset)
{
    switch (charset)
    {
    case scShiftJis: return "CP932";
    case scEucKr: return "CP949";
    case scGbk: return "GBK";
    case scBig5: return "BIG5";
    case scWindows1251: return "WINDOWS-1251";
    default: return "WINDOWS-1252";
    }
}

bool IsLeadByte(std::uint8_t b, TSheetCharset charset)
{
    switch (charset)
    {
    case scShiftJis: return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    case scEucKr:
    case scGbk:
    case scBig5: return b >= 0x81 && b <= 0xFE;
    default: return false;
    }
}

struct TSheetChar
{
    char32_t Code;
    std::uint16_t Bytes; // the byte, or lead << 8 | trail
};

// The characters of bytes read in charset; false when a byte or pair is none of its characters.
bool ReadChars(std::string_view bytes, TSheetCharset charset, std::vector<TSheetChar>& chars)
{
    TConverter converter("UTF-32LE", IconvName(charset));
    std::string code;
    for (std::size_t i = 0; i < bytes.size();)
    {
        const auto lead = static_cast<std::uint8_t>(bytes[i]);
        if (lead < 0x80)
        {
            chars.push_back({lead, lead});
            ++i;
            continue;
        }
        const std::size_t n = IsLeadByte(lead, charset) ? 2 : 1;
        code.clear();
        if (i + n > bytes.size() || !converter.Run(bytes.substr(i, n), code, true) || code.size() < 4)
            return false;
        const auto at = [&](std::size_t k) { return static_cast<char32_t>(static_cast<std::uint8_t>(code[k])); };
        const auto trail = n == 2 ? static_cast<std::uint8_t>(bytes[i + 1]) : 0;
        chars.push_back({at(0) | at(1) << 8 | at(2) << 16 | at(3) << 24,
                         static_cast<std::uint16_t>(n == 2 ? lead << 8 | trail : lead)});
        i += n;
    }
    return true;
}

enum TCharClass : std::uint8_t
{
    clOther,
    clLatin,    // an ASCII letter
    clAccented, // a Latin letter beyond ASCII
    clCyrillic, // А-я
    clCyrillicExtra,
    clKana,
    clHalfKana,
    clHan,
    clHangul,
    clCjkMark, // CJK punctuation and full-width forms
    clSymbol,  // typographic punctuation and Latin-1 signs
    clBad,     // C1 controls, private use, U+FFFD
};

TCharClass ClassOf(char32_t c)
{
    if (c < 0x80)
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ? clLatin : clOther;
    if (c < 0xA0 || (c >= 0xE000 && c <= 0xF8FF) || c == REPLACEMENT || c >= 0xF0000)
        return clBad;
    if (c < 0xC0)
        return c == 0xA0 || c == 0xAD ? clOther : clSymbol;
    if (c <= 0x24F)
        return c == 0xD7 || c == 0xF7 || c == 0x192 ? clSymbol : clAccented; // ×, ÷, the florin sign
    if (c >= 0x400 && c <= 0x4FF)
        return c >= 0x410 && c <= 0x44F ? clCyrillic : clCyrillicExtra;
    if ((c >= 0x2010 && c <= 0x205E) || c == 0x20AC || c == 0x2116 || c == 0x2122)
        return clSymbol;
    if ((c >= 0x3040 && c <= 0x30FF) || (c >= 0x31F0 && c <= 0x31FF))
        return clKana;
    if (c >= 0xFF61 && c <= 0xFF9F)
        return clHalfKana;
    if ((c >= 0x3000 && c <= 0x303F) || (c >= 0xFF01 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFEE))
        return clCjkMark;
    if ((c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF) ||
        (c >= 0x20000 && c <= 0x2FFFF))
        return clHan;
    if (c >= 0xAC00 && c <= 0xD7A3)
        return clHangul;
    return clOther;
}

bool IsCjk(TCharClass c)
{
    return c == clKana || c == clHalfKana || c == clHan || c == clHangul || c == clCjkMark;
}

bool IsWordLetter(TCharClass c)
{
    return c == clLatin || c == clAccented || c == clCyrillic || c == clCyrillicExtra;
}

// 2 for a character of the first level of the national set (those used most), else 1.
int Commonness(TSheetCharset charset, std::uint16_t bytes)
{
    const int lead = bytes >> 8;
    const bool euc = (bytes & 0xFF) >= 0xA1;
    switch (charset)
    {
    case scShiftJis: return lead >= 0x88 && lead <= 0x97 ? 2 : 1;     // JIS level 1 kanji
    case scGbk: return lead >= 0xB0 && lead <= 0xD7 && euc ? 2 : 1;   // GB2312 level 1 hanzi
    case scBig5: return lead >= 0xA4 && lead <= 0xC5 ? 2 : 1;         // frequent hanzi
    case scEucKr: return lead >= 0xB0 && lead <= 0xC8 && euc ? 2 : 1; // KS X 1001 Hangul
    default: return 1;
    }
}

bool IsAsciiLetter(std::uint8_t b)
{
    return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z');
}

// Points for a run of CJK characters: the charset's own script counts, more so in runs and in its
// most used characters. A curly quote or an accented letter inside a Latin word, read as a lead byte,
// takes the next letter as its trail ("Wond池ing", "Don稚", "I知"): such a character next to a
// Latin letter loses. No such misreading makes a kana in Shift-JIS.
int ScoreCjkRun(TSheetCharset charset, std::span<const TSheetChar> run, std::span<const TCharClass> classes,
                bool letterBefore, bool letterAfter)
{
    int hangul = 0;
    int halfKana = 0;
    int kana = 0;
    for (const TCharClass c : classes)
    {
        hangul += c == clHangul;
        halfKana += c == clHalfKana;
        kana += c == clKana;
    }
    const bool lone = run.size() == 1;
    // KS X 1001 holds kana too: Japanese saved as EUC-KR reads there as kana with kanji, in Big5 as
    // hanzi of one row ("はるか" as "肢虱物"). A word of kana, with or without kanji, is Japanese's own
    // writing and beats the same bytes read as hanzi. Not in GBK: Big5's most used hanzi are its kana.
    const bool japanese = kana > 0 && hangul == 0 && halfKana == 0 && (charset == scShiftJis || charset == scEucKr);
    // A lone character that is not among the most used is as likely two stray bytes.
    const auto points = [&](int common) { return !lone ? 2 * common : common == 2 ? 2 : 0; };
    int score = japanese && !lone ? 2 : 0;
    for (std::size_t i = 0; i < run.size(); ++i)
    {
        const int common = Commonness(charset, run[i].Bytes);
        switch (classes[i])
        {
        case clCjkMark: score += 2; continue;
        case clKana: score += charset == scShiftJis || japanese ? 4 : -2; continue;
        case clHalfKana:
            score += charset == scShiftJis && halfKana == static_cast<int>(run.size()) && !lone ? 2 : -2;
            break;
        // Korean writes many words of one syllable.
        case clHangul: score += charset != scEucKr ? -2 : common == 2 ? 4 : points(common); break;
        default: score += charset == scEucKr && !japanese ? (hangul > 0 ? -4 : 1) : points(common); break;
        }
        const bool glued = (i == 0 && letterBefore) || (i + 1 == run.size() && letterAfter);
        if (glued && (classes[i] == clHalfKana || IsAsciiLetter(static_cast<std::uint8_t>(run[i].Bytes))))
            score -= 6;
    }
    return score;
}

bool IsLowerCyrillic(char32_t c)
{
    return (c >= 0x430 && c <= 0x45F) || (c >= 0x460 && c <= 0x4FF && (c & 1) != 0);
}

bool IsUpperCyrillic(char32_t c)
{
    return (c >= 0x400 && c <= 0x42F) || (c >= 0x460 && c <= 0x4FF && (c & 1) == 0);
}

// Points for a word of Latin and Cyrillic letters: accented letters inside ASCII words, Cyrillic
// words mostly of Russian letters and cased as words are. A word mixing Cyrillic and ASCII letters,
// or a lower-case letter before an upper-case one, is a misreading.
int ScoreWord(std::span<const TSheetChar> chars, std::span<const TCharClass> word)
{
    int ascii = 0;
    int accented = 0;
    int cyrillic = 0;
    int core = 0;
    bool cased = true;
    for (std::size_t i = 0; i < word.size(); ++i)
    {
        ascii += word[i] == clLatin;
        // Latin-1 letters count more than 1252's few others; two in a row are rarer (a double-byte
        // character read as two).
        const bool pair = (i > 0 && word[i - 1] == clAccented) || (i + 1 < word.size() && word[i + 1] == clAccented);
        accented += word[i] == clAccented ? (chars[i].Code < 0x100 ? 2 : 1) - pair : 0;
        cyrillic += word[i] == clCyrillic || word[i] == clCyrillicExtra;
        core += word[i] == clCyrillic;
        cased = cased && !(i > 0 && IsLowerCyrillic(chars[i - 1].Code) && IsUpperCyrillic(chars[i].Code));
    }
    const bool single = word.size() == 1;
    const int latinScore = ascii > 0 ? accented : single ? 0 : -accented;
    const bool russian = core >= 2 && core >= cyrillic - core && cased;
    const int cyrillicScore = ascii > 0 ? -4 * cyrillic : russian ? 2 * cyrillic : 0;
    return latinScore + cyrillicScore;
}

// How much the bytes read in charset look like real text; nothing when they are not valid in it.
std::optional<int> Plausibility(std::string_view bytes, TSheetCharset charset)
{
    std::vector<TSheetChar> chars;
    if (!ReadChars(bytes, charset, chars))
        return std::nullopt;
    std::vector<TCharClass> classes(chars.size());
    for (std::size_t i = 0; i < chars.size(); ++i)
        classes[i] = ClassOf(chars[i].Code);
    const std::span<const TSheetChar> all(chars);
    const std::span<const TCharClass> allClasses(classes);
    const bool singleByte = charset == scWindows1251 || charset == scWindows1252;
    int score = 0;
    for (std::size_t i = 0; i < chars.size();)
    {
        std::size_t end = i + 1;
        if (IsCjk(classes[i]))
        {
            while (end < chars.size() && IsCjk(classes[end]))
                ++end;
            const bool before = i > 0 && IsWordLetter(classes[i - 1]);
            const bool after = end < chars.size() && IsWordLetter(classes[end]);
            score += ScoreCjkRun(charset, all.subspan(i, end - i), allClasses.subspan(i, end - i), before, after);
        }
        else if (IsWordLetter(classes[i]))
        {
            while (end < chars.size() && IsWordLetter(classes[end]))
                ++end;
            score += singleByte ? ScoreWord(all.subspan(i, end - i), allClasses.subspan(i, end - i)) : 0;
        }
        else
        {
            // A sign between other non-ASCII characters is likelier a byte of a double-byte one.
            const bool alone = (i == 0 || chars[i - 1].Code < 0x80) && (end == chars.size() || chars[end].Code < 0x80);
            score += classes[i] == clSymbol && singleByte && alone ? 1 : classes[i] == clBad ? -8 : 0;
        }
        i = end;
    }
    return score;
}

} // namespace

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

void WideSheetToUtf8(std::string& text)
{
    if (text.starts_with(std::string_view("\xFF\xFE\0\0", 4)) || text.starts_with(std::string_view("\0\0\xFE\xFF", 4)))
        text = WideToUtf8(text, 4, 4, text[0] == '\0');
    else if (text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF"))
        text = WideToUtf8(text, 2, 2, text[0] == '\xFE');
    else if (const int order = Utf16WithoutMark(text); order != 0)
        text = WideToUtf8(text, 0, 2, order == 2);
}

TSheetCharset DetectSheetCharset(std::string_view bytes)
{
    if (IsValidUtf8(bytes))
        return scUtf8;
    TSheetCharset best = scWindows1252;
    int bestScore = std::max(0, Plausibility(bytes, scWindows1252).value_or(0));
    for (const TSheetCharset charset : {scShiftJis, scEucKr, scGbk, scBig5, scWindows1251})
    {
        if (charset == scShiftJis && !IsValidShiftJis(bytes))
            continue;
        const std::optional<int> score = Plausibility(bytes, charset);
        if (score && *score > bestScore)
        {
            best = charset;
            bestScore = *score;
        }
    }
    return best;
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
    TConverter("UTF-8", IconvName(charset)).Run(bytes, text, false);
    return text;
}

const char* ForeignCharsetName(TSheetCharset charset)
{
    switch (charset)
    {
    case scEucKr: return "EUC-KR (Korean)";
    case scGbk: return "GBK (simplified Chinese)";
    case scBig5: return "Big5 (traditional Chinese)";
    case scWindows1251: return "Windows-1251 (Cyrillic)";
    default: return nullptr;
    }
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
