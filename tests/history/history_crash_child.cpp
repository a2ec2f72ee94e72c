// The program side of the kill -9 drill: archives one item at about 1 kHz
// into the file named on the command line and prints, every 50 ms, the time
// and number of the last value it handed over ("handed <ms> <n>"), until it
// is killed.

#include "history/Archive.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QThread>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    ArchiveOptions options;
    options.path = QString::fromLocal8Bit(argv[1]);
    Archive archive;
    if (!archive.open(options)) {
        std::printf("failed %s\n", qPrintable(archive.failure()));
        return 1;
    }
    const int item = archive.item({QStringLiteral("Drill"), 0, 0, QStringLiteral("VMon")});
    qint64 lastPrint = 0;
    for (qint64 n = 0;; ++n) {
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        archive.record(item, now * 1000 + n % 1000, double(n));  // distinct keys even within one ms
        if (now - lastPrint >= 50) {
            std::printf("handed %lld %lld\n", now, n);
            std::fflush(stdout);
            lastPrint = now;
        }
        QThread::usleep(1000);
    }
}
