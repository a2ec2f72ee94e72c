#ifndef CELLLOOK_H
#define CELLLOOK_H

// The look of a channel-table cell that its column and row decide: right
// alignment, bold text for read-only parameters, the row's stripe or fault
// colour. Parameter cells answer it from data() instead of storing a brush,
// a font and an alignment each; what a cell sets for itself still wins.

#include <QColor>
#include <QVariant>

enum CellShade : quint8 {
    ShadeNone = 0, // never painted: the view's own colours
    ShadeEven,
    ShadeOdd,
    ShadeFaulty
};

namespace celllook {

QColor shadeColor(CellShade shade);

// The value for `role` of a cell of the given shade; invalid for roles
// the look does not decide. "Pw" cells keep the text colour their state gives.
QVariant data(int role, CellShade shade, bool readOnly, bool pwCell);

} // namespace celllook

#endif
