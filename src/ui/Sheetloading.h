// SPDX-License-Identifier: GPL-3.0-or-later
// Reading a cue sheet for the main window: the load under the count window, the LibCrypt side-car
// beside it, and what the user is to be told of either.
#pragma once

#include <QString>

#include <string>
#include <vector>

class QWidget;
class TLuCueSheet;

struct TSheetLoad
{
    bool Loaded = false;
    bool Canceled = false; // the user's own Cancel, which needs no error box
    std::string Error;     // empty when loaded or canceled
    QString Detail;        // why, under the error
    std::vector<std::string> Warnings;
};

// Loads the sheet at path (a display path) into sheet, the count window a child of parent.
TSheetLoad LoadSheet(QWidget* parent, TLuCueSheet& sheet, const QString& path);
