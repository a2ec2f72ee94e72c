#include "history/TrendData.h"

#include "history/Archive.h"
#include "history/ArchiveReader.h"
#include "history/Decimation.h"

#include <QDateTime>

TrendData::TrendData(Archive *archive) : m_archive(archive) {}

TrendData::~TrendData()
{
    for (const TrendChannel &c : std::as_const(m_channels))
        m_archive->unwatch(c.handle);
}

bool TrendData::add(const ItemKey &given, const QString &label)
{
    ItemKey key = given;  // this station's name is the same as none
    if (key.station == m_archive->station())
        key.station.clear();
    if (m_channels.size() >= MaxChannels)
        return false;
    for (const TrendChannel &c : std::as_const(m_channels))
        if (c.key == key)
            return false;
    TrendChannel c;
    c.key = key;
    c.label = label;
    c.handle = m_archive->item(key, label);
    m_archive->watch(c.handle);
    // From here on every value reaches memory; before, only the archive.
    c.storedTo = QDateTime::currentMSecsSinceEpoch();
    m_channels.append(c);
    return true;
}

void TrendData::remove(int index)
{
    if (index < 0 || index >= m_channels.size())
        return;
    m_archive->unwatch(m_channels.at(index).handle);
    m_channels.removeAt(index);
}

ArchiveReader *TrendData::reader()
{
    if (!m_archive->isAvailable())
        return nullptr;
    if (!m_reader)
        m_reader = std::make_unique<ArchiveReader>(m_archive->location());
    return m_reader->stillConnected() ? m_reader.get() : nullptr;
}

// The archive holds everything handed over until the returned time.
qint64 TrendData::flushArchive()
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    return m_archive->isAvailable() && m_archive->flush() ? now : -1;
}

void TrendData::load(qint64 from, qint64 to, int columns)
{
    const qint64 flushed = flushArchive();
    ArchiveReader *r = flushed >= 0 ? reader() : nullptr;
    m_loadedAt = QDateTime::currentMSecsSinceEpoch();
    for (TrendChannel &c : m_channels) {
        if (!r) {
            c.stored.clear();  // memory only, as far back as it reaches
            c.before = QPointF();
            continue;
        }
        c.before = r->lastAtOrBefore(c.key, from - 1);
        c.storedTo = flushed;
        const qint64 end = qMin(to, flushed);
        // The same column width as the whole range, so both parts line up.
        const int part = int(qMax<qint64>(1, qint64(columns) * (end - from) / qMax<qint64>(1, to - from)));
        c.stored = end >= from ? r->decimated(c.key, from, end, part) : QVector<QPointF>();
    }
}

bool TrendData::needsLoad() const
{
    const bool reloadDue = QDateTime::currentMSecsSinceEpoch() - m_loadedAt >= ForeignReloadMs;
    for (const TrendChannel &c : m_channels) {
        // Another station's values reach this one only through the archive.
        if (reloadDue && m_archive->isForeign(c.key))
            return m_archive->isAvailable();
        const LiveRing *ring = m_archive->live(c.handle);
        if (ring && ring->wrapped() && ring->at(0).x() > double(c.storedTo))
            return m_archive->isAvailable();
    }
    return false;
}

QVector<QPointF> TrendData::memoryAfter(const TrendChannel &c, qint64 after, qint64 to) const
{
    const LiveRing *ring = m_archive->live(c.handle);
    if (!ring)
        return {};
    QVector<QPointF> out = ring->between(double(after), double(to));
    if (!out.isEmpty() && out.first().x() == double(after))
        out.removeFirst();
    return out;
}

QVector<QPointF> TrendData::points(int index, qint64 from, qint64 to, int columns) const
{
    const TrendChannel &c = m_channels.at(index);
    QVector<QPointF> out;
    for (const QPointF &p : c.stored)
        if (p.x() >= double(from) && p.x() <= double(to))
            out.append(p);
    const qint64 after = c.stored.isEmpty() && !m_archive->isAvailable() ? from - 1 : qMax(from - 1, c.storedTo);
    out += Decimation::minMaxPerColumn(memoryAfter(c, after, to), double(from), double(to), columns);
    QPointF start = c.before;
    if (const LiveRing *ring = m_archive->live(c.handle))
        for (int i = 0; i < ring->size() && ring->at(i).x() < double(from); ++i)
            start = ring->at(i);
    if (!start.isNull() && (out.isEmpty() || out.first().x() > double(from)))
        out.prepend(QPointF(double(from), start.y()));
    const double end = double(qMin(to, QDateTime::currentMSecsSinceEpoch()));
    if (!out.isEmpty() && out.last().x() < end)
        out.append(QPointF(end, out.last().y()));
    return out;
}

QVector<QPointF> TrendData::rawPoints(int index, qint64 from, qint64 to)
{
    const TrendChannel &c = m_channels.at(index);
    const qint64 flushed = flushArchive();
    ArchiveReader *r = flushed >= 0 ? reader() : nullptr;
    if (!r)
        return memoryAfter(c, from - 1, to);
    QVector<QPointF> out = r->samples(c.key, from, qMin(to, flushed));
    out += memoryAfter(c, qMax(from - 1, flushed), to);
    return out;
}
