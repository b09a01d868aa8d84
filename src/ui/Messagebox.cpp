// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Messagebox.h"

#include "ui/Windowstyle.h"

#include <QApplication>

namespace {
TMessageBoxAnswerer& Answerer()
{
    static TMessageBoxAnswerer answerer;
    return answerer;
}
} // namespace

void SetMessageBoxAnswerer(TMessageBoxAnswerer answerer)
{
    Answerer() = std::move(answerer);
}

std::unique_ptr<QMessageBox> MakeMessageBox(QWidget* parent, const TMessageBoxCall& call)
{
    auto box = std::make_unique<QMessageBox>(call.Icon, call.Caption, call.Text, call.Buttons, parent, DIALOG_FLAGS);
    box->setInformativeText(call.Detail);
    if (call.Buttons.testFlag(QMessageBox::Ok))
        box->setDefaultButton(QMessageBox::Ok);
    if (call.Buttons.testFlag(QMessageBox::Cancel))
        box->setEscapeButton(QMessageBox::Cancel);
    if (call.Buttons.testFlag(QMessageBox::No))
    {
        box->setDefaultButton(QMessageBox::No);
        box->setEscapeButton(QMessageBox::No);
    }
    KeepRestored(box.get());
    return box;
}

QMessageBox::StandardButton BeepAndShow(QWidget* parent, const TMessageBoxCall& call)
{
    QApplication::beep();
    if (Answerer())
        return Answerer()(call);
    return static_cast<QMessageBox::StandardButton>(MakeMessageBox(parent, call)->exec());
}

void ShowError(QWidget* parent, const QString& text, const QString& detail)
{
    BeepAndShow(parent, {text, QStringLiteral("Error"), QMessageBox::Critical, QMessageBox::Ok, detail});
}

bool AskConfirm(QWidget* parent, const QString& text)
{
    return BeepAndShow(parent, {text, QStringLiteral("Confirm"), QMessageBox::Question,
                                QMessageBox::Ok | QMessageBox::Cancel, QString()}) == QMessageBox::Ok;
}

void ShowResult(QWidget* parent, const QString& text, const QString& detail)
{
    BeepAndShow(parent, {text, QApplication::applicationName(), QMessageBox::NoIcon, QMessageBox::Ok, detail});
}

bool AskYesNo(QWidget* parent, const QString& text)
{
    return BeepAndShow(parent, {text, QStringLiteral("Confirm"), QMessageBox::Question,
                                QMessageBox::Yes | QMessageBox::No, QString()}) == QMessageBox::Yes;
}
