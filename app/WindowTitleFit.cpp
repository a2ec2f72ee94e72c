#include "app/WindowTitleFit.h"

#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QScreen>
#include <QWidget>

namespace {
// The frame's icon, its three buttons and the gaps between them.
const int FrameAllowance = 150;
} // namespace

int WindowTitleFit::widthFor(const QString &title)
{
    // Title bars draw in a bold face of about the application's size.
    QFont font = QApplication::font();
    font.setBold(true);
    return QFontMetrics(font).horizontalAdvance(title) + FrameAllowance;
}

bool WindowTitleFit::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::Show && event->type() != QEvent::WindowTitleChange)
        return false;
    auto *w = qobject_cast<QWidget *>(watched);
    if (!w || !w->isWindow() || (w->windowType() != Qt::Window && w->windowType() != Qt::Dialog)
        || w->windowTitle().isEmpty() || w->isMaximized() || w->isFullScreen())
        return false;
    if (event->type() == QEvent::WindowTitleChange && !w->isVisible())
        return false;
    int wanted = qMin(widthFor(w->windowTitle()), w->maximumWidth());
    if (QScreen *screen = w->screen())
        wanted = qMin(wanted, screen->availableGeometry().width());
    if (w->width() < wanted)
        w->resize(wanted, w->height());
    return false;
}
