#ifndef EVENTWATCHDOG_H
#define EVENTWATCHDOG_H

// Tells when a connected system has gone quiet. An idle event connection
// still carries a keep-alive every ORVEHV_KEEPALIVE_SECONDS, so a system
// from which nothing at all arrived for longer than that (values, status,
// keep-alives) is no longer reporting: whatever its cells show may be old.
//
// The event-data thread only stamps the system's lastHeardMs once per batch
// it reads; one timer on the GUI thread compares the stamps with the clock.
// A system is watched while it is connected and its events are enabled;
// one that stops being watched is no longer silent.

#include <QObject>
#include <QSet>
#include <QTimer>
#include <QVector>

#include <chrono>
#include <functional>

#include "ORVEHVWrapper.h"

class QSystemInterface;

class EventWatchdog : public QObject
{
    Q_OBJECT
public:
    // Monotonic milliseconds, the clock of QSystemInterface::lastHeardMs.
    static qint64 clockMs()
    {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    }

    // One keep-alive may be late: silent after two intervals and a second.
    static constexpr int DefaultLimitMs = (2 * ORVEHV_KEEPALIVE_SECONDS + 1) * 1000;
    static constexpr int DefaultCheckMs = 500;

    using SystemList = std::function<QVector<QSystemInterface *>()>;
    explicit EventWatchdog(SystemList systems, QObject *parent = nullptr);
    ~EventWatchdog() override;

    void setLimit(int ms) { m_limitMs = ms; }
    int limit() const { return m_limitMs; }
    void setCheckInterval(int ms) { m_timer.setInterval(ms); }

    bool isSilent(const QSystemInterface *sys) const { return m_silent.contains(sys); }
    // Whether the system that opened this library handle is silent (cell
    // painting: a node knows its handle, not its interface). GUI thread.
    static bool isSilentHandle(int handle) { return s_silentHandles.contains(handle); }

    // Compares every watched system's stamp with the clock now (the timer's work).
    void check();

signals:
    void silenceChanged(QSystemInterface *sys, bool silent);

private:
    void setSilent(QSystemInterface *sys, bool silent);

    SystemList m_systems;
    QTimer m_timer;
    int m_limitMs = DefaultLimitMs;
    QSet<const QSystemInterface *> m_silent;
    QHash<const QSystemInterface *, int> m_silentHandle;
    static QSet<int> s_silentHandles;
};

#endif
