// SPDX-License-Identifier: GPL-3.0-or-later
// The application object: shows an exception that escapes an event handler instead of ending.
#pragma once

#include <QApplication>

class TApplication : public QApplication
{
public:
    TApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
};
