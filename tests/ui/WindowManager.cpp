// SPDX-License-Identifier: GPL-3.0-or-later
// The windows under a real X server and a stacking window manager (Debian's openbox under Xvfb):
// what the window manager is asked for and what it did, read back with xprop.
// RunUnderOpenbox.sh starts both and skips when either is missing.
#include "UiFixture.h"

#include "ui/Application.h"

#include <QGuiApplication>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <cstdlib>

namespace {
// _MOTIF_WM_HINTS: flags, functions, decorations.
constexpr unsigned MWM_HINTS_FUNCTIONS = 1;
constexpr unsigned MWM_FUNC_MINIMIZE = 8;
constexpr unsigned MWM_FUNC_MAXIMIZE = 16;
constexpr unsigned MWM_FUNC_CLOSE = 32;

QString Property(QWidget* window, const char* name)
{
    QProcess xprop;
    xprop.start(QStringLiteral("xprop"),
                {QStringLiteral("-id"), QString::number(window->winId()), QLatin1String(name)});
    xprop.waitForFinished(5000);
    return QString::fromLocal8Bit(xprop.readAllStandardOutput()).simplified();
}

// The window manager's state of a window: "Normal", "Iconic" or "Withdrawn".
QString WmState(QWidget* window)
{
    const QString text = Property(window, "WM_STATE");
    const qsizetype at = text.indexOf(QStringLiteral("window state: "));
    return at < 0 ? QString() : text.mid(at + 14).section(u' ', 0, 0);
}

std::vector<unsigned> MotifHints(QWidget* window)
{
    std::vector<unsigned> values;
    const QString text = Property(window, "_MOTIF_WM_HINTS").section(u'=', 1);
    for (const QString& part : text.split(u',', Qt::SkipEmptyParts))
        values.push_back(part.trimmed().toUInt(nullptr, 16));
    return values;
}

// Asks the window manager to close the window, as its close button and Alt+F4 do.
void WmClose(QWidget* window)
{
    xcb_connection_t* x = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
    const char name[] = "_NET_CLOSE_WINDOW";
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(x, xcb_intern_atom(x, 0, sizeof name - 1, name), nullptr);
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = static_cast<xcb_window_t>(window->winId());
    event.type = atom->atom;
    event.data.data32[1] = 2; // from the user's own tools
    std::free(atom);
    xcb_send_event(x, 0, xcb_setup_roots_iterator(xcb_get_setup(x)).data->root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&event));
    xcb_flush(x);
}

bool Settle(int ms)
{
    return !WaitFor([] { return false; }, ms);
}

// Slows the job down so that the dialog stays up while the test acts on it.
TProgressHandler SlowProgress(TProgressDlg& dialog)
{
    return [handler = dialog.Handler()](TProgressEvent event, std::int32_t value) mutable {
        if (event == peStep)
            QThread::msleep(40);
        handler(event, value);
    };
}

class WindowManagerTest : public ::testing::Test
{
protected:
    TUiWindows W;
    TMainFrm& Frm = *W.MainFrm;
    QPushButton* ConvBtn = Child<QPushButton>(Frm, "ConvBtn");

    void SetUp() override
    {
        Frm.show();
        Settle(500);
        Frm.OpenCueFile(QString::fromStdString(WriteSingleTrackDisc(W.Dir, 75 * 40)));
        ASSERT_TRUE(ConvBtn->isEnabled());
        ASSERT_TRUE(Frm.SetProgressHandler(SlowProgress(*W.ProgressDlg)));
    }

    // Converts, answering every overwrite question with OK; returns once the result box was shown.
    void Convert()
    {
        W.Boxes.clear();
        ConvBtn->click();
        EXPECT_TRUE(WaitFor([&] { return ConvBtn->isEnabled(); }));
        ASSERT_FALSE(W.Boxes.empty());
        EXPECT_EQ(W.Boxes.back().Text, "Operation was successfull.");
    }
};
} // namespace

TEST_F(WindowManagerTest, MinimizingTheProgressDialogNeverHidesTheProgram)
{
    QString dialogState, frameState;
    std::vector<unsigned> hints;
    QTimer::singleShot(600, W.ProgressDlg.get(), [&] {
        hints = MotifHints(W.ProgressDlg.get());
        // What the minimize button does under this window manager: the dialog and its parent go.
        W.ProgressDlg->showMinimized();
        Settle(700);
        dialogState = WmState(W.ProgressDlg.get());
        frameState = WmState(&Frm);
    });
    Convert();
    // No minimize or maximize function is asked for; close cancels.
    ASSERT_GE(hints.size(), 2u);
    EXPECT_TRUE(hints[0] & MWM_HINTS_FUNCTIONS);
    EXPECT_EQ(hints[1] & (MWM_FUNC_MINIMIZE | MWM_FUNC_MAXIMIZE), 0u);
    EXPECT_NE(hints[1] & MWM_FUNC_CLOSE, 0u);
    // The minimize was undone while the job ran.
    EXPECT_EQ(dialogState, "Normal");
    EXPECT_EQ(frameState, "Normal");
    Settle(300);
    EXPECT_EQ(WmState(&Frm), "Normal");
    EXPECT_FALSE(Frm.isMinimized());

    // The next run shows the dialog normal.
    QString nextState;
    QTimer::singleShot(600, W.ProgressDlg.get(), [&] { nextState = WmState(W.ProgressDlg.get()); });
    Convert();
    EXPECT_EQ(nextState, "Normal");
}

TEST_F(WindowManagerTest, TheWindowManagersCloseCancelsTheRun)
{
    QTimer::singleShot(600, W.ProgressDlg.get(), [&] { WmClose(W.ProgressDlg.get()); });
    W.Boxes.clear();
    ConvBtn->click();
    EXPECT_TRUE(WaitFor([&] { return ConvBtn->isEnabled(); }));
    ASSERT_FALSE(W.Boxes.empty());
    EXPECT_EQ(W.Boxes.back().Text, "Operation was canceled.");
}

TEST_F(WindowManagerTest, TheWindowIsRestoredAfterARunWhateverHappenedBefore)
{
    // Iconified behind the program's back (a window manager that iconifies a group, a taskbar).
    QTimer::singleShot(600, &Frm, [&] { Frm.showMinimized(); });
    Convert();
    Settle(500);
    EXPECT_EQ(WmState(&Frm), "Normal");
    EXPECT_FALSE(Frm.isMinimized());
}

TEST_F(WindowManagerTest, DialogsAskForNoMinimizeOrMaximize)
{
    const auto check = [](QWidget* window) {
        window->show();
        Settle(400);
        const std::vector<unsigned> hints = MotifHints(window);
        ASSERT_GE(hints.size(), 2u) << window->objectName().toStdString();
        EXPECT_TRUE(hints[0] & MWM_HINTS_FUNCTIONS);
        EXPECT_EQ(hints[1] & (MWM_FUNC_MINIMIZE | MWM_FUNC_MAXIMIZE), 0u) << window->objectName().toStdString();
        EXPECT_NE(hints[1] & MWM_FUNC_CLOSE, 0u);
        window->hide();
    };
    check(W.PreviewFrm.get());
    check(W.AboutBox.get());
    check(W.VerifyFrm.get());
    const auto box = MakeMessageBox(&Frm, {QStringLiteral("Operation was failure."), QStringLiteral("Error"),
                                           QMessageBox::Critical, QMessageBox::Ok, QStringLiteral("why")});
    check(box.get());
}

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "xcb");
    TApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
