// Pictures of history in the running program on the virtual hardware: a
// trend of four channels ramping up, and the journal after a trip, a
// condition on another channel and a refused KILL. The windows stay open for
// a few seconds so a screen grab can be taken as well.
//   history_screenshots [output directory, default /tmp]

#include "app/HistoryHooks.h"
#include "app/MainWindow.h"
#include "app/SystemConnections.h"
#include "device/ORVEHVNode.h"
#include "device/QSystemInterface.h"
#include "history/widgets/QJournalDock.h"
#include "history/widgets/QTrendWindow.h"
#include "panels/QSystemInformations.h"
#include "virtualhw/VirtualControl.h"

#include <QApplication>
#include <QDir>
#include <QMutexLocker>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTest>

#include "device/EventServer.h"

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::tempPath();
    vhw::setTimeMode(vhw::TimeMode::Manual);
    setOperatorMessageHook([](const OperatorMessage &) { return 0; });  // Yes to every question
    MainWindow *w = MainWindow::create();
    if (!w || !w->startEventServer())
        return 1;
    w->resize(1600, 1000);
    w->show();
    if (w->connectToSystem(2, 0, QStringLiteral("192.0.2.10"), QStringLiteral("Crate A"), QStringLiteral("admin"),
                           QStringLiteral("admin"))
        != 0)
        return 1;
    QSystemInterface *sys = w->connections()->systems().last();
    for (int i = 0; i < 500; ++i) {
        QTest::qWait(20);
        QMutexLocker lock(&EventServer::systemsMutex());
        if (sys->eventThread)
            break;
    }
    const int id = vhw::findSystem("192.0.2.10");
    ORVEHVNode *board = nullptr;
    for (ORVEHVNode *b : sys->systemNode()->children())
        if (b->kind() == KindBoard && b->children().size() >= 4) {
            board = b;
            break;
        }
    if (!board)
        return 1;
    board->children().at(0)->parameter(QStringLiteral("VSet"))->tableWidget()->clearSelection();
    board->children().at(0)->parameter(QStringLiteral("VSet"))->tableWidget()->setSelectionMode(
        QAbstractItemView::MultiSelection);  // rows add up, as with Ctrl
    for (int c = 0; c < 4; ++c) {
        vhw::setChannelParam(id, board->slot(), c, "RUp", 20 + 10 * c);
        vhw::setChannelParam(id, board->slot(), c, "VSet", 500 * (c + 1));
        vhw::setChannelParam(id, board->slot(), c, "Pw", 1);
        QTableWidgetItem *cell = board->children().at(c)->parameter(QStringLiteral("VSet"));
        cell->tableWidget()->selectRow(cell->tableWidget()->row(cell));
    }
    QTrendWindow *trend = HistoryHooks::instance()->openTrend();
    trend->setSpan(40000);
    trend->resize(1200, 650);
    // Simulated time runs three times as fast as the clock.
    for (int i = 0; i < 100; ++i) {
        vhw::advanceTime(1.0);
        QTest::qWait(330);
    }
    trend->refresh();
    QTest::qWait(300);
    bool ok = trend->exportPng(out + QStringLiteral("/trend.png"));
    QTest::qWait(3000);

    vhw::setChannelFault(id, board->slot(), 1, vhw::ChannelFault::Tripped);
    vhw::setChannelFault(id, board->slot(), 2, vhw::ChannelFault::OverVoltage);
    QTest::qWait(500);
    vhw::setChannelFault(id, board->slot(), 2, vhw::ChannelFault::OverVoltage, false);
    vhw::failWrite(id, "Kill", ORVEHV_ERR_DEVICE);
    if (auto *panel = qobject_cast<QSystemInformations *>(sys->systemCommandsPanel()))
        panel->button(QStringLiteral("KILL"))->click();
    QTest::qWait(500);
    trend->close();
    QJournalDock *dock = HistoryHooks::instance()->journalDock();
    dock->show();
    w->resizeDocks({dock}, {330}, Qt::Vertical);
    QTest::qWait(500);
    ok = w->grab().save(out + QStringLiteral("/journal.png")) && ok;
    QTest::qWait(3000);
    delete w;
    return ok ? 0 : 2;
}
