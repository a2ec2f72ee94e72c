#include "history/HistorySettings.h"

#include <QSettings>
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
    s.beginGroup(QStringLiteral("deadBand"));
    for (const QString &name : s.childKeys()) {
        const double band = s.value(name).toDouble();
        if (band > 0)
            o.deadBands.insert(name, band);
    }
    return o;
}

void saveRetention(const RetentionLimits &limits)
{
    QSettings s;
    s.setValue(QStringLiteral("history/retentionDays"), limits.days);
    s.setValue(QStringLiteral("history/retentionMB"), limits.bytes >> 20);
}

void saveDeadBand(const QString &parameter, double band)
{
    QSettings s;
    const QString key = QStringLiteral("history/deadBand/") + parameter;
    if (band > 0)
        s.setValue(key, band);
    else
        s.remove(key);
}

} // namespace HistorySettings
