// Prints two figures of the value log:
//   - writer: lines per second for one mainframe burst of N entries (default
//     1 000 000), from the wake to the last line flushed into the file;
//   - producer: event-data-thread CPU nanoseconds per value event of the
//     log's producing step, logging off and on in the same run, for a
//     connected virtual mainframe whose channel VSet is logged, its writer
//     running.
//
// Usage: bench_logging [entries]

#include "app/MainWindow.h"
#include "app/SystemConnections.h"
#include "app/SystemPanelBuilder.h"
#include "device/EventServer.h"
#include "device/LogQueue.h"
#include "device/LogWriter.h"
#include "device/ORVEHVNode.h"
#include "device/QSystemInterface.h"
#include "virtualhw/VirtualControl.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <sys/resource.h>

#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

// CPU seconds of the whole process: on a shared, loaded machine wall time
// says more about the neighbours than about the writer.
double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double writerLinesPerSecond(const QString &dir, int entries)
{
    const QString path = dir + QStringLiteral("/writer.log");
    LogQueue::setConfiguredPath(path);
    QSystemInterface sys(2, 0, QStringLiteral("x"), QStringLiteral("x"), 0);
    LogWriter::start(&sys);
    const QString name = QStringLiteral("Crate");
    // One burst: every entry joins the first batch, like a mainframe's.
    for (int i = 0; i < entries; ++i) {
        LogEntry e;
        e.board = i % 16;
        e.channel = i % 48;
        e.parameter = QStringLiteral("VMon");
        e.value = 1000.0 + (i % 1000) * 0.25;
        LogQueue::enqueue(&sys, name, e, i == 0);
    }
    QElapsedTimer t;
    t.start();
    const double cpu0 = cpuSeconds();
    LogQueue::wakeWriter(&sys, true);
    LogWriter::stop(&sys, 600000); // returns once everything is written; this thread sleeps meanwhile
    const double s = t.nsecsElapsed() / 1e9;
    const double cpu = cpuSeconds() - cpu0;
    std::printf("writer: %d lines, %.1f MB, %.3f s wall, %.3f s CPU: %.0f lines per CPU second\n", entries,
                QFileInfo(path).size() / 1e6, s, cpu, entries / cpu);
    if (qEnvironmentVariableIsSet("KEEP_LOG"))
        QFile::copy(path, QString::fromLocal8Bit(qgetenv("KEEP_LOG")));
    LogQueue::setConfiguredPath(QString());
    return entries / s;
}

double threadCpuNs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e9 + ts.tv_nsec;
}

// The producer's logging step alone, same events: CPU ns per event on the
// producing (event-data) thread.
double producerCost(QSystemInterface *sys, int events, int base)
{
    const QString name = QStringLiteral("VSet");
    const LogQueue::Source source{sys->systemNode()->name(), sys->crateOffset(), 0};
    const double t0 = threadCpuNs();
    for (int i = 0; i < events; ++i)
        LogQueue::logValue(sys, source, true, 3, i % 48, name, QVariant(double(base + i - 1)),
                           QVariant(double(base + i)), i % 48 == 0, i % 48 == 47);
    return (threadCpuNs() - t0) / events;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    const int entries = argc > 1 ? std::atoi(argv[1]) : 1000000;
    QTemporaryDir dir;
    qputenv("HOME", dir.path().toLocal8Bit());

    const double lps = writerLinesPerSecond(dir.path(), entries);
    std::printf("writer: %.0f lines/s (wall)\n", lps);

    MainWindow::setMessageHook([](const OperatorMessage &m) {
        std::fprintf(stderr, "message: %s\n", qPrintable(m.text));
        return 0;
    });
    vhw::setTimeMode(vhw::TimeMode::Manual);
    MainWindow *w = MainWindow::create();
    w->startEventServer();
    // 0 is success, as for every connection result.
    if (w->connectToSystem(2, 0, QStringLiteral("192.0.2.10"), QStringLiteral("Crate"), QStringLiteral("admin"),
                           QStringLiteral("admin"))
        != 0) {
        std::printf("producer: no mainframe\n");
        return 1;
    }
    QSystemInterface *sys = w->connections()->systems().first();
    for (ORVEHVNode *ch : sys->systemNode()->children().at(3)->children())
        if (ORVEHVNode *p = ch->parameter(QStringLiteral("VSet")))
            p->setIsLogged(true);
    const int events = 1000000;
    producerCost(sys, events / 10, 0); // warm up
    double stepOff = 0, stepOn = 0;
    for (int round = 0; round < 3; ++round) { // interleaved, best of three
        const int base = 1000000 * (4 * round + 1);
        sys->setIsLogStarted(false);
        const double c = producerCost(sys, events, base);
        sys->setIsLogStarted(true);
        const double d = producerCost(sys, events, base + 2000000);
        stepOff = round == 0 ? c : qMin(stepOff, c);
        stepOn = round == 0 ? d : qMin(stepOn, d);
        app.processEvents();
    }
    std::printf("producer: %.0f ns/event with logging off, %.0f ns/event on (event-data-thread CPU): %.0f ns per logged "
                "event\n",
                stepOff, stepOn, stepOn - stepOff);
    sys->setIsLogStarted(false);
    w->hide();
    delete w;
    return 0;
}
