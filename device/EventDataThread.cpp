#include "device/EventDataThread.h"

#include "device/EventRouter.h"
#include "device/EventThreadSync.h"
#include "device/EventWatchdog.h"
#include "device/LogWriter.h"
#include "device/QSystemInterface.h"

#include <QDeadlineTimer>
#include <QMutexLocker>
#include <QThread>

#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int B8181SystemType = 16;

QString itemName(const IDValue_t &record)
{
    // The name cell need not be terminated: never read past its 20 bytes.
    const size_t len = strnlen(record.ItemID, sizeof(record.ItemID));
    return QString::fromLatin1(record.ItemID, int(len));
}

void freeRecords(IDValue_t *&records)
{
    if (records)
        ORVEHV_FreeEventData(&records);
    records = nullptr;
}

} // namespace

namespace EventData {

void dispatchBatch(EventRouter *router, QSystemInterface *sys, const ORVEHV_SYSTEMSTATUS_t &status,
                   const IDValue_t *records, unsigned int count)
{
    emit router->systemEvStatus(sys, status);
    if (!records)
        return;
    // The receivers end their batch work (a mainframe's log writer is woken)
    // at the record flagged last: that must be the last one that reaches them
    // with the flag, not a trailing keep-alive or unknown record.
    unsigned int last = count;
    for (unsigned int i = count; i-- > 0;) {
        if (records[i].Type == ORVEHV_EVENT_PARAMETER || records[i].Type == ORVEHV_EVENT_LIVE_INSERT) {
            last = i;
            break;
        }
    }
    bool isFirstEv = true;
    for (unsigned int i = 0; i < count; ++i) {
        const IDValue_t &r = records[i];
        const bool isLastEv = (i == last);
        switch (r.Type) {
        case ORVEHV_EVENT_PARAMETER:
            emit router->updateValueAndWidget(sys, r.BoardIndex, r.ChannelIndex, itemName(r), r, isFirstEv,
                                              isLastEv);
            break;
        case ORVEHV_EVENT_LIVE_INSERT:
            emit router->liveInsertion(sys, isFirstEv, isLastEv);
            break;
        case ORVEHV_EVENT_KEEPALIVE:
            break;
        case ORVEHV_EVENT_TRANSPARENT:
            emit router->TransparentMode(sys);
            break;
        default:
            continue; // unknown records neither signal nor end the first run
        }
        isFirstEv = false;
    }
}

void run(EventRouter *router, QSystemInterface *sys)
{
    if (!sys || !sys->systemNode())
        return;
    LogWriter::start(sys);

    int sock = sys->eventSocket.load();
    if (sys->systemType() == B8181SystemType) {
        int librarySocket = -1;
        if (ORVEHV_GetSysProp(sys->handle(), "EventDataSocket", &librarySocket) != ORVEHV_OK)
            librarySocket = -1;
        sock = librarySocket;
    }

    while (!sys->stopRequested.load()) {
        ORVEHV_SYSTEMSTATUS_t status;
        std::memset(&status, 0, sizeof status);
        IDValue_t *records = nullptr;
        unsigned int count = 0;
        const int rc = sock < 0 ? ORVEHV_ERR_CONNECTION_LOST
                                : ORVEHV_GetEventData(sock, &status, &records, &count);
        if (rc == ORVEHV_NO_EVENT_DATA) {
            freeRecords(records);
            continue;
        }
        if (rc != ORVEHV_OK) {
            freeRecords(records);
            {
                QMutexLocker lock(&sys->eventStateMutex);
                sys->eventsEnabled = false;
            }
            if (!sys->stopRequested.load())
                emit router->systemDisconnected(sys, 0);
            return;
        }
        sys->lastHeardMs.store(EventWatchdog::clockMs(), std::memory_order_relaxed);
        bool enabled;
        {
            QMutexLocker lock(&sys->eventStateMutex);
            enabled = sys->eventsEnabled;
        }
        if (enabled && !sys->stopRequested.load())
            dispatchBatch(router, sys, status, records, count);
        freeRecords(records);
    }
}

QThread *start(EventRouter *router, QSystemInterface *sys)
{
    QThread *t = QThread::create([router, sys] {
        run(router, sys);
        EventThreadSync::threadEnds();
    });
    t->setObjectName(QStringLiteral("event data"));
    t->start();
    return t;
}

} // namespace EventData

bool stopEventThreads(QSystemInterface *sys, int timeoutMs)
{
    if (!sys)
        return true;
    QThread *thread = nullptr;
    int sock = -1;
    {
        QMutexLocker lock(&EventThreadSync::systemsMutex());
        sys->stopRequested.store(true);
        thread = sys->eventThread;
        sock = sys->eventSocket.load();
    }
    const QDeadlineTimer deadline(timeoutMs);
    if (thread) {
        // Wake a read blocked on our own connection; the library's B8181
        // socket is not ours and ends within its one-second read.
        if (sock >= 0)
            ::shutdown(sock, SHUT_RDWR);
        if (!EventThreadSync::join(thread, deadline))
            return false;
    }
    if (!LogWriter::stop(sys, timeoutMs))
        return false;
    {
        QMutexLocker lock(&EventThreadSync::systemsMutex());
        if (sys->eventThread == thread)
            sys->eventThread = nullptr;
        if (sys->eventSocket.load() == sock && sock >= 0) {
            ::close(sock);
            sys->eventSocket.store(-1);
        }
    }
    delete thread;
    return true;
}
