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

int pendingBatches(QSystemInterface &sys)
{
    QMutexLocker lock(&sys.logMutex);
    return sys.logBatchCount;
}

// A system of `type` logging to `file` in a temporary directory; its writer
// runs until the test function leaves, however it leaves.
struct Writing
{
    QTemporaryDir dir;
    QString path;
    QSystemInterface sys;
    Writing(int type, const QString &file) : path(dir.filePath(file)), sys(type, 0, "x", "x", 0)
    {
        LogQueue::setConfiguredPath(path);
        LogWriter::start(&sys);
    }
    ~Writing() { LogWriter::stop(&sys, 5000); }
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
void logOne(QSystemInterface &sys, int value)
{
    LogQueue::enqueue(&sys, QStringLiteral("D"), LogEntry{0, 1, QStringLiteral("VSet"), value}, true);
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
        Writing w(2, QStringLiteral("v.log"));
        QVERIFY(w.sys.logWriterThread);
        QCOMPARE(LogWriter::start(&w.sys), w.sys.logWriterThread); // one writer per system

        LogQueue::enqueue(&w.sys, QStringLiteral("MF"), LogEntry{0, 0, QStringLiteral("VMon"), 1}, true);
        LogQueue::wakeWriter(&w.sys, false);
        LogQueue::enqueue(&w.sys, QStringLiteral("MF"), LogEntry{0, 1, QStringLiteral("VMon"), 2}, false);
        LogQueue::wakeWriter(&w.sys, false);
        QTest::qWait(100);
        QCOMPARE(pendingBatches(w.sys), 1); // not woken mid-burst
        LogQueue::enqueue(&w.sys, QStringLiteral("MF"), LogEntry{0, 2, QStringLiteral("VMon"), 3}, false);
        LogQueue::wakeWriter(&w.sys, true);
        QTRY_COMPARE(lineCount(w.path), 3);

        // Queued but never woken: the stop writes it.
        LogQueue::enqueue(&w.sys, QStringLiteral("MF"), LogEntry{-1, -1, QStringLiteral("Sessions"), "s"}, true);
        QVERIFY(LogWriter::stop(&w.sys, 5000));
        QVERIFY(!w.sys.logWriterThread);
        const QString text = readAll(w.path);
        QCOMPARE(lineCount(w.path), 4);
        QVERIFY(text.contains(QStringLiteral("[MF] bd [0] ch [2] par [VMon] val [3]; \n")));
        QVERIFY(text.endsWith(QStringLiteral("[MF] par [Sessions] val [s]; \n")));
        QVERIFY(LogWriter::stop(&w.sys, 100)); // second stop is harmless
        QVERIFY(messages.isEmpty());
    }

    // A wake that arrives while the writer is busy must not strand a batch.
    void noLostWakeUnderLoad()
    {
        Writing w(9, QStringLiteral("w.log"));
        const int n = 2000;
        for (int i = 0; i < n; ++i) {
            LogQueue::enqueue(&w.sys, QStringLiteral("D"), LogEntry{0, i % 12, QStringLiteral("VMon"), i}, i % 3 == 0);
            LogQueue::wakeWriter(&w.sys, i % 3 == 2);
        }
        QTRY_COMPARE(pendingBatches(w.sys), 0);
        QVERIFY(LogWriter::stop(&w.sys, 5000));
        QCOMPARE(lineCount(w.path), n);
    }

    // The log directory disappears (a file takes its place, which stops root
    // too) while a system logs, and comes back: the operator hears once of
    // the failure and once of the recovery; within the bound nothing is lost,
    // past it the oldest entries go and one line counts them.
    void unwritableDirectory()
    {
        LogBacklog::setLimit(5);
        Writing w(9, QStringLiteral("logs/v.log"));
        const QString logDir = w.dir.filePath(QStringLiteral("logs"));
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

        logOne(w.sys, 0);
        QTRY_COMPARE(lineCount(w.path), 1);

        // Within the bound: nothing lost.
        breakDir();
        for (int v = 1; v <= 4; ++v)
            logOne(w.sys, v);
        QTRY_COMPARE(messages.size(), 1);
        QTRY_COMPARE(pendingBatches(w.sys), 0); // every batch reached the writer
        QTest::qWait(1500);                   // and a retry failed too
        QCOMPARE(messages.size(), 1);         // once per outage, not per batch
        QVERIFY(messages.at(0).text.contains(w.path));
        QCOMPARE(messages.at(0).icon, QMessageBox::Warning);
        mendDir();
        QTRY_COMPARE_WITH_TIMEOUT(lineCount(w.path), 4, 10000); // retried without a new batch
        for (int v = 1; v <= 4; ++v)
            QVERIFY(readAll(w.path).contains(QStringLiteral("val [%1]; \n").arg(v)));
        QTRY_COMPARE(messages.size(), 2);
        QVERIFY(messages.at(1).text.contains(QStringLiteral("written again")));
        QVERIFY(messages.at(1).informativeText.contains(QStringLiteral("No logged value was lost")));

        // Past the bound: 8 entries, the 3 oldest dropped and counted.
        breakDir();
        for (int v = 10; v < 18; ++v)
            logOne(w.sys, v);
        QTRY_COMPARE(messages.size(), 3);
        QTRY_COMPARE(pendingBatches(w.sys), 0);
        mendDir();
        QTRY_COMPARE_WITH_TIMEOUT(lineCount(w.path), 6, 10000);
        const QString text = readAll(w.path);
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
        LogBacklog::setLimit(5);
        Writing w(2, QStringLiteral("big.log"));
        for (int i = 0; i < 20; ++i)
            LogQueue::enqueue(&w.sys, QStringLiteral("MF"), LogEntry{0, i, QStringLiteral("VMon"), i}, i == 0);
        LogQueue::wakeWriter(&w.sys, true);
        QTRY_COMPARE(lineCount(w.path), 20);
        QVERIFY(!readAll(w.path).contains(QStringLiteral("lost")));
        QVERIFY(messages.isEmpty());
    }

    // A write that fails after the file opened (a full disk) is a failure too;
    // the entries go to the next good file, and a writer that ends while the
    // file still fails says how much it could not write.
    void failingWrite()
    {
        if (!QFile::exists(QStringLiteral("/dev/full")))
            QSKIP("no full device here");
        Writing w(9, QStringLiteral("good.log"));
        LogQueue::setConfiguredPath(QStringLiteral("/dev/full"));
        logOne(w.sys, 1);
        logOne(w.sys, 2);
        QTRY_COMPARE(messages.size(), 1);
        LogQueue::setConfiguredPath(w.path);
        QTRY_COMPARE_WITH_TIMEOUT(lineCount(w.path), 2, 10000);
        QTRY_COMPARE(messages.size(), 2);

        LogQueue::setConfiguredPath(QStringLiteral("/dev/full"));
        logOne(w.sys, 3);
        QTRY_COMPARE(messages.size(), 3);
        QVERIFY(LogWriter::stop(&w.sys, 5000));
        QTRY_COMPARE(messages.size(), 4);
        QVERIFY(messages.at(3).informativeText.startsWith(QStringLiteral("Logged values not written: 1.")));
    }
};

QTEST_MAIN(TestLogWriter)
#include "tst_log_writer.moc"
