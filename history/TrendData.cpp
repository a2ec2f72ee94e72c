#include "history/TrendData.h"

#include "history/Archive.h"
#include "history/ArchiveReader.h"
#include "history/Decimation.h"

#include <QDateTime>
#include <QThread>

#include <atomic>
#include <thread>
#include <vector>

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

namespace {

// The archive part of one channel: its last value before the range and the
// range thinned to the same column width as the whole plot, so both parts
// line up.
void loadChannel(ArchiveReader &r, TrendChannel &c, qint64 from, qint64 to, qint64 flushed, int columns)
{
    c.before = r.lastAtOrBefore(c.key, from - 1);
    c.storedTo = flushed;
    const qint64 end = qMin(to, flushed);
    const int part = int(qMax<qint64>(1, qint64(columns) * (end - from) / qMax<qint64>(1, to - from)));
    c.stored = end >= from ? r.decimated(c.key, from, end, part) : QVector<QPointF>();
}

} // namespace

void TrendData::load(qint64 from, qint64 to, int columns)
{
    const qint64 flushed = flushArchive();
    ArchiveReader *r = flushed >= 0 ? reader() : nullptr;
    m_loadedAt = QDateTime::currentMSecsSinceEpoch();
    if (!r) {
        for (TrendChannel &c : m_channels) {
            c.stored.clear();  // memory only, as far back as it reaches
            c.before = QPointF();
        }
        return;
    }
    // A day of many channels is most of a second per core: a file archive
    // is read by several connections at once (WAL lets readers share it),
    // each taking the next channel until none is left. A helper whose
    // connection does not open takes none; this thread does the rest.
    TrendChannel *channels = m_channels.data();  // detached here, before the helpers start
    const int count = int(m_channels.size());
    std::atomic<int> next{0};
    auto work = [&](ArchiveReader &reader) {
        for (int i; (i = next.fetch_add(1)) < count;)
            loadChannel(reader, channels[i], from, to, flushed, columns);
    };
    // A site server is read on this station's one connection: a helper
    // would be one more log-in per load.
    const ArchiveLocation location = m_archive->location();
    const int wanted = location.isServer() ? 0 : qMin(QThread::idealThreadCount(), count / MinChannelsPerReader) - 1;
    std::vector<std::thread> helpers;
    for (int h = 0; h < qMin(wanted, MaxExtraReaders); ++h)
        helpers.emplace_back([&work, location] {
            ArchiveReader own(location);
            if (own.isOpen())
                work(own);
        });
    work(*r);
    for (std::thread &t : helpers)
        t.join();
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
