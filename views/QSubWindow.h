#ifndef QSUBWINDOW_H
#define QSUBWINDOW_H

// The views-area widget of one connected system (or, with the custom-view
// flag, of the custom view): a QCustomTableWidget with a view-mode selector
// ("Full", "Minimal", "Custom") in its corner.
//
// Typical use by the code that builds a system's views:
//     auto *sub = new QSubWindow(sysIf, false, viewsParent);
//     sub->setSystemNode(sysIf->systemNode());   // or setRootNode(viewRoot)
//     sub->buildTableInitial();
//     sub->applyCustomMode();
//     for each channel status that fails its check: sub->markChannelState(false, node);
// After a change of the tree: rebuildTable() (and applyCustomMode() when the
// Custom mode is current).
//
// The root is a container node whose children are system nodes; the tree
// is walked root -> systems -> boards (empty slots skipped) -> channels ->
// channel parameters. While no root is set every build and mode operation
// does nothing. The sub-window never owns the nodes (only the root made by
// setSystemNode).

#include <QPoint>
#include <QString>
#include <QVector>
#include <QWidget>
#include <functional>

class ORVEHVNode;
class QAction;
class QComboBox;
class QCustomTableWidget;
class QDialog;
class QLabel;
class QSystemInterface;
class QTableWidgetItem;
class QVBoxLayout;

class QSubWindow : public QWidget
{
    Q_OBJECT
public:
    enum ViewMode { FullMode = 0, MinimalMode = 1, CustomMode = 2 };

    // Creates the trip-handling dialog for a system node (flagExt 0 internal,
    // 1 external). Registered by the layer that owns the dialog; without it
    // the header buttons open nothing.
    using TripDialogFactory =
        std::function<QDialog *(ORVEHVNode *system, int flagExt, QSystemInterface *sys, QWidget *parent)>;
    static void setTripDialogFactory(TripDialogFactory factory);

    // Follows `sys` (when given): a channel status it reports recolours the
    // channel's row, boards joining or leaving its tree rebuild the table.
    QSubWindow(QSystemInterface *sys, bool customView, QWidget *parent = nullptr);
    ~QSubWindow() override;

    QSystemInterface *systemInterface() const { return m_sys; }
    QCustomTableWidget *table() const { return m_table; }
    QComboBox *viewModeCombo() const { return m_combo; }
    QLabel *noChannelsLabel() const { return m_noChannels; }
    int viewMode() const { return m_mode; }
    bool customViewFlag() const { return m_customView; }

    // Root container (not owned).
    void setRootNode(ORVEHVNode *root);
    ORVEHVNode *rootNode() const { return m_root; }
    // Shows one system: the sub-window makes (and owns) a "fakeRoot"
    // container listing the system node.
    void setSystemNode(ORVEHVNode *system);

    void buildTable();
    void fillEmptyCells();
    void fitSize();
    void rebuildTable();
    void buildTableInitial();
    void applyFullMode();
    void applyMinimalMode();
    void applyCustomMode();
    bool isCustomView() const;
    void markChannelState(bool ok, QTableWidgetItem *item);
    // A value the system reported: a channel status word marks its row.
    void showParameter(ORVEHVNode *node);
    // The system's boards changed: the table is built again (in the same
    // mode) and channels found faulty meanwhile are marked.
    void showBoards();
    int findRowByName(const QString &name) const;
    void selectChannelRow(int row);
    void clearTableSelection();

    // Channel node of a row (null for an unknown row).
    ORVEHVNode *channelOfRow(int row) const;

    // How long a report in the status bar stays (ms).
    static constexpr int StatusMessageMs = 10000;
    // Shows a report (cells written) in the system's status bar.
    void showInStatusBar(const QString &text);

signals:
    void focused();

public slots:
    void setViewTableMode(QString choice);
    void handleCreateDialogForTripHandling(int flagExt);
    void handleSelectOffsetSettingModality(QPoint pos, int column, int paramType);
    void handleContextMenuClicked(QAction *action);

protected:
    void mouseReleaseEvent(QMouseEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    template <class F> void forEachChannel(F f) const;
    void placeCell(int row, int column, ORVEHVNode *node);
    bool visibleFlag(const ORVEHVNode *n) const;
    int storedPosition(const ORVEHVNode *n) const;
    int addColumn(ORVEHVNode *param);
    void showNoChannels();
    void removeNoChannels();
    void restoreNaturalOrder();
    void syncCombo();
    int visibleRowCount() const;
    int visibleColumnCount() const;

    QSystemInterface *m_sys = nullptr;
    ORVEHVNode *m_root = nullptr;
    ORVEHVNode *m_ownedRoot = nullptr;
    bool m_customView = false;
    QCustomTableWidget *m_table = nullptr;
    QComboBox *m_combo = nullptr;
    QLabel *m_noChannels = nullptr;
    QVBoxLayout *m_layout = nullptr;
    int m_mode = CustomMode;
    QVector<ORVEHVNode *> m_rowChannels;   // channel node of each row
    bool m_offsetMenuConnected = false;
    bool m_tripConnected = false;
};

#endif
