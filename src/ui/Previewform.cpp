// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Previewform.h"

#include "image/Layoutreport.h"
#include "ui/Dialogowner.h"
#include "ui/Windowstyle.h"

#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include <algorithm>
#include <vector>

namespace {
constexpr int LIST_ITEM_HEIGHT = 15;
// The side-car's line gets a band of its own between the groups; all below it moves down.
constexpr int SUBQ_BAND = 18;

QLabel* FixedLabel(const QString& text, QWidget* parent, const char* name, int left, int top, const QFont& font)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setFont(font);
    label->adjustSize();
    label->move(left, top);
    return label;
}
} // namespace

TPreviewFrm::TPreviewFrm(TDialogOwner* mainFrm)
    : TReportFrm(mainFrm, "PreviewFrm", QStringLiteral("Disc Layout")), MainFrm(mainFrm)
{
    setFixedSize(632, 456);
    const QFont fixed = FixedFont();

    DiscInfoGroup = new QGroupBox(QStringLiteral(" Disc Information "), this);
    DiscInfoGroup->setObjectName(QStringLiteral("DiscInfoGroup"));
    DiscInfoGroup->setGeometry(16, 16, 600, 114);
    Label1 = FixedLabel(QStringLiteral("Number of Tracks     :"), DiscInfoGroup, "Label1", 18, 24, fixed);
    Label2 = FixedLabel(QStringLiteral("Total Disc Time      :"), DiscInfoGroup, "Label2", 18, 44, fixed);
    Label4 = FixedLabel(QStringLiteral("Media Catalog Number :"), DiscInfoGroup, "Label4", 18, 64, fixed);
    Label3 = FixedLabel(QStringLiteral("CD-TEXT File         :"), DiscInfoGroup, "Label3", 18, 84, fixed);
    NumTrkLbl = FixedLabel(QStringLiteral("0"), DiscInfoGroup, "NumTrkLbl", 179, 24, fixed);
    LengthLbl = FixedLabel(QStringLiteral("00:00:00"), DiscInfoGroup, "LengthLbl", 179, 44, fixed);
    McnLbl = FixedLabel(QString::fromLatin1(NOT_SPECIFIED), DiscInfoGroup, "McnLbl", 179, 64, fixed);
    CdtextLbl = FixedLabel(QString::fromLatin1(NOT_SPECIFIED), DiscInfoGroup, "CdtextLbl", 179, 84, fixed);
    // Values and paths may be long: they run to the group's right edge, never past it.
    for (QLabel* value : {NumTrkLbl, LengthLbl, McnLbl, CdtextLbl})
        value->setFixedWidth(600 - 179 - 12);

    // Between the two groups, where it moves nothing when a sheet has no side-car.
    SubQLbl = FixedLabel(QString(), this, "SubQLbl", 34, 132, fixed);
    SubQLbl->setFixedWidth(600 - 18);
    SubQLbl->hide();

    TrackInfoGroup = new QGroupBox(QStringLiteral(" Track/Index Information "), this);
    TrackInfoGroup->setObjectName(QStringLiteral("TrackInfoGroup"));
    TrackInfoGroup->setGeometry(16, 148, 600, 251);
    HdrLbl = FixedLabel(QString::fromStdString(LayoutHeader()), TrackInfoGroup, "HdrLbl", 18, 24, fixed);

    Panel1 = new QFrame(TrackInfoGroup);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setLineWidth(2);
    Panel1->setGeometry(16, 41, 569, 196);

    TrackList = new QListWidget(Panel1);
    TrackList->setObjectName(QStringLiteral("TrackList"));
    TrackList->setGeometry(2, 2, 564, 191);
    TrackList->setFont(fixed);
    TrackList->setFrameShape(QFrame::NoFrame);
    TrackList->setFocusPolicy(Qt::ClickFocus);
    TrackList->setUniformItemSizes(true);
    TrackList->setTextElideMode(Qt::ElideNone); // the separator runs past the edge, as drawn
    TrackList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    TrackList->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    ClipBtn->setGeometry(148, 416, 160, 23);
    CloseBtn->setGeometry(326, 416, 160, 23);
}

