#ifndef EVENTDELIVERY_H
#define EVENTDELIVERY_H

// How the event threads' per-system reports reach the GUI thread. The
// router's five per-system signals are taken on the event-data thread itself
// and put in the system's mailbox (EventMailbox.h); one queued call per
// system then hands the waiting records out, in order, on the GUI thread, as
// this object's signals of the same names. A call hands out records for a
// few milliseconds at most and then lets painting and input in before it
// goes on, so a burst of any size never freezes the window; while the GUI
// thread is behind, a newer value of an item replaces the waiting one.
// With the value log on, every value also goes to the log's own queue as it
// arrives, in order, on the event-data thread (LogFeed.h), never through the
// GUI thread. tcpServerError is not per system and is not carried here.

#include <QObject>
#include <QString>
#include <QVector>
#include <functional>

#include "device/EventRouter.h" // the metatypes of the records

class QSystemInterface;

class EventDelivery : public QObject
{
    Q_OBJECT
public:
    // isLive tells (on the GUI thread) whether an interface still exists: a
    // queued call may name one that was removed, with its mailbox, meanwhile.
    using LiveCheck = std::function<bool(const QSystemInterface *)>;
    EventDelivery(EventRouter *router, LiveCheck isLive, QObject *parent = nullptr);

    // Time one call spends handing out records before it yields.
    static constexpr int SliceMs = 8;

    // What the event-data thread does with a value: into the mailbox (true:
    // the GUI thread must be told) and, while the system logs, to the log.
    static bool putValue(QSystemInterface *sys, int board, int channel, const QString &name,
                         const IDValue_t &value, bool isFirstEv, bool isLastEv);
    // The same for a live insertion (the log marks it in its place).
    static bool putLiveInsertion(QSystemInterface *sys, bool isFirstEv, bool isLastEv);

signals:
    void liveInsertion(QSystemInterface *sysIf, bool isFirstEv, bool isLastEv);
    void TransparentMode(QSystemInterface *sysIf);
    void updateValueAndWidget(QSystemInterface *sysIf, int bdIndex, int chIndex, QString itmName, IDValue_t val,
                              bool isFirstEv, bool isLastEv);
    void systemEvStatus(QSystemInterface *sysIf, ORVEHV_SYSTEMSTATUS_t sysStatus);
    void systemDisconnected(QSystemInterface *sysIf, int errorCode);

    // Queued to deliver(): a system's mailbox has records (any thread).
    void recordsWaiting(QSystemInterface *sysIf);

private:
    void deliver(QSystemInterface *sys);  // GUI thread

    LiveCheck m_isLive;
    // Systems whose records are being handed out (a handler may run a nested
    // event loop in which another system's call runs).
    QVector<QSystemInterface *> m_delivering;
};

#endif
