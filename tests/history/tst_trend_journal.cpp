// The trend window and the journal dock on an archive of their own: the
// archive and the memory joined without a gap or a value twice, following
// and pausing, the ranges, zooming and panning, the 48 lines, CSV and PNG;
// the journal newest first, its filters, acknowledging (kept in the
// archive), its CSV and the double click.

#include "tests/history/ArchiveTestSupport.h"

#include "history/JournalModel.h"
#include "history/widgets/QJournalDock.h"
#include "history/widgets/QTrendChartView.h"
#include "history/widgets/QTrendWindow.h"

#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QImage>
#include <QLineEdit>
#include <QLineSeries>
#include <QRegularExpression>
#include <QTableView>

using namespace history_test;

namespace {

const ItemKey Vmon{QStringLiteral("Sys"), 1, 0, QStringLiteral("VMon")};
const ItemKey Imon{QStringLiteral("Sys"), 1, 0, QStringLiteral("IMon")};

JournalEntry entry(const QString &system, JournalKind kind, JournalEvent event, const QString &text, int channel = -1)
{
    JournalEntry e;
    e.time = QDateTime::currentMSecsSinceEpoch();
    e.system = system;
    e.board = channel >= 0 ? 2 : -1;
    e.channel = channel;
    e.channelName = channel >= 0 ? QStringLiteral("CH%0").arg(channel) : QString();
    e.kind = kind;
    e.event = event;
    e.text = text;
    return e;
}

QStringList column(QAbstractItemModel *m, int c)
{
    QStringList out;
    for (int r = 0; r < m->rowCount(); ++r)
        out.append(m->index(r, c).data().toString());
    return out;
}

} // namespace

class TestTrendJournal : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir dir;
    std::unique_ptr<Archive> archive;
    int serial = 0;
    QString path;

