// SPDX-License-Identifier: GPL-3.0-or-later
// What the program's windows share: fonts that exist on this system, title-bar hints for dialogs,
// and a guard that keeps a modal dialog (and the window under it) from staying minimized.
#pragma once

#include <QFont>
#include <QString>
#include <Qt>

class QWidget;

// A face the program asks for when it is installed, else its installed metric-compatible twin
// (Arial: Liberation Sans, Courier New: Liberation Mono, Times New Roman: Liberation Serif).
QString InstalledFamily(const QString& family);

// Arial, or its twin, at a character height in pixels.
QFont FormFont(int pixels);

// A title and a close box, no minimize, maximize or system menu.
inline constexpr Qt::WindowFlags DIALOG_FLAGS =
    Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;

// Some window managers keep a minimize button whatever the hints say and iconify the parent with
// a modal child, which leaves nothing on screen to restore. The guard undoes such a minimize.
void KeepRestored(QWidget* dialog);

// Shows a window in its normal state, whatever the window manager did to it before.
void ShowNormal(QWidget* window);

// Moves a window saved on a screen that is gone onto the nearest one.
void KeepOnScreen(QWidget* window);
