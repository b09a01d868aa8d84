// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Verifyform.h"

#include "image/Verifyreport.h"

#include <QBoxLayout>
#include <QFontMetrics>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {
// The table of the report is 94 columns wide; a few more leave room for the scroll bar.
constexpr int SHOWN_COLUMNS = 100;
} // namespace

TVerifyFrm::TVerifyFrm(QWidget* parent) : TReportFrm(parent, "VerifyFrm", QStringLiteral("Verify Report"))
{
    const QFont fixed = FixedFont();
    ReportView = new QPlainTextEdit(this);
    ReportView->setObjectName(QStringLiteral("ReportView"));
    ReportView->setFont(fixed);
    ReportView->setReadOnly(true);
    ReportView->setLineWrapMode(QPlainTextEdit::NoWrap);

    ClipBtn->setFixedSize(160, 23);
    CloseBtn->setFixedSize(160, 23);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ClipBtn);
    buttons->addSpacing(18);
    buttons->addWidget(CloseBtn);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(16);
    layout->addWidget(ReportView);
    layout->addLayout(buttons);

    // Keys scroll the report first; Tab reaches the buttons.
    setTabOrder(ReportView, ClipBtn);
    setTabOrder(ClipBtn, CloseBtn);
    ReportView->setFocus();

    // As tall as the layout preview, and wide enough for the table of a report.
    const int textWidth = QFontMetrics(fixed).horizontalAdvance(QString(SHOWN_COLUMNS, u'0'));
    setMinimumSize(632, 456);
    resize(std::max(632, textWidth + 2 * 16), 456);
}

void TVerifyFrm::SetReport(const TVerifyReport& report)
{
    Text = QString::fromStdString(BuildVerifyText(report));
    ReportView->setPlainText(Text);
}

QString TVerifyFrm::ReportText() const
{
    return Text;
}
