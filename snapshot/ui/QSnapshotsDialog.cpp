#include "snapshot/ui/QSnapshotsDialog.h"

#include "device/ORVEHVNode.h"
#include "device/OperatorMessage.h"
#include "device/QSystemInterface.h"
#include "script/ScriptRunLock.h"
#include "snapshot/RestoreRun.h"
#include "snapshot/RestoreVerify.h"
#include "snapshot/SnapshotCapture.h"
#include "snapshot/SnapshotCompare.h"
#include "snapshot/SnapshotJson.h"
#include "snapshot/ui/QRestorePreviewDialog.h"
#include "snapshot/ui/QRestoreReportDialog.h"
#include "snapshot/ui/QSnapshotCompareTable.h"

#include <QEventLoop>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace snapshot;

namespace {

constexpr double DefaultTolerance = 5.0;  // V
const char *TimeFormat = "yyyy-MM-dd HH:mm:ss";

QPointer<QSnapshotsDialog> &theDialog()
{
    static QPointer<QSnapshotsDialog> d;
    return d;
}

QString describe(const Snapshot &s)
{
    QString text = s.taken.toString(QLatin1String(TimeFormat));
    if (!s.comment.isEmpty())
        text += QStringLiteral(" \"%1\"").arg(s.comment);
    return text;
}

// The writes of other dialogs and panels stay locked while a restore writes.
struct WriteLock
{
    WriteLock() { script::lockForRun(QStringLiteral("A restore is running")); }
    ~WriteLock() { script::unlockAfterRun(); }
};

QPushButton *button(const QString &text, const QString &name, QWidget *parent)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(name);
    return b;
}

} // namespace

