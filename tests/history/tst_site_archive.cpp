// The archive on a site's shared PostgreSQL server, started by the test:
// two stations writing into one database each read the other's values and
// journal, the server going away and coming back (nothing lost, nothing
// twice; past the backlog's bound the count lost is told), and the roles of
// the site's SQL file (a viewer cannot write, a database not set up is
// refused), and the site view of the trend window and the journal.

#include "tests/history/ArchiveTestSupport.h"
#include "tests/support/PgTestServer.h"

#include "history/JournalModel.h"
#include "history/TrendData.h"
#include "history/widgets/ArchiveLogin.h"
#include "history/widgets/QSiteItemsDialog.h"
#include "history/widgets/QTrendWindow.h"

#include <QAction>
#include <QApplication>
#include <QInputDialog>
#include <QTimer>
#include <QLineEdit>
#include <QLineSeries>
#include <QListWidget>

#include <QDateTime>
#include <QSqlQuery>

using namespace history_test;

class TestSiteArchive : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<PgTestServer> pg;
    const QString system = QStringLiteral("Crate1");

    ArchiveOptions siteOptions(const QString &station, const QString &user,
                               const QString &database = QStringLiteral("site"))
    {
        ArchiveOptions o = optionsFor(QString());
        o.server.host = QStringLiteral("127.0.0.1");
        o.server.port = pg->port();
        o.server.database = database;
        o.server.user = user;
        o.server.station = station;
        o.retryMs = 100;
        return o;
    }
    ItemKey vmon(const QString &station = QString()) const
    {
        return {system, 0, 3, QStringLiteral("VMon"), station};
    }
    // Rows of the item in the database: (count, distinct times, sum of values).
    QString rowsOf(const QString &station)
    {
        return pg->psql(QStringLiteral("SELECT count(*), count(DISTINCT t), sum(v) FROM sample JOIN item ON"
                                       " item.id = sample.item WHERE station = '%0'")
                            .arg(station),
                        QStringLiteral("site"));
    }

