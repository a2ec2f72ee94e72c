#include "device/EventDelivery.h"

#include "device/EventRouter.h"
#include "device/LogQueue.h"
#include "device/QSystemInterface.h"

#include <QElapsedTimer>

EventDelivery::EventDelivery(EventRouter *router, LiveCheck isLive, QObject *parent)
    : QObject(parent), m_isLive(std::move(isLive))
{
    connect(this, &EventDelivery::recordsWaiting, this, &EventDelivery::deliver, Qt::QueuedConnection);
    // Direct: these run on the event-data thread and touch only the mailbox
    // and the value log's queue.
    connect(router, &EventRouter::updateValueAndWidget, this,
            [this](QSystemInterface *sys, int bd, int ch, const QString &name, const IDValue_t &val, bool first,
                   bool last) {
                if (putValue(sys, bd, ch, name, val, first, last))
                    emit recordsWaiting(sys);
            },
            Qt::DirectConnection);
    connect(router, &EventRouter::systemEvStatus, this,
            [this](QSystemInterface *sys, const ORVEHV_SYSTEMSTATUS_t &status) {
                if (sys->eventMailbox.putStatus(status))
                    emit recordsWaiting(sys);
            },
            Qt::DirectConnection);
    connect(router, &EventRouter::liveInsertion, this,
            [this](QSystemInterface *sys, bool first, bool last) {
                if (putLiveInsertion(sys, first, last))
                    emit recordsWaiting(sys);
            },
            Qt::DirectConnection);
    connect(router, &EventRouter::TransparentMode, this,
            [this](QSystemInterface *sys) {
                if (sys->eventMailbox.putBarrier(EventRecord::Transparent))
                    emit recordsWaiting(sys);
            },
            Qt::DirectConnection);
    connect(router, &EventRouter::systemDisconnected, this,
            [this](QSystemInterface *sys, int code) {
                if (sys->eventMailbox.putBarrier(EventRecord::Disconnected, false, false, code))
                    emit recordsWaiting(sys);
            },
            Qt::DirectConnection);
}

bool EventDelivery::putValue(QSystemInterface *sys, int board, int channel, const QString &name,
                             const IDValue_t &value, bool isFirstEv, bool isLastEv)
{
    const bool notify = sys->eventMailbox.putValue(board, channel, name, value, isFirstEv, isLastEv);
    if (sys->isLogStarted())
        LogQueue::logEvent(sys, board, channel, name, value.Value, isFirstEv, isLastEv,
                           sys->eventMailbox.batchTimeOfPut());
    return notify;
}

bool EventDelivery::putLiveInsertion(QSystemInterface *sys, bool isFirstEv, bool isLastEv)
{
    const bool notify = sys->eventMailbox.putBarrier(EventRecord::LiveInsertion, isFirstEv, isLastEv);
    if (sys->isLogStarted())
        LogQueue::enqueueLiveInsertion(sys, sys->logFeed.systemName(), sys->eventMailbox.batchTimeOfPut());
    return notify;
}

void EventDelivery::deliver(QSystemInterface *sys)
{
    // A system removed since the call was posted took its mailbox with it.
    // A handler that runs an event loop (a message box) must not have the
    // same system's later records handled inside it: the outer call goes on.
    if (!m_isLive(sys) || m_delivering.contains(sys))
        return;
    m_delivering.append(sys);
    QElapsedTimer slice;
    slice.start();
    EventRecord r;
    bool more = false;
    while ((more = sys->eventMailbox.take(r))) {
        switch (r.kind) {
        case EventRecord::Value:
            emit updateValueAndWidget(sys, r.board, r.channel, r.name, r.toIDValue(r.value), r.isFirstEv,
                                      r.isLastEv);
            break;
        case EventRecord::Status:
            emit systemEvStatus(sys, r.toStatus());
            break;
        case EventRecord::LiveInsertion:
            emit liveInsertion(sys, r.isFirstEv, r.isLastEv);
            break;
        case EventRecord::Transparent:
            emit TransparentMode(sys);
            break;
        case EventRecord::Disconnected:
            emit systemDisconnected(sys, r.board);
            break;
        }
        if (!m_isLive(sys)) {
            m_delivering.removeOne(sys);
            return;
        }
        if (slice.elapsed() >= SliceMs)
            break;
    }
    m_delivering.removeOne(sys);
    if (more)
        emit recordsWaiting(sys); // the rest after painting and input had their turn
}
