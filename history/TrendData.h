#ifndef TRENDDATA_H
#define TRENDDATA_H

// The values behind a trend plot: up to 48 items, each joined from two
// sources without a gap and without a value twice. Everything up to the
// moment of the last load comes from the archive (flushed first, so it
// holds every value handed over until then); what came since comes from the
// memory the archive keeps of watched items. Without an archive the memory
// is all there is. What is held stays bounded however long a plot follows:
// the memory ring per item and about two points per pixel column. Another
// station's items (site view) have no memory here: the archive part of the
// plot is read again every ForeignReloadMs while it follows.

#include "history/HistoryTypes.h"

#include <QPointF>
#include <QString>
#include <QVector>

#include <memory>

class Archive;
class ArchiveReader;

struct TrendChannel
{
    ItemKey key;
    QString label;
    int handle = -1;
    QVector<QPointF> stored;  // thinned archive values up to storedTo
    QPointF before;           // the archive's last value before the range (null: none)
    qint64 storedTo = 0;      // values after this come from memory
};

class TrendData
{
public:
    static constexpr int MaxChannels = 48;
    static constexpr qint64 ForeignReloadMs = 2000;
    // Loading reads a file archive on up to this many more connections, one
    // per core, each for at least MinChannelsPerReader channels.
    static constexpr int MaxExtraReaders = 7;
    static constexpr int MinChannelsPerReader = 4;

    explicit TrendData(Archive *archive);
    ~TrendData();
    TrendData(const TrendData &) = delete;
    TrendData &operator=(const TrendData &) = delete;

    // False when the plot is full or already shows the item.
    bool add(const ItemKey &key, const QString &label);
    void remove(int index);
    int count() const { return int(m_channels.size()); }
    const TrendChannel &channel(int index) const { return m_channels.at(index); }

    // Reads the archive part of every channel for [from, to] anew.
    void load(qint64 from, qint64 to, int columns);
    // True when the memory no longer reaches back to the archive part of a
    // channel (it has been following longer than the memory holds), or
    // another station's line is due to be read again: load().
    bool needsLoad() const;
    // At most about two points per column of [from, to], oldest first. A
    // value holds until the next one: the value before the range starts the
    // line at `from`, the last one is carried on to `to` (at most to now).
    QVector<QPointF> points(int index, qint64 from, qint64 to, int columns) const;
    // Every value in [from, to], oldest first (export).
    QVector<QPointF> rawPoints(int index, qint64 from, qint64 to);

private:
    ArchiveReader *reader();
    qint64 flushArchive();
    QVector<QPointF> memoryAfter(const TrendChannel &c, qint64 after, qint64 to) const;

    Archive *m_archive;
    std::unique_ptr<ArchiveReader> m_reader;
    QVector<TrendChannel> m_channels;
    qint64 m_loadedAt = 0;
};

#endif
