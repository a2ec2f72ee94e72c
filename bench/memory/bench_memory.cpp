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
//   - every 10 s of the soak: resident memory, heap in use, events delivered
//     to the main window in those 10 s and the backlog (events offered by the
//     systems but not yet delivered);
//   - the growth of resident memory from the first soak sample (caches warm)
//     to the last one, and once more after the backlog has drained.
//
// Usage: bench_memory [soak seconds (default 60)] [world file]
// Exit code 0 unless a system failed to connect or delivered nothing.

#include "app/MainWindow.h"
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

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#ifndef KEBO_BENCH_MEMORY_WORLD
#define KEBO_BENCH_MEMORY_WORLD "four-large-systems.world"
#endif

namespace {

constexpr unsigned kUpdatesPerChannelPerSecond = 10;
constexpr int kSampleSeconds = 10;

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
// Bytes the heap hands out now (not what it keeps in reserve).
double heapInUseMb() { return double(mallinfo2().uordblks) / (1024.0 * 1024.0); }

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

} // namespace

int main(int argc, char **argv)
{
    const int soakSeconds = argc > 1 ? qMax(kSampleSeconds, atoi(argv[1])) : 60;
    const QByteArray worldFile = argc > 2 ? QByteArray(argv[2]) : QByteArray(KEBO_BENCH_MEMORY_WORLD);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("ORVEHV_WORLD", worldFile); // read by the library at first use

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
    static SystemPanelBuilder panelBuilder;
    QSystemInterface::setPanelFactory(&panelBuilder);
    window->setGeometry(0, 0, 1600, 1000);
    window->show();
    if (!window->startEventServer()) {
        std::fprintf(stderr, "the event server did not start\n");
        return 1;
    }
    for (QWidget *w : QApplication::topLevelWidgets()) // the connect dialog opened at start-up
        if (w != window && qobject_cast<QDialog *>(w) && w->isVisible())
            w->close();

    // Events delivered to the main window (on the GUI thread), per system.
    std::vector<unsigned long long> delivered(infos.size(), 0);
    QHash<QSystemInterface *, size_t> indexOf;
    // The soak's own events ("VMon") apart: the systems also report a few
    // drifting system properties.
    unsigned long long deliveredVMon = 0;
    const QString vmon = QStringLiteral("VMon");
    QObject::connect(window, &MainWindow::updateValueAndWidget, window,
                     [&](QSystemInterface *sys, int, int, const QString &itemName) {
                         const auto it = indexOf.constFind(sys);
                         if (it != indexOf.constEnd())
                             ++delivered[*it];
                         if (itemName == vmon)
                             ++deliveredVMon;
                     });
    const auto totalDelivered = [&] {
        unsigned long long n = 0;
        for (unsigned long long d : delivered)
            n += d;
        return n;
    };

    std::printf("machine: %d cores, %s\n", QThread::idealThreadCount(), cpuModel().c_str());
    std::printf("world: %zu systems from %s\n", infos.size(), worldFile.constData());
    runFor(1000);
    const double rssBefore = rssMb();
    std::printf("RSS before connecting: %.1f MB (heap in use %.1f MB)\n", rssBefore, heapInUseMb());
    std::fflush(stdout);

    // Connect every system; its first values (one per channel) must arrive.
    QElapsedTimer connectTime;
    connectTime.start();
    int channels = 0;
    for (size_t i = 0; i < infos.size(); ++i) {
        const vhw::SystemInfo &info = infos[i];
        const QString name = QStringLiteral("HV-%1").arg(QChar('A' + int(i)));
        const int before = window->systems().size();
        if (window->connectToSystem(info.systemType, info.linkType, QString::fromStdString(info.argument), name,
                                    QString::fromStdString(info.user), QString::fromStdString(info.password))
                != 0
            || window->systems().size() != before + 1) {
            std::fprintf(stderr, "%s did not connect\n", info.argument.c_str());
            return 2;
        }
        QSystemInterface *sys = window->systems().last();
        indexOf.insert(sys, i);
        const int n = channelCount(sys);
        channels += n;
        if (!runUntil([&] { return vhw::hasEventConnection(info.id); }, 30000)) {
            std::fprintf(stderr, "%s opened no event connection\n", info.argument.c_str());
            return 2;
        }
        const unsigned long long base = delivered[i];
        vhw::floodChannelEvents(info.id, unsigned(n));
        if (!runUntil([&] { return delivered[i] >= base + unsigned(n); }, 60000)) {
            std::fprintf(stderr, "%s: %llu of %d first values arrived\n", info.argument.c_str(),
                         delivered[i] - base, n);
            return 2;
        }
    }
    // Quiet for a second: nothing of the connection is still on its way.
    for (unsigned long long last = ~0ull; last != totalDelivered();) {
        last = totalDelivered();
        runFor(1000);
    }
    const double rssConnected = rssMb();
    std::printf("connected %zu systems, %d channels, %d tables, in %.1f s\n", infos.size(), channels,
                int(window->systems().size()), double(connectTime.elapsed()) / 1000.0);
    std::printf("RSS after connecting + subscribing: %.1f MB (heap in use %.1f MB)\n", rssConnected,
                heapInUseMb());
    std::fflush(stdout);

    // The soak: every channel 10 events per second, paced by the systems.
    const unsigned perSystemRate = unsigned(kUpdatesPerChannelPerSecond) * unsigned(channels / int(infos.size()));
    std::vector<unsigned> perSecond(infos.size());
    std::vector<unsigned> floodSize(infos.size());
    for (size_t i = 0; i < infos.size(); ++i) {
        const int n = channelCount(window->systems().at(int(i)));
        perSecond[i] = kUpdatesPerChannelPerSecond * unsigned(n);
        floodSize[i] = perSecond[i] * unsigned(soakSeconds);
    }
    std::printf("soak: %d s, %u events/s per system (10 per channel), %u events/s in all\n", soakSeconds,
                perSystemRate, perSystemRate * unsigned(infos.size()));
    std::printf("%6s %9s %10s %12s %12s %10s\n", "t [s]", "RSS [MB]", "heap [MB]", "delivered", "events/s",
                "backlog");
    std::fflush(stdout);

    const unsigned long long soakBase = totalDelivered();
    const unsigned long long soakBaseVMon = deliveredVMon;
    QElapsedTimer soak;
    soak.start();
    for (size_t i = 0; i < infos.size(); ++i)
        vhw::floodChannelEvents(infos[i].id, floodSize[i], perSecond[i]);
    const auto offered = [&] {
        const double s = double(soak.elapsed()) / 1000.0;
        unsigned long long n = 0;
        for (size_t i = 0; i < infos.size(); ++i)
            n += qMin<unsigned long long>(floodSize[i], (unsigned long long)(s * perSecond[i]));
        return n;
    };

    std::vector<double> samples;
    unsigned long long lastDelivered = soakBase;
    for (int t = kSampleSeconds; t <= soakSeconds; t += kSampleSeconds) {
        runUntil([&] { return soak.elapsed() >= qint64(t) * 1000; }, (soakSeconds + 60) * 1000);
        const double rss = rssMb();
        samples.push_back(rss);
        const unsigned long long now = totalDelivered();
        const unsigned long long inSoak = now - soakBase;
        const long long backlog = (long long)(offered()) - (long long)(deliveredVMon - soakBaseVMon);
        std::printf("%6d %9.1f %10.1f %12llu %12.0f %10lld\n", t, rss, heapInUseMb(), inSoak,
                    double(now - lastDelivered) / kSampleSeconds, qMax(0ll, backlog));
        std::fflush(stdout);
        lastDelivered = now;
    }
    const unsigned long long soakDelivered = deliveredVMon - soakBaseVMon;
    const double growth = (samples.back() - samples.front()) / samples.front() * 100.0;
    std::printf("soak events (\"VMon\") delivered: %llu of %llu sent (%.1f %%)\n", soakDelivered, offered(),
                100.0 * double(soakDelivered) / double(qMax(1ull, offered())));
    std::printf("RSS growth from %d s to %d s of the soak: %.1f MB -> %.1f MB = %+.2f %%\n", kSampleSeconds,
                soakSeconds, samples.front(), samples.back(), growth);

    // Whatever was still on its way is delivered; then memory once more.
    for (size_t i = 0; i < infos.size(); ++i)
        vhw::floodChannelEvents(infos[i].id, 0);
    for (unsigned long long last = ~0ull; last != totalDelivered();) {
        last = totalDelivered();
        runFor(1000);
    }
    const double rssDrained = rssMb();
    std::printf("after the soak, all delivered (%llu events in all): RSS %.1f MB (%+.2f %% from the first sample), "
                "heap in use %.1f MB, peak RSS %.1f MB\n",
                totalDelivered() - soakBase, rssDrained, (rssDrained - samples.front()) / samples.front() * 100.0,
                heapInUseMb(), peakRssMb());
    std::printf("operator messages: %d\n", operatorMessages);
    std::fflush(stdout);

    window->hide(); // the docks must not report a visibility change while the window goes
    delete window;  // the close path ends every event thread
    setOperatorMessageHook({});
    return soakDelivered > 0 ? 0 : 3;
}
