#include "views/QSubWindow.h"

#include "device/ORVEHVMirrorNode.h"
#include "device/ORVEHVNode.h"
#include "device/QSystemInterface.h"
#include "device/ValueText.h"
#include "views/QCustomTableWidget.h"
#include "views/TableRules.h"

#include <QAbstractButton>
#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QDialog>
#include <QHBoxLayout>
#include <QHash>
#include <QHeaderView>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QVBoxLayout>

namespace {
const char *const OffsetIconOff = ":/Resources/buttons/offset-icon-off.png";
const char *const OffsetIconOn = ":/Resources/buttons/offset-icon-on.png";
const char *const ConfigIcon = ":/Resources/buttons/config-icon.png";

QSubWindow::TripDialogFactory &tripFactory()
{
    static QSubWindow::TripDialogFactory f;
    return f;
}
} // namespace

void QSubWindow::setTripDialogFactory(TripDialogFactory factory)
{
    tripFactory() = std::move(factory);
}

QSubWindow::QSubWindow(QSystemInterface *sys, bool customView, QWidget *parent)
    : QWidget(parent), m_sys(sys), m_customView(customView)
{
    m_table = new QCustomTableWidget(customView, this);
    m_table->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    if (sys) {
        connect(sys, &QSystemInterface::parameterChanged, this, &QSubWindow::showParameter);
        connect(sys, &QSystemInterface::boardsChanged, this, &QSubWindow::showBoards);
    }

    QAbstractButton *corner = m_table->findChild<QAbstractButton *>(QString(), Qt::FindDirectChildrenOnly);
    if (!customView) {
        m_combo = new QComboBox;
        m_combo->setObjectName(QStringLiteral("cornerWidget"));
        m_combo->setContentsMargins(6, 6, 6, 6);
        m_combo->addItems({QStringLiteral("Full"), QStringLiteral("Minimal"), QStringLiteral("Custom")});
        m_combo->setCurrentIndex(2);
        // The menus' colours: lime on grey could hardly be read.
        m_combo->setStyleSheet(QStringLiteral(
            "QAbstractItemView { background-color: white; color: black; selection-background-color: #439847; "
            "selection-color: white; }"));
        connect(m_combo, qOverload<int>(&QComboBox::currentIndexChanged), this,
                [this](int i) { setViewTableMode(m_combo->itemText(i)); });
        auto *cornerLayout = new QHBoxLayout;
        cornerLayout->setContentsMargins(0, 0, 0, 0);
        cornerLayout->addWidget(m_combo);
        if (corner) {
            corner->setLayout(cornerLayout);
            corner->setObjectName(QStringLiteral("cornerWidget"));
            corner->setToolTip(QStringLiteral("View Mode"));
        } else {
            delete cornerLayout;
            m_combo->setParent(this);
        }
        m_mode = CustomMode;
        m_table->verticalHeader()->setMinimumWidth(m_combo->sizeHint().width());
    } else if (corner) {
        corner->setEnabled(false);
    }

    m_layout = new QVBoxLayout(this);
    m_layout->addWidget(m_table, 1);
    m_layout->addSpacerItem(new QSpacerItem(30, 30));

    connect(m_table, &QCustomTableWidget::cellsWritten, this, &QSubWindow::showInStatusBar);

    // any click inside makes this the current sub-window
    m_table->viewport()->installEventFilter(this);
    m_table->horizontalHeader()->viewport()->installEventFilter(this);
    m_table->verticalHeader()->viewport()->installEventFilter(this);
}

void QSubWindow::showInStatusBar(const QString &text)
{
    // the system's own bar; the custom view has none: the main window's
    auto *bar = qobject_cast<QStatusBar *>(m_sys ? m_sys->statusBar() : nullptr);
    if (!bar)
        if (auto *main = qobject_cast<QMainWindow *>(window()))
            bar = main->findChild<QStatusBar *>(QString(), Qt::FindDirectChildrenOnly);
    if (bar)
        bar->showMessage(text, StatusMessageMs);
}

QSubWindow::~QSubWindow()
{
    // the cells are tree nodes (or mirrors): they outlive the table
    m_table->takeAllItems();
    delete m_ownedRoot;
}

void QSubWindow::mouseReleaseEvent(QMouseEvent *e)
{
    emit focused();
    QWidget::mouseReleaseEvent(e);
}

bool QSubWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonRelease)
        emit focused();
    return QWidget::eventFilter(watched, event);
}

void QSubWindow::setRootNode(ORVEHVNode *root)
{
    m_root = root;
}

