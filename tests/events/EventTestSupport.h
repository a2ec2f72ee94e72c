#ifndef EVENTTESTSUPPORT_H
#define EVENTTESTSUPPORT_H

// Shared by the event tests: a GUI-thread relay that receives the router's
// signals queued (as the main window does), and a device-level connection of
// a QSystemInterface to a virtual system (library, discovery, subscription,
// events enabled) without any widget.

#include "device/EventRouter.h"
#include "device/EventDataThread.h"
#include "device/EventServer.h"
#include "device/NodeValue.h"
#include "device/ORVEHVNode.h"
#include "device/QSystemInterface.h"
#include "device/SubscriptionFailure.h"
#include "virtualhw/VirtualControl.h"

#include <QMutexLocker>
#include <QSignalSpy>
#include <QTest>

#include <memory>

// Receives the router's signals on the GUI thread.
class RouterRelay : public EventRouter
{
public:
    explicit RouterRelay(EventRouter *source)
    {
        const auto q = Qt::QueuedConnection;
        connect(source, &EventRouter::tcpServerError, this, &EventRouter::tcpServerError, q);
        connect(source, &EventRouter::liveInsertion, this, &EventRouter::liveInsertion, q);
        connect(source, &EventRouter::TransparentMode, this, &EventRouter::TransparentMode, q);
        connect(source, &EventRouter::updateValueAndWidget, this, &EventRouter::updateValueAndWidget, q);
        connect(source, &EventRouter::systemEvStatus, this, &EventRouter::systemEvStatus, q);
        connect(source, &EventRouter::systemDisconnected, this, &EventRouter::systemDisconnected, q);
    }
};

// The flag the event-data thread reads, under its lock.
inline void setEventsOn(QSystemInterface *sys, bool on)
{
    QMutexLocker lock(&sys->eventStateMutex);
    sys->eventsEnabled = on;
}

inline bool eventsOn(QSystemInterface *sys)
{
    QMutexLocker lock(&sys->eventStateMutex);
    return sys->eventsEnabled;
}

// First system of the virtual world with this type; empty argument when none.
inline vhw::SystemInfo findVirtualSystem(int systemType)
{
    for (const vhw::SystemInfo &s : vhw::listSystems())
        if (s.systemType == systemType)
            return s;
    return vhw::SystemInfo();
}

// Opens the system and discovers its tree (the interface's own sequence),
// subscribes it and enables events, as the main window does. The interface
// is known to the server before it subscribes, as the main window lists it
// before it connects (the library opens the event connection while
// subscribing). Null on failure.
inline QSystemInterface *connectVirtualSystem(const vhw::SystemInfo &info, EventServer *server,
                                              QString *why = nullptr,
                                              SubscriptionFailureList *failures = nullptr)
{
    const QString argument = QString::fromStdString(info.argument);
    auto *sys = new QSystemInterface(info.systemType, info.linkType, argument, argument, 0);
    if (server)
        server->addSystem(sys);
    auto drop = [&](const QString &w) -> QSystemInterface * {
        if (sys->handle() >= 0)
            ORVEHV_DeinitSystem(sys->handle());
        if (server ? server->removeSystem(sys) : stopEventThreads(sys))
            delete sys;
        if (why)
            *why = w;
        return nullptr;
    };
    const int rc = sys->connectSystem(nullptr, QString::fromStdString(info.user),
                                      QString::fromStdString(info.password));
    if (rc != 0)
        return drop(QStringLiteral("connection %1").arg(rc));
    SubscriptionFailureList s, b, c;
    if (sys->subscribeParameters({}, s, b, c) != 0)
        return drop(QStringLiteral("subscription"));
    if (failures)
        *failures = s + b + c;
    setEventsOn(sys, true);
    return sys;
}

// The operator's disconnection at device level: stop flag, unsubscribe,
// close the handle, end the threads, delete.
inline void disconnectVirtualSystem(EventServer *server, QSystemInterface *sys)
{
    if (!sys)
        return;
    sys->stopRequested.store(true);
    SubscriptionFailureList s, b, c;
    sys->unsubscribeParameters({}, s, b, c);
    ORVEHV_DeinitSystem(sys->handle());
    const bool ended = server ? server->removeSystem(sys) : stopEventThreads(sys);
    QVERIFY(ended);
    delete sys;
}

#endif
