// The connect dialog: types, links, validation, Return, board rows,
// the calls it makes and the values it remembers between openings.
#include "IsolatedSettings.h"

#include "connect/QAutodetectDialog.h"
#include "connect/QConnectDialog.h"
#include "connect/SystemConnector.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <memory>

namespace {

struct Call
{
    int systemType, linkType;
    QString argument, displayName, userName, password;
};

class RecordingConnector : public SystemConnector
{
public:
    int connectToSystem(int systemType, int linkType, const QString &connectionArgument,
                        const QString &displayName, const QString &userName,
                        const QString &password) override
    {
        calls.append({ systemType, linkType, connectionArgument, displayName, userName, password });
        return failAll ? 1 : 0;
    }
    QVector<Call> calls;
    bool failAll = false;
};

template <typename T>
T *child(QWidget *w, const char *name)
{
    T *c = w->findChild<T *>(QString::fromLatin1(name));
    if (!c)
        qFatal("no child %s", name);
    return c;
}

QList<QLineEdit *> ipFields(QWidget *d)
{
    return d->findChildren<QLineEdit *>(QStringLiteral("ipAddr"));
}

void typeIp(QWidget *d, const QStringList &parts)
{
    const QList<QLineEdit *> f = ipFields(d);
    for (int i = 0; i < 4; ++i) {
        f[i]->clear();
        QTest::keyClicks(f[i], parts.value(i));
    }
}

// A shown dialog with a type chosen (and a link, when given); it deletes
// itself when it closes.
QConnectDialog *openDialog(SystemConnector *connector, int type, int link = -1)
{
    auto *d = new QConnectDialog(connector);
    d->show();
    child<QComboBox>(d, "comboPSType")->setCurrentIndex(type);
    if (link >= 0)
        child<QComboBox>(d, "comboConnType")->setCurrentIndex(link);
    return d;
}

// The same, owned by the test: for checks that never close it.
std::unique_ptr<QConnectDialog> keptDialog(SystemConnector *connector, int type, int link = -1)
{
    std::unique_ptr<QConnectDialog> d(openDialog(connector, type, link));
    d->setAttribute(Qt::WA_DeleteOnClose, false);
    return d;
}

} // namespace

class TestConnectDialog : public QObject
{
    Q_OBJECT
    RecordingConnector connector; // what every test's dialog asks for

private slots:
    void initTestCase() { QVERIFY2(storeIsIsolated(), "settings store is not isolated"); }
    void init()
    {
        clearStore();
        connector.calls.clear();
        connector.failAll = false;
    }

