// SPDX-License-Identifier: GPL-3.0-or-later
// The version box: product, version, a short notice and a button that opens the program's page.
#pragma once

#include <QDialog>
#include <QLocale>
#include <QUrl>

#include <functional>

class QFrame;
class QLabel;
class QPushButton;
class QWidget;

class TAboutBox : public QDialog
{
    Q_OBJECT

public:
    explicit TAboutBox(QWidget* parent, const QLocale& locale = QLocale::system());

    // Chosen from the user's locale when the box is made.
    bool IsJapanese() const { return FIsJapanese; }
    // Opens a page in the user's browser and answers whether one could be started.
    void SetUrlOpener(std::function<bool(const QUrl&)> opener) { OpenUrl = std::move(opener); }
    // The user guide in the browser, or a box that says where it is; for WebSite and Help > User Guide.
    void ShowGuide();

private:
    QFrame* Panel1 = nullptr;
    QLabel* ProductName = nullptr;
    QLabel* Version = nullptr;
    QLabel* MessageLbl = nullptr;
    QPushButton* OKButton = nullptr;
    QPushButton* WebSiteBtn = nullptr;

    bool FIsJapanese = false;
    std::function<bool(const QUrl&)> OpenUrl;
};
