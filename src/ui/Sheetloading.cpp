// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Sheetloading.h"

#include "cuesheet/Cueerrors.h"
#include "cuesheet/Lucue.h"
#include "cuesheet/Subqpatch.h"
#include "ui/Countdialog.h"
#include "ui/Platform.h"

TSheetLoad LoadSheet(QWidget* parent, TLuCueSheet& sheet, const QString& path)
{
    TSheetLoad result;
    result.Loaded = LoadOffGuiThread(parent, sheet, ToNativePath(path));
    result.Canceled = sheet.ErrorCode == CueStatus(egSheet, erCanceled);
    if (sheet.ErrorCode != 0 && !result.Canceled)
        result.Error = CueErrorText(sheet);
    const TCueErrorGroup group = CueStatusGroup(sheet.ErrorCode);
    if (!result.Loaded && (group == egFile || group == egCdTextFile) && !sheet.TriedFileName.empty())
        result.Detail = QStringLiteral("The sheet names \"%1\"; the file looked for was \"%2\".")
                            .arg(FromNativePath(sheet.TriedFileName), FromNativePath(sheet.TriedFilePath));
    result.Warnings = sheet.LoadWarnings;
    // A LibCrypt side-car beside the sheet belongs to it; a damaged one refuses the whole sheet.
    const std::string sideCar = result.Loaded ? FindSubQPatchFile(sheet.CuePath) : std::string();
    if (const TError failure = sideCar.empty() ? TError() : AttachSubQPatches(sheet, sideCar, result.Warnings))
    {
        result.Error = failure.Text();
        sheet.Clear();
        result.Loaded = false;
    }
    return result;
}