void QSubWindow::setSystemNode(ORVEHVNode *system)
{
    // take the cells out before the old root goes
    m_table->takeAllItems();
    if (m_root == m_ownedRoot)
        m_root = nullptr;
    delete m_ownedRoot;
    m_ownedRoot = nullptr;
    if (!system)
        return;
    m_ownedRoot = new ORVEHVNode;
    m_ownedRoot->initialise(QStringLiteral("fakeRoot"), KindContainer);
    m_ownedRoot->addChild(system);
    m_root = m_ownedRoot;
}

bool QSubWindow::visibleFlag(const ORVEHVNode *n) const
{
    return m_customView ? n->isEnabledInCustomView() : n->isEnabled();
}

int QSubWindow::storedPosition(const ORVEHVNode *n) const
{
    return m_customView ? n->customViewVisualIndex() : n->visualIndex();
}

template <class F> void QSubWindow::forEachChannel(F f) const
{
    if (!m_root)
        return;
    for (ORVEHVNode *system : m_root->children()) {
        if (!system)
            continue;
        for (ORVEHVNode *board : system->children()) {
            if (!board || board->kind() == KindContainer)
                continue;
            for (ORVEHVNode *channel : board->children())
                if (channel)
                    f(system, board, channel);
        }
    }
}

ORVEHVNode *QSubWindow::channelOfRow(int row) const
{
    return row >= 0 && row < m_rowChannels.size() ? m_rowChannels.at(row) : nullptr;
}

int QSubWindow::addColumn(ORVEHVNode *param)
{
    const int col = m_table->columnCount();
    m_table->insertColumn(col);
    auto *header = new QTableWidgetItem(param->name());
    m_table->setHorizontalHeaderItem(col, header);
    m_table->setColumnHidden(col, !visibleFlag(param));
    return col;
}

void QSubWindow::placeCell(int row, int column, ORVEHVNode *node)
{
    QTableWidgetItem *cell = node;
    if (m_customView)
        cell = node->mirror();
    if (!cell)
        return;
    // alignment and the bold text of read-only parameters come from the
    // cell's data() (CellLook.h)
    switch (node->accessMode()) {
    case AccessReadOnly:
        cell->setFlags(Qt::ItemIsEnabled);
        break;
    case AccessWriteOnly:
    case AccessReadWrite:
        cell->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemIsEnabled);
        break;
    default:
        cell->setFlags(Qt::NoItemFlags);
        break;
    }
    if (m_table->item(row, column) != cell)
        m_table->setItem(row, column, cell);
}

void QSubWindow::buildTable()
{
    if (!m_root)
        return;
    QCustomTableWidget *t = m_table;
    t->takeAllItems(); // the nodes must never be deleted with the rows
    t->setRowCount(0);
    t->setColumnCount(0);
    m_rowChannels.clear();
    disconnect(t, &QCustomTableWidget::createDialogForTripHandling, this,
               &QSubWindow::handleCreateDialogForTripHandling);
    disconnect(t, &QCustomTableWidget::selectOffsetSettingModality, this,
               &QSubWindow::handleSelectOffsetSettingModality);
    m_offsetMenuConnected = false;
    m_tripConnected = false;

    QHash<QString, int> columns;

    // priority columns, in the order operators expect them
    if (!m_customView) {
        for (const QStringList &pass : TableRules::priorityPasses()) {
            bool done = false;
            forEachChannel([&](ORVEHVNode *, ORVEHVNode *, ORVEHVNode *channel) {
                if (done)
                    return;
                for (ORVEHVNode *p : channel->parameters()) {
                    if (!p || !pass.contains(p->name()) || columns.contains(p->name()))
                        continue;
                    const int col = addColumn(p);
                    columns.insert(p->name(), col);
                    done = true;
                    if (TableRules::offsetParamType(p->name()) >= 0) {
                        t->horizontalHeaderItem(col)->setIcon(QIcon(QString::fromLatin1(OffsetIconOff)));
                        if (!m_offsetMenuConnected) {
                            connect(t, &QCustomTableWidget::selectOffsetSettingModality, this,
                                    &QSubWindow::handleSelectOffsetSettingModality);
                            m_offsetMenuConnected = true;
                        }
                    }
                }
            });
        }
    }

    // rows and cells
    int boardIndex = 0;
    ORVEHVNode *lastBoard = nullptr;
    forEachChannel([&](ORVEHVNode *system, ORVEHVNode *board, ORVEHVNode *channel) {
        if (board != lastBoard) {
            if (!m_customView)
                board->setVisualIndex(boardIndex);
            ++boardIndex;
            lastBoard = board;
        }
        const int row = t->rowCount();
        t->insertRow(row);
        m_rowChannels.append(channel);
        auto *header = new QTableWidgetItem(TableRules::rowLabel(
            board->name(), channel->name(), channel->systemType(), m_customView, system->name()));
        header->setForeground(QCustomTableWidget::HeaderText);
        header->setBackground(t->greyBrush());
        t->setVerticalHeaderItem(row, header);
        t->setRowHidden(row, !visibleFlag(channel));
        if (!m_customView)
            channel->setVisualIndex(row);

        for (ORVEHVNode *p : channel->parameters()) {
            if (!p)
                continue;
            int col = columns.value(p->name(), -1);
            if (col < 0) {
                col = addColumn(p);
                columns.insert(p->name(), col);
                const bool trip = p->name() == QLatin1String("TripInt") ||
                                  p->name() == QLatin1String("TripExt");
                if (!m_customView && trip) {
                    t->horizontalHeaderItem(col)->setIcon(QIcon(QString::fromLatin1(ConfigIcon)));
                    if (!m_tripConnected) {
                        connect(t, &QCustomTableWidget::createDialogForTripHandling, this,
                                &QSubWindow::handleCreateDialogForTripHandling);
                        m_tripConnected = true;
                    }
                }
            }
            placeCell(row, col, p);
            if (!m_customView)
                p->setVisualIndex(col);
        }
    });

    if (m_rowChannels.isEmpty()) {
        showNoChannels();
    } else if (t->rowCount() > 0 && t->columnCount() > 0 && visibleRowCount() > 0 &&
               visibleColumnCount() > 0) {
        t->show();
        removeNoChannels();
    }
}

