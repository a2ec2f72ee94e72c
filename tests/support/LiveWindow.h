#ifndef LIVEWINDOW_H
#define LIVEWINDOW_H

// For tests that connect virtual systems through a real main window and
// watch their events arrive.

#include "app/MainWindow.h"
#include "device/EventServer.h"
#include "device/ORVEHVNode.h"
#include "device/QSystemInterface.h"

#include <QDeadlineTimer>
#include <QMutexLocker>
#include <QTest>
#include <QThread>

namespace live_test {

inline QThread *eventThreadOf(QSystemInterface *sys)
{
    QMutexLocker lock(&EventServer::systemsMutex());
    return sys->eventThread;
}

// Connects one system; the new interface once its event-data thread runs,
// null when the connection or the event connection did not come.
inline QSystemInterface *connectLive(MainWindow *w, int type, int link, const QString &argument,
                                     const QString &name, const QString &user = QString(),
                                     const QString &password = QString())
{
    if (w->connectToSystem(type, link, argument, name, user, password) != 0 || w->systems().isEmpty())
        return nullptr;
    QSystemInterface *sys = w->systems().last();
    QDeadlineTimer limit(10000);
    while (!eventThreadOf(sys) && !limit.hasExpired())
        QTest::qWait(10);
    return eventThreadOf(sys) ? sys : nullptr;
}

inline ORVEHVNode *boardInSlot(QSystemInterface *sys, int slot)
{
    for (ORVEHVNode *b : sys->systemNode()->children())
        if (b->kind() == KindBoard && b->slot() == slot)
            return b;
    return nullptr;
}

}  // namespace live_test

#endif
