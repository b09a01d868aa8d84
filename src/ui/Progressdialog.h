// The modal dialog shown while a conversion runs: elapsed time, progress bar and Cancel.
#pragma once

#include <QDialog>

#include "image/Conversion.h"

#include <cstdint>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;
class TMainFrm;

class TProgressDlg : public QDialog
{
    Q_OBJECT

public:
    // Registers the progress handler with the main window, which must exist already.
    explicit TProgressDlg(TMainFrm* mainFrm);

    // The job's handler; runs on the worker thread and returns 0.
    static std::int32_t ProgressProc(TProgressEvent event, std::int32_t value, void* dialog);

    void FormShow();
    void TimerTimer();
    // A closing event, on the GUI thread: stops the timer and closes, now or once shown.
    void CloseRequest();

    // Only the job closes the dialog: Esc and the window manager's close are ignored.
    void reject() override {}

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void CancelBtnClick();
    // Range, complete and step, on the GUI thread.
    void ApplyProgress(TProgressEvent event, std::int32_t value);

    QLabel* TimeLbl1 = nullptr;
    QLabel* TimeLbl = nullptr;
    QProgressBar* ProgressBar = nullptr;
    QPushButton* CancelBtn = nullptr;
    QTimer* Timer = nullptr;
    std::int32_t ElapsedSeconds = 0;

    TMainFrm* MainFrm;
    bool PendingClose = false;
};
