#ifndef ARCHIVEREADER_H
#define ARCHIVEREADER_H

// Reading the archive, on a connection of its own: values of one item over a
// time span, as stored or thinned to a min/max pair per pixel column by the
// database itself, and the journal. Use on the thread that created it.
//
// On a site's server a key without a station means this station's item, and
// the journal is this station's unless the site's is asked for.

#include "history/ArchiveLocation.h"
#include "history/HistoryTypes.h"

#include <QPointF>
#include <QSqlDatabase>
#include <QString>
#include <QVector>

#include <functional>

class QSqlQuery;

class ArchiveReader
{
public:
    explicit ArchiveReader(const ArchiveLocation &location);
    ~ArchiveReader();
    ArchiveReader(const ArchiveReader &) = delete;
    ArchiveReader &operator=(const ArchiveReader &) = delete;

    bool isOpen() const { return m_error.isEmpty(); }
    // Server: connects again when the connection was lost since the last
    // query (the server restarted). False when it cannot be reached.
    bool stillConnected();
    QString error() const { return m_error; }

    // The item's row, -1 when it was never stored.
    qint64 itemId(const ItemKey &key);
    // Values with from <= t <= to, oldest first (x = ms since the epoch).
    QVector<QPointF> samples(const ItemKey &key, qint64 from, qint64 to);
    // The last value at or before t; a null point when there is none.
    QPointF lastAtOrBefore(const ItemKey &key, qint64 t);
    // Values with from <= t <= to thinned to at most a min/max pair per column.
    QVector<QPointF> decimated(const ItemKey &key, qint64 from, qint64 to, int columns);
    qint64 sampleCount();
    // Journal entries with from <= t <= to, oldest first.
    QVector<JournalEntry> journal(qint64 from, qint64 to);
    // The newest `limit` entries, oldest first.
    QVector<JournalEntry> latestJournal(int limit);
    // Server: other stations' entries stored since `after` (exclusive, ms),
    // oldest first, each naming its station.
    QVector<JournalEntry> siteJournal(qint64 after, int limit = 5000);

    // Every item stored, named as the trend names them (the station filled
    // in on a server); sorted by station, system, board, channel, parameter.
    struct StoredItem
    {
        ItemKey key;
        QString label;
    };
    QVector<StoredItem> items();

private:
    // Every stored value of item `id` in [from, to], oldest first, as it is read.
    void forEachSample(qint64 id, qint64 from, qint64 to, const std::function<void(double, double)> &take);
    static JournalEntry entryAt(const QSqlQuery &q);

    QString stationOf(const ItemKey &key) const;
    QString ownJournal() const;
    void bindOwn(QSqlQuery &q) const;

    QString m_name;
    QString m_station;
    QSqlDatabase m_db;
    QString m_error;
};

#endif
