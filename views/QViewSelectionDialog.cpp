#include "views/QViewSelectionDialog.h"

#include "device/OperatorMessage.h"
#include "device/ORVEHVNode.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

const char *const QViewSelectionDialog::DarkButtonStyle =
    "QPushButton { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #585858, stop:1 #383838); "
    "color: #bfff27; }";
const char *const QViewSelectionDialog::LightButtonStyle =
    "QPushButton { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #e4e4e4, stop:1 #b3b3b3); "
    "color: black; }";

namespace {
constexpr int ButtonsPerRow = 6;
}

QViewSelectionDialog::QViewSelectionDialog(const QList<ORVEHVNode *> &systems, bool customView, QWidget *parent)
    : SystemDialog(parent), m_systems(systems), m_customView(customView)
{
    for (const ORVEHVNode *system : systems)
        followSystemOf(system);
    setStyleSheet(QStringLiteral("background: #f0f0f0"));
    setWindowIcon(QIcon(QStringLiteral(":/Resources/buttons/table_sort.png")));

    auto *layout = new QVBoxLayout(this);
    auto *tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("viewTabs"));
    layout->addWidget(tabs);

    m_channelsPage = new QWidget;
    tabs->addTab(m_channelsPage, QStringLiteral("Channels"));
    m_tree = new QTreeWidget;
    m_tree->setObjectName(QStringLiteral("chanSel"));
    m_tree->setStyleSheet(QStringLiteral("#chanSel::item:enabled { color: #439847; } "
                                         "#chanSel::item:!enabled { color: grey; }"));
    connect(m_tree, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem *item) { changeItemVisibility(item); });

    auto *parametersPage = new QWidget;
    tabs->addTab(parametersPage, QStringLiteral("Parameters"));
    m_parametersLayout = new QVBoxLayout(parametersPage);
    m_preview = new QTableWidget(parametersPage);
    m_preview->setObjectName(QStringLiteral("preview"));
    m_preview->horizontalHeader()->setObjectName(QStringLiteral("horizontalHeader"));
    m_preview->horizontalHeader()->setSectionsMovable(true);
    m_preview->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_preview->setRowCount(1);
    m_preview->verticalHeader()->hide();

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttonBox"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QViewSelectionDialog::clickedOkButton);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

bool QViewSelectionDialog::visibleFlag(const ORVEHVNode *n) const
{
    return m_customView ? n->isEnabledInCustomView() : n->isEnabled();
}

int QViewSelectionDialog::storedPosition(const ORVEHVNode *n) const
{
    return m_customView ? n->customViewVisualIndex() : n->visualIndex();
}

ORVEHVNode *QViewSelectionDialog::nodeOf(const QTreeWidgetItem *item)
{
    return item ? static_cast<ORVEHVNode *>(item->data(0, Qt::UserRole).value<void *>()) : nullptr;
}

QTreeWidgetItem *QViewSelectionDialog::itemOf(const ORVEHVNode *node) const
{
    for (QTreeWidgetItemIterator it(m_tree); *it; ++it)
        if (nodeOf(*it) == node)
            return *it;
    return nullptr;
}

QTreeWidgetItem *QViewSelectionDialog::makeItem(ORVEHVNode *node, const QString &text, const QString &icon, bool bold)
{
    auto *item = new QTreeWidgetItem(QStringList(text));
    item->setIcon(0, QIcon(icon));
    item->setData(0, Qt::UserRole, QVariant::fromValue(static_cast<void *>(node)));
    item->setData(0, Qt::UserRole + 1, bold);
    return item;
}

void QViewSelectionDialog::setShown(QTreeWidgetItem *item, bool shown)
{
    Qt::ItemFlags flags = item->flags();
    item->setFlags(shown ? (flags | Qt::ItemIsEnabled) : (flags & ~Qt::ItemIsEnabled));
    item->setCheckState(0, shown ? Qt::Checked : Qt::Unchecked);
    QFont f = item->font(0);
    f.setWeight(shown ? QFont::Bold : QFont::Normal);
    item->setFont(0, f);
}

QList<QTreeWidgetItem *> QViewSelectionDialog::channelItems() const
{
    QList<QTreeWidgetItem *> out;
    for (QTreeWidgetItemIterator it(m_tree); *it; ++it) {
        const ORVEHVNode *n = nodeOf(*it);
        if (n && n->kind() == KindChannel)
            out.append(*it);
    }
    return out;
}

