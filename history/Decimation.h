#ifndef DECIMATION_H
#define DECIMATION_H

// Thinning a time series for drawing: per pixel column of [from, to] the
// smallest and the largest value (in the order they came), so that a day of
// values is as cheap to draw as a minute and no peak is lost. A column with
// a single value keeps it as it is.

#include <QPointF>
#include <QVector>

namespace Decimation {

// Points sorted by x; those outside [from, to] are ignored.
QVector<QPointF> minMaxPerColumn(const QVector<QPointF> &points, double from, double to, int columns);

// Width of one column in milliseconds (at least 1).
qint64 columnWidth(qint64 from, qint64 to, int columns);

} // namespace Decimation

#endif
