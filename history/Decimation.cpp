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
        QPointF lo = points.at(i), hi = points.at(i);
        int n = 0;
        for (; i < points.size() && points.at(i).x() <= to && qint64((points.at(i).x() - from) / width) == column;
             ++i, ++n) {
            if (points.at(i).y() < lo.y())
                lo = points.at(i);
            if (points.at(i).y() > hi.y())
                hi = points.at(i);
        }
        if (n == 1 || lo == hi) {
            out.append(lo);
        } else if (lo.x() <= hi.x()) {
            out.append(lo);
            out.append(hi);
        } else {
            out.append(hi);
            out.append(lo);
        }
    }
    return out;
}

} // namespace Decimation
