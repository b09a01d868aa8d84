// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Windowstyle.h"

#include <QEvent>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <algorithm>

namespace {
struct TFamilyTwin
{
    const char* Asked;
    const char* Twin;
};

constexpr TFamilyTwin FAMILY_TWINS[] = {
    {"Arial", "Liberation Sans"},
    {"Courier New", "Liberation Mono"},
    {"Times New Roman", "Liberation Serif"},
};

class TRestoreGuard : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* dialog = static_cast<QWidget*>(watched);
        if (event->type() == QEvent::WindowStateChange && dialog->isMinimized())
        {
            // Queued: the window manager is still in the middle of the change.
            QTimer::singleShot(0, dialog, [dialog] {
                if (QWidget* owner = dialog->parentWidget())
                    ShowNormal(owner->window());
                if (dialog->isVisible())
                    ShowNormal(dialog);
            });
        }
        return false;
    }
};
} // namespace

QString InstalledFamily(const QString& family)
{
    const QStringList installed = QFontDatabase::families();
    if (installed.contains(family, Qt::CaseInsensitive))
        return family;
    for (const TFamilyTwin& twin : FAMILY_TWINS)
    {
        const QString name = QString::fromLatin1(twin.Twin);
        if (family.compare(QLatin1String(twin.Asked), Qt::CaseInsensitive) == 0 &&
            installed.contains(name, Qt::CaseInsensitive))
            return name;
    }
    return family;
}

QFont FormFont(int pixels)
{
    QFont font(InstalledFamily(QStringLiteral("Arial")));
    font.setPixelSize(pixels);
    return font;
}

void KeepRestored(QWidget* dialog)
{
    dialog->installEventFilter(new TRestoreGuard(dialog));
}

void ShowNormal(QWidget* window)
{
    if (window->windowState() & Qt::WindowMinimized)
        window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    if (window->isVisible())
    {
        window->show();
        window->raise();
    }
}

void KeepOnScreen(QWidget* window)
{
    // A position saved on a screen that is gone would leave at most a corner of the title bar.
    const QRect frame(window->pos(), window->size());
    const QList<QScreen*> screens = QGuiApplication::screens();
    if (screens.isEmpty())
        return;
    QRect nearest;
    qint64 nearestDistance = -1;
    for (const QScreen* screen : screens)
    {
        const QRect area = screen->availableGeometry();
        if (area.contains(frame))
            return;
        const QPoint offset = area.center() - frame.center();
        const qint64 distance = qint64(offset.x()) * offset.x() + qint64(offset.y()) * offset.y();
        if (nearestDistance < 0 || distance < nearestDistance)
        {
            nearest = area;
            nearestDistance = distance;
        }
    }
    const int left =
        std::clamp(frame.left(), nearest.left(), std::max(nearest.left(), nearest.right() - frame.width()));
    const int top = std::clamp(frame.top(), nearest.top(), std::max(nearest.top(), nearest.bottom() - frame.height()));
    window->move(left, top);
}
