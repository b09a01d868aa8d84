// SPDX-License-Identifier: GPL-3.0-or-later
// What the layout preview and the verify report share: a modal window that shows a report in a
// fixed-pitch font, copies it whole with "Copy to Clipboard" and closes with "Close".
#pragma once

#include <QDialog>
#include <QFont>

class QPushButton;

class TReportFrm : public QDialog
{
    Q_OBJECT

public:
    // Courier New where it is installed (or aliased to a metric twin), else the system's monospace font.
    static QFont FixedFont();

protected:
    // The buttons are made here; each window places them.
    TReportFrm(QWidget* parent, const char* name, const QString& title);

    // The report as it goes to the clipboard.
    virtual QString ReportText() const = 0;

    QPushButton* ClipBtn = nullptr;
    QPushButton* CloseBtn = nullptr;

private:
    void ClipBtnClick();
    void CloseBtnClick();
};
