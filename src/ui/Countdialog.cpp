// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Countdialog.h"

#include "cuesheet/Lucue.h"

#include <QEvent>
#include <QEventLoop>
#include <QProgressDialog>
#include <QThread>

#include <algorithm>
#include <chrono>

namespace {

constexpr int STEPS = 1000;
// A count shorter than this shows nothing.
constexpr int SHOW_AFTER_MS = 500;
// Reports between a file's first and last reach the window no more often than this.
constexpr auto REPORT_INTERVAL = std::chrono::milliseconds(33);

} // namespace

TCountDlg::TCountDlg(QWidget* parent) : Parent(parent) {}

TCountDlg::~TCountDlg()
{
    OnShownOrHidden = nullptr;
}

TCountProgress TCountDlg::Handler()
{
    using TClock = std::chrono::steady_clock;
    return [this, name = std::string(), last = TClock::time_point()](std::int64_t done, std::int64_t total,
                                                                     const std::string& file) mutable {
        const auto now = TClock::now();
        if (QThread::currentThread() == thread())
            Apply(done, total, file);
        else if (file != name || done >= total || now - last >= REPORT_INTERVAL)
        {
            name = file;
            last = now;
            QMetaObject::invokeMethod(
                this, [this, done, total, file] { Apply(done, total, file); }, Qt::QueuedConnection);
        }
        return !Canceled.load();
    };
}

void TCountDlg::Apply(std::int64_t done, std::int64_t total, const std::string& name)
{
    if (!Dialog)
    {
        Dialog = std::make_unique<QProgressDialog>(Parent);
        Dialog->setWindowTitle(QStringLiteral("Loading"));
        Dialog->setCancelButtonText(QStringLiteral("Cancel"));
        Dialog->setWindowModality(Qt::WindowModal);
        Dialog->setMinimumDuration(SHOW_AFTER_MS);
        Dialog->setAutoClose(false);
        Dialog->setAutoReset(false);
        Dialog->setRange(0, STEPS);
        Dialog->installEventFilter(this);
        connect(Dialog.get(), &QProgressDialog::canceled, this, [this] { Canceled.store(true); });
    }
    QProgressDialog& dialog = *Dialog;
    if (name != Name)
    {
        // Each file counts from its start: the wait before showing starts again too.
        Name = name;
        dialog.setLabelText(QStringLiteral("Counting samples of %1...").arg(QString::fromStdString(name)));
        dialog.reset();
        dialog.setValue(0);
    }
    const auto step = static_cast<int>(total > 0 ? std::clamp<std::int64_t>(done * STEPS / total, 0, STEPS) : 0);
    if (step > 0 && step < STEPS)
        dialog.setValue(step);
    else if (step == STEPS)
        dialog.hide();
    if (dialog.wasCanceled())
        Canceled.store(true);
}

bool TCountDlg::eventFilter(QObject* watched, QEvent* event)
{
    if ((event->type() == QEvent::Show || event->type() == QEvent::Hide) && OnShownOrHidden)
        OnShownOrHidden();
    return QObject::eventFilter(watched, event);
}

bool LoadOffGuiThread(QWidget* parent, TLuCueSheet& sheet, const std::string& cuePath)
{
    QEventLoop wait;
    TCountDlg countDlg(parent);
    bool loaded = false;
    bool finished = false;
    QThread* worker = QThread::create([&sheet, &cuePath, &loaded] { loaded = sheet.Load(cuePath); });
    worker->setObjectName(QStringLiteral("LoadWorker"));
    QObject::connect(worker, &QThread::finished, &wait, [&] {
        finished = true;
        wait.quit();
    });
    countDlg.OnShownOrHidden = [&wait] { wait.quit(); };
    sheet.CountProgress = countDlg.Handler();
    worker->start();
    // The window keeps painting. Input waits for the end of the load, as it did when the load ran on
    // this thread, except while the count window is up: that is modal and takes it, for its Cancel.
    while (!finished)
        wait.exec(countDlg.Bar() && countDlg.Bar()->isVisible() ? QEventLoop::AllEvents
                                                                : QEventLoop::ExcludeUserInputEvents);
    worker->wait();
    delete worker;
    sheet.CountProgress = {};
    return loaded;
}
