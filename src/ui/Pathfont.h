// SPDX-License-Identifier: GPL-3.0-or-later
// The path boxes' font: what the settings file keeps of it, and Qt's font dialog with a colour
// choice added to its effects and its sizes limited to what the boxes take.
#pragma once

#include <QColor>
#include <QFont>

#include <cstdint>
#include <optional>

class QComboBox;
class QFontDialog;
class QWidget;

// The path boxes' font with the parts a QFont does not carry.
struct TPathFont
{
    QFont Font;
    std::int32_t Color = SYSTEM_WINDOW_TEXT;
    std::int32_t Pitch = 0;   // 0 default, 1 variable, 2 fixed
    std::int32_t Charset = 0; // kept for the settings file only

    // 0x80000008: the system's window text colour rather than a fixed one.
    static constexpr std::int32_t SYSTEM_WINDOW_TEXT = static_cast<std::int32_t>(0x80000008u);
};

// A stored colour (0x00BBGGRR, or the system's window text colour) as Qt draws it.
QColor ColorFromValue(std::int32_t value);

class TPathFontChooser
{
public:
    // The dialog ("FontDlg") and its colour box ("FontColorBox") are children of parent.
    explicit TPathFontChooser(QWidget* parent);

    // Offers current, as the boxes show it in shown; the choice, or nothing when the user cancelled.
    std::optional<TPathFont> Choose(const TPathFont& current, const QFont& shown);

private:
    // The sample in the colour chosen.
    void ShowColor();

    QFontDialog* Dialog = nullptr;
    QComboBox* ColorBox = nullptr; // null when the dialog has no effects group
};
