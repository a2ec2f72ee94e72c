// Events from the virtual hardware through the real event port into the main
// window and its tables: a device change reaches its cell, a live insertion
// rebuilds only the changed slot and subscribes it, a lost event connection
// disables the views (one report).

#include "tests/support/LiveWindow.h"
#include "app/MainWindow.h"
#include "device/EventServer.h"
#include "device/ORVEHVNode.h"
#include "device/QSystemInterface.h"
#include "panels/QCustomBox.h"
#include "panels/QSystemStatusBar.h"
#include "views/QCustomTableWidget.h"
#include "views/QSubWindow.h"
#include "virtualhw/VirtualControl.h"

#include <QLabel>
#include <QMutexLocker>
#include <QPushButton>
#include <QTest>

using namespace live_test;

namespace {

QCustomTableWidget *tableOf(QSystemInterface *sys)
{
    auto *sub = qobject_cast<QSubWindow *>(sys->subWindow());
    return sub ? sub->table() : nullptr;
}

} // namespace

class TestEventEndToEnd : public QObject
{
    Q_OBJECT
private:
    WindowFixture fx;
    MainWindow *&w = fx.w;
    QList<OperatorMessage> &messages = fx.messages;

    QSystemInterface *connectMainframe()
    {
        return connectLive(w, 2, 0, QStringLiteral("192.0.2.10"), QStringLiteral("A"), QStringLiteral("admin"),
                           QStringLiteral("admin"));
    }

private slots:
    void initTestCase() { QVERIFY(fx.setUpOnce()); }
    void cleanupTestCase() { fx.tearDownOnce(); }
    void init() { QVERIFY(fx.openWindow()); }
    void cleanup() { fx.closeWindow(); }

    // The rows of the other boards keep their cells; the new board's cells
    // receive events at once.
    void liveInsertionRebuildsOnlyTheChangedSlot()
    {
        QSystemInterface *sys = connectMainframe();
        QVERIFY(sys);
        QCustomTableWidget *table = tableOf(sys);
        QList<ORVEHVNode *> kept;
        for (ORVEHVNode *b : sys->systemNode()->children())
            if (b->kind() == KindBoard)
                for (ORVEHVNode *ch : b->children())
                    kept.append(ch->parameter(QStringLiteral("VSet")));
        QVERIFY(!kept.isEmpty());
        const int id = vhw::findSystem("192.0.2.10");
        QVERIFY(!boardInSlot(sys, 6));
        QCOMPARE(vhw::insertBoard(id, 6, vhw::boardModels().front(), 4), ORVEHV_OK);
        QTRY_VERIFY_WITH_TIMEOUT(boardInSlot(sys, 6), 5000);
        for (ORVEHVNode *node : std::as_const(kept)) {
            QVERIFY(node);
            QCOMPARE(node->tableWidget(), static_cast<QTableWidget *>(table));
        }
        ORVEHVNode *fresh = boardInSlot(sys, 6)->children().at(1);
        ORVEHVNode *vset = fresh->parameter(QStringLiteral("VSet"));
        QVERIFY(vset);
        QCOMPARE(vset->tableWidget(), static_cast<QTableWidget *>(table));
        QCOMPARE(vhw::setChannelParam(id, 6, 1, "VSet", 321), ORVEHV_OK);
        QTRY_VERIFY_WITH_TIMEOUT(vset->text().contains(QStringLiteral("321")), 5000);
        // An old board still receives its events too.
        ORVEHVNode *old = boardInSlot(sys, 1)->children().at(0)->parameter(QStringLiteral("VSet"));
        QCOMPARE(vhw::setChannelParam(id, 1, 0, "VSet", 654), ORVEHV_OK);
        QTRY_VERIFY_WITH_TIMEOUT(old->text().contains(QStringLiteral("654")), 5000);
        QVERIFY(messages.isEmpty());
    }

    void lostEventConnectionShowsDisconnectedOnce()
    {
        QSystemInterface *sys = connectMainframe();
        QVERIFY(sys);
        auto *bar = qobject_cast<QSystemStatusBar *>(sys->statusBar());
        QCOMPARE(vhw::dropEventConnection(vhw::findSystem("192.0.2.10")), ORVEHV_OK);
        QTRY_COMPARE_WITH_TIMEOUT(bar->statusLabel()->text(), QStringLiteral("DISCONNECTED"), 5000);
        QVERIFY(!sys->subWindow()->isEnabled());
        QCOMPARE(sys->systemNode()->connectionState(), int(ConnectionLost));
        QTest::qWait(1500);
        QCOMPARE(messages.size(), 1);
        {
            QMutexLocker lock(&sys->eventStateMutex);
            QVERIFY(!sys->eventsEnabled);
        }
        // "Close" removes it; nothing more is reported.
        auto *box = qobject_cast<QCustomBox *>(sys->systemBox());
        QVERIFY(box);
        box->disconnectButton()->click();
        QVERIFY(w->systems().isEmpty());
        QTest::qWait(300);
        QCOMPARE(messages.size(), 1);
    }
};

QTEST_MAIN(TestEventEndToEnd)
#include "tst_event_endtoend.moc"
