// SPDX-License-Identifier: GPL-3.0-or-later
#include "UiFixture.h"

#include <QDir>
#include <QMenuBar>
#include <QPushButton>

std::string WriteSingleTrackDisc(const TTempDir& dir, int sectors, const std::string& name)
{
    dir.WriteZeros(name + ".bin", static_cast<std::uintmax_t>(sectors) * 2352);
    return dir.Write(name + ".cue", "FILE \"" + name + ".bin\" BINARY\n  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00\n");
}

TProgressHandler TCancelOnFirstRange::Handler()
{
    return [dialog = Dialog->Handler()](TProgressEvent event, std::int32_t value) {
        dialog(event, value);
        if (event == peSetRange && value > 2)
            QMetaObject::invokeMethod(
                Dialog,
                [] {
                    if (Before)
                        Before();
                    Child<QPushButton>(*Dialog, "CancelBtn")->click();
                },
                Qt::BlockingQueuedConnection);
    };
}

int FormHeight(const TMainFrm& frm)
{
    return frm.menuBar()->sizeHint().height() + 105;
}

TUiWindows::TUiWindows()
{
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(Dir.File("config")));
    SetMessageBoxAnswerer([this](const TMessageBoxCall& call) {
        Boxes.push_back(call);
        const QMessageBox::StandardButton yes =
            call.Buttons.testFlag(QMessageBox::Yes) ? QMessageBox::Yes : QMessageBox::Ok;
        if (Answers.empty() || !(call.Buttons & (QMessageBox::Cancel | QMessageBox::No)))
            return yes;
        const QMessageBox::StandardButton answer = Answers.front();
        Answers.pop_front();
        return answer;
    });
    Create();
}

TUiWindows::~TUiWindows()
{
    SetMessageBoxAnswerer(nullptr);
}

QString TUiWindows::SettingsPath() const
{
    return QString::fromStdString(Dir.File("config/Sarvex/Sarvex.ini"));
}

void TUiWindows::Create()
{
    MainFrm = std::make_unique<TMainFrm>();
    PreviewFrm = std::make_unique<TPreviewFrm>(MainFrm.get());
    ProgressDlg = std::make_unique<TProgressDlg>(MainFrm.get());
    AboutBox = std::make_unique<TAboutBox>(MainFrm.get(), QLocale(QLocale::English));
    VerifyFrm = std::make_unique<TVerifyFrm>(MainFrm.get());
    // The pending font is applied at the first idle moment.
    QCoreApplication::processEvents();
}

void TUiWindows::Restart()
{
    VerifyFrm.reset();
    AboutBox.reset();
    ProgressDlg.reset();
    PreviewFrm.reset();
    MainFrm.reset();
    Create();
}
