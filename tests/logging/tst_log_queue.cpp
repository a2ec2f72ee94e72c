// Value-log producer side: line formats, where the file goes, the value
// update rules of mainframes and other systems, one batch per burst.

#include "device/LogQueue.h"
#include "device/ORVEHVNode.h"
#include "device/QSystemInterface.h"

#include <QDateTime>
#include <QMutexLocker>
#include <QTemporaryDir>
#include <QTest>

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

// A system with a tree, so the producer has a name to put into batches.
struct System
{
    QSystemInterface sys;
    System(int type, const QString &name) : sys(type, 0, QStringLiteral("x"), name, 0)
    {
        auto *node = new ORVEHVNode;
        node->initialise(name, KindSystem, type, 0, QStringLiteral("x"));
        sys.setSystemNode(node);
        sys.setCrateOffset(0);
    }
    ~System() { LogQueue::discardPending(&sys); }
};

} // namespace

class TestLogQueue : public QObject
{
    Q_OBJECT
    QByteArray oldHome;
private slots:
    void initTestCase() { oldHome = qgetenv("HOME"); }
    void cleanup()
    {
        LogQueue::setConfiguredPath(QString());
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
        LogQueue::logValueUpdate(&s.sys, logged, 0, 5, QStringLiteral("VSet"), previous, current, true, true);
        QCOMPARE(queued(s.sys),
                 expectEntry ? QStringList{QStringLiteral("0:0/5/VSet=") + current.toString()} : QStringList());
    }

    // A board of a VME HV crate is numbered by its place in the crate.
    void vmeBoardNumberedInCrate()
    {
        System s(5, QStringLiteral("V"));
        s.sys.setCrateOffset(3);
        s.sys.setIsLogStarted(true);
        LogQueue::logValueUpdate(&s.sys, true, 0, 2, QStringLiteral("VSet"), 1, 2, true, true);
        LogQueue::logValueUpdate(&s.sys, true, 0, -1, QStringLiteral("Temp"), 1, 2, true, true);
        QCOMPARE(queued(s.sys), (QStringList{"0:3/2/VSet=2", "1:3/-1/Temp=2"}));
    }

    // Entries of one event burst share a batch; the next burst, and a live
    // insertion, open a new one.
    void burstsBecomeBatches()
    {
        System s(9, QStringLiteral("S"));
        s.sys.setIsLogStarted(true);
        auto update = [&](int ch, int v, bool first) {
            LogQueue::logValueUpdate(&s.sys, true, 0, ch, QStringLiteral("VMon"), 0, v, first, false);
        };
        update(0, 1, true);
        update(1, 2, false);
        update(0, 3, true);
        LogQueue::enqueueLiveInsertion(&s.sys, QStringLiteral("S"));
        update(2, 4, false);
        QCOMPARE(queued(s.sys), (QStringList{"0:0/0/VMon=1", "0:0/1/VMon=2", "1:0/0/VMon=3", "2:-1/-1/=0",
                                              "2:0/2/VMon=4"}));
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
        LogQueue::logValueUpdate(&s.sys, true, 0, 0, QStringLiteral("VMon"), 0, 1, true, false);
        QCOMPARE(woken(), type != 2);
        LogQueue::logValueUpdate(&s.sys, false, 0, 1, QStringLiteral("Status"), 0, 1, false, true);
        QVERIFY(woken());
        // Logging switched off mid-burst: the pending batch is still handed over.
        LogQueue::logValueUpdate(&s.sys, true, 0, 0, QStringLiteral("VMon"), 0, 2, true, false);
        woken();
        s.sys.setIsLogStarted(false);
        LogQueue::logValueUpdate(&s.sys, true, 0, 0, QStringLiteral("VMon"), 2, 3, false, true);
        QVERIFY(woken());
    }
};

QTEST_MAIN(TestLogQueue)
#include "tst_log_queue.moc"
