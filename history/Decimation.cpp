#include "history/Decimation.h"

#include <QtGlobal>

namespace Decimation {

qint64 columnWidth(qint64 from, qint64 to, int columns)
{
    return qMax<qint64>(1, (to - from) / qMax(1, columns) + 1);
}

QVector<QPointF> minMaxPerColumn(const QVector<QPointF> &points, double from, double to, int columns)
{
    QVector<QPointF> out;
    const double width = double(columnWidth(qint64(from), qint64(to), columns));
    int i = 0;
    while (i < points.size() && points.at(i).x() < from)
        ++i;
    while (i < points.size() && points.at(i).x() <= to) {
        const qint64 column = qint64((points.at(i).x() - from) / width);
        const double first = points.at(i).x();
        double last = first, lo = points.at(i).y(), hi = lo;
        for (; i < points.size() && points.at(i).x() <= to && qint64((points.at(i).x() - from) / width) == column;
             ++i) {
            lo = qMin(lo, points.at(i).y());
            hi = qMax(hi, points.at(i).y());
            last = points.at(i).x();
        }
        out.append(QPointF(first, lo));
        if (hi != lo)
            out.append(QPointF(last, hi));
    }
    return out;
}

} // namespace Decimation
