#include "views/FrozenNameColumn.h"

#include "views/QCustomTableWidget.h"

#include <QApplication>
#include <QEvent>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyleOptionHeader>
#include <QWheelEvent>

FrozenNameColumn::FrozenNameColumn(QCustomTableWidget *table) : QWidget(table), m_table(table)
{
    setObjectName(QStringLiteral("frozenNameColumn"));
    setToolTip(tr("Channel names; double-click one to rename the channel."));
    hide();
    auto later = [this] { QMetaObject::invokeMethod(this, &FrozenNameColumn::follow, Qt::QueuedConnection); };
    connect(table->horizontalScrollBar(), &QScrollBar::valueChanged, this, &FrozenNameColumn::follow);
    connect(table->verticalScrollBar(), &QScrollBar::valueChanged, this, qOverload<>(&QWidget::update));
    connect(table->horizontalHeader(), &QHeaderView::sectionResized, this, later);
    connect(table->horizontalHeader(), &QHeaderView::sectionMoved, this, later);
    connect(table->verticalHeader(), &QHeaderView::sectionResized, this, qOverload<>(&QWidget::update));
    connect(table->verticalHeader(), &QHeaderView::sectionMoved, this, qOverload<>(&QWidget::update));
    connect(table->verticalHeader(), &QHeaderView::geometriesChanged, this, later);
    // Stripes, stale greying and the selection repaint the names too (an
    // update only marks the strip; the painting is coalesced).
    connect(table->model(), &QAbstractItemModel::headerDataChanged, this, qOverload<>(&QWidget::update));
    connect(table->model(), &QAbstractItemModel::layoutChanged, this, later);
    connect(table->model(), &QAbstractItemModel::columnsInserted, this, later);
    connect(table->model(), &QAbstractItemModel::columnsRemoved, this, later);
    connect(table->selectionModel(), &QItemSelectionModel::selectionChanged, this, qOverload<>(&QWidget::update));
    table->installEventFilter(this);
}

int FrozenNameColumn::nameColumn() const
{
    return m_table->columnByName(QStringLiteral("Name"));
}

int FrozenNameColumn::headerHeight() const
{
    return m_table->horizontalHeader()->isVisible() ? m_table->horizontalHeader()->height() : 0;
}

void FrozenNameColumn::follow()
{
    const int column = nameColumn();
    // Out of sight on the left only: where the table shows the column (or
    // hides it on purpose) nothing is drawn over the cells.
    const bool out = column >= 0 && !m_table->isColumnHidden(column)
                     && m_table->columnViewportPosition(column) < 0 && m_table->rowCount() > 0;
    if (!out) {
        // Every value that reaches a cell changes the model: only a shown
        // strip listens, so a table at its left edge pays nothing per value.
        disconnect(m_repaintOnData);
        hide();
        return;
    }
    if (!m_repaintOnData)
        m_repaintOnData = connect(m_table->model(), &QAbstractItemModel::dataChanged, this,
                                  qOverload<>(&QWidget::update));
    const QWidget *viewport = m_table->viewport();
    const int width = qMin(m_table->columnWidth(column), viewport->width() / 2);
    setGeometry(viewport->x(), viewport->y() - headerHeight(), width, headerHeight() + viewport->height());
    show();
    raise();
    update();
}

bool FrozenNameColumn::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_table && (event->type() == QEvent::Resize || event->type() == QEvent::LayoutRequest))
        QMetaObject::invokeMethod(this, &FrozenNameColumn::follow, Qt::QueuedConnection);
    return QWidget::eventFilter(watched, event);
}

int FrozenNameColumn::rowAt(const QPoint &point) const
{
    const int y = point.y() - headerHeight();
    return y < 0 ? -1 : m_table->rowAt(y);
}

void FrozenNameColumn::paintEvent(QPaintEvent *)
{
    const int column = nameColumn();
    if (column < 0)
        return;
    QPainter p(this);
    p.fillRect(rect(), m_table->palette().base());
    const int top = headerHeight();
    if (top > 0) {
        QHeaderView *header = m_table->horizontalHeader();
        QStyleOptionHeader h;
        h.initFrom(header);
        h.rect = QRect(0, 0, width(), top);
        h.section = column;
        h.position = QStyleOptionHeader::Beginning;
        h.orientation = Qt::Horizontal;
        h.text = m_table->model()->headerData(column, Qt::Horizontal).toString();
        h.textAlignment = Qt::AlignCenter;
        header->style()->drawControl(QStyle::CE_Header, &h, &p, header);
    }
    p.setClipRect(0, top, width(), height() - top);
    QAbstractItemDelegate *delegate = m_table->itemDelegate();
    for (int y = 0; y < height() - top;) {
        const int row = m_table->rowAt(y);
        if (row < 0)
            break;
        const int rowTop = m_table->rowViewportPosition(row);
        const int rowHeight = m_table->rowHeight(row);
        const QModelIndex index = m_table->model()->index(row, column);
        QStyleOptionViewItem option;
        option.initFrom(m_table);
        option.widget = m_table;  // the delegate looks the cell up in its table
        option.rect = QRect(0, top + rowTop, width(), rowHeight);
        option.font = m_table->font();
        option.showDecorationSelected = true;
        option.state &= ~QStyle::State_HasFocus;
        if (m_table->selectionModel()->isSelected(index))
            option.state |= QStyle::State_Selected;
        delegate->paint(&p, option, index);
        p.setPen(m_table->palette().color(QPalette::Mid));
        p.drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
        y = rowTop + rowHeight;
    }
    // A darker edge: these cells are pinned, the ones right of it scroll.
    p.setClipping(false);
    p.setPen(QPen(m_table->palette().color(QPalette::Dark), 2));
    p.drawLine(width() - 1, 0, width() - 1, height());
}

void FrozenNameColumn::mouseDoubleClickEvent(QMouseEvent *event)
{
    const int row = rowAt(event->position().toPoint());
    const int column = nameColumn();
    if (row < 0 || column < 0)
        return;
    // Back to the real cell, which opens its editor as a double click would.
    m_table->horizontalScrollBar()->setValue(0);
    m_table->setFocus(Qt::MouseFocusReason);
    QTableWidgetItem *cell = m_table->item(row, column);
    if (m_table->currentRow() != row || m_table->currentColumn() != column)
        m_table->setCurrentCell(row, column);  // a new current cell opens its editor
    else if (cell && (cell->flags() & Qt::ItemIsEditable))
        m_table->editItem(cell);
}

void FrozenNameColumn::wheelEvent(QWheelEvent *event)
{
    QApplication::sendEvent(m_table->viewport(), event);
}
