// SPDX-License-Identifier: GPL-3.0-or-later
// The verify report window: the text the command-line tool prints for a set, in a fixed-pitch font.
#pragma once

#include "ui/Reportform.h"

class QPlainTextEdit;
class QWidget;
struct TVerifyReport;

class TVerifyFrm : public TReportFrm
{
    Q_OBJECT

public:
    explicit TVerifyFrm(QWidget* parent);

    // Replaces the text with the report of a run; the caller shows the window.
    void SetReport(const TVerifyReport& report);

protected:
    QString ReportText() const override;

private:
    QPlainTextEdit* ReportView = nullptr;
    // As the command-line tool prints it, line ends and all.
    QString Text;
};
