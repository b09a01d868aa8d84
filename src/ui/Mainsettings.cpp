// The main window's settings file: read once by the constructor, written once on close.
#include "ui/Mainform.h"

#include "image/Inifile.h"
#include "ui/Platform.h"

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>

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

void TMainFrm::LoadSettings()
{
    TIniFile ini(ToNativePath(SettingsFilePath()));
    ini.Load(); // a missing or unreadable file is silently empty: every default stays

    const int top = ini.ReadInteger(FORM, "Top", 100);
    const int left = ini.ReadInteger(FORM, "Left", 100);
    const int width = ini.ReadInteger(FORM, "Width", 470);
    move(left, top);
    resize(width, height()); // the height is fixed; the size limits keep the minimum width

    TPathFont font;
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
    PendingFont = font;

    FLastCueDir = QString::fromStdString(ini.ReadString(DIR, "Cue", ""));
    FLastCcdDir = QString::fromStdString(ini.ReadString(DIR, "Ccd", ""));
    FLastVerifyDir = QString::fromStdString(ini.ReadString(DIR, "Verify", ""));
    CorrectCk->setChecked(ini.ReadBool(OPTIONS, "EdcEcc", true));
    SettingsCdText->setChecked(ini.ReadBool(OPTIONS, "CdTextFromCue", true));
}

void TMainFrm::SaveSettings() const
{
    const QString path = SettingsFilePath();
    QDir().mkpath(FolderOf(path));
    TIniFile ini(ToNativePath(path));
    ini.Load(); // other sections and keys of the file stay where they are

    ini.WriteInteger(FORM, "Top", y());
    ini.WriteInteger(FORM, "Left", x());
    ini.WriteInteger(FORM, "Height", DESIGN_HEIGHT);
    ini.WriteInteger(FORM, "Width", width());

    const QFont font = CuePathEdit->font();
    const int dpi = CuePathEdit->logicalDpiY();
    ini.WriteInteger(FONT, CHARSET_KEY, CurrentPathFont.Charset);
    ini.WriteString(FONT, "Name", font.family().toStdString());
    ini.WriteInteger(FONT, "Size", FontSizePoints(font, dpi));
    ini.WriteInteger(FONT, "Color", CurrentPathFont.Color);
    ini.WriteInteger(FONT, "Pitch", CurrentPathFont.Pitch);
    ini.WriteInteger(FONT, "Height", FontHeightPixels(font, dpi));

    ini.WriteBool(FONT_STYLE, "IsBold", font.bold());
    ini.WriteBool(FONT_STYLE, "IsItalic", font.italic());
    ini.WriteBool(FONT_STYLE, "IsUnderline", font.underline());
    ini.WriteBool(FONT_STYLE, "IsStrikeOut", font.strikeOut());

    ini.WriteString(DIR, "Cue", FLastCueDir.toStdString());
    ini.WriteString(DIR, "Ccd", FLastCcdDir.toStdString());
    // Only once a set was verified: the file of a user who never did stays as it was.
    if (!FLastVerifyDir.isEmpty())
        ini.WriteString(DIR, "Verify", FLastVerifyDir.toStdString());
    ini.WriteBool(OPTIONS, "EdcEcc", CorrectCk->isChecked());
    ini.WriteBool(OPTIONS, "CdTextFromCue", SettingsCdText->isChecked());

    ini.TryUpdateFile(); // a settings file that cannot be written is not worth a message
}
