// The value log: line formats, where the file goes, the value update rules
// of mainframes and other systems, one batch per burst, every value taken on
// the event-data thread in arrival order while the table's mailbox merges;
// and the writer thread,
// which drains the queue, writes a mainframe's burst at its end, ends on
// request after writing what is left, and keeps entries (within its bound)
// while the log file cannot be written, telling the operator once when the
// file fails and once when it works again.

#include "device/EventDelivery.h"
#include "device/LogBacklog.h"
#include "device/LogQueue.h"
#include "device/LogWriter.h"
#include "device/ORVEHVNode.h"
#include "device/OperatorMessage.h"
#include "device/ParameterAccess.h"
#include "device/QSystemInterface.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QMutexLocker>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <cstring>

Q_DECLARE_METATYPE(LogEntry)

namespace {

// Every queued entry, batch by batch: "<batch>:<board>/<channel>/<name>=<value>".
QStringList queued(QSystemInterface &sys)
{
    QMutexLocker lock(&sys.logMutex);
    QStringList out;
    int n = 0;
    for (LogBatch *b = sys.logQueueHead; b; b = b->next, ++n)
        for (const LogEntry &e : b->entries)
            out << QStringLiteral("%1:%2/%3/%4=%5").arg(n).arg(e.board).arg(e.channel).arg(e.parameter,
                                                                                             e.value.toString());
    return out;
}

// A system with a tree, so the producer has a name to put into batches: one
// board of three channels, each with a logged "VMon" (channel 2's is not
// logged).
struct System
{
    QSystemInterface sys;
    System(int type, const QString &name) : sys(type, 0, QStringLiteral("x"), name, 0)
    {
        auto *node = new ORVEHVNode;
        node->initialise(name, KindSystem, type, 0, QStringLiteral("x"));
        auto *board = new ORVEHVNode;
        board->initialise(QStringLiteral("Board00"), KindBoard);
        node->addChild(board);
        for (int c = 0; c < 3; ++c) {
            auto *channel = new ORVEHVNode;
            channel->initialise(QStringLiteral("Chan%1").arg(c), KindChannel);
            board->addChild(channel);
            auto *vmon = new ORVEHVNode;
            vmon->initialise(QStringLiteral("VMon"), KindChannelParameter);
            vmon->setDataType(DataFloat);
            vmon->setIsLogged(c != 2);
            vmon->setValue(NodeValue(0.f, ValueOk));
            channel->addParameter(vmon);
        }
        sys.setSystemNode(node);
        sys.setCrateOffset(0);
    }
    ~System() { LogQueue::discardPending(&sys); }
    LogQueue::Source source() { return {sys.systemNode()->name(), sys.crateOffset(), 0}; }
};

// A "VMon" event of channel `ch` as the event-data thread takes it.
bool putEvent(QSystemInterface &sys, int ch, float value, bool first = false, bool last = false)
{
    IDValue_t v{};
    std::memcpy(v.Value, &value, sizeof value);
    return EventDelivery::putValue(&sys, 0, ch, QStringLiteral("VMon"), v, first, last);
}

// What the mailbox hands the table: "A1" for value 1 of channel 0, "|" a
// live insertion.
QString tableGets(QSystemInterface &sys)
{
    QStringList out;
    EventRecord r;
    while (sys.eventMailbox.take(r))
        out << (r.kind == EventRecord::LiveInsertion
                    ? QStringLiteral("|")
                    : QChar('A' + r.channel) + QString::number(eventVariant(DataFloat, r.toIDValue(r.value).Value).toInt()));
    return out.join(QLatin1Char(' '));
}

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

class TestLogQueue : public QObject
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

