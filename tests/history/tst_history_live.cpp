// History in the running program, judged by what the virtual hardware does:
// a ramp arrives and is archived value for value; a condition a fault raises
// on a channel or board is journaled with its channel and clears again; a
// command or write the system refuses, and a lost connection, are journaled;
// the journal is still there after a restart; an archive that cannot be used
// is reported once and nothing else changes.

#include "tests/support/LiveWindow.h"
#include "tests/history/ArchiveTestSupport.h"

#include "app/HistoryHooks.h"
#include "app/ViewsController.h"
#include "history/JournalModel.h"
#include "history/widgets/QJournalDock.h"
#include "history/widgets/QTrendWindow.h"
#include "panels/QSystemInformations.h"
#include "views/QCustomViewDialog.h"

#include <QFile>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QTreeWidget>

using namespace live_test;
using namespace history_test;

namespace {

// Two VME HV boards of one bridge: the first is the crate entry, the second
// joins it (the crate re-announces the joined board's values).
const LiveTarget CrateEntry{5, 3, "0_0_C0", "Board00", ""};
const LiveTarget JoinedBoard{5, 3, "0_0_C1", "Board01", ""};

HistoryHooks *hooks() { return HistoryHooks::instance(); }

// The journal entries that match and are newer than `afterId`, oldest first.
QList<JournalEntry> entriesAfter(qint64 afterId, JournalKind kind, JournalEvent event)
{
    QList<JournalEntry> out;
    JournalModel *j = hooks()->journal();
    for (int r = 0; r < j->rowCount(); ++r)
        if (j->entry(r).kind == kind && j->entry(r).event == event && j->entry(r).id > afterId)
            out.append(j->entry(r));
    return out;
}

qint64 lastId()
{
    JournalModel *j = hooks()->journal();
    return j->rowCount() ? j->entry(j->rowCount() - 1).id : 0;
}

// The name the channel table shows for the channel.
QString shownName(const ORVEHVNode *ch)
{
    const ORVEHVNode *name = ch->parameter(QStringLiteral("Name"));
    return name ? name->value().value.toString() : ch->name();
}

// True when a cell of this channel is selected in its system's table.
bool channelSelected(QSystemInterface *sys, const ORVEHVNode *ch)
{
    auto *table = sys->subWindow()->findChild<QTableWidget *>();
    for (QTableWidgetItem *item : table->selectedItems())
        if (const ORVEHVNode *n = ORVEHVNode::fromItem(item))
            if (n->slot() == ch->slot() && n->channel() == ch->channel())
                return true;
    return false;
}

ORVEHVNode *firstChannelOf(QSystemInterface *sys)
{
    for (ORVEHVNode *b : sys->systemNode()->children())
        if (b->kind() == KindBoard && !b->children().isEmpty())
            return b->children().first();
    return nullptr;
}

} // namespace

Q_DECLARE_METATYPE(QList<live_test::LiveTarget>)
Q_DECLARE_METATYPE(vhw::ChannelFault)

class TestHistoryLive : public QObject
{
    Q_OBJECT
private:
    WindowFixture fx;
    const int &id = fx.id;

    // The custom view of the first channel of every board listed.
    QSystemInterface *makeCustomView()
    {
        QCustomViewDialog *dialog = fx.w->viewsController()->createDialogForCustomView();
        if (!dialog)
            return nullptr;
        for (int s = 0; s < dialog->channelTree()->topLevelItemCount(); ++s)
            for (int b = 0; b < dialog->channelTree()->topLevelItem(s)->childCount(); ++b)
                dialog->changeItemVisibility(dialog->channelTree()->topLevelItem(s)->child(b)->child(0));
        dialog->checkAllParametersClicked();
        dialog->clickedOkButton();
        return fx.w->viewsController()->customViewEntry();
    }

private slots:
    void initTestCase() { QVERIFY(fx.setUpOnce()); }
    void cleanupTestCase() { fx.tearDownOnce(); }
    void init()
    {
        QVERIFY(fx.openWindow());
        QVERIFY(hooks() && hooks()->archive()->isAvailable());
    }
    void cleanup() { fx.closeWindow(); }

