#include "device/EventWatchdog.h"

#include "device/ORVEHVNode.h"
#include "device/QSystemInterface.h"

#include <QMutexLocker>

QSet<int> EventWatchdog::s_silentHandles;

EventWatchdog::EventWatchdog(SystemList systems, QObject *parent)
    : QObject(parent), m_systems(std::move(systems))
{
    m_timer.setInterval(DefaultCheckMs);
    connect(&m_timer, &QTimer::timeout, this, &EventWatchdog::check);
    m_timer.start();
}

EventWatchdog::~EventWatchdog()
{
    for (int handle : std::as_const(m_silentHandle))
        s_silentHandles.remove(handle);
}

void EventWatchdog::check()
{
    const qint64 now = clockMs();
    const QVector<QSystemInterface *> systems = m_systems();
    // Systems that left the list are forgotten without a signal.
    for (auto it = m_silentHandle.begin(); it != m_silentHandle.end();) {
        if (!systems.contains(const_cast<QSystemInterface *>(it.key()))) {
            s_silentHandles.remove(it.value());
            m_silent.remove(it.key());
            it = m_silentHandle.erase(it);
        } else {
            ++it;
        }
    }
    for (QSystemInterface *sys : systems) {
        const ORVEHVNode *node = sys->systemNode();
        bool watched = node && !sys->representsCustomView() && node->connectionState() == ConnectionConnected;
        if (watched) {
            QMutexLocker lock(&sys->eventStateMutex);
            watched = sys->eventsEnabled;
        }
        if (!watched) {
            sys->lastHeardMs.store(0, std::memory_order_relaxed);
            setSilent(sys, false);
            continue;
        }
        qint64 heard = sys->lastHeardMs.load(std::memory_order_relaxed);
        // Nothing heard yet: the silence counts from when watching began.
        if (heard == 0 && sys->lastHeardMs.compare_exchange_strong(heard, now, std::memory_order_relaxed))
            heard = now;
        setSilent(sys, now - heard > m_limitMs);
    }
}

void EventWatchdog::setSilent(QSystemInterface *sys, bool silent)
{
    if (m_silent.contains(sys) == silent)
        return;
    if (silent) {
        m_silent.insert(sys);
        m_silentHandle.insert(sys, sys->handle());
        s_silentHandles.insert(sys->handle());
    } else {
        m_silent.remove(sys);
        s_silentHandles.remove(m_silentHandle.take(sys));
    }
    emit silenceChanged(sys, silent);
}
