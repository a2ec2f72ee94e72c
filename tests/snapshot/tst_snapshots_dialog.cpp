// The snapshots dialog on the virtual mainframe: take, list, compare with
// filter and CSV, restore through the preview with its switch-on count,
// the write lock, Cancel in the progress dialog, and a refused import.
#include "SnapshotTestSupport.h"
#include "device/OperatorMessage.h"
#include "script/ScriptRunLock.h"
#include "snapshot/ui/QRestorePreviewDialog.h"
#include "snapshot/ui/QRestoreReportDialog.h"
#include "snapshot/ui/QSnapshotCompareTable.h"
#include "snapshot/ui/QSnapshotsDialog.h"
#include "views/QCustomTableWidget.h"

#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

using namespace snapshot;
using namespace snapshot_test;

class tst_snapshots_dialog : public QObject
{
    Q_OBJECT

    std::unique_ptr<LiveSystem> sys;
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<QSnapshotsDialog> dialog;
    QStringList messages;

    int visibleRows(const QTableWidget *t) const
    {
        int n = 0;
        for (int r = 0; r < t->rowCount(); ++r)
            n += t->isRowHidden(r) ? 0 : 1;
        return n;
    }

private slots:
    void init()
    {
        sys = freshMainframe();
        QVERIFY(sys);
        dir = std::make_unique<QTemporaryDir>();
        ORVEHVNode *node = sys->node;
        dialog = std::make_unique<QSnapshotsDialog>(nullptr, dir->path(), [node] { return QList<ORVEHVNode *>{node}; });
        messages.clear();
        setOperatorMessageHook([this](const OperatorMessage &m) {
            messages << m.text + QLatin1Char(' ') + m.informativeText;
            return 0;
        });
    }
    void cleanup()
    {
        setOperatorMessageHook({});
        dialog.reset();
        sys.reset();
    }

    void takeCompareFilterAndExport()
    {
        dialog->commentEdit()->setText(QStringLiteral("before beam"));
        const QString id = dialog->takeSnapshot();
        QVERIFY(!id.isEmpty());
        QCOMPARE(dialog->snapshotList()->topLevelItemCount(), 1);
        QTreeWidgetItem *group = dialog->snapshotList()->topLevelItem(0);
        QCOMPARE(group->text(0), QStringLiteral("MF3300"));
        QCOMPARE(group->childCount(), 1);
        QCOMPARE(group->child(0)->text(1), QStringLiteral("before beam"));
        QCOMPARE(dialog->selectedIds(), QStringList{id});

        apply(*sys, {{0, 4, "VSet", 321.0}, {1, 2, "Name", QStringLiteral("probe")}, {3, 1, "RUp", 77.0}});
        QVERIFY(dialog->compareWithLive());
        QTableWidget *t = dialog->compareTable()->table();
        QCOMPARE(t->rowCount(), 3);
        dialog->compareTable()->setFilter(QStringLiteral("board01 name"));
        QCOMPARE(visibleRows(t), 1);
        const QString csv = dialog->compareTable()->csvText();
        QCOMPARE(csv.count(QLatin1Char('\n')), 2);
        QVERIFY2(csv.contains(QStringLiteral("MF3300,Board01,Chan002,Name,\"\"\"CH02\"\"\",\"\"\"probe\"\"\",")), qPrintable(csv));

        const QString path = dir->filePath(QStringLiteral("diff.csv"));
        QString error;
        QVERIFY(dialog->compareTable()->exportCsv(path, &error));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(f.readAll()), csv);