void TPreviewFrm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    FormShow();
}

void TPreviewFrm::FormShow()
{
    const TDiscLayout layout = BuildDiscLayout(MainFrm->Sheet());
    TrackList->clear();
    LayoutRows = static_cast<int>(layout.Lines.size());
    std::vector<std::string> rows = layout.Lines;
    // Under the list, after a blank row, as the report has them under the disc information.
    std::string label = IGNORED_LINES_LABEL;
    for (std::size_t i = 0; i < layout.IgnoredLines.size(); ++i)
    {
        if (i == 0)
            rows.emplace_back();
        rows.push_back(label + layout.IgnoredLines[i]);
        label.assign(label.size(), ' ');
    }
    for (const std::string& line : rows)
    {
        auto* item = new QListWidgetItem(QString::fromStdString(line), TrackList);
        item->setSizeHint(QSize(0, LIST_ITEM_HEIGHT));
    }
    // The remarks (a lossy source...) follow an empty row, as in the report, which takes them from the layout.
    for (std::size_t row = 0; !layout.Notes.empty() && row <= layout.Notes.size(); ++row)
    {
        const QString text = row == 0 ? QString() : QString::fromStdString("  " + layout.Notes[row - 1]);
        auto* item = new QListWidgetItem(text, TrackList);
        item->setSizeHint(QSize(0, LIST_ITEM_HEIGHT));
        item->setData(Qt::UserRole, true);
    }
    if (TrackList->count() > 0)
        TrackList->setCurrentRow(0);

    NumTrkLbl->setText(QString::fromStdString(layout.NumTracks));
    LengthLbl->setText(QString::fromStdString(layout.TotalTime));
    McnLbl->setText(QString::fromStdString(layout.Catalog));
    // A path is shown in the path boxes' font, shortened in the middle to fit; "Not Specified" in the
    // labels' own.
    CdTextPath = QString::fromStdString(layout.CdTextFile);
    const QFont font = layout.HasCdTextFile ? MainFrm->PathFont().Font : McnLbl->font();
    CdtextLbl->setFont(font);
    const QFontMetrics metrics(font);
    CdtextLbl->setFixedHeight(std::max(McnLbl->height(), metrics.height()));
    CdtextLbl->setText(metrics.elidedText(CdTextPath, Qt::ElideMiddle, CdtextLbl->width()));
    CdtextLbl->setToolTip(layout.HasCdTextFile ? CdTextPath : QString());
    SubQLbl->setText(QString::fromLatin1(SUBQ_PATCH_LABEL) + QString::fromStdString(layout.SubQPatches));
    SubQLbl->setHidden(layout.SubQPatches.empty());
    const int band = SubQLbl->isHidden() ? 0 : SUBQ_BAND;
    SubQLbl->move(SubQLbl->x(), 132 + band / 2);
    TrackInfoGroup->move(16, 148 + band);
    for (QPushButton* button : {ClipBtn, CloseBtn})
        button->move(button->x(), 416 + band);
    setFixedSize(632, 456 + band);
}

QString TPreviewFrm::ReportText() const
{
    TDiscLayout shown;
    shown.NumTracks = NumTrkLbl->text().toStdString();
    shown.TotalTime = LengthLbl->text().toStdString();
    shown.Catalog = McnLbl->text().toStdString();
    shown.CdTextFile = CdTextPath.toStdString();
    if (!SubQLbl->isHidden())
        shown.SubQPatches = SubQLbl->text().mid(QString::fromLatin1(SUBQ_PATCH_LABEL).size()).toStdString();
    for (int row = 0; row < std::min(LayoutRows, TrackList->count()); ++row)
        shown.Lines.push_back(TrackList->item(row)->text().toStdString());
    const TDiscLayout layout = BuildDiscLayout(MainFrm->Sheet());
    shown.Notes = layout.Notes;
    shown.IgnoredLines = layout.IgnoredLines;
    return QString::fromStdString(BuildLayoutReport(shown));
}
