// What the operator sees after a device change: every kind of value the
// library delivers in events travels from the virtual hardware through the
// real event port into its node and cell, and every status condition a
// family reports shows that family's status text (and marks a faulty channel
// so); a live insertion rebuilds only the changed slot and subscribes it; a
// lost event connection disables the views (one report).

#include "tests/support/LiveWindow.h"
#include "EventTestSupport.h"
#include "device/ValueText.h"
#include "panels/QCustomBox.h"
#include "panels/QSystemStatusBar.h"
#include "views/QCustomTableWidget.h"
#include "views/QSubWindow.h"

#include <QLabel>
#include <QPushButton>
#include <functional>

using vhw::BoardFault;
using vhw::ChannelFault;

using namespace live_test;

namespace {

struct Target {
    const char *name;
    int type, link;
    const char *argument, *user;
};

// One system per family; the MF3500 is opened through its loopback address,
// so its events arrive from that address and are matched by it.
const Target targets[] = {
    {"MF3300", 2, 0, "192.0.2.10", "admin"},    {"MF3500", 3, 0, "127.0.2.11", "admin"},
    {"B8181", 16, 0, "192.0.2.20", "admin"},    {"VME", 5, 3, "0_0_C0", ""},
    {"NIM", 6, 0, "192.0.2.40_1", ""},          {"DK31XX", 9, 3, "0_0_0", ""},
    {"DK31XXE", 11, 0, "192.0.2.50", ""},       {"BRISK", 13, 0, "192.0.2.60", ""},
};
enum { MF3300, MF3500, B8181, VME, NIM, DK, DKE, BRISK };

// A change of one item and the text (cell text for channel items, value text
// for board and system items) the program must then show.
struct TypeCase {
    int target, slot, channel; // channel -1: board item; slot -1: system item
    const char *item;
    std::function<void(int id)> change;
    const char *expected;
};

const TypeCase typeCases[] = {
    {MF3300, 1, 1, "VSet", [](int id) { vhw::setChannelParam(id, 1, 1, "VSet", 1234.5); }, "1234.5  V"},
    {MF3300, 1, 2, "Pw", [](int id) { vhw::setChannelParam(id, 1, 2, "Pw", 1); }, "On "},
    {MF3300, 1, 3, "PDwn", [](int id) { vhw::setChannelParam(id, 1, 3, "PDwn", 0); }, "Kill  "},
    {MF3300, 8, 0, "TripInt", [](int id) { vhw::setChannelParam(id, 8, 0, "TripInt", 0x845); }, "0x 00000845"},
    {MF3300, 1, 5, "Name", [](int id) { vhw::setChannelName(id, 1, 5, "PMT-5"); }, "PMT-5 "},
    {MF3300, 3, -1, "AvgFilter", [](int id) { vhw::setBoardParam(id, 3, "AvgFilter", 5); }, "5"},
    {MF3300, -1, -1, "HVFanSpeed", [](int id) { vhw::setSysProp(id, "HVFanSpeed", 2); }, "2"},
    {MF3300, -1, -1, "CmdQueueStatus",
     [](int id) { vhw::setSysProp(id, "CmdQueueStatus", std::string("3 of 32 pending")); }, "3 of 32 pending"},
    {MF3500, 2, 0, "VSet", [](int id) { vhw::setChannelParam(id, 2, 0, "VSet", 42); }, "42.0  V"},
    {B8181, 27, 3, "VSet", [](int id) { vhw::setChannelParam(id, 27, 3, "VSet", 321); }, "321.0  V"},
    {NIM, 0, 1, "ImonRange", [](int id) { vhw::setChannelParam(id, 0, 1, "ImonRange", 1); }, "Low  "},
};

ORVEHVNode *itemNode(QSystemInterface *sys, int slot, int channel, const QString &name)
{
    if (slot < 0)
        return sys->systemNode()->parameter(name);
    ORVEHVNode *board = boardInSlot(sys, slot);
    if (!board)
        return nullptr;
    if (channel < 0)
        return board->parameter(name);
    return channel < board->children().size() ? board->children().at(channel)->parameter(name) : nullptr;
}

QString shownText(const ORVEHVNode *node)
{
    return node->kind() == KindChannelParameter ? node->text() : node->value().value.toString();
}

} // namespace

