// History in the running program, judged by what the virtual hardware does:
// a ramp arrives and is archived value for value; a condition a fault raises
// on a channel or board is journaled with its channel and clears again; a
// command or write the system refuses, and a lost connection, are journaled;
// the journal is still there after a restart; an archive that cannot be used
// is reported once and nothing else changes.

#include "tests/support/LiveWindow.h"
#include "tests/history/ArchiveTestSupport.h"

#include "app/HistoryHooks.h"
#include "history/JournalModel.h"
#include "history/widgets/QJournalDock.h"
#include "history/widgets/QTrendWindow.h"
#include "panels/QSystemInformations.h"

#include <QFile>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QTableView>

using namespace live_test;
using namespace history_test;

namespace {

struct Target
{
    int type, link;
    QString argument, user, password;
};

const Target Mainframe{2, 0, "192.0.2.10", "admin", "admin"};
const Target Nim{6, 0, "192.0.2.40_1", "", ""};
const Target Brisk{13, 0, "192.0.2.60", "", ""};

HistoryHooks *hooks() { return HistoryHooks::instance(); }

// The journal entries that match, oldest first.
QList<JournalEntry> entries(JournalKind kind, JournalEvent event)
{
    QList<JournalEntry> out;
    JournalModel *j = hooks()->journal();
    for (int r = 0; r < j->rowCount(); ++r)
        if (j->entry(r).kind == kind && j->entry(r).event == event)
            out.append(j->entry(r));
    return out;
}

ORVEHVNode *firstChannelOf(QSystemInterface *sys)
{
    for (ORVEHVNode *b : sys->systemNode()->children())
        if (b->kind() == KindBoard && !b->children().isEmpty())
            return b->children().first();
    return nullptr;
}

} // namespace

Q_DECLARE_METATYPE(Target)
Q_DECLARE_METATYPE(vhw::ChannelFault)

class TestHistoryLive : public QObject
{
    Q_OBJECT
private:
    WindowFixture fx;
    int id = -1;

