// The commands panel against the virtual hardware through the main window:
// every command is judged by what the channels then report through events,
// a refused command or write reaches the operator once, answering No sends
// nothing, and the panel follows the system's connection and read-outs. The
// flag and B8181 dialogs it opens write what the operator chose, bit for bit:
// bits the operator cannot see are kept, an unchanged limit is not written.

#include "tests/support/LiveWindow.h"
#include "device/ORVEHVNode.h"
#include "device/OperatorMessage.h"
#include "device/QSystemInterface.h"
#include "logging/QLogDialog.h"
#include "panels/QCollapsibleWidget.h"
#include "panels/QFlagWordDialog.h"
#include "panels/QHVOutputDialog.h"
#include "panels/QSysInfoB8181Dialog.h"
#include "panels/QSystemInformations.h"
#include "script/QScriptDialog.h"
#include "virtualhw/VirtualControl.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include <functional>

using namespace live_test;

namespace {

// Every channel "Pw" node of the system's tree (boards of a joined VME crate too).
QList<ORVEHVNode *> powerNodes(const ORVEHVNode *system)
{
    QList<ORVEHVNode *> out;
    for (ORVEHVNode *board : system->children())
        if (board->kind() == KindBoard)
            for (ORVEHVNode *ch : board->children())
                if (ORVEHVNode *pw = ch->parameter(QStringLiteral("Pw")))
                    out.append(pw);
    return out;
}

int countOn(const QList<ORVEHVNode *> &nodes)
{
    int n = 0;
    for (const ORVEHVNode *p : nodes)
        n += p->value().value.toBool() ? 1 : 0;
    return n;
}

// Switches every channel on in the device (as if the operator had) and lets
// the events arrive.
void switchAllOn(const ORVEHVNode *system, int id)
{
    for (ORVEHVNode *board : system->children())
        if (board->kind() == KindBoard)
            for (ORVEHVNode *ch : board->children())
                if (ch->kind() == KindChannel)
                    vhw::setChannelParam(id, board->slot(), ch->channel(), "Pw", 1);
}

QStringList buttonLabels()
{
    return {"KILL", "CLEAR\nALARM", "GLOBAL\nON", "GLOBAL\nOFF", "TURN OFF\nALL", "48V\nPW"};
}

} // namespace

class TestCommandsPanel : public QObject
{
    Q_OBJECT
private:
    WindowFixture fx;
    MainWindow *&w = fx.w;
    QList<OperatorMessage> &messages = fx.messages;
    std::function<int(const OperatorMessage &)> &answer = fx.answer;  // null: Yes to every box
    const int &id = fx.id;  // the virtual system last connected

    QSystemInterface *connect(const LiveTarget &t)
    {
        QSystemInterface *sys = fx.connect(t);
        if (sys)
            if (auto *list = w->findChild<QCollapsibleWidget *>())
                list->expandItem(sys->systemIndex());
        messages.clear();
        return sys;
    }
    static QSystemInformations *panelOf(QSystemInterface *sys)
    {
        return qobject_cast<QSystemInformations *>(sys->systemCommandsPanel());
    }

private slots:
    void initTestCase() { QVERIFY(fx.setUpOnce()); }
    void cleanupTestCase() { fx.tearDownOnce(); }
    void init() { QVERIFY(fx.openWindow()); }
    void cleanup() { fx.closeWindow(); }

    void buttonsPerSystemType_data()
    {
        QTest::addColumn<LiveTarget>("target");
        QTest::addColumn<QStringList>("present");
        QTest::newRow("mainframe") << Mainframe << QStringList{"KILL", "CLEAR\nALARM"};
        QTest::newRow("B8181") << Rack << buttonLabels().mid(0, 4) + QStringList{"GLOBAL\nOFF", "48V\nPW"};
        QTest::newRow("NIM") << Nim << QStringList{"KILL", "CLEAR\nALARM"};
        QTest::newRow("VME") << Vme << QStringList{"KILL"};
        QTest::newRow("BRISK") << Brisk << QStringList{"TURN OFF\nALL", "CLEAR\nALARM"};
    }