class TestEventTypes : public QObject
{
    Q_OBJECT
private:
    // One window for all cases: a connected system stays for the next case.
    WindowFixture fx;
    MainWindow *&w = fx.w;
    int connected = -1;

    // The one connected system, switched when a case needs another family
    // (the window takes four systems at most).
    QSystemInterface *systemFor(int target)
    {
        if (connected == target && !w->connections()->systems().isEmpty())
            return w->connections()->systems().first();
        while (!w->connections()->systems().isEmpty())
            w->disconnectFromSystem(0);
        const Target &t = targets[target];
        QSystemInterface *sys = connectLive(w, t.type, t.link, QString::fromLatin1(t.argument),
                                            QString::fromLatin1(t.name), QString::fromLatin1(t.user),
                                            QString::fromLatin1(t.user));
        connected = sys ? target : -1;
        return sys;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(fx.setUpOnce());
        QVERIFY(fx.openWindow());
        fx.answer = [](const OperatorMessage &) { return 1; };
    }
    void cleanupTestCase() { fx.tearDownOnce(); }

    void valueReachesWhatIsShown_data()
    {
        QTest::addColumn<int>("index");
        const char *tags[] = {"numeric",         "on/off",           "enumeration",   "bit field",
                              "channel name",    "board enumeration", "system property", "text property",
                              "through loopback address", "library socket", "enumeration (NIM)"};
        static_assert(sizeof tags / sizeof *tags == sizeof typeCases / sizeof *typeCases, "one tag per case");
        for (int i = 0; i < int(sizeof typeCases / sizeof *typeCases); ++i)
            QTest::newRow(tags[i]) << i;
    }
    void valueReachesWhatIsShown()
    {
        QFETCH(int, index);
        const TypeCase &c = typeCases[index];
        const int id = vhw::findSystem(targets[c.target].argument);
        QVERIFY(id >= 0);
        QSystemInterface *sys = systemFor(c.target);
        QVERIFY(sys);
        ORVEHVNode *node = itemNode(sys, c.slot, c.channel, QString::fromLatin1(c.item));
        QVERIFY(node);
        const QString expected = QString::fromLatin1(c.expected);
        QVERIFY2(shownText(node) != expected, "the case must change what is shown");
        c.change(id);
        QTRY_COMPARE_WITH_TIMEOUT(shownText(node), expected, 5000);
        QCOMPARE(node->value().status, 0);
    }

