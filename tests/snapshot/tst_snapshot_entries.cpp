// The ways into the snapshots dialog from the main window, and the lock a
// restore puts on the window's other ways of writing.
#include "tests/support/LiveWindow.h"
#include "app/ScriptRunLockHook.h"
#include "panels/QSystemInformations.h"
#include "snapshot/ui/QSnapshotsDialog.h"

#include <QAction>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

class tst_snapshot_entries : public QObject
{
    Q_OBJECT
    live_test::WindowFixture fx;

private slots:
    void initTestCase() { QVERIFY(fx.setUpOnce()); }
    void cleanupTestCase() { fx.tearDownOnce(); }
    void init()
    {
        // the program's own store, in the test location
        QDir(snapshot::SnapshotStore::defaultFolder()).removeRecursively();
        QVERIFY(fx.openWindow());
    }
    void cleanup()
    {
        if (QSnapshotsDialog *d = fx.w->findChild<QSnapshotsDialog *>())
            delete d;
        fx.closeWindow();
    }

    // The panel's button and the menu raise one dialog; a restore from it
    // locks the window's other ways of writing while it runs.
    void entriesOpenTheDialogAndRestoreLocksTheWindow()
    {
        QSystemInterface *sys = live_test::connectLive(fx.w, "192.0.2.10", QStringLiteral("North"));
        QVERIFY(sys);
        installScriptRunLock(fx.w);  // as the program's start does
        QVERIFY(fx.w->form().menuFile->actions().contains(fx.w->form().menuSnapshots));
        auto *panel = qobject_cast<QSystemInformations *>(sys->systemCommandsPanel());
        QVERIFY(panel && panel->button(QStringLiteral("SNAP")));
        panel->button(QStringLiteral("SNAP"))->click();
        QSnapshotsDialog *dialog = fx.w->findChild<QSnapshotsDialog *>();
        QVERIFY(dialog && dialog->isVisible());
        QCOMPARE(dialog->systemList()->count(), 1);
        QVERIFY(dialog->systemList()->item(0)->text().startsWith(QLatin1String("North")));
        fx.w->form().menuSnapshots->trigger();
        QCOMPARE(fx.w->findChildren<QSnapshotsDialog *>().size(), 1);

        QVERIFY(!dialog->takeSnapshot().isEmpty());
        QCOMPARE(live_test::boardInSlot(sys, 0)->children().at(3)->parameter(QStringLiteral("VSet"))->writeValue(10.0), 0);
        QVERIFY(dialog->compareWithLive());
        bool panelsLocked = false, menusLocked = false;
        dialog->setPreviewHook([&](QDialog *) {
            QTimer::singleShot(0, [&] {
                panelsLocked = !fx.w->systemsArea()->isEnabled();
                menusLocked = !fx.w->form().menuBar->isEnabled();
            });
            return int(QDialog::Accepted);
        });
        QVERIFY(dialog->restore(snapshot::RestoreSelection::Differing));
        QVERIFY(panelsLocked);
        QVERIFY(menusLocked);
        QVERIFY(fx.w->systemsArea()->isEnabled());
        QVERIFY(fx.w->form().menuBar->isEnabled());
        QCOMPARE(vhw::channelParamValue(vhw::findSystem("192.0.2.10"), 0, 3, "VSet"), 1000.0);
    }
};

QTEST_MAIN(tst_snapshot_entries)
#include "tst_snapshot_entries.moc"
