#include "views/QCustomTableWidget.h"

#include "device/EventWatchdog.h"
#include "device/OperatorMessage.h"

#include "device/ORVEHVMirrorNode.h"
#include "device/ORVEHVNode.h"
#include "views/FrozenNameColumn.h"
#include "views/ORVEHVWidgetItem.h"
#include "views/SwitchOnQuestion.h"
#include "views/TableRules.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QStyle>
#include <QStyleFactory>

const QColor QCustomTableWidget::EvenRow = celllook::shadeColor(ShadeEven);
const QColor QCustomTableWidget::OddRow = celllook::shadeColor(ShadeOdd);
const QColor QCustomTableWidget::FaultyRow = celllook::shadeColor(ShadeFaulty);
const QColor QCustomTableWidget::HeaderText(85, 85, 85);
const char *const QCustomTableWidget::EmptyCellText = "...";

namespace {

// Row header that paints a section's own brush over whatever the style sheet
// draws, so the powered (green) and idle (grey) colours show under any
// application style sheet.
class QCustomRowHeader : public QHeaderView
{
public:
    explicit QCustomRowHeader(QWidget *parent) : QHeaderView(Qt::Vertical, parent) {}

protected:
    void paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const override
    {
        painter->save();
        QHeaderView::paintSection(painter, rect, logicalIndex);
        painter->restore();
        if (!model() || !rect.isValid())
            return;
        const QVariant bg = model()->headerData(logicalIndex, orientation(), Qt::BackgroundRole);
        if (!bg.canConvert<QBrush>())
            return;
        const QBrush brush = bg.value<QBrush>();
        if (brush.style() == Qt::NoBrush)
            return;
        painter->save();
        painter->setCompositionMode(QPainter::CompositionMode_SourceOver);
        painter->setClipRect(rect);
        painter->setOpacity(1.0);
        const QRect r = rect.adjusted(0, 0, -1, -1);
        painter->fillRect(r, brush);
        painter->setPen(brush.color().darker(130));
        painter->drawLine(r.bottomLeft(), r.bottomRight());
        painter->drawLine(r.topRight(), r.bottomRight());
        const QVariant fg = model()->headerData(logicalIndex, orientation(), Qt::ForegroundRole);
        painter->setPen(fg.canConvert<QBrush>() ? fg.value<QBrush>().color() : palette().color(QPalette::ButtonText));
        const QVariant font = model()->headerData(logicalIndex, orientation(), Qt::FontRole);
        painter->setFont(font.canConvert<QFont>() ? font.value<QFont>() : this->font());
        const QString text = model()->headerData(logicalIndex, orientation(), Qt::DisplayRole).toString();
        painter->drawText(r.adjusted(4, 0, -4, 0), int(Qt::AlignLeft | Qt::AlignVCenter), text);
        painter->restore();
    }
};

} // namespace

// ------------------------------------------------------------- delegate
QWidget *QCustomTableWidgetDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                                                  const QModelIndex &index) const
{
    auto *table = qobject_cast<QCustomTableWidget *>(const_cast<QWidget *>(option.widget));
    QTableWidgetItem *cell = table ? table->item(index.row(), index.column()) : nullptr;
    ORVEHVNode *node = QCustomTableWidget::nodeOf(cell);
    if (!table || !node)
        return new QLineEdit(parent);

    auto *editor = new ORVEHVWidgetItem(node, parent, false);
    editor->setEditorRole(true, false);
    // the transparent editor sits on the cell; the cell must not show through
    if (node->dataType() != DataOnOff && node->dataType() != DataEnum)
        cell->setText(QString());
    editor->buildEditor(node->dataType(), node->accessMode(), node->value().value, node->unitText(),
                        true);
    connect(editor, &ORVEHVWidgetItem::endEditing, table, &QCustomTableWidget::setValueForAllSelected);
    editor->setWriteCheck([table = QPointer<QCustomTableWidget>(table), node](const QVariant &value) {
        return table && table->confirmEdit(node, value);
    });
    return editor;
}

