#include "device/LogWriter.h"

#include "device/LogQueue.h"
#include "device/EventThreadSync.h"
#include "device/QSystemInterface.h"

#include <QMutexLocker>
#include <QThread>

namespace LogWriter {

void run(QSystemInterface *sys)
{
    for (;;) {
        LogBatch *head = nullptr;
        int count = 0;
        {
            QMutexLocker lock(&sys->logMutex);
            // The wake is remembered, so one sent while the writer was busy
            // writing is not lost; pending batches alone do not wake it (a
            // mainframe's burst is written at its end).
            while (!sys->logWakePending && !sys->logWriterStop && sys->logBatchCount >= 0)
                EventThreadSync::wait(sys->logCondition, sys->logMutex);
            sys->logWakePending = false;
            if (sys->logBatchCount < 0)
                return;
            if (sys->logBatchCount == 0) {
                if (sys->logWriterStop)
                    return; // everything written
                continue;
            }
            head = sys->logQueueHead;
            count = sys->logBatchCount;
            sys->logQueueHead = nullptr;
            sys->logQueueTail = nullptr;
            sys->logBatchCount = 0;
        }
        LogQueue::writeBatches(head, count);
    }
}

QThread *start(QSystemInterface *sys)
{
    if (!sys || sys->logWriterThread)
        return sys ? sys->logWriterThread : nullptr;
    {
        QMutexLocker lock(&sys->logMutex);
        sys->logWriterStop = false;
    }
    QThread *t = QThread::create([sys] {
        run(sys);
        EventThreadSync::threadEnds();
    });
    t->setObjectName(QStringLiteral("log writer"));
    sys->logWriterThread = t;
    t->start();
    return t;
}

bool stop(QSystemInterface *sys, int timeoutMs)
{
    if (!sys || !sys->logWriterThread)
        return true;
    {
        QMutexLocker lock(&sys->logMutex);
        sys->logWriterStop = true;
        sys->logCondition.wakeAll();
    }
    QThread *t = sys->logWriterThread;
    if (!EventThreadSync::join(t, QDeadlineTimer(timeoutMs)))
        return false;
    delete t;
    sys->logWriterThread = nullptr;
    return true;
}

} // namespace LogWriter
