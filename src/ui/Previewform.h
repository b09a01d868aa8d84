// SPDX-License-Identifier: GPL-3.0-or-later
// The disc layout preview: disc-wide values, a fixed-pitch track/index list and a clipboard report.
#pragma once

#include "ui/Reportform.h"

class QFrame;
class QGroupBox;
class QLabel;
class QListWidget;
class TDialogOwner;

class TPreviewFrm : public TReportFrm
{
    Q_OBJECT

public:
    explicit TPreviewFrm(TDialogOwner* mainFrm);

    // Rebuilds the labels and the list from the main window's cue sheet.
    void FormShow();

protected:
    void showEvent(QShowEvent* event) override;
    // The report of what the dialog shows.
    QString ReportText() const override;

private:
    QGroupBox* DiscInfoGroup = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* NumTrkLbl = nullptr;
    QLabel* LengthLbl = nullptr;
    QLabel* McnLbl = nullptr;
    QLabel* CdtextLbl = nullptr;
    QLabel* SubQLbl = nullptr; // "Subchannel patches: ...", hidden without a side-car
    QGroupBox* TrackInfoGroup = nullptr;
    QLabel* HdrLbl = nullptr;
    QFrame* Panel1 = nullptr;
    QListWidget* TrackList = nullptr;

    TDialogOwner* MainFrm;
    // The CD-TEXT path in full; the label may show it shortened.
    QString CdTextPath;
    // The rows of the list that are the layout's; the sheet's ignored lines follow them.
    int LayoutRows = 0;
};