void QCustomTableWidgetDelegate::initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    const auto *table = qobject_cast<const QCustomTableWidget *>(option->widget);
    const ORVEHVNode *node = table ? QCustomTableWidget::nodeOf(table->item(index.row(), index.column())) : nullptr;
    if (node && EventWatchdog::isSilentHandle(node->handle())) {
        option->palette.setColor(QPalette::Text, QColor(150, 150, 150));
        option->font.setItalic(true);
    }
}

void QCustomTableWidgetDelegate::setEditorData(QWidget *, const QModelIndex &) const
{
    // the editor is filled when it is built
}

void QCustomTableWidgetDelegate::setModelData(QWidget *editor, QAbstractItemModel *model,
                                              const QModelIndex &index) const
{
    auto *item = qobject_cast<ORVEHVWidgetItem *>(editor);
    auto *table = qobject_cast<QCustomTableWidget *>(parent());
    if (!item || !item->node()) {
        if (auto *line = qobject_cast<QLineEdit *>(editor))
            model->setData(index, line->text());
        return;
    }
    if (item->isOffsetColumn() && !item->property("Entered").toBool()) {
        // left without Enter: the typed offset is dropped
        item->restoreFromNode();
        item->setProperty("Entered", false);
    }
    // The cell shows what the node holds: the written value after a
    // successful write, the old one again after a refused write.
    QTableWidgetItem *cell = table ? table->item(index.row(), index.column()) : nullptr;
    if (cell && QCustomTableWidget::nodeOf(cell) == item->node())
        cell->setText(item->node()->cellText());
    else
        model->setData(index, item->displayText());
}

void QCustomTableWidgetDelegate::updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                                                      const QModelIndex &) const
{
    editor->setGeometry(option.rect);
}

void QCustomTableWidgetDelegate::destroyEditor(QWidget *editor, const QModelIndex &index) const
{
    auto *item = qobject_cast<ORVEHVWidgetItem *>(editor);
    auto *table = qobject_cast<QCustomTableWidget *>(parent());
    if (item && item->node() && table) {
        QTableWidgetItem *cell = table->item(index.row(), index.column());
        if (cell && QCustomTableWidget::nodeOf(cell) == item->node())
            cell->setText(item->node()->cellText());
    }
    QStyledItemDelegate::destroyEditor(editor, index);
}

// ---------------------------------------------------------------- table
QCustomTableWidget::QCustomTableWidget(bool customView, QWidget *parent)
    : QTableWidget(parent), m_customView(customView), m_grey(QColor(128, 128, 128)),
      m_green(QColor(53, 169, 18))
{
    setVerticalHeader(new QCustomRowHeader(this));
    // A "Pw" cell that shows a new value recolours its row header.
    connect(this, &QTableWidget::itemChanged, this, &QCustomTableWidget::followPowerCell);
    setObjectName(QStringLiteral("subWinTable"));
    setItemDelegate(new QCustomTableWidgetDelegate(this));
    setStyleSheet(QStringLiteral(":enabled { background:#FEFEFE; }\n:!enabled { background:#CCCCCC; }"));
    setSortingEnabled(false);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    horizontalHeader()->setObjectName(QStringLiteral("horizontalHeader"));
    verticalHeader()->setObjectName(QStringLiteral("verticalHeader"));
    horizontalHeader()->setSectionsMovable(true);
    verticalHeader()->setSectionsMovable(true);
    setEditTriggers(QAbstractItemView::CurrentChanged | QAbstractItemView::DoubleClicked |
                    QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerItem);
    if (QStyle *s = QStyleFactory::create(QStringLiteral("Fusion"))) {
        s->setParent(verticalHeader());
        verticalHeader()->setStyle(s);
    }
    setProperty("Offset_I", false);
    setProperty("Offset_V", false);

    connect(verticalHeader(), &QHeaderView::sectionClicked, this, &QCustomTableWidget::cancelRowSelection);
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, &QCustomTableWidget::checkColumnSelection);
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this,
            &QCustomTableWidget::emitCreateDialogForTripHandling);
    horizontalHeader()->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(horizontalHeader(), &QWidget::customContextMenuRequested, this,
            &QCustomTableWidget::emitSelectOffsetSettingModality);
    connect(verticalHeader(), &QHeaderView::sectionMoved, this, &QCustomTableWidget::alternateRowColors);
    new FrozenNameColumn(this);
}

QCustomTableWidget::~QCustomTableWidget()
{
    // the nodes belong to the device tree
    takeAllItems();
}

