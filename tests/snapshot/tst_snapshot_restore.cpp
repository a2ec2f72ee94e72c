// Snapshots of the virtual mainframe: compare and restore, checked by what
// the device holds afterwards.
#include "SnapshotTestSupport.h"
#include "snapshot/RestoreRun.h"
#include "snapshot/RestoreVerify.h"
#include "snapshot/SnapshotCompare.h"

#include <QSignalSpy>
#include <QtTest>

using namespace snapshot;
using namespace snapshot_test;

class tst_snapshot_restore : public QObject
{
    Q_OBJECT

    std::unique_ptr<LiveSystem> sys;
    QList<ORVEHVNode *> live() const { return {sys->node}; }
    RestoreReport restore(const Snapshot &snap, const RestoreSelection &sel = {})
    {
        RestoreRun run(planRestore(snap, live(), sel), [this] { return live(); });
        run.runToEnd();
        return run.report();
    }
    static QStringList reasons(const QVector<ItemOutcome> &list)
    {
        QStringList r;
        for (const ItemOutcome &o : list)
            r << QStringLiteral("%1 %2: %3 (%4)").arg(placeText(o.address), o.address.parameter, o.reason).arg(o.code);
        return r;
    }

private slots:
    void init()
    {
        sys = freshMainframe();
        QVERIFY(sys);
    }
    void cleanup() { sys.reset(); }

    void compareFindsExactlyTheChange()
    {
        const Snapshot a = capture(live(), QStringLiteral("a"));
        QVERIFY(a.setpointCount() > 500);
        QVERIFY(compare(a, a).isEmpty());
        QVERIFY(compare(a, capture(live(), QStringLiteral("again"))).isEmpty());

        QCOMPARE(sys->param(1, 5, QStringLiteral("VSet"))->writeValue(432.5), 0);
        const Snapshot b = capture(live(), QStringLiteral("b"));
        const QVector<Difference> d = compare(a, b);
        QCOMPARE(d.size(), 1);
        QCOMPARE(d[0].address.slot, 1);
        QCOMPARE(d[0].address.channel, 5);
        QCOMPARE(d[0].address.parameter, QStringLiteral("VSet"));
        QCOMPARE(d[0].before.toDouble(), 0.0);
        QCOMPARE(d[0].after.toDouble(), 432.5);
    }

    void restoreAllPutsEveryValueBack()
    {
        const Snapshot snap = capture(live(), QStringLiteral("morning"));
        const QList<Change> changes = twentyChanges();
        apply(*sys, changes);
        QCOMPARE(compare(snap, capture(live(), QString())).size(), changes.size());

        const RestoreReport report = restore(snap);
        QVERIFY2(report.refused.isEmpty(), qPrintable(reasons(report.refused).join('\n')));
        QVERIFY(report.skipped.isEmpty());
        for (const Change &c : changes) {
            const ItemAddress a{keyOf(sys->node), c.slot, c.channel, QString::fromLatin1(c.name)};
            const BoardRecord *b = snap.systems[0].findBoard(c.slot);
            QVERIFY(sameValue(deviceValue(*sys, a), findSetpoint(b->findChannel(c.channel)->setpoints, a.parameter)->value));
        }
        QVERIFY(compare(snap, capture(live(), QString())).isEmpty());
        // the names went through the channel-name call
        QCOMPARE(QString::fromStdString(vhw::channelName(sys->id, 0, 7)), snap.systems[0].findBoard(0)->channels[7].setpoints[0].value.toString());
    }

    // Every write of the other phases reaches the device before any Pw write:
    // stopped right before the first Pw write, the voltages are back and no
    // channel has been switched on or off yet.
    void powerGoesLastAndOffBeforeOn()
    {
        const Snapshot snap = capture(live(), QStringLiteral("board 0 on"));
        apply(*sys, {{0, 0, "Pw", false}, {0, 0, "VSet", 100.0}, {0, 1, "VSet", 90.0}, {1, 0, "Pw", true}, {1, 0, "VSet", 40.0}});
        const RestorePlan plan = planRestore(snap, live(), {RestoreSelection::Differing, {}, {}});
        QCOMPARE(plan.switchOnCount, 1);
        QCOMPARE(plan.switchOffCount, 1);
        int firstPw = -1;
        for (int i = 0; i < plan.writes.size() && firstPw < 0; ++i)
            if (plan.writes[i].address.parameter == QLatin1String("Pw"))
                firstPw = i;
        QCOMPARE(firstPw, plan.writes.size() - 2);
        QVERIFY(!plan.writes[firstPw].value.toBool());
        QVERIFY(plan.writes.last().value.toBool());

        RestoreRun run(plan, [this] { return live(); });
        connect(&run, &RestoreRun::progress, &run, [&](int done, int) {
            if (done == firstPw)
                run.cancel();
        });
        run.runToEnd();
        QCOMPARE(sys->device(0, 0, "VSet"), 1000.0);
        QCOMPARE(sys->device(1, 0, "VSet"), 0.0);
        QCOMPARE(sys->device(0, 0, "Pw"), 0.0);
        QCOMPARE(sys->device(1, 0, "Pw"), 1.0);

        QCOMPARE(restore(snap).refused.size(), 0);
        QCOMPARE(sys->device(0, 0, "Pw"), 1.0);
        QCOMPARE(sys->device(1, 0, "Pw"), 0.0);
    }