    void statusConditionShowsFamilyText_data()
    {
        QTest::addColumn<int>("target");
        QTest::addColumn<int>("channel"); // -1: a board condition
        QTest::addColumn<int>("fault");
        QTest::addColumn<bool>("powered");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("faulty");
        auto ch = [](int t, ChannelFault f, const char *text, bool faulty = true, bool powered = false) {
            QTest::addRow("%s %s%s", targets[t].name, text, powered ? " (on)" : "")
                << t << 0 << int(f) << powered << QString(text) << faulty;
        };
        auto bd = [](int t, BoardFault f, const char *text) {
            QTest::addRow("%s board %s", targets[t].name, text) << t << -1 << int(f) << false << QString(text)
                                                                << true;
        };
        using F = ChannelFault;
        using B = BoardFault;
        using CR = std::vector<std::pair<F, const char *>>;
        using BR = std::vector<std::pair<B, const char *>>;
        for (const auto &r : CR{{F::OverCurrent, "Ovc"}, {F::OverVoltage, "Ovv"}, {F::UnderVoltage, "Unv"},
                       {F::ExternalTrip, "E-Tripped"}, {F::HVMax, "HVMax"}, {F::ExternalDisable, "Ext-Dis"},
                       {F::Tripped, "I-Tripped"}, {F::CalibrationError, "Cal-Err"}, {F::Unplugged, "Unplugg"},
                       {F::UnderCurrent, "Unc"}, {F::OverVoltageProtection, "Ovv Prot."},
                       {F::PowerFail, "Pwr Fail"}, {F::TemperatureError, "Temp Err."}})
            ch(MF3300, r.first, r.second);
        for (const auto &r : BR{{B::FirmwareChecksum, "FW CHKERR"}, {B::PowerFail, "PW Fail"},
                       {B::CalibrationError, "HvCal Err"}, {B::TemperatureError, "Temp Err"},
                       {B::UnderTemperature, "Un Temp"}, {B::OverTemperature, "Ov Temp"}})
            bd(MF3300, r.first, r.second);
        ch(B8181, F::Unplugged, "Unplugg");
        bd(B8181, B::OverTemperature, "Ov Temp");
        for (const auto &r : CR{{F::OverCurrent, "Ovc"}, {F::OverVoltage, "Ovv"}, {F::UnderVoltage, "Unv"},
                       {F::HVMax, "HVMax"}, {F::IMax, "IMax"}, {F::Tripped, "Trip"}, {F::OverPower, "Ovp"},
                       {F::OverTemperature, "Ovt"}, {F::ExternalDisable, "Disabled"}, {F::Interlock, "Interlock"},
                       {F::CalibrationError, "Uncalibrated"}})
            ch(VME, r.first, r.second);
        // NIM and DK31XXE units decode some bits only while the channel is on,
        // others only while it is off.
        for (int t : {NIM, DKE}) {
            for (const auto &r : CR{{F::Tripped, "Tripped"}, {F::OverCurrent, "Ovc"}, {F::HVMax, "MaxV"},
                           {F::UnderVoltage, "Unv"}, {F::OverVoltage, "Ovv"}})
                ch(t, r.first, r.second, true, true);
            for (const auto &r : CR{{F::Interlock, "Interlock"}, {F::ExternalDisable, "Disabled"},
                           {F::Kill, "Kill"}, {F::Tripped, "Tripped"}})
                ch(t, r.first, r.second);
            ch(t, F::CalibrationError, "Cal-Err", false);
        }
        ch(NIM, F::OverPower, "Ovp");
        ch(NIM, F::OverTemperature, "Ovt");
        ch(NIM, F::CalibrationError, "Cal-Err", false, true);
        ch(DKE, F::OverPower, "MaxPower");
        ch(DKE, F::TemperatureWarning, "Temp warning");
        bd(NIM, B::ClockFail, "HV Clock Fail");
        bd(NIM, B::PowerFail, "Pw Fail");
        bd(NIM, B::OverPower, "OV Power");
        bd(DKE, B::PowerFail, "Alarmed");
        bd(DKE, B::TemperatureError, "Alarmed");
        for (const auto &r : CR{{F::CalibrationError, "Calib. Err"}, {F::ExternalDisable, "Ext-Dis"},
                       {F::HVMax, "HVMax"}, {F::TemperatureError, "Temp Err."}, {F::TemperatureWarning, "Temp Warn"},
                       {F::OverCurrent, "Ovc"}, {F::OverVoltage, "Ovv"}, {F::IMax, "IMax"},
                       {F::UnderVoltage, "Unv"}, {F::Resetting, "Resetting"}, {F::PowerFail, "Pwr-Fail"}})
            ch(DK, r.first, r.second);
        ch(DK, F::FanHigh, "Fan-High", false);
        for (const auto &r : CR{{F::CommFail, "Comm. Fail"}, {F::CalibrationError, "Cal. Err."},
                       {F::Interlock, "Interlock"}, {F::Kill, "Kill"}, {F::ExternalDisable, "Disabled"},
                       {F::Lock, "Lock"}, {F::OverPower, "Ovp"}, {F::Tripped, "Tripped"},
                       {F::OverTemperature, "Ovt"}, {F::OverCurrent, "Ovc"}, {F::HVMax, "MaxV"},
                       {F::UnderVoltage, "Unv"}, {F::OverVoltage, "Ovv"}})
            ch(BRISK, r.first, r.second);
        ch(BRISK, F::TemperatureWarning, "Temp. Warn", false);
        for (const auto &r : BR{{B::TemperatureError, "Temp. Err."}, {B::Interlock, "Interlock"},
                       {B::CalibrationError, "Cal. Err."}, {B::PowerFail, "Pw Fail"}})
            bd(BRISK, r.first, r.second);
    }
    void statusConditionShowsFamilyText()
    {
        QFETCH(int, target);
        QFETCH(int, channel);
        QFETCH(int, fault);
        QFETCH(bool, powered);
        QFETCH(QString, text);
        QFETCH(bool, faulty);
        QSystemInterface *sys = systemFor(target);
        QVERIFY(sys);
        const int id = vhw::findSystem(targets[target].argument);
        const int type = targets[target].type;
        const int slot = target == MF3300 ? 1 : 0; // slot 0 of the MF3300 is powered by its world
        ORVEHVNode *node = itemNode(sys, slot, channel, QString::fromLatin1(channel < 0 ? "BdStatus" : "Status"));
        QVERIFY(node);

        // From a quiet channel (on or off as the case needs) ...
        vhw::clearFaults(id);
        QCOMPARE(vhw::setChannelParam(id, slot, 0, "Pw", powered ? 1 : 0), ORVEHV_OK);
        QTRY_COMPARE_WITH_TIMEOUT(node->value().value.toInt(), powered && channel >= 0 ? 1 : 0, 5000);

        // ... the raised condition shows as its family's text.
        if (channel < 0) {
            QCOMPARE(vhw::setBoardFault(id, slot, BoardFault(fault)), ORVEHV_OK);
            QTRY_COMPARE_WITH_TIMEOUT(boardStatusText(type, node->value().value.toInt()), text, 5000);
            return;
        }
        QCOMPARE(vhw::setChannelFault(id, slot, channel, ChannelFault(fault)), ORVEHV_OK);
        QTRY_COMPARE_WITH_TIMEOUT(node->text().trimmed(), text, 5000);
        QCOMPARE(node->notOk(), faulty);
    }

