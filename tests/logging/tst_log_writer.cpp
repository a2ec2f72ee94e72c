// The log writer thread: drains the queue, writes a mainframe's burst at its
// end, ends on request after writing what is left, and keeps entries (within
// its bound) while the log file cannot be written, telling the operator once
// when the file fails and once when it works again.

#include "device/LogBacklog.h"
#include "device/LogQueue.h"
#include "device/LogWriter.h"
#include "device/OperatorMessage.h"
#include "device/QSystemInterface.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QMutexLocker>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

namespace {

LogEntry entry(int board, int channel, const QString &name, const QVariant &value)
{
    return LogEntry{board, channel, name, value};
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

int lineCount(const QString &path) { return int(readAll(path).count(QLatin1Char('\n'))); }

// One value event of a desk unit: its own batch, writer woken.
void logOne(QSystemInterface &sys, const QString &name, int value)
{
    LogQueue::enqueue(&sys, name, entry(0, 1, QStringLiteral("VSet"), value), true);
    LogQueue::wakeWriter(&sys, true);
}

} // namespace

class TestLogWriter : public QObject
{
    Q_OBJECT
    QList<OperatorMessage> messages;
    QByteArray oldHome;
private slots:
    void initTestCase()
    {
        oldHome = qgetenv("HOME");
        setOperatorMessageHook([this](const OperatorMessage &m) {
            messages.append(m);
            return 0;
        });
    }
    void cleanupTestCase() { setOperatorMessageHook({}); }
    void init() { messages.clear(); }
    void cleanup()
    {
        LogQueue::setConfiguredPath(QString());
        LogBacklog::setLimit(LogBacklog::DefaultLimit);
        qputenv("HOME", oldHome);
    }

    // A mainframe burst is written at its end only; stopping writes what is
    // still queued and ends the thread.
    void writerThread()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("v.log"));
        LogQueue::setConfiguredPath(path);
        QSystemInterface sys(2, 0, QStringLiteral("x"), QStringLiteral("x"), 0);
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
        QTRY_COMPARE(lineCount(path), 3);