void QSubWindow::showNoChannels()
{
    if (!m_noChannels) {
        m_noChannels = new QLabel(QStringLiteral("No channels present"), this);
        m_noChannels->setContentsMargins(10, 10, 10, 10);
        m_noChannels->setStyleSheet(QStringLiteral("background: white;"));
        m_noChannels->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        m_layout->insertWidget(0, m_noChannels, 1);
    }
    m_table->hide();
}

void QSubWindow::removeNoChannels()
{
    if (m_noChannels) {
        m_layout->removeWidget(m_noChannels);
        delete m_noChannels;
        m_noChannels = nullptr;
    }
}

int QSubWindow::visibleRowCount() const
{
    int n = 0;
    for (int r = 0; r < m_table->rowCount(); ++r)
        n += m_table->isRowHidden(r) ? 0 : 1;
    return n;
}

int QSubWindow::visibleColumnCount() const
{
    int n = 0;
    for (int c = 0; c < m_table->columnCount(); ++c)
        n += m_table->isColumnHidden(c) ? 0 : 1;
    return n;
}

void QSubWindow::fillEmptyCells()
{
    if (!m_root)
        return;
    for (int r = 0; r < m_table->rowCount(); ++r) {
        for (int c = 0; c < m_table->columnCount(); ++c) {
            if (m_table->item(r, c))
                continue;
            auto *it = new QTableWidgetItem(QString::fromLatin1(QCustomTableWidget::EmptyCellText));
            it->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            it->setFlags(Qt::NoItemFlags);
            m_table->setItem(r, c, it);
        }
    }
}

void QSubWindow::fitSize()
{
    QCustomTableWidget *t = m_table;
    // the header is at least as wide as the mode selector in its corner
    int w = qMax(t->verticalHeader()->sizeHint().width(), t->verticalHeader()->minimumWidth()) + 20;
    for (int c = 0; c < t->columnCount(); ++c)
        if (!t->isColumnHidden(c))
            w += t->columnWidth(c);
    int h = t->horizontalHeader()->sizeHint().height() + 20;
    for (int r = 0; r < t->rowCount(); ++r)
        if (!t->isRowHidden(r))
            h += t->rowHeight(r);
    t->setMaximumWidth(w);
    t->setMaximumHeight(h);
    t->alternateRowColors();
}

void QSubWindow::rebuildTable()
{
    if (!m_root)
        return;
    m_table->takeAllItems();
    buildTable();
    fillEmptyCells();
    fitSize();
    if (m_mode == FullMode) {
        m_mode = -1;
        applyFullMode();
    } else if (m_mode == MinimalMode) {
        m_mode = -1;
        applyMinimalMode();
    }
}

void QSubWindow::buildTableInitial()
{
    if (!m_root)
        return;
    buildTable();
    fillEmptyCells();
    fitSize();
}

