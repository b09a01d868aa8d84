// SPDX-License-Identifier: GPL-3.0-or-later
// Takes the screenshots of the five windows in a real X server under a window manager, so that the
// frames show (Debian xvfb and openbox; the script waits for openbox before it starts the program):
//   tests/ui/RunUnderOpenbox.sh build/tests/ui/sarvex_screenshots docs/screenshots
#include "UiFixture.h"

#include "ui/Application.h"

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <QTimer>

#include <cstdio>

namespace {
QString OutputFolder;

void Settle(int ms)
{
    WaitFor([] { return false; }, ms);
}

void Grab(QWidget* window, const char* name)
{
    window->raise();
    window->activateWindow();
    Settle(600);
    const QRect frame = window->frameGeometry();
    const QPixmap shot = window->screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    const QString path = OutputFolder + u'/' + QString::fromLatin1(name);
    if (!shot.save(path))
        std::fprintf(stderr, "cannot save %s\n", qPrintable(path));
    else
        std::printf("%s\n", qPrintable(path));
}

// Slows the job down so that the dialog can be photographed in the middle of a run.
TProgressHandler SlowProgress(TProgressDlg& dialog)
{
    return [handler = dialog.Handler()](TProgressEvent event, std::int32_t value) mutable {
        if (event == peStep)
            QThread::msleep(25);
        handler(event, value);
    };
}
} // namespace

int main(int argc, char** argv)
{
    TApplication app(argc, argv);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/sarvex.png")));
    OutputFolder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(OutputFolder);

    TUiWindows w;
    TMainFrm& frm = *w.MainFrm;

    const std::string folder = w.Dir.File("Sample Album");
    QDir().mkpath(QString::fromStdString(folder));
    w.Dir.WriteZeros("Sample Album/album.bin", 22500 * 2352);
    const std::string cue = w.Dir.Write("Sample Album/album.cue", "CATALOG 4988001234567\n"
                                                                  "FILE \"album.bin\" BINARY\n"
                                                                  "  TRACK 01 MODE1/2352\n"
                                                                  "    INDEX 01 00:00:00\n"
                                                                  "  TRACK 02 AUDIO\n"
                                                                  "    FLAGS DCP\n"
                                                                  "    ISRC JPXXX0000001\n"
                                                                  "    PREGAP 00:02:00\n"
                                                                  "    INDEX 01 01:00:00\n"
                                                                  "  TRACK 03 AUDIO\n"
                                                                  "    ISRC JPXXX0000002\n"
                                                                  "    INDEX 00 02:10:00\n"
                                                                  "    INDEX 01 02:12:00\n"
                                                                  "    INDEX 02 03:40:00\n"
                                                                  "  TRACK 04 AUDIO\n"
                                                                  "    FLAGS DCP PRE\n"
                                                                  "    INDEX 01 04:01:30\n");
    frm.show();
    frm.OpenCueFile(QString::fromStdString(cue));
    Child<QLineEdit>(frm, "CcdPathEdit")->setText(QString::fromStdString(w.Dir.File("Sample Album/album.ccd")));
    Grab(&frm, "main-window.png");

    w.PreviewFrm->show();
    Grab(w.PreviewFrm.get(), "preview.png");
    w.PreviewFrm->hide();

    w.AboutBox->show();
    Grab(w.AboutBox.get(), "about-box.png");
    w.AboutBox->hide();

    frm.SetProgressHandler(SlowProgress(*w.ProgressDlg));
    QTimer::singleShot(2700, w.ProgressDlg.get(), [&] { Grab(w.ProgressDlg.get(), "progress-dialog.png"); });
    Child<QPushButton>(frm, "ConvBtn")->click();

    // The report of the set just written, photographed once it is up.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!w.VerifyFrm->isVisible())
            return;
        poll.stop();
        Grab(w.VerifyFrm.get(), "verify-report.png");
        w.VerifyFrm->accept();
    });
    poll.start(50);
    frm.SetProgressHandler(w.ProgressDlg->Handler());
    frm.VerifyImage(QString::fromStdString(w.Dir.File("Sample Album/album.ccd")));
    for (const TMessageBoxCall& box : w.Boxes)
        std::printf("message: %s\n", qPrintable(box.Text));
    return 0;
}