    // Only the commands a system type takes are offered; value logging and
    // scripts open their dialogs.
    void buttonsPerSystemType()
    {
        QFETCH(LiveTarget, target);
        QFETCH(QStringList, present);
        QSystemInterface *sys = connect(target);
        QVERIFY(sys);
        QSystemInformations *panel = panelOf(sys);
        for (const QString &label : buttonLabels())
            QCOMPARE(panel->button(label) != nullptr, present.contains(label));
        // SCRIPT opens the script dialog of this very system
        panel->button("SCRIPT")->click();
        auto *script = w->findChild<QScriptDialog *>();
        QVERIFY(script);
        QCOMPARE(script->system(), sys);
        if (target.type == 2) {
            QVERIFY(!panel->button("OFF")->isEnabled());
            // LOG asks for a selection; once one is accepted, ON and OFF work
            panel->button("LOG")->click();
            auto *log = w->findChild<QLogDialog *>();
            QVERIFY(log);
            emit log->accepted();
            QVERIFY(panel->button("OFF")->isEnabled());
            // A selection accepted again while logging runs: logging goes
            // on, and the pair still shows it.
            auto looksOn = [&](const QString &label) {
                return panel->button(label)->styleSheet() == QLatin1String(QSystemInformations::GreenStyle);
            };
            panel->button("ON")->click();
            QVERIFY(sys->isLogStarted() && looksOn("ON") && !looksOn("OFF"));
            emit log->accepted();
            QVERIFY(sys->isLogStarted());
            QVERIFY(looksOn("ON") && !looksOn("OFF"));
            panel->button("OFF")->click();
            emit log->accepted();
            QVERIFY(!sys->isLogStarted() && !looksOn("ON") && looksOn("OFF"));
        } else {
            // The on/off LOG button starts and stops the system's logging.
            panel->button("LOG")->click();
            QVERIFY(sys->isLogStarted());
            panel->button("LOG")->click();
            QVERIFY(!sys->isLogStarted());
        }
    }

    void commandAskedThenCarriedOut_data()
    {
        QTest::addColumn<LiveTarget>("target");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("question");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<bool>("startOn");
        QTest::addColumn<QString>("fault");   // a write the system refuses
        QTest::addColumn<QString>("report");  // and the one warning about it
        const QString kill = "You are sending kill signal to system Sys.";
        const QString globalOff = "You are sending Global OFF signal to system Sys.";
        const QString turnOff = "You are turning off all channels of the system Sys.";
        QTest::newRow("mainframe: Kill command") << Mainframe << "KILL" << kill << true << true << "" << "";
        QTest::newRow("B8181: Kill command") << Rack << "KILL" << kill << true << true << "" << "";
        // NIM units and VME boards take no command: "Pw" = 0 per channel.
        QTest::newRow("NIM: Pw per channel") << Nim << "KILL" << kill << true << true << "" << "";
        QTest::newRow("VME: Pw per channel") << Vme << "KILL" << kill << true << true << "" << "";
        QTest::newRow("B8181: GlobalOff command") << Rack << "GLOBAL\nOFF" << globalOff << true << true << "" << "";
        // Answering No sends nothing.
        QTest::newRow("No: KILL") << Rack << "KILL" << kill << false << true << "" << "";
        QTest::newRow("No: GLOBAL OFF") << Rack << "GLOBAL\nOFF" << globalOff << false << true << "" << "";
        QTest::newRow("No: GLOBAL ON") << Rack << "GLOBAL\nON" << "You are sending Global ON signal to system Sys."
                                       << false << false << "" << "";
        QTest::newRow("No: TURN OFF ALL") << Brisk << "TURN OFF\nALL" << turnOff << false << true << "" << "";
        QTest::newRow("No: NIM KILL") << Nim << "KILL" << kill << false << true << "" << "";
        // A command or write the system refuses must never look like it worked:
        // one warning naming the command and the system, however many writes
        // failed, and the channels as they were.
        QTest::newRow("refused KILL command") << Mainframe << "KILL" << kill << true << true << "Kill"
                                              << "KILL failed on system Sys:\nthe system did not answer (error 4107).";
        QTest::newRow("refused GLOBAL OFF command")
            << Rack << "GLOBAL\nOFF" << globalOff << true << true << "GlobalOff"
            << "GLOBAL OFF failed on system Sys:\nthe system did not answer (error 4107).";
        QTest::newRow("refused NIM KILL writes") << Nim << "KILL" << kill << true << true << "Pw"
                                                 << "KILL was not carried out completely on system Sys:\n4 of 4 channels "
                                                    "were not switched off (the system did not answer (error 4107)).";
        QTest::newRow("refused TURN OFF ALL writes")
            << Brisk << "TURN OFF\nALL" << turnOff << true << true << "Pw"
            << "TURN OFF ALL was not carried out completely on system Sys:\n4 of 4 channels were not switched off (the "
               "system did not answer (error 4107)).";
        QTest::newRow("refused NIM CLEAR ALARM")
            << Nim << "CLEAR\nALARM" << "You are sending Clear Alarm signal to system Sys." << true << false << "ClrAlarm"
            << "CLEAR ALARM was not carried out completely on system Sys:\n1 of 1 boards were not cleared (the system "
               "did not answer (error 4107)).";
        QTest::newRow("refused 48V off") << Rack << "48V\nPW" << "You are powering OFF the 48V" << true << true << "ACDCPwr"
                                         << "ACDCPwr could not be written on system Sys:\nthe system did not answer "
                                            "(error 4107).";
    }

