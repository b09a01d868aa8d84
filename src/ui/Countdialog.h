// SPDX-License-Identifier: GPL-3.0-or-later
// The window shown while loading a sheet counts an audio file by decoding it whole: a bar and Cancel,
// shown only once the count takes more than a moment. The load runs on a worker thread; the window
// lives on the GUI thread and hears of the count through posted reports.
#pragma once

#include "sources/Audiosource.h"

#include <QObject>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QProgressDialog;
class QWidget;
class TLuCueSheet;

class TCountDlg : public QObject
{
public:
    explicit TCountDlg(QWidget* parent);
    ~TCountDlg() override;
    TCountDlg(const TCountDlg&) = delete;
    TCountDlg& operator=(const TCountDlg&) = delete;

    // The load's count handler, for the worker thread: posts the reports (each file's first and last,
    // else 30 a second at most) and never waits for them; false once the user pressed Cancel. Called on
    // the GUI thread, it applies them at once.
    TCountProgress Handler();
    // A report, on the GUI thread.
    void Apply(std::int64_t done, std::int64_t total, const std::string& name);

    // Runs on the GUI thread whenever the window comes up or goes away.
    std::function<void()> OnShownOrHidden;

    // Null until the first report.
    QProgressDialog* Bar() const { return Dialog.get(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* Parent;
    std::unique_ptr<QProgressDialog> Dialog;
    std::string Name;
    std::atomic<bool> Canceled{false};
};

// Loads sheet on a worker thread under a count window of parent; returns what Load answered once the
// load has ended.
bool LoadOffGuiThread(QWidget* parent, TLuCueSheet& sheet, const std::string& cuePath);
