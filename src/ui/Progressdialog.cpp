// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Progressdialog.h"

#include "image/Conversion.h"
#include "image/Progressthrottle.h"
#include "ui/Dialogowner.h"
#include "ui/Windowstyle.h"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTimer>

namespace {
constexpr int FIRST_TICK_MS = 500;
constexpr int TICK_MS = 1000;
} // namespace

TProgressDlg::TProgressDlg(TDialogOwner* mainFrm) : QDialog(mainFrm, DIALOG_FLAGS), MainFrm(mainFrm)
{
    setObjectName(QStringLiteral("ProgressDlg"));
    setWindowTitle(QStringLiteral("Converting..."));
    setModal(true);
    setFont(FormFont(12));
    setFixedSize(314, 108);
    KeepRestored(this);

    TimeLbl1 = new QLabel(QStringLiteral("Time:"), this);
    TimeLbl1->setObjectName(QStringLiteral("TimeLbl1"));
    TimeLbl1->adjustSize();
    TimeLbl1->move(16, 15);
    TimeLbl = new QLabel(QStringLiteral("00:00"), this);
    TimeLbl->setObjectName(QStringLiteral("TimeLbl"));
    TimeLbl->setGeometry(57, 15, 120, TimeLbl1->height());

    ProgressBar = new QProgressBar(this);
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->setGeometry(16, 41, 281, 16);
    ProgressBar->setRange(0, 100);
    ProgressBar->setValue(0);
    ProgressBar->setTextVisible(false);

    CancelBtn = new QPushButton(QStringLiteral("&Cancel"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setGeometry(120, 68, 60, 24);
    CancelBtn->setFocusPolicy(Qt::ClickFocus);
    CancelBtn->setAutoDefault(false);
    connect(CancelBtn, &QPushButton::clicked, this, &TProgressDlg::CancelBtnClick);

    Timer = new QTimer(this);
    Timer->setObjectName(QStringLiteral("Timer"));
    connect(Timer, &QTimer::timeout, this, &TProgressDlg::TimerTimer);

    ElapsedSeconds = 0;
    mainFrm->SetProgressHandler(Handler());
}

TProgressHandler TProgressDlg::Handler()
{
    return TProgressThrottle([this](TProgressEvent event, std::int32_t value) {
        switch (event)
        {
        case peAborted:
        case peFinished:
        case peCanceled:
            // Queued behind every bar update sent before it.
            QMetaObject::invokeMethod(
                this, [this] { CloseRequest(); }, Qt::QueuedConnection);
            break;
        case peSetRange:
        case peComplete:
        case peStep:
            if (QThread::currentThread() == thread())
                ApplyProgress(event, value);
            else
                QMetaObject::invokeMethod(
                    this, [this, event, value] { ApplyProgress(event, value); }, Qt::QueuedConnection);
            break;
        default: break;
        }
    });
}

void TProgressDlg::ApplyProgress(TProgressEvent event, std::int32_t value)
{
    switch (event)
    {
    case peSetRange:
        ProgressBar->setRange(0, value + 1);
        ProgressBar->setValue(0);
        break;
    case peComplete: ProgressBar->setValue(ProgressBar->maximum()); break;
    case peStep: ProgressBar->setValue(std::min(value, ProgressBar->maximum())); break;
    default: break;
    }
}

void TProgressDlg::CloseRequest()
{
    Timer->stop();
    if (isVisible())
        done(QDialog::Accepted);
    else
        PendingClose = true;
}

void TProgressDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    FormShow();
}

void TProgressDlg::FormShow()
{
    ElapsedSeconds = 0;
    TimeLbl->setText(QStringLiteral("00:00"));
    Timer->setInterval(FIRST_TICK_MS);
    Timer->start();
    ProgressBar->setRange(0, 0);
    ProgressBar->setValue(0);
    if (PendingClose)
    {
        // The job finished before the dialog came up.
        PendingClose = false;
        QMetaObject::invokeMethod(
            this, [this] { CloseRequest(); }, Qt::QueuedConnection);
    }
}

void TProgressDlg::TimerTimer()
{
    if (ElapsedSeconds == 0)
        Timer->setInterval(TICK_MS);
    ++ElapsedSeconds;
    TimeLbl->setText(QString::asprintf("%.2d:%.2d", ElapsedSeconds / 60, ElapsedSeconds % 60));
}

void TProgressDlg::CancelBtnClick()
{
    MainFrm->RequestCancel();
}

// A request while no job runs would stay and stop the next one.
void TProgressDlg::reject()
{
    if (isVisible())
        CancelBtnClick();
}

void TProgressDlg::closeEvent(QCloseEvent* event)
{
    event->ignore();
    reject();
}
