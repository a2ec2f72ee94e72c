// Figures of the history archive and the trend window, printed (no limits
// are checked):
//   - ingest: values per second from the GUI thread's hand-over until the
//     writer has committed them, and bytes per stored value; the same into a
//     site's shared archive on a PostgreSQL server on loopback that the
//     benchmark starts for itself (skipped, with the reason, where it cannot);
//   - query + thin + draw: one hour of one channel at 10 Hz (36 000 values)
//     from the archive to the drawn plot, and a day of 48 channels at 1 Hz;
//   - memory: a window of 48 lines following while values arrive, its
//     process's resident size every few seconds.
//
// Usage: bench_history [ingest values (2000000)] [memory seconds (150)] [values/s per line (200)]

#include "history/Archive.h"
#include "tests/support/PgTestServer.h"
#include "history/widgets/QTrendChartView.h"
#include "history/widgets/QTrendWindow.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineSeries>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <sys/resource.h>

#include <cmath>
#include <cstdio>
#include <memory>

namespace {

QByteArray loadAverage()
{
    QFile f(QStringLiteral("/proc/loadavg"));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("?\n");
}

qint64 residentKb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    return -1;
}

qint64 fileBytes(const QString &path)
{
    return QFileInfo(path).size() + QFileInfo(path + QStringLiteral("-wal")).size();
}

ItemKey channelKey(int c, const QString &parameter = QStringLiteral("VMon"))
{
    return {QStringLiteral("Bench"), c / 12, c % 12, parameter};
}

double processCpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Returns the values stored.
qint64 ingest(ArchiveOptions o, qint64 count)
{
    const QString path = o.path;
    const char *where = o.server.isSet() ? "PostgreSQL on loopback" : "SQLite";
    o.queueCapacity = int(count) + 1;  // the writer's rate, not the hand-over's bound
    auto archive = std::make_unique<Archive>();
    archive->open(o);
    const int items = 1000;
    QVector<int> handles;
    for (int i = 0; i < items; ++i)
        handles.append(archive->item({QStringLiteral("Bench"), i / 48, i % 48, QStringLiteral("VMon")}));
    const qint64 t0 = QDateTime::currentMSecsSinceEpoch() - count / items * 100;
    QElapsedTimer t;
    t.start();
    const double cpu0 = processCpuSeconds();
    for (qint64 n = 0; n < count; ++n)
        archive->record(handles.at(int(n % items)), t0 + (n / items) * 100, double(n % 5000) * 0.1);
    const double handOver = double(t.nsecsElapsed()) / 1e9;
    archive->flush(600000);
    const double total = double(t.nsecsElapsed()) / 1e9;
    const qint64 stored = archive->storedValues();
    std::printf("ingest (%s): %lld values over %d items: hand-over %.0f values/s, stored %.0f values/s sustained"
                " (%.2f s), lost %lld\n",
                where, count, items, count / handOver, stored / total, total, archive->lostValues());
    std::printf("  CPU of this process (hand-over and writer): %.2f s; load average %s",
                processCpuSeconds() - cpu0, loadAverage().constData());
    if (!archive->isAvailable())
        std::printf("  the archive failed: %s\n", qPrintable(archive->failure()));
    if (o.server.isSet())
        return stored;
    archive.reset();  // checkpointed and closed: the file as it stays
    std::printf("size: %.1f bytes per stored value (%.1f MB for %lld values)\n", double(fileBytes(path)) / stored,
                fileBytes(path) / 1048576.0, stored);
    return stored;
}

void ingestOnServer(qint64 count)
{
    PgTestServer pg;
    if (pg.isRunning()) {
        pg.psql(QStringLiteral("CREATE DATABASE site"));
        pg.psql(QStringLiteral(KEBO_SITE_SCHEMA), QStringLiteral("site"), true);
    }
    if (!pg.isRunning() || !pg.why().isEmpty()) {
        std::printf("ingest (PostgreSQL on loopback): skipped, %s\n", qPrintable(pg.why()));
        return;
    }
    ArchiveOptions o;
    o.server.host = QStringLiteral("127.0.0.1");
    o.server.port = pg.port();
    o.server.database = QStringLiteral("site");
    o.server.user = PgTestServer::admin();
    o.server.station = QStringLiteral("bench");
    const double server0 = pg.cpuSeconds();
    const qint64 stored = ingest(o, count);
    QThread::msleep(500);  // the writer's session has ended and been reaped
    const double server = pg.cpuSeconds() - server0;
    std::printf("  CPU of the PostgreSQL server: %.2f s, %.0f values per server CPU second\n", server,
                server > 0 ? stored / server : 0.0);
}

