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

} // namespace

void TLuCueSheet::BuildCdText()
{
    // The disc first, then each track: the order of the strings in a pack type.
    std::vector<TCueText*> places{&DiscText};
    for (std::int32_t i = 0; i < TrackCount; ++i)
        places.push_back(&Tracks[static_cast<std::size_t>(i)]->Text);

    // CATALOG and ISRC lines alone never start CD-TEXT: sheets that only have them keep their outputs.
    bool textLines = false;
    std::string all;
    for (const TCueText* place : places)
    {
        textLines = textLines || place->FromTextLine;
        for (const std::string& value : place->Value)
            all += value + '\n';
    }
    TextCharset = DetectSheetCharset(all);
    for (TCueText* place : places)
        for (std::string& value : place->Value)
            value = DecodeSheetText(value, TextCharset);
    if (!textLines || !UseSheetCdText || !CdTextFile.empty())
        return;

    // Japanese text gets an MS-JIS block; a Latin-1 block goes first when some character only it can hold.
    TCdTextEncoder encoder;
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
        CdTextCharCodes = {ccIso8859_1};
    else if (latinOnly)
        CdTextCharCodes = {ccIso8859_1, ccMsJis};
    else
        CdTextCharCodes = {ccMsJis};

    std::vector<TCdTextBlock> blocks(CdTextCharCodes.size());
    for (std::size_t b = 0; b < blocks.size(); ++b)
    {
        TCdTextBlock& block = blocks[b];
        block.CharCode = CdTextCharCodes[b];
        block.Language = block.CharCode == ccMsJis ? LANGUAGE_JAPANESE : LANGUAGE_ENGLISH;
        for (std::size_t t = 0; t < CD_TEXT_TEXT_TYPES; ++t)
        {
            const std::size_t count = IsDiscOnly(t) ? 1 : places.size();
            const bool given = std::any_of(places.begin(), places.begin() + static_cast<std::ptrdiff_t>(count),
                                           [t](const TCueText* place) { return !place->Value[t].empty(); });
            if (!given)
                continue;
            std::int32_t replaced = 0; // counted below over all blocks
            for (std::size_t i = 0; i < count; ++i)
                block.Strings[t].push_back(encoder.Encode(places[i]->Value[t], block.CharCode, replaced));
        }
        if (!block.Strings[ptGenre - ptTitle].empty())
        {
            const std::uint16_t code = CdTextGenreCode(DiscText.Get(ptGenre));
            std::string& genre = block.Strings[ptGenre - ptTitle][0];
            genre.insert(0, {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)});
        }
    }

    // A character is lost only when no block holds it.
    for (const TCueText* place : places)
        for (const std::string& value : place->Value)
            for (const char32_t c : Utf8ToCodePoints(value))
                CdTextReplaced += std::all_of(CdTextCharCodes.begin(), CdTextCharCodes.end(),
                                              [&](std::uint8_t code) { return encoder.CharBytes(c, code).empty(); });

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
