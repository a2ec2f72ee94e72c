// Event bursts into a visible channel table, through the real program: a main
// window on the offscreen platform, its event server, the largest virtual
// system connected. Prints, in one run:
//   - the floor: 1060-byte records sent from a thread to the GUI thread as
//     bare queued signals (what any design that posts records pays);
//   - throughput into visible cells: a burst spread over every channel, from
//     the flood's start until every "VMon" cell shows the burst's last value
//     for its channel, and its ratio to the floor;
//   - event-loop stalls (gaps of a 1 ms heartbeat, less its interval) during a
//     paced flood: p50, p99, worst; without archiving the values, then with,
//     three times in turns, and the median of each;
//   - catch-up: from the flood's last record until every cell shows it.
//
// With "log" as the fourth argument the system's value log is on for every
// "VMon" cell (into a temporary file) during the burst and the flood. With
// "mqtt" (fourth or fifth) a mosquitto broker is started on loopback and a
// third kind of flood runs with archiving and publishing every value on it.
//
// Usage: bench_events [burst events (200000)] [flood seconds (10)] [flood events/s (100000)] [log] [mqtt]

#include "app/HistoryHooks.h"
#include "app/MainWindow.h"
#include "app/PublishHooks.h"
#include "publish/MqttPublisher.h"
#include "tests/support/MosquittoBroker.h"
#include "app/SystemConnections.h"
#include "history/Archive.h"
#include "app/SystemPanelBuilder.h"
#include "device/LogQueue.h"
#include "device/ORVEHVNode.h"
#include "device/QSystemInterface.h"
#include "virtualhw/VirtualControl.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMutexLocker>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include <sys/resource.h>

#include "device/EventServer.h"

namespace {

// Emits records from its own thread; the receiver counts them on the GUI thread.
class FloorSender : public QObject
{
    Q_OBJECT
signals:
    void record(int board, int channel, QString name, IDValue_t value);
};

double floorRate(QApplication &app, unsigned int count)
{
    qRegisterMetaType<IDValue_t>("IDValue_t");
    FloorSender sender;
    QObject receiver;
    unsigned int received = 0;
    QObject::connect(&sender, &FloorSender::record, &receiver,
                     [&](int, int, const QString &, const IDValue_t &v) { received += v.Type == 0; },
                     Qt::QueuedConnection);
    QElapsedTimer t;
    t.start();
    QThread *thread = QThread::create([&] {
        IDValue_t v;
        std::memset(&v, 0, sizeof v);
        std::strcpy(v.ItemID, "VMon");
        for (unsigned int i = 0; i < count; ++i) {
            v.ChannelIndex = int(i % 48);
            emit sender.record(0, v.ChannelIndex, QString::fromLatin1(v.ItemID), v);
        }
    });
    thread->start();
    while (received < count)
        app.processEvents(QEventLoop::AllEvents, 50);
    const double rate = count / (double(t.nsecsElapsed()) / 1e9);
    thread->wait();
    delete thread;
    return rate;
}

vhw::SystemInfo largestSystem()
{
    vhw::SystemInfo best;
    int bestChannels = 0;
    for (const vhw::SystemInfo &s : vhw::listSystems()) {
        int handle = -1;
        if (ORVEHV_InitSystem(s.systemType, s.linkType, s.argument.c_str(), s.user.c_str(), s.password.c_str(),
                              &handle)
            != ORVEHV_OK)
            continue;
        unsigned short slotCount = 0;
        unsigned short *channels = nullptr;
        char *models = nullptr, *descriptions = nullptr;
        uint32_t *serials = nullptr;
        unsigned char *fwMin = nullptr, *fwMax = nullptr;
        if (ORVEHV_GetCrateMap(handle, &slotCount, &channels, &models, &descriptions, &serials, &fwMin, &fwMax)
            == ORVEHV_OK) {
            int total = 0;
            for (int i = 0; i < slotCount; ++i)
                total += channels[i];
            if (total > bestChannels) {
                bestChannels = total;
                best = s;
            }
        }
        ORVEHV_Free(channels);
        ORVEHV_Free(models);
        ORVEHV_Free(descriptions);
        ORVEHV_Free(serials);
        ORVEHV_Free(fwMin);
        ORVEHV_Free(fwMax);
        ORVEHV_DeinitSystem(handle);
    }
    return best;
}

// The "VMon" cells of the system in the flood's target order (slot, channel).
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

// True when every cell shows the last value a flood of n records sent it.
bool cellsShowFloodEnd(const std::vector<ORVEHVNode *> &cells, unsigned int n)
{
    const size_t t = cells.size();
    for (size_t j = 0; j < t && j < n; ++j) {
        const size_t k = j + t * ((n - 1 - j) / t);
        const double expected = double(k % 100000) / 10.0;
        bool ok = false;
        const double shown = cells[j]->text().section(QLatin1Char(' '), 0, 0).toDouble(&ok); // "192.0  V"
        if (!ok || std::fabs(shown - expected) > 0.06)
            return false;
    }
    return true;
}

// Runs the event loop until the cells show the flood's end; the time that
// took in ns, or -1 after the limit.
qint64 waitForCells(QApplication &app, const std::vector<ORVEHVNode *> &cells, unsigned int n, qint64 limitMs)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < limitMs) {
        app.processEvents(QEventLoop::AllEvents, 2);
        if (cellsShowFloodEnd(cells, n))
            return t.nsecsElapsed();
    }
    return -1;
}

