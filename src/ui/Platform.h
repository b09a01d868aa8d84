// SPDX-License-Identifier: GPL-3.0-or-later
// The few places where the desktop program meets POSIX: path rules, the settings location
// and the bundled guide pages.
#pragma once

#include <QString>
#include <QUrl>

#include <string>

// An absolute path the conversion may write to: at least two characters, the first a '/'.
bool IsAbsoluteOutputPath(const QString& path);

// The folder of a file path without its trailing '/', except that the root stays "/".
QString FolderOf(const QString& filePath);

// $XDG_CONFIG_HOME/Sarvex/Sarvex.ini, or ~/.config/Sarvex/Sarvex.ini when the variable is unset.
QString SettingsFilePath();

// Paths handed to the core are in the file system's 8-bit encoding.
std::string ToNativePath(const QString& path);
QString FromNativePath(const std::string& path);

// The pages the About box opens: the bundled user guide in English or Japanese.
QUrl GuidePageUrl(bool japanese);