    void lineFormats_data()
    {
        QTest::addColumn<LogEntry>("e");
        QTest::addColumn<QString>("line");
        const QString t = QStringLiteral("[2026-03-04T05:06:07.089]: [HV1] ");
        QTest::newRow("channel") << LogEntry{0, 5, "VMon", 12.5} << t + "bd [0] ch [5] par [VMon] val [12.5]; \n";
        QTest::newRow("board") << LogEntry{0, -1, "Temp", 31} << t + "bd [0] par [Temp] val [31]; \n";
        QTest::newRow("system") << LogEntry{-1, -1, "Sessions", "a b"} << t + "par [Sessions] val [a b]; \n";
        QTest::newRow("live insertion") << LogEntry{-1, -1, QString(), 0} << t + "live inserted/removed board; \n";
        QTest::newRow("placeholders kept") << LogEntry{-1, -1, "P%2", "%1"} << t + "par [P%2] val [%1]; \n";
        QTest::newRow("text value") << LogEntry{3, 11, "Name", QString::fromUtf8("µ det")}
                                    << t + QString::fromUtf8("bd [3] ch [11] par [Name] val [µ det]; \n");
    }
    // The single-entry and the writer's batch formatting give the same text.
    void lineFormats()
    {
        QFETCH(LogEntry, e);
        QFETCH(QString, line);
        const QDateTime t(QDate(2026, 3, 4), QTime(5, 6, 7, 89));
        QCOMPARE(LogQueue::formatEntry(t, QStringLiteral("HV1"), e), line);
        LogBatch b;
        b.systemName = QStringLiteral("HV1");
        b.created = t;
        b.entries = {e, e};
        QCOMPARE(LogQueue::formatBatch(b), line + line);
    }

