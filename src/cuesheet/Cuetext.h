// SPDX-License-Identifier: GPL-3.0-or-later
// The text of the sheet's CD-TEXT lines: which charset the sheet was saved in, and the bytes each
// character becomes in an ISO-8859-1 or an MS-JIS block.
#pragma once

#include "synthesis/Cdtextpack.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

// The text lines of one place (the disc or a track), by pack type (index type - 0x80).
struct TCueText
{
    // The bytes as written until the sheet is read to its end, UTF-8 after that; empty for none.
    std::array<std::string, CD_TEXT_TEXT_TYPES> Value;
    std::array<std::uint32_t, CD_TEXT_TEXT_TYPES> Line{}; // the sheet line that gave each value
    bool FromTextLine = false;                            // a CD-TEXT line (not CATALOG or ISRC) gave a value here

    // A later line for the same item replaces an earlier one.
    void Set(std::uint8_t type, std::string_view value, std::uint32_t line)
    {
        Value[type - ptTitle] = value;
        Line[type - ptTitle] = line;
    }
    const std::string& Get(std::uint8_t type) const { return Value[type - ptTitle]; }
};

enum TSheetCharset : std::uint8_t
{
    scUtf8 = 0,
    scShiftJis = 1,
    scWindows1252 = 2,
    // Charsets whose letters CD-TEXT blocks cannot hold: shown as written, written as '?'.
    scEucKr = 3,
    scGbk = 4,
    scBig5 = 5,
    scWindows1251 = 6,
};

// UTF-8 when the bytes are valid UTF-8. Else the reading that looks most like real text among
// Shift-JIS (code page 932; valid with at least one double-byte character), EUC-KR (code page 949;
// Korean, or Japanese kana with kanji), GBK, Big5 and Windows-1251, when it beats Windows-1252, which
// is the fallback. Separate the values with line breaks, so that no character spans two of them.
TSheetCharset DetectSheetCharset(std::string_view bytes);
// The text as UTF-8; a byte the charset does not define becomes U+FFFD.
std::string DecodeSheetText(std::string_view bytes, TSheetCharset charset);
// What the load warning calls a charset that CD-TEXT cannot carry ("EUC-KR (Korean)"); nullptr for
// UTF-8, Shift-JIS and Windows-1252.
const char* ForeignCharsetName(TSheetCharset charset);

// A sheet saved as UTF-32 with a byte order mark, or as UTF-16 with one or without one (told by zero
// high bytes), becomes UTF-8; any other sheet is left as it is. An invalid unit becomes U+FFFD; a
// partial last unit is dropped.
void WideSheetToUtf8(std::string& text);

// Hiragana, katakana, kanji, CJK punctuation or full-width forms.
bool HasJapanese(std::string_view utf8);

// Writes UTF-8 text into the bytes of one block's character code. Not thread-safe (one converter).
class TCdTextEncoder
{
public:
    TCdTextEncoder();
    ~TCdTextEncoder();
    TCdTextEncoder(const TCdTextEncoder&) = delete;
    TCdTextEncoder& operator=(const TCdTextEncoder&) = delete;

    // What c becomes in a block of charCode (ISO-8859-1 or MS-JIS); empty when the block cannot hold it
    // even as a look-alike.
    std::string CharBytes(char32_t c, std::uint8_t charCode);
    // The whole text; characters the block cannot hold become '?' and are counted in replaced.
    std::string Encode(std::string_view utf8, std::uint8_t charCode, std::int32_t& replaced);

private:
    void* ToCp932;
};

// The code points of UTF-8 text; an invalid sequence becomes U+FFFD.
std::u32string Utf8ToCodePoints(std::string_view utf8);
