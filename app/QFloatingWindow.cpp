#include "app/QFloatingWindow.h"

#include <QCloseEvent>

QFloatingWindow::QFloatingWindow(QWidget *parent, int index, const QString &title)
    : QMainWindow(parent), m_index(index)
{
    setWindowTitle(title);
    setObjectName(title);
    // A top-level window of its own even though the main window is its parent.
    setWindowFlag(Qt::Window, true);
    // The main window's shortcuts (Alt+1 ...) work while this window has
    // the focus.
    if (parent)
        addActions(parent->actions());
}

void QFloatingWindow::closeEvent(QCloseEvent *event)
{
    event->ignore();
}
