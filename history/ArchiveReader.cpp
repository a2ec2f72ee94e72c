#include "history/ArchiveReader.h"

#include "history/ArchiveSchema.h"
#include "history/Decimation.h"

#include <QAtomicInteger>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <sqlite3.h>

ArchiveReader::ArchiveReader(const ArchiveLocation &location)
{
    static QAtomicInteger<quint64> serial;
    m_name = QStringLiteral("history-reader-%0").arg(++serial);
    m_station = location.isServer() ? location.server.station : QString();
    m_error = ArchiveSchema::openConnection(m_name, location, &m_db);
    if (m_error.isEmpty() && ArchiveSchema::storedVersion(m_db) != ArchiveSchema::expectedVersion(m_db))
        m_error = QStringLiteral("the archive has not been set up");
}

bool ArchiveReader::stillConnected()
{
    if (!isOpen())
        return false;
    if (!ArchiveSchema::isServer(m_db))
        return true;
    QSqlQuery ping(m_db);
    return ping.exec(QStringLiteral("SELECT 1")) || ArchiveSchema::reconnect(m_db);
}

QString ArchiveReader::stationOf(const ItemKey &key) const
{
    return key.station.isEmpty() ? m_station : key.station;
}

ArchiveReader::~ArchiveReader()
{
    m_db = QSqlDatabase();
    ArchiveSchema::closeConnection(m_name);
}

qint64 ArchiveReader::itemId(const ItemKey &key)
{
    if (!isOpen())
        return -1;
    QSqlQuery q(m_db);
    const bool site = ArchiveSchema::isServer(m_db);
    q.prepare(QStringLiteral("SELECT id FROM item WHERE system = ? AND board = ? AND channel = ? AND parameter = ?%0")
                  .arg(site ? QStringLiteral(" AND station = ?") : QString()));
    q.addBindValue(key.system);
    q.addBindValue(key.board);
    q.addBindValue(key.channel);
    q.addBindValue(key.parameter);
    if (site)
        q.addBindValue(stationOf(key));
    return q.exec() && q.next() ? q.value(0).toLongLong() : -1;
}

QVector<QPointF> ArchiveReader::samples(const ItemKey &key, qint64 from, qint64 to)
{
    QVector<QPointF> out;
    const qint64 id = itemId(key);
    if (id >= 0)
        forEachSample(id, from, to, [&out](double t, double v) { out.append(QPointF(t, v)); });
    return out;
}

void ArchiveReader::forEachSample(qint64 id, qint64 from, qint64 to, const std::function<void(double, double)> &take)
{
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT t, v FROM sample WHERE item = ? AND t BETWEEN ? AND ? ORDER BY t"));
    q.addBindValue(id);
    q.addBindValue(from);
    q.addBindValue(to);
    if (q.exec())
        while (q.next())
            take(double(q.value(0).toLongLong()), q.value(1).toDouble());
}

QPointF ArchiveReader::lastAtOrBefore(const ItemKey &key, qint64 t)
{
    const qint64 id = itemId(key);
    if (id < 0)
        return QPointF();
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("SELECT t, v FROM sample WHERE item = ? AND t <= ? ORDER BY t DESC LIMIT 1"));
    q.addBindValue(id);
    q.addBindValue(t);
    return q.exec() && q.next() ? QPointF(double(q.value(0).toLongLong()), q.value(1).toDouble()) : QPointF();
}

QVector<QPointF> ArchiveReader::decimated(const ItemKey &key, qint64 from, qint64 to, int columns)
{
    QVector<QPointF> out;
    const qint64 id = itemId(key);
    if (id < 0 || to < from)
        return out;
    Decimation::Columns columnsOf(double(from), double(to), columns);
    // A server sends the values as rows; thinned as they come.
    if (ArchiveSchema::isServer(m_db)) {
        forEachSample(id, from, to, [&columnsOf](double t, double v) { columnsOf.add(t, v); });
        return columnsOf.finish();
    }
    // The values stream through SQLite's own interface along the key and
    // are thinned as they come: nothing but the result is held.
    sqlite3 *native = ArchiveSchema::nativeHandle(m_db);
    sqlite3_stmt *select = nullptr;
    if (!native
        || sqlite3_prepare_v2(native, "SELECT t, v FROM sample WHERE item = ? AND t BETWEEN ? AND ? ORDER BY t", -1,
                              &select, nullptr)
               != SQLITE_OK)
        return out;
    sqlite3_bind_int64(select, 1, id);
    sqlite3_bind_int64(select, 2, from);
    sqlite3_bind_int64(select, 3, to);
    while (sqlite3_step(select) == SQLITE_ROW)
        columnsOf.add(double(sqlite3_column_int64(select, 0)), sqlite3_column_double(select, 1));
    sqlite3_finalize(select);
    return columnsOf.finish();
}