    void rampArchivedPointForPoint_data()
    {
        QTest::addColumn<QList<LiveTarget>>("systems");
        QTest::addColumn<int>("ramped");  // which of them
        QTest::addColumn<bool>("customView");
        QTest::addColumn<QString>("setName");
        QTest::newRow("mainframe") << QList<LiveTarget>{Mainframe} << 0 << false << "VSet";
        // The crate entry and the custom view announce the value again: it
        // is still archived once, under the board's own system.
        const QList<LiveTarget> crate{CrateEntry, JoinedBoard};
        QTest::newRow("joined VME board, in a custom view") << crate << 1 << true << "V0Set";
        QTest::newRow("crate entry, in a custom view") << crate << 0 << true << "V0Set";
    }
    // Every value of a ramp as the channel showed it is in the archive, in
    // order, once, and a trend of the channel draws it.
    void rampArchivedPointForPoint()
    {
        QFETCH(QList<LiveTarget>, systems);
        QFETCH(int, ramped);
        QFETCH(bool, customView);
        QFETCH(QString, setName);
        QList<QSystemInterface *> connected;
        for (const LiveTarget &t : systems) {
            connected.append(fx.connect(t));
            QVERIFY(connected.last());
        }
        const qint64 begin = QDateTime::currentMSecsSinceEpoch();
        QSystemInterface *sys = connected.at(ramped);
        fx.id = vhw::findSystem(systems.at(ramped).argument.toStdString());
        if (customView)
            QVERIFY(makeCustomView());
        ORVEHVNode *ch = firstChannelOf(sys);
        QVERIFY(ch);
        ORVEHVNode *vmon = ch->parameter(QStringLiteral("VMon"));
        const int slot = ch->slot(), channel = ch->channel();
        vhw::setChannelParam(id, slot, channel, "Pw", 1);
        vhw::advanceTime(60);
        QTRY_COMPARE_WITH_TIMEOUT(vmon->value().value.toDouble(), vhw::channelParamValue(id, slot, channel, "VMon"),
                                  5000);
        const double start = vmon->value().value.toDouble();
        const double target = start > 500 ? start - 400 : start + 400;
        vhw::setChannelParam(id, slot, channel, "RUp", 100);
        vhw::setChannelParam(id, slot, channel, "RDwn", 100);
        vhw::setChannelParam(id, slot, channel, setName.toStdString(), target);
        // One physics step at a time, each value seen before the next: what
        // the channel showed, value for value.
        QVector<double> shown;
        for (int step = 0; step < 100 && std::fabs(vmon->value().value.toDouble() - target) > 0.01; ++step) {
            const double before = vmon->value().value.toDouble();
            vhw::advanceTime(0.1);
            QTest::qWaitFor([&] { return vmon->value().value.toDouble() != before; }, 1000);
            if (vmon->value().value.toDouble() != before)
                shown.append(vmon->value().value.toDouble());
        }
        QCOMPARE(vmon->value().value.toDouble(), target);
        QVERIFY2(shown.size() >= 30, qPrintable(QString::number(shown.size())));
        QVERIFY(hooks()->archive()->flush());
        ArchiveReader r(hooks()->archive()->path());
        const qint64 end = QDateTime::currentMSecsSinceEpoch();
        for (QSystemInterface *other : fx.w->connections()->systems()) {
            // A board of a crate is kept by its place in the crate (the
            // boards of one crate share the crate's name).
            const int place = slot + qMax(other->crateOffset(), 0);
            const ItemKey key{other->systemNode()->name(), place, channel, QStringLiteral("VMon")};
            QVector<double> stored = valuesOf(r.samples(key, begin, end));
            if (other != sys) {
                QVERIFY2(stored.isEmpty(), qPrintable(key.system));
                continue;
            }
            // The value before the ramp may have come before the first change.
            while (!stored.isEmpty() && !shown.isEmpty() && stored.first() != shown.first())
                stored.removeFirst();
            QCOMPARE(stored, shown);
        }

        // The channel's row chosen: VMon and IMon; its VSet cell: VSet.
        QTableWidget *table = vmon->tableWidget();
        table->clearSelection();
        table->selectRow(table->row(ch->parameter(setName)));
        QTrendWindow *trend = hooks()->openTrend();
        QVERIFY(trend);
        QCOMPARE(trend->channelCount(), 2);
        QCOMPARE(trend->series(0)->name(), QStringLiteral("%0 VMon").arg(shownName(ch)));
        QCOMPARE(trend->series(1)->name(), QStringLiteral("%0 IMon").arg(shownName(ch)));
        QVERIFY(trend->series(0)->count() >= 2);
        QCOMPARE(trend->series(0)->at(trend->series(0)->count() - 1).y(), shown.last());
        trend->close();
        table->clearSelection();
        ch->parameter(setName)->setSelected(true);
        trend = hooks()->openTrend();
        QVERIFY(trend);
        QCOMPARE(trend->channelCount(), 1);
        QCOMPARE(trend->series(0)->name(), QStringLiteral("%0 %1").arg(shownName(ch), setName));
        QCOMPARE(trend->series(0)->at(trend->series(0)->count() - 1).y(), target);
        trend->close();
        // Nothing chosen: the operator is told what to do.
        table->clearSelection();
        fx.messages.clear();
        QVERIFY(!hooks()->openTrend());
        QCOMPARE(fx.messages.size(), 1);
    }

