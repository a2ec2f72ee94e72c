#ifndef DECIMATION_H
#define DECIMATION_H

// Thinning a time series for drawing: per pixel column of [from, to] the
// smallest and the largest value, in the order they came, so that a day of
// values is as cheap to draw as a minute and no peak is lost; the line still
// ends at the last value. A column with a single value keeps it as it is.

#include <QPointF>
#include <QVector>

namespace Decimation {

// The same, fed one point at a time in x order (points outside [from, to]
// are ignored).
class Columns
{
public:
    Columns(double from, double to, int columns);
    void add(double x, double y);
    QVector<QPointF> finish();

private:
    void close();
    double m_from, m_to, m_width;
    qint64 m_column = -1;
    double m_lo = 0, m_hi = 0, m_loX = 0, m_hiX = 0;
    QPointF m_lastPoint;
    QVector<QPointF> m_out;
};

// Points sorted by x; those outside [from, to] are ignored.
QVector<QPointF> minMaxPerColumn(const QVector<QPointF> &points, double from, double to, int columns);

// Width of one column in milliseconds (at least 1).
qint64 columnWidth(qint64 from, qint64 to, int columns);

} // namespace Decimation

#endif
