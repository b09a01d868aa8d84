// SPDX-License-Identifier: GPL-3.0-or-later
// The sheet's text lines become CD-TEXT packs once the whole sheet is read.
#include "cuesheet/Lucue.h"

#include <algorithm>

namespace {

bool IsDiscOnly(std::size_t type)
{
    return type + ptTitle == ptDiscId || type + ptTitle == ptGenre;
}

// The first line at or before item (else after it) that gave a value of this type: it names the item
// that overflowed, or the nearest one when that item had no line of its own.
std::uint32_t LineOfItem(const std::vector<const TCueText*>& places, std::size_t type, std::size_t item)
{
    for (std::size_t i = item + 1; i-- > 0;)
        if (places[i]->Line[type] != 0)
            return places[i]->Line[type];
    for (std::size_t i = item; i < places.size(); ++i)
        if (places[i]->Line[type] != 0)
            return places[i]->Line[type];
    return 0;
}

// Finds the sheet's charset over all its text and decodes every value from it.
TSheetCharset DecodeSheetValues(const std::vector<TCueText*>& places)
{
    std::string all;
    for (const TCueText* place : places)
        for (const std::string& value : place->Value)
            all += value + '\n';
    const TSheetCharset charset = DetectSheetCharset(all);
    for (TCueText* place : places)
        for (std::string& value : place->Value)
            value = DecodeSheetText(value, charset);
    return charset;
}

// Japanese text gets an MS-JIS block; a Latin-1 block goes first when some character only it can hold.
std::vector<std::uint8_t> ChooseCharCodes(const std::vector<TCueText*>& places, TCdTextEncoder& encoder)
{
    bool japanese = false;
    bool latinOnly = false;
    for (const TCueText* place : places)
        for (const std::string& value : place->Value)
        {
            japanese = japanese || HasJapanese(value);
            for (const char32_t c : Utf8ToCodePoints(value))
                latinOnly =
                    latinOnly || (!encoder.CharBytes(c, ccIso8859_1).empty() && encoder.CharBytes(c, ccMsJis).empty());
        }
    if (!japanese)
        return {ccIso8859_1};
    if (latinOnly)
        return {ccIso8859_1, ccMsJis};
    return {ccMsJis};
}

// The strings of one block: of each type that any place gives, one per place (the disc's alone for the
// types that belong to the disc only).
TCdTextBlock MakeBlock(const std::vector<TCueText*>& places, std::uint8_t charCode, TCdTextEncoder& encoder)
{
    TCdTextBlock block;
    block.CharCode = charCode;
    block.Language = charCode == ccMsJis ? LANGUAGE_JAPANESE : LANGUAGE_ENGLISH;
    for (std::size_t t = 0; t < CD_TEXT_TEXT_TYPES; ++t)
    {
        const std::size_t count = IsDiscOnly(t) ? 1 : places.size();
        const bool given = std::any_of(places.begin(), places.begin() + static_cast<std::ptrdiff_t>(count),
                                       [t](const TCueText* place) { return !place->Value[t].empty(); });
        if (!given)
            continue;
        std::int32_t replaced = 0; // counted over all blocks by CountLost
        for (std::size_t i = 0; i < count; ++i)
            block.Strings[t].push_back(encoder.Encode(places[i]->Value[t], block.CharCode, replaced));
    }
    if (!block.Strings[ptGenre - ptTitle].empty())
    {
        const std::uint16_t code = CdTextGenreCode(places[0]->Get(ptGenre));
        std::string& genre = block.Strings[ptGenre - ptTitle][0];
        genre.insert(0, {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)});
    }
    return block;
}

// A character is lost only when no block holds it.
std::int32_t CountLost(const std::vector<TCueText*>& places, const std::vector<std::uint8_t>& charCodes,
                       TCdTextEncoder& encoder)
{
    std::int32_t lost = 0;
    for (const TCueText* place : places)
        for (const std::string& value : place->Value)
            for (const char32_t c : Utf8ToCodePoints(value))
                lost += std::all_of(charCodes.begin(), charCodes.end(),
                                    [&](std::uint8_t code) { return encoder.CharBytes(c, code).empty(); });
    return lost;
}

} // namespace

void TLuCueSheet::BuildCdText()
{
    // The disc first, then each track: the order of the strings in a pack type.
    std::vector<TCueText*> places{&DiscText};
    for (std::int32_t i = 0; i < TrackCount; ++i)
        places.push_back(&Tracks[static_cast<std::size_t>(i)]->Text);

    // CATALOG and ISRC lines alone never start CD-TEXT: sheets that only have them keep their outputs.
    const bool textLines =
        std::any_of(places.begin(), places.end(), [](const TCueText* place) { return place->FromTextLine; });
    TextCharset = DecodeSheetValues(places);
    if (!textLines || !UseSheetCdText || !CdTextFile.empty())
        return;

    TCdTextEncoder encoder;
    CdTextCharCodes = ChooseCharCodes(places, encoder);
    std::vector<TCdTextBlock> blocks;
    for (const std::uint8_t code : CdTextCharCodes)
        blocks.push_back(MakeBlock(places, code, encoder));
    CdTextReplaced += CountLost(places, CdTextCharCodes, encoder);
    if (const char* name = ForeignCharsetName(TextCharset); name != nullptr && CdTextReplaced > 0)
        LoadWarnings.push_back("CD-TEXT: the sheet is in " + std::string(name) + "; " + std::to_string(CdTextReplaced) +
                               (CdTextReplaced == 1 ? " character" : " characters") +
                               " that CD-TEXT cannot hold became \"?\"");

    TCdTextOverflow overflow;
    const auto firstTrack = static_cast<std::uint8_t>(FirstTrackNo);
    const auto lastTrack = static_cast<std::uint8_t>(FirstTrackNo + TrackCount - 1);
    if (!BuildCdTextPacks(blocks, firstTrack, lastTrack, CdTextPacks, &overflow))
    {
        const std::vector<const TCueText*> named(places.begin(), places.end());
        const std::uint32_t line = LineOfItem(named, overflow.Type - ptTitle, overflow.Item);
        const std::uint32_t reason =
            erCdTextFull + (overflow.Type & 0x0Fu) + (CdTextCharCodes[overflow.Block] == ccMsJis ? 0x10u : 0u);
        ErrorCode = PackStatus(line, egCdText, reason);
    }
}
