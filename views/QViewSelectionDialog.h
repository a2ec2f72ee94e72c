#ifndef QVIEWSELECTIONDIALOG_H
#define QVIEWSELECTIONDIALOG_H

// What the two view dialogs share: a "Channels" tab with a tree of boards and
// channels to show or hide, and a "Parameters" tab with one toggle button per
// parameter name above a preview table whose columns are dragged to order.
// OK writes the choice into the view attributes of the tree nodes: the own-
// view pair (isEnabled, visualIndex) for QConfigureViewDialog, the custom-
// view pair for QCustomViewDialog. Nothing is written until at least one
// channel and one parameter are chosen; Cancel writes nothing.
//
// Tree items carry their node (Qt::UserRole); shown items are enabled,
// checked and bold, hidden ones disabled and unchecked. The dialog follows
// the systems it lists (views/SystemDialog.h): any of them changing its tree
// or going closes it before a listed node is freed.

#include "views/SystemDialog.h"

#include <QList>
#include <QStringList>

class ORVEHVNode;
class QPushButton;
class QTableWidget;
class QTabWidget;
class QTreeWidget;
class QTreeWidgetItem;
class QVBoxLayout;

class QViewSelectionDialog : public SystemDialog
{
    Q_OBJECT
public:
    QTreeWidget *channelTree() const { return m_tree; }
    QTableWidget *preview() const { return m_preview; }
    QList<QPushButton *> parameterButtons() const { return m_buttons; }
    QPushButton *parameterButton(const QString &name) const;
    // Preview column of a parameter name; -1 when none.
    int previewColumn(const QString &name) const;
    // Names of the shown preview columns in their visual order.
    QStringList shownParametersInOrder() const;
    // Node of a tree item.
    static ORVEHVNode *nodeOf(const QTreeWidgetItem *item);
    // The tree item of a node; null when not listed.
    QTreeWidgetItem *itemOf(const ORVEHVNode *node) const;

    static const char *const DarkButtonStyle;
    static const char *const LightButtonStyle;

public slots:
    void changeItemVisibility(QTreeWidgetItem *currentItem);
    void changeVisibilityInPreview();
    void clickedOkButton();

protected:
    // customView: which pair of view attributes the dialog reads and writes.
    QViewSelectionDialog(const QList<ORVEHVNode *> &systems, bool customView, QWidget *parent);

    // The "Channels" tab page; the subclass lays out its tree there.
    QWidget *channelsPage() const { return m_channelsPage; }
    QVBoxLayout *parametersLayout() const { return m_parametersLayout; }
    // Once the tree is filled: parameter buttons and preview from the
    // channels listed (names in `leadingNames` first, in that order).
    void finishSetup(const QStringList &leadingNames);
    QTreeWidgetItem *makeItem(ORVEHVNode *node, const QString &text, const QString &icon, bool bold = false);
    void setShown(QTreeWidgetItem *item, bool shown);
    void setParameterShown(QPushButton *button, bool shown);
    // Channel items (the tree's leaves) in tree order.
    QList<QTreeWidgetItem *> channelItems() const;
    // After the operator showed or hid tree items.
    virtual void itemsChanged() {}
    // Stores the board-level choice (top-level items of the dialog's tree).
    virtual void storeBoards() {}
    // Called after the choice was stored, before the dialog closes.
    virtual void applyChoice() = 0;
    void releaseNodes() override { m_systems.clear(); }

    bool visibleFlag(const ORVEHVNode *n) const;
    int storedPosition(const ORVEHVNode *n) const;

    QList<ORVEHVNode *> m_systems;
    bool m_customView = false;
    QTreeWidget *m_tree = nullptr;
    QTableWidget *m_preview = nullptr;
    QList<QPushButton *> m_buttons;
    QStringList m_names;   // parameter names in column order
    QWidget *m_channelsPage = nullptr;
    QVBoxLayout *m_parametersLayout = nullptr;
};

#endif
