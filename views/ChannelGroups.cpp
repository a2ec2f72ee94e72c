#include "views/ChannelGroups.h"

#include "device/OperatorMessage.h"
#include "device/ORVEHVNode.h"
#include "views/QCreateSetGroupsDialog.h"
#include "views/QSetGroupValueDialog.h"

#include <QAction>
#include <QMenu>
#include <QSet>

QList<ORVEHVNode *> ChannelGroup::parameterNodes() const
{
    QList<ORVEHVNode *> out;
    for (ORVEHVNode *n : members)
        if (n && n->kind() != KindChannel)
            out.append(n);
    return out;
}

namespace {

QString parameterOf(const QList<ORVEHVNode *> &members)
{
    for (ORVEHVNode *n : members)
        if (n && n->kind() != KindChannel)
            return n->name();
    return QString();
}

void collect(const ORVEHVNode *node, QSet<const ORVEHVNode *> &out)
{
    if (!node || out.contains(node))
        return;
    out.insert(node);
    // A container only lists nodes of other trees: those are not its own.
    if (node->kind() == KindContainer)
        return;
    for (const ORVEHVNode *c : node->children())
        collect(c, out);
    for (const ORVEHVNode *p : node->parameters())
        collect(p, out);
}

} // namespace

ChannelGroups::ChannelGroups(QMenu *menu, std::function<QList<ORVEHVNode *>()> systems, QWidget *dialogParent)
    : QObject(dialogParent), m_menu(menu), m_systems(std::move(systems)), m_dialogParent(dialogParent)
{
    refreshMenu();
}

ChannelGroups::~ChannelGroups()
{
    for (const QPointer<QSetGroupValueDialog> &d : std::as_const(m_dialogs))
        delete d.data();
}

QList<QAction *> ChannelGroups::actions() const
{
    return m_menu ? m_menu->actions() : QList<QAction *>();
}

int ChannelGroups::indexOfAction(const QObject *action)
{
    bool ok = false;
    const int index = action ? action->objectName().toInt(&ok) : -1;
    return ok ? index : -1;
}

QString ChannelGroups::defaultName() const
{
    QSet<QString> taken;
    for (QAction *a : actions())
        taken.insert(a->text());
    if (!taken.contains(QStringLiteral("Group 0")))
        return QStringLiteral("Group 0");
    for (int n = 1;; ++n) {
        const QString name = QStringLiteral("Group %1").arg(n);
        if (!taken.contains(name))
            return name;
    }
}

void ChannelGroups::refreshMenu()
{
    if (!m_menu)
        return;
    const bool any = !m_groups.isEmpty();
    m_menu->setEnabled(any);
    m_menu->menuAction()->setEnabled(any);
}

void ChannelGroups::renumber()
{
    const QList<QAction *> list = actions();
    for (int i = 0; i < list.size(); ++i)
        list.at(i)->setObjectName(QString::number(i));
    for (int i = 0; i < m_dialogs.size(); ++i)
        if (m_dialogs.at(i))
            m_dialogs.at(i)->setGroupIndex(i);
}

void ChannelGroups::addGroup(const QString &name, const QList<ORVEHVNode *> &members)
{
    if (members.isEmpty() || !m_menu)
        return;
    ChannelGroup group;
    group.name = name.isEmpty() ? defaultName() : name;
    group.parameter = parameterOf(members);
    group.members = members;
    m_groups.append(group);
    m_dialogs.append(nullptr);
    QAction *action = m_menu->addAction(group.name);
    action->setObjectName(QString::number(m_groups.size() - 1));
    emit actionAdded(action);
    refreshMenu();
}

void ChannelGroups::removeAt(int index)
{
    if (QSetGroupValueDialog *d = m_dialogs.at(index))
        d->close();
    m_groups.removeAt(index);
    m_dialogs.removeAt(index);
    const QList<QAction *> list = actions();
    if (index < list.size()) {
        QAction *action = list.at(index);
        m_menu->removeAction(action);
        delete action;
    }
    renumber();
    refreshMenu();
}

void ChannelGroups::deleteGroup(int index)
{
    if (index < 0 || index >= m_groups.size())
        return;
    const int answer = showOperatorMessage({QMessageBox::Question, QStringLiteral("You are deleting Group %1.").arg(index),
                                            QStringLiteral("Do you really want to delete this group?"),
                                            {QStringLiteral("Yes"), QStringLiteral("No")}, 0},
                                           m_dialogParent);
    if (answer != 0 || index >= m_groups.size())
        return;
    removeAt(index);
}

void ChannelGroups::replaceGroup(int index, const QString &name, const QList<ORVEHVNode *> &members)
{
    if (index < 0 || index >= m_groups.size() || members.isEmpty())
        return;
    ChannelGroup &g = m_groups[index];
    if (!name.isEmpty())
        g.name = name;
    g.parameter = parameterOf(members);
    g.members = members;
    const QList<QAction *> list = actions();
    if (index < list.size())
        list.at(index)->setText(g.name);
    if (QSetGroupValueDialog *d = m_dialogs.at(index))
        d->refresh();
}

QString ChannelGroups::dropSystem(const ORVEHVNode *systemNode)
{
    return systemNode ? dropNodes({systemNode}, systemNode->name()) : QString();
}

QString ChannelGroups::dropNodes(const QList<const ORVEHVNode *> &roots, const QString &what)
{
    QSet<const ORVEHVNode *> going;
    for (const ORVEHVNode *r : roots)
        collect(r, going);
    QStringList shrunk, removed;
    for (int i = int(m_groups.size()) - 1; i >= 0; --i) {
        ChannelGroup &g = m_groups[i];
        QList<ORVEHVNode *> kept;
        for (ORVEHVNode *n : std::as_const(g.members))
            if (!going.contains(n))
                kept.append(n);
        if (kept.size() == g.members.size())
            continue;
        if (parameterOf(kept).isEmpty()) {
            removed.prepend(g.name);
            removeAt(i);
            continue;
        }
        g.members = kept;
        shrunk.prepend(g.name);
        if (QSetGroupValueDialog *d = m_dialogs.at(i))
            d->refresh();
    }
    if (shrunk.isEmpty() && removed.isEmpty())
        return QString();
    QString text = QStringLiteral("The channels of %1 have left the channel groups.").arg(what);
    if (!shrunk.isEmpty())
        text += QStringLiteral("\nGroups that keep their other channels: %1.").arg(shrunk.join(QStringLiteral(", ")));
    if (!removed.isEmpty())
        text += QStringLiteral("\nGroups left without channels and deleted: %1.").arg(removed.join(QStringLiteral(", ")));
    return text;
}

QWidget *ChannelGroups::createDialogForGroupSettings()
{
    auto *dialog = new QCreateSetGroupsDialog(this, nullptr, m_dialogParent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
    return dialog;
}

QSetGroupValueDialog *ChannelGroups::openDialogOf(int index) const
{
    return index >= 0 && index < m_dialogs.size() ? m_dialogs.at(index).data() : nullptr;
}

QSetGroupValueDialog *ChannelGroups::openGroup(int index)
{
    if (index < 0 || index >= m_groups.size())
        return nullptr;
    if (QSetGroupValueDialog *open = m_dialogs.at(index)) {
        open->raise();
        open->activateWindow();
        return open;
    }
    auto *dialog = new QSetGroupValueDialog(this, index, m_dialogParent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    m_dialogs[index] = dialog;
    dialog->show();
    return dialog;
}
