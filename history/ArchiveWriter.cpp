#include "history/ArchiveWriter.h"

#include "history/ArchiveSchema.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QSqlError>
#include <QSqlQuery>

#include <sqlite3.h>

#include <charconv>
#include <cmath>
#include <string>

namespace {

constexpr qint64 PruneEveryMs = 10 * 60 * 1000;

QString errorOf(const QSqlQuery &q) { return q.lastError().text(); }

QVector<qint64> itemRows(QSqlDatabase &db)
{
    QVector<qint64> ids;
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (q.exec(QStringLiteral("SELECT id FROM item")))
        while (q.next())
            ids.append(q.value(0).toLongLong());
    return ids;
}

// Deletes every value older than `cutoff`, item by item so that each delete
// walks the key instead of the whole table.
QString deleteBefore(QSqlDatabase &db, const QVector<qint64> &items, qint64 cutoff)
{
    if (!db.transaction())
        return db.lastError().text();
    QSqlQuery del(db);
    del.prepare(QStringLiteral("DELETE FROM sample WHERE item = ? AND t < ?"));
    for (qint64 id : items) {
        del.bindValue(0, id);
        del.bindValue(1, cutoff);
        if (!del.exec()) {
            const QString e = errorOf(del);
            db.rollback();
            return e;
        }
    }
    QSqlQuery journal(db);
    journal.prepare(QStringLiteral("DELETE FROM journal WHERE t < ?"));
    journal.bindValue(0, cutoff);
    if (!journal.exec()) {
        const QString e = errorOf(journal);
        db.rollback();
        return e;
    }
    return db.commit() ? QString() : db.lastError().text();
}

qint64 pragmaValue(QSqlDatabase &db, const char *name)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("PRAGMA %0").arg(QLatin1String(name))) || !q.next())
        return 0;
    return q.value(0).toLongLong();
}

qint64 usedBytes(QSqlDatabase &db)
{
    return (pragmaValue(db, "page_count") - pragmaValue(db, "freelist_count")) * pragmaValue(db, "page_size");
}

qint64 oldestTime(QSqlDatabase &db, const QVector<qint64> &items)
{
    qint64 oldest = std::numeric_limits<qint64>::max();
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT min(t) FROM sample WHERE item = ?"));
    for (qint64 id : items) {
        q.bindValue(0, id);
        if (q.exec() && q.next() && !q.value(0).isNull())
            oldest = qMin(oldest, q.value(0).toLongLong());
    }
    return oldest;
}

} // namespace

ArchiveWriter::ArchiveWriter(ArchiveQueue &queue, const ArchiveLocation &location, int commitIntervalMs,
                             QObject *parent)
    : QThread(parent), m_queue(queue), m_location(location), m_commitIntervalMs(commitIntervalMs)
{
}

void ArchiveWriter::setBacklog(int capacity, int retryMs)
{
    m_backlogCapacity = qMax(0, capacity);
    m_retryMs = qMax(10, retryMs);
}

ArchiveWriter::~ArchiveWriter()
{
    m_queue.stop();
    wait();
}

void ArchiveWriter::setRetention(const RetentionLimits &limits)
{
    QMutexLocker lock(&m_limitsMutex);
    m_limits = limits;
}

QString ArchiveWriter::prune(QSqlDatabase &db, const RetentionLimits &limits, qint64 now)
{
    const QVector<qint64> items = itemRows(db);
    QString error = deleteBefore(db, items, now - qint64(limits.days) * 24 * 3600 * 1000);
    // Over the size: the oldest tenth of what is kept goes, until it fits.
    for (int round = 0; error.isEmpty() && round < 30 && usedBytes(db) > limits.bytes; ++round) {
        const qint64 oldest = oldestTime(db, items);
        if (oldest == std::numeric_limits<qint64>::max())
            break;
        error = deleteBefore(db, items, oldest + qMax<qint64>((now - oldest) / 10, 1000));
    }
    if (error.isEmpty()) {
        QSqlQuery vacuum(db);
        vacuum.exec(QStringLiteral("PRAGMA incremental_vacuum"));
        while (vacuum.next()) {
        }
    }
    return error;
}

void ArchiveWriter::fail(const QString &reason)
{
    if (!m_failed.exchange(true))
        emit failed(reason);
}

QString ArchiveWriter::storeItems(QSqlDatabase &db, const QVector<NewItem> &items)
{
    // On a site's server the station is part of the item.
    const bool site = ArchiveSchema::isServer(db);
    const QString station = site ? QStringLiteral("station, ") : QString();
    QSqlQuery q(db);
    q.prepare(QStringLiteral("INSERT INTO item(%0system, board, channel, parameter, label) VALUES (%1?,?,?,?,?)"
                             " ON CONFLICT(%0system, board, channel, parameter) DO UPDATE SET label = excluded.label"
                             " RETURNING id")
                  .arg(station, site ? QStringLiteral("?,") : QString()));
    for (const NewItem &item : items) {
        int i = 0;
        if (site)
            q.bindValue(i++, m_location.server.station);
        for (const QVariant &v : {QVariant(item.key.system), QVariant(item.key.board), QVariant(item.key.channel),
                                  QVariant(item.key.parameter), QVariant(item.label)})
            q.bindValue(i++, v);
        if (!q.exec() || !q.next())
            return errorOf(q);
        m_itemIds.insert(item.handle, q.value(0).toLongLong());
        q.finish();
    }
    return QString();
}