    // A channel off in the snapshot is never switched on, whatever is picked,
    // and one whose voltage could not be restored stays off.
    void neverSwitchesOnWhatShouldStayOff()
    {
        apply(*sys, {{1, 2, "VSet", 500.0}});
        const Snapshot snap = capture(live(), QStringLiteral("board 1 off"));
        apply(*sys, {{1, 2, "Pw", true}, {0, 3, "Pw", false}, {0, 3, "VSet", 10.0}});
        vhw::failWrite(sys->id, "VSet", ORVEHV_ERR_WRITE_REFUSED);

        const RestoreReport report = restore(snap);
        QCOMPARE(sys->device(1, 2, "Pw"), 0.0);   // switched off as the snapshot has it
        QCOMPARE(sys->device(0, 3, "Pw"), 0.0);   // its VSet was refused: not on at 10 V
        QCOMPARE(sys->device(0, 3, "VSet"), 10.0);
        QCOMPARE(report.switchedOn, 0);
        bool heldBack = false;
        for (const ItemOutcome &o : report.skipped)
            heldBack = heldBack || (o.address.slot == 0 && o.address.channel == 3 && o.address.parameter == QLatin1String("Pw"));
        QVERIFY(heldBack);

        // picked: Pw without its voltage, which differs, is refused in the plan
        vhw::clearFaults();
        RestoreSelection pick{RestoreSelection::Picked, {addressKey({keyOf(sys->node), 0, 3, QStringLiteral("Pw")})}, {}};
        const RestorePlan plan = planRestore(snap, live(), pick);
        QVERIFY(plan.writes.isEmpty());
        QCOMPARE(plan.refused.size(), 1);
        QVERIFY(plan.refused[0].reason.contains(QLatin1String("voltage")));
    }

    void swappedBoardIsNotWrittenUnlessMapped()
    {
        const Snapshot snap = capture(live(), QStringLiteral("before the swap"));
        apply(*sys, {{3, 0, "VSet", 700.0}, {0, 0, "VSet", 650.0}});
        QCOMPARE(vhw::swapBoard(sys->id, 3, 9999), ORVEHV_OK);
        vhw::setChannelParam(sys->id, 3, 0, "VSet", 700.0);
        // the comparison shows the swap although the crate sent no event
        bool swapShown = false;
        for (const Difference &d : compare(snap, capture(live(), QString())))
            swapShown = swapShown || (d.address.parameter == QLatin1String("Board") && d.after.toString() == QLatin1String("A1550P #9999"));
        QVERIFY(swapShown);

        const RestoreReport report = restore(snap);
        QCOMPARE(sys->device(3, 0, "VSet"), 700.0);   // untouched
        QCOMPARE(sys->device(0, 0, "VSet"), 1000.0);  // the other boards restored
        QCOMPARE(report.refused.size(), 1);
        QCOMPARE(report.refused[0].address.slot, 3);
        QVERIFY(report.refused[0].count > 48);
        QVERIFY2(report.refused[0].reason.contains(QLatin1String("9999")), qPrintable(report.refused[0].reason));
        for (const PlannedWrite &w : report.written)
            QVERIFY(w.address.slot != 3);

        RestoreSelection mapped;
        mapped.mappedBoards.insert(boardMapKey(keyOf(sys->node), 3));
        QVERIFY(restore(snap, mapped).refused.isEmpty());
        QCOMPARE(sys->device(3, 0, "VSet"), 0.0);
    }