QSnapshotsDialog::QSnapshotsDialog(QWidget *parent, const QString &storeFolder, LiveSystems liveSystems)
    : QDialog(parent), m_store(storeFolder), m_live(liveSystems ? std::move(liveSystems) : LiveSystems(&connectedSystems))
{
    setObjectName(QStringLiteral("snapshotsDialog"));
    setWindowTitle(QStringLiteral("Setpoint snapshots"));
    // Large enough for the comparison, never larger than the screen (its
    // status line went below a 720-line screen's edge).
    resize(QSize(1280, 720).boundedTo(screen()->availableGeometry().size() * 0.9));
    auto *split = new QSplitter(this);
    auto *outer = new QVBoxLayout(this);
    outer->addWidget(split, 1);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("snapshotStatus"));
    m_status->setWordWrap(true);
    outer->addWidget(m_status);

    auto *left = new QWidget(split);
    auto *leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    auto *take = new QGroupBox(QStringLiteral("Take a snapshot"), left);
    auto *takeLayout = new QVBoxLayout(take);
    m_systems = new QListWidget(take);
    m_systems->setObjectName(QStringLiteral("snapshotSystems"));
    m_systems->setMaximumHeight(110);
    takeLayout->addWidget(m_systems);
    m_comment = new QLineEdit(take);
    m_comment->setObjectName(QStringLiteral("snapshotComment"));
    m_comment->setPlaceholderText(QStringLiteral("Comment: what state is this?"));
    m_comment->setMaxLength(4096);
    takeLayout->addWidget(m_comment);
    QPushButton *takeButton = button(QStringLiteral("Take snapshot"), QStringLiteral("takeSnapshotButton"), take);
    connect(takeButton, &QPushButton::clicked, this, [this] { takeSnapshot(); });
    takeLayout->addWidget(takeButton);
    leftLayout->addWidget(take);

    auto *stored = new QGroupBox(QStringLiteral("Stored snapshots, by system and time"), left);
    auto *storedLayout = new QVBoxLayout(stored);
    m_list = new QTreeWidget(stored);
    m_list->setObjectName(QStringLiteral("snapshotList"));
    m_list->setHeaderLabels({QStringLiteral("Taken"), QStringLiteral("Comment"), QStringLiteral("Channels")});
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    storedLayout->addWidget(m_list, 1);
    auto *rowA = new QHBoxLayout;
    QPushButton *live = button(QStringLiteral("Compare with live"), QStringLiteral("compareLiveButton"), stored);
    QPushButton *two = button(QStringLiteral("Compare the two selected"), QStringLiteral("compareTwoButton"), stored);
    connect(live, &QPushButton::clicked, this, [this] { compareWithLive(); });
    connect(two, &QPushButton::clicked, this, [this] { compareSelectedTwo(); });
    rowA->addWidget(live);
    rowA->addWidget(two);
    storedLayout->addLayout(rowA);
    auto *rowB = new QHBoxLayout;
    QPushButton *imp = button(QStringLiteral("Import.."), QStringLiteral("importButton"), stored);
    QPushButton *exp = button(QStringLiteral("Export.."), QStringLiteral("exportButton"), stored);
    QPushButton *del = button(QStringLiteral("Delete"), QStringLiteral("deleteButton"), stored);
    connect(imp, &QPushButton::clicked, this, &QSnapshotsDialog::importClicked);
    connect(exp, &QPushButton::clicked, this, &QSnapshotsDialog::exportClicked);
    connect(del, &QPushButton::clicked, this, &QSnapshotsDialog::deleteClicked);
    rowB->addWidget(imp);
    rowB->addWidget(exp);
    rowB->addWidget(del);
    storedLayout->addLayout(rowB);
    leftLayout->addWidget(stored, 1);

    auto *right = new QWidget(split);
    auto *rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    m_table = new QSnapshotCompareTable(right);
    rightLayout->addWidget(m_table, 1);
    auto *rowC = new QHBoxLayout;
    rowC->addStretch(1);
    const QList<QPair<QString, RestoreSelection::Mode>> modes{
        {QStringLiteral("Restore all.."), RestoreSelection::All},
        {QStringLiteral("Restore differing.."), RestoreSelection::Differing},
        {QStringLiteral("Restore picked.."), RestoreSelection::Picked}};
    for (const auto &m : modes) {
        QPushButton *b = button(m.first, QStringLiteral("restoreButton%1").arg(int(m.second)), right);
        b->setEnabled(false);
        b->setToolTip(QStringLiteral("Restores the first snapshot of the comparison to the live systems, after a preview"));
        const RestoreSelection::Mode mode = m.second;
        connect(b, &QPushButton::clicked, this, [this, mode] { restore(mode); });
        rowC->addWidget(b);
        m_restoreButtons.append(b);
    }
    rightLayout->addLayout(rowC);
    split->setStretchFactor(0, 2);
    split->setStretchFactor(1, 5);

    refreshSystems();
    refreshList();
}

QSnapshotsDialog *QSnapshotsDialog::showDialog(QWidget *parent)
{
    QPointer<QSnapshotsDialog> &d = theDialog();
    if (!d) {
        d = new QSnapshotsDialog(parent);
        d->setAttribute(Qt::WA_DeleteOnClose);
    } else {
        d->refreshSystems();
    }
    d->show();
    d->raise();
    d->activateWindow();
    return d;
}

QList<ORVEHVNode *> QSnapshotsDialog::connectedSystems()
{
    QList<ORVEHVNode *> nodes;
    for (QSystemInterface *sys : QSystemInterface::liveInterfaces())
        if (!sys->representsCustomView() && sys->systemNode() && sys->handle() >= 0)
            nodes.append(sys->systemNode());
    return nodes;
}

QRestoreReportDialog *QSnapshotsDialog::lastReport() const
{
    return qobject_cast<QRestoreReportDialog *>(m_report.data());
}

void QSnapshotsDialog::message(const QString &text, bool problem)
{
    m_status->setText(text);
    m_status->setStyleSheet(problem ? QStringLiteral("QLabel { color: #a02020; }") : QString());
}