ORVEHVNode *QCustomTableWidget::nodeOf(QTableWidgetItem *item)
{
    return ORVEHVNode::fromItem(item);
}

void QCustomTableWidget::takeAllItems()
{
    const int rows = rowCount();
    const int cols = columnCount();
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            QTableWidgetItem *it = takeItem(r, c);
            if (it && !ORVEHVNode::fromItem(it))
                delete it; // our own "..." cell
        }
    }
}

int QCustomTableWidget::columnByName(const QString &name) const
{
    for (int c = 0; c < columnCount(); ++c) {
        const QTableWidgetItem *h = horizontalHeaderItem(c);
        if (h && h->text() == name)
            return c;
    }
    return -1;
}

QString QCustomTableWidget::columnName(int column) const
{
    const QTableWidgetItem *h = horizontalHeaderItem(column);
    return h ? h->text() : QString();
}

bool QCustomTableWidget::isEmptyCell(const QTableWidgetItem *item) const
{
    return item && !ORVEHVNode::fromItem(const_cast<QTableWidgetItem *>(item)) &&
           item->text() == QLatin1String(EmptyCellText);
}

void QCustomTableWidget::highlightRowHeader(int row)
{
    if (row < 0 || row >= rowCount())
        return;
    if (QTableWidgetItem *h = verticalHeaderItem(row)) {
        h->setBackground(m_green);
        h->setForeground(QBrush(Qt::white));
    }
}

void QCustomTableWidget::followPowerCell(QTableWidgetItem *item)
{
    const ORVEHVNode *node = nodeOf(item);
    if (!node || node->dataType() != DataOnOff || node->name() != QLatin1String("Pw"))
        return;
    if (node->value().value.toBool())
        highlightRowHeader(item->row());
    else
        dimRowHeader(item->row());
}

void QCustomTableWidget::dimRowHeader(int row)
{
    if (row < 0 || row >= rowCount())
        return;
    if (QTableWidgetItem *h = verticalHeaderItem(row)) {
        h->setBackground(m_grey);
        h->setForeground(QBrush(Qt::white));
    }
}

CellShade QCustomTableWidget::rowShade(int row) const
{
    const QHeaderView *vh = verticalHeader();
    const int target = vh->visualIndex(row);
    int shown = 0;
    for (int v = 0; v < target; ++v)
        if (!isRowHidden(vh->logicalIndex(v)))
            ++shown;
    return shown % 2 == 0 ? ShadeEven : ShadeOdd;
}

QColor QCustomTableWidget::rowColor(int row) const
{
    return celllook::shadeColor(rowShade(row));
}

bool QCustomTableWidget::setParameterCellShade(QTableWidgetItem *item, CellShade shade)
{
    if (auto *node = dynamic_cast<ORVEHVNode *>(item)) {
        node->setShade(shade);
        return true;
    }
    if (auto *mirror = dynamic_cast<ORVEHVMirrorNode *>(item)) {
        mirror->setShade(shade);
        return true;
    }
    return false;
}

void QCustomTableWidget::paintRow(int row, CellShade stripe, bool markFaults)
{
    for (int c = 0; c < columnCount(); ++c) {
        QTableWidgetItem *it = item(row, c);
        if (!it)
            continue;
        ORVEHVNode *node = nodeOf(it);
        const bool faulty = node && markFaults && node->notOk();
        // parameter cells take their colours from the shade; the "Pw" cell
        // keeps the text colour its state gives it
        if (!setParameterCellShade(it, faulty ? ShadeFaulty : stripe)) {
            it->setBackground(celllook::shadeColor(stripe));
            it->setForeground(QBrush(Qt::black));
        }
        if (node && columnName(c) == QLatin1String("Pw")) {
            if (node->value().value.toBool())
                highlightRowHeader(row);
            else
                dimRowHeader(row);
        }
    }
}

void QCustomTableWidget::alternateRowColors()
{
    clearSelection();
    const QHeaderView *vh = verticalHeader();
    int shown = 0;
    for (int v = 0; v < rowCount(); ++v) {
        const int row = vh->logicalIndex(v);
        if (isRowHidden(row))
            continue;
        paintRow(row, shown % 2 == 0 ? ShadeEven : ShadeOdd, true);
        ++shown;
    }
    viewport()->update(); // a shade is no item data: the view is not told
}

