// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Aboutbox.h"

#include "ui/Messagebox.h"
#include "ui/Platform.h"
#include "ui/Windowstyle.h"

#include <QDesktopServices>
#include <QFontDatabase>
#include <QFrame>
#include <QLabel>
#include <QPushButton>

namespace {
// A Japanese Gothic face for the product name, where one is installed.
QString GothicFamily()
{
    const QStringList installed = QFontDatabase::families();
    for (const char* family :
         {"MS PGothic", "IPAPGothic", "IPAexGothic", "VL PGothic", "Noto Sans CJK JP", "IPAGothic", "TakaoPGothic"})
        if (installed.contains(QString::fromLatin1(family), Qt::CaseInsensitive))
            return QString::fromLatin1(family);
    return QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
}
} // namespace

TAboutBox::TAboutBox(QWidget* parent, const QLocale& locale)
    : QDialog(parent, DIALOG_FLAGS), OpenUrl([](const QUrl& url) { return QDesktopServices::openUrl(url); })
{
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("About"));
    setModal(true);
    setFont(FormFont(12));
    setFixedSize(357, 122);
    KeepRestored(this);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Box | QFrame::Sunken); // lowered outside, raised inside
    Panel1->setGeometry(8, 8, 255, 101);

    ProductName = new QLabel(QStringLiteral("Sarvex"), Panel1);
    ProductName->setObjectName(QStringLiteral("ProductName"));
    QFont productFont(GothicFamily());
    productFont.setPixelSize(15);
    productFont.setBold(true);
    ProductName->setFont(productFont);
    ProductName->adjustSize();
    ProductName->move(38, 8);

    Version = new QLabel(QStringLiteral("Version 1.00"), Panel1);
    Version->setObjectName(QStringLiteral("Version"));
    Version->adjustSize();
    Version->move(90, 29);

    MessageLbl = new QLabel(Panel1);
    MessageLbl->setObjectName(QStringLiteral("MessageLbl"));
    MessageLbl->move(16, 66);

    OKButton = new QPushButton(QStringLiteral("&OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setGeometry(273, 77, 75, 25);
    OKButton->setDefault(true);
    WebSiteBtn = new QPushButton(QStringLiteral("&WebSite"), this);
    WebSiteBtn->setObjectName(QStringLiteral("WebSiteBtn"));
    WebSiteBtn->setGeometry(273, 49, 75, 25);
    WebSiteBtn->setAutoDefault(false);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(WebSiteBtn, &QPushButton::clicked, this, &TAboutBox::ShowGuide);
    setTabOrder(OKButton, WebSiteBtn);

    FIsJapanese = locale.language() == QLocale::Japanese;
    MessageLbl->setText(QStringLiteral("This program is Free software.\nUse it at your own risk."));
    MessageLbl->adjustSize();
}

void TAboutBox::ShowGuide()
{
    const QUrl page = GuidePageUrl(FIsJapanese);
    if (!OpenUrl(page))
        ShowError(this, QStringLiteral("No web browser could be started to show the guide."),
                  QStringLiteral("The guide is at \"%1\".").arg(page.toLocalFile()));
}
