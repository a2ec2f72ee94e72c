#include "app/QFloatingWindow.h"

#include <QCloseEvent>

QFloatingWindow::QFloatingWindow(QWidget *parent, int index, const QString &title)
    : QMainWindow(parent), m_index(index)
{
    setWindowTitle(title);
    setObjectName(title);
    // A top-level window of its own even though the main window is its parent.
    setWindowFlag(Qt::Window, true);
}

void QFloatingWindow::closeEvent(QCloseEvent *event)
{
    event->ignore();
}
