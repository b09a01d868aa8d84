// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Mainsettings.h"

#include "image/Inifile.h"
#include "ui/Platform.h"

#include <QDir>

#include <cmath>
#include <cstdlib>

namespace {
constexpr const char* FORM = "Form";
constexpr const char* FONT = "Font";
constexpr const char* FONT_STYLE = "Font\\Style";
constexpr const char* DIR = "Dir";
constexpr const char* OPTIONS = "Options";
// Misspelled since the first release; kept because stored settings files and users' scripts use it.
constexpr const char* CHARSET_KEY = "Charaset";

// The font sizes are points of the screen's logical resolution; the height is its pixel size,
// negative because it counts the character without its internal leading.
std::int32_t FontHeightPixels(const QFont& font, int dpi)
{
    if (font.pixelSize() > 0)
        return -font.pixelSize();
    return -static_cast<std::int32_t>(std::lround(font.pointSizeF() * dpi / 72.0));
}

// The window's height is fixed; the file keeps the designed outer height so that it reads the same
// whatever the window manager's frame.
constexpr std::int32_t DESIGN_HEIGHT = 158;

std::int32_t FontSizePoints(const QFont& font, int dpi)
{
    if (font.pointSize() > 0)
        return font.pointSize();
    return static_cast<std::int32_t>(std::lround(font.pixelSize() * 72.0 / dpi));
}
} // namespace

TMainSettings LoadMainSettings(const QString& path)
{
    TIniFile ini(ToNativePath(path));
    ini.Load();

    TMainSettings settings;
    settings.Top = ini.ReadInteger(FORM, "Top", 100);
    settings.Left = ini.ReadInteger(FORM, "Left", 100);
    settings.Width = ini.ReadInteger(FORM, "Width", 470);

    TPathFont& font = settings.PathFont;
    font.Charset = ini.ReadInteger(FONT, CHARSET_KEY, 0);
    font.Color = ini.ReadInteger(FONT, "Color", TPathFont::SYSTEM_WINDOW_TEXT);
    const std::int32_t pixelHeight = ini.ReadInteger(FONT, "Height", -13);
    if (pixelHeight != 0)
        font.Font.setPixelSize(std::abs(pixelHeight));
    font.Font.setFamily(QString::fromStdString(ini.ReadString(FONT, "Name", "Arial")));
    // The size comes after the height, so a file where the two disagree gets the stored size.
    const std::int32_t points = ini.ReadInteger(FONT, "Size", 9);
    if (points > 0)
        font.Font.setPointSize(points);
    font.Pitch = ini.ReadInteger(FONT, "Pitch", 0);
    if (font.Pitch == 1 || font.Pitch == 2)
        font.Font.setFixedPitch(font.Pitch == 2);
    if (font.Pitch == 2)
        font.Font.setStyleHint(QFont::Monospace);
    font.Font.setBold(ini.ReadBool(FONT_STYLE, "IsBold", false));
    font.Font.setItalic(ini.ReadBool(FONT_STYLE, "IsItalic", false));
    font.Font.setUnderline(ini.ReadBool(FONT_STYLE, "IsUnderline", false));
    font.Font.setStrikeOut(ini.ReadBool(FONT_STYLE, "IsStrikeOut", false));

    settings.LastCueDir = QString::fromStdString(ini.ReadString(DIR, "Cue", ""));
    settings.LastCcdDir = QString::fromStdString(ini.ReadString(DIR, "Ccd", ""));
    settings.LastVerifyDir = QString::fromStdString(ini.ReadString(DIR, "Verify", ""));
    settings.EdcEcc = ini.ReadBool(OPTIONS, "EdcEcc", true);
    settings.CdTextFromCue = ini.ReadBool(OPTIONS, "CdTextFromCue", true);
    return settings;
}

void SaveMainSettings(const QString& path, const TMainSettings& settings, int dpi)
{
    QDir().mkpath(FolderOf(path));
    TIniFile ini(ToNativePath(path));
    ini.Load();

    ini.WriteInteger(FORM, "Top", settings.Top);
    ini.WriteInteger(FORM, "Left", settings.Left);
    ini.WriteInteger(FORM, "Height", DESIGN_HEIGHT);
    ini.WriteInteger(FORM, "Width", settings.Width);

    const QFont& font = settings.PathFont.Font;
    ini.WriteInteger(FONT, CHARSET_KEY, settings.PathFont.Charset);
    ini.WriteString(FONT, "Name", font.family().toStdString());
    ini.WriteInteger(FONT, "Size", FontSizePoints(font, dpi));
    ini.WriteInteger(FONT, "Color", settings.PathFont.Color);
    ini.WriteInteger(FONT, "Pitch", settings.PathFont.Pitch);
    ini.WriteInteger(FONT, "Height", FontHeightPixels(font, dpi));

    ini.WriteBool(FONT_STYLE, "IsBold", font.bold());
    ini.WriteBool(FONT_STYLE, "IsItalic", font.italic());
    ini.WriteBool(FONT_STYLE, "IsUnderline", font.underline());
    ini.WriteBool(FONT_STYLE, "IsStrikeOut", font.strikeOut());

    ini.WriteString(DIR, "Cue", settings.LastCueDir.toStdString());
    ini.WriteString(DIR, "Ccd", settings.LastCcdDir.toStdString());
    if (!settings.LastVerifyDir.isEmpty())
        ini.WriteString(DIR, "Verify", settings.LastVerifyDir.toStdString());
    ini.WriteBool(OPTIONS, "EdcEcc", settings.EdcEcc);
    ini.WriteBool(OPTIONS, "CdTextFromCue", settings.CdTextFromCue);

    ini.TryUpdateFile(); // a settings file that cannot be written is not worth a message
}