    void missingSystemAndEmptySlotAreReported()
    {
        const Snapshot snap = capture(live(), QStringLiteral("full crate"));
        QCOMPARE(planRestore(snap, {}, {}).writes.size(), 0);
        QCOMPARE(planRestore(snap, {}, {}).refused.size(), 1);
        QVERIFY(planRestore(snap, {}, {}).refused[0].reason.contains(QLatin1String("not connected")));

        QCOMPARE(vhw::removeBoard(sys->id, 8), ORVEHV_OK);
        const RestorePlan plan = planRestore(snap, live(), {});
        QCOMPARE(plan.refused.size(), 1);
        QVERIFY(plan.refused[0].reason.contains(QLatin1String("empty")));
    }

    void cancelHalfWayReportsExactlyWhatWasWritten()
    {
        const Snapshot snap = capture(live(), QStringLiteral("before"));
        apply(*sys, twentyChanges());
        const RestorePlan plan = planRestore(snap, live(), {RestoreSelection::Differing, {}, {}});
        QCOMPARE(plan.writes.size(), 20);

        RestoreRun run(plan, [this] { return live(); });
        QSignalSpy undo(&run, &RestoreRun::undoSnapshotTaken);
        connect(&run, &RestoreRun::progress, &run, [&](int done, int) {
            if (done == 10)
                run.cancel();
        });
        QSignalSpy finished(&run, &RestoreRun::finished);
        run.start();
        QVERIFY(finished.wait(5000));
        QCOMPARE(undo.size(), 1);
        const RestoreReport &r = run.report();
        QVERIFY(r.cancelled);
        QCOMPARE(r.written.size(), 10);
        QCOMPARE(r.skipped.size(), 10);
        for (int i = 0; i < plan.writes.size(); ++i) {
            const PlannedWrite &w = plan.writes[i];
            QVERIFY2(sameValue(deviceValue(*sys, w.address), i < 10 ? w.value : w.live), qPrintable(w.address.parameter));
        }
        // the undo snapshot holds what was replaced: restoring it undoes the restore
        QCOMPARE(compare(run.undoSnapshot(), snap).size(), 20);
        restore(run.undoSnapshot());
        QVERIFY(compare(run.undoSnapshot(), capture(live(), QString())).isEmpty());
    }

    void refusedWriteIsListed()
    {
        const Snapshot snap = capture(live(), QStringLiteral("before"));
        apply(*sys, {{0, 2, "ISet", 50.0}, {0, 2, "Pw", false}, {0, 5, "RUp", 30.0}});
        vhw::failWrite(sys->id, "ISet", ORVEHV_ERR_WRITE_REFUSED);
        const RestoreReport r = restore(snap, {RestoreSelection::Differing, {}, {}});
        QCOMPARE(r.refused.size(), 1);
        QCOMPARE(r.refused[0].address.parameter, QStringLiteral("ISet"));
        QCOMPARE(r.refused[0].code, ORVEHV_ERR_WRITE_REFUSED);
        QCOMPARE(r.written.size(), 1);          // RUp
        QCOMPARE(r.skipped.size(), 1);          // Pw on of the refused channel held back
        QCOMPARE(sys->device(0, 2, "Pw"), 0.0);
        QCOMPARE(sys->device(0, 5, "RUp"), findSetpoint(snap.systems[0].findBoard(0)->channels[5].setpoints, QStringLiteral("RUp"))->value.toDouble());
    }

    void verifyComparesReadbacksAfterTheRamps()
    {
        const Snapshot snap = capture(live(), QStringLiteral("on at 1000 V"));
        apply(*sys, {{0, 0, "VSet", 600.0}, {0, 1, "Pw", false}});
        vhw::advanceTime(30);
        RestoreRun run(planRestore(snap, live(), {RestoreSelection::Differing, {}, {}}), [this] { return live(); });
        run.runToEnd();
        QVERIFY(rampSeconds(run.plan()) >= 1000.0 / 50 - 0.1);
        // still ramping: VMon is not there yet
        QVERIFY(!verifyRestore(run.report(), live(), 2.0).isEmpty());
        vhw::advanceTime(rampSeconds(run.plan()) + 2);
        const QVector<Mismatch> after = verifyRestore(run.report(), live(), 2.0);
        QVERIFY2(after.isEmpty(), qPrintable(after.isEmpty() ? QString() : after[0].text));
        // a channel that trips after the restore shows up
        QCOMPARE(vhw::setChannelFault(sys->id, 0, 1, vhw::ChannelFault::ExternalDisable), ORVEHV_OK);
        vhw::advanceTime(1);
        QVERIFY(!verifyRestore(run.report(), live(), 2.0).isEmpty());
    }
};

QTEST_MAIN(tst_snapshot_restore)
#include "tst_snapshot_restore.moc"
