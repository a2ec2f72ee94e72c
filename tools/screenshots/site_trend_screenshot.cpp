// A trend of two stations' systems on a site's shared archive: a PostgreSQL
// server of its own (as the tests start it), two archives as two stations
// would have them, each storing ten minutes of its crate ramping up, and the
// trend window of station "hall-a" showing its own channels beside those
// "hall-b" stored ("Site..."). Also the "Site..." list. The windows stay
// open a few seconds so a screen grab can be taken as well.
//   site_trend_screenshot [output directory, default /tmp]

#include "history/Archive.h"
#include "history/widgets/QSiteItemsDialog.h"
#include "history/widgets/QTrendWindow.h"
#include "tests/support/PgTestServer.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>

#include <cmath>
#include <cstdio>

namespace {

ArchiveOptions station(const QString &name, int port)
{
    ArchiveOptions o;
    o.server.host = QStringLiteral("127.0.0.1");
    o.server.port = port;
    o.server.database = QStringLiteral("site");
    o.server.user = PgTestServer::admin();
    o.server.station = name;
    return o;
}

// A channel ramping from 0 to `target` V at `rate` V/s from `start`, with
// the current following while it charges; a value per second.
void ramp(Archive &a, const QString &system, int channel, double target, double rate, qint64 start, qint64 now)
{
    const int v = a.item({system, 0, channel, QStringLiteral("VMon")}, QStringLiteral("CH%0").arg(channel, 2, 10, QLatin1Char('0')));
    const int i = a.item({system, 0, channel, QStringLiteral("IMon")}, QStringLiteral("CH%0").arg(channel, 2, 10, QLatin1Char('0')));
    for (qint64 t = now - 600000; t <= now; t += 1000) {
        const double s = double(t - start) / 1000;
        const double volts = s <= 0 ? 0 : qMin(target, rate * s);
        const bool charging = s > 0 && volts < target;
        a.record(v, t, volts + 0.3 * std::sin(double(t) / 7000 + channel));
        a.record(i, t, (charging ? 40 : 2.5) + 0.2 * std::sin(double(t) / 5000 + channel));
    }
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::tempPath();
    PgTestServer pg;
    if (!pg.isRunning()) {
        std::fprintf(stderr, "no server: %s\n", qPrintable(pg.why()));
        return 1;
    }
    pg.psql(QStringLiteral("CREATE DATABASE site"));
    pg.psql(QStringLiteral(KEBO_SITE_SCHEMA), QStringLiteral("site"), true);
    Archive hallA, hallB;
    if (!hallA.open(station(QStringLiteral("hall-a"), pg.port()))
        || !hallB.open(station(QStringLiteral("hall-b"), pg.port())))
        return 1;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    ramp(hallA, QStringLiteral("Crate A"), 0, 1500, 10, now - 420000, now);
    ramp(hallA, QStringLiteral("Crate A"), 1, 1500, 10, now - 400000, now);
    ramp(hallB, QStringLiteral("Crate B"), 0, 1200, 5, now - 380000, now);
    ramp(hallB, QStringLiteral("Crate B"), 3, 900, 5, now - 300000, now);
    if (!hallA.flush(60000) || !hallB.flush(60000))
        return 1;

    QTrendWindow trend(&hallA);
    trend.resize(1200, 620);
    trend.setWindowTitle(QStringLiteral("Trend - station hall-a"));
    trend.show();
    trend.addChannel({QStringLiteral("Crate A"), 0, 0, QStringLiteral("VMon")}, QStringLiteral("CH00"));
    trend.addChannel({QStringLiteral("Crate A"), 0, 1, QStringLiteral("VMon")}, QStringLiteral("CH01"));
    for (int channel : {0, 3}) {
        const ItemKey key{QStringLiteral("Crate B"), 0, channel, QStringLiteral("VMon"), QStringLiteral("hall-b")};
        trend.addChannel(key, trend.siteLabel({key, QStringLiteral("Crate B CH%0").arg(channel, 2, 10, QLatin1Char('0'))}));
    }
    QTest::qWait(800);
    trend.grab().save(out + QStringLiteral("/site-trend.png"));

    QSiteItemsDialog dialog(hallA.location(), &trend);
    dialog.setAttribute(Qt::WA_DeleteOnClose, false);
    dialog.filter()->setText(QStringLiteral("VMon"));
    dialog.show();
    for (int row = 0; row < dialog.list()->count(); ++row)
        dialog.list()->item(row)->setSelected(!dialog.list()->item(row)->isHidden()
                                              && dialog.list()->item(row)->text().startsWith(QLatin1String("hall-b")));
    QTest::qWait(500);
    dialog.grab().save(out + QStringLiteral("/site-items.png"));
    QTest::qWait(qEnvironmentVariableIntValue("KEBO_SCREENSHOT_HOLD_MS"));
    return 0;
}
