#ifndef QSNAPSHOTSDIALOG_H
#define QSNAPSHOTSDIALOG_H

// Setpoint snapshots: take one of the connected systems with a comment,
// list the stored ones by system and time, compare one with the live
// systems or two with each other, import and export files, and restore:
// preview, then the writes with a progress dialog whose Cancel stops before
// the next write, then one report and the verification. While a restore
// writes, the program's other ways of writing are locked as during a script
// run.

#include "snapshot/RestorePlan.h"
#include "snapshot/SnapshotStore.h"

#include <QDialog>
#include <QPointer>
#include <functional>

class ORVEHVNode;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRestoreReportDialog;
class QSnapshotCompareTable;
class QTreeWidget;

class QSnapshotsDialog : public QDialog
{
    Q_OBJECT
public:
    using LiveSystems = std::function<QList<ORVEHVNode *>()>;

    // Without a provider the connected systems of the program are used.
    explicit QSnapshotsDialog(QWidget *parent = nullptr, const QString &storeFolder = QString(),
                              LiveSystems liveSystems = {});

    // The one dialog of the program, made or raised.
    static QSnapshotsDialog *showDialog(QWidget *parent);
    // Every connected system of the program (not custom views).
    static QList<ORVEHVNode *> connectedSystems();

    const snapshot::SnapshotStore &store() const { return m_store; }

    // Operator actions, also reached by the buttons.
    QString takeSnapshot();                          // id, empty when nothing was taken
    void selectSnapshots(const QStringList &ids);
    QStringList selectedIds() const;
    void refreshSystems();
    void refreshList();
    bool compareWithLive();
    bool compareSelectedTwo();
    // Preview, then (when confirmed) run. False when nothing was run.
    bool restore(snapshot::RestoreSelection::Mode mode);
    // Runs a confirmed plan: undo snapshot, locked writes with progress, report.
    void runRestore(const snapshot::RestorePlan &plan);
    bool importFrom(const QString &path);
    bool exportTo(const QString &id, const QString &path);

    QListWidget *systemList() const { return m_systems; }
    QLineEdit *commentEdit() const { return m_comment; }
    QTreeWidget *snapshotList() const { return m_list; }
    QSnapshotCompareTable *compareTable() const { return m_table; }
    QLabel *statusLabel() const { return m_status; }
    // The report of the last restore while it is open.
    QRestoreReportDialog *lastReport() const;
    // The preview shown by restore(); a test answers it through this hook.
    void setPreviewHook(std::function<int(QDialog *)> hook) { m_previewHook = std::move(hook); }

private:
    bool loadSelected(int index, snapshot::Snapshot *out);
    void importClicked();
    void exportClicked();
    void deleteClicked();
    void message(const QString &text, bool problem = false);

    snapshot::SnapshotStore m_store;
    LiveSystems m_live;
    snapshot::Snapshot m_compared;   // first side of the comparison shown
    bool m_haveComparison = false;
    QListWidget *m_systems = nullptr;
    QLineEdit *m_comment = nullptr;
    QTreeWidget *m_list = nullptr;
    QSnapshotCompareTable *m_table = nullptr;
    QLabel *m_status = nullptr;
    QList<QPushButton *> m_restoreButtons;
    QPointer<QDialog> m_report;
    std::function<int(QDialog *)> m_previewHook;
};

#endif
