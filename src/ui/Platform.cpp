// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
// Until the program has a web site of its own, its pages are the guide shipped with it.
constexpr const char* GUIDE_PAGE_EN = "guide.html";
constexpr const char* GUIDE_PAGE_JA = "guide.ja.html";
} // namespace

bool IsAbsoluteOutputPath(const QString& path)
{
    return path.size() >= 2 && path.front() == u'/';
}

QString FolderOf(const QString& filePath)
{
    const qsizetype slash = filePath.lastIndexOf(u'/');
    if (slash < 0)
        return QString();
    if (slash == 0)
        return QStringLiteral("/");
    return filePath.left(slash);
}

QString SettingsFilePath()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/Sarvex/Sarvex.ini");
}

std::string ToNativePath(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

QString FromNativePath(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

QUrl GuidePageUrl(bool japanese)
{
    const QString name = QString::fromLatin1(japanese ? GUIDE_PAGE_JA : GUIDE_PAGE_EN);
    // Installed beside the binary's share folder; a build run from its tree uses the sources.
    const QStringList folders{
        QCoreApplication::applicationDirPath() + QStringLiteral("/../" SARVEX_RELATIVE_DOC_DIR),
        QStringLiteral(SARVEX_INSTALLED_DOC_DIR),
        QStringLiteral(SARVEX_SOURCE_DOC_DIR),
    };
    for (const QString& folder : folders)
    {
        const QString candidate = QDir::cleanPath(folder + u'/' + name);
        if (QFileInfo::exists(candidate))
            return QUrl::fromLocalFile(candidate);
    }
    return QUrl::fromLocalFile(QDir::cleanPath(QStringLiteral(SARVEX_INSTALLED_DOC_DIR) + u'/' + name));
}