void QSubWindow::restoreNaturalOrder()
{
    for (QHeaderView *h : {m_table->horizontalHeader(), m_table->verticalHeader()}) {
        for (int logical = 0; logical < h->count(); ++logical) {
            const int v = h->visualIndex(logical);
            if (v != logical)
                h->moveSection(v, logical);
        }
    }
}

void QSubWindow::syncCombo()
{
    // a mode set by the program shows in the selector too
    if (m_combo && m_combo->currentIndex() != m_mode) {
        const QSignalBlocker block(m_combo);
        m_combo->setCurrentIndex(m_mode);
    }
}

void QSubWindow::setViewTableMode(QString choice)
{
    const int mode = TableRules::viewModeFromChoice(choice);
    if (mode < 0 || mode == m_mode)
        return;
    if (mode == FullMode)
        applyFullMode();
    else if (mode == MinimalMode)
        applyMinimalMode();
    else
        applyCustomMode();
}

void QSubWindow::applyFullMode()
{
    if (!m_root)
        return;
    m_mode = FullMode;
    syncCombo();
    {
        const QSignalBlocker block(m_table->verticalHeader());
        for (int r = 0; r < m_table->rowCount(); ++r)
            m_table->setRowHidden(r, false);
        for (int c = 0; c < m_table->columnCount(); ++c)
            m_table->setColumnHidden(c, false);
        restoreNaturalOrder();
    }
    fitSize();
}

void QSubWindow::applyMinimalMode()
{
    if (!m_root)
        return;
    m_mode = MinimalMode;
    syncCombo();
    {
        const QSignalBlocker block(m_table->verticalHeader());
        for (int r = 0; r < m_table->rowCount(); ++r)
            m_table->setRowHidden(r, false);
        QStringList headers;
        for (int c = 0; c < m_table->columnCount(); ++c)
            headers << m_table->columnName(c);
        const QVector<bool> shown = TableRules::minimalColumns(headers);
        for (int c = 0; c < m_table->columnCount(); ++c)
            m_table->setColumnHidden(c, !shown.at(c));
        restoreNaturalOrder();
    }
    fitSize();
}

void QSubWindow::applyCustomMode()
{
    if (!m_root)
        return;
    m_mode = CustomMode;
    syncCombo();
    {
        const QSignalBlocker block(m_table->verticalHeader());
        QHeaderView *vh = m_table->verticalHeader();
        QHeaderView *hh = m_table->horizontalHeader();
        QHash<QString, int> columns;
        for (int c = 0; c < m_table->columnCount(); ++c)
            columns.insert(m_table->columnName(c), c);
        // A column shows when its parameter is visible on some shown
        // channel; channels left out of the view do not hide it again.
        QVector<int> shownColumns(m_table->columnCount(), 0);
        for (int row = 0; row < m_rowChannels.size(); ++row) {
            ORVEHVNode *channel = m_rowChannels.at(row);
            const bool rowShown = visibleFlag(channel);
            m_table->setRowHidden(row, !rowShown);
            const int pos = storedPosition(channel);
            if (pos >= 0 && pos < vh->count() && vh->visualIndex(row) != pos)
                vh->swapSections(vh->visualIndex(row), pos);
            if (!rowShown)
                continue;
            for (ORVEHVNode *p : channel->parameters()) {
                if (!p)
                    continue;
                const int col = columns.value(p->name(), -1);
                if (col < 0 || !visibleFlag(p))
                    continue;
                shownColumns[col] = 1;
                const int cpos = storedPosition(p);
                if (cpos >= 0 && cpos < hh->count() && hh->visualIndex(col) != cpos)
                    hh->moveSection(hh->visualIndex(col), cpos);
            }
        }
        for (int c = 0; c < m_table->columnCount(); ++c)
            m_table->setColumnHidden(c, !shownColumns.at(c));
        if (m_customView && visibleRowCount() > 0 && visibleColumnCount() > 0) {
            m_table->show();
            removeNoChannels();
        }
    }
    fitSize();
}

bool QSubWindow::isCustomView() const
{
    return m_customView || (m_combo && m_combo->currentIndex() == 2);
}

