#ifndef CHANNELGROUPS_H
#define CHANNELGROUPS_H

// Channel groups: named sets of channel parameters of one parameter name
// (e.g. the "VSet" of twelve chosen channels, possibly on several systems)
// that get one value in one step. The groups live here, listed as actions of
// the main window's "Groups" sub-menu (object name = the group's index,
// text = its name); the dialogs that create, edit, set and delete them are
// QCreateSetGroupsDialog and QSetGroupValueDialog.
//
// Members are references into the systems' device trees: when a system goes,
// dropSystem() removes its members first (and a group left without any),
// telling the operator.

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

class ORVEHVNode;
class QAction;
class QDialog;
class QMenu;
class QWidget;
class QSetGroupValueDialog;

struct ChannelGroup
{
    QString name;
    QString parameter;
    // In tree order: each chosen channel node followed by its parameter node.
    QList<ORVEHVNode *> members;

    // The parameter nodes (members that are not channels).
    QList<ORVEHVNode *> parameterNodes() const;
};

class ChannelGroups : public QObject
{
    Q_OBJECT
public:
    // `menu` is the "Groups" sub-menu (enabled while a group exists);
    // `systems` lists the system nodes of the connected systems.
    ChannelGroups(QMenu *menu, std::function<QList<ORVEHVNode *>()> systems, QWidget *dialogParent);
    ~ChannelGroups() override;

    const QList<ChannelGroup> &groups() const { return m_groups; }
    QList<QAction *> actions() const;
    QList<ORVEHVNode *> systems() const { return m_systems ? m_systems() : QList<ORVEHVNode *>(); }

    // An empty member list adds nothing. An empty name becomes "Group 0",
    // or "Group %0" with the smallest free number from 1 upward.
    void addGroup(const QString &name, const QList<ORVEHVNode *> &members);
    // Asks first; on Yes removes the group and its action and renumbers.
    void deleteGroup(int index);
    // Replaces name, parameter and members (edit); refreshes the action and
    // an open value dialog.
    void replaceGroup(int index, const QString &name, const QList<ORVEHVNode *> &members);
    // A system is going: its members leave every group; a group left empty
    // is removed. Returns what the operator is to be told (empty when no
    // group changed); the caller shows it once the nodes are gone.
    QString dropSystem(const ORVEHVNode *systemNode);
    // Nodes are going (boards after a crate map change): as dropSystem.
    QString dropNodes(const QList<const ORVEHVNode *> &roots, const QString &what);

    // Dialogs: "New Group", and a group's value dialog (modeless).
    QWidget *createDialogForGroupSettings();
    QSetGroupValueDialog *openGroup(int index);
    QSetGroupValueDialog *openDialogOf(int index) const;

    // Index of a group's action (the action's object name), -1 when unknown.
    static int indexOfAction(const QObject *action);

signals:
    // A group's menu action was made; the main window connects its
    // triggered() to the slot that opens the value dialog.
    void actionAdded(QAction *action);

private:
    QString defaultName() const;
    void renumber();
    void refreshMenu();
    void removeAt(int index);

    QPointer<QMenu> m_menu;
    std::function<QList<ORVEHVNode *>()> m_systems;
    QPointer<QWidget> m_dialogParent;
    QList<ChannelGroup> m_groups;
    QList<QPointer<QSetGroupValueDialog>> m_dialogs;   // one slot per group
};

#endif