// ------------------------------------------------------------ selection
void QCustomTableWidget::selectOnlyCurrent()
{
    clearSelection();
    if (QTableWidgetItem *cur = currentItem())
        if (cur->flags() & Qt::ItemIsSelectable)
            cur->setSelected(true);
}

bool QCustomTableWidget::selectionSpansColumns() const
{
    const QModelIndexList sel = selectedIndexes();
    for (const QModelIndex &i : sel)
        if (i.column() != sel.first().column())
            return true;
    return false;
}

void QCustomTableWidget::checkColumnSelection()
{
    QModelIndexList sel = selectedIndexes();
    if (sel.size() > 1) {
        bool nameCell = false;
        for (const QModelIndex &i : sel)
            nameCell = nameCell || columnName(i.column()) == QLatin1String("Name");
        if (nameCell) {
            // channel names are never set together
            selectOnlyCurrent();
            return;
        }
        if (selectionSpansColumns())
            clearSelection();
    }
    QTableWidgetItem *cur = currentItem();
    if (cur && (cur->flags() & Qt::ItemIsSelectable))
        cur->setSelected(true);
    if (!cur || !cur->isSelected()) {
        for (QTableWidgetItem *it : selectedItems()) {
            if (it->flags() & Qt::ItemIsEditable) {
                selectionModel()->setCurrentIndex(indexFromItem(it), QItemSelectionModel::NoUpdate);
                break;
            }
        }
    }
}

void QCustomTableWidget::cancelRowSelection()
{
    selectOnlyCurrent();
}

void QCustomTableWidget::mouseReleaseEvent(QMouseEvent *e)
{
    checkColumnSelection();
    if (selectedIndexes().size() > 1 && selectionSpansColumns())
        selectOnlyCurrent();
    QTableWidget::mouseReleaseEvent(e);
}

void QCustomTableWidget::keyPressEvent(QKeyEvent *e)
{
    const int key = e->key();
    if (key == Qt::Key_Left || key == Qt::Key_Right) {
        if (selectedIndexes().size() > 1)
            selectOnlyCurrent();
    } else {
        checkColumnSelection();
        const QModelIndexList sel = selectedIndexes();
        if (sel.size() > 1 && currentIndex().column() != sel.first().column())
            selectOnlyCurrent();
    }
    QTableWidget::keyPressEvent(e);
}

// ------------------------------------------------------------ multi-set
QList<ORVEHVNode *> QCustomTableWidget::copyTargets(const ORVEHVNode *edited, const QVariant &value) const
{
    QList<ORVEHVNode *> targets;
    const QList<QTableWidgetItem *> selected = selectedItems();
    if (!edited || selected.size() <= 1 || edited->name() == QLatin1String("Name"))
        return targets;
    for (QTableWidgetItem *it : selected) {
        ORVEHVNode *node = nodeOf(it);
        if (node && node != edited && node->name() == edited->name() && (it->flags() & Qt::ItemIsEditable)
            && TableRules::differs(node->value().value, value, node->dataType()))
            targets << node;
    }
    return targets;
}

bool QCustomTableWidget::confirmEdit(ORVEHVNode *edited, const QVariant &value)
{
    const QList<ORVEHVNode *> targets = QList<ORVEHVNode *>{edited} + copyTargets(edited, value);
    if (SwitchOnQuestion::switchedOn(targets, value).size() <= 1)
        return true;
    const QPointer<QCustomTableWidget> self(this);
    const bool yes = SwitchOnQuestion::confirm(targets, value, this);
    // the table may have been rebuilt meanwhile: only a cell still shown goes
    if (!self || !yes)
        return false;
    for (int r = 0; r < rowCount(); ++r)
        for (int c = 0; c < columnCount(); ++c)
            if (nodeOf(item(r, c)) == edited)
                return true;
    return false;
}

