#ifndef SAVESHOT_H
#define SAVESHOT_H

// How the screenshot tools save a widget: its own picture, and on a desktop
// (not offscreen) the whole screen too, window frame included
// ("name-screen.png").

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QString>
#include <QTest>
#include <QWidget>

#include <cstdio>

inline bool saveShot(QWidget *w, const QString &path)
{
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
    const bool ok = w->grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "could not write", qPrintable(path));
    if (QGuiApplication::platformName() == QLatin1String("xcb") && w->isWindow()) {
        w->raise();
        w->activateWindow();
        QTest::qWait(400);
        QString screen = path;
        screen.replace(QLatin1String(".png"), QLatin1String("-screen.png"));
        QGuiApplication::primaryScreen()->grabWindow(0).save(screen);
        std::printf("wrote %s\n", qPrintable(screen));
    }
    return ok;
}

#endif