// The values are the bulk of the work: they go through SQLite's own
// statement interface on Qt's connection, one prepared statement reused per
// value, which costs a fraction of binding variants through QSqlQuery.
QString ArchiveWriter::storeSamples(QSqlDatabase &db, const QVector<Sample> &samples)
{
    if (ArchiveSchema::isServer(db))
        return storeServerSamples(db, samples);
    sqlite3 *native = ArchiveSchema::nativeHandle(db);
    if (!native)
        return QStringLiteral("the database connection is not SQLite");
    sqlite3_stmt *insert = nullptr;
    if (sqlite3_prepare_v2(native, "INSERT OR REPLACE INTO sample(item, t, v) VALUES (?, ?, ?)", -1, &insert,
                           nullptr)
        != SQLITE_OK)
        return QString::fromUtf8(sqlite3_errmsg(native));
    qint64 stored = 0;
    QString error;
    for (const Sample &s : samples) {
        const auto id = m_itemIds.constFind(s.item);
        if (id == m_itemIds.constEnd())
            continue;
        sqlite3_bind_int64(insert, 1, *id);
        sqlite3_bind_int64(insert, 2, s.time);
        sqlite3_bind_double(insert, 3, s.value);
        if (sqlite3_step(insert) != SQLITE_DONE) {
            error = QString::fromUtf8(sqlite3_errmsg(native));
            break;
        }
        sqlite3_reset(insert);
        ++stored;
    }
    sqlite3_finalize(insert);
    if (error.isEmpty())
        m_stored.fetch_add(stored, std::memory_order_relaxed);
    return error;
}

// On the server the values go as three arrays per statement, thousands of
// rows in one round trip. When a backlog is sent again (its commit's answer
// may have been lost) a value already stored is left as it is; the first
// attempt does without that check, which costs the server a third more.
QString ArchiveWriter::storeServerSamples(QSqlDatabase &db, const QVector<Sample> &samples)
{
    constexpr int RowsPerStatement = 20000;
    m_sending = 0;
    QSqlQuery q(db);
    // Numbers only, so the arrays are written straight into the statement.
    std::string items, times, values;
    int rows = 0;
    auto send = [&]() -> QString {
        if (rows == 0)
            return QString();
        const QString sql = QStringLiteral("INSERT INTO sample(item, t, v) SELECT * FROM unnest('{%0}'::bigint[],"
                                           " '{%1}'::bigint[], '{%2}'::float8[])%3")
                                .arg(QLatin1String(items.data(), qsizetype(items.size())),
                                     QLatin1String(times.data(), qsizetype(times.size())),
                                     QLatin1String(values.data(), qsizetype(values.size())),
                                     m_resending ? QStringLiteral(" ON CONFLICT DO NOTHING") : QString());
        items.clear();
        times.clear();
        values.clear();
        m_sending += rows;
        rows = 0;
        return q.exec(sql) ? QString() : errorOf(q);
    };
    char text[32];
    auto add = [&text](std::string &to, auto number) {
        if (!to.empty())
            to += ',';
        to.append(text, std::to_chars(text, text + sizeof text, number).ptr);
    };
    for (const Sample &s : samples) {
        const auto id = m_itemIds.constFind(s.item);
        if (id == m_itemIds.constEnd())
            continue;
        add(items, *id);
        add(times, s.time);
        if (std::isfinite(s.value)) {
            add(values, s.value);  // the shortest text that reads back the same
        } else {
            values += values.empty() ? "" : ",";
            values += std::isnan(s.value) ? "NaN" : s.value > 0 ? "Infinity" : "-Infinity";
        }
        if (++rows == RowsPerStatement) {
            const QString error = send();
            if (!error.isEmpty())
                return error;
        }
    }
    return send();
}

QString ArchiveWriter::storeJournal(QSqlDatabase &db, const ArchiveBatch &batch)
{
    // A site's journal is keyed by station and id; an entry sent again after
    // a lost answer is the same entry.
    const bool site = ArchiveSchema::isServer(db);
    QSqlQuery q(db);
    q.prepare(site ? QStringLiteral("INSERT INTO journal(station, id, t, system, board, channel, channel_name, kind,"
                                    " event, text, acknowledged) VALUES (?,?,?,?,?,?,?,?,?,?,?)"
                                    " ON CONFLICT(station, id) DO NOTHING")
                   : QStringLiteral("INSERT OR REPLACE INTO journal(id, t, system, board, channel, channel_name, kind,"
                                    " event, text, acknowledged) VALUES (?,?,?,?,?,?,?,?,?,?)"));
    for (const JournalEntry &e : batch.journal) {
        QVariantList values = {e.id, e.time, e.system, e.board, e.channel, e.channelName, int(e.kind),
                               int(e.event), e.text, e.acknowledged ? 1 : 0};
        if (site)
            values.prepend(m_location.server.station);
        for (int i = 0; i < values.size(); ++i)
            q.bindValue(i, values.at(i));
        if (!q.exec())
            return errorOf(q);
    }
    QSqlQuery ack(db);
    ack.prepare(site ? QStringLiteral("UPDATE journal SET acknowledged = 1 WHERE id = ? AND station = ?")
                     : QStringLiteral("UPDATE journal SET acknowledged = 1 WHERE id = ?"));
    for (qint64 id : batch.acknowledged) {
        ack.bindValue(0, id);
        if (site)
            ack.bindValue(1, m_location.server.station);
        if (!ack.exec())
            return errorOf(ack);
    }
    return QString();
}

