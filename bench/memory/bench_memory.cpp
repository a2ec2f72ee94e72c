// Resident memory of the program with four large systems connected, and its
// growth over a soak of value events.
//
// The real main window (offscreen platform, program style sheet, system
// panels) with its event server connects the four 768-channel systems of
// four-large-systems.world, every system's table present. Then every channel
// of every system gets 10 "VMon" events per second through the real event
// port for the soak. Printed:
//   - resident memory (VmRSS) before connecting and after connecting and
//     subscribing (once the first values of every system have arrived);
//   - every 10 s of the soak, taken by a thread of its own so that a busy GUI
//     thread cannot delay it: resident memory, heap in use and heap the
//     allocator holds, events delivered to the main window, the events the
//     systems sent that the main window has not had (replaced by a newer
//     value of the same channel while they waited, or waiting still) and the
//     longest time the GUI thread did not get round to its event loop;
//   - the growth of resident memory from the first soak sample (caches warm)
//     to the last one, and once more after the backlog has drained.
//
// Usage: bench_memory [soak seconds (default 60)] [world file]
// Exit code 0 unless a system failed to connect or the soak delivered nothing.

#include "app/MainWindow.h"
#include "app/SystemConnections.h"
#include "app/MainWindowLogic.h"
#include "app/SystemPanelBuilder.h"
#include "device/ORVEHVNode.h"
#include "device/OperatorMessage.h"
#include "device/QSystemInterface.h"
#include "virtualhw/VirtualControl.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFontDatabase>
#include <QLocale>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <malloc.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#ifndef KEBO_BENCH_MEMORY_WORLD
#define KEBO_BENCH_MEMORY_WORLD "four-large-systems.world"
#endif

namespace {

constexpr unsigned kUpdatesPerChannelPerSecond = 10;
constexpr int kSampleSeconds = 10;
constexpr double kRssGoalMb = 150;
constexpr double kGrowthGoalPercent = 5;

// A "Vm...:  1234 kB" line of /proc/self/status, in kB; -1 when absent.
long procStatusKb(const char *key)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(key) + ':';
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLong();
    return -1;
}

double rssMb() { return double(procStatusKb("VmRSS")) / 1024.0; }
double peakRssMb() { return double(procStatusKb("VmHWM")) / 1024.0; }

struct HeapFigures
{
    double inUseMb = 0; // handed out by malloc now
    double heldMb = 0;  // taken from the system by malloc (in use + free kept)
};
HeapFigures heapFigures()
{
    const struct mallinfo2 m = mallinfo2();
    return {double(m.uordblks + m.hblkhd) / (1024.0 * 1024.0), double(m.arena + m.hblkhd) / (1024.0 * 1024.0)};
}

std::string cpuModel()
{
    QFile f(QStringLiteral("/proc/cpuinfo"));
    if (f.open(QIODevice::ReadOnly))
        for (const QByteArray &line : f.readAll().split('\n'))
            if (line.startsWith("model name"))
                return line.mid(line.indexOf(':') + 1).trimmed().toStdString();
    return "unknown";
}

// Runs the event loop (deferred deletions included) until `done` or the limit.
bool runUntil(const std::function<bool()> &done, int limitMs)
{
    QDeadlineTimer limit(limitMs);
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done() || limit.hasExpired())
            loop.quit();
    });
    poll.start(20);
    if (!done())
        loop.exec();
    return done();
}

void runFor(int ms)
{
    QDeadlineTimer limit(ms);
    runUntil([&] { return limit.hasExpired(); }, ms + 1000);
}

int channelCount(const QSystemInterface *sys)
{
    int n = 0;
    for (const ORVEHVNode *board : sys->systemNode()->children())
        if (board->kind() == KindBoard)
            n += board->children().size();
    return n;
}