    // The links each type offers and the one type that can autodetect.
    void typesShowTheirLinksAndButton_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QStringList>("links");
        QTest::addColumn<bool>("autodetect");
        QTest::newRow("MF3300 / MF3500") << 0 << QStringList{ "TCP/IP" } << true;
        QTest::newRow("VME HV") << 1 << QStringList{ "USB", "PCI OPTICAL LINK", "USB3", "ETHERNET", "J5910" } << false;
        QTest::newRow("NIM / DESKTOP HV") << 2 << QStringList{ "TCP/IP", "VCP USB" } << false;
        QTest::newRow("DK31XX HV") << 3 << QStringList{ "USB", "PCI OPTICAL LINK", "J5910" } << false;
        QTest::newRow("DK31XXE HV") << 4 << QStringList{ "TCP/IP", "VCP USB" } << false;
        QTest::newRow("BRISK HV") << 5 << QStringList{ "TCP/IP", "VCP USB" } << false;
        QTest::newRow("POWER SUPPLY BOXES") << 6 << QStringList{} << false;
        QTest::newRow("B8181") << 7 << QStringList{ "TCP/IP" } << false;
        QTest::newRow("PLEX") << 8 << QStringList{ "TCP/IP" } << false;
    }

    void typesShowTheirLinksAndButton()
    {
        QFETCH(int, type);
        QFETCH(QStringList, links);
        QFETCH(bool, autodetect);
        const auto d = keptDialog(&connector, type);
        auto *linkCombo = child<QComboBox>(d.get(), "comboConnType");
        QStringList items;
        for (int i = 0; i < linkCombo->count(); ++i)
            items << linkCombo->itemText(i);
        QCOMPARE(items, links);
        QCOMPARE(child<QPushButton>(d.get(), "autodetectButton")->isVisible(), autodetect);
    }

    void powerSupplyBoxesNeedNoInput()
    {
        QPointer<QConnectDialog> d = openDialog(&connector, 6);
        QVERIFY(!child<QComboBox>(d, "comboConnType")->isVisible());
        QVERIFY(!child<QWidget>(d, "connParamsGB")->isVisible());
        QTest::mouseClick(child<QPushButton>(d, "okButton"), Qt::LeftButton);
        QTRY_VERIFY(d.isNull());   // closed and deleted
        QCOMPARE(connector.calls.size(), 1);
        QCOMPARE(storedKeys(), QStringList({ "lastConnType", "lastCustName", "lastPSType" }));
    }

    void ipFieldsRefuseBadAddresses()
    {
        const auto d = keptDialog(&connector, 0);
        auto *ok = child<QPushButton>(d.get(), "okButton");
        QTest::keyClicks(child<QLineEdit>(d.get(), "Username"), "admin");
        QTest::keyClicks(child<QLineEdit>(d.get(), "Password"), "pw");
        QCOMPARE(child<QLineEdit>(d.get(), "Password")->echoMode(), QLineEdit::Password);

        typeIp(d.get(), { "0", "0", "0", "0" });
        QVERIFY(!ok->isEnabled());
        typeIp(d.get(), { "192", "168", "0", "10" });
        QVERIFY(ok->isEnabled());

        // Typing past 255 or letters is refused by the field itself.
        QLineEdit *last = ipFields(d.get())[3];
        last->clear();
        QTest::keyClicks(last, "256");
        QCOMPARE(last->text(), QString("25"));
        last->clear();
        QTest::keyClicks(last, "x9");
        QCOMPARE(last->text(), QString("9"));

        // Without the password OK goes off again.
        child<QLineEdit>(d.get(), "Password")->clear();
        QVERIFY(!ok->isEnabled());
    }

    void returnAcceptsOnlyWhileOkIsEnabled()
    {
        QPointer<QConnectDialog> d = openDialog(&connector, 8);
        typeIp(d, { "10", "0", "0", "" });
        QTest::keyClick(ipFields(d)[3], Qt::Key_Return);
        QTest::keyClick(d, Qt::Key_Enter);
        QVERIFY(!d.isNull() && d->isVisible());
        QVERIFY(connector.calls.isEmpty());
        QVERIFY(storedKeys().isEmpty());

        QTest::keyClicks(ipFields(d)[3], "7");
        QTest::keyClick(ipFields(d)[3], Qt::Key_Return);
        QTRY_VERIFY(d.isNull());
        QCOMPARE(connector.calls.size(), 1);
        QCOMPARE(connector.calls[0].argument, QString("10.0.0.7"));
        // PLEX has no login form: no credentials of another type travel with it.
        QVERIFY(connector.calls[0].userName.isEmpty());
        QVERIFY(connector.calls[0].password.isEmpty());
    }

    void boardRowsAddRemoveAndConnectPerRow()
    {
        QPointer<QConnectDialog> d = openDialog(&connector, 1, 0);   // USB
        QTest::keyClicks(child<QLineEdit>(d, "editCustName"), "Crate 7");

        QWidget *rows = d->findChildren<QWidget *>("optWidget").first();
        QVERIFY(!child<QPushButton>(rows, "minus")->isVisible());   // the first row has no "-"

        // "+" adds a row after the last.
        QTest::mouseClick(child<QPushButton>(rows, "plus"), Qt::LeftButton);
        QTest::mouseClick(d->findChildren<QWidget *>("optWidget").last()->findChild<QPushButton *>("plus"),
                          Qt::LeftButton);
        QList<QWidget *> optRows = d->findChildren<QWidget *>("optWidget");
        QCOMPARE(optRows.size(), 3);
        QVERIFY(!child<QSpinBox>(optRows[0], "opt2")->isVisible());   // USB has no node number

        QTest::mouseClick(child<QPushButton>(optRows[2], "minus"), Qt::LeftButton);
        QTRY_COMPARE(d->findChildren<QWidget *>("optWidget").size(), 2);
        optRows = d->findChildren<QWidget *>("optWidget");

        child<QSpinBox>(optRows[0], "opt1")->setValue(2);
        child<QSpinBox>(optRows[1], "opt1")->setValue(3);
        auto *ok = child<QPushButton>(d, "okButton");
        QTest::keyClicks(child<QLineEdit>(optRows[0], "BaseAddress"), "C0");
        QVERIFY(!ok->isEnabled());   // the second row has no base address yet
        QTest::keyClicks(child<QLineEdit>(optRows[1], "BaseAddress"), "D0");
        QVERIFY(ok->isEnabled());

        QTest::mouseClick(ok, Qt::LeftButton);
        QTRY_VERIFY(d.isNull());
        QCOMPARE(connector.calls.size(), 2);
        QCOMPARE(connector.calls[0].argument, QString("2_0_C0"));
        QCOMPARE(connector.calls[0].displayName, QString("Crate 7"));
        QCOMPARE(connector.calls[1].argument, QString("3_0_D0"));
        QCOMPARE(connector.calls[1].userName, QString("Board01"));
    }

    void baseAddressMustMatchPattern()
    {
        const auto d = keptDialog(&connector, 1, 2);   // USB3
        QWidget *row = d->findChildren<QWidget *>("PIDWidget").first();
        auto *ok = child<QPushButton>(d.get(), "okButton");
        auto *base = child<QLineEdit>(row, "BaseAddress");
        auto *pid = child<QLineEdit>(row, "PID");
        QTest::keyClicks(pid, "12a34");   // letters refused by the field
        QCOMPARE(pid->text(), QString("1234"));
        QTest::keyClicks(base, "0xZ1");
        QCOMPARE(base->text(), QString("0x1"));
        QVERIFY(ok->isEnabled());
        base->setText("0x");   // typed fields are checked against the pattern, not only the mask
        QVERIFY(!ok->isEnabled());
        base->setText("123456789");
        QCOMPARE(base->text().size(), 8);
        QVERIFY(ok->isEnabled());
        pid->clear();
        QVERIFY(!ok->isEnabled());
    }

    void serialLinkArgument()
    {
        QPointer<QConnectDialog> d = openDialog(&connector, 5, 1);   // VCP USB
        auto *port = child<QComboBox>(d, "Port");
        port->setCurrentIndex(3);
        child<QComboBox>(d, "Baud")->setCurrentIndex(5);
        child<QComboBox>(d, "serialLBusAddr")->setCurrentIndex(-1);   // no LBus selection
        auto *ok = child<QPushButton>(d, "okButton");
        QVERIFY(ok->isEnabled());
        port->setEditText(QString());
        QVERIFY(!ok->isEnabled());
        port->setEditText("COM3");
        QTest::mouseClick(ok, Qt::LeftButton);
        QTRY_VERIFY(d.isNull());
        QCOMPARE(connector.calls.size(), 1);
        QCOMPARE(connector.calls[0].linkType, 5);
        QCOMPARE(connector.calls[0].argument, QString("COM3_9600_8_0_0_0"));
    }

    void mainframeValuesRestoredOnNextOpen()
    {
        {
            QPointer<QConnectDialog> d = openDialog(&connector, 0);
            QTest::keyClicks(child<QLineEdit>(d, "editCustName"), "North");
            typeIp(d, { "192", "168", "0", "10" });
            QTest::keyClicks(child<QLineEdit>(d, "Username"), "admin");
            QTest::keyClicks(child<QLineEdit>(d, "Password"), "s3cret");
            QTest::mouseClick(child<QPushButton>(d, "okButton"), Qt::LeftButton);
            QTRY_VERIFY(d.isNull());
        }
        QCOMPARE(connector.calls.size(), 1);
        QCOMPARE(connector.calls[0].password, QString("s3cret"));
        for (const QString &k : storedKeys())
            QVERIFY2(!storedValue(k).toString().contains("s3cret"), qPrintable(k));

        // The next opening starts from the stored values (a new store object, as after a restart).
        QConnectDialog d(&connector);
        d.setAttribute(Qt::WA_DeleteOnClose, false);
        QCOMPARE(child<QLineEdit>(&d, "editCustName")->text(), QString("North"));
        QStringList ip;
        for (QLineEdit *f : ipFields(&d))
            ip << f->text();
        QCOMPARE(ip, QStringList({ "192", "168", "0", "10" }));
        QVERIFY(child<QLineEdit>(&d, "Password")->text().isEmpty());
        QVERIFY(!child<QPushButton>(&d, "okButton")->isEnabled());   // the password is asked again
    }

    void cancelStoresNothing()
    {
        QPointer<QConnectDialog> d = openDialog(&connector, 8);
        typeIp(d, { "10", "1", "2", "3" });
        QTest::keyClick(d, Qt::Key_Escape);
        QTRY_VERIFY(d.isNull());
        QVERIFY(connector.calls.isEmpty());
        QVERIFY(storedKeys().isEmpty());
    }

    void typeChangeLoadsThatTypesValues()
    {
        {
            QSettings s(QSettings::NativeFormat, QSettings::UserScope, "ORVE", "App");
            s.setValue("PLEX_IP", "10.9.8.7");
            s.setValue("B8181_lastIpAddress", "172.16.0.1");
            s.setValue("B8181_lastUserName", "op");
            s.setValue("lastConnType", 0);
            s.setValue("lastPSType", 42);            // out of range: the type combo stays
            s.setValue("DKHV_lastLBusAddr", 99);     // out of range: the LBus combo stays
            s.setValue("DKHV_IP", "1.2.3");          // damaged address: what is there is used
        }
        QConnectDialog d(&connector);
        d.setAttribute(Qt::WA_DeleteOnClose, false);
        QCOMPARE(child<QComboBox>(&d, "comboPSType")->currentIndex(), 0);
        auto *types = child<QComboBox>(&d, "comboPSType");
        types->setCurrentIndex(8);
        QCOMPARE(d.currentValues().ipAddress, QString("10.9.8.7"));
        types->setCurrentIndex(7);
        QCOMPARE(d.currentValues().ipAddress, QString("172.16.0.1"));
        QCOMPARE(child<QLineEdit>(&d, "Username")->text(), QString("op"));
        types->setCurrentIndex(2);
        QCOMPARE(d.currentValues().ipAddress, QString("1.2.3."));
        QCOMPARE(child<QComboBox>(&d, "tcpLBusAddr")->currentText(), QString("1"));
        QVERIFY(!child<QPushButton>(&d, "okButton")->isEnabled());
    }

    void failedRowDoesNotStopTheNext()
    {
        connector.failAll = true;
        QPointer<QConnectDialog> d = openDialog(&connector, 3, 1);   // PCI optical link
        d->addNewVMEHVConnectionParametersWidget();
        const QList<QWidget *> rows = d->findChildren<QWidget *>("optWidget");
        QVERIFY(!child<QLineEdit>(rows[0], "BaseAddress")->isVisible());   // fixed address for these units
        child<QSpinBox>(rows[0], "opt1")->setValue(1);
        child<QSpinBox>(rows[0], "opt2")->setValue(3);
        QTest::mouseClick(child<QPushButton>(d, "okButton"), Qt::LeftButton);
        QTRY_VERIFY(d.isNull());
        QCOMPARE(connector.calls.size(), 2);
        QCOMPARE(connector.calls[0].systemType, 9);
        QCOMPARE(connector.calls[0].argument, QString("1_3_00000000"));
        QCOMPARE(connector.calls[1].argument, QString("0_0_00000000"));

        // both rows come back, though saved without a base address
        QConnectDialog again(&connector);
        again.setAttribute(Qt::WA_DeleteOnClose, false);
        QCOMPARE(again.optRowCount(), 2);
        const QList<QWidget *> back = again.findChildren<QWidget *>("optWidget");
        QCOMPARE(child<QSpinBox>(back[0], "opt2")->value(), 3);
    }
};

KEBO_SETTINGS_TEST_MAIN(TestConnectDialog)
#include "tst_connect_dialog.moc"
