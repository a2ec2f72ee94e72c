// The archive on its own: what is handed over is stored and read back as it
// was (also thinned per pixel column), the dead band, the hand-over that
// never waits and counts what it drops, retention by age and size, the
// journal surviving a reopen, schema versions, and every way the file can
// fail: reported once, values still reach memory.

#include "tests/history/ArchiveTestSupport.h"

#include "history/ArchiveQueue.h"
#include "history/ArchiveSchema.h"
#include "history/Decimation.h"

#include <QDateTime>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>

using namespace history_test;

class TestArchive : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir dir;
    int serial = 0;
    QString freshPath() { return dir.filePath(QStringLiteral("a%0.sqlite").arg(++serial)); }
    const ItemKey vmon{QStringLiteral("Sys"), 2, 5, QStringLiteral("VMon")};

private slots:
    void storedValuesReadBack()
    {
        // As on a first start: the data folder does not exist yet.
        const QString path = dir.filePath(QStringLiteral("first start/KEBODESK/history.sqlite"));
        Archive a;
        QVERIFY(a.open(optionsFor(path)));
        const int item = a.item(vmon, QStringLiteral("CH05"));
        QCOMPARE(a.item(vmon), item);
        const qint64 t0 = QDateTime::currentMSecsSinceEpoch() - 600000;
        QVector<QPointF> sent;
        for (int i = 0; i < 5000; ++i) {
            sent.append(QPointF(double(t0 + i * 100), std::sin(i / 50.0) * 1000));
            a.record(item, t0 + i * 100, sent.last().y());
        }
        QVERIFY(a.flush());
        ArchiveReader r(path);
        QVERIFY2(r.isOpen(), qPrintable(r.error()));
        QCOMPARE(r.samples(vmon, t0, t0 + 5000 * 100), sent);
        QCOMPARE(r.samples(vmon, t0 + 1000, t0 + 1200).size(), 3);
        QCOMPARE(r.samples({QStringLiteral("Other"), 2, 5, QStringLiteral("VMon")}, 0, t0 * 2).size(), 0);
        // Thinned by the database as in memory: the same points.
        for (int columns : {10, 333, 4000}) {
            const QVector<QPointF> db = r.decimated(vmon, t0, t0 + 500000, columns);
            QCOMPARE(db, Decimation::minMaxPerColumn(sent, double(t0), double(t0 + 500000), columns));
            QVERIFY(db.size() <= 2 * columns + 1);  // and the last value
        }
    }

    void decimationKeepsPeaks_data()
    {
        QTest::addColumn<QVector<double>>("values");
        QTest::addColumn<int>("columns");
        QTest::addColumn<QVector<double>>("expected");
        QTest::newRow("one column: extremes in order, then the last") << QVector<double>{3, 9, 1, 5} << 1
                                                                       << QVector<double>{9, 1, 5};
        QTest::newRow("single values stay") << QVector<double>{4, 7} << 2 << QVector<double>{4, 7};
        QTest::newRow("flat column: its start and the last") << QVector<double>{2, 2, 2, 2} << 1
                                                             << QVector<double>{2, 2};
        QTest::newRow("spike survives") << QVector<double>{0, 0, 0, 100, 0, 0, 0, 0} << 2
                                        << QVector<double>{0, 100, 0, 0};
    }
    void decimationKeepsPeaks()
    {
        QFETCH(QVector<double>, values);
        QFETCH(int, columns);
        QFETCH(QVector<double>, expected);
        QVector<QPointF> points;
        for (int i = 0; i < values.size(); ++i)
            points.append(QPointF(i, values.at(i)));
        QCOMPARE(valuesOf(Decimation::minMaxPerColumn(points, 0, values.size() - 1, columns)), expected);
    }

    void deadBand_data()
    {
        QTest::addColumn<double>("band");
        QTest::addColumn<QVector<double>>("values");
        QTest::addColumn<QVector<double>>("stored");
        const QVector<double> ramp{0, 0.2, 0.4, 0.6, 1.2, 1.3, 0.5};
        QTest::newRow("none: every value") << 0.0 << ramp << ramp;
        QTest::newRow("0.5") << 0.5 << ramp << QVector<double>{0, 0.6, 1.2, 0.5};
        QTest::newRow("wider than all") << 5.0 << ramp << QVector<double>{0};
    }
    void deadBand()
    {
        QFETCH(double, band);
        QFETCH(QVector<double>, values);
        QFETCH(QVector<double>, stored);
        const QString path = freshPath();
        ArchiveOptions o = optionsFor(path);
        if (band > 0)
            o.deadBands.insert(QStringLiteral("VMon"), band);
        Archive a;
        QVERIFY(a.open(o));
        const int item = a.item(vmon);
        const int other = a.item({QStringLiteral("Sys"), 2, 5, QStringLiteral("VSet")});
        a.watch(item);
        const qint64 t0 = QDateTime::currentMSecsSinceEpoch();
        for (int i = 0; i < values.size(); ++i) {
            a.record(item, t0 + i, values.at(i));
            a.record(other, t0 + i, values.at(i));
        }
        QVERIFY(a.flush());
        ArchiveReader r(path);
        QCOMPARE(valuesOf(r.samples(vmon, t0, t0 + 100)), stored);
        // Other parameters and the memory keep every value.
        QCOMPARE(valuesOf(r.samples({QStringLiteral("Sys"), 2, 5, QStringLiteral("VSet")}, t0, t0 + 100)), values);
        QCOMPARE(valuesOf(a.live(item)->between(t0, t0 + 100)), values);
    }

    // The GUI thread never waits: past the capacity only the newest value
    // per item is kept, the others are counted.
    void fullHandOverKeepsNewestPerItem()
    {
        ArchiveQueue q(4);
        for (int i = 0; i < 4; ++i)
            q.push(Sample{i % 2, i, double(i)});
        q.push(Sample{0, 10, 10});
        q.push(Sample{1, 11, 11});
        q.push(Sample{0, 12, 12});  // replaces 10
        q.push(Sample{2, 13, 13});
        q.push(Sample{2, 14, 14});  // replaces 13
        q.push(Sample{0, 15, 15});  // replaces 12
        QCOMPARE(q.lost(), qint64(3));
        const ArchiveBatch b = q.take(0);
        QVector<double> values;
        for (const Sample &s : b.samples)
            values.append(s.value);
        std::sort(values.begin() + 4, values.end());
        QCOMPARE(values, (QVector<double>{0, 1, 2, 3, 11, 14, 15}));
        // Room again once the writer took the values.
        q.push(Sample{0, 20, 20});
        QCOMPARE(q.take(0).samples.size(), 1);
        QCOMPARE(q.lost(), qint64(3));
    }

    void retentionByAgeAndSize()
    {
        const QString path = freshPath();
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        const qint64 day = 24 * 3600 * 1000;
        {
            Archive a;
            ArchiveOptions o = optionsFor(path);
            o.retention.days = 3;
            QVERIFY(a.open(o));
            const int item = a.item(vmon);
            for (int d = 6; d >= 0; --d)
                a.record(item, now - d * day - 1000, d);
            JournalEntry old;
            old.time = now - 5 * day;
            a.recordJournal(old);
            JournalEntry recent;
            recent.time = now - 1000;
            a.recordJournal(recent);
            QVERIFY(a.flush());
            a.pruneSoon();
            QVERIFY(a.flush());
            QVERIFY(a.flush());
            ArchiveReader r(path);
            QCOMPARE(valuesOf(r.samples(vmon, 0, now)), (QVector<double>{2, 1, 0}));
            QCOMPARE(r.journal(0, now).size(), 1);
        }
        // Over the size, the oldest go until it fits; the newest stay.
        Archive a;
        ArchiveOptions o = optionsFor(path);
        o.retention.bytes = 400 * 1024;
        QVERIFY(a.open(o));
        const ItemKey vset{QStringLiteral("Sys"), 2, 5, QStringLiteral("VSet")};
        const int item = a.item(vset);
        const int count = 60000;
        for (int i = 0; i < count; ++i)
            a.record(item, now - 2 * day + i * 1000, i);
        QVERIFY(a.flush(10000));
        a.pruneSoon();
        QVERIFY(a.flush(10000));
        QVERIFY(a.flush(10000));
        ArchiveReader r(path);
        const QVector<QPointF> kept = r.samples(vset, 0, now);
        QVERIFY(kept.size() > 1000);
        QVERIFY2(kept.size() < count / 2, qPrintable(QString::number(kept.size())));
        QCOMPARE(kept.last().y(), double(count - 1));
        QSqlDatabase db;
        QVERIFY(ArchiveSchema::openConnection(QStringLiteral("size"), path, &db).isEmpty());
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("SELECT (page_count - freelist_count) * page_size FROM pragma_page_count,"
                                      " pragma_freelist_count, pragma_page_size")) && q.next());
        QVERIFY2(q.value(0).toLongLong() <= o.retention.bytes, qPrintable(q.value(0).toString()));
        q = QSqlQuery();
        db = QSqlDatabase();
        ArchiveSchema::closeConnection(QStringLiteral("size"));
    }

    void journalSurvivesReopen()
    {
        const QString path = freshPath();
        qint64 firstId = 0;
        {
            Archive a;
            QVERIFY(a.open(optionsFor(path)));
            QSignalSpy added(&a, &Archive::journalAdded);
            JournalEntry e;
            e.time = 123456;
            e.system = QStringLiteral("Sys");
            e.board = 1;
            e.channel = 3;
            e.channelName = QStringLiteral("CH03");
            e.kind = JournalKind::Channel;
            e.event = JournalEvent::Raised;
            e.text = QStringLiteral("Ovc");
            a.recordJournal(e);
            a.recordJournal(e);
            QCOMPARE(added.size(), 2);
            firstId = added.first().first().value<JournalEntry>().id;
            a.acknowledge({firstId});
        }
        Archive again;
        QVERIFY(again.open(optionsFor(path)));
        const QVector<JournalEntry> stored = again.storedJournal();
        QCOMPARE(stored.size(), 2);
        QCOMPARE(stored.first().id, firstId);
        QCOMPARE(stored.first().channelName, QStringLiteral("CH03"));
        QCOMPARE(stored.first().text, QStringLiteral("Ovc"));
        QCOMPARE(stored.first().event, JournalEvent::Raised);
        QVERIFY(stored.first().acknowledged);
        QVERIFY(!stored.last().acknowledged);
        // New entries continue the numbering.
        QSignalSpy added(&again, &Archive::journalAdded);
        again.recordJournal(JournalEntry());
        QCOMPARE(added.first().first().value<JournalEntry>().id, stored.last().id + 1);
    }

    // A file of the first version gets the journal and keeps its values.
    void olderSchemaMigrated()
    {
        const QString path = freshPath();
        const qint64 t0 = QDateTime::currentMSecsSinceEpoch();
        {
            QSqlDatabase db;
            QVERIFY(ArchiveSchema::openConnection(QStringLiteral("v1"), path, &db).isEmpty());
            QSqlQuery q(db);
            QVERIFY(q.exec(QStringLiteral("CREATE TABLE item(id INTEGER PRIMARY KEY, system TEXT NOT NULL, board INTEGER"
                                          " NOT NULL, channel INTEGER NOT NULL, parameter TEXT NOT NULL, label TEXT,"
                                          " UNIQUE(system, board, channel, parameter))")));
            QVERIFY(q.exec(QStringLiteral("CREATE TABLE sample(item INTEGER NOT NULL, t INTEGER NOT NULL, v REAL,"
                                          " PRIMARY KEY(item, t)) WITHOUT ROWID")));
            QVERIFY(q.exec(QStringLiteral("INSERT INTO item VALUES (7, 'Sys', 2, 5, 'VMon', 'CH05')")));
            QVERIFY(q.exec(QStringLiteral("INSERT INTO sample VALUES (7, %0, 42.5)").arg(t0)));
            QVERIFY(q.exec(QStringLiteral("PRAGMA user_version=1")));
            q = QSqlQuery();
            db = QSqlDatabase();
            ArchiveSchema::closeConnection(QStringLiteral("v1"));
        }
        Archive a;
        QVERIFY(a.open(optionsFor(path)));
        JournalEntry e;
        e.time = t0;
        a.recordJournal(e);
        a.record(a.item(vmon), t0 + 1, 43.5);
        QVERIFY(a.flush());
        ArchiveReader r(path);
        QVERIFY(r.isOpen());
        QCOMPARE(valuesOf(r.samples(vmon, t0, t0 + 5)), (QVector<double>{42.5, 43.5}));
        QCOMPARE(r.journal(0, QDateTime::currentMSecsSinceEpoch()).size(), 1);
    }

    // Every file that cannot serve: one report, values still in memory,
    // the journal still announced.
    void unusableFileReportedOnce_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("not a database") << "garbage" << "file is not a database";
        QTest::newRow("newer schema") << "newer" << "newer version";
        QTest::newRow("folder cannot be made") << "nofolder" << "cannot be created";
        QTest::newRow("in use by another instance") << "locked" << "another instance";
    }
    void unusableFileReportedOnce()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        QString path = freshPath();
        std::unique_ptr<Archive> first;
        if (kind == QLatin1String("garbage")) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(8192, 'x'));
        } else if (kind == QLatin1String("newer")) {
            QSqlDatabase db;
            QVERIFY(ArchiveSchema::openConnection(QStringLiteral("newer"), path, &db).isEmpty());
            QSqlQuery(db).exec(QStringLiteral("PRAGMA user_version=99"));
            db = QSqlDatabase();
            ArchiveSchema::closeConnection(QStringLiteral("newer"));
        } else if (kind == QLatin1String("nofolder")) {
            QFile blocker(dir.filePath(QStringLiteral("plainfile")));
            QVERIFY(blocker.open(QIODevice::WriteOnly));
            path = blocker.fileName() + QStringLiteral("/sub/history.sqlite");
        } else {
            first = std::make_unique<Archive>();
            QVERIFY(first->open(optionsFor(path)));
        }
        Archive a;
        QSignalSpy unavailable(&a, &Archive::unavailable);
        QSignalSpy journal(&a, &Archive::journalAdded);
        QVERIFY(!a.open(optionsFor(path)));
        QVERIFY(!a.isAvailable());
        QCOMPARE(unavailable.size(), 1);
        QVERIFY2(unavailable.first().first().toString().contains(reason), qPrintable(a.failure()));
        const int item = a.item(vmon);
        a.watch(item);
        a.record(item, 1, 1.5);
        a.record(item, 2, 2.5);
        a.recordJournal(JournalEntry());
        QCOMPARE(valuesOf(a.live(item)->between(0, 10)), (QVector<double>{1.5, 2.5}));
        QCOMPARE(journal.size(), 1);
        QCOMPARE(unavailable.size(), 1);
    }

    // The disk fills while the program runs: one report, from then on
    // memory only; what was stored before stays readable.
    void fullDiskReportedOnce()
    {
        FullDisk disk(256 * 1024);
        QVERIFY(disk.isReady());
        const QString path = disk.path(QStringLiteral("history.sqlite"));
        Archive a;
        QSignalSpy unavailable(&a, &Archive::unavailable);
        QVERIFY(a.open(optionsFor(path)));
        const int item = a.item(vmon);
        a.watch(item);
        const qint64 t0 = QDateTime::currentMSecsSinceEpoch();
        a.record(item, t0, 1);
        QVERIFY(a.flush());
        QVERIFY(a.isAvailable());
        qint64 t = t0 + 1000;
        for (int round = 0; round < 200 && unavailable.isEmpty(); ++round) {
            for (int i = 0; i < 2000; ++i)
                a.record(item, ++t, double(t));
            a.flush();
            QCoreApplication::processEvents();
        }
        QTRY_COMPARE(unavailable.size(), 1);
        qInfo("disk filled (%s): %s", qPrintable(disk.how()), qPrintable(a.failure()));
        QVERIFY(!a.isAvailable());
        for (int i = 0; i < 5000; ++i)
            a.record(item, ++t, 7);
        a.flush();
        QCoreApplication::processEvents();
        QCOMPARE(unavailable.size(), 1);
        QCOMPARE(a.live(item)->at(a.live(item)->size() - 1).y(), 7.0);
        ArchiveReader r(path);
        QVERIFY(r.isOpen());
        QCOMPARE(r.samples(vmon, t0, t0 + 500).size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestArchive)
#include "tst_archive.moc"
