// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Pathfont.h"

#include "ui/Windowstyle.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListView>
#include <QStringListModel>
#include <QValidator>

namespace {
// The font dialog offers sizes up to this many points.
constexpr int MAX_FONT_POINTS = 12;

struct TNamedColor
{
    const char* Name;
    std::int32_t Value; // 0x00BBGGRR, or the system colour
};

// The colours a font dialog traditionally offers, after the system's window text colour.
constexpr TNamedColor FONT_COLORS[] = {
    {"Automatic", TPathFont::SYSTEM_WINDOW_TEXT},
    {"Black", 0x000000},
    {"Maroon", 0x000080},
    {"Green", 0x008000},
    {"Olive", 0x008080},
    {"Navy", 0x800000},
    {"Purple", 0x800080},
    {"Teal", 0x808000},
    {"Gray", 0x808080},
    {"Silver", 0xC0C0C0},
    {"Red", 0x0000FF},
    {"Lime", 0x00FF00},
    {"Yellow", 0x00FFFF},
    {"Blue", 0xFF0000},
    {"Fuchsia", 0xFF00FF},
    {"Aqua", 0xFFFF00},
    {"White", 0xFFFFFF},
};

// Whole points up to the largest size the boxes take; a larger number cannot even be typed.
class TSizeValidator : public QIntValidator
{
public:
    using QIntValidator::QIntValidator;

    State validate(QString& input, int& pos) const override
    {
        const State state = QIntValidator::validate(input, pos);
        bool number = false;
        const int points = input.toInt(&number);
        return state == Intermediate && number && points > top() ? Invalid : state;
    }
};

// Qt's font dialog, found by its structure rather than by its (translatable) texts.
QGroupBox* EffectsGroup(QFontDialog* dialog)
{
    for (QGroupBox* group : dialog->findChildren<QGroupBox*>())
        if (group->layout() != nullptr && !group->findChildren<QCheckBox*>().isEmpty())
            return group;
    return nullptr;
}

// The size list is the one whose rows are all whole numbers; the size box is the one that takes only them.
void LimitFontSizes(QFontDialog* dialog)
{
    for (QLineEdit* edit : dialog->findChildren<QLineEdit*>())
        if (qobject_cast<const QIntValidator*>(edit->validator()) != nullptr)
            edit->setValidator(new TSizeValidator(1, MAX_FONT_POINTS, edit));
    for (QListView* list : dialog->findChildren<QListView*>())
    {
        auto* model = qobject_cast<QStringListModel*>(list->model());
        if (model == nullptr)
            continue;
        const auto trim = [model] {
            const QStringList rows = model->stringList();
            QStringList kept;
            for (const QString& row : rows)
            {
                bool number = false;
                const int points = row.toInt(&number);
                if (!number)
                    return; // not the size list
                if (points <= MAX_FONT_POINTS)
                    kept.push_back(row);
            }
            if (kept.size() != rows.size())
                model->setStringList(kept);
        };
        // The dialog refills the list for every family and style.
        QObject::connect(model, &QAbstractItemModel::modelReset, dialog, trim);
        trim();
    }
}
} // namespace

QColor ColorFromValue(std::int32_t value)
{
    if (value < 0) // a system colour: only the window text colour is used for text
        return QApplication::palette().color(QPalette::Active, QPalette::Text);
    const auto bgr = static_cast<std::uint32_t>(value);
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

TPathFontChooser::TPathFontChooser(QWidget* parent)
{
    // Qt's own font dialog, so that a colour choice can join its effects.
    Dialog = new QFontDialog(parent);
    Dialog->setObjectName(QStringLiteral("FontDlg"));
    Dialog->setOption(QFontDialog::DontUseNativeDialog);
    LimitFontSizes(Dialog);
    if (QGroupBox* group = EffectsGroup(Dialog))
    {
        ColorBox = new QComboBox(group);
        ColorBox->setObjectName(QStringLiteral("FontColorBox"));
        for (const TNamedColor& color : FONT_COLORS)
        {
            QPixmap swatch(12, 12);
            swatch.fill(ColorFromValue(color.Value));
            ColorBox->addItem(QIcon(swatch), QString::fromLatin1(color.Name), color.Value);
        }
        group->layout()->addWidget(new QLabel(QStringLiteral("Color:"), group));
        group->layout()->addWidget(ColorBox);
        QObject::connect(ColorBox, &QComboBox::currentIndexChanged, Dialog, [this] { ShowColor(); });
    }
}

void TPathFontChooser::ShowColor()
{
    // The sample is the one line edit inside a group box.
    for (QLineEdit* edit : Dialog->findChildren<QLineEdit*>())
        if (qobject_cast<QGroupBox*>(edit->parentWidget()) != nullptr)
        {
            QPalette palette = edit->palette();
            palette.setColor(QPalette::Text, ColorFromValue(ColorBox->currentData().toInt()));
            edit->setPalette(palette);
        }
}

std::optional<TPathFont> TPathFontChooser::Choose(const TPathFont& current, const QFont& shown)
{
    // The dialog lists installed families only: a font asked for by another name shows as its twin.
    QFont offered = shown;
    offered.setFamily(InstalledFamily(offered.family()));
    Dialog->setCurrentFont(offered);
    offered = Dialog->currentFont();
    if (ColorBox != nullptr)
    {
        const int row = ColorBox->findData(current.Color);
        ColorBox->setCurrentIndex(row >= 0 ? row : 0);
    }
    if (Dialog->exec() != QDialog::Accepted)
        return std::nullopt;

    TPathFont chosen = current;
    // Unchanged, the font keeps its own name and size rather than the dialog's reading of them.
    if (Dialog->selectedFont() != offered)
    {
        chosen.Font = Dialog->selectedFont();
        if (chosen.Font.pointSize() > MAX_FONT_POINTS)
            chosen.Font.setPointSize(MAX_FONT_POINTS);
        chosen.Pitch = QFontInfo(chosen.Font).fixedPitch() ? 2 : 1;
    }
    if (ColorBox != nullptr)
        chosen.Color = ColorBox->currentData().toInt();
    return chosen;
}
