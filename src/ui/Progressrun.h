// SPDX-License-Identifier: GPL-3.0-or-later
// A worker thread run under the main window's progress dialog, and the way back to the GUI thread.
#pragma once

#include "image/Job.h"

#include <QString>

#include <functional>
#include <optional>

class QObject;
class QWidget;

// Runs body in a worker thread while window's progress dialog, titled caption, is up; returns once
// the dialog has closed, or false when no thread could be started.
bool RunWithProgress(QWidget* window, std::function<void()> body, const QString& caption);

// RunWithProgress for a job's body, with active set while it runs: the job's result, read and reset
// afterwards, or nothing when no thread could be started.
std::optional<TConvertStatus> RunJobWithProgress(QWidget* window, TJob& job, bool& active, std::function<void()> body,
                                                 const QString& caption);

// Runs work on context's thread: at once when called there, else posted without waiting.
void RunOnGuiThread(QObject* context, std::function<void()> work);