    void conditionRaisedAndCleared_data()
    {
        QTest::addColumn<LiveTarget>("target");
        QTest::addColumn<vhw::ChannelFault>("fault");
        QTest::addColumn<QString>("condition");
        QTest::newRow("mainframe trip") << Mainframe << vhw::ChannelFault::Tripped << "I-Tripped";
        QTest::newRow("mainframe over-voltage") << Mainframe << vhw::ChannelFault::OverVoltage << "Ovv";
        QTest::newRow("NIM interlock") << Nim << vhw::ChannelFault::Interlock << "Interlock";
        QTest::newRow("NIM kill") << Nim << vhw::ChannelFault::Kill << "Kill";
        QTest::newRow("BRISK calibration") << Brisk << vhw::ChannelFault::CalibrationError << "Cal. Err.";
    }
    void conditionRaisedAndCleared()
    {
        QFETCH(LiveTarget, target);
        QFETCH(vhw::ChannelFault, fault);
        QFETCH(QString, condition);
        QSystemInterface *sys = fx.connect(target);
        QVERIFY(sys);
        ORVEHVNode *ch = firstChannelOf(sys);
        const QString name = shownName(ch);
        const int before = hooks()->journal()->unacknowledgedCount();
        const qint64 since = lastId();
        QCOMPARE(vhw::setChannelFault(id, ch->slot(), ch->channel(), fault), ORVEHV_OK);
        QTRY_VERIFY_WITH_TIMEOUT(!entriesAfter(since, JournalKind::Channel, JournalEvent::Raised).isEmpty(), 5000);
        QTest::qWait(100);
        QCOMPARE(entriesAfter(since, JournalKind::Channel, JournalEvent::Raised).size(), 1);
        const JournalEntry raised = entriesAfter(since, JournalKind::Channel, JournalEvent::Raised).first();
        QCOMPARE(raised.text, condition);
        QCOMPARE(raised.system, QStringLiteral("Sys"));
        QCOMPARE(raised.board, int(ch->slot()));
        QCOMPARE(raised.channel, int(ch->channel()));
        QCOMPARE(raised.channelName, name);
        QVERIFY(hooks()->journal()->unacknowledgedCount() > before);
        QCOMPARE(hooks()->alarmCount()->text(),
                 QJournalDock::countText(hooks()->journal()->unacknowledgedCount()));

        QCOMPARE(vhw::setChannelFault(id, ch->slot(), ch->channel(), fault, false), ORVEHV_OK);
        QTRY_VERIFY_WITH_TIMEOUT(!entriesAfter(since, JournalKind::Channel, JournalEvent::Cleared).isEmpty(), 5000);
        const JournalEntry cleared = entriesAfter(since, JournalKind::Channel, JournalEvent::Cleared).first();
        QCOMPARE(cleared.text, condition);
        QCOMPARE(cleared.channel, int(ch->channel()));
        QVERIFY(cleared.time >= raised.time);

        // In the archive too, so it survives a restart; the double click
        // finds the channel in its table.
        fx.closeWindow();
        QVERIFY(fx.openWindow());
        sys = fx.connect(target);
        bool found = false;
        for (const JournalEntry &e : entriesAfter(0, JournalKind::Channel, JournalEvent::Raised))
            found = found || (e.id == raised.id && e.text == condition && e.channelName == name);
        QVERIFY(found);
        QJournalDock *dock = hooks()->journalDock();
        QTableView *view = dock->view();
        QModelIndex row;  // the newest entry of the condition
        for (int r = 0; r < view->model()->rowCount() && !row.isValid(); ++r)
            if (view->model()->index(r, JournalModel::TextColumn).data().toString() == condition)
                row = view->model()->index(r, JournalModel::TextColumn);
        QVERIFY(row.isValid());
        emit view->doubleClicked(row);
        QTRY_VERIFY(channelSelected(sys, firstChannelOf(sys)));
    }