void QSnapshotsDialog::refreshSystems()
{
    m_systems->clear();
    for (ORVEHVNode *n : m_live()) {
        auto *item = new QListWidgetItem(QStringLiteral("%1  (%2)").arg(n->name(), n->connectionArgument()), m_systems);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Checked);
        item->setData(Qt::UserRole, addressKey({keyOf(n), -1, -1, QString()}));
    }
    if (m_systems->count() == 0)
        new QListWidgetItem(QStringLiteral("No system is connected."), m_systems);
}

void QSnapshotsDialog::refreshList()
{
    const QStringList keep = selectedIds();
    m_list->clear();
    QStringList problems;
    const QList<SnapshotStore::Entry> entries = m_store.list(&problems);
    QHash<QString, QTreeWidgetItem *> groups;
    for (const SnapshotStore::Entry &e : entries) {
        for (const QString &system : e.systemNames) {
            QTreeWidgetItem *&group = groups[system];
            if (!group) {
                group = new QTreeWidgetItem(m_list, {system});
                group->setFlags(Qt::ItemIsEnabled);
                group->setExpanded(true);
            }
            auto *item = new QTreeWidgetItem(group, {e.taken.toString(QLatin1String(TimeFormat)), e.comment,
                                                     QString::number(e.channels)});
            item->setData(0, Qt::UserRole, e.id);
            item->setToolTip(1, e.comment);
        }
    }
    m_list->resizeColumnToContents(0);
    selectSnapshots(keep);
    if (!problems.isEmpty())
        message(QStringLiteral("Some files in %1 are not listed:\n%2").arg(m_store.folder(), problems.join('\n')), true);
}

void QSnapshotsDialog::selectSnapshots(const QStringList &ids)
{
    m_list->clearSelection();
    for (int g = 0; g < m_list->topLevelItemCount(); ++g) {
        QTreeWidgetItem *group = m_list->topLevelItem(g);
        for (int i = 0; i < group->childCount(); ++i)
            if (ids.contains(group->child(i)->data(0, Qt::UserRole).toString()))
                group->child(i)->setSelected(true);
    }
}

QStringList QSnapshotsDialog::selectedIds() const
{
    QStringList ids;
    for (QTreeWidgetItem *item : m_list->selectedItems()) {
        const QString id = item->data(0, Qt::UserRole).toString();
        if (!id.isEmpty() && !ids.contains(id))
            ids.append(id);
    }
    return ids;
}

QString QSnapshotsDialog::takeSnapshot()
{
    // by identity: a system may have come or gone since the list was made
    QSet<QString> ticked;
    for (int i = 0; i < m_systems->count(); ++i)
        if (m_systems->item(i)->checkState() == Qt::Checked)
            ticked.insert(m_systems->item(i)->data(Qt::UserRole).toString());
    QList<ORVEHVNode *> chosen;
    for (ORVEHVNode *n : m_live())
        if (ticked.contains(addressKey({keyOf(n), -1, -1, QString()})))
            chosen.append(n);
    if (chosen.isEmpty()) {
        message(QStringLiteral("No connected system is ticked: nothing was taken."), true);
        return QString();
    }
    const Snapshot snap = capture(chosen, m_comment->text().trimmed());
    QString error;
    if (!m_store.save(snap, &error)) {
        showOperatorMessage({QMessageBox::Warning, QStringLiteral("The snapshot could not be stored."), error, {}, -1, {}}, this);
        return QString();
    }
    int unreadable = 0;
    for (const SystemRecord &s : snap.systems)
        unreadable += s.unreadable;
    m_comment->clear();
    refreshList();
    selectSnapshots({snap.id});
    message(unreadable == 0 ? QStringLiteral("Snapshot %1 taken: %2 values of %3 channels.")
                                  .arg(describe(snap)).arg(snap.setpointCount()).arg(snap.channelCount())
                            : QStringLiteral("Snapshot %1 taken, but %2 values could not be read and are not in it.")
                                  .arg(describe(snap)).arg(unreadable),
            unreadable > 0);
    return snap.id;
}

