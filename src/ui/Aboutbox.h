// The version box: product, version, a short notice and a button that opens the program's page.
#pragma once

#include <QDialog>
#include <QLocale>
#include <QUrl>

#include <functional>

class QFrame;
class QLabel;
class QPushButton;
class TMainFrm;

class TAboutBox : public QDialog
{
    Q_OBJECT

public:
    explicit TAboutBox(TMainFrm* mainFrm, const QLocale& locale = QLocale::system());

    QFrame* Panel1 = nullptr;
    QLabel* ProductName = nullptr;
    QLabel* Version = nullptr;
    QLabel* MessageLbl = nullptr;
    QPushButton* OKButton = nullptr;
    QPushButton* WebSiteBtn = nullptr;

    // Chosen from the user's locale when the box is made.
    bool IsJapanese = false;
    // Opens a page in the user's browser; its answer is not examined.
    std::function<bool(const QUrl&)> OpenUrl;

    void WebSiteBtnClick();
};