    void fileLocation_data()
    {
        QTest::addColumn<QString>("home");       // relative to a temp dir
        QTest::addColumn<QString>("configured");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("expected");   // relative to the temp dir
        QTest::newRow("shared file") << "u" << "" << "Crate" << 2 << "u/ORVEKEBODESK.log";
        QTest::newRow("shared by every other type") << "u" << "" << "Desk" << 9 << "u/ORVEKEBODESK.log";
        QTest::newRow("per-system file") << "u" << "" << "Box1" << 13 << "u/ORVEKEBOLog_Box1.log";
        QTest::newRow("snap cut") << "u/snap/kebo/12" << "" << "Box1" << 13 << "u/ORVEKEBOLog_Box1.log";
        QTest::newRow("Snap kept") << "u/Snap" << "" << "A" << 2 << "u/Snap/ORVEKEBODESK.log";
        QTest::newRow("snap home itself") << "u/snap" << "" << "A" << 9 << "u/ORVEKEBODESK.log";
        QTest::newRow("home named snape kept") << "snape" << "" << "A" << 9 << "snape/ORVEKEBODESK.log";
        QTest::newRow("snap inside a name kept") << "u/mysnaps/x" << "" << "A" << 9 << "u/mysnaps/x/ORVEKEBODESK.log";
        QTest::newRow("name cannot leave the dir") << "u" << "" << "../x/y" << 13 << "u/ORVEKEBOLog_.._x_y.log";
        QTest::newRow("configured wins") << "u" << "c/v.log" << "Box1" << 13 << "c/v.log";
    }
    void fileLocation()
    {
        QFETCH(QString, home);
        QFETCH(QString, configured);
        QFETCH(QString, name);
        QFETCH(int, type);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath(home));
        qputenv("HOME", dir.filePath(home).toLocal8Bit());
        LogQueue::setConfiguredPath(configured.isEmpty() ? QString() : dir.filePath(configured));
        QCOMPARE(QDir::cleanPath(LogQueue::logFilePath(name, type)), QDir::cleanPath(dir.filePath(expected)));
    }

    // Two live systems of type 13 with the same name write to two files; a
    // released name is free again. The shared and configured files stay shared.
    void sameNameKeptApart()
    {
        QTemporaryDir dir;
        qputenv("HOME", dir.path().toLocal8Bit());
        int a = 0, b = 0, c = 0;
        const QString first = LogQueue::claimLogFile(&a, QStringLiteral("Box"), 13);
        QCOMPARE(first, dir.filePath(QStringLiteral("ORVEKEBOLog_Box.log")));
        QCOMPARE(LogQueue::claimLogFile(&a, QStringLiteral("Box"), 13), first);
        const QString second = LogQueue::claimLogFile(&b, QStringLiteral("Box"), 13);
        QCOMPARE(second, dir.filePath(QStringLiteral("ORVEKEBOLog_Box_2.log")));
        QCOMPARE(LogQueue::claimLogFile(&a, QStringLiteral("Other"), 2),
                 LogQueue::claimLogFile(&b, QStringLiteral("Other"), 9));
        LogQueue::releaseFiles(&a);
        QCOMPARE(LogQueue::claimLogFile(&c, QStringLiteral("Box"), 13), first);
        QCOMPARE(LogQueue::claimLogFile(&b, QStringLiteral("Box"), 13), second);
        LogQueue::releaseFiles(&b);
        LogQueue::releaseFiles(&c);
    }

    void valueUpdateRules_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<bool>("logged");
        QTest::addColumn<bool>("started");
        QTest::addColumn<QVariant>("previous");
        QTest::addColumn<QVariant>("current");
        QTest::addColumn<bool>("expectEntry");
        QTest::newRow("mainframe repeats") << 2 << true << true << QVariant(100.0) << QVariant(100.0) << true;
        QTest::newRow("MF3500 repeats") << 3 << true << true << QVariant(5) << QVariant(5) << true;
        QTest::newRow("desk unit repeat") << 9 << true << true << QVariant(100.0) << QVariant(100.0) << false;
        QTest::newRow("desk unit change") << 9 << true << true << QVariant(100.0) << QVariant(200.0) << true;
        QTest::newRow("box repeat") << 13 << true << true << QVariant("a") << QVariant("a") << false;
        QTest::newRow("first value") << 11 << true << true << QVariant() << QVariant(1) << true;
        QTest::newRow("not logged") << 2 << false << true << QVariant(1) << QVariant(2) << false;
        QTest::newRow("logging off") << 9 << true << false << QVariant(1) << QVariant(2) << false;
    }
    void valueUpdateRules()
    {
        QFETCH(int, type);
        QFETCH(bool, logged);
        QFETCH(bool, started);
        QFETCH(QVariant, previous);
        QFETCH(QVariant, current);
        QFETCH(bool, expectEntry);
        System s(type, QStringLiteral("S"));
        s.sys.setIsLogStarted(started);
        LogQueue::logValue(&s.sys, s.source(), logged, 0, 5, QStringLiteral("VSet"), previous, current, true, true);
        QCOMPARE(queued(s.sys),
                 expectEntry ? QStringList{QStringLiteral("0:0/5/VSet=") + current.toString()} : QStringList());
    }

    // A board of a VME HV crate is numbered by its place in the crate.
    void vmeBoardNumberedInCrate()
    {
        System s(5, QStringLiteral("V"));
        s.sys.setCrateOffset(3);
        s.sys.setIsLogStarted(true);
        LogQueue::logValue(&s.sys, s.source(), true, 0, 2, QStringLiteral("VSet"), 1, 2, true, true);
        LogQueue::logValue(&s.sys, s.source(), true, 0, -1, QStringLiteral("Temp"), 1, 2, true, true);
        QCOMPARE(queued(s.sys), (QStringList{"0:3/2/VSet=2", "1:3/-1/Temp=2"}));
    }

    // Every value reaches the log as it arrives, in order, whatever the
    // table's mailbox merged meanwhile; the log's choice and the system's
    // logging apply per value. Notation: "A1" a value 1 for channel A, "|" a
    // live insertion, "log"/"nolog" logging switched on/off.
    void eventThreadLogsEveryValue_data()
    {
        QTest::addColumn<QString>("ops");
        QTest::addColumn<QString>("logged");
        QTest::addColumn<QString>("table");
        QTest::newRow("log on keeps arrival order") << "log A1 B1 A2 A3" << "A1 B1 A2 A3" << "A3 B1";
        QTest::newRow("barrier with log on") << "log A1 A2 | A3 B4 A5" << "A1 A2 | A3 B4 A5" << "A2 | A5 B4";
        QTest::newRow("log off again") << "log A1 B1 A2 nolog A3" << "A1 B1 A2" << "A3 B1";
        QTest::newRow("log switched on keeps what follows") << "A1 B1 log A2 B2" << "A2 B2" << "A2 B2";
        QTest::newRow("unlogged item") << "log A1 C1 A2" << "A1 A2" << "A2 C1";
    }
    void eventThreadLogsEveryValue()
    {
        QFETCH(QString, ops);
        QFETCH(QString, logged);
        QFETCH(QString, table);
        System s(2, QStringLiteral("MF"));
        for (const QString &op : ops.split(QLatin1Char(' '))) {
            if (op == QLatin1String("log") || op == QLatin1String("nolog"))
                s.sys.setIsLogStarted(op == QLatin1String("log"));
            else if (op == QLatin1String("|"))
                EventDelivery::putLiveInsertion(&s.sys, false, false);
            else
                putEvent(s.sys, op.at(0).unicode() - 'A', op.mid(1).toFloat());
        }
        QStringList got;
        for (const QString &entry : queued(s.sys)) {
            const QString e = entry.section(QLatin1Char(':'), 1);  // "0/0/VMon=1"
            got << (e == QLatin1String("-1/-1/=0") ? QStringLiteral("|")
                                                   : QChar('A' + e.section(QLatin1Char('/'), 1, 1).toInt())
                                                         + e.section(QLatin1Char('='), 1));
        }
        QCOMPARE(got.join(QLatin1Char(' ')), logged);
        QCOMPARE(tableGets(s.sys), table);
    }

    // A desk unit logs a value only when it changed from what the device
    // reported before, however long the table took to show the one before.
    void changesCountedAsReported()
    {
        System s(9, QStringLiteral("D"));
        s.sys.setIsLogStarted(true);
        for (float v : {0.f, 5.f, 5.f, 6.f, 5.f})
            putEvent(s.sys, 0, v, true, true);
        QCOMPARE(queued(s.sys), (QStringList{"0:0/0/VMon=5", "1:0/0/VMon=6", "2:0/0/VMon=5"}));
        QCOMPARE(tableGets(s.sys), QStringLiteral("A5"));
    }

    // Entries of one event burst share a batch, the next burst opens a new
    // one. Entries carry the arrival time of their own event batch, however
    // late the GUI thread takes the values; an entry whose batch began with
    // an unlogged value opens a batch of its own rather than joining the one
    // before; a live insertion opens a batch too.
    void entriesKeepTheirBatchTime()
    {
        System s(2, QStringLiteral("MF"));
        s.sys.setIsLogStarted(true);
        QList<qint64> arrivals;
        auto put = [&](int ch, float value, bool first, bool last) {
            putEvent(s.sys, ch, value, first, last);
            if (first)
                arrivals << s.sys.eventMailbox.batchTimeOfPut();
        };
        put(0, 1, true, false); // A, B
        put(1, 2, false, true);
        QThread::msleep(30);
        put(0, 3, true, true); // A
        QThread::msleep(30);
        put(2, 4, true, false); // C (not logged), B
        put(1, 5, false, true);
        QCOMPARE(queued(s.sys), (QStringList{"0:0/0/VMon=1", "0:0/1/VMon=2", "1:0/0/VMon=3", "2:0/1/VMon=5"}));
        QList<qint64> stamped;
        {
            QMutexLocker lock(&s.sys.logMutex);
            for (LogBatch *b = s.sys.logQueueHead; b; b = b->next)
                stamped << b->created.toMSecsSinceEpoch();
        }
        QCOMPARE(stamped, arrivals);
        QVERIFY(stamped[1] - stamped[0] >= 30 && stamped[2] - stamped[1] >= 30);
        LogQueue::enqueueLiveInsertion(&s.sys, QStringLiteral("MF"));
        LogQueue::logValue(&s.sys, s.source(), true, 0, 2, QStringLiteral("VMon"), 0, 6, false, false);
        QCOMPARE(queued(s.sys).mid(4), (QStringList{"3:-1/-1/=0", "3:0/2/VMon=6"}));
    }

    // A mainframe's writer is woken once, at the end of the burst, also when
    // the burst's last event is not a logged one; other systems at every event.
    void wakeRule_data()
    {
        QTest::addColumn<int>("type");
        QTest::newRow("mainframe") << 2;
        QTest::newRow("desk unit") << 9;
    }
    void wakeRule()
    {
        QFETCH(int, type);
        System s(type, QStringLiteral("S"));
        s.sys.setIsLogStarted(true);
        auto woken = [&] {
            QMutexLocker lock(&s.sys.logMutex);
            const bool w = s.sys.logWakePending;
            s.sys.logWakePending = false;
            return w;
        };
        LogQueue::logValue(&s.sys, s.source(), true, 0, 0, QStringLiteral("VMon"), 0, 1, true, false);
        QCOMPARE(woken(), type != 2);
        LogQueue::logValue(&s.sys, s.source(), false, 0, 1, QStringLiteral("Status"), 0, 1, false, true);
        QVERIFY(woken());
        // Logging switched off mid-burst: the pending batch is still handed over.
        LogQueue::logValue(&s.sys, s.source(), true, 0, 0, QStringLiteral("VMon"), 0, 2, true, false);
        woken();
        s.sys.setIsLogStarted(false);
        LogQueue::logValue(&s.sys, s.source(), true, 0, 0, QStringLiteral("VMon"), 2, 3, false, true);
        QVERIFY(woken());
    }

    // A mainframe burst is written at its end only, whole though larger than
    // the backlog's bound (which holds only while the file fails); stopping
    // writes what is still queued and ends the thread.
    void writerThread()
    {
        LogBacklog::setLimit(2);
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
        QVERIFY(!text.contains(QStringLiteral("lost")));
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

QTEST_MAIN(TestLogQueue)
#include "tst_log_queue.moc"