void QViewSelectionDialog::finishSetup(const QStringList &leadingNames)
{
    // Parameter names: the leading ones present, then the rest in tree order.
    QStringList found;
    QHash<QString, ORVEHVNode *> first;
    for (QTreeWidgetItem *item : channelItems()) {
        for (ORVEHVNode *p : nodeOf(item)->parameters()) {
            if (p && !first.contains(p->name())) {
                first.insert(p->name(), p);
                found.append(p->name());
            }
        }
    }
    for (const QString &n : leadingNames)
        if (found.contains(n) && !m_names.contains(n))
            m_names.append(n);
    for (const QString &n : std::as_const(found))
        if (!m_names.contains(n))
            m_names.append(n);

    m_parametersLayout->addWidget(new QLabel(QStringLiteral("Check/uncheck parameters you want to show/hide:")));
    auto *grid = new QGridLayout;
    m_parametersLayout->addLayout(grid);
    m_parametersLayout->addWidget(new QLabel(QStringLiteral("Drag and drop columns to order:")));
    m_parametersLayout->addWidget(m_preview);
    m_parametersLayout->addStretch(1);

    m_preview->setColumnCount(int(m_names.size()));
    for (int c = 0; c < m_names.size(); ++c) {
        const QString &name = m_names.at(c);
        auto *header = new QTableWidgetItem(name);
        header->setFlags(header->flags() | Qt::ItemIsUserCheckable);
        m_preview->setHorizontalHeaderItem(c, header);
        auto *button = new QPushButton(name);
        button->setObjectName(QLatin1String(m_customView ? "parButt" : "configParamButton"));
        connect(button, &QPushButton::clicked, this, &QViewSelectionDialog::changeVisibilityInPreview);
        grid->addWidget(button, c / ButtonsPerRow, c % ButtonsPerRow);
        m_buttons.append(button);
        setParameterShown(button, visibleFlag(first.value(name)));
    }
    QHeaderView *h = m_preview->horizontalHeader();
    for (int c = 0; c < m_names.size(); ++c) {
        const int pos = storedPosition(first.value(m_names.at(c)));
        if (pos >= 0 && pos < h->count() && h->visualIndex(c) != pos)
            h->moveSection(h->visualIndex(c), pos);
    }
    m_preview->setMaximumHeight(h->sizeHint().height() + m_preview->rowHeight(0) + 6);
}

QPushButton *QViewSelectionDialog::parameterButton(const QString &name) const
{
    for (QPushButton *b : m_buttons)
        if (b->text() == name)
            return b;
    return nullptr;
}

int QViewSelectionDialog::previewColumn(const QString &name) const
{
    return int(m_names.indexOf(name));
}

QStringList QViewSelectionDialog::shownParametersInOrder() const
{
    QStringList out;
    const QHeaderView *h = m_preview->horizontalHeader();
    for (int v = 0; v < h->count(); ++v) {
        const int c = h->logicalIndex(v);
        if (!m_preview->isColumnHidden(c))
            out.append(m_names.at(c));
    }
    return out;
}

void QViewSelectionDialog::setParameterShown(QPushButton *button, bool shown)
{
    const int c = previewColumn(button->text());
    if (c >= 0) {
        m_preview->horizontalHeaderItem(c)->setCheckState(shown ? Qt::Checked : Qt::Unchecked);
        m_preview->setColumnHidden(c, !shown);
    }
    button->setStyleSheet(QLatin1String(shown ? DarkButtonStyle : LightButtonStyle));
    button->setProperty("chk", shown);
}

void QViewSelectionDialog::changeVisibilityInPreview()
{
    auto *button = qobject_cast<QPushButton *>(sender());
    if (button)
        setParameterShown(button, !button->property("chk").toBool());
}

void QViewSelectionDialog::changeItemVisibility(QTreeWidgetItem *currentItem)
{
    if (!currentItem || !nodesValid())
        return;
    const bool show = !(currentItem->flags() & Qt::ItemIsEnabled);
    QList<QTreeWidgetItem *> pending{currentItem};
    while (!pending.isEmpty()) {
        QTreeWidgetItem *item = pending.takeFirst();
        setShown(item, show);
        for (int i = 0; i < item->childCount(); ++i)
            pending.append(item->child(i));
    }
    // Showing a channel shows its board (and its system).
    if (show)
        for (QTreeWidgetItem *p = currentItem->parent(); p; p = p->parent())
            setShown(p, true);
    currentItem->setSelected(false);
    itemsChanged();
}

void QViewSelectionDialog::clickedOkButton()
{
    if (!nodesValid())
        return;
    bool anyChannel = false;
    for (QTreeWidgetItem *item : channelItems()) {
        const bool parentShown = !item->parent() || (item->parent()->flags() & Qt::ItemIsEnabled);
        if (parentShown && (item->flags() & Qt::ItemIsEnabled))
            anyChannel = true;
    }
    bool anyParameter = false;
    for (int c = 0; c < m_preview->columnCount(); ++c)
        if (!m_preview->isColumnHidden(c))
            anyParameter = true;

    QString problem;
    if (!anyChannel && !anyParameter)
        problem = QStringLiteral("Select at least one channel/parameter");
    else if (!anyChannel)
        problem = QStringLiteral("Select at least one channel");
    else if (!anyParameter)
        problem = QStringLiteral("Select at least one parameter");
    if (!problem.isEmpty()) {
        showOperatorMessage({QMessageBox::Critical, problem, QString(), {}}, this);
        return;
    }

    storeBoards();
    int position = 0;
    const QHeaderView *h = m_preview->horizontalHeader();
    for (QTreeWidgetItem *item : channelItems()) {
        ORVEHVNode *channel = nodeOf(item);
        const bool shown = item->flags() & Qt::ItemIsEnabled;
        if (m_customView) {
            channel->setIsEnabledInCustomView(shown);
            channel->setCustomViewVisualIndex(position++);
        } else {
            channel->setIsEnabled(shown);
            channel->setVisualIndex(position++);
        }
        for (ORVEHVNode *p : channel->parameters()) {
            const int c = previewColumn(p->name());
            if (c < 0)
                continue;
            const bool checked = m_preview->horizontalHeaderItem(c)->checkState() == Qt::Checked;
            if (m_customView) {
                p->setIsEnabledInCustomView(checked);
                p->setCustomViewVisualIndex(h->visualIndex(c));
            } else {
                p->setIsEnabled(checked);
                p->setVisualIndex(h->visualIndex(c));
            }
        }
    }
    applyChoice();
    accept();
}