bool QSnapshotsDialog::loadSelected(int index, Snapshot *out)
{
    const QStringList ids = selectedIds();
    if (index >= ids.size())
        return false;
    QString error;
    if (!m_store.load(ids.at(index), out, &error)) {
        showOperatorMessage({QMessageBox::Warning, QStringLiteral("The snapshot could not be read."), error, {}, -1, {}}, this);
        return false;
    }
    return true;
}

bool QSnapshotsDialog::compareWithLive()
{
    Snapshot snap;
    if (!loadSelected(0, &snap)) {
        message(QStringLiteral("Select a stored snapshot first."), true);
        return false;
    }
    QList<ORVEHVNode *> involved;
    for (const SystemRecord &s : std::as_const(snap.systems))
        if (ORVEHVNode *n = findLiveSystem(m_live(), s.key))
            involved.append(n);
    const QVector<Difference> diff = compare(snap, capture(involved, QString()));
    m_compared = snap;
    m_haveComparison = true;
    m_table->setDifferences(QStringLiteral("Snapshot %1 compared with the live systems: %2 difference%3.")
                                .arg(describe(snap)).arg(diff.size()).arg(diff.size() == 1 ? "" : "s"),
                            QStringLiteral("Snapshot"), QStringLiteral("Live"), diff);
    for (QPushButton *b : std::as_const(m_restoreButtons))
        b->setEnabled(true);
    return true;
}

bool QSnapshotsDialog::compareSelectedTwo()
{
    Snapshot a, b;
    if (selectedIds().size() != 2 || !loadSelected(0, &a) || !loadSelected(1, &b)) {
        message(QStringLiteral("Select exactly two stored snapshots to compare them."), true);
        return false;
    }
    if (b.taken < a.taken)
        std::swap(a, b);
    const QVector<Difference> diff = compare(a, b);
    m_compared = a;
    m_haveComparison = true;
    m_table->setDifferences(QStringLiteral("Snapshot %1 compared with snapshot %2: %3 difference%4.")
                                .arg(describe(a), describe(b)).arg(diff.size()).arg(diff.size() == 1 ? "" : "s"),
                            a.taken.toString(QLatin1String(TimeFormat)), b.taken.toString(QLatin1String(TimeFormat)), diff);
    for (QPushButton *btn : std::as_const(m_restoreButtons))
        btn->setEnabled(true);
    return true;
}

bool QSnapshotsDialog::restore(RestoreSelection::Mode mode)
{
    if (!m_haveComparison)
        return false;
    if (script::anyRunActive() || script::isLockedForRun()) {
        showOperatorMessage({QMessageBox::Warning, QStringLiteral("A script or another restore is writing to the systems."),
                             QStringLiteral("Restore when it has ended."), {}, -1, {}}, this);
        return false;
    }
    RestoreSelection selection;
    selection.mode = mode;
    if (mode == RestoreSelection::Picked) {
        selection.picked = m_table->pickedItems();
        if (selection.picked.isEmpty()) {
            message(QStringLiteral("Tick the items to restore in the comparison first."), true);
            return false;
        }
    }
    const Snapshot snap = m_compared;
    const LiveSystems live = m_live;
    QRestorePreviewDialog preview(
        [snap, live, selection](const QSet<QString> &mapped) {
            RestoreSelection s = selection;
            s.mappedBoards = mapped;
            return planRestore(snap, live(), s);
        },
        this);
    const int answer = m_previewHook ? m_previewHook(&preview) : preview.exec();
    if (answer != QDialog::Accepted || preview.plan().writes.isEmpty())
        return false;
    runRestore(preview.plan());
    return true;
}

