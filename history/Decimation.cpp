#include "history/Decimation.h"

#include <QtGlobal>

namespace Decimation {

qint64 columnWidth(qint64 from, qint64 to, int columns)
{
    return qMax<qint64>(1, (to - from) / qMax(1, columns) + 1);
}

Columns::Columns(double from, double to, int columns)
    : m_from(from), m_to(to), m_width(double(columnWidth(qint64(from), qint64(to), columns)))
{
}

void Columns::close()
{
    if (m_column < 0)
        return;
    const QPointF lo(m_loX, m_lo), hi(m_hiX, m_hi);
    if (m_lo == m_hi) {
        m_out.append(lo);
    } else {
        m_out.append(m_loX <= m_hiX ? lo : hi);
        m_out.append(m_loX <= m_hiX ? hi : lo);
    }
}

void Columns::add(double x, double y)
{
    if (x < m_from || x > m_to)
        return;
    const qint64 column = qint64((x - m_from) / m_width);
    if (column != m_column) {
        close();
        m_column = column;
        m_lo = m_hi = y;
        m_loX = m_hiX = x;
    } else if (y < m_lo) {
        m_lo = y;
        m_loX = x;
    } else if (y > m_hi) {
        m_hi = y;
        m_hiX = x;
    }
    m_lastPoint = QPointF(x, y);
}

QVector<QPointF> Columns::finish()
{
    close();
    // The line ends at the last value, wherever it lies in its column.
    if (m_column >= 0 && m_out.last() != m_lastPoint)
        m_out.append(m_lastPoint);
    m_column = -1;
    return std::move(m_out);
}

QVector<QPointF> minMaxPerColumn(const QVector<QPointF> &points, double from, double to, int columns)
{
    Columns c(from, to, columns);
    for (const QPointF &p : points)
        c.add(p.x(), p.y());
    return c.finish();
}

} // namespace Decimation