void QSubWindow::markChannelState(bool ok, QTableWidgetItem *item)
{
    ORVEHVNode *node = ORVEHVNode::fromItem(item);
    if (!node)
        return;
    // the cell of this node in this table
    QTableWidgetItem *cell = m_customView ? static_cast<QTableWidgetItem *>(node->partner())
                                          : static_cast<QTableWidgetItem *>(node);
    if (!cell || cell->tableWidget() != m_table)
        return;
    const int row = cell->row();
    if (row < 0 || m_table->isRowHidden(row))
        return;
    node->setNotOk(!ok);
    const CellShade shade = ok ? m_table->rowShade(row) : ShadeFaulty;
    const QBrush fg(ok ? Qt::black : Qt::white);
    for (int c = 0; c < m_table->columnCount(); ++c) {
        QTableWidgetItem *it = m_table->item(row, c);
        if (!it)
            continue;
        if (!QCustomTableWidget::setParameterCellShade(it, shade)) {
            it->setBackground(celllook::shadeColor(shade));
            if (m_table->columnName(c) != QLatin1String("Pw"))
                it->setForeground(fg);
        }
        if (ORVEHVNode *n = ORVEHVNode::fromItem(it))
            n->setNotOk(!ok);
    }
    // a shade is no item data: the view repaints the row when told
    m_table->viewport()->update(
        QRect(0, m_table->rowViewportPosition(row), m_table->viewport()->width(), m_table->rowHeight(row)));
}

int QSubWindow::findRowByName(const QString &name) const
{
    for (int r = 0; r < m_table->rowCount(); ++r) {
        ORVEHVNode *n = ORVEHVNode::fromItem(m_table->item(r, 0));
        if (n && n->value().value.toString() == name)
            return r;
    }
    return -1;
}

void QSubWindow::selectChannelRow(int row)
{
    if (row < 0 || row >= m_table->rowCount())
        return;
    m_table->setCurrentCell(row, 0);
    m_table->selectRow(row);
    m_table->setFocus();
}

void QSubWindow::showParameter(ORVEHVNode *node)
{
    if (node && node->libraryType() == 2 && node->kind() == KindChannelParameter)
        markChannelState(channelStatusOk(node->systemType(), node->value().value.toInt()), node);
}

void QSubWindow::showBoards()
{
    const int mode = viewMode();
    rebuildTable();
    if (mode == CustomMode)
        applyCustomMode();
    if (m_sys)
        for (ORVEHVNode *status : m_sys->takeNotOkStatusNodes())
            markChannelState(false, status);
}

void QSubWindow::clearTableSelection()
{
    m_table->clearSelection();
}

// ------------------------------------------------------------- headers
void QSubWindow::handleCreateDialogForTripHandling(int flagExt)
{
    if (!m_root || m_root->children().isEmpty() || !tripFactory())
        return;
    // Owned by the window, not by this view: the view's frame in the views
    // area carries a transparent background that would reach the dialog.
    QDialog *dlg = tripFactory()(m_root->children().first(), flagExt, m_sys, window());
    if (!dlg)
        return;
    // Window-modal without a nested event loop here: the system (and this
    // sub-window with it) may go while the dialog is open.
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    connect(dlg, &QDialog::accepted, this, [this] { m_table->clearSelection(); });
    dlg->open();
}

void QSubWindow::handleSelectOffsetSettingModality(QPoint pos, int column, int paramType)
{
    if (paramType != 0 && paramType != 1)
        return;
    auto *menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("offsCtxMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    auto *group = new QActionGroup(menu);
    group->setExclusive(true);
    group->setProperty("Par", paramType);
    group->setProperty("Col", column);
    QAction *absolute = menu->addAction(QStringLiteral("Absolute"));
    QAction *offset = menu->addAction(QStringLiteral("Offset"));
    absolute->setCheckable(true);
    offset->setCheckable(true);
    group->addAction(absolute);
    group->addAction(offset);
    const bool on = m_table->property(paramType == 0 ? "Offset_I" : "Offset_V").toBool();
    (on ? offset : absolute)->setChecked(true);
    connect(menu, &QMenu::triggered, this, &QSubWindow::handleContextMenuClicked);
    menu->popup(pos);
}

void QSubWindow::handleContextMenuClicked(QAction *action)
{
    if (!action || !action->actionGroup())
        return;
    const QActionGroup *group = action->actionGroup();
    const int type = group->property("Par").toInt();
    const bool offset = action->text() == QLatin1String("Offset");
    m_table->setProperty(type == 0 ? "Offset_I" : "Offset_V", offset);
    // the mode covers every current (voltage) column of this table
    const QIcon icon(QString::fromLatin1(offset ? OffsetIconOn : OffsetIconOff));
    for (int c = 0; c < m_table->columnCount(); ++c)
        if (TableRules::offsetParamType(m_table->columnName(c)) == type)
            m_table->horizontalHeaderItem(c)->setIcon(icon);
}