    // A board's condition is journaled raised and cleared; a lost
    // connection, with its system.
    void boardConditionAndLostConnectionJournaled()
    {
        QSystemInterface *sys = fx.connect(Mainframe);
        QVERIFY(sys);
        const int slot = firstChannelOf(sys)->slot();
        const qint64 since = lastId();
        QCOMPARE(vhw::setBoardFault(id, slot, vhw::BoardFault::OverTemperature), ORVEHV_OK);
        QTRY_VERIFY_WITH_TIMEOUT(!entriesAfter(since, JournalKind::Board, JournalEvent::Raised).isEmpty(), 5000);
        QCOMPARE(entriesAfter(since, JournalKind::Board, JournalEvent::Raised).first().text, QStringLiteral("Ov Temp"));
        QCOMPARE(entriesAfter(since, JournalKind::Board, JournalEvent::Raised).first().board, slot);
        QCOMPARE(vhw::setBoardFault(id, slot, vhw::BoardFault::OverTemperature, false), ORVEHV_OK);
        QTRY_VERIFY_WITH_TIMEOUT(!entriesAfter(since, JournalKind::Board, JournalEvent::Cleared).isEmpty(), 5000);

        QCOMPARE(vhw::dropEventConnection(id), ORVEHV_OK);
        QTRY_COMPARE_WITH_TIMEOUT(entriesAfter(since, JournalKind::Connection, JournalEvent::Lost).size(), 1, 5000);
        QCOMPARE(entriesAfter(since, JournalKind::Connection, JournalEvent::Lost).first().system, QStringLiteral("Sys"));
    }

