// A flood of value events over every channel of a mainframe, through the real
// event port, the event-data thread, the mailbox and its delivery on the GUI
// thread (no widget, so it runs under the race detector too): every "VMon"
// cell ends on the last value the flood sent it, and with the value log on
// every update reaches the log in the order it arrived, across channels,
// with the arrival times of their batches, while the GUI thread is behind.

#include "tests/events/EventTestSupport.h"
#include "device/EventDelivery.h"
#include "device/LogQueue.h"
#include "device/ParameterAccess.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <vector>

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

struct Logged
{
    QString time;
    ORVEHVNode *cell;
    double value;
};

// Logged "VMon" lines, in file order.
QList<Logged> loggedValues(const QString &path, QSystemInterface *sys)
{
    static const QRegularExpression line(
        QStringLiteral(R"(^\[([^\]]+)\]: .* bd \[(\d+)\] ch \[(\d+)\] par \[VMon\] val \[([^\]]*)\])"));
    QList<Logged> values;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return values;
    for (const QByteArray &text : f.readAll().split('\n')) {
        const QRegularExpressionMatch m = line.match(QString::fromUtf8(text));
        ORVEHVNode *board = m.hasMatch() ? sys->systemNode()->children().value(m.captured(2).toInt()) : nullptr;
        ORVEHVNode *channel = board ? board->children().value(m.captured(3).toInt()) : nullptr;
        if (channel)
            values.append({m.captured(1), channel->parameter(QStringLiteral("VMon")), m.captured(4).toDouble()});
    }
    return values;
}

} // namespace

class TestEventFlood : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        EventRouter::registerEventMetaTypes();
        vhw::setTimeMode(vhw::TimeMode::Manual);
    }

    void floodEndsOnTheNewestValues_data()
    {
        QTest::addColumn<bool>("logged");
        QTest::newRow("log off") << false;
        QTest::newRow("log on") << true;
    }
    void floodEndsOnTheNewestValues()
    {
        QFETCH(bool, logged);
        QVERIFY(vhw::resetWorld());
        QTemporaryDir dir;
        const QString logPath = dir.filePath(QStringLiteral("flood.log"));
        LogQueue::setConfiguredPath(logPath);

        EventRouter router;
        EventServer server(&router);
        QVERIFY(server.start());
        QList<QSystemInterface *> live;
        EventDelivery delivery(&router, [&](const QSystemInterface *s) { return live.contains(s); });
        // What the window's handler does with a value: the cell (the log took
        // it on the event-data thread).
        connect(&delivery, &EventDelivery::updateValueAndWidget, this,
                [](QSystemInterface *sys, int bd, int ch, const QString &name, const IDValue_t &val) {
                    ORVEHVNode *p = sys->systemNode()->children().at(bd)->children().at(ch)->parameter(name);
                    p->setValue(eventValue(p, val.Value));
                });

        const vhw::SystemInfo info = findVirtualSystem(2);
        QSystemInterface *sys = connectVirtualSystem(info, &server);
        QVERIFY(sys);
        live << sys;
        QTRY_VERIFY_WITH_TIMEOUT([&] {
            QMutexLocker lock(&EventServer::systemsMutex());
            return sys->eventThread != nullptr;
        }(), 10000);
        const std::vector<ORVEHVNode *> cells = vmonCells(sys);
        QVERIFY(cells.size() > 10);
        if (logged) {
            for (ORVEHVNode *cell : cells)
                cell->setIsLogged(true);
            sys->setIsLogStarted(true);
        }

        QCOMPARE(vhw::floodChannelEvents(info.id, FloodEvents), ORVEHV_OK);
        QThread::msleep(300); // the GUI thread falls behind: records wait in the mailbox
        auto lastOf = [&](size_t j) { return sentTo(j, cells.size()).last(); };
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                for (size_t j = 0; j < cells.size(); ++j)
                    if (qAbs(shown(cells[j]) - lastOf(j)) > 0.01)
                        return false;
                return true;
            }(),
            120000);
        if (logged) {
            // Every value the flood sent ends the log, in the order sent,
            // across channels (the writer may still be behind when the
            // cells are done), and no line is older than the one before.
            QList<Logged> got;
            QTRY_VERIFY_WITH_TIMEOUT((got = loggedValues(logPath, sys)).size() >= int(FloodEvents), 60000);
            const QList<Logged> flood = got.mid(got.size() - int(FloodEvents));
            for (unsigned int k = 0; k < FloodEvents; ++k) {
                const Logged &line = flood[int(k)];
                const size_t j = k % cells.size();
                QVERIFY2(line.cell == cells[j] && qAbs(line.value - double(k % 100000) / 10.0) < 0.01,
                         qPrintable(QStringLiteral("event %1 logged out of order").arg(k)));
                QVERIFY2(k == 0 || line.time >= flood[int(k) - 1].time, qPrintable(line.time));
            }
        } else {
            QVERIFY(!QFile::exists(logPath));
        }
        live.clear();
        disconnectVirtualSystem(&server, sys);
        server.stop();
        LogQueue::setConfiguredPath(QString());
    }
};

QTEST_MAIN(TestEventFlood)
#include "tst_event_flood.moc"
