#include "device/LogWriter.h"

#include "device/LogQueue.h"
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
            // Test before waiting: a wake sent while the writer was busy
            // writing must not leave a batch behind until the next one.
            while (sys->logBatchCount == 0 && !sys->logWriterStop)
                sys->logCondition.wait(&sys->logMutex);
            if (sys->logBatchCount < 0)
                return;
            if (sys->logBatchCount == 0)
                return; // stop requested and nothing left to write
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
    QThread *t = QThread::create([sys] { run(sys); });
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
    if (!t->wait(QDeadlineTimer(timeoutMs)))
        return false;
    delete t;
    sys->logWriterThread = nullptr;
    return true;
}

} // namespace LogWriter