    // Last, as they change the world: a live insertion rebuilds only the
    // changed slot (the rows of the other boards keep their cells, the new
    // board's cells receive events at once) ...
    void liveInsertionRebuildsOnlyTheChangedSlot()
    {
        fx.messages.clear();
        QSystemInterface *sys = systemFor(MF3300);
        QVERIFY(sys);
        QTableWidget *table = qobject_cast<QSubWindow *>(sys->subWindow())->table();
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
            QCOMPARE(node->tableWidget(), table);
        }
        ORVEHVNode *vset = boardInSlot(sys, 6)->children().at(1)->parameter(QStringLiteral("VSet"));
        QVERIFY(vset);
        QCOMPARE(vset->tableWidget(), table);
        QCOMPARE(vhw::setChannelParam(id, 6, 1, "VSet", 321), ORVEHV_OK);
        QTRY_VERIFY_WITH_TIMEOUT(vset->text().contains(QStringLiteral("321")), 5000);
        // An old board still receives its events too.
        ORVEHVNode *old = boardInSlot(sys, 1)->children().at(0)->parameter(QStringLiteral("VSet"));
        QCOMPARE(vhw::setChannelParam(id, 1, 0, "VSet", 654), ORVEHV_OK);
        QTRY_VERIFY_WITH_TIMEOUT(old->text().contains(QStringLiteral("654")), 5000);
        QVERIFY(fx.messages.isEmpty());
    }

    // ... and a lost event connection disables the views, reported once.
    void lostEventConnectionShowsDisconnectedOnce()
    {
        fx.messages.clear();
        QSystemInterface *sys = systemFor(MF3300);
        QVERIFY(sys);
        auto *bar = qobject_cast<QSystemStatusBar *>(sys->statusBar());
        QCOMPARE(vhw::dropEventConnection(vhw::findSystem("192.0.2.10")), ORVEHV_OK);
        QTRY_COMPARE_WITH_TIMEOUT(bar->statusLabel()->text(), QStringLiteral("DISCONNECTED"), 5000);
        QVERIFY(!sys->subWindow()->isEnabled());
        QCOMPARE(sys->systemNode()->connectionState(), int(ConnectionLost));
        QTest::qWait(1500);
        QCOMPARE(fx.messages.size(), 1);
        QVERIFY(!eventsOn(sys));
        // "Close" removes it; nothing more is reported.
        qobject_cast<QCustomBox *>(sys->systemBox())->disconnectButton()->click();
        QVERIFY(w->connections()->systems().isEmpty());
        QTest::qWait(300);
        QCOMPARE(fx.messages.size(), 1);
    }
};

QTEST_MAIN(TestEventTypes)
#include "tst_event_types.moc"