    // The button is highlighted while the operator is asked; the answer
    // decides what reaches the channels.
    void commandAskedThenCarriedOut()
    {
        QFETCH(LiveTarget, target);
        QFETCH(QString, label);
        QFETCH(QString, question);
        QFETCH(bool, yes);
        QFETCH(bool, startOn);
        QFETCH(QString, fault);
        QFETCH(QString, report);
        QSystemInterface *sys = connect(target);
        QVERIFY(sys);
        if (!fault.isEmpty())
            QCOMPARE(vhw::failWrite(id, fault.toStdString(), ORVEHV_ERR_DEVICE), ORVEHV_OK);
        const QList<ORVEHVNode *> pw = powerNodes(sys->systemNode());
        QVERIFY(!pw.isEmpty());
        if (startOn)
            switchAllOn(sys->systemNode(), id);
        QTRY_COMPARE_WITH_TIMEOUT(countOn(pw), startOn ? int(pw.size()) : 0, 10000);

        QPushButton *button = panelOf(sys)->button(label);
        const QString styleBefore = button->styleSheet();
        const bool checkedBefore = button->isChecked();
        QString styleWhileAsking;
        answer = [&](const OperatorMessage &m) {
            if (m.icon == QMessageBox::Question)
                styleWhileAsking = button->styleSheet();
            return yes ? 0 : 1;
        };
        button->click();
        const int shown = report.isEmpty() ? 1 : 2;  // the question, and the report
        QCOMPARE(messages.size(), shown);
        QCOMPARE(messages.first().icon, QMessageBox::Question);
        QCOMPARE(messages.first().text, question);
        if (!report.isEmpty()) {
            QCOMPARE(messages.last().icon, QMessageBox::Warning);
            QCOMPARE(messages.last().text, report);
        }
        if (!button->isCheckable()) // the on/off 48V button is no highlighted command
            QCOMPARE(styleWhileAsking, QString(QSystemInformations::HighlightStyle));
        QCOMPARE(button->styleSheet(), styleBefore);
        QCOMPARE(button->isChecked(), checkedBefore);
        const bool unchanged = !yes || !fault.isEmpty();
        if (unchanged) {
            vhw::advanceTime(5);
            QTest::qWait(200);
        }
        const bool onAfter = startOn && unchanged;
        QTRY_COMPARE_WITH_TIMEOUT(countOn(pw), onAfter ? int(pw.size()) : 0, 10000);
        for (const ORVEHVNode *p : pw)
            QCOMPARE(vhw::channelParamValue(id, p->slot(), p->channel(), "Pw"), onAfter ? 1.0 : 0.0);
        QCOMPARE(messages.size(), shown);
    }

