// SPDX-License-Identifier: GPL-3.0-or-later
#include "fileio/Fileio.h"
#include "ui/Aboutbox.h"
#include "ui/Application.h"
#include "ui/Mainform.h"
#include "ui/Previewform.h"
#include "ui/Progressdialog.h"
#include "ui/Verifyform.h"

#include <QFileInfo>
#include <QIcon>
#include <QTimer>

#include <cstdio>
#include <cstring>

namespace {

constexpr const char* HELP =
    "Usage: sarvex [Qt options] [CUE_FILE]\n"
    "Opens the desktop program that converts the disc described by a cue sheet into the .ccd, .img and\n"
    "  .sub image set, previews its layout and verifies image sets. CUE_FILE is opened at start.\n"
    "  -h, --help     print this help\n"
    "  --version      print the version\n"
    "sarvex-cli does the same from scripts.\n";

// --help and --version are answered before Qt starts: they need no window and no display.
bool AnsweredWithoutWindow(int argc, char** argv)
{
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i)
    {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0)
            std::fputs(HELP, stdout);
        else if (std::strcmp(argv[i], "--version") == 0)
            std::printf("sarvex %s\n", SARVEX_VERSION);
        else
            continue;
        return true;
    }
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    if (AnsweredWithoutWindow(argc, argv))
        return 0;
    FailWritesPastSizeLimit();
    TApplication app(argc, argv);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/sarvex.png")));

    TMainFrm mainFrm;
    TPreviewFrm previewFrm(&mainFrm);
    TProgressDlg progressDlg(&mainFrm);
    TAboutBox aboutBox(&mainFrm);
    TVerifyFrm verifyFrm(&mainFrm);
    mainFrm.show();

    // A cue sheet named on the command line is read as if chosen in the open dialog.
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() > 1)
    {
        const QString cuePath = QFileInfo(arguments.at(1)).absoluteFilePath();
        QTimer::singleShot(0, &mainFrm, [&mainFrm, cuePath] { mainFrm.OpenCueFile(cuePath); });
    }
    return QApplication::exec();
}
