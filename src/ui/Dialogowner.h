// SPDX-License-Identifier: GPL-3.0-or-later
// What the main window's dialogs ask of it. They know this face only, so that the window's units
// and theirs do not include each other.
#pragma once

#include "image/Job.h"
#include "ui/Pathfont.h"

#include <QMainWindow>

class TLuCueSheet;

class TDialogOwner : public QMainWindow
{
    Q_OBJECT

public:
    using QMainWindow::QMainWindow;

    // The sheet the preview shows and the font its paths are shown in.
    virtual const TLuCueSheet& Sheet() const = 0;
    virtual const TPathFont& PathFont() const = 0;

    // For the progress dialog, which serves the conversion and the verification alike.
    // Refused while a run is going on.
    virtual bool SetProgressHandler(const TProgressHandler& handler) = 0;
    virtual void RequestCancel() = 0;
};