private slots:
    void initTestCase()
    {
        pg = std::make_unique<PgTestServer>();
        if (!pg->isRunning())
            QSKIP(qPrintable(QStringLiteral("no PostgreSQL server for the test: ") + pg->why()));
        if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
            QSKIP("Qt's PostgreSQL driver is not installed (libqt6sql6-psql)");
        for (const char *database : {"site", "empty"}) {
            pg->psql(QStringLiteral("CREATE DATABASE ") + QLatin1String(database));
            QVERIFY2(pg->why().isEmpty(), qPrintable(pg->why()));
        }
        // Twice: the file may be run again on a database already set up.
        for (int run = 0; run < 2; ++run) {
            pg->psql(QStringLiteral(KEBO_SITE_SCHEMA), QStringLiteral("site"), true);
            QVERIFY2(pg->why().isEmpty(), qPrintable(pg->why()));
        }
        pg->psql(QStringLiteral("CREATE ROLE north LOGIN IN ROLE kebo_station;"
                                "CREATE ROLE south LOGIN IN ROLE kebo_station;"
                                "CREATE ROLE crew LOGIN IN ROLE kebo_viewer"));
        QVERIFY2(pg->why().isEmpty(), qPrintable(pg->why()));
    }

    // The same system name on both stations: the station tells them apart.
    void twoStationsSeeEachOther()
    {
        Archive north, south;
        QVERIFY(north.open(siteOptions(QStringLiteral("north"), QStringLiteral("north"))));
        QVERIFY(south.open(siteOptions(QStringLiteral("south"), QStringLiteral("south"))));
        const qint64 t0 = QDateTime::currentMSecsSinceEpoch() - 60000;
        const int n = north.item(vmon(), QStringLiteral("CH03")), s = south.item(vmon());
        QVector<double> northSent, southSent;
        // Values that must keep every bit through the statement's text.
        const QVector<double> odd{qInf(), -qInf(), 1e-300, 1.7976931348623157e308, 0.1 + 0.2};
        for (int i = 0; i < 200; ++i) {
            northSent.append(i < odd.size() ? odd.at(i) : 100 + i);
            southSent.append(-i * 0.5);
            north.record(n, t0 + i * 100, northSent.last());
            south.record(s, t0 + i * 100, southSent.last());
        }
        JournalEntry trip;
        trip.time = t0;
        trip.system = system;
        trip.text = QStringLiteral("I-Tripped");
        north.recordJournal(trip);
        QVERIFY(north.flush());
        QVERIFY(south.flush());

        // Each one's trend of the other's channel, and of its own.
        for (Archive *a : {&north, &south}) {
            const bool isNorth = a == &north;
            TrendData trend(a);
            QVERIFY(trend.add(vmon(isNorth ? QStringLiteral("south") : QStringLiteral("north")), QStringLiteral("other")));
            QVERIFY(trend.add(vmon(), QStringLiteral("own")));
            QCOMPARE(valuesOf(trend.rawPoints(0, t0, t0 + 60000)), isNorth ? southSent : northSent);
            QCOMPARE(valuesOf(trend.rawPoints(1, t0, t0 + 60000)), isNorth ? northSent : southSent);
            // The plot's thinned part, read on the server.
            trend.load(t0, t0 + 60000, 50);
            QCOMPARE(trend.channel(0).stored.last().y(), (isNorth ? southSent : northSent).last());
            QVERIFY(trend.channel(0).stored.size() <= 2 * 50 + 1);
        }
        // Only the owner writes an item: reading the other's left no row.
        QCOMPARE(pg->psql(QStringLiteral("SELECT string_agg(station, ',' ORDER BY station) FROM item"),
                          QStringLiteral("site")),
                 QStringLiteral("north,south"));
        // The journal: each station's own on start, the other's as the site's.
        ArchiveReader southReader(south.location());
        const QVector<JournalEntry> site = southReader.siteJournal(t0 - 1);
        QCOMPARE(site.size(), 1);
        QCOMPARE(site.first().station, QStringLiteral("north"));
        QCOMPARE(site.first().text, trip.text);
        QVERIFY(southReader.latestJournal(10).isEmpty());
        QCOMPARE(ArchiveReader(north.location()).latestJournal(10).size(), 1);
    }

    // The server goes away mid-run and comes back: told once, every value
    // arrives once, in order; past the bound, the number lost is told.
    void serverOutage_data()
    {
        QTest::addColumn<int>("capacity");
        QTest::addColumn<int>("lost");
        QTest::newRow("backlog holds the outage") << 100000 << 0;
        QTest::newRow("backlog of 300 values") << 300 << 1500 - 299;
    }
    void serverOutage()
    {
        QFETCH(int, capacity);
        QFETCH(int, lost);
        const QString station = QStringLiteral("outage%0").arg(capacity);
        ArchiveOptions o = siteOptions(station, QStringLiteral("north"));
        o.backlogCapacity = capacity;
        Archive a;
        QVERIFY(a.open(o));
        QSignalSpy gone(&a, &Archive::serverLost), back(&a, &Archive::serverBack);
        const int item = a.item(vmon());
        const qint64 t0 = QDateTime::currentMSecsSinceEpoch() - 100000;
        int sent = 0;
        auto send = [&](int count) {
            for (int i = 0; i < count; ++i, ++sent)
                a.record(item, t0 + sent * 10, sent);
        };
        send(1000);
        QVERIFY(a.flush());
        QVERIFY(pg->stop());
        send(1);  // the value that finds the server gone
        QVERIFY(!a.flush());
        QTRY_COMPARE(gone.size(), 1);
        send(1500);
        QVERIFY(!a.flush());
        QTest::qWait(300);  // a few attempts while it is away
        QCOMPARE(gone.size(), 1);
        QVERIFY(pg->start());
        QTRY_COMPARE_WITH_TIMEOUT(back.size(), 1, 10000);
        QCOMPARE(back.first().first().toLongLong(), qint64(lost));
        send(10);
        QVERIFY(a.flush());
        QCOMPARE(a.lostValues(), qint64(lost));

        // Stored once each, in time order, the ones that did not fit missing
        // from the end of the outage.
        const QVector<QPointF> stored = ArchiveReader(a.location()).samples(vmon(), t0, t0 + sent * 10);
        QCOMPARE(stored.size(), sent - lost);
        QVector<double> expected;
        for (int i = 0; i < sent; ++i)
            if (i < 1001 + 1500 - lost || i >= 1001 + 1500)
                expected.append(i);
        QCOMPARE(valuesOf(stored), expected);
        QCOMPARE(rowsOf(station).section(QLatin1Char('|'), 0, 1),
                 QStringLiteral("%0|%0").arg(sent - lost));
        // The journal has the outage, once.
        const QVector<JournalEntry> journal = ArchiveReader(a.location()).latestJournal(10);
        QCOMPARE(journal.size(), 2);
        QCOMPARE(journal.at(0).event, JournalEvent::Lost);
        QCOMPARE(journal.at(1).event, JournalEvent::Restored);
        QVERIFY2(journal.at(1).text.contains(lost ? QString::number(lost) : QStringLiteral("nothing was lost")),
                 qPrintable(journal.at(1).text));
    }

    // "Site..." in the trend window adds another station's line, filled from
    // the archive; the journal's site view shows that station's alarm to
    // read, not to acknowledge.
    void siteView()
    {
        Archive west, east;
        QVERIFY(west.open(siteOptions(QStringLiteral("west"), QStringLiteral("north"))));
        QVERIFY(east.open(siteOptions(QStringLiteral("east"), QStringLiteral("south"))));
        const qint64 t0 = QDateTime::currentMSecsSinceEpoch() - 5000;
        const int item = east.item(vmon(), QStringLiteral("CH03"));
        for (int i = 0; i < 40; ++i)
            east.record(item, t0 + i * 100, 500 + i);
        JournalEntry trip;
        trip.time = t0;
        trip.system = system;
        trip.text = QStringLiteral("Ovv");
        east.recordJournal(trip);
        QVERIFY(east.flush());

        QTrendWindow trend(&west);
        QAction *site = trend.findChild<QAction *>(QStringLiteral("trendSite"));
        QVERIFY(site);
        site->trigger();
        auto *dialog = trend.findChild<QSiteItemsDialog *>();
        QVERIFY(dialog);
        dialog->filter()->setText(QStringLiteral("east VMon"));
        QList<QListWidgetItem *> shown;
        for (int row = 0; row < dialog->list()->count(); ++row)
            if (!dialog->list()->item(row)->isHidden())
                shown.append(dialog->list()->item(row));
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first()->text(), QStringLiteral("east / Crate1 / board 0 / CH03 (3) / VMon"));
        shown.first()->setSelected(true);
        dialog->accept();
        QCOMPARE(trend.channelCount(), 1);
        QCOMPARE(trend.series(0)->name(), QStringLiteral("east: CH03 VMon"));
        QVector<double> drawn;
        for (const QPointF &p : trend.series(0)->points())
            drawn.append(p.y());
        QCOMPARE(drawn.first(), 500.0);
        QCOMPARE(drawn.last(), 539.0);
        // While it follows, east's new values arrive through the archive.
        east.record(item, QDateTime::currentMSecsSinceEpoch(), 540);
        QVERIFY(east.flush());
        QTRY_COMPARE_WITH_TIMEOUT(trend.series(0)->points().last().y(), 540.0, TrendData::ForeignReloadMs + 3000);
        // Nothing of east's was written as west's.
        QCOMPARE(pg->psql(QStringLiteral("SELECT count(*) FROM item WHERE station = 'west'"), QStringLiteral("site")),
                 QStringLiteral("0"));

        JournalModel journal(&west);
        QVERIFY(journal.canShowSite());
        journal.setSiteView(true);
        // Every other station's entries (the earlier cases' too), east's once.
        const int rows = journal.rowCount();
        int eastRow = -1;
        for (int row = 0; row < rows; ++row)
            if (journal.entry(row).station == QLatin1String("east")) {
                QCOMPARE(eastRow, -1);
                eastRow = row;
            }
        QVERIFY(eastRow >= 0);
        const QModelIndex systemCell = journal.index(eastRow, JournalModel::SystemColumn);
        QCOMPARE(systemCell.data().toString(), QStringLiteral("east: Crate1"));
        QCOMPARE(journal.unacknowledgedCount(), 0);
        journal.acknowledgeAll();
        QVERIFY(!journal.entry(eastRow).acknowledged);
        QVERIFY(!systemCell.data(JournalModel::PendingRole).toBool());
        // Polling again adds nothing twice; leaving the site view removes it.
        journal.pollSite();
        QCOMPARE(journal.rowCount(), rows);
        journal.setSiteView(false);
        QCOMPARE(journal.rowCount(), 0);
    }

    // A role that needs its password: found in the file the client library
    // reads (~/.pgpass, here named by PGPASSFILE), else asked.
    void password_data()
    {
        QTest::addColumn<QString>("pgpass");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("asked");
        QTest::addColumn<bool>("opens");
        QTest::newRow("from the password file") << "secret" << "" << 0 << true;
        QTest::newRow("asked") << "" << "secret" << 1 << true;
        QTest::newRow("asked, wrong every time") << "" << "guess" << 3 << false;
        QTest::newRow("wrong in the file, asked") << "guess" << "secret" << 1 << true;
    }
    void password()
    {
        QFETCH(QString, pgpass);
        QFETCH(QString, typed);
        QFETCH(int, asked);
        QFETCH(bool, opens);
        static bool once = false;
        if (!once) {
            pg->psql(QStringLiteral("CREATE ROLE guarded LOGIN PASSWORD 'secret' IN ROLE kebo_station"));
            QVERIFY2(pg->why().isEmpty() && pg->requirePassword(QStringLiteral("guarded")), qPrintable(pg->why()));
            once = true;
        }
        QTemporaryDir home;
        const QString passFile = home.filePath(QStringLiteral("pgpass"));
        QFile file(passFile);
        QVERIFY(file.open(QIODevice::WriteOnly));
        if (!pgpass.isEmpty())
            file.write(QStringLiteral("127.0.0.1:%0:site:guarded:%1\n").arg(pg->port()).arg(pgpass).toUtf8());
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        qputenv("PGPASSFILE", QFile::encodeName(passFile));
        int dialogs = 0;
        QTimer answer;
        connect(&answer, &QTimer::timeout, this, [&] {
            if (auto *input = qobject_cast<QInputDialog *>(QApplication::activeModalWidget())) {
                ++dialogs;
                input->setTextValue(typed);
                input->accept();
            }
        });
        answer.start(20);
        Archive a;
        QSignalSpy unavailable(&a, &Archive::unavailable);
        const bool opened = ArchiveLogin::open(a, siteOptions(QStringLiteral("guarded"), QStringLiteral("guarded")),
                                               nullptr);
        qunsetenv("PGPASSFILE");
        QCOMPARE(dialogs, asked);
        QCOMPARE(opened, opens);
        if (!opens)
            QVERIFY2(unavailable.value(0).value(0).toString().contains(QLatin1String("password authentication failed")),
                     qPrintable(unavailable.value(0).value(0).toString()));
    }

    // What the site's roles allow, and a database nobody set up.
    void refusedArchive_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("reason");
        QTest::newRow("viewer writes") << "crew" << "site" << "permission denied";
        QTest::newRow("not set up") << "north" << "empty" << "has not been set up";
        QTest::newRow("no such database") << "north" << "nowhere" << "does not exist";
    }
    void refusedArchive()
    {
        QFETCH(QString, user);
        QFETCH(QString, database);
        QFETCH(QString, reason);
        Archive a;
        QSignalSpy unavailable(&a, &Archive::unavailable);
        if (a.open(siteOptions(QStringLiteral("crew"), user, database)))
            a.record(a.item(vmon()), QDateTime::currentMSecsSinceEpoch(), 1);
        QTRY_COMPARE(unavailable.size(), 1);
        QVERIFY2(unavailable.first().first().toString().contains(reason),
                 qPrintable(unavailable.first().first().toString()));
        QVERIFY(!a.isAvailable());
    }
};

QTEST_MAIN(TestSiteArchive)
#include "tst_site_archive.moc"
