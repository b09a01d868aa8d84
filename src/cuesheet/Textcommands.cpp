// SPDX-License-Identifier: GPL-3.0-or-later
// The sheet's commands that give text: CD-TEXT lines, remarks, CDTEXTFILE and CATALOG.
#include "cuesheet/Textcommands.h"

#include "cuesheet/Cdtextfile.h"
#include "cuesheet/Cuetext.h"
#include "fileio/Fileio.h"
#include "fileio/Paths.h"
#include "text/Asciitext.h"

#include <algorithm>

void StoreText(TSheetReader& reader, std::uint8_t type, std::string_view value, std::uint32_t lineNo)
{
    TLuCueTrack* track = reader.CurrentTrack();
    const bool discOnly = type == ptDiscId || type == ptGenre || type == ptUpcIsrc;
    TCueText& text = track && !discOnly ? track->Text : reader.Sheet.DiscText;
    text.Set(type, Unquote(value), lineNo);
    text.FromTextLine = text.FromTextLine || !text.Get(type).empty();
}

TCueErrorReason HandleRem(TSheetReader& reader, const TCueCommand& command)
{
    static constexpr struct
    {
        std::string_view Word;
        std::uint8_t Type;
    } REMARKS[] = {{"COMPOSER ", ptComposer}, {"ARRANGER ", ptArranger}, {"MESSAGE ", ptMessage}, {"GENRE ", ptGenre}};
    for (const auto& remark : REMARKS)
    {
        if (command.Arg.starts_with(remark.Word))
        {
            const std::size_t skip = command.Arg.size() - TrimLeadingSpaces(command.Arg.substr(remark.Word.size())).size();
            StoreText(reader, remark.Type, command.ArgOriginal.substr(skip), command.LineNo);
        }
    }
    return erNone;
}

TCueErrorReason HandleCdTextFile(TSheetReader& reader, const TCueCommand& command)
{
    if (reader.CdTextGiven)
        return erGivenTwice;
    TLuCueSheet& sheet = reader.Sheet;
    const std::string path = sheet.NoteFileTried(command.ArgOriginal);
    const std::string label = FileLabel(sheet.TriedFileName);
    if (!IsRegularFile(path))
    {
        sheet.ErrorDetail = NoFileText(sheet.TriedFileName, path);
        return erNotFound;
    }
    if (!CheckCdTextFile(path, label, sheet.ErrorDetail, sheet.LoadWarnings))
        return erNotFound;
    sheet.CdTextFile = path;
    reader.CdTextGiven = true;
    return erNone;
}

TCueErrorReason HandleCatalog(TSheetReader& reader, const TCueCommand& command)
{
    if (reader.CatalogGiven)
        return erGivenTwice;
    const std::string_view arg = Unquote(command.Arg);
    if (arg.size() != 13 || !std::all_of(arg.begin(), arg.end(), IsAsciiDigit))
        return erBadArgument;
    if (!IsAllZero(arg))
    {
        reader.Sheet.Catalog = arg;
        reader.Sheet.DiscText.Set(ptUpcIsrc, arg, command.LineNo);
    }
    reader.CatalogGiven = true;
    return erNone;
}
