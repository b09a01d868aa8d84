// SPDX-License-Identifier: GPL-3.0-or-later
// Every message of the program: the system beep, then a modal box.
#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>
#include <memory>

struct TMessageBoxCall
{
    QString Text;
    QString Caption;
    QMessageBox::Icon Icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons Buttons = QMessageBox::Ok;
    // Why, under the main text; empty for none.
    QString Detail;
};

// Answers a box instead of the user; tests install one so that no box waits for a person.
using TMessageBoxAnswerer = std::function<QMessageBox::StandardButton(const TMessageBoxCall&)>;
void SetMessageBoxAnswerer(TMessageBoxAnswerer answerer);

// The box as it is shown: with OK and Cancel, OK is the default and Esc answers Cancel; with Yes and
// No, No is both.
std::unique_ptr<QMessageBox> MakeMessageBox(QWidget* parent, const TMessageBoxCall& call);

// Beeps and shows the box modally.
QMessageBox::StandardButton BeepAndShow(QWidget* parent, const TMessageBoxCall& call);

// The three kinds of box the program shows.
void ShowError(QWidget* parent, const QString& text, const QString& detail = QString());
bool AskConfirm(QWidget* parent, const QString& text);
void ShowResult(QWidget* parent, const QString& text, const QString& detail = QString());
// A question whose careless answer loses data: Yes and No, No the default.
bool AskYesNo(QWidget* parent, const QString& text);
