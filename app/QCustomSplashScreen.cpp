#include "app/QCustomSplashScreen.h"

#include "app/MainWindow.h"

QCustomSplashScreen::QCustomSplashScreen(QWidget *parent, const QPixmap &pixmap, Qt::WindowFlags flags)
    : QSplashScreen(pixmap, flags), m_mainWindow(qobject_cast<MainWindow *>(parent))
{
    // QSplashScreen has no parent constructor in Qt 6; the splash stays a
    // top-level window and only remembers the main window.
    setAttribute(Qt::WA_DeleteOnClose);
}

void QCustomSplashScreen::showWaitMessage()
{
    showMessage(QStringLiteral("Please wait..."), Qt::AlignLeft | Qt::AlignBottom, Qt::white);
}

void QCustomSplashScreen::mousePressEvent(QMouseEvent *)
{
    // Overridden so a click never simply hides the splash. finish() would
    // give up waiting for a main window that is not shown yet and close the
    // splash early, so it is left to start-up until the window is visible.
    showWaitMessage();
    if (m_mainWindow && m_mainWindow->isVisible())
        finish(m_mainWindow);
}