void QCustomTableWidget::setValueForAllSelected(QVariant valore)
{
    auto *editor = qobject_cast<ORVEHVWidgetItem *>(sender());
    if (!editor || !editor->node())
        return;
    ORVEHVNode *edited = editor->node();
    const QString name = edited->name();
    if (name == QLatin1String("Name"))
        return;

    const int type = TableRules::offsetParamType(name);
    const bool offsetMode = edited->dataType() == DataFloat &&
                            ((type == 0 && property("Offset_I").toBool()) ||
                             (type == 1 && property("Offset_V").toBool()));
    const double offset = offsetMode ? double(editor->property("OffsetAll").toFloat()) : 0.0;

    const QList<QTableWidgetItem *> selected = selectedItems();
    if (selected.size() <= 1)
        return;
    // the edited cell's own refusal is told with the others', in one message
    QStringList refused;
    const QString own = editor->takeRefusal();
    if (!own.isEmpty())
        refused << QStringLiteral("%1 %2: %3").arg(edited->boardName(), edited->channelName(), own);
    QList<ORVEHVNode *> written;
    if (own.isEmpty())
        written << edited;
    auto write = [&](ORVEHVNode *node, const QVariant &value) {
        QString reason;
        const int result = node->writeValue(value, &reason);
        if (result > 0)  // -1: nothing to write
            refused << QStringLiteral("%1 %2: %3").arg(node->boardName(), node->channelName(), reason);
        else if (result == 0)
            written << node;
    };
    if (!offsetMode) {
        for (ORVEHVNode *node : copyTargets(edited, valore))
            write(node, valore);
    }
    for (QTableWidgetItem *it : offsetMode ? selected : QList<QTableWidgetItem *>()) {
        ORVEHVNode *node = nodeOf(it);
        if (!node || node == edited || node->name() != name)
            continue;
        if (!(it->flags() & Qt::ItemIsEditable))
            continue;
        // offset: each cell moves from its own value, and only when the
        // result stays within that parameter's limits
        const NodeValue cur = node->value();
        if (!cur.value.isValid() || cur.value.isNull() || cur.status == ValueReadFailed ||
            cur.status == ValueNeverRead)
            continue;
        double target = 0;
        const double lo = TableRules::rangeValue(node->propertyValue(QStringLiteral("Minval")),
                                                 TableRules::DefaultMin);
        const double hi = TableRules::rangeValue(node->propertyValue(QStringLiteral("Maxval")),
                                                 TableRules::DefaultMax);
        if (!TableRules::offsetTarget(cur.value.toDouble(), offset, lo, hi, &target))
            continue;
        write(node, QVariant(float(target)));
    }
    emit cellsWritten(writtenReport(name, written, selected));
    if (!refused.isEmpty())
        showOperatorMessage({QMessageBox::Warning,
                             QStringLiteral("%1 was not written to %2 of the selected cells.").arg(name).arg(refused.size()),
                             refused.join(QLatin1Char('\n')), {}},
                            this);
}

QString QCustomTableWidget::writtenReport(const QString &name, const QList<ORVEHVNode *> &written,
                                          const QList<QTableWidgetItem *> &selected) const
{
    // cells scrolled away (or in hidden rows) were written just the same
    int unseen = 0;
    for (QTableWidgetItem *cell : selected)
        if (written.contains(nodeOf(cell))
            && (isRowHidden(cell->row()) || !viewport()->rect().intersects(visualItemRect(cell))))
            ++unseen;
    QString report = QStringLiteral("%0 written to %1 of %2 selected cells")
                         .arg(name)
                         .arg(written.size())
                         .arg(selected.size());
    if (unseen > 0)
        report += QStringLiteral(", %0 of them out of view").arg(unseen);
    return report + QLatin1Char('.');
}

// --------------------------------------------------------- header signals
void QCustomTableWidget::emitCreateDialogForTripHandling(int sectionIdx)
{
    const QString name = columnName(sectionIdx);
    if (name == QLatin1String("TripInt"))
        emit createDialogForTripHandling(0);
    else if (name == QLatin1String("TripExt"))
        emit createDialogForTripHandling(1);
}

void QCustomTableWidget::emitSelectOffsetSettingModality(QPoint point)
{
    const int column = horizontalHeader()->logicalIndexAt(point);
    if (column < 0)
        return;
    const int type = TableRules::offsetParamType(columnName(column));
    if (type < 0)
        return;
    emit selectOffsetSettingModality(horizontalHeader()->mapToGlobal(point), column, type);
}
