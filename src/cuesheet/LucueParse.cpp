// SPDX-License-Identifier: GPL-3.0-or-later
// Loading a cue sheet: the file read, its lines handed to TSheetReader, then the CD-TEXT and the layout built.
#include "cuesheet/Lucue.h"

#include "cuesheet/Cuecommands.h"
#include "cuesheet/Cuetext.h"
#include "fileio/Fileio.h"
#include "fileio/Paths.h"
#include "text/Asciitext.h"

#include <system_error>
#include <vector>

namespace {

// The whole file, or false when it cannot be read, with the reason when one is known. Never blocks on
// a FIFO or device.
bool ReadWholeFile(const std::string& path, std::string& text, std::string* reason = nullptr)
{
    try
    {
        text = TFile::OpenForReading(path).ReadAll();
        return true;
    }
    catch (const std::system_error& error)
    {
        if (reason)
            *reason = "cannot be read (" + error.code().message() + ")";
    }
    catch (const std::exception&)
    {
    }
    return false;
}

} // namespace

std::string TLuCueSheet::ResolvePath(std::string_view name) const
{
    name = TrimControls(name);
    if (name.empty())
        return {};
    return ResolveBesideSheet(CuePath, Unquote(name));
}

std::string TLuCueSheet::NoteFileTried(std::string_view name)
{
    TriedFilePath = ResolvePath(name);
    TriedFileName = Unquote(TrimControls(name));
    return TriedFilePath;
}

bool TLuCueSheet::Load(const std::string& cuePath)
{
    Clear();
    TriedFileName.clear();
    TriedFilePath.clear();
    ErrorCode = 0;
    ErrorDetail.clear();
    // The sheet's own refusal names it as it was given, quoted: it may be any path.
    const std::string label = "\"" + cuePath + "\": ";
    if (!IsRegularFile(cuePath))
    {
        ErrorCode = CueStatus(egSheet, erNotFound);
        ErrorDetail = label + NoFileReason(cuePath);
        return false;
    }
    std::string text;
    std::string reason;
    if (!ReadWholeFile(cuePath, text, &reason))
    {
        ErrorCode = CueStatus(egSheet, erUnreadable);
        if (!reason.empty())
            ErrorDetail = label + reason;
        return false;
    }
    CuePath = cuePath;
    try
    {
        WideSheetToUtf8(text);
        ReadSheet(text);
        if (ErrorCode == 0)
            BuildCdText();
        if (ErrorCode == 0)
            BuildDiscModel();
    }
    catch (const ECountCanceled&)
    {
        ErrorCode = CueStatus(egSheet, erCanceled);
    }
    catch (...)
    {
        if (ErrorCode == 0)
            ErrorCode = CueStatus(egSheet, erUnreadable);
    }
    text.clear();
    text.shrink_to_fit();
    if (ErrorCode != 0)
    {
        Clear();
        return false;
    }
    BuildAddressTable();
    BuildTocTable();
    BuildSubQSchedule();
    if (std::string warning = ShortTrackWarning(*this); !warning.empty())
        LoadWarnings.push_back(std::move(warning));
    return true;
}

std::vector<std::string> TLuCueSheet::NamedFiles(const std::string& cuePath)
{
    std::vector<std::string> names;
    std::string text;
    if (!IsRegularFile(cuePath) || !ReadWholeFile(cuePath, text))
        return names;
    WideSheetToUtf8(text);
    TLuCueSheet sheet;
    sheet.CuePath = cuePath;
    TSheetReader reader(sheet);
    reader.Names = &names;
    reader.Read(text, CueCommands());
    return names;
}

void TLuCueSheet::ReadSheet(const std::string& text)
{
    TSheetReader reader(*this);
    reader.Read(text, CueCommands());
}
