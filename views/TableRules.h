#ifndef TABLERULES_H
#define TABLERULES_H

// Rules of the channel table that need no widget: column name groups, row
// labels, view-mode choice, Minimal-mode columns, offset arithmetic and
// value comparison for multi-set.

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

namespace TableRules {

// "I0Set"/"ISet" (offset type 0) and "V0Set"/"VSet" (offset type 1).
bool isCurrentSetColumn(const QString &name);
bool isVoltageSetColumn(const QString &name);
// 0 for a current set column, 1 for a voltage set column, -1 otherwise.
int offsetParamType(const QString &name);

// The ten priority passes, each a list of names that belong to it.
const QVector<QStringList> &priorityPasses();
// The twelve names Minimal mode shows.
const QStringList &minimalNames();

// Row header label of a channel: board part from the board node's name
// ("Board" + two digits), channel part from the channel node's name
// ("Chan" + three digits). Type-16 systems number boards as crate/slot.
// The custom view prefixes the system name in brackets.
QString rowLabel(const QString &boardName, const QString &channelName, int systemType,
                 bool customView, const QString &systemName);

// 0 Full, 1 Minimal, 2 Custom from the combo text; -1 when none matches.
int viewModeFromChoice(const QString &choice);

// Which of the given column headers Minimal mode shows.
QVector<bool> minimalColumns(const QStringList &headers);

// current + offset when it lies within [minval, maxval] (both included).
bool offsetTarget(double current, double offset, double minval, double maxval, double *result);

// Whether a cell holding `current` must be written to become `wanted`
// (no value yet counts as different). Floats compare as 32-bit floats.
bool differs(const QVariant &current, const QVariant &wanted, int dataType);

// Minval / Maxval when present and numeric, else the wide defaults.
constexpr double DefaultMin = -2147483647.0;
constexpr double DefaultMax = 2147483647.0;
double rangeValue(const QVariant &v, double fallback);

} // namespace TableRules

#endif
