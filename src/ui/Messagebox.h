// Every message of the program: the system beep, then a modal box.
#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>

struct TMessageBoxCall
{
    QString Text;
    QString Caption;
    QMessageBox::Icon Icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons Buttons = QMessageBox::Ok;
};

// Answers a box instead of the user; tests install one so that no box waits for a person.
using TMessageBoxAnswerer = std::function<QMessageBox::StandardButton(const TMessageBoxCall&)>;
void SetMessageBoxAnswerer(TMessageBoxAnswerer answerer);

// Beeps and shows the box modally. With OK and Cancel, OK is the default and Esc answers Cancel.
QMessageBox::StandardButton BeepAndShow(QWidget* parent, const QString& text, const QString& caption,
                                        QMessageBox::Icon icon, QMessageBox::StandardButtons buttons = QMessageBox::Ok);

// The three kinds of box the program shows.
void ShowError(QWidget* parent, const QString& text);
bool AskConfirm(QWidget* parent, const QString& text);
void ShowResult(QWidget* parent, const QString& text);
