// SPDX-License-Identifier: GPL-3.0-or-later
// The Verify Image flow: check the set a .ccd file names under the progress dialog, then show the
// report or why it could not be checked.
#pragma once

#include "image/Verifier.h"

#include <QString>

class QWidget;

class TVerifyFlow
{
public:
    // window owns the progress dialog, the report window and the message boxes.
    void Verify(QWidget* window, const QString& path);
    // True while a check runs: the progress dialog serves this job then.
    bool Running() const { return Active; }

    TVerifyJob Job;

private:
    bool Active = false;
};