// Fills `channels` lines over [from, to] at `hz`.
void fill(Archive &archive, int channels, qint64 from, qint64 to, double hz)
{
    QVector<int> handles;
    for (int c = 0; c < channels; ++c)
        handles.append(archive.item(channelKey(c)));
    const qint64 step = qint64(1000 / hz);
    for (qint64 t = from; t <= to; t += step)
        for (int c = 0; c < channels; ++c)
            archive.record(handles.at(c), t, 1000 + c * 10 + 50 * std::sin(double(t) / 60000.0 + c));
    archive.flush(600000);
}

double drawMs(Archive &archive, int channels, qint64 from, qint64 to, int *points)
{
    QTrendWindow trend(&archive);
    trend.resize(1600, 900);
    trend.show();
    QApplication::processEvents();
    for (int c = 0; c < channels; ++c)
        trend.addChannel(channelKey(c), QStringLiteral("CH%0").arg(c, 2, 10, QLatin1Char('0')));
    QElapsedTimer t;
    t.start();
    trend.setRange(from, to);
    const QPixmap drawn = trend.chartView()->grab();
    const double ms = double(t.nsecsElapsed()) / 1e6;
    *points = 0;
    for (int c = 0; c < channels; ++c)
        *points += trend.series(c)->count();
    return drawn.isNull() ? -1 : ms;
}

void queryAndDraw(const QString &dir)
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    {
        ArchiveOptions o;
        o.path = dir + QStringLiteral("/hour.sqlite");
        Archive archive;
        archive.open(o);
        fill(archive, 1, now - 3600000 + 100, now, 10);
        int points = 0;
        drawMs(archive, 1, now - 3600000, now, &points);  // warm up fonts and caches
        const double ms = drawMs(archive, 1, now - 3600000, now, &points);
        std::printf("query + thin + draw, 1 channel, 1 h at 10 Hz (36 000 values): %.1f ms (%d points drawn)\n", ms,
                    points);
    }
    ArchiveOptions o;
    o.path = dir + QStringLiteral("/day.sqlite");
    o.queueCapacity = 48 * 86400 + 1;
    Archive archive;
    archive.open(o);
    QElapsedTimer filling;
    filling.start();
    fill(archive, 48, now - 86400000 + 1000, now, 1);
    std::printf("(a day of 48 channels at 1 Hz, %d values, stored in %.1f s)\n", 48 * 86400,
                double(filling.elapsed()) / 1000);
    int points = 0;
    const double ms = drawMs(archive, 48, now - 86400000, now, &points);
    std::printf("query + thin + draw, 48 channels, 1 day at 1 Hz (4 147 200 values): %.1f ms (%d points drawn)\n", ms,
                points);
}

void memory(const QString &dir, int seconds, int hz)
{
    ArchiveOptions o;
    o.path = dir + QStringLiteral("/memory.sqlite");
    Archive archive;
    archive.open(o);
    QVector<int> handles;
    for (int c = 0; c < 48; ++c)
        handles.append(archive.item(channelKey(c)));
    auto *trend = new QTrendWindow(&archive);
    trend->resize(1600, 900);
    trend->show();
    for (int c = 0; c < 48; ++c)
        trend->addChannel(channelKey(c), QStringLiteral("CH%0").arg(c));
    trend->setSpan(QTrendWindow::TenMinutes);
    QElapsedTimer t;
    t.start();
    qint64 sent = 0;
    QTimer feed;
    QObject::connect(&feed, &QTimer::timeout, [&] {
        const qint64 due = t.elapsed() * hz / 1000;
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        for (; sent < due; ++sent)
            for (int c = 0; c < 48; ++c)
                archive.record(handles.at(c), now, double(sent % 1000) + c);
    });
    feed.start(10);
    std::printf("memory of a trend window, 48 lines following 10 min, %d values/s per line:\n", hz);
    for (int s = 0; s <= seconds; s += 15) {
        while (t.elapsed() < qint64(s) * 1000)
            QApplication::processEvents(QEventLoop::AllEvents, 50);
        std::printf("  %4d s: %lld values per line, resident %lld kB\n", s, sent, residentKb());
        std::fflush(stdout);
    }
    delete trend;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const qint64 count = argc > 1 ? atoll(argv[1]) : 2000000;
    const int seconds = argc > 2 ? atoi(argv[2]) : 150;
    const int hz = argc > 3 ? atoi(argv[3]) : 200;
    QTemporaryDir dir;
    ArchiveOptions file;
    file.path = dir.filePath(QStringLiteral("ingest.sqlite"));
    ingest(file, count);
    ingestOnServer(count);
    queryAndDraw(dir.path());
    memory(dir.path(), seconds, hz);
    return 0;
}
