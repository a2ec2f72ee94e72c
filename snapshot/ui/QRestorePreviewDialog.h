#ifndef QRESTOREPREVIEWDIALOG_H
#define QRESTOREPREVIEWDIALOG_H

// What a restore will do, read before anything is written: how many
// channels it switches on (prominently, above everything else), every write
// in the order it goes out, and what it will not write and why. A swapped
// board can be mapped here, which makes a new plan.

#include "snapshot/RestorePlan.h"

#include <QDialog>
#include <functional>

class QLabel;
class QPushButton;
class QTableWidget;

class QRestorePreviewDialog : public QDialog
{
    Q_OBJECT
public:
    using Planner = std::function<snapshot::RestorePlan(const QSet<QString> &mappedBoards)>;

    explicit QRestorePreviewDialog(Planner planner, QWidget *parent = nullptr);

    const snapshot::RestorePlan &plan() const { return m_plan; }
    // Maps (or unmaps) a swapped board (boardMapKey) and plans again.
    void setBoardMapped(const QString &boardKey, bool mapped);

    QLabel *switchOnLabel() const { return m_switchOn; }
    QTableWidget *writesTable() const { return m_writes; }
    QTableWidget *refusedTable() const { return m_refused; }
    QPushButton *restoreButton() const { return m_restore; }

private:
    void replan();
    void fillWrites();
    void fillRefused();

    Planner m_planner;
    snapshot::RestorePlan m_plan;
    QSet<QString> m_mapped;
    QLabel *m_switchOn = nullptr;
    QLabel *m_summary = nullptr;
    QTableWidget *m_writes = nullptr;
    QLabel *m_refusedTitle = nullptr;
    QTableWidget *m_refused = nullptr;
    QPushButton *m_restore = nullptr;
};

#endif