private slots:
    void init()
    {
        path = dir.filePath(QStringLiteral("t%0.sqlite").arg(++serial));
        archive = std::make_unique<Archive>();
        QVERIFY(archive->open(optionsFor(path)));
    }
    void cleanup() { archive.reset(); }

    // Values from before the window opened come from the archive, later ones
    // from memory: each exactly once, in order.
    void archiveAndMemoryJoined()
    {
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        const int item = archive->item(Vmon);
        for (int i = 0; i < 300; ++i)
            archive->record(item, now - 300000 + i * 1000, i);
        QTrendWindow trend(archive.get());
        QVERIFY(trend.addChannel(Vmon, QStringLiteral("CH00")));
        QVERIFY(trend.isFollowing());
        QTest::qWait(5);
        const qint64 later = QDateTime::currentMSecsSinceEpoch();
        for (int i = 0; i < 5; ++i)
            archive->record(item, later + i, 300 + i);
        QTest::qWait(10);
        trend.refresh();
        const QStringList lines = trend.csv().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.first(), QStringLiteral("time,CH00 VMon"));
        QCOMPARE(lines.size(), 1 + 305);
        const QRegularExpression iso(QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}([+-]\\d\\d:\\d\\d|Z),"));
        for (int i = 1; i < lines.size(); ++i) {
            QVERIFY2(iso.match(lines.at(i)).hasMatch(), qPrintable(lines.at(i)));
            QCOMPARE(lines.at(i).section(QLatin1Char(','), 1).toDouble(), double(i - 1));
        }
        // Drawn: thinned, but first, last, extremes there.
        QLineSeries *s = trend.series(0);
        QCOMPARE(s->at(0).y(), 0.0);
        QCOMPARE(s->at(s->count() - 1).y(), 304.0);
    }

    void csvHasOneColumnPerLine()
    {
        const int v = archive->item(Vmon), i = archive->item(Imon);
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        archive->record(v, now - 3000, 10);
        archive->record(i, now - 3000, 1.5);
        archive->record(v, now - 2000, 11);
        archive->record(i, now - 1000, 1.25);
        QTrendWindow trend(archive.get());
        QVERIFY(trend.addChannel(Vmon, QStringLiteral("A, \"first\"")));
        QVERIFY(trend.addChannel(Imon, QStringLiteral("B")));
        QVERIFY(!trend.addChannel(Imon, QStringLiteral("B")));
        const QStringList lines = trend.csv().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.first(), QStringLiteral("time,\"A, \"\"first\"\" VMon\",B IMon"));
        QCOMPARE(lines.size(), 4);
        QVERIFY(lines.at(1).endsWith(QLatin1String(",10,1.5")));
        QVERIFY(lines.at(2).endsWith(QLatin1String(",11,")));
        QVERIFY(lines.at(3).endsWith(QLatin1String(",,1.25")));
        const QString file = dir.filePath(QStringLiteral("trend.csv"));
        QVERIFY(trend.exportCsv(file));
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(f.readAll()), trend.csv());
        QString error;
        QVERIFY(!trend.exportCsv(dir.filePath(QStringLiteral("missing/x.csv")), &error));
        QVERIFY(!error.isEmpty());
    }

    void pngOfWhatIsShown()
    {
        QTrendWindow trend(archive.get());
        trend.resize(800, 500);
        trend.show();
        QVERIFY(trend.addChannel(Vmon, QStringLiteral("CH00")));
        const QString file = dir.filePath(QStringLiteral("trend.png"));
        QVERIFY(trend.exportPng(file));
        QImage image(file);
        QVERIFY(!image.isNull());
        QVERIFY(image.width() > 400);
    }

    // 48 lines, each read from the archive (by several connections at once)
    // into its own series.
    void fortyEightLinesAtMost()
    {
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        auto key = [](int c) { return ItemKey{QStringLiteral("Sys"), c / 12, c % 12, QStringLiteral("VMon")}; };
        for (int c = 0; c < 48; ++c) {
            const int item = archive->item(key(c));
            for (int i = 0; i < 50; ++i)
                archive->record(item, now - 60000 + i * 1000, c * 1000 + i);
        }
        QTrendWindow trend(archive.get());
        for (int c = 0; c < 48; ++c)
            QVERIFY(trend.addChannel(key(c), QString()));
        QVERIFY(!trend.addChannel({QStringLiteral("Other"), 0, 0, QStringLiteral("VMon")}, QString()));
        QCOMPARE(trend.channelCount(), 48);
        trend.refresh();
        for (int c = 0; c < 48; ++c) {
            const QLineSeries *s = trend.series(c);
            QVERIFY(s->count() > 0);
            QCOMPARE(s->at(s->count() - 1).y(), double(c * 1000 + 49));
            double low = 1e9, high = -1;
            for (int i = 0; i < s->count(); ++i) {
                low = qMin(low, s->at(i).y());
                high = qMax(high, s->at(i).y());
            }
            QCOMPARE(low, double(c * 1000));
            QCOMPARE(high, double(c * 1000 + 49));
        }
    }

    // Pausing holds the range; zoom, pan and a band stop following too.
    void followPauseZoomPan()
    {
        QTrendWindow trend(archive.get());
        trend.resize(900, 500);
        trend.show();
        QVERIFY(QTest::qWaitForWindowExposed(&trend));
        QVERIFY(trend.addChannel(Vmon, QStringLiteral("CH00")));
        auto *ranges = trend.findChild<QComboBox *>(QStringLiteral("trendRange"));
        QCOMPARE(ranges->currentText(), QStringLiteral("10 min"));
        QCOMPARE(trend.to() - trend.from(), QTrendWindow::TenMinutes);
        ranges->setCurrentIndex(1);
        emit ranges->activated(1);
        QCOMPARE(trend.to() - trend.from(), QTrendWindow::OneHour);
        QVERIFY(trend.isFollowing());
        const qint64 to = trend.to();
        QTest::qWait(600);
        QVERIFY(trend.to() > to);  // scrolled with the present

        trend.setFollowing(false);
        const qint64 heldTo = trend.to();
        QTest::qWait(600);
        QCOMPARE(trend.to(), heldTo);

        QTrendChartView *view = trend.chartView();
        const QPoint centre = view->mapFromScene(trend.chart()->plotArea().center());
        const qint64 span = trend.to() - trend.from();
        QWheelEvent wheel(centre, view->mapToGlobal(centre), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(view->viewport(), &wheel);
        QVERIFY(qAbs((trend.to() - trend.from()) - qint64(span * 0.8)) < 2);
        QVERIFY(!trend.isFollowing());

        const qint64 from = trend.from();
        QTest::keyClick(view, Qt::Key_Right);
        QVERIFY(qAbs(trend.from() - (from + (trend.to() - trend.from()) / 10)) < 1000);

        const QRectF area = trend.chart()->plotArea();
        const QPoint a = view->mapFromScene(QPointF(area.left() + area.width() * 0.25, area.center().y()));
        const QPoint b = view->mapFromScene(QPointF(area.left() + area.width() * 0.75, area.center().y()));
        const qint64 before = trend.to() - trend.from();
        QTest::mousePress(view->viewport(), Qt::LeftButton, Qt::NoModifier, a);
        QTest::mouseMove(view->viewport(), b);
        QTest::mouseRelease(view->viewport(), Qt::LeftButton, Qt::NoModifier, b);
        QVERIFY(qAbs((trend.to() - trend.from()) - before / 2) < before / 50);

        // Back to following the present.
        ranges->setCurrentIndex(0);
        emit ranges->activated(0);
        QVERIFY(trend.isFollowing());
        QVERIFY(qAbs(trend.to() - QDateTime::currentMSecsSinceEpoch()) < 1000);
    }

    // Newest first; filters; acknowledging counts down and is kept.
    void journalFilterAcknowledge()
    {
        JournalModel model(archive.get());
        QJournalDock dock(&model);
        QSignalSpy counts(&model, &JournalModel::unacknowledgedChanged);
        archive->recordJournal(entry("A", JournalKind::Channel, JournalEvent::Raised, "I-Tripped", 3));
        archive->recordJournal(entry("B", JournalKind::Command, JournalEvent::Done, "KILL"));
        archive->recordJournal(entry("A", JournalKind::Write, JournalEvent::Failed, "VSet = 5 refused", 1));
        archive->recordJournal(entry("B", JournalKind::Connection, JournalEvent::Lost, "Connection lost"));
        QCOMPARE(model.unacknowledgedCount(), 3);
        QCOMPARE(counts.last().first().toInt(), 3);
        QTableView *view = dock.view();
        QCOMPARE(column(view->model(), JournalModel::TextColumn),
                 (QStringList{"Connection lost", "VSet = 5 refused", "KILL", "I-Tripped"}));

        dock.findChild<QLineEdit *>(QStringLiteral("journalText"))->setText(QStringLiteral("trip"));
        QCOMPARE(column(view->model(), JournalModel::TextColumn), QStringList{"I-Tripped"});
        dock.findChild<QLineEdit *>(QStringLiteral("journalText"))->clear();
        auto *systems = dock.findChild<QComboBox *>(QStringLiteral("journalSystem"));
        QCOMPARE(systems->count(), 3);
        emit systems->activated(systems->findText(QStringLiteral("B")));
        QCOMPARE(column(view->model(), JournalModel::TextColumn), (QStringList{"Connection lost", "KILL"}));
        emit systems->activated(0);
        auto *kinds = dock.findChild<QComboBox *>(QStringLiteral("journalKind"));
        emit kinds->activated(kinds->findText(QStringLiteral("Write")));
        QCOMPARE(column(view->model(), JournalModel::TextColumn), QStringList{"VSet = 5 refused"});

        // What is shown goes to the CSV.
        const QString file = dir.filePath(QStringLiteral("journal.csv"));
        QVERIFY(dock.exportCsv(file));
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines.first(), QStringLiteral("time,system,board,channel,kind,event,condition,acknowledged"));
        QVERIFY2(lines.last().endsWith(QLatin1String(",A,2,CH1 (1),Write,failed,VSet = 5 refused,no")), qPrintable(lines.last()));

        view->selectRow(0);
        dock.acknowledgeSelected();
        QCOMPARE(model.unacknowledgedCount(), 2);
        emit kinds->activated(0);
        // The double click asks for the channel of a channel's entry.
        QSignalSpy asked(&dock, &QJournalDock::channelRequested);
        emit view->doubleClicked(view->model()->index(3, 0));
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked.first().first().value<JournalEntry>().channel, 3);
        dock.acknowledgeAll();
        QCOMPARE(model.unacknowledgedCount(), 0);
        QCOMPARE(counts.last().first().toInt(), 0);

        // Kept: a reopened archive lists them acknowledged.
        archive.reset();
        archive = std::make_unique<Archive>();
        QVERIFY(archive->open(optionsFor(path)));
        JournalModel again(archive.get());
        QCOMPARE(again.rowCount(), 4);
        QCOMPARE(again.unacknowledgedCount(), 0);
    }
};

QTEST_MAIN(TestTrendJournal)
#include "tst_trend_journal.moc"