        // Queued but never woken: the stop writes it.
        LogQueue::enqueue(&sys, QStringLiteral("MF"), entry(-1, -1, QStringLiteral("Sessions"), "s"), true);
        QVERIFY(LogWriter::stop(&sys, 5000));
        QVERIFY(!sys.logWriterThread);
        const QString text = readAll(path);
        QCOMPARE(lineCount(path), 4);
        QVERIFY(text.contains(QStringLiteral("[MF] bd [0] ch [2] par [VMon] val [3]; \n")));
        QVERIFY(text.endsWith(QStringLiteral("[MF] par [Sessions] val [s]; \n")));
        QVERIFY(LogWriter::stop(&sys, 100)); // second stop is harmless
        QVERIFY(messages.isEmpty());
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
        QCOMPARE(lineCount(path), n);
    }

    // The log directory disappears (a file takes its place, which stops root
    // too) while a system logs, and comes back: the operator hears once of
    // the failure and once of the recovery; within the bound nothing is lost,
    // past it the oldest entries go and one line counts them.
    void unwritableDirectory()
    {
        QTemporaryDir dir;
        const QString logDir = dir.filePath(QStringLiteral("logs"));
        const QString path = logDir + QStringLiteral("/v.log");
        auto breakDir = [&] {
            QVERIFY(QDir(logDir).removeRecursively());
            QFile blocker(logDir);
            QVERIFY(blocker.open(QIODevice::WriteOnly));
        };
        auto mendDir = [&] {
            QVERIFY(QFile::remove(logDir));
            QVERIFY(QDir().mkpath(logDir));
        };
        QVERIFY(QDir().mkpath(logDir));
        LogQueue::setConfiguredPath(path);
        LogBacklog::setLimit(5);
        QSystemInterface sys(9, 0, QStringLiteral("x"), QStringLiteral("x"), 0);
        LogWriter::start(&sys);
        WriterGuard guard{sys};

        logOne(sys, QStringLiteral("D"), 0);
        QTRY_COMPARE(lineCount(path), 1);

        // Within the bound: nothing lost.
        breakDir();
        for (int v = 1; v <= 4; ++v)
            logOne(sys, QStringLiteral("D"), v);
        QTRY_COMPARE(messages.size(), 1);
        QTRY_COMPARE(pendingBatches(sys), 0); // every batch reached the writer
        QTest::qWait(1500);                   // and a retry failed too
        QCOMPARE(messages.size(), 1);         // once per outage, not per batch
        QVERIFY(messages.at(0).text.contains(path));
        QCOMPARE(messages.at(0).icon, QMessageBox::Warning);
        mendDir();
        QTRY_COMPARE_WITH_TIMEOUT(lineCount(path), 4, 10000); // retried without a new batch
        for (int v = 1; v <= 4; ++v)
            QVERIFY(readAll(path).contains(QStringLiteral("val [%1]; \n").arg(v)));
        QTRY_COMPARE(messages.size(), 2);
        QVERIFY(messages.at(1).text.contains(QStringLiteral("written again")));
        QVERIFY(messages.at(1).informativeText.contains(QStringLiteral("No logged value was lost")));

        // Past the bound: 8 entries, the 3 oldest dropped and counted.
        breakDir();
        for (int v = 10; v < 18; ++v)
            logOne(sys, QStringLiteral("D"), v);
        QTRY_COMPARE(messages.size(), 3);
        QTRY_COMPARE(pendingBatches(sys), 0);
        mendDir();
        QTRY_COMPARE_WITH_TIMEOUT(lineCount(path), 6, 10000);
        const QString text = readAll(path);
        static const QRegularExpression lost(QStringLiteral(
            "^\\[([-0-9T:.]+)\\]: \\[D\\] log lost 3 entries between \\[([-0-9T:.]+)\\] and \\[\\1\\]; \n"));
        QVERIFY2(lost.match(text).hasMatch(), qPrintable(text));
        for (int v = 10; v < 13; ++v)
            QVERIFY(!text.contains(QStringLiteral("val [%1]").arg(v)));
        for (int v = 13; v < 18; ++v)
            QVERIFY(text.contains(QStringLiteral("val [%1]; \n").arg(v)));
        QTRY_COMPARE(messages.size(), 4);
        QVERIFY(messages.at(3).informativeText.startsWith(QStringLiteral("Logged values lost: 3, between ")));
    }

    // The bound holds only while the file fails: a burst larger than it is
    // written whole.
    void largeBurstWrittenWhole()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("big.log"));
        LogQueue::setConfiguredPath(path);
        LogBacklog::setLimit(5);
        QSystemInterface sys(2, 0, QStringLiteral("x"), QStringLiteral("x"), 0);
        LogWriter::start(&sys);
        WriterGuard guard{sys};
        for (int i = 0; i < 20; ++i)
            LogQueue::enqueue(&sys, QStringLiteral("MF"), entry(0, i, QStringLiteral("VMon"), i), i == 0);
        LogQueue::wakeWriter(&sys, true);
        QTRY_COMPARE(lineCount(path), 20);
        QVERIFY(!readAll(path).contains(QStringLiteral("lost")));
        QVERIFY(messages.isEmpty());
    }

    // A write that fails after the file opened (a full disk) is a failure too;
    // the entries go to the next good file, and a writer that ends while the
    // file still fails says how much it could not write.
    void failingWrite()
    {
        if (!QFile::exists(QStringLiteral("/dev/full")))
            QSKIP("no full device here");
        QTemporaryDir dir;
        LogQueue::setConfiguredPath(QStringLiteral("/dev/full"));
        QSystemInterface sys(9, 0, QStringLiteral("x"), QStringLiteral("x"), 0);
        LogWriter::start(&sys);
        WriterGuard guard{sys};
        logOne(sys, QStringLiteral("D"), 1);
        logOne(sys, QStringLiteral("D"), 2);
        QTRY_COMPARE(messages.size(), 1);
        const QString good = dir.filePath(QStringLiteral("good.log"));
        LogQueue::setConfiguredPath(good);
        QTRY_COMPARE_WITH_TIMEOUT(lineCount(good), 2, 10000);
        QTRY_COMPARE(messages.size(), 2);

        LogQueue::setConfiguredPath(QStringLiteral("/dev/full"));
        logOne(sys, QStringLiteral("D"), 3);
        QTRY_COMPARE(messages.size(), 3);
        QVERIFY(LogWriter::stop(&sys, 5000));
        QTRY_COMPARE(messages.size(), 4);
        QVERIFY(messages.at(3).informativeText.startsWith(QStringLiteral("Logged values not written: 1.")));
    }
};

QTEST_MAIN(TestLogWriter)
#include "tst_log_writer.moc"
