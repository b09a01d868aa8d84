// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's settings file: read once when the window is made, written once on close.
#pragma once

#include "ui/Pathfont.h"

#include <QString>

struct TMainSettings
{
    int Top = 100;
    int Left = 100;
    int Width = 470;
    TPathFont PathFont; // on saving, Font is the font the path boxes show
    QString LastCueDir;
    QString LastCcdDir;
    QString LastVerifyDir; // written only once a set was verified
    bool EdcEcc = true;
    bool CdTextFromCue = true;
};

// A missing or unreadable file is silently empty: every default stays.
TMainSettings LoadMainSettings(const QString& path);
// Other sections and keys of the file stay where they are; dpi is the path boxes' logical resolution.
void SaveMainSettings(const QString& path, const TMainSettings& settings, int dpi);
