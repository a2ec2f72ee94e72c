// Value-log queue and writer thread: line formats, one batch per burst, the
// mainframe wake rule, and a writer that really ends (writing what is left).

#include "device/LogQueue.h"
#include "device/EventThreadSync.h"
#include "device/LogWriter.h"
#include "device/QSystemInterface.h"

#include <QDateTime>
#include <QFile>
#include <QMutexLocker>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

namespace {

LogEntry entry(int board, int channel, const QString &name, const QVariant &value)
{
    LogEntry e;
    e.board = board;
    e.channel = channel;
    e.parameter = name;
    e.value = value;
    return e;
}

int pendingBatches(QSystemInterface &sys)
{
    QMutexLocker lock(&sys.logMutex);
    return sys.logBatchCount;
}

// Ends the writer however the test function leaves.
struct WriterGuard
{
    QSystemInterface &sys;
    ~WriterGuard() { LogWriter::stop(&sys, 5000); }
};

QString readAll(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return QString();
    return QString::fromUtf8(f.readAll());
}

} // namespace

class TestLogQueue : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { LogQueue::setConfiguredPath(QString()); }

    void lineFormats()
    {
        const QDateTime t(QDate(2026, 3, 4), QTime(5, 6, 7, 89));
        QCOMPARE(LogQueue::formatEntry(t, QStringLiteral("HV1"), entry(0, 5, QStringLiteral("VMon"), 12.5)),
                 QStringLiteral("[2026-03-04T05:06:07.089]: [HV1] bd [0] ch [5] par [VMon] val [12.5]; \n"));
        QCOMPARE(LogQueue::formatEntry(t, QStringLiteral("HV1"), entry(0, -1, QStringLiteral("Temp"), 31)),
                 QStringLiteral("[2026-03-04T05:06:07.089]: [HV1] bd [0] par [Temp] val [31]; \n"));
        QCOMPARE(LogQueue::formatEntry(t, QStringLiteral("HV1"), entry(-1, -1, QStringLiteral("Sessions"), "a b")),
                 QStringLiteral("[2026-03-04T05:06:07.089]: [HV1] par [Sessions] val [a b]; \n"));
        QCOMPARE(LogQueue::formatEntry(t, QStringLiteral("HV1"), entry(-1, -1, QString(), 0)),
                 QStringLiteral("[2026-03-04T05:06:07.089]: [HV1] live inserted/removed board; \n"));
        // A name holding a placeholder-like text is written as it is.
        QCOMPARE(LogQueue::formatEntry(t, QStringLiteral("%1"), entry(-1, -1, QStringLiteral("P%2"), "%3")),
                 QStringLiteral("[2026-03-04T05:06:07.089]: [%1] par [P%2] val [%3]; \n"));
    }

    void filePathDefaults()
    {
        LogQueue::setConfiguredPath(QString());
        const QString a = LogQueue::logFilePath(QStringLiteral("Box1"), 13);
        const QString b = LogQueue::logFilePath(QStringLiteral("Box2"), 13);
        QVERIFY(a.endsWith(QStringLiteral("/ORVEKEBOLog_Box1.log")));
        QVERIFY(b.endsWith(QStringLiteral("/ORVEKEBOLog_Box2.log")));
        QCOMPARE(LogQueue::logFilePath(QStringLiteral("A"), 2), LogQueue::logFilePath(QStringLiteral("B"), 9));
        QVERIFY(LogQueue::logFilePath(QStringLiteral("A"), 2).endsWith(QStringLiteral("/ORVEKEBODESK.log")));
        LogQueue::setConfiguredPath(QStringLiteral("/tmp/x.log"));
        QCOMPARE(LogQueue::logFilePath(QStringLiteral("A"), 13), QStringLiteral("/tmp/x.log"));
    }

    // Entries of one event burst share a batch; the next burst opens a new one.
    void burstsBecomeBatches()
    {
        QSystemInterface sys(9, 0, QStringLiteral("x"), QStringLiteral("x"), 0);
        LogQueue::enqueue(&sys, QStringLiteral("S"), entry(0, 0, QStringLiteral("VMon"), 1), true);
        LogQueue::enqueue(&sys, QStringLiteral("S"), entry(0, 1, QStringLiteral("VMon"), 2), false);
        LogQueue::enqueue(&sys, QStringLiteral("S"), entry(0, 2, QStringLiteral("VMon"), 3), false);
        LogQueue::enqueue(&sys, QStringLiteral("S"), entry(1, 0, QStringLiteral("VMon"), 4), true);
        LogQueue::enqueueLiveInsertion(&sys, QStringLiteral("S"));
        LogQueue::enqueue(&sys, QStringLiteral("S"), entry(1, 1, QStringLiteral("VMon"), 5), false);
        QMutexLocker lock(&sys.logMutex);
        QCOMPARE(sys.logBatchCount, 3);
        QVERIFY(sys.logQueueHead);
        QCOMPARE(sys.logQueueHead->entries.size(), 3);
        QCOMPARE(sys.logQueueHead->next->entries.size(), 1);
        QCOMPARE(sys.logQueueHead->next->next, sys.logQueueTail);
        // A value after the live insertion joins that batch (same burst).
        QCOMPARE(sys.logQueueTail->entries.size(), 2);
        QVERIFY(sys.logQueueTail->entries.at(0).parameter.isEmpty());
        QCOMPARE(sys.logQueueTail->systemType, 9);
        lock.unlock();
        LogQueue::discardPending(&sys);
        QCOMPARE(pendingBatches(sys), 0);
    }

    // The writer drains the queue; a mainframe burst is written at its end
    // only; stopping writes what is still queued and ends the thread.
    void writerThread()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("v.log"));
        LogQueue::setConfiguredPath(path);
        QSystemInterface sys(2, 0, QStringLiteral("x"), QStringLiteral("x"), 0); // mainframe
        QThread *writer = LogWriter::start(&sys);
        WriterGuard guard{sys};
        QVERIFY(writer);
        QCOMPARE(LogWriter::start(&sys), writer); // one writer per system

        LogQueue::enqueue(&sys, QStringLiteral("MF"), entry(0, 0, QStringLiteral("VMon"), 1), true);
        LogQueue::wakeWriter(&sys, false);
        LogQueue::enqueue(&sys, QStringLiteral("MF"), entry(0, 1, QStringLiteral("VMon"), 2), false);
        LogQueue::wakeWriter(&sys, false);
        QTest::qWait(100);
        QCOMPARE(pendingBatches(sys), 1); // not woken mid-burst
        LogQueue::enqueue(&sys, QStringLiteral("MF"), entry(0, 2, QStringLiteral("VMon"), 3), false);
        LogQueue::wakeWriter(&sys, true);
        QTRY_COMPARE(readAll(path).count(QLatin1Char('\n')), 3);
        QCOMPARE(pendingBatches(sys), 0);

        // Queued but never woken: the stop writes it.
        LogQueue::enqueue(&sys, QStringLiteral("MF"), entry(-1, -1, QStringLiteral("Sessions"), "s"), true);
        QVERIFY(LogWriter::stop(&sys, 5000));
        QVERIFY(!sys.logWriterThread);
        const QString text = readAll(path);
        QCOMPARE(text.count(QLatin1Char('\n')), 4);
        QVERIFY(text.contains(QStringLiteral("[MF] bd [0] ch [2] par [VMon] val [3]; \n")));
        QVERIFY(text.endsWith(QStringLiteral("[MF] par [Sessions] val [s]; \n")));
        QVERIFY(LogWriter::stop(&sys, 100)); // second stop is harmless
    }

    // A wake that arrives while the writer is busy must not strand a batch.
    void noLostWakeUnderLoad()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("w.log"));
        LogQueue::setConfiguredPath(path);
        QSystemInterface sys(9, 0, QStringLiteral("x"), QStringLiteral("x"), 0);
        LogWriter::start(&sys);
        WriterGuard guard{sys};
        const int n = 2000;
        for (int i = 0; i < n; ++i) {
            LogQueue::enqueue(&sys, QStringLiteral("D"), entry(0, i % 12, QStringLiteral("VMon"), i), i % 3 == 0);
            LogQueue::wakeWriter(&sys, i % 3 == 2);
        }
        QTRY_COMPARE(pendingBatches(sys), 0);
        QVERIFY(LogWriter::stop(&sys, 5000));
        QCOMPARE(readAll(path).count(QLatin1Char('\n')), n);
    }

    // The writer's old end signal (negative count) still ends it.
    void negativeCountEndsWriter()
    {
        QSystemInterface sys(9, 0, QStringLiteral("x"), QStringLiteral("x"), 0);
        QThread *writer = LogWriter::start(&sys);
        {
            QMutexLocker lock(&sys.logMutex);
            sys.logBatchCount = -1;
            sys.logCondition.wakeAll();
        }
        QVERIFY(EventThreadSync::join(writer, QDeadlineTimer(5000)));
        {
            QMutexLocker lock(&sys.logMutex);
            sys.logBatchCount = 0;
        }
        QVERIFY(LogWriter::stop(&sys, 100));
    }

    void unopenableFileDropsBatches()
    {
        LogQueue::setConfiguredPath(QStringLiteral("/nonexistent-dir/sub/v.log"));
        auto *b = new LogBatch;
        b->systemName = QStringLiteral("S");
        b->entries.append(entry(0, 0, QStringLiteral("VMon"), 1));
        b->next = new LogBatch;
        QVERIFY(!LogQueue::writeBatches(b, 2)); // freed either way (sanitizer run checks)
    }
};

QTEST_MAIN(TestLogQueue)
#include "tst_log_queue.moc"
