#ifndef QCUSTOMTABLEWIDGET_H
#define QCUSTOMTABLEWIDGET_H

// The channel table: one row per channel, one column per parameter name.
// Its cells are the device tree's parameter nodes themselves (or their
// mirror items in the custom view); the table never owns them and takes
// them out before it is cleared or destroyed.
//
// Selection: several cells only within one column, never several "Name"
// cells. An edit committed in one cell is copied to the other selected cells
// of the same parameter (setValueForAllSelected), as an absolute value or,
// in offset mode (table properties "Offset_I" / "Offset_V"), as an offset
// added to each cell's own value.

#include "device/CellLook.h"

#include <QBrush>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVariant>

class ORVEHVNode;

class QCustomTableWidgetDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model,
                      const QModelIndex &index) const override;
    void updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const override;

protected:
    // Cells of a system that has gone quiet are drawn greyed (EventWatchdog).
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;

public:
    // An editor closed without a commit (Escape) must not leave its cell blank.
    void destroyEditor(QWidget *editor, const QModelIndex &index) const override;
};

class QCustomTableWidget : public QTableWidget
{
    Q_OBJECT
public:
    static const QColor EvenRow;     // (238, 238, 238)
    static const QColor OddRow;      // (213, 213, 213)
    static const QColor FaultyRow;   // (238, 0, 0)
    static const QColor HeaderText;  // (85, 85, 85)
    static const char *const EmptyCellText; // "..."

    explicit QCustomTableWidget(bool customView, QWidget *parent = nullptr);
    ~QCustomTableWidget() override;

    bool isCustomView() const { return m_customView; }
    const QBrush &greyBrush() const { return m_grey; }
    const QBrush &greenBrush() const { return m_green; }

    void highlightRowHeader(int row);
    void dimRowHeader(int row);
    // The row header follows the on/off state of the row's "Pw" cell.
    void followPowerCell(QTableWidgetItem *item);

    // Takes every cell out of the table: nodes and mirrors stay with the
    // device tree, the table's own "..." cells are deleted.
    void takeAllItems();
    // The node shown by a cell (through the mirror in the custom view).
    static ORVEHVNode *nodeOf(QTableWidgetItem *item);
    // Column whose header text is `name`; -1 when none.
    int columnByName(const QString &name) const;
    QString columnName(int column) const;
    // Stripe colour of a row: alternating over the visible rows in visual order.
    QColor rowColor(int row) const;
    CellShade rowShade(int row) const;
    // Gives a node's or mirror's cell the shade it paints itself in; false
    // for any other item, which needs brushes of its own.
    static bool setParameterCellShade(QTableWidgetItem *item, CellShade shade);
    bool isEmptyCell(const QTableWidgetItem *item) const;
    // The other selected cells an absolute value given to `edited` is
    // copied to: same parameter, editable, holding another value.
    QList<ORVEHVNode *> copyTargets(const ORVEHVNode *edited, const QVariant &value) const;
    // Asked before the edited cell is written: a value that would switch
    // on more than one channel of the selection needs the operator's Yes.
    bool confirmEdit(ORVEHVNode *edited, const QVariant &value);

signals:
    // What a value copied to several cells did, for the status bar.
    void cellsWritten(const QString &report);
    void createDialogForTripHandling(int flagExt);
    void selectOffsetSettingModality(QPoint point, int column, int paramType);

public slots:
    void alternateRowColors();
    void checkColumnSelection();
    void cancelRowSelection();
    void setValueForAllSelected(QVariant valore);
    void emitCreateDialogForTripHandling(int sectionIdx);
    void emitSelectOffsetSettingModality(QPoint point);

protected:
    void mouseReleaseEvent(QMouseEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;

private:
    void selectOnlyCurrent();
    // "VSet written to 9 of 12 selected cells, 6 of them out of view."
    QString writtenReport(const QString &name, const QList<ORVEHVNode *> &written,
                          const QList<QTableWidgetItem *> &selected) const;
    bool selectionSpansColumns() const;
    void paintRow(int row, CellShade stripe, bool markFaults);

    bool m_customView;
    QBrush m_grey;
    QBrush m_green;
};

#endif
