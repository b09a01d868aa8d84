// SPDX-License-Identifier: GPL-3.0-or-later
// The five windows as the program creates them, in a scratch folder with its own settings file,
// and every message box answered by script.
#pragma once

#include "support/TempDir.h"
#include "ui/Aboutbox.h"
#include "ui/Mainform.h"
#include "ui/Messagebox.h"
#include "ui/Previewform.h"
#include "ui/Progressdialog.h"
#include "ui/Verifyform.h"

#include <QString>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// A window's widget or action by its objectName; a missing one fails the test.
template <typename T>
T* Child(const QObject& parent, const char* name);

// The main window's fixed height: its menu bar over the 105-pixel area of the controls.
int FormHeight(const TMainFrm& frm);

// A cue sheet of one MODE1/2352 track over a file of `sectors` zero sectors.
std::string WriteSingleTrackDisc(const TTempDir& dir, int sectors, const std::string& name = "disc");

// A progress handler that presses the dialog's Cancel button, as the user would, once the job has
// set its real range; Before runs on the GUI thread just ahead of the press.
struct TCancelOnFirstRange
{
    static inline TProgressDlg* Dialog = nullptr;
    static inline std::function<void()> Before;
    static TProgressHandler Handler();
};

// Runs the event loop until the condition holds or the time is up; answers the condition.
template <typename TCondition>
bool WaitFor(TCondition condition, int timeoutMs = 10000);

class TUiWindows
{
public:
    // XDG_CONFIG_HOME points into the scratch folder before the main window reads its settings.
    TUiWindows();
    ~TUiWindows();

    TTempDir Dir;
    std::unique_ptr<TMainFrm> MainFrm;
    std::unique_ptr<TPreviewFrm> PreviewFrm;
    std::unique_ptr<TProgressDlg> ProgressDlg;
    std::unique_ptr<TAboutBox> AboutBox;
    std::unique_ptr<TVerifyFrm> VerifyFrm;

    // Every box shown, in order, and the answers given to the questions (Yes or OK when none is left).
    std::vector<TMessageBoxCall> Boxes;
    std::deque<QMessageBox::StandardButton> Answers;

    QString SettingsPath() const;
    // Creates the windows again, as a second run of the program would.
    void Restart();

private:
    void Create();
};

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

template <typename T>
T* Child(const QObject& parent, const char* name)
{
    T* child = parent.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << "no child named " << name;
    return child;
}

template <typename TCondition>
bool WaitFor(TCondition condition, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition())
    {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}
