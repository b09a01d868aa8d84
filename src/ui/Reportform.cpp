// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Reportform.h"

#include "ui/Windowstyle.h"

#include <QClipboard>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>
#include <QPushButton>

namespace {
constexpr int FIXED_FONT_PIXELS = 12;
} // namespace

QFont TReportFrm::FixedFont()
{
    QFont font(InstalledFamily(QStringLiteral("Courier New")));
    font.setStyleHint(QFont::TypeWriter);
    font.setPixelSize(FIXED_FONT_PIXELS);
    if (!QFontInfo(font).fixedPitch())
    {
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        font.setPixelSize(FIXED_FONT_PIXELS);
    }
    return font;
}

TReportFrm::TReportFrm(QWidget* parent, const char* name, const QString& title) : QDialog(parent, DIALOG_FLAGS)
{
    setObjectName(QString::fromLatin1(name));
    setWindowTitle(title);
    setModal(true);
    setFont(FormFont(13));
    KeepRestored(this);

    ClipBtn = new QPushButton(QStringLiteral("&Copy to Clipboard"), this);
    ClipBtn->setObjectName(QStringLiteral("ClipBtn"));
    CloseBtn = new QPushButton(QStringLiteral("C&lose"), this);
    CloseBtn->setObjectName(QStringLiteral("CloseBtn"));
    connect(ClipBtn, &QPushButton::clicked, this, &TReportFrm::ClipBtnClick);
    connect(CloseBtn, &QPushButton::clicked, this, &TReportFrm::CloseBtnClick);
}

void TReportFrm::ClipBtnClick()
{
    QGuiApplication::clipboard()->setText(ReportText());
}

void TReportFrm::CloseBtnClick()
{
    accept();
}
