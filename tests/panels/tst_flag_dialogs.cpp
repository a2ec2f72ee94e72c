// The flag and B8181 dialogs write what the operator chose, bit for bit, to
// the virtual system; bits the operator cannot see are kept, an unchanged
// limit is not written, and a refusal is reported.

#include "ORVEHVWrapper.h"
#include "device/ORVEHVNode.h"
#include "device/OperatorMessage.h"
#include "device/QSystemInterface.h"
#include "panels/QFlagWordDialog.h"
#include "panels/QHVOutputDialog.h"
#include "panels/QSysInfoB8181Dialog.h"
#include "panels/QSystemInformations.h"
#include "virtualhw/VirtualControl.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>

class TestFlagDialogs : public QObject
{
    Q_OBJECT
private:
    QSystemInterface *sys = nullptr;
    int id = -1;
    QList<OperatorMessage> messages;

    void open(int type, const char *argument)
    {
        vhw::resetWorld();
        id = vhw::findSystem(argument);
        sys = new QSystemInterface(type, 0, QString::fromLatin1(argument), QStringLiteral("Sys"), 0);
        QCOMPARE(sys->connectSystem(nullptr, QStringLiteral("admin"), QStringLiteral("admin")), 0);
    }
    template <typename T>
    static T *openedDialog()
    {
        for (QWidget *top : QApplication::topLevelWidgets())
            if (auto *d = qobject_cast<T *>(top); d && d->isVisible())
                return d;
        return nullptr;
    }

private slots:
    void initTestCase()
    {
        vhw::setTimeMode(vhw::TimeMode::Manual);
        setOperatorMessageHook([this](const OperatorMessage &m) {
            messages.append(m);
            return 0;
        });
    }
    void cleanupTestCase() { setOperatorMessageHook({}); }
    void init() { messages.clear(); }
    void cleanup()
    {
        for (QWidget *top : QApplication::topLevelWidgets())
            if (qobject_cast<QDialog *>(top))
                delete top;
        if (sys) {
            ORVEHV_DeinitSystem(sys->handle());
            delete sys;
            sys = nullptr;
        }
    }

    void resetFlagsKeepHiddenBits_data()
    {
        QTest::addColumn<int>("word");
        QTest::addColumn<int>("toggle");
        QTest::addColumn<int>("written");
        QTest::newRow("bit 1 kept") << 2 << 0 << 3;
        QTest::newRow("bits 4 and 5 kept") << 50 << 2 << 54;
        QTest::newRow("clear bit 3") << 13 << 3 << 5;
        QTest::newRow("bits above 5 dropped") << 0x1C1 << 0 << 0;
    }

    void resetFlagsKeepHiddenBits()
    {
        QFETCH(int, word);
        QFETCH(int, toggle);
        QFETCH(int, written);
        open(2, "192.0.2.10");
        auto *d = new QResetFlagsDialog(nullptr, word, sys->systemNode());
        d->show();
        for (int bit : {1, 4, 5})
            QVERIFY(d->checkBox(bit)->isHidden());
        for (int bit : {0, 2, 3})
            QVERIFY(!d->checkBox(bit)->isHidden());
        d->checkBox(toggle)->click();
        d->accept();
        QCOMPARE(vhw::sysPropValue(id, "ResFlagCfg"), double(written));
        QVERIFY(messages.isEmpty());
    }

    // The panel reads the word afresh and only opens the dialog; the dialog
    // writes.
    void panelOpensWordReadFromSystem()
    {
        open(2, "192.0.2.10");
        QSystemInformations panel(sys);
        vhw::setSysProp(id, "GenSignCfg", 37);
        panel.button("GEN SIGN\nCFG")->click();
        QPointer<QGenSignCfgDialog> d = openedDialog<QGenSignCfgDialog>();
        QVERIFY(d);
        QCOMPARE(d->word(), 37);
        d->checkBox(5)->click();
        d->accept();
        QCOMPARE(vhw::sysPropValue(id, "GenSignCfg"), 5.0);
        QTRY_VERIFY(d.isNull()); // deletes itself when closed

        vhw::setSysProp(id, "ResFlagCfg", 2);
        panel.button("RESET\nFLAG CFG")->click();
        auto *r = openedDialog<QResetFlagsDialog>();
        QVERIFY(r);
        r->accept();
        QCOMPARE(vhw::sysPropValue(id, "ResFlagCfg"), 2.0);
        QVERIFY(messages.isEmpty());

        // A word that cannot be read is not offered for editing: its hidden bits
        // would be written back as 0.
        vhw::failRead(id, "ResFlagCfg", ORVEHV_ERR_DEVICE);
        panel.button("RESET\nFLAG CFG")->click();
        QVERIFY(!openedDialog<QResetFlagsDialog>());
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages.first().text, QString("ResFlagCfg could not be read from system Sys; it was not changed."));
        QCOMPARE(vhw::sysPropValue(id, "ResFlagCfg"), 2.0);
        vhw::clearFaults(id);
    }

    void hvButtonsWriteOneBit_data()
    {
        QTest::addColumn<bool>("reset");
        QTest::addColumn<int>("output");
        QTest::addColumn<int>("written");
        QTest::newRow("HV Reset 2") << true << 2 << 1024;
        QTest::newRow("HV Recovery 2") << false << 2 << 4;
    }

    void hvButtonsWriteOneBit()
    {
        QFETCH(bool, reset);
        QFETCH(int, output);
        QFETCH(int, written);
        open(16, "192.0.2.20");
        QSystemInformations panel(sys);
        panel.button(reset ? "HV\nRESET" : "RECOVERY\nFLAG")->click();
        QHVOutputDialog *d = reset ? static_cast<QHVOutputDialog *>(openedDialog<QHVResetDialog>())
                                   : openedDialog<QHVRecoveryDialog>();
        QVERIFY(d);
        d->outputButtons().at(output)->click();
        QCOMPARE(vhw::sysPropValue(id, "RstRecFlag"), double(written));
        QVERIFY(d->isVisible());
        QVERIFY(messages.isEmpty());
        d->okButton()->click();
        QVERIFY(!d->isVisible());
    }

    void b8181LimitWrittenOnlyWhenChanged()
    {
        open(16, "192.0.2.20");
        vhw::setSysProp(id, "ACDCIlim", 2);
        vhw::setSysProp(id, "HighFreq", 40000);
        // Any write of the limit would be refused and reported.
        vhw::failWrite(id, "ACDCIlim", ORVEHV_ERR_WRITE_REFUSED);
        auto *d = new QSysInfoB8181Dialog(nullptr, sys->systemNode());
        QCOMPARE(d->shownText("HighFreq"), QString("40000"));
        QCOMPARE(d->limitCombo()->currentText(), QString("5"));
        d->okButtonClicked();
        QVERIFY(messages.isEmpty());

        // A changed limit is written; refused, it is reported and the dialog
        // stays open with the operator's choice.
        d = new QSysInfoB8181Dialog(nullptr, sys->systemNode());
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
        auto *u = new QSysInfoB8181Dialog(nullptr, sys->systemNode());
        QVERIFY(!u->limitCombo()->isEnabled());
        u->okButtonClicked();
        QCOMPARE(messages.size(), 1);
        vhw::clearFaults(id);
    }
};

QTEST_MAIN(TestFlagDialogs)
#include "tst_flag_dialogs.moc"