namespace {

const char *const JournalColumns = "id, t, system, board, channel, channel_name, kind, event, text, acknowledged";

} // namespace

JournalEntry ArchiveReader::entryAt(const QSqlQuery &q)
{
    JournalEntry e;
    e.id = q.value(0).toLongLong();
    e.time = q.value(1).toLongLong();
    e.system = q.value(2).toString();
    e.board = q.value(3).toInt();
    e.channel = q.value(4).toInt();
    e.channelName = q.value(5).toString();
    e.kind = JournalKind(q.value(6).toInt());
    e.event = JournalEvent(q.value(7).toInt());
    e.text = q.value(8).toString();
    e.acknowledged = q.value(9).toBool();
    if (q.record().count() > 10)
        e.station = q.value(10).toString();
    return e;
}

// Entries of this station: on a server, the rows that name it (the
// condition's value is bound by bindOwn()).
QString ArchiveReader::ownJournal() const
{
    return ArchiveSchema::isServer(m_db) ? QStringLiteral(" AND station = ?") : QString();
}

void ArchiveReader::bindOwn(QSqlQuery &q) const
{
    if (ArchiveSchema::isServer(m_db))
        q.addBindValue(m_station);
}

QVector<JournalEntry> ArchiveReader::latestJournal(int limit)
{
    QVector<JournalEntry> out;
    if (!isOpen())
        return out;
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT * FROM (SELECT %0 FROM journal WHERE true%1 ORDER BY id DESC LIMIT ?) AS newest"
                             " ORDER BY id")
                  .arg(QLatin1String(JournalColumns), ownJournal()));
    bindOwn(q);
    q.addBindValue(limit);
    if (!q.exec())
        return out;
    while (q.next())
        out.append(entryAt(q));
    return out;
}

QVector<JournalEntry> ArchiveReader::siteJournal(qint64 after, int limit)
{
    QVector<JournalEntry> out;
    if (!isOpen() || !ArchiveSchema::isServer(m_db))
        return out;
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT %0, station FROM journal WHERE station <> ? AND t > ? ORDER BY t, station, id"
                             " LIMIT ?")
                  .arg(QLatin1String(JournalColumns)));
    q.addBindValue(m_station);
    q.addBindValue(after);
    q.addBindValue(limit);
    if (!q.exec())
        return out;
    while (q.next())
        out.append(entryAt(q));
    return out;
}

QVector<ArchiveReader::StoredItem> ArchiveReader::items()
{
    QVector<StoredItem> out;
    if (!isOpen())
        return out;
    const bool site = ArchiveSchema::isServer(m_db);
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT system, board, channel, parameter, label, %0 AS station FROM item"
                               " ORDER BY station, system, board, channel, parameter")
                    .arg(site ? QStringLiteral("station") : QStringLiteral("''"))))
        return out;
    while (q.next())
        out.append({{q.value(0).toString(), q.value(1).toInt(), q.value(2).toInt(), q.value(3).toString(),
                     q.value(5).toString()},
                    q.value(4).toString()});
    return out;
}

qint64 ArchiveReader::sampleCount()
{
    QSqlQuery q(m_db);
    return isOpen() && q.exec(QStringLiteral("SELECT count(*) FROM sample")) && q.next() ? q.value(0).toLongLong()
                                                                                          : 0;
}

QVector<JournalEntry> ArchiveReader::journal(qint64 from, qint64 to)
{
    QVector<JournalEntry> out;
    if (!isOpen())
        return out;
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT %0 FROM journal WHERE t BETWEEN ? AND ?%1 ORDER BY id")
                  .arg(QLatin1String(JournalColumns), ownJournal()));
    q.addBindValue(from);
    q.addBindValue(to);
    bindOwn(q);
    if (!q.exec())
        return out;
    while (q.next())
        out.append(entryAt(q));
    return out;
}
