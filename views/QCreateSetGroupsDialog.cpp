#include "views/QCreateSetGroupsDialog.h"

#include "device/OperatorMessage.h"
#include "device/ORVEHVNode.h"
#include "views/ChannelGroups.h"
#include "views/QCustomEditors.h"
#include "views/QSetGroupValueDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include <utility>
#include <QVBoxLayout>

namespace {

ORVEHVNode *nodeOf(const QTreeWidgetItem *item)
{
    return item ? static_cast<ORVEHVNode *>(item->data(0, Qt::UserRole).value<void *>()) : nullptr;
}

QTreeWidgetItem *makeItem(ORVEHVNode *node, const QString &text, const char *icon)
{
    auto *item = new QTreeWidgetItem(QStringList(text));
    item->setIcon(0, QIcon(QLatin1String(icon)));
    item->setData(0, Qt::UserRole, QVariant::fromValue(static_cast<void *>(node)));
    item->setCheckState(0, Qt::Unchecked);
    // a parent shows whether all, some or none of its channels are chosen,
    // and ticking it chooses them all
    item->setFlags(item->flags() | Qt::ItemIsAutoTristate);
    return item;
}

} // namespace

QCreateSetGroupsDialog::QCreateSetGroupsDialog(ChannelGroups *groups, QSetGroupValueDialog *editingDialog,
                                               QWidget *parent)
    : SystemDialog(parent), m_groups(groups), m_editing(editingDialog)
{
    // It lists channels of every connected system.
    if (groups)
        for (const ORVEHVNode *system : groups->systems())
            followSystemOf(system);
    setObjectName(QStringLiteral("createSetGroupsDialog"));
    const int editIndex = editingDialog ? editingDialog->groupIndex() : -1;
    const bool editing = groups && editIndex >= 0 && editIndex < groups->groups().size();
    m_editMode = editingDialog != nullptr;
    setWindowTitle(editing ? QStringLiteral("Edit %1").arg(groups->groups().at(editIndex).name)
                           : QStringLiteral("New Group"));
    setWindowIcon(QIcon(QStringLiteral(":Resources/buttons/workgr.png")));

    auto *layout = new QVBoxLayout(this);
    m_name = new QCustomLineEdit;
    m_name->setObjectName(QStringLiteral("groupName"));
    m_name->setPlaceholderText(QStringLiteral("Insert group name here.."));
    if (editing)
        m_name->setText(groups->groups().at(editIndex).name);
    layout->addWidget(m_name);

    auto *form = new QFormLayout;
    m_combo = new QComboBox;
    m_combo->setObjectName(QStringLiteral("paramCombo"));
    form->addRow(QStringLiteral("Parameter"), m_combo);
    m_tree = new QTreeWidget;
    m_tree->setObjectName(QStringLiteral("treeSource"));
    m_tree->setHeaderHidden(true);
    m_tree->setSelectionMode(QAbstractItemView::NoSelection);
    m_tree->setStyleSheet(QStringLiteral("QTreeView { selection-background-color: rgb(53, 169, 18); }"));
    form->addRow(QStringLiteral("Channels"), m_tree);
    layout->addLayout(form);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_ok = buttons->button(QDialogButtonBox::Ok);
    m_ok->setEnabled(false);
    connect(buttons, &QDialogButtonBox::accepted, this, &QCreateSetGroupsDialog::clickedOkButton);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    // Writable channel parameters of every connected system, once each.
    QStringList names;
    if (groups) {
        for (ORVEHVNode *system : groups->systems())
            for (ORVEHVNode *board : system->children()) {
                if (!board || board->kind() != KindBoard)
                    continue;
                for (ORVEHVNode *channel : board->children())
                    for (ORVEHVNode *p : channel->parameters())
                        if (p->accessMode() != AccessReadOnly && p->accessMode() != AccessOther
                            && !names.contains(p->name()))
                            names.append(p->name());
            }
    }
    m_combo->addItems(names);
    m_combo->setCurrentIndex(-1);
    connect(m_combo, &QComboBox::currentTextChanged, this, &QCreateSetGroupsDialog::fillTreeWithAvailableChannels);
    // A click on the check box is toggled by the tree itself (itemChanged);
    // a click on the label toggles through changeItemVisibility.
    connect(m_tree, &QTreeWidget::itemChanged, this, [this] {
        if (m_restyling)
            return;
        if (!m_changing) {
            m_treeToggled = true;
            QTimer::singleShot(0, this, [this] { m_treeToggled = false; });
        }
        restyle();
    });
    connect(m_tree, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem *item) {
        if (!std::exchange(m_treeToggled, false))
            changeItemVisibility(item);
    });

    if (editing) {
        const ChannelGroup &g = groups->groups().at(editIndex);
        m_combo->setCurrentText(g.parameter);
        for (ORVEHVNode *n : g.members)
            if (n && n->kind() == KindChannel)
                if (QTreeWidgetItem *item = itemOf(n))
                    changeItemVisibility(item);
    }
    resize(420, 520);
}