    QSystemInterface *connect(const Target &t)
    {
        QSystemInterface *sys = connectLive(fx.w, t.type, t.link, t.argument, QStringLiteral("Sys"), t.user,
                                            t.password);
        id = vhw::findSystem(t.argument.toStdString());
        return sys;
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

    // Every value of a ramp as the channel showed it is in the archive, in
    // order, and a trend of the channel draws it.
    void rampArchivedPointForPoint()
    {
        QSystemInterface *sys = connect(Mainframe);
        QVERIFY(sys);
        ORVEHVNode *ch = firstChannelOf(sys);
        QVERIFY(ch);
        ORVEHVNode *vmon = ch->parameter(QStringLiteral("VMon"));
        QVector<double> shown;
        QObject::connect(fx.w, &MainWindow::updateValueAndWidget, fx.w,
                         [&](QSystemInterface *, int, int, const QString &name, IDValue_t) {
                             if (name == QLatin1String("VMon") && vmon->value().value.toDouble() != (shown.isEmpty() ? -1 : shown.last()))
                                 shown.append(vmon->value().value.toDouble());
                         });
        const int slot = ch->slot(), channel = ch->channel();
        vhw::setChannelParam(id, slot, channel, "RUp", 100);
        vhw::setChannelParam(id, slot, channel, "VSet", 1000);
        vhw::setChannelParam(id, slot, channel, "Pw", 1);
        for (int i = 0; i < 15; ++i) {
            vhw::advanceTime(1.0);
            QTest::qWait(30);
        }
        QTRY_VERIFY_WITH_TIMEOUT(vmon->value().value.toDouble() > 999, 5000);
        QVERIFY2(shown.size() > 10, qPrintable(QString::number(shown.size())));
        QVERIFY(hooks()->archive()->flush());
        ArchiveReader r(hooks()->archive()->path());
        const ItemKey key{QStringLiteral("Sys"), slot, channel, QStringLiteral("VMon")};
        QVector<double> stored = valuesOf(r.samples(key, 0, QDateTime::currentMSecsSinceEpoch()));
        // The value before the ramp may have come before the first change.
        while (!stored.isEmpty() && !shown.isEmpty() && stored.first() != shown.first())
            stored.removeFirst();
        QCOMPARE(stored, shown);

        vmon->tableWidget()->clearSelection();
        vmon->setSelected(true);
        QTrendWindow *trend = hooks()->openTrend();
        QCOMPARE(trend->channelCount(), 1);
        QCOMPARE(trend->series(0)->name(), QStringLiteral("%0 VMon").arg(ch->parameter(QStringLiteral("Name"))->value().value.toString()));
        QVERIFY(trend->series(0)->count() >= 2);
        QCOMPARE(trend->series(0)->at(trend->series(0)->count() - 1).y(), shown.last());
        trend->close();
    }

    void conditionRaisedAndCleared_data()
    {
        QTest::addColumn<Target>("target");
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
        QFETCH(Target, target);
        QFETCH(vhw::ChannelFault, fault);
        QFETCH(QString, condition);
        QSystemInterface *sys = connect(target);
        QVERIFY(sys);
        ORVEHVNode *ch = firstChannelOf(sys);
        const QString name = ch->parameter(QStringLiteral("Name"))->value().value.toString();
        const int before = hooks()->journal()->unacknowledgedCount();
        QCOMPARE(vhw::setChannelFault(id, ch->slot(), ch->channel(), fault), ORVEHV_OK);
        QTRY_VERIFY_WITH_TIMEOUT(!entries(JournalKind::Channel, JournalEvent::Raised).isEmpty(), 5000);
        const JournalEntry raised = entries(JournalKind::Channel, JournalEvent::Raised).last();
        QCOMPARE(raised.text, condition);
        QCOMPARE(raised.system, QStringLiteral("Sys"));
        QCOMPARE(raised.board, int(ch->slot()));
        QCOMPARE(raised.channel, int(ch->channel()));
        QCOMPARE(raised.channelName, name);
        QVERIFY(hooks()->journal()->unacknowledgedCount() > before);
        QCOMPARE(hooks()->alarmCount()->text(),
                 QJournalDock::countText(hooks()->journal()->unacknowledgedCount()));

        QCOMPARE(vhw::setChannelFault(id, ch->slot(), ch->channel(), fault, false), ORVEHV_OK);
        QTRY_VERIFY_WITH_TIMEOUT(!entries(JournalKind::Channel, JournalEvent::Cleared).isEmpty(), 5000);
        const JournalEntry cleared = entries(JournalKind::Channel, JournalEvent::Cleared).last();
        QCOMPARE(cleared.text, condition);
        QCOMPARE(cleared.channel, int(ch->channel()));
        QVERIFY(cleared.time >= raised.time);

        // In the archive too, so it survives a restart; the double click
        // finds the channel in its table.
        fx.closeWindow();
        QVERIFY(fx.openWindow());
        sys = connect(target);
        QList<JournalEntry> again = entries(JournalKind::Channel, JournalEvent::Raised);
        QVERIFY(!again.isEmpty());
        QCOMPARE(again.last().id, raised.id);
        QCOMPARE(again.last().text, condition);
        QJournalDock *dock = hooks()->journalDock();
        QTableView *view = dock->view();
        QModelIndex row;
        for (int r = 0; r < view->model()->rowCount() && !row.isValid(); ++r)
            if (view->model()->index(r, JournalModel::TextColumn).data().toString() == condition)
                row = view->model()->index(r, JournalModel::TextColumn);
        QVERIFY(row.isValid());
        emit view->doubleClicked(row);
        ORVEHVNode *chNow = firstChannelOf(sys);
        QTRY_VERIFY(chNow->parameter(QStringLiteral("Name"))->isSelected() || chNow->parameter(QStringLiteral("VMon"))->isSelected());
    }

    void boardConditionJournaled()
    {
        QSystemInterface *sys = connect(Mainframe);
        QVERIFY(sys);
        const int slot = firstChannelOf(sys)->slot();
        QCOMPARE(vhw::setBoardFault(id, slot, vhw::BoardFault::OverTemperature), ORVEHV_OK);
        QTRY_VERIFY_WITH_TIMEOUT(!entries(JournalKind::Board, JournalEvent::Raised).isEmpty(), 5000);
        QCOMPARE(entries(JournalKind::Board, JournalEvent::Raised).last().text, QStringLiteral("Ov Temp"));
        QCOMPARE(entries(JournalKind::Board, JournalEvent::Raised).last().board, slot);
        QCOMPARE(vhw::setBoardFault(id, slot, vhw::BoardFault::OverTemperature, false), ORVEHV_OK);
        QTRY_VERIFY_WITH_TIMEOUT(!entries(JournalKind::Board, JournalEvent::Cleared).isEmpty(), 5000);
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
        QSystemInterface *sys = connect(Mainframe);
        QVERIFY(sys);
        if (!fault.isEmpty())
            QCOMPARE(vhw::failWrite(id, fault.toStdString(), ORVEHV_ERR_DEVICE), ORVEHV_OK);
        auto *panel = qobject_cast<QSystemInformations *>(sys->systemCommandsPanel());
        fx.answer = [](const OperatorMessage &) { return 0; };
        panel->button(text.startsWith(QLatin1String("KILL")) ? QStringLiteral("KILL") : QStringLiteral("CLEAR\nALARM"))
            ->click();
        const QList<JournalEntry> done = entries(JournalKind::Command, JournalEvent(event));
        QCOMPARE(done.size(), 1);
        QCOMPARE(done.first().text, text);
        QCOMPARE(done.first().system, QStringLiteral("Sys"));
        QCOMPARE(hooks()->journal()->entry(hooks()->journal()->rowCount() - 1).id, done.first().id);
    }

    void refusedWriteJournaled()
    {
        QSystemInterface *sys = connect(Mainframe);
        QVERIFY(sys);
        ORVEHVNode *ch = firstChannelOf(sys);
        ORVEHVNode *vset = ch->parameter(QStringLiteral("VSet"));
        QCOMPARE(vhw::failWrite(id, "VSet", ORVEHV_ERR_WRITE_REFUSED), ORVEHV_OK);
        QVERIFY(vset->writeValue(QVariant(123.0)) != 0);
        const QList<JournalEntry> refused = entries(JournalKind::Write, JournalEvent::Failed);
        QCOMPARE(refused.size(), 1);
        QCOMPARE(refused.first().channel, int(ch->channel()));
        QCOMPARE(refused.first().board, int(ch->slot()));
        QVERIFY2(refused.first().text.startsWith(QLatin1String("VSet = 123 refused: ")), qPrintable(refused.first().text));
        // A write the system takes is no journal entry.
        vhw::clearFaults(id);
        QCOMPARE(vset->writeValue(QVariant(124.0)), 0);
        QCOMPARE(entries(JournalKind::Write, JournalEvent::Failed).size(), 1);
    }

    void lostConnectionJournaled()
    {
        QSystemInterface *sys = connect(Mainframe);
        QVERIFY(sys);
        QCOMPARE(vhw::dropEventConnection(id), ORVEHV_OK);
        QTRY_COMPARE_WITH_TIMEOUT(entries(JournalKind::Connection, JournalEvent::Lost).size(), 1, 5000);
        QCOMPARE(entries(JournalKind::Connection, JournalEvent::Lost).first().system, QStringLiteral("Sys"));
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
        QSystemInterface *sys = connect(Mainframe);
        QVERIFY(sys);
        ORVEHVNode *ch = firstChannelOf(sys);
        ORVEHVNode *vmon = ch->parameter(QStringLiteral("VMon"));
        vmon->setSelected(true);
        QTrendWindow *trend = hooks()->openTrend();
        QCOMPARE(trend->channelCount(), 1);
        vhw::setChannelParam(id, ch->slot(), ch->channel(), "VSet", 300);
        vhw::setChannelParam(id, ch->slot(), ch->channel(), "Pw", 1);
        for (int i = 0; i < 10; ++i) {
            vhw::advanceTime(1.0);
            QTest::qWait(20);
        }
        QTRY_VERIFY_WITH_TIMEOUT(vmon->value().value.toDouble() > 299, 5000);
        trend->refresh();
        QVERIFY(trend->series(0)->count() > 2);
        QCOMPARE(trend->series(0)->at(trend->series(0)->count() - 1).y(), vmon->value().value.toDouble());
        // The journal still lists, for this session.
        QCOMPARE(vhw::setChannelFault(id, ch->slot(), ch->channel(), vhw::ChannelFault::Tripped), ORVEHV_OK);
        QTRY_VERIFY_WITH_TIMEOUT(!entries(JournalKind::Channel, JournalEvent::Raised).isEmpty(), 5000);
        QCOMPARE(fx.messages.size(), 1);
        trend->close();
        fx.closeWindow();
        QFile::remove(path);
    }
};

QTEST_MAIN(TestHistoryLive)
#include "tst_history_live.moc"
