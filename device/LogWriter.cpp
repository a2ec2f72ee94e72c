#include "device/LogWriter.h"

#include "device/EventThreadSync.h"
#include "device/LogBacklog.h"
#include "device/LogQueue.h"
#include "device/OperatorMessage.h"
#include "device/QSystemInterface.h"

#include <QCoreApplication>
#include <QMutexLocker>
#include <QThread>

namespace {

// While entries wait for an unwritable file, the writer tries again this often
// even when no new batch arrives.
constexpr int RetryMs = 1000;
// The backlog goes out in pieces of about this size (whole batches).
constexpr int ChunkBytes = 1 << 20;

const QString TimeFormat = QStringLiteral("yyyy-MM-ddThh:mm:ss.zzz");

// EventThreadSync::wait with a time limit: false when the time ran out.
bool waitFor(QWaitCondition &condition, QMutex &mutex, int ms)
{
    QtTsan::mutexPreUnlock(&mutex, 0u);
    QtTsan::mutexPostUnlock(&mutex, 0u);
    const bool woken = condition.wait(&mutex, QDeadlineTimer(ms));
    QtTsan::mutexPreLock(&mutex, 0u);
    QtTsan::mutexPostLock(&mutex, 0u, 0);
    return woken;
}

// The writer never shows a box itself: the message travels to the GUI thread
// as a queued call (copies only, the system may be gone by then).
void tellOperator(const OperatorMessage &message)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app)
        return;
    QMetaObject::invokeMethod(app, [message] { showOperatorMessage(message); }, Qt::QueuedConnection);
}

class Writer
{
public:
    explicit Writer(const void *owner) : m_owner(owner) {}

    // Takes the batches and writes all that is waiting; false when the file
    // could not be written (the entries stay in the backlog).
    bool write(LogBatch *head, int count)
    {
        m_backlog.take(head, count);
        if (m_backlog.isEmpty())
            return true;
        const QString path = LogQueue::claimLogFile(m_owner, m_backlog.systemName(), m_backlog.systemType());
        while (!m_backlog.isEmpty()) {
            int batches = 0;
            const QByteArray text = m_backlog.nextText(ChunkBytes, &batches);
            const QString error = LogQueue::appendToFile(path, text);
            if (!error.isEmpty()) {
                m_backlog.trim();
                reportFailure(path, error);
                return false;
            }
            if (m_backlog.droppedCount() > 0) {
                m_lost += m_backlog.droppedCount();
                if (!m_firstLost.isValid())
                    m_firstLost = m_backlog.firstDropped();
                m_lastLost = m_backlog.lastDropped();
            }
            m_backlog.consume(batches);
        }
        reportRecovery(path);
        return true;
    }

    // The writer ends: whatever could not be written is reported as lost.
    void finish()
    {
        if (!m_backlog.isEmpty()) {
            const QString path = LogQueue::claimLogFile(m_owner, m_backlog.systemName(), m_backlog.systemType());
            OperatorMessage m;
            m.text = QStringLiteral("The value log of %1 could not be written to\n%2.")
                         .arg(m_backlog.systemName(), path);
            m.informativeText = QStringLiteral("Logged values not written: %1.")
                                    .arg(m_backlog.entryCount() + m_backlog.droppedCount());
            tellOperator(m);
            m_backlog.clear();
        }
        LogQueue::releaseFiles(m_owner);
    }

    bool hasBacklog() const { return !m_backlog.isEmpty(); }

private:
    void reportFailure(const QString &path, const QString &error)
    {
        if (m_failing)
            return; // once per outage, not once per batch
        m_failing = true;
        OperatorMessage m;
        m.text = QStringLiteral("The value log of %1 cannot be written to\n%2\n(%3).")
                     .arg(m_backlog.systemName(), path, error);
        m.informativeText = QStringLiteral("Logged values are kept in memory (up to %1 per system) and written "
                                           "as soon as the file can be written again.")
                                .arg(LogBacklog::limit());
        tellOperator(m);
    }

    void reportRecovery(const QString &path)
    {
        if (!m_failing)
            return;
        m_failing = false;
        OperatorMessage m;
        m.icon = m_lost > 0 ? QMessageBox::Warning : QMessageBox::Information;
        m.text = QStringLiteral("The value log of %1 is written again to\n%2.").arg(m_backlog.systemName(), path);
        m.informativeText = m_lost > 0 ? QStringLiteral("Logged values lost: %1, between %2 and %3.")
                                             .arg(QString::number(m_lost), m_firstLost.toString(TimeFormat),
                                                  m_lastLost.toString(TimeFormat))
                                       : QStringLiteral("No logged value was lost.");
        tellOperator(m);
        m_lost = 0;
        m_firstLost = m_lastLost = QDateTime();
    }

    const void *m_owner;
    LogBacklog m_backlog;
    bool m_failing = false;
    qint64 m_lost = 0;
    QDateTime m_firstLost, m_lastLost;
};

} // namespace

namespace LogWriter {

void run(QSystemInterface *sys)
{
    Writer writer(sys);
    for (;;) {
        LogBatch *head = nullptr;
        int count = 0;
        {
            QMutexLocker lock(&sys->logMutex);
            // The wake is remembered, so one sent while the writer was busy
            // writing is not lost; pending batches alone do not wake it (a
            // mainframe's burst is written at its end). Entries waiting for
            // an unwritable file are retried now and then.
            while (!sys->logWakePending && !sys->logWriterStop && sys->logBatchCount >= 0) {
                if (!writer.hasBacklog())
                    EventThreadSync::wait(sys->logCondition, sys->logMutex);
                else if (!waitFor(sys->logCondition, sys->logMutex, RetryMs))
                    break;
            }
            sys->logWakePending = false;
            if (sys->logBatchCount < 0)
                break;
            if (sys->logBatchCount == 0 && sys->logWriterStop)
                break; // everything written (or tried once more)
            head = sys->logQueueHead;
            count = sys->logBatchCount;
            sys->logQueueHead = nullptr;
            sys->logQueueTail = nullptr;
            sys->logBatchCount = 0;
        }
        writer.write(head, count);
    }
    // On the way out the file gets one more try before anything is given up.
    writer.write(nullptr, 0);
    writer.finish();
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
