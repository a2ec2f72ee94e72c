#ifndef DECIMATION_H
#define DECIMATION_H

// Thinning a time series for drawing: per pixel column of [from, to] the
// smallest value at the column's first time and the largest at its last, so
// that a day of values is as cheap to draw as a minute and no peak is lost
// (within one pixel column their order does not show). A column with a
// single value keeps it as it is. The archive thins the same way in SQL.

#include <QPointF>
#include <QVector>

namespace Decimation {

// Points sorted by x; those outside [from, to] are ignored.
QVector<QPointF> minMaxPerColumn(const QVector<QPointF> &points, double from, double to, int columns);

// Width of one column in milliseconds (at least 1).
qint64 columnWidth(qint64 from, qint64 to, int columns);

} // namespace Decimation

#endif
