#ifndef QCREATESETGROUPSDIALOG_H
#define QCREATESETGROUPSDIALOG_H

// Creates a channel group ("New Group") or edits one ("Edit <name>"): a name,
// a parameter name offered by the writable channel parameters of the
// connected systems, and the channels that have that parameter, chosen in a
// tree of systems, boards and channels (chosen items are checked and bold;
// a board or system with some of its channels chosen is partly checked).
// It follows every system it lists (views/SystemDialog.h).

#include "views/SystemDialog.h"

#include <QList>
#include <QPointer>

class ChannelGroups;
class ORVEHVNode;
class QComboBox;
class QCustomLineEdit;
class QPushButton;
class QSetGroupValueDialog;
class QTreeWidget;
class QTreeWidgetItem;

class QCreateSetGroupsDialog : public SystemDialog
{
    Q_OBJECT
public:
    // With `editing` the dialog edits that dialog's group, else it makes a
    // new one. An edit whose value dialog has gone meanwhile changes nothing.
    QCreateSetGroupsDialog(ChannelGroups *groups, QSetGroupValueDialog *editing = nullptr, QWidget *parent = nullptr);

    QCustomLineEdit *nameEdit() const { return m_name; }
    QComboBox *parameterCombo() const { return m_combo; }
    QTreeWidget *tree() const { return m_tree; }
    QPushButton *okButton() const { return m_ok; }
    // The tree item of a channel node; null when not listed.
    QTreeWidgetItem *itemOf(const ORVEHVNode *node) const;
    bool isChosen(const QTreeWidgetItem *item) const;

public slots:
    void fillTreeWithAvailableChannels(QString name);
    void changeItemVisibility(QTreeWidgetItem *currentItem);
    void clickedOkButton();

private:
    void restyle();
    QList<ORVEHVNode *> chosenMembers() const;

    ChannelGroups *m_groups = nullptr;
    bool m_editMode = false;
    QPointer<QSetGroupValueDialog> m_editing;
    QCustomLineEdit *m_name = nullptr;
    QComboBox *m_combo = nullptr;
    QTreeWidget *m_tree = nullptr;
    QPushButton *m_ok = nullptr;
    bool m_restyling = false;    // own changes of the tree, not the operator's
    bool m_changing = false;     // inside changeItemVisibility
    bool m_treeToggled = false;  // the click being handled hit a check box
};

#endif
