#include "device/CellLook.h"

#include <QBrush>
#include <QFont>

namespace celllook {

QColor shadeColor(CellShade shade)
{
    switch (shade) {
    case ShadeEven:
        return QColor(238, 238, 238);
    case ShadeOdd:
        return QColor(213, 213, 213);
    case ShadeFaulty:
        return QColor(238, 0, 0);
    default:
        return QColor();
    }
}

QVariant data(int role, CellShade shade, bool readOnly, bool pwCell)
{
    switch (role) {
    case Qt::TextAlignmentRole:
        return int(Qt::AlignRight | Qt::AlignVCenter);
    case Qt::FontRole:
        if (readOnly) {
            QFont f;
            f.setBold(true);
            return f;
        }
        return QVariant();
    case Qt::BackgroundRole:
        return shade == ShadeNone ? QVariant() : QVariant(QBrush(shadeColor(shade)));
    case Qt::ForegroundRole:
        if (shade == ShadeNone || pwCell)
            return QVariant();
        return QBrush(shade == ShadeFaulty ? Qt::white : Qt::black);
    default:
        return QVariant();
    }
}

} // namespace celllook
