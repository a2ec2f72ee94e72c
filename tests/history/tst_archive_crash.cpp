// The kill -9 drill: a process archiving at about 1 kHz is killed without
// warning. The file then opens cleanly (its lock is taken over), passes the
// integrity check, and holds every value up to at most one second before
// the last one the process reported handing over, without a hole.

#include "tests/history/ArchiveTestSupport.h"

#include "history/ArchiveSchema.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QSqlQuery>

using namespace history_test;

class TestArchiveCrash : public QObject
{
    Q_OBJECT
private slots:
    void survivesKill9()
    {
#if defined(__SANITIZE_THREAD__)
        QSKIP("the race detector cannot follow a process started from a threaded one; the drill's threads are "
              "in the child, which tst_archive covers");
#endif
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("drill.sqlite"));
        for (int round = 0; round < 2; ++round) {
            QProcess child;
            child.start(QStringLiteral(HISTORY_CRASH_CHILD), {path});
            QVERIFY(child.waitForStarted());
            qint64 lastTime = 0, lastN = -1;
            QElapsedTimer running;
            running.start();
            while (running.elapsed() < 2500) {
                child.waitForReadyRead(100);
                while (child.canReadLine()) {
                    const QList<QByteArray> f = child.readLine().trimmed().split(' ');
                    QVERIFY2(f.value(0) == "handed", f.join(' ').constData());
                    lastTime = f.value(1).toLongLong();
                    lastN = f.value(2).toLongLong();
                }
            }
            child.kill();  // SIGKILL
            QVERIFY(child.waitForFinished());
            QCOMPARE(child.exitStatus(), QProcess::CrashExit);
            QVERIFY(lastN > 100);

            Archive again;
            QVERIFY2(again.open(optionsFor(path)), qPrintable(again.failure()));
            again.flush();
            QSqlDatabase db;
            QVERIFY(ArchiveSchema::openConnection(QStringLiteral("check"), path, &db).isEmpty());
            {
                QSqlQuery q(db);
                QVERIFY(q.exec(QStringLiteral("PRAGMA integrity_check")) && q.next());
                QCOMPARE(q.value(0).toString(), QStringLiteral("ok"));
                QVERIFY(q.exec(QStringLiteral("SELECT max(t) FROM sample")));
                QVERIFY(q.next());
                const qint64 newest = q.value(0).toLongLong() / 1000;
                QVERIFY2(newest >= lastTime - 1000,
                         qPrintable(QStringLiteral("newest stored %0 ms before the last handed over")
                                        .arg(lastTime - newest)));
                qInfo("round %d: handed over up to #%lld, stored up to %lld ms before it", round, lastN,
                      lastTime - newest);
            }
            db = QSqlDatabase();
            ArchiveSchema::closeConnection(QStringLiteral("check"));
        }
        // Both rounds' values are there without a hole: numbers 0..n each
        // round, kept in one item.
        ArchiveReader r(path);
        const QVector<QPointF> all = r.samples({QStringLiteral("Drill"), 0, 0, QStringLiteral("VMon")}, 0,
                                               std::numeric_limits<qint64>::max());
        int rounds = 0;
        for (int i = 0; i < all.size(); ++i) {
            if (all.at(i).y() == 0) {
                ++rounds;
                continue;
            }
            QCOMPARE(all.at(i).y(), all.at(i - 1).y() + 1);
        }
        QCOMPARE(rounds, 2);
    }
};

QTEST_GUILESS_MAIN(TestArchiveCrash)
#include "tst_archive_crash.moc"
