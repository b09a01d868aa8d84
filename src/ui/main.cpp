#include "ui/Aboutbox.h"
#include "ui/Application.h"
#include "ui/Mainform.h"
#include "ui/Previewform.h"
#include "ui/Progressdialog.h"
#include "ui/Verifyform.h"

#include <QFileInfo>
#include <QIcon>
#include <QTimer>

int main(int argc, char** argv)
{
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
