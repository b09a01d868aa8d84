// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Application.h"

#include "ui/Messagebox.h"

#include <exception>

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Sarvex"));
}

bool TApplication::notify(QObject* receiver, QEvent* event)
{
    // Qt cannot carry an exception through its event loop: report it here and carry on.
    QString text;
    try
    {
        return QApplication::notify(receiver, event);
    }
    catch (const std::exception& error)
    {
        text = QString::fromLocal8Bit(error.what());
    }
    catch (...)
    {
        text = QStringLiteral("Unknown error.");
    }
    BeepAndShow(activeWindow(), {text, applicationName(), QMessageBox::Critical, QMessageBox::Ok, QString()});
    return false;
}
