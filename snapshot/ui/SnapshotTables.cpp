#include "snapshot/ui/SnapshotTables.h"

#include <QHeaderView>
#include <QTableWidget>

namespace snapshot_ui {

QTableWidget *makeListTable(const QStringList &headers, const QString &objectName, QWidget *parent)
{
    auto *t = new QTableWidget(0, headers.size(), parent);
    t->setObjectName(objectName);
    t->setHorizontalHeaderLabels(headers);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->verticalHeader()->hide();
    t->horizontalHeader()->setStretchLastSection(true);
    return t;
}

void setRowTexts(QTableWidget *table, int row, const QStringList &texts, int first)
{
    for (int c = 0; c < texts.size(); ++c)
        table->setItem(row, first + c, new QTableWidgetItem(texts.at(c)));
}

} // namespace snapshot_ui
