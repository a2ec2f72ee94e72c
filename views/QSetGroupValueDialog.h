#ifndef QSETGROUPVALUEDIALOG_H
#define QSETGROUPVALUEDIALOG_H

// Gives one value to every member of a channel group: an editor built for the
// group's first parameter, "Edit Group", "Delete Group" and the member list
// (hidden until asked for). OK writes the value to each member in member
// order; members the device refuses are reported together, once. The
// editor first shows the first member's present value; OK is enabled only
// once the operator typed or chose a value the first member could take,
// and a value that switches several channels on is asked about first. It follows the systems of the group's members
// (views/SystemDialog.h): a crate map change, a disconnection or a lost
// connection of one of them closes it.

#include "views/SystemDialog.h"


class ChannelGroups;
class ORVEHVWidgetItem;
class QLabel;
class QPushButton;
class QTreeWidget;
class QVBoxLayout;

class QSetGroupValueDialog : public SystemDialog
{
    Q_OBJECT
public:
    QSetGroupValueDialog(ChannelGroups *groups, int index, QWidget *parent = nullptr);

    int groupIndex() const { return m_index; }
    void setGroupIndex(int index) { m_index = index; }
    ORVEHVWidgetItem *editor() const { return m_editor; }
    QTreeWidget *itemsList() const { return m_items; }
    // Rebuilds title, editor and member list from the group (after an edit).
    void refresh();
    QPushButton *okButton() const { return m_ok; }

public slots:
    void showItems();
    void hideItems();
    void editGroup();
    void deleteGroup();
    void clickedOkButton();

private:
    void updateOkButton();

    ChannelGroups *m_groups = nullptr;
    int m_index = -1;
    QLabel *m_hint = nullptr;
    QVBoxLayout *m_editorLayout = nullptr;
    ORVEHVWidgetItem *m_editor = nullptr;
    QTreeWidget *m_items = nullptr;
    QPushButton *m_show = nullptr;
    QPushButton *m_hide = nullptr;
    QPushButton *m_ok = nullptr;
};

#endif
