// SPDX-License-Identifier: GPL-3.0-or-later
// The Export Cue Sheet flow: write the set a .ccd file names as a cue sheet and its track files
// beside it, under the progress dialog, then tell what was written or why not.
#pragma once

#include "image/Cueexport.h"

#include <QString>

class QWidget;

class TExportFlow
{
public:
    // window owns the progress dialog and the message boxes. Existing outputs are replaced only when
    // the user says so.
    void Export(QWidget* window, const QString& ccdPath);
    // True while an export runs: the progress dialog serves this job then.
    bool Running() const { return Active; }

    TCueExportJob Job;

private:
    bool Active = false;
};