        // a store read anew (after a restart) lists the same snapshot
        QCOMPARE(SnapshotStore(dir->path()).list().size(), 1);
    }

    void previewCountsSwitchOnAndRestoreLocksWrites()
    {
        const QString id = dialog->takeSnapshot();
        apply(*sys, {{0, 0, "Pw", false}, {0, 1, "Pw", false}, {0, 2, "Pw", false}, {0, 2, "VSet", 50.0}});
        QVERIFY(dialog->compareWithLive());
        QCustomTableWidget otherTable(false);
        otherTable.setEditTriggers(QAbstractItemView::DoubleClicked);
        bool lockedDuringRun = false;
        QAbstractItemView::EditTriggers triggersDuringRun;
        QString switchOn, restoreText;
        QStringList steps;
        dialog->setPreviewHook([&](QDialog *d) {
            auto *preview = qobject_cast<QRestorePreviewDialog *>(d);
            switchOn = preview->switchOnLabel()->text();
            restoreText = preview->restoreButton()->text();
            for (int r = 0; r < preview->writesTable()->rowCount(); ++r)
                steps << preview->writesTable()->item(r, 1)->text() + QLatin1Char(' ') + preview->writesTable()->item(r, 5)->text();
            QTimer::singleShot(0, [&] {
                lockedDuringRun = script::isLockedForRun();
                triggersDuringRun = otherTable.editTriggers();
            });
            return int(QDialog::Accepted);
        });
        QVERIFY(dialog->restore(RestoreSelection::Differing));
        QCOMPARE(switchOn, QStringLiteral("3 channels will be switched ON"));
        QCOMPARE(restoreText, QStringLiteral("Restore and switch 3 on"));
        QCOMPARE(steps, QStringList({"voltages VSet", "Pw on Pw", "Pw on Pw", "Pw on Pw"}));
        QVERIFY(lockedDuringRun);
        QCOMPARE(triggersDuringRun, QAbstractItemView::NoEditTriggers);
        QVERIFY(!script::isLockedForRun());
        QCOMPARE(otherTable.editTriggers(), QAbstractItemView::DoubleClicked);
        for (int ch = 0; ch < 3; ++ch)
            QCOMPARE(sys->device(0, ch, "Pw"), 1.0);
        QVERIFY(dialog->lastReport());
        QVERIFY2(dialog->lastReport()->summaryLabel()->text().contains(QLatin1String("written: 4")),
                 qPrintable(dialog->lastReport()->summaryLabel()->text()));
        // the undo snapshot is stored beside the restored one
        QCOMPARE(dialog->store().list().size(), 2);
        vhw::advanceTime(30);
        dialog->lastReport()->verifyNow();
        QVERIFY2(dialog->lastReport()->verifyLabel()->text().contains(QLatin1String("every written value")),
                 qPrintable(dialog->lastReport()->verifyLabel()->text()));
        Q_UNUSED(id);
    }

    void swappedBoardCanBeMappedInThePreview()
    {
        dialog->takeSnapshot();
        apply(*sys, {{3, 0, "VSet", 700.0}});
        QCOMPARE(vhw::swapBoard(sys->id, 3, 4242), ORVEHV_OK);
        QVERIFY(dialog->compareWithLive());
        QString refusal;
        bool mapButton = false, mappedPlanWrites = false, nothingRefused = false;
        dialog->setPreviewHook([&](QDialog *d) {
            auto *preview = qobject_cast<QRestorePreviewDialog *>(d);
            if (preview->refusedTable()->rowCount() == 1)
                refusal = preview->refusedTable()->item(0, 4)->text();
            auto *map = qobject_cast<QAbstractButton *>(preview->refusedTable()->cellWidget(0, 0));
            mapButton = map != nullptr;
            const int before = preview->plan().writes.size();
            if (map)
                map->click();
            mappedPlanWrites = QTest::qWaitFor([&] { return preview->plan().writes.size() > before; });
            nothingRefused = preview->plan().refused.isEmpty();
            return int(QDialog::Rejected);
        });
        QVERIFY(!dialog->restore(RestoreSelection::All));
        QVERIFY2(refusal.contains(QLatin1String("4242")), qPrintable(refusal));
        QVERIFY(mapButton);
        QVERIFY(mappedPlanWrites);
        QVERIFY(nothingRefused);
        QCOMPARE(sys->device(3, 0, "VSet"), 0.0);  // the swapped board's default: nothing written
    }

    void cancelInTheProgressDialogStopsTheWrites()
    {
        dialog->takeSnapshot();
        apply(*sys, twentyChanges());
        QVERIFY(dialog->compareWithLive());
        dialog->setPreviewHook([&](QDialog *) {
            QTimer::singleShot(0, [&] {
                // the operator's Cancel button
                if (auto *p = dialog->findChild<QProgressDialog *>(QStringLiteral("restoreProgress")))
                    p->findChild<QPushButton *>()->click();
            });
            return int(QDialog::Accepted);
        });
        QVERIFY(dialog->restore(RestoreSelection::Differing));
        QTableWidget *outcomes = dialog->lastReport()->outcomeTable();
        int written = 0, skipped = 0;
        for (int r = 0; r < outcomes->rowCount(); ++r) {
            written += outcomes->item(r, 0)->text() == QLatin1String("written");
            skipped += outcomes->item(r, 0)->text() == QLatin1String("skipped");
        }
        QVERIFY(written < 20);
        QCOMPARE(written + skipped, 20);
        QVERIFY(dialog->lastReport()->summaryLabel()->text().contains(QLatin1String("Cancelled")));
    }

    void hostileImportChangesNothing()
    {
        const QString path = dir->filePath(QStringLiteral("evil.json"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(R"({"format": "kebodesk-snapshot", "schema": 1, "id": "x", "taken": "2026-01-01T00:00:00.000Z",
                   "comment": "", "systems": [{"name": 5}]})");
        f.close();
        QVERIFY(!dialog->importFrom(path));
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages[0].contains(QLatin1String("systems[0].name: a text is expected")), qPrintable(messages[0]));
        QCOMPARE(dialog->snapshotList()->topLevelItemCount(), 0);
    }
};

QTEST_MAIN(tst_snapshots_dialog)
#include "tst_snapshots_dialog.moc"