// Counted on the GUI thread, read by the sampler.
struct Counters
{
    std::atomic<unsigned long long> delivered{0};     // every value event
    std::atomic<unsigned long long> deliveredVMon{0}; // the soak's own ones
    std::atomic<qint64> lastBeatNs{0};                // GUI thread's heartbeat
    std::atomic<qint64> worstGapNs{0};                // since the last sample
};

} // namespace

int main(int argc, char **argv)
{
    const int soakSeconds = argc > 1 ? qMax(kSampleSeconds, atoi(argv[1])) : 60;
    const QByteArray worldFile = argc > 2 ? QByteArray(argv[2]) : QByteArray(KEBO_BENCH_MEMORY_WORLD);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("ORVEHV_WORLD", worldFile); // read by the library at first use

    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts); // as the program does
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale::c());
    QStandardPaths::setTestModeEnabled(true); // no settings of the operator touched
    QTemporaryDir workDir;                    // a subscription report would land here
    if (workDir.isValid())
        QDir::setCurrent(workDir.path());

    std::string worldError;
    if (!vhw::loadWorldFile(worldFile.toStdString(), &worldError)) {
        std::fprintf(stderr, "world file refused: %s\n", worldError.c_str());
        return 1;
    }
    const std::vector<vhw::SystemInfo> infos = vhw::listSystems();

    int operatorMessages = 0;
    setOperatorMessageHook([&](const OperatorMessage &m) {
        ++operatorMessages;
        std::fprintf(stderr, "operator message: %s\n", qPrintable(m.text));
        return 0;
    });

    // Start-up as the program does it: font, style sheet, panels.
    QFontDatabase::addApplicationFont(QStringLiteral(":/Resources/Fonts/Antonio-Regular.ttf"));
    const auto resources = MainWindowLogic::startupResources(int(QLocale::system().territory()));
    QFile sheet(resources.styleSheet);
    if (sheet.open(QIODevice::ReadOnly))
        app.setStyleSheet(QString::fromUtf8(sheet.readAll()));
    MainWindow *window = MainWindow::create();
    window->setGeometry(0, 0, 1600, 1000);
    window->show();
    if (!window->startEventServer()) {
        std::fprintf(stderr, "the event server did not start\n");
        return 1;
    }
    for (QWidget *w : QApplication::topLevelWidgets()) // the connect dialog opened at start-up
        if (w != window && qobject_cast<QDialog *>(w) && w->isVisible())
            w->close();

    // Value events as each system announces them once stored in their node
    // (parameterChanged). The soak's own ones ("VMon") apart: the systems also
    // report a few drifting system properties.
    Counters counters;
    std::vector<unsigned long long> deliveredTo(infos.size(), 0);
    const QString vmon = QStringLiteral("VMon");
    const auto countValues = [&](QSystemInterface *sys, size_t i) {
        QObject::connect(sys, &QSystemInterface::parameterChanged, window, [&, i](ORVEHVNode *node) {
            ++deliveredTo[i];
            counters.delivered.fetch_add(1, std::memory_order_relaxed);
            if (node->name() == vmon)
                counters.deliveredVMon.fetch_add(1, std::memory_order_relaxed);
        });
    };
    const auto delivered = [&] { return counters.delivered.load(std::memory_order_relaxed); };

    std::printf("machine: %d cores, %s\n", QThread::idealThreadCount(), cpuModel().c_str());
    std::printf("world: %zu systems from %s\n", infos.size(), worldFile.constData());
    runFor(1000);
    const double rssBefore = rssMb();
    std::printf("RSS before connecting: %.1f MB (heap in use %.1f MB)\n", rssBefore, heapFigures().inUseMb);
    std::fflush(stdout);

    // Connect every system; its first values (one per channel) must arrive.
    QElapsedTimer connectTime;
    connectTime.start();
    int channels = 0;
    std::vector<unsigned> perSecond(infos.size());
    for (size_t i = 0; i < infos.size(); ++i) {
        const vhw::SystemInfo &info = infos[i];
        const QString name = QStringLiteral("HV-%1").arg(QChar('A' + int(i)));
        const int before = window->connections()->systems().size();
        if (window->connectToSystem(info.systemType, info.linkType, QString::fromStdString(info.argument), name,
                                    QString::fromStdString(info.user), QString::fromStdString(info.password))
                != 0
            || window->connections()->systems().size() != before + 1) {
            std::fprintf(stderr, "%s did not connect\n", info.argument.c_str());
            return 2;
        }
        QSystemInterface *sys = window->connections()->systems().last();
        countValues(sys, i);
        const int n = channelCount(sys);
        channels += n;
        perSecond[i] = kUpdatesPerChannelPerSecond * unsigned(n);
        if (!runUntil([&] { return vhw::hasEventConnection(info.id); }, 30000)) {
            std::fprintf(stderr, "%s opened no event connection\n", info.argument.c_str());
            return 2;
        }
        const unsigned long long base = deliveredTo[i];
        vhw::floodChannelEvents(info.id, unsigned(n));
        if (!runUntil([&] { return deliveredTo[i] >= base + unsigned(n); }, 60000)) {
            std::fprintf(stderr, "%s: %llu of %d first values arrived\n", info.argument.c_str(),
                         deliveredTo[i] - base, n);
            return 2;
        }
    }
    // Quiet for a second: nothing of the connection is still on its way.
    for (unsigned long long last = ~0ull; last != delivered();) {
        last = delivered();
        runFor(1000);
    }
    const double rssConnected = rssMb();
    std::printf("connected %zu systems, %d channels, %d tables, %d widgets, in %.1f s\n", infos.size(), channels,
                int(window->connections()->systems().size()), int(QApplication::allWidgets().size()),
                double(connectTime.elapsed()) / 1000.0);
    std::printf("RSS after connecting + subscribing: %.1f MB (heap in use %.1f MB); goal < %.0f MB: %s\n",
                rssConnected, heapFigures().inUseMb, kRssGoalMb, rssConnected < kRssGoalMb ? "met" : "MISSED");

    // The soak: every channel 10 events per second, paced by the systems.
    unsigned totalRate = 0;
    std::vector<unsigned> floodSize(infos.size());
    for (size_t i = 0; i < infos.size(); ++i) {
        floodSize[i] = perSecond[i] * unsigned(soakSeconds);
        totalRate += perSecond[i];
    }
    std::printf("soak: %d s, 10 events/s per channel, %u events/s in all\n", soakSeconds, totalRate);
    std::printf("%6s %9s %10s %10s %11s %9s %12s %10s\n", "t [s]", "RSS [MB]", "heap [MB]", "held [MB]",
                "delivered", "events/s", "not had yet", "stall [ms]");
    std::fflush(stdout);

    QElapsedTimer clock; // shared by heartbeat and sampler
    clock.start();
    QTimer heartbeat;
    QObject::connect(&heartbeat, &QTimer::timeout, &heartbeat, [&] {
        const qint64 now = clock.nsecsElapsed();
        const qint64 gap = now - counters.lastBeatNs.exchange(now);
        if (gap > counters.worstGapNs.load())
            counters.worstGapNs.store(gap);
    });
    counters.lastBeatNs.store(clock.nsecsElapsed());
    heartbeat.start(20);

    const unsigned long long soakBase = delivered();
    const unsigned long long soakBaseVMon = counters.deliveredVMon.load();
    const qint64 soakStartNs = clock.nsecsElapsed();
    for (size_t i = 0; i < infos.size(); ++i)
        vhw::floodChannelEvents(infos[i].id, floodSize[i], perSecond[i]);
    const auto soakVMon = [&] { return counters.deliveredVMon.load() - soakBaseVMon; };
    const auto sent = [&] { // by the systems' pacing
        const double s = double(clock.nsecsElapsed() - soakStartNs) / 1e9;
        unsigned long long n = 0;
        for (size_t i = 0; i < infos.size(); ++i)
            n += qMin<unsigned long long>(floodSize[i], (unsigned long long)(s * perSecond[i]));
        return n;
    };

    // Taken by the sampler: the GUI thread may still be working through a
    // backlog when it gets to read them itself.
    std::vector<double> samples;
    unsigned long long soakSent = 0, soakDelivered = 0;
    std::atomic<bool> soakOver{false};
    std::thread sampler([&] {
        const auto start = std::chrono::steady_clock::now();
        unsigned long long lastDelivered = soakBase;
        for (int t = kSampleSeconds; t <= soakSeconds; t += kSampleSeconds) {
            std::this_thread::sleep_until(start + std::chrono::seconds(t));
            const double rss = rssMb();
            const HeapFigures heap = heapFigures();
            const unsigned long long now = delivered();
            soakSent = sent();
            soakDelivered = soakVMon();
            const long long notHad = (long long)(soakSent) - (long long)(soakDelivered);
            const qint64 sinceBeat = clock.nsecsElapsed() - counters.lastBeatNs.load();
            const qint64 stall = qMax(counters.worstGapNs.exchange(0), sinceBeat);
            samples.push_back(rss);
            std::printf("%6d %9.1f %10.1f %10.1f %11llu %9.0f %12lld %10.0f\n", t, rss, heap.inUseMb,
                        heap.heldMb, now - soakBase, double(now - lastDelivered) / kSampleSeconds, qMax(0ll, notHad),
                        double(stall) / 1e6);
            std::fflush(stdout);
            lastDelivered = now;
        }
        soakOver.store(true);
    });
    runUntil([&] { return soakOver.load(); }, (soakSeconds + 120) * 1000);
    sampler.join();
    heartbeat.stop();

    const double growth = (samples.back() - samples.front()) / samples.front() * 100.0;
    std::printf("soak events (\"VMon\") delivered during the soak: %llu of %llu sent (%.1f %%)\n", soakDelivered,
                soakSent, 100.0 * double(soakDelivered) / double(qMax(1ull, soakSent)));
    std::printf("RSS growth from %d s to %d s of the soak: %.1f MB -> %.1f MB = %+.2f %%; goal < %.0f %%: %s\n",
                kSampleSeconds, soakSeconds, samples.front(), samples.back(), growth, kGrowthGoalPercent,
                growth < kGrowthGoalPercent ? "met" : "MISSED");

    // Whatever was still on its way is delivered; then memory once more.
    for (size_t i = 0; i < infos.size(); ++i)
        vhw::floodChannelEvents(infos[i].id, 0);
    QElapsedTimer drain;
    drain.start();
    for (unsigned long long last = ~0ull; last != delivered();) {
        last = delivered();
        runFor(1000);
    }
    const double rssDrained = rssMb();
    const HeapFigures heap = heapFigures();
    std::printf("drained in %.1f s, %llu soak events delivered in all, %lld replaced by a newer value while they "
                "waited: RSS %.1f MB (%+.2f %% from the first sample), heap in use %.1f MB, held %.1f MB, peak RSS "
                "%.1f MB\n",
                double(drain.elapsed()) / 1000.0, soakVMon(), (long long)(sent()) - (long long)(soakVMon()),
                rssDrained,
                (rssDrained - samples.front()) / samples.front() * 100.0, heap.inUseMb, heap.heldMb, peakRssMb());
    // What of that is free memory malloc keeps rather than memory still used:
    // handed back, RSS falls by it.
    malloc_trim(0);
    std::printf("after handing free heap back to the system (malloc_trim): RSS %.1f MB\n", rssMb());
    std::printf("operator messages: %d\n", operatorMessages);
    std::fflush(stdout);

    window->hide(); // the docks must not report a visibility change while the window goes
    delete window;  // the close path ends every event thread
    setOperatorMessageHook({});
    return soakDelivered > 0 ? 0 : 3;
}
