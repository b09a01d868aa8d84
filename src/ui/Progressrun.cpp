// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Progressrun.h"

#include "ui/Progressdialog.h"
#include "ui/Windowstyle.h"

#include <QThread>
#include <QWidget>

bool RunWithProgress(QWidget* window, std::function<void()> body, const QString& caption)
{
    QThread* worker = QThread::create(std::move(body));
    worker->setObjectName(QStringLiteral("ConversionWorker"));
    QObject::connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    worker->start();
    if (!worker->isRunning() && !worker->isFinished())
    {
        delete worker;
        return false;
    }

    if (auto* progressDlg = window->findChild<TProgressDlg*>(QString(), Qt::FindDirectChildrenOnly))
    {
        progressDlg->setWindowTitle(caption);
        ShowNormal(progressDlg); // a minimize left over from an earlier run
        progressDlg->exec();
    }
    // The window manager may have iconified the window with its dialog.
    ShowNormal(window);
    window->activateWindow();
    return true;
}

void RunOnGuiThread(QObject* context, std::function<void()> work)
{
    // Never blocks: the GUI thread may be waiting in the progress dialog for this very worker.
    if (QThread::currentThread() == context->thread())
        work();
    else
        QMetaObject::invokeMethod(context, std::move(work), Qt::QueuedConnection);
}

std::optional<TConvertStatus> RunJobWithProgress(QWidget* window, TJob& job, bool& active, std::function<void()> body,
                                                 const QString& caption)
{
    active = true;
    const bool ran = RunWithProgress(window, std::move(body), caption);
    active = false;
    const TConvertStatus status = job.Status.load();
    job.Reset();
    if (!ran)
        return std::nullopt;
    return status;
}
