#include "ui/Messagebox.h"

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

QMessageBox::StandardButton BeepAndShow(QWidget* parent, const QString& text, const QString& caption,
                                        QMessageBox::Icon icon, QMessageBox::StandardButtons buttons)
{
    QApplication::beep();
    if (Answerer())
        return Answerer()(TMessageBoxCall{text, caption, icon, buttons});

    QMessageBox box(icon, caption, text, buttons, parent);
    if (buttons.testFlag(QMessageBox::Ok))
        box.setDefaultButton(QMessageBox::Ok);
    if (buttons.testFlag(QMessageBox::Cancel))
        box.setEscapeButton(QMessageBox::Cancel);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void ShowError(QWidget* parent, const QString& text)
{
    BeepAndShow(parent, text, QStringLiteral("Error"), QMessageBox::Critical);
}

bool AskConfirm(QWidget* parent, const QString& text)
{
    return BeepAndShow(parent, text, QStringLiteral("Confirm"), QMessageBox::Question,
                       QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
}

void ShowResult(QWidget* parent, const QString& text)
{
    BeepAndShow(parent, text, QApplication::applicationName(), QMessageBox::NoIcon);
}