void QSnapshotsDialog::runRestore(const RestorePlan &plan)
{
    RestoreRun run(plan, m_live);
    QString undoError;
    connect(&run, &RestoreRun::undoSnapshotTaken, this, [&](const Snapshot &undo) {
        if (!m_store.save(undo, &undoError))
            run.cancel();  // no write without a way back
    });
    QProgressDialog progress(QStringLiteral("Restoring snapshot %1..").arg(describe(plan.source)),
                             QStringLiteral("Cancel"), 0, run.total(), this);
    progress.setObjectName(QStringLiteral("restoreProgress"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    connect(&progress, &QProgressDialog::canceled, &run, &RestoreRun::cancel);
    connect(&run, &RestoreRun::progress, &progress, [&](int done, int total) {
        progress.setValue(done);
        progress.setLabelText(QStringLiteral("Writing %1 of %2 (%3)..")
                                  .arg(done).arg(total).arg(done < total ? phaseText(plan.writes.at(done).phase) : QString()));
    });
    {
        const WriteLock lock;
        QEventLoop loop;
        connect(&run, &RestoreRun::finished, &loop, &QEventLoop::quit);
        run.start();
        if (!run.isFinished())
            loop.exec();
    }
    progress.close();
    refreshList();
    if (!undoError.isEmpty()) {
        showOperatorMessage({QMessageBox::Warning, QStringLiteral("Nothing was restored: the snapshot of the present values "
                                                                  "(to undo the restore) could not be stored."),
                             undoError, {}, -1, {}}, this);
        return;
    }
    const RestoreReport report = run.report();
    const LiveSystems live = m_live;
    if (m_report)
        m_report->close();
    auto *reportDialog = new QRestoreReportDialog(report, describe(run.undoSnapshot()), rampSeconds(plan), DefaultTolerance,
                                                  [report, live](double tolerance) { return verifyRestore(report, live(), tolerance); },
                                                  this);
    reportDialog->setAttribute(Qt::WA_DeleteOnClose);
    reportDialog->show();
    m_report = reportDialog;
}

bool QSnapshotsDialog::importFrom(const QString &path)
{
    QString id, error;
    if (!m_store.importFile(path, &id, &error)) {
        showOperatorMessage({QMessageBox::Warning, QStringLiteral("The file was not imported."), error, {}, -1, {}}, this);
        return false;
    }
    refreshList();
    selectSnapshots({id});
    message(QStringLiteral("Imported %1.").arg(path));
    return true;
}

bool QSnapshotsDialog::exportTo(const QString &id, const QString &path)
{
    Snapshot snap;
    QString error;
    if (!m_store.load(id, &snap, &error) || !saveFile(snap, path, &error)) {
        showOperatorMessage({QMessageBox::Warning, QStringLiteral("The snapshot was not exported."), error, {}, -1, {}}, this);
        return false;
    }
    message(QStringLiteral("Exported to %1.").arg(path));
    return true;
}

void QSnapshotsDialog::importClicked()
{
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Import a snapshot"), QString(),
                                                      QStringLiteral("Snapshot files (*.json)"));
    if (!path.isEmpty())
        importFrom(path);
}

void QSnapshotsDialog::exportClicked()
{
    const QStringList ids = selectedIds();
    if (ids.size() != 1) {
        message(QStringLiteral("Select one stored snapshot to export it."), true);
        return;
    }
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Export the snapshot"), ids.first() + QStringLiteral(".json"),
                                                      QStringLiteral("Snapshot files (*.json)"));
    if (!path.isEmpty())
        exportTo(ids.first(), path);
}

void QSnapshotsDialog::deleteClicked()
{
    const QStringList ids = selectedIds();
    if (ids.isEmpty())
        return;
    if (!askOperator(QStringLiteral("You are deleting %1 stored snapshot%2.").arg(ids.size()).arg(ids.size() == 1 ? "" : "s"), this))
        return;
    for (const QString &id : ids)
        m_store.remove(id);
    refreshList();
}
