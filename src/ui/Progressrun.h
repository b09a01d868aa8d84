// SPDX-License-Identifier: GPL-3.0-or-later
// A worker thread run under the main window's progress dialog, and the way back to the GUI thread.
#pragma once

#include <QString>

#include <functional>

class QObject;
class QWidget;

// Runs body in a worker thread while window's progress dialog, titled caption, is up; returns once
// the dialog has closed, or false when no thread could be started.
bool RunWithProgress(QWidget* window, std::function<void()> body, const QString& caption);

// Runs work on context's thread: at once when called there, else posted without waiting.
void RunOnGuiThread(QObject* context, std::function<void()> work);