    void commandJournaledWithResult_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("event");
        QTest::addColumn<QString>("text");
        QTest::newRow("KILL done") << "" << int(JournalEvent::Done) << "KILL";
        QTest::newRow("KILL refused") << "Kill" << int(JournalEvent::Failed)
                                      << "KILL: the system did not answer (error 4107)";
        QTest::newRow("CLEAR ALARM refused") << "ClearAlarm" << int(JournalEvent::Failed)
                                             << "CLEAR ALARM: the system did not answer (error 4107)";
    }
    void commandJournaledWithResult()
    {
        QFETCH(QString, fault);
        QFETCH(int, event);
        QFETCH(QString, text);
        QSystemInterface *sys = fx.connect(Mainframe);
        QVERIFY(sys);
        if (!fault.isEmpty())
            QCOMPARE(vhw::failWrite(id, fault.toStdString(), ORVEHV_ERR_DEVICE), ORVEHV_OK);
        auto *panel = qobject_cast<QSystemInformations *>(sys->systemCommandsPanel());
        const qint64 since = lastId();
        fx.answer = [](const OperatorMessage &) { return 0; };
        panel->button(text.startsWith(QLatin1String("KILL")) ? QStringLiteral("KILL") : QStringLiteral("CLEAR\nALARM"))
            ->click();
        const QList<JournalEntry> done = entriesAfter(since, JournalKind::Command, JournalEvent(event));
        QCOMPARE(done.size(), 1);
        QCOMPARE(done.first().text, text);
        QCOMPARE(done.first().system, QStringLiteral("Sys"));
        QCOMPARE(hooks()->journal()->entry(hooks()->journal()->rowCount() - 1).id, done.first().id);
    }

    void refusedWriteJournaled()
    {
        QSystemInterface *sys = fx.connect(Mainframe);
        QVERIFY(sys);
        ORVEHVNode *ch = firstChannelOf(sys);
        ORVEHVNode *vset = ch->parameter(QStringLiteral("VSet"));
        QVERIFY(vset);
        QCOMPARE(vhw::failWrite(id, "VSet", ORVEHV_ERR_WRITE_REFUSED), ORVEHV_OK);
        const qint64 since = lastId();
        QVERIFY(vset->writeValue(QVariant(123.0)) != 0);
        const QList<JournalEntry> refused = entriesAfter(since, JournalKind::Write, JournalEvent::Failed);
        QCOMPARE(refused.size(), 1);
        QCOMPARE(refused.first().channel, int(ch->channel()));
        QCOMPARE(refused.first().board, int(ch->slot()));
        QVERIFY2(refused.first().text.startsWith(QLatin1String("VSet = 123 refused: ")), qPrintable(refused.first().text));
        // A write the system takes is no journal entry.
        vhw::clearFaults(id);
        QCOMPARE(vset->writeValue(QVariant(124.0)), 0);
        QCOMPARE(entriesAfter(since, JournalKind::Write, JournalEvent::Failed).size(), 1);
    }

    // A damaged archive: one warning, and the program works as without
    // history; a trend shows what arrived in this session.
    void damagedArchiveReportedOnce()
    {
        const QString path = hooks()->archive()->path();
        fx.closeWindow();
        for (const QString &suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
            QFile::remove(path + suffix);
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(4096, '\x5a'));
        }
        QVERIFY(fx.openWindow());
        QTRY_COMPARE(fx.messages.size(), 1);
        QVERIFY2(fx.messages.first().text.startsWith(QLatin1String("The history archive")),
                 qPrintable(fx.messages.first().text));
        QVERIFY(!hooks()->archive()->isAvailable());
        QSystemInterface *sys = fx.connect(Mainframe);
        QVERIFY(sys);
        ORVEHVNode *ch = firstChannelOf(sys);
        ORVEHVNode *vmon = ch->parameter(QStringLiteral("VMon"));
        vmon->tableWidget()->selectRow(vmon->tableWidget()->row(ch->parameter(QStringLiteral("VSet"))));
        QTrendWindow *trend = hooks()->openTrend();
        QVERIFY(trend);
        QCOMPARE(trend->channelCount(), 2);
        const double target = vmon->value().value.toDouble() > 500 ? 100 : 900;
        vhw::setChannelParam(id, ch->slot(), ch->channel(), "VSet", target);
        vhw::setChannelParam(id, ch->slot(), ch->channel(), "Pw", 1);
        for (int i = 0; i < 60 && vmon->value().value.toDouble() != target; ++i) {
            vhw::advanceTime(1.0);
            QTest::qWait(20);
        }
        QCOMPARE(vmon->value().value.toDouble(), target);
        trend->refresh();
        QVERIFY(trend->series(0)->count() > 2);
        QCOMPARE(trend->series(0)->at(trend->series(0)->count() - 1).y(), vmon->value().value.toDouble());
        // The journal still lists, for this session.
        const qint64 since = lastId();
        QCOMPARE(vhw::setChannelFault(id, ch->slot(), ch->channel(), vhw::ChannelFault::Tripped), ORVEHV_OK);
        QTRY_VERIFY_WITH_TIMEOUT(!entriesAfter(since, JournalKind::Channel, JournalEvent::Raised).isEmpty(), 5000);
        QCOMPARE(fx.messages.size(), 1);
        trend->close();
        fx.closeWindow();
        QFile::remove(path);
    }
};

QTEST_MAIN(TestHistoryLive)
#include "tst_history_live.moc"
