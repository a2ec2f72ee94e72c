#ifndef ARCHIVEREADER_H
#define ARCHIVEREADER_H

// Reading the archive, on a connection of its own: values of one item over a
// time span, as stored or thinned to a min/max pair per pixel column by the
// database itself, and the journal. Use on the thread that created it.

#include "history/HistoryTypes.h"

#include <QPointF>
#include <QSqlDatabase>
#include <QString>
#include <QVector>

class QSqlQuery;

class ArchiveReader
{
public:
    explicit ArchiveReader(const QString &path);
    ~ArchiveReader();
    ArchiveReader(const ArchiveReader &) = delete;
    ArchiveReader &operator=(const ArchiveReader &) = delete;

    bool isOpen() const { return m_error.isEmpty(); }
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

private:
    static JournalEntry entryAt(const QSqlQuery &q);

    QString m_name;
    QSqlDatabase m_db;
    QString m_error;
};

#endif
