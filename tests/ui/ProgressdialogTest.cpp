// SPDX-License-Identifier: GPL-3.0-or-later
#include "UiFixture.h"

#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <future>
#include <thread>

namespace {
class ProgressdialogTest : public ::testing::Test
{
protected:
    TUiWindows W;
    TProgressDlg& Dlg = *W.ProgressDlg;

    // Shows the dialog modally; fails the test instead of hanging when nothing closes it.
    bool ExecUntilClosed()
    {
        bool forced = false;
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, &Dlg, [&] {
            forced = true;
            Dlg.done(QDialog::Rejected);
        });
        guard.start(5000);
        Dlg.exec();
        return !forced;
    }
};
} // namespace

TEST_F(ProgressdialogTest, TimerTextCountsMinutesAndSeconds)
{
    Dlg.FormShow();
    EXPECT_EQ(Child<QLabel>(Dlg, "TimeLbl")->text(), "00:00");
    EXPECT_EQ(Child<QTimer>(Dlg, "Timer")->interval(), 500);
    EXPECT_TRUE(Child<QTimer>(Dlg, "Timer")->isActive());

    Dlg.TimerTimer();
    EXPECT_EQ(Child<QLabel>(Dlg, "TimeLbl")->text(), "00:01");
    EXPECT_EQ(Child<QTimer>(Dlg, "Timer")->interval(), 1000);
    for (int i = 1; i < 59; ++i)
        Dlg.TimerTimer();
    EXPECT_EQ(Child<QLabel>(Dlg, "TimeLbl")->text(), "00:59");
    Dlg.TimerTimer();
    Dlg.TimerTimer();
    EXPECT_EQ(Child<QLabel>(Dlg, "TimeLbl")->text(), "01:01");
    for (int i = 61; i < 125; ++i)
        Dlg.TimerTimer();
    EXPECT_EQ(Child<QLabel>(Dlg, "TimeLbl")->text(), "02:05");
    for (int i = 125; i < 6000; ++i)
        Dlg.TimerTimer();
    EXPECT_EQ(Child<QLabel>(Dlg, "TimeLbl")->text(), "100:00");

    // Shown again for the next conversion: time and bar start over.
    Child<QProgressBar>(Dlg, "ProgressBar")->setRange(0, 10);
    Child<QProgressBar>(Dlg, "ProgressBar")->setValue(5);
    Dlg.FormShow();
    EXPECT_EQ(Child<QLabel>(Dlg, "TimeLbl")->text(), "00:00");
    EXPECT_EQ(Child<QTimer>(Dlg, "Timer")->interval(), 500);
    EXPECT_EQ(Child<QProgressBar>(Dlg, "ProgressBar")->maximum(), 0);
    EXPECT_EQ(Child<QProgressBar>(Dlg, "ProgressBar")->value(), 0);
    Child<QTimer>(Dlg, "Timer")->stop();
}

TEST_F(ProgressdialogTest, BarFollowsRangeStepAndComplete)
{
    // On the GUI thread the handler applies the events at once.
    TProgressHandler handler = Dlg.Handler();
    handler(peSetRange, 61);
    EXPECT_EQ(Child<QProgressBar>(Dlg, "ProgressBar")->minimum(), 0);
    EXPECT_EQ(Child<QProgressBar>(Dlg, "ProgressBar")->maximum(), 62);
    EXPECT_EQ(Child<QProgressBar>(Dlg, "ProgressBar")->value(), 0);
    handler(peStep, 0);
    handler(peStep, 0); // held back: too soon after the first
    EXPECT_EQ(Child<QProgressBar>(Dlg, "ProgressBar")->value(), 1);
    handler(static_cast<TProgressEvent>(3), 0); // never sent; ignored, but the held step passes first
    EXPECT_EQ(Child<QProgressBar>(Dlg, "ProgressBar")->value(), 2);
    handler(peComplete, 0);
    EXPECT_EQ(Child<QProgressBar>(Dlg, "ProgressBar")->value(), 62);
}

TEST_F(ProgressdialogTest, TheWorkerNeverWaitsForTheDialogAndCloseComesLast)
{
    std::promise<void> sent;
    std::thread worker([&, handler = Dlg.Handler()]() mutable {
        handler(peSetRange, 8);
        for (int i = 0; i < 5; ++i)
            handler(peStep, 0);
        handler(peComplete, 0);
        handler(peFinished, 0);
        sent.set_value();
    });
    // The GUI thread takes no event meanwhile: a worker that waited for it would hang here.
    EXPECT_EQ(sent.get_future().wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_TRUE(ExecUntilClosed());
    worker.join();
    EXPECT_EQ(Child<QProgressBar>(Dlg, "ProgressBar")->value(), 9);
    EXPECT_FALSE(Dlg.isVisible());
    EXPECT_FALSE(Child<QTimer>(Dlg, "Timer")->isActive());
}

TEST_F(ProgressdialogTest, CloseRequestBeforeShowStillClosesIt)
{
    Dlg.CloseRequest(); // the job ended before the dialog came up
    EXPECT_TRUE(ExecUntilClosed());
    EXPECT_FALSE(Dlg.isVisible());

    // Consumed once: the next showing stays up until its own close.
    QTimer::singleShot(300, &Dlg, [&] {
        EXPECT_TRUE(Dlg.isVisible());
        Dlg.Handler()(peCanceled, 0);
    });
    EXPECT_TRUE(ExecUntilClosed());
}

// Esc, the window manager's close (Alt+F4, the title bar) and the button each ask to cancel; only the job
// closes the dialog.
class ProgressdialogCancelTest : public ProgressdialogTest, public ::testing::WithParamInterface<int>
{};

TEST_P(ProgressdialogCancelTest, EveryWayOfClosingAsksToCancelAndOnlyTheJobCloses)
{
    QTimer::singleShot(0, &Dlg, [&] {
        EXPECT_FALSE(W.MainFrm->CancelRequested());
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        switch (GetParam())
        {
        case 0: QCoreApplication::sendEvent(&Dlg, &escape); break;
        case 1: EXPECT_FALSE(Dlg.close()); break;
        default: // twice: the second press asks again, no more
            Child<QPushButton>(Dlg, "CancelBtn")->click();
            Child<QPushButton>(Dlg, "CancelBtn")->click();
            break;
        }
        EXPECT_TRUE(W.MainFrm->CancelRequested());
        EXPECT_TRUE(Dlg.isVisible());
        EXPECT_TRUE(Child<QPushButton>(Dlg, "CancelBtn")->isEnabled());
        Dlg.Handler()(peCanceled, 0);
    });
    EXPECT_TRUE(ExecUntilClosed());
    EXPECT_TRUE(W.MainFrm->CancelRequested());
    EXPECT_EQ(W.MainFrm->Status(), csIdle); // asking is no outcome
    EXPECT_EQ(Dlg.windowTitle(), "Converting...");
    EXPECT_TRUE(Dlg.windowFlags().testFlag(Qt::WindowCloseButtonHint));
    EXPECT_EQ(Child<QPushButton>(Dlg, "CancelBtn")->focusPolicy() & Qt::TabFocus, 0);
}
INSTANTIATE_TEST_SUITE_P(EscCloseAndButton, ProgressdialogCancelTest, ::testing::Values(0, 1, 2));

// Hidden, the dialog asks nothing: a request would stay and stop the next run.
TEST_F(ProgressdialogTest, ClosingItHiddenAsksNothing)
{
    Dlg.close();
    Dlg.reject();
    EXPECT_FALSE(W.MainFrm->CancelRequested());
}