QString ArchiveWriter::store(QSqlDatabase &db, const ArchiveBatch &batch)
{
    if (!db.transaction())
        return db.lastError().text();
    QString error = storeItems(db, batch.items);
    if (error.isEmpty())
        error = storeSamples(db, batch.samples);
    if (error.isEmpty())
        error = storeJournal(db, batch);
    if (error.isEmpty() && !db.commit())
        error = db.lastError().text();
    if (!error.isEmpty())
        db.rollback();
    return error;
}

void ArchiveWriter::run()
{
    const QString name = QStringLiteral("history-writer-%0").arg(quintptr(this), 0, 16);
    {
        QSqlDatabase db;
        QString error = ArchiveSchema::openConnection(name, m_location, &db);
        if (error.isEmpty())
            error = ArchiveSchema::migrate(db);
        if (m_location.isServer()) {
            // The schema was checked when the archive opened: a server that
            // is gone by now is an outage like any later one.
            if (!error.isEmpty() && !db.isOpen() && !m_offline.exchange(true))
                emit offline(error);
            else if (!error.isEmpty())
                fail(error);
            runOnServer(db);
        } else {
            if (!error.isEmpty())
                fail(error);
            runOnFile(db);
        }
    }
    ArchiveSchema::closeConnection(name);
}

void ArchiveWriter::runOnFile(QSqlDatabase &db)
{
    QElapsedTimer sincePrune;
    sincePrune.start();
    bool pruneDue = true;  // once at start, then every PruneEveryMs
    for (;;) {
        const bool stopping = m_queue.stopped();
        const ArchiveBatch batch = m_queue.take(m_commitIntervalMs);
        if (!m_failed && !batch.isEmpty()) {
            const QString error = store(db, batch);
            if (!error.isEmpty())
                fail(error);
        }
        m_queue.markDone(batch.ticket);
        if (stopping && batch.isEmpty())
            break;
        if (m_failed || stopping)
            continue;
        if (pruneDue || m_pruneNow.exchange(false) || sincePrune.elapsed() > PruneEveryMs) {
            RetentionLimits limits;
            {
                QMutexLocker lock(&m_limitsMutex);
                limits = m_limits;
            }
            const QString error = prune(db, limits, QDateTime::currentMSecsSinceEpoch());
            if (!error.isEmpty())
                fail(error);
            pruneDue = false;
            sincePrune.restart();
        }
    }
}

void ArchiveWriter::runOnServer(QSqlDatabase &db)
{
    for (;;) {
        const bool stopping = m_queue.stopped();
        const ArchiveBatch batch = m_queue.take(m_offline ? m_retryMs : m_commitIntervalMs);
        if (!m_failed) {
            addToBacklog(batch);
            if (!m_backlog.isEmpty())
                sendBacklog(db);
        }
        m_queue.markDone(batch.ticket);
        if (stopping && batch.isEmpty())
            break;
    }
}

void ArchiveWriter::addToBacklog(const ArchiveBatch &batch)
{
    const int room = m_offline ? qMax(0, m_backlogCapacity - int(m_backlog.samples.size())) : INT_MAX;
    if (m_backlog.isEmpty() && batch.samples.size() <= room) {
        m_backlog = batch;
        return;
    }
    m_backlog.items += batch.items;
    m_backlog.journal += batch.journal;
    m_backlog.acknowledged += batch.acknowledged;
    const int taken = qMin(room, int(batch.samples.size()));
    m_backlog.samples.append(batch.samples.constBegin(), batch.samples.constBegin() + taken);
    m_backlogLost += batch.samples.size() - taken;
}

// Stores the backlog. A failure is an outage when the server cannot be
// reached again; when it can and still refuses, the archive has failed.
bool ArchiveWriter::sendBacklog(QSqlDatabase &db)
{
    m_resending = false;
    QString error = m_offline ? QStringLiteral("the server is away") : store(db, m_backlog);
    if (!error.isEmpty()) {
        if (!ArchiveSchema::reconnect(db)) {
            if (!m_offline.exchange(true))
                emit offline(error);
            return false;
        }
        m_resending = true;
        error = store(db, m_backlog);
        if (!error.isEmpty()) {
            fail(error);
            return false;
        }
    }
    m_stored.fetch_add(m_sending, std::memory_order_relaxed);
    m_backlog = ArchiveBatch();
    if (m_offline.exchange(false)) {
        emit online(m_backlogLost);
        m_backlogLost = 0;
    }
    return true;
}