double percentile(std::vector<qint64> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return double(v[std::min(v.size() - 1, size_t(p * double(v.size())))]) / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    const unsigned int burst = argc > 1 ? unsigned(atoi(argv[1])) : 200000u;
    const int floodSeconds = argc > 2 ? atoi(argv[2]) : 10;
    const unsigned int floodRate = argc > 3 ? unsigned(atoi(argv[3])) : 100000u;
    vhw::setTimeMode(vhw::TimeMode::Manual);
    setOperatorMessageHook([](const OperatorMessage &m) {
        std::fprintf(stderr, "message: %s\n", qPrintable(m.text));
        return 0;
    });

    const double floor = floorRate(app, burst);

    // Publishing: a broker of its own, named in a settings store of its own.
    bool mqtt = false;
    for (int i = 4; i < argc; ++i)
        mqtt = mqtt || QByteArray(argv[i]) == "mqtt";
    broker_test::Broker broker;
    QTemporaryDir configDir;
    if (mqtt) {
        if (!broker_test::missingTools().isEmpty() || !broker.start()) {
            std::fprintf(stderr, "no mosquitto broker: %s%s\n", qPrintable(broker_test::missingTools()),
                         qPrintable(broker.error));
            return 1;
        }
        // A site's broker runs on another machine: here it must not take
        // the GUI thread's core either.
        setpriority(PRIO_PROCESS, pid_t(broker.pid()), 10);
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, configDir.path());
        QSettings(QStringLiteral("ORVE"), QStringLiteral("KEBODESK"))
            .setValue(QStringLiteral("mqtt/broker"), QStringLiteral("127.0.0.1:%0").arg(broker.port));
    }

    const vhw::SystemInfo info = largestSystem();
    MainWindow *w = MainWindow::create();
    if (!w || !w->startEventServer() || info.id < 0) {
        std::fprintf(stderr, "no event server or no system\n");
        return 1;
    }
    auto *publishing = w->findChild<PublishHooks *>();
    MqttPublisher *publisher = publishing ? publishing->publisher() : nullptr;
    if (mqtt && !publisher) {
        std::fprintf(stderr, "the program does not publish\n");
        return 1;
    }
    if (publishing)
        publishing->setPublishing(false);
    w->resize(1400, 900);
    w->show();
    const QString arg = QString::fromStdString(info.argument);
    if (w->connectToSystem(info.systemType, info.linkType, arg, QStringLiteral("Bench"),
                           QString::fromStdString(info.user), QString::fromStdString(info.password))
        != 0) {
        std::fprintf(stderr, "could not connect %s\n", info.argument.c_str());
        return 1;
    }
    QSystemInterface *sys = w->connections()->systems().last();
    for (QElapsedTimer t; !t.isValid() || t.elapsed() < 10000;) {
        if (!t.isValid())
            t.start();
        app.processEvents(QEventLoop::AllEvents, 20);
        QMutexLocker lock(&EventServer::systemsMutex());
        if (sys->eventThread)
            break;
    }
    const std::vector<ORVEHVNode *> cells = vmonCells(sys);
    const bool logOn = argc > 4 && QByteArray(argv[4]) == "log";
    QTemporaryDir logDir;
    if (logOn) {
        LogQueue::setConfiguredPath(logDir.filePath(QStringLiteral("bench.log")));
        for (ORVEHVNode *cell : cells)
            cell->setIsLogged(true);
        sys->setIsLogStarted(true);
    }

    // --- burst: as fast as the peer reads ---------------------------------
    vhw::floodChannelEvents(info.id, burst);
    const qint64 burstNs = waitForCells(app, cells, burst, 60000);

    const double cellRate = burstNs > 0 ? burst / (double(burstNs) / 1e9) : 0;

    // --- paced floods: heartbeat gaps, then catch-up; archiving off, then on
    struct Flood
    {
        std::vector<qint64> gaps;
        double catchUpMs = -1;
        qint64 archived = 0;
        qint64 published = 0;
        const char *label = "";
    };
    const unsigned int floodEvents = floodRate * unsigned(floodSeconds);
    auto runFlood = [&](bool archiving, bool publish, const char *label) {
        Flood f;
        f.label = label;
        HistoryHooks::instance()->setArchiving(archiving);
        if (publishing)
            publishing->setPublishing(publish);
        const qint64 publishedBefore = publisher ? publisher->publishedValues() : 0;
        const qint64 storedBefore = HistoryHooks::instance()->archive()->storedValues();
        f.gaps.reserve(size_t(floodSeconds) * 1000);
        QElapsedTimer tick;
        QTimer heartbeat;
        heartbeat.setTimerType(Qt::PreciseTimer);
        heartbeat.setInterval(1);
        QObject::connect(&heartbeat, &QTimer::timeout, &heartbeat, [&] {
            f.gaps.push_back(std::max<qint64>(0, tick.nsecsElapsed() - 1000000));
            tick.restart();
        });
        QElapsedTimer flood;
        vhw::floodChannelEvents(info.id, floodEvents, floodRate);
        flood.start();
        tick.start();
        heartbeat.start();
        const qint64 floodEndMs = qint64(floodSeconds) * 1000;
        QEventLoop loop;
        QTimer::singleShot(floodEndMs, Qt::PreciseTimer, &loop, &QEventLoop::quit);
        loop.exec();
        heartbeat.stop();
        const qint64 sinceStart = flood.nsecsElapsed();
        const qint64 waited = waitForCells(app, cells, floodEvents, 60000);
        f.catchUpMs = waited < 0 ? -1 : double(sinceStart + waited - floodEndMs * 1000000) / 1e6;
        HistoryHooks::instance()->archive()->flush(60000);
        f.archived = HistoryHooks::instance()->archive()->storedValues() - storedBefore;
        if (publisher) {
            // Until the publisher has sent what it was handed.
            for (QElapsedTimer t; !t.isValid() || t.elapsed() < 10000;) {
                if (!t.isValid())
                    t.start();
                if (publisher->queue().waitingValues() == 0)
                    break;
                app.processEvents(QEventLoop::AllEvents, 20);
            }
            f.published = publisher->publishedValues() - publishedBefore;
        }
        return f;
    };
    // Each mode in turns, three times: a machine whose load changes from one
    // flood to the next then weighs on every mode alike.
    std::vector<Flood> floods;
    for (int round = 0; round < 3; ++round) {
        floods.push_back(runFlood(false, false, "archiving off"));
        floods.push_back(runFlood(true, false, "archiving on"));
        if (mqtt)
            floods.push_back(runFlood(true, true, "archiving on, publishing on"));
    }
    bool waited = true;
    for (const Flood &f : floods)
        waited = waited && f.catchUpMs >= 0;

    std::printf("machine: %d cores; system %s (%s), %zu channels; value log %s\n", QThread::idealThreadCount(),
                info.argument.c_str(), info.description.c_str(), cells.size(), logOn ? "on" : "off");
    std::printf("floor (bare queued signals of 1060-byte records): %.0f records/s\n", floor);
    std::printf("burst of %u events into visible cells: %.0f events/s, %.0f %% of the floor\n", burst, cellRate,
                floor > 0 ? 100.0 * cellRate / floor : 0.0);
    for (const Flood &f : floods) {
        const std::vector<qint64> &gaps = f.gaps;
        std::printf("%s: stall during a %d s flood of %u events/s: p50 %.2f ms, p99 %.2f ms, worst %.2f ms"
                    " (%zu beats); catch-up %.1f ms; %lld values archived, %lld published\n",
                    f.label, floodSeconds, floodRate, percentile(gaps, 0.50), percentile(gaps, 0.99),
                    gaps.empty() ? 0.0 : double(*std::max_element(gaps.begin(), gaps.end())) / 1e6, gaps.size(),
                    f.catchUpMs, f.archived, f.published);
    }
    // Per mode, the median of its floods' p99 and worst stalls, and how far
    // each lies from the same figure with archiving off.
    auto median = [&](const char *label, double (*figure)(const Flood &)) {
        std::vector<double> v;
        for (const Flood &f : floods)
            if (std::strcmp(f.label, label) == 0)
                v.push_back(figure(f));
        std::sort(v.begin(), v.end());
        return v.empty() ? 0.0 : v[v.size() / 2];
    };
    const auto p99 = [](const Flood &f) { return percentile(f.gaps, 0.99); };
    const auto worst = [](const Flood &f) {
        return f.gaps.empty() ? 0.0 : double(*std::max_element(f.gaps.begin(), f.gaps.end())) / 1e6;
    };
    const double offP99 = median("archiving off", p99), offWorst = median("archiving off", worst);
    for (const char *label : {"archiving off", "archiving on", "archiving on, publishing on"}) {
        if (!mqtt && std::strcmp(label, "archiving on, publishing on") == 0)
            continue;
        const double m99 = median(label, p99), mWorst = median(label, worst);
        std::printf("%s, median of 3 floods: p99 %.2f ms (%+.0f %%), worst %.2f ms (%+.0f %%)\n", label, m99,
                    offP99 > 0 ? 100.0 * (m99 - offP99) / offP99 : 0.0, mWorst,
                    offWorst > 0 ? 100.0 * (mWorst - offWorst) / offWorst : 0.0);
    }
    if (publisher)
        std::printf("publishing: %lld values replaced by a newer one before they were sent\n",
                    publisher->droppedValues());
    delete w;
    setOperatorMessageHook({});
    return burstNs > 0 && waited ? 0 : 2;
}

#include "bench_events.moc"
