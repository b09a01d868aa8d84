// SPDX-License-Identifier: GPL-3.0-or-later
// The modal dialog shown while a conversion runs: elapsed time, progress bar and Cancel.
#pragma once

#include <QDialog>

#include "image/Conversion.h"

#include <cstdint>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;
class TDialogOwner;

class TProgressDlg : public QDialog
{
    Q_OBJECT

public:
    // Registers the progress handler with the main window, which must exist already.
    explicit TProgressDlg(TDialogOwner* mainFrm);

    // A job's handler, for the worker thread: posts the events to the dialog, 30 a second at most
    // besides the range, the first and last steps and the closing events, and never waits for them.
    // Called on the GUI thread, it applies them at once.
    TProgressHandler Handler();

    void FormShow();
    void TimerTimer();
    // A closing event, on the GUI thread: stops the timer and closes, now or once shown.
    void CloseRequest();

    // Only the job closes the dialog: Esc and the window manager's close ask to cancel, as Cancel does.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void CancelBtnClick();
    // Range, complete and step (value: the steps since the range), on the GUI thread.
    void ApplyProgress(TProgressEvent event, std::int32_t value);

    QLabel* TimeLbl1 = nullptr;
    QLabel* TimeLbl = nullptr;
    QProgressBar* ProgressBar = nullptr;
    QPushButton* CancelBtn = nullptr;
    QTimer* Timer = nullptr;
    std::int32_t ElapsedSeconds = 0;

    TDialogOwner* MainFrm;
    bool PendingClose = false;
};
