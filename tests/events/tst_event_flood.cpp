// A flood of value events over every channel of a shown mainframe, through
// the real event port: every "VMon" cell ends on the last value the flood
// sent it, and with the value log on every update reaches the log, in order.

#include "tests/support/LiveWindow.h"
#include "device/LogQueue.h"

#include <QFile>
#include <QRegularExpression>

#include <vector>

using namespace live_test;

namespace {

constexpr unsigned int FloodEvents = 30011;

// The flood's targets in its own order: slot, then channel.
std::vector<ORVEHVNode *> vmonCells(QSystemInterface *sys)
{
    std::vector<ORVEHVNode *> cells;
    for (ORVEHVNode *board : sys->systemNode()->children())
        if (board->kind() == KindBoard)
            for (ORVEHVNode *channel : board->children())
                if (ORVEHVNode *p = channel->parameter(QStringLiteral("VMon")))
                    cells.push_back(p);
    return cells;
}

// The values the flood sends to target j, oldest first.
QList<double> sentTo(size_t j, size_t targets)
{
    QList<double> values;
    for (size_t k = j; k < FloodEvents; k += targets)
        values << double(k % 100000) / 10.0;
    return values;
}

double shown(const ORVEHVNode *cell)
{
    return cell->text().section(QLatin1Char(' '), 0, 0).toDouble(); // "192.0  V"
}

} // namespace

class TestEventFlood : public QObject
{
    Q_OBJECT
private:
    WindowFixture fx;

private slots:
    void initTestCase() { QVERIFY(fx.setUpOnce()); }
    void cleanupTestCase()
    {
        fx.tearDownOnce();
        LogQueue::setConfiguredPath(QString());
    }
    void init() { QVERIFY(fx.openWindow()); }
    void cleanup() { fx.closeWindow(); }

    void floodEndsOnTheNewestValues_data()
    {
        QTest::addColumn<bool>("logged");
        QTest::newRow("log off") << false;
        QTest::newRow("log on") << true;
    }
    void floodEndsOnTheNewestValues()
    {
        QFETCH(bool, logged);
        QSystemInterface *sys = connectLive(fx.w, 2, 0, QStringLiteral("192.0.2.10"), QStringLiteral("Crate"),
                                            QStringLiteral("admin"), QStringLiteral("admin"));
        QVERIFY(sys);
        const std::vector<ORVEHVNode *> cells = vmonCells(sys);
        QVERIFY(cells.size() > 10);
        const QString logPath = fx.workDir.filePath(QStringLiteral("flood.log"));
        QFile::remove(logPath);
        LogQueue::setConfiguredPath(logPath);
        if (logged) {
            for (ORVEHVNode *cell : cells)
                cell->setIsLogged(true);
            sys->setIsLogStarted(true);
        }

        QCOMPARE(vhw::floodChannelEvents(vhw::findSystem("192.0.2.10"), FloodEvents), ORVEHV_OK);
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                for (size_t j = 0; j < cells.size(); ++j)
                    if (qAbs(shown(cells[j]) - sentTo(j, cells.size()).last()) > 0.01)
                        return false;
                return true;
            }(),
            120000);
        QVERIFY(fx.messages.isEmpty());
        if (!logged) {
            QVERIFY(!QFile::exists(logPath));
            return;
        }

        // Every value the flood sent, per channel and in order, ends its log.
        static const QRegularExpression line(
            QStringLiteral(R"(bd \[(\d+)\] ch \[(\d+)\] par \[VMon\] val \[([^\]]*)\])"));
        QHash<ORVEHVNode *, QList<double>> logValues;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                QFile f(logPath);
                if (!f.open(QIODevice::ReadOnly))
                    return false;
                logValues.clear();
                for (const QByteArray &text : f.readAll().split('\n')) {
                    const QRegularExpressionMatch m = line.match(QString::fromUtf8(text));
                    if (!m.hasMatch())
                        continue;
                    ORVEHVNode *board = sys->systemNode()->children().value(m.captured(1).toInt());
                    ORVEHVNode *channel = board ? board->children().value(m.captured(2).toInt()) : nullptr;
                    if (channel)
                        logValues[channel->parameter(QStringLiteral("VMon"))] << m.captured(3).toDouble();
                }
                const QList<double> &lastCell = logValues.value(cells.back());
                return !lastCell.isEmpty() && qAbs(lastCell.last() - sentTo(cells.size() - 1, cells.size()).last()) < 0.01;
            }(),
            60000);
        for (size_t j = 0; j < cells.size(); ++j) {
            const QList<double> sent = sentTo(j, cells.size());
            const QList<double> got = logValues.value(cells[j]);
            QVERIFY2(got.size() >= sent.size(),
                     qPrintable(QString("channel %1: %2 of %3 logged").arg(j).arg(got.size()).arg(sent.size())));
            for (int i = 0; i < sent.size(); ++i)
                QVERIFY2(qAbs(got[got.size() - sent.size() + i] - sent[i]) < 0.01,
                         qPrintable(QString("channel %1, update %2").arg(j).arg(i)));
        }
    }
};

QTEST_MAIN(TestEventFlood)
#include "tst_event_flood.moc"
