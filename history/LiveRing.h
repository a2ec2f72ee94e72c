#ifndef LIVERING_H
#define LIVERING_H

// The recent values of one item in memory, oldest first, at most `capacity`
// of them (the oldest go first). The plots draw from here what the archive
// has not yet stored, and everything while there is no archive.

#include <QPointF>
#include <QVector>

class LiveRing
{
public:
    explicit LiveRing(int capacity = 20000) : m_capacity(qMax(1, capacity)) {}

    void append(qint64 time, double value)
    {
        const QPointF p(double(time), value);
        if (m_points.size() < m_capacity) {
            m_points.append(p);
            return;
        }
        m_points[m_head] = p;
        m_head = (m_head + 1) % m_capacity;
        m_wrapped = true;
    }
    int size() const { return int(m_points.size()); }
    int capacity() const { return m_capacity; }
    // Whether values have been dropped to make room.
    bool wrapped() const { return m_wrapped; }
    const QPointF &at(int i) const { return m_points.at((m_head + i) % m_points.size()); }
    // Points with from <= x <= to, in time order.
    QVector<QPointF> between(double from, double to) const
    {
        QVector<QPointF> out;
        for (int i = 0; i < size(); ++i) {
            const QPointF &p = at(i);
            if (p.x() >= from && p.x() <= to)
                out.append(p);
        }
        return out;
    }

private:
    QVector<QPointF> m_points;
    int m_head = 0;  // index of the oldest once full
    int m_capacity;
    bool m_wrapped = false;
};

#endif