QTreeWidgetItem *QCreateSetGroupsDialog::itemOf(const ORVEHVNode *node) const
{
    for (QTreeWidgetItemIterator it(m_tree); *it; ++it)
        if (nodeOf(*it) == node)
            return *it;
    return nullptr;
}

bool QCreateSetGroupsDialog::isChosen(const QTreeWidgetItem *item) const
{
    return item && item->checkState(0) == Qt::Checked;
}

void QCreateSetGroupsDialog::restyle()
{
    // chosen items bold and green, partly chosen parents green, others grey
    const bool was = std::exchange(m_restyling, true);
    for (QTreeWidgetItemIterator it(m_tree); *it; ++it) {
        const Qt::CheckState state = (*it)->checkState(0);
        QFont f = (*it)->font(0);
        f.setBold(state == Qt::Checked);
        (*it)->setFont(0, f);
        (*it)->setForeground(0, state == Qt::Unchecked ? QColor(150, 150, 150) : QColor(53, 169, 18));
    }
    m_restyling = was;
}

void QCreateSetGroupsDialog::fillTreeWithAvailableChannels(QString name)
{
    const bool was = std::exchange(m_restyling, true);
    m_tree->clear();
    m_restyling = was;
    if (!nodesValid() || !m_groups || name.isEmpty()) {
        m_ok->setEnabled(false);
        return;
    }
    m_restyling = true;
    for (ORVEHVNode *system : m_groups->systems()) {
        QTreeWidgetItem *sysItem = nullptr;
        for (ORVEHVNode *board : system->children()) {
            if (!board || board->kind() != KindBoard)
                continue;
            QTreeWidgetItem *boardItem = nullptr;
            for (ORVEHVNode *channel : board->children()) {
                ORVEHVNode *p = channel->parameter(name);
                if (!p || p->accessMode() == AccessReadOnly || p->accessMode() == AccessOther)
                    continue;
                if (!sysItem) {
                    sysItem = makeItem(system, system->name(), ":Resources/Elementi/sistema.png");
                    m_tree->addTopLevelItem(sysItem);
                }
                if (!boardItem) {
                    boardItem = makeItem(board, board->name(), ":Resources/Elementi/modulo.png");
                    sysItem->addChild(boardItem);
                }
                boardItem->addChild(makeItem(channel, channel->name(), ":Resources/Elementi/canale.png"));
            }
        }
    }
    m_restyling = was;
    m_tree->expandAll();
    restyle();
    m_ok->setEnabled(m_tree->topLevelItemCount() > 0);
}

void QCreateSetGroupsDialog::changeItemVisibility(QTreeWidgetItem *currentItem)
{
    if (!currentItem)
        return;
    // as a click on its check box: all of it chosen, or (when it all was)
    // none; the parents above follow by themselves
    const bool was = std::exchange(m_changing, true);
    currentItem->setCheckState(0, isChosen(currentItem) ? Qt::Unchecked : Qt::Checked);
    m_changing = was;
}

QList<ORVEHVNode *> QCreateSetGroupsDialog::chosenMembers() const
{
    QList<ORVEHVNode *> members;
    const QString name = m_combo->currentText();
    for (QTreeWidgetItemIterator it(m_tree); *it; ++it) {
        ORVEHVNode *n = nodeOf(*it);
        if (!n || n->kind() != KindChannel || !isChosen(*it))
            continue;
        if (ORVEHVNode *p = n->parameter(name)) {
            members.append(n);
            members.append(p);
        }
    }
    return members;
}

void QCreateSetGroupsDialog::clickedOkButton()
{
    if (!nodesValid())
        return;
    const QList<ORVEHVNode *> members = chosenMembers();
    if (members.isEmpty()) {
        showOperatorMessage({QMessageBox::Critical, QStringLiteral("Select at least one channel"), QString(), {}}, this);
        return;
    }
    if (m_groups) {
        if (m_editMode) {
            if (m_editing)
                m_groups->replaceGroup(m_editing->groupIndex(), m_name->text(), members);
        } else
            m_groups->addGroup(m_name->text(), members);
    }
    accept();
}
