#ifndef QCUSTOMSPLASHSCREEN_H
#define QCUSTOMSPLASHSCREEN_H

// Start-up splash. A click does not dismiss it early: it shows the message
// again and finishes only with the main window, so it goes away once the
// main window is visible.

#include <QSplashScreen>

class MainWindow;

class QCustomSplashScreen : public QSplashScreen
{
    Q_OBJECT
public:
    QCustomSplashScreen(QWidget *parent, const QPixmap &pixmap, Qt::WindowFlags flags = Qt::WindowFlags());

    void showWaitMessage();

protected:
    void mousePressEvent(QMouseEvent *event) override;

private:
    MainWindow *m_mainWindow;
};

#endif
