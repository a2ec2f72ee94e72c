#include "history/HistorySettings.h"

#include <QSettings>
#include <QSysInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace HistorySettings {

ArchiveOptions load()
{
    QSettings s;
    s.beginGroup(QStringLiteral("history"));
    ArchiveOptions o;
    const QString dataDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    o.path = s.value(QStringLiteral("databaseFile"), dataDir + QStringLiteral("/history.sqlite")).toString();
    // Test programs run side by side: each keeps its archive to itself, for
    // as long as it runs.
    if (QStandardPaths::isTestModeEnabled() && !s.contains(QStringLiteral("databaseFile"))) {
        static QTemporaryDir own;
        o.path = own.path() + QStringLiteral("/history.sqlite");
    }
    o.retention.days = qMax(1, s.value(QStringLiteral("retentionDays"), o.retention.days).toInt());
    o.retention.bytes = qMax<qint64>(16, s.value(QStringLiteral("retentionMB"), o.retention.bytes >> 20).toLongLong())
                        << 20;
    // Written out once, so that they can be found and changed.
    if (!s.contains(QStringLiteral("retentionDays")))
        s.setValue(QStringLiteral("retentionDays"), o.retention.days);
    if (!s.contains(QStringLiteral("retentionMB")))
        s.setValue(QStringLiteral("retentionMB"), o.retention.bytes >> 20);
    s.beginGroup(QStringLiteral("server"));
    o.server.host = s.value(QStringLiteral("host")).toString().trimmed();
    o.server.port = s.value(QStringLiteral("port"), o.server.port).toInt();
    o.server.database = s.value(QStringLiteral("database"), QStringLiteral("kebodesk")).toString();
    o.server.user = s.value(QStringLiteral("user"), qEnvironmentVariable("USER")).toString();
    o.server.station = s.value(QStringLiteral("station"), QSysInfo::machineHostName()).toString();
    o.backlogCapacity = qMax(0, s.value(QStringLiteral("backlogValues"), o.backlogCapacity).toInt());
    s.endGroup();
    s.beginGroup(QStringLiteral("deadBand"));
    for (const QString &name : s.childKeys()) {
        const double band = s.value(name).toDouble();
        if (band > 0)
            o.deadBands.insert(name, band);
    }
    return o;
}

} // namespace HistorySettings