    void clearAlarmClearsTrips_data()
    {
        QTest::addColumn<LiveTarget>("target");
        QTest::addColumn<int>("tripBit");
        QTest::newRow("mainframe: ClearAlarm") << Mainframe << 9;
        // BRISK units take "BdClr" and refuse "ClearAlarm".
        QTest::newRow("BRISK: BdClr") << Brisk << 6;
        // NIM units: the boards' write-only "ClrAlarm".
        QTest::newRow("NIM: ClrAlarm per board") << Nim << 7;
    }

    void clearAlarmClearsTrips()
    {
        QFETCH(LiveTarget, target);
        QFETCH(int, tripBit);
        QSystemInterface *sys = connect(target);
        QVERIFY(sys);
        ORVEHVNode *board = boardInSlot(sys, 0);
        QVERIFY(board);
        ORVEHVNode *status = board->children().first()->parameter("Status");
        QVERIFY(status);
        // A short circuit trips the channel.
        vhw::setChannelParam(id, 0, 0, "VSet", 100);
        vhw::setChannelParam(id, 0, 0, "Trip", 0.5);
        vhw::setChannelLoad(id, 0, 0, 0);
        vhw::setChannelParam(id, 0, 0, "Pw", 1);
        vhw::advanceTime(3);
        vhw::setChannelLoad(id, 0, 0, 100);
        QTRY_VERIFY_WITH_TIMEOUT(status->value().value.toInt() & (1 << tripBit), 10000);

        panelOf(sys)->button("CLEAR\nALARM")->click();
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages.first().text, QString("You are sending Clear Alarm signal to system Sys."));
        QTRY_VERIFY_WITH_TIMEOUT(!(status->value().value.toInt() & (1 << tripBit)), 10000);
        QCOMPARE(messages.size(), 1);
    }

    void pw48OffHoldsEveryOutputOff()
    {
        QSystemInterface *sys = connect(Rack);
        QVERIFY(sys);
        const QList<ORVEHVNode *> pw = powerNodes(sys->systemNode());
        switchAllOn(sys->systemNode(), id);
        QTRY_COMPARE_WITH_TIMEOUT(countOn(pw), int(pw.size()), 10000);
        QPushButton *button = panelOf(sys)->button("48V\nPW");

        answer = [](const OperatorMessage &) { return 1; };
        button->click();
        QCOMPARE(messages.last().text, QString("You are powering OFF the 48V"));
        QVERIFY(button->isChecked());
        QCOMPARE(vhw::sysPropValue(id, "ACDCPwr"), 1.0);

        answer = nullptr;
        button->click();
        QCOMPARE(vhw::sysPropValue(id, "ACDCPwr"), 0.0);
        QVERIFY(!button->isChecked());
        QTRY_COMPARE_WITH_TIMEOUT(countOn(pw), 0, 10000);
        QCOMPARE(messages.size(), 2);  // the two questions, no report

        // Without 48 V the outputs stay off: the table's status and the
        // panel's supply read-outs say why, and switching on is refused and
        // reported once.
        QSystemInformations *panel = panelOf(sys);
        ORVEHVNode *status = nullptr;
        for (ORVEHVNode *board : sys->systemNode()->children())
            if (!status && board->kind() == KindBoard)
                status = board->children().first()->parameter(QStringLiteral("Status"));
        QVERIFY(status);
        QTRY_COMPARE_WITH_TIMEOUT(status->cellText().trimmed(), QString("Pwr Fail"), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(panel->readoutText("HvPwSM"), QString("Off"), 10000);
        QCOMPARE(panel->lampPicture("HvPwSM"), QString(":Resources/buttons/led_err.png"));
        QTRY_COMPARE_WITH_TIMEOUT(panel->readoutText("PWVoltage"), QString("0.0 V"), 10000);
        panel->button("GLOBAL\nON")->click();
        QCOMPARE(messages.size(), 4);
        QCOMPARE(messages.last().text, QString("GLOBAL ON failed on system Sys:\nthe system refused it (error 4102)."));
        QCOMPARE(pw.first()->writeValue(1), ORVEHV_ERR_WRITE_REFUSED);
        vhw::advanceTime(5);
        QTest::qWait(200);
        QCOMPARE(countOn(pw), 0);
        QCOMPARE(vhw::channelParamValue(id, pw.first()->slot(), pw.first()->channel(), "Pw"), 0.0);

        button->click();
        QCOMPARE(messages.last().text, QString("You are powering ON the 48V"));
        QCOMPARE(vhw::sysPropValue(id, "ACDCPwr"), 1.0);
        QTRY_COMPARE_WITH_TIMEOUT(panel->readoutText("HvPwSM"), QString("Ok"), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(status->cellText().trimmed() != QLatin1String("Pwr Fail"), 10000);
        QCOMPARE(pw.first()->writeValue(1), 0);
        QCOMPARE(vhw::channelParamValue(id, pw.first()->slot(), pw.first()->channel(), "Pw"), 1.0);

        // A system without the property: the button only greys, nothing is
        // asked or written.
        for (ORVEHVNode *p : sys->systemNode()->parameters())
            if (p->name() == QLatin1String("ACDCPwr"))
                p->setName(QStringLiteral("NoACDCPwr"));
        messages.clear();
        button->click();
        QVERIFY(messages.isEmpty());
        QVERIFY(button->isChecked());
        QCOMPARE(vhw::sysPropValue(id, "ACDCPwr"), 1.0);
    }

    void fanLowSpeedNeedsCaution()
    {
        QSystemInterface *sys = connect(Mainframe);
        QVERIFY(sys);
        const QList<QPushButton *> fans = panelOf(sys)->fanButtons();
        QCOMPARE(fans.size(), 3);

        answer = [](const OperatorMessage &) { return 1; };
        fans.at(0)->click();
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages.first().title, QString("ENABLE FAN LOW SPEED"));
        QVERIFY(messages.first().text.startsWith("CAUTION: Selecting this option restricts the flow of ventilation."));
        QVERIFY(!fans.at(0)->isChecked());
        QVERIFY(fans.at(1)->isChecked());
        QCOMPARE(vhw::sysPropValue(id, "LowFanEnable"), 0.0);
        QCOMPARE(vhw::sysPropValue(id, "HVFanSpeed"), 1.0);

        answer = nullptr;
        fans.at(0)->click();
        QCOMPARE(vhw::sysPropValue(id, "LowFanEnable"), 1.0);
        QCOMPARE(vhw::sysPropValue(id, "HVFanSpeed"), 0.0);
        QVERIFY(fans.at(0)->isChecked());

        // Low speed enabled: no further caution, and nothing else to report.
        fans.at(2)->click();
        QCOMPARE(vhw::sysPropValue(id, "HVFanSpeed"), 2.0);
        fans.at(0)->click();
        QCOMPARE(vhw::sysPropValue(id, "HVFanSpeed"), 0.0);
        QCOMPARE(messages.size(), 2);
        QCOMPARE(messages.last().title, QString("ENABLE FAN LOW SPEED"));
    }

    void readoutsFollowEvents()
    {
        QSystemInterface *sys = connect(Rack);
        QVERIFY(sys);
        QSystemInformations *panel = panelOf(sys);
        QCOMPARE(panel->lampPicture("FanStat"), QString(":Resources/buttons/led_on.png"));
        vhw::setSysProp(id, "FanStat", 2);
        vhw::setSysProp(id, "PWVoltage", 47.25);
        vhw::setSysProp(id, "CPULoad", "0.90:0.50:0.10");
        QTRY_COMPARE_WITH_TIMEOUT(panel->lampPicture("FanStat"), QString(":Resources/buttons/led_err.png"), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(panel->readoutText("PWVoltage"), QString("47.3 V"), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(panel->readoutText("CPULoad"), QString("0.90 / 0.50 / 0.10"), 10000);
        vhw::setSysProp(id, "HVFanSpeed", 2);
        QTRY_VERIFY_WITH_TIMEOUT(panel->fanButtons().at(2)->isChecked(), 10000);
        vhw::setSysProp(id, "ACDCPwr", 0);
        QTRY_VERIFY_WITH_TIMEOUT(!panel->button("48V\nPW")->isChecked(), 10000);
    }

    void panelFollowsConnection()
    {
        QSystemInterface *sys = connect(Mainframe);
        QVERIFY(sys);
        QSystemInformations *panel = panelOf(sys);
        QVERIFY(panel->isEnabled());
        vhw::dropEventConnection(id);
        QTRY_VERIFY_WITH_TIMEOUT(!panel->isEnabled(), 10000);
        emit w->liveInsertion(sys, true, true);
        QTRY_VERIFY_WITH_TIMEOUT(panel->isEnabled(), 10000);
        // Enabling the panel again does not make a logging selection up.
        QVERIFY(panel->button("SCRIPT")->isEnabled());
        QVERIFY(!panel->button("OFF")->isEnabled());
    }

    void resetFlagsKeepHiddenBits_data()
    {
        QTest::addColumn<int>("word");
        QTest::addColumn<int>("toggle");
        QTest::addColumn<int>("written");
        QTest::newRow("bit 1 kept") << 2 << 0 << 3;
        QTest::newRow("bits 4 and 5 kept") << 50 << 2 << 54;
        QTest::newRow("clear bit 3") << 13 << 3 << 5;
        QTest::newRow("bits above 5 kept") << 0x1C1 << 0 << 0x1C0;
    }

    void resetFlagsKeepHiddenBits()
    {
        QFETCH(int, word);
        QFETCH(int, toggle);
        QFETCH(int, written);
        QSystemInterface *sys = connect(Mainframe);
        QVERIFY(sys);
        auto *d = new QResetFlagsDialog(w, word, sys->systemNode());
        d->show();
        for (int bit = 0; bit < 6; ++bit)
            QCOMPARE(d->checkBox(bit)->isHidden(), bit == 1 || bit >= 4);
        d->checkBox(toggle)->click();
        d->accept();
        QCOMPARE(vhw::sysPropValue(id, "ResFlagCfg"), double(written));
        QVERIFY(messages.isEmpty());
    }

    // The panel reads the word afresh and only opens the dialog; the dialog
    // writes. A dialog left open holds the system's tree: it must not outlive it.
    void panelOpensWordReadFromSystem()
    {
        QSystemInterface *sys = connect(Mainframe);
        QVERIFY(sys);
        vhw::setSysProp(id, "GenSignCfg", 37);
        panelOf(sys)->button("GEN SIGN\nCFG")->click();
        QPointer<QGenSignCfgDialog> d = w->findChild<QGenSignCfgDialog *>();
        QVERIFY(d);
        QCOMPARE(d->word(), 37);
        d->checkBox(5)->click();
        d->accept();
        QCOMPARE(vhw::sysPropValue(id, "GenSignCfg"), 5.0);
        QTRY_VERIFY_WITH_TIMEOUT(d.isNull(), 10000); // deletes itself when closed

        // A word that cannot be read is not offered for editing: its hidden bits
        // would be written back as 0.
        vhw::setSysProp(id, "ResFlagCfg", 2);
        vhw::failRead(id, "ResFlagCfg", ORVEHV_ERR_DEVICE);
        panelOf(sys)->button("RESET\nFLAG CFG")->click();
        QVERIFY(!w->findChild<QResetFlagsDialog *>());
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages.first().text, QString("ResFlagCfg could not be read from system Sys; it was not changed."));
        QCOMPARE(vhw::sysPropValue(id, "ResFlagCfg"), 2.0);

        QVERIFY(connect(Nim));
        panelOf(sys)->button("GEN SIGN\nCFG")->click();
        d = w->findChild<QGenSignCfgDialog *>();
        QVERIFY(d && d->isVisible());
        w->removeSystem(0);
        QVERIFY(d.isNull());
    }

    // An output is reset or recovered only after the operator's Yes, as
    // every command that changes outputs.
    void hvButtonsAskThenWriteOneBit_data()
    {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("question");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<int>("written");
        QTest::newRow("HV Reset 2") << "HV\nRESET" << "You are sending HV Reset 2 signal to system Sys." << true << 1024;
        QTest::newRow("HV Reset 2, no") << "HV\nRESET" << "You are sending HV Reset 2 signal to system Sys." << false
                                        << 0;
        QTest::newRow("HV Recovery 2") << "RECOVERY\nFLAG" << "You are sending HV Recovery 2 signal to system Sys."
                                       << true << 4;
        QTest::newRow("HV Recovery 2, no") << "RECOVERY\nFLAG"
                                           << "You are sending HV Recovery 2 signal to system Sys." << false << 0;
    }

    void hvButtonsAskThenWriteOneBit()
    {
        QFETCH(QString, label);
        QFETCH(QString, question);
        QFETCH(bool, yes);
        QFETCH(int, written);
        QSystemInterface *sys = connect(Rack);
        QVERIFY(sys);
        panelOf(sys)->button(label)->click();
        auto *d = w->findChild<QHVOutputDialog *>();
        QVERIFY(d);
        answer = [yes](const OperatorMessage &) { return yes ? 0 : 1; };
        d->outputButtons().at(2)->click();
        answer = nullptr;
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages.first().icon, QMessageBox::Question);
        QCOMPARE(messages.first().text, question);
        QCOMPARE(messages.first().defaultButton, 0);
        QCOMPARE(vhw::sysPropValue(id, "RstRecFlag"), double(written));
        QVERIFY(d->isVisible());
        d->okButton()->click();
        QVERIFY(!d->isVisible());
    }

    void b8181LimitWrittenOnlyWhenChanged()
    {
        QSystemInterface *sys = connect(Rack);
        QVERIFY(sys);
        vhw::setSysProp(id, "ACDCIlim", 2);
        vhw::setSysProp(id, "HighFreq", 40000);
        // Any write of the limit would be refused and reported.
        vhw::failWrite(id, "ACDCIlim", ORVEHV_ERR_WRITE_REFUSED);
        auto *d = new QSysInfoB8181Dialog(w, sys->systemNode());
        QCOMPARE(d->shownText("HighFreq"), QString("40000"));
        QCOMPARE(d->limitCombo()->currentText(), QString("5"));
        d->okButtonClicked();
        QVERIFY(messages.isEmpty());

        // A changed limit is written; refused, it is reported and the dialog
        // stays open with the operator's choice.
        d = new QSysInfoB8181Dialog(w, sys->systemNode());
        d->show();
        d->limitCombo()->setCurrentIndex(3);
        d->okButtonClicked();
        QCOMPARE(messages.size(), 1);
        QVERIFY(messages.first().text.startsWith("ACDCIlim could not be written on system Sys"));
        QVERIFY(d->isVisible());
        vhw::clearFaults(id);
        d->okButtonClicked();
        QCOMPARE(vhw::sysPropValue(id, "ACDCIlim"), 3.0);
        QVERIFY(!d->isVisible());

        // A limit that cannot be read is not offered.
        vhw::failRead(id, "ACDCIlim", ORVEHV_ERR_DEVICE);
        auto *u = new QSysInfoB8181Dialog(w, sys->systemNode());
        QVERIFY(!u->limitCombo()->isEnabled());
        u->okButtonClicked();
        QCOMPARE(messages.size(), 1);
    }
};

QTEST_MAIN(TestCommandsPanel)
#include "tst_commands_panel.moc"
