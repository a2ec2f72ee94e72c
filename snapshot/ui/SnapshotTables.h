#ifndef SNAPSHOTTABLES_H
#define SNAPSHOTTABLES_H

// The read-only lists of the snapshot dialogs (comparison, preview, report).

#include <QStringList>

class QTableWidget;
class QWidget;

namespace snapshot_ui {

// Whole rows selected, no row numbers, last column stretched, no editing.
QTableWidget *makeListTable(const QStringList &headers, const QString &objectName, QWidget *parent);
// Fills the row from column `first` on with plain text cells.
void setRowTexts(QTableWidget *table, int row, const QStringList &texts, int first = 0);

} // namespace snapshot_ui

#endif
