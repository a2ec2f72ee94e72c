// The connect dialog: types, links, validation, Return, board rows,
// the calls it makes and the values it remembers between openings; below it,
// the connection arguments for every type and link, field validation, and the
// connection settings store (keys, rows, passwords).
#include "IsolatedSettings.h"

#include "connect/ConnectionArguments.h"
#include "connect/QAutodetectDialog.h"
#include "connect/QConnectDialog.h"
#include "connect/SystemConnector.h"
#include "persist/ConnectionSettings.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>

using namespace ConnectionArguments;

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

BoardRowValues row(const QString &name, int opt1, int opt2, const QString &base, const QString &pid = {})
{
    return BoardRowValues{ name, opt1, opt2, base, pid };
}

ConnectionValues values(int type, int link)
{
    ConnectionValues v;
    v.psType = type;
    v.linkIndex = link;
    v.optRows = v.ethRows = v.pidRows = v.j5910Rows = { BoardRowValues() };
    return v;
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

    // Escape and an incomplete Return connect and store nothing.
    void returnAcceptsOnlyWhileOkIsEnabled()
    {
        QPointer<QConnectDialog> cancelled = openDialog(&connector, 8);
        typeIp(cancelled, { "10", "1", "2", "3" });
        QTest::keyClick(cancelled, Qt::Key_Escape);
        QTRY_VERIFY(cancelled.isNull());

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

    // Under the program's style sheets the row buttons keep room for their
    // glyph (padding once left "+" a thin bar and "-" a dot).
    void rowButtonsShowTheirGlyph_data()
    {
        QTest::addColumn<QString>("styleSheet");
        QTest::newRow("standard") << "stylesheet-3.qss";
        QTest::newRow("country") << "stylesheet-I.qss";
    }
    void rowButtonsShowTheirGlyph()
    {
        QFETCH(QString, styleSheet);
        QFile file(QDir::cleanPath(QStringLiteral(KEBO_TEST_DATA_DIR "/../../../Resources/") + styleSheet));
        QVERIFY(file.open(QIODevice::ReadOnly));
        qApp->setStyleSheet(QString::fromUtf8(file.readAll()));
        std::unique_ptr<QConnectDialog> d = keptDialog(&connector, 1, 1);   // optical link
        QWidget *rows = d->findChildren<QWidget *>("optWidget").first();
        QTest::mouseClick(child<QPushButton>(rows, "plus"), Qt::LeftButton);
        const QList<QPushButton *> buttons = d->findChildren<QWidget *>("optWidget").last()->findChildren<QPushButton *>();
        const QImage dialog = d->grab().toImage();
        qApp->setStyleSheet(QString());
        QCOMPARE(buttons.size(), 2);
        for (QPushButton *b : buttons) {
            // The glyph's ink: the dark pixels of the button as drawn.
            const QImage picture = dialog.copy(QRect(b->mapTo(d.get(), QPoint(0, 0)), b->size()));
            int left = picture.width(), right = -1;
            for (int y = 0; y < picture.height(); ++y)
                for (int x = 0; x < picture.width(); ++x)
                    if (qGray(picture.pixel(x, y)) < 100) {
                        left = qMin(left, x);
                        right = qMax(right, x);
                    }
            const int inkWidth = right - left + 1;
            const int glyphWidth = b->fontMetrics().boundingRect(b->text()).width();
            QVERIFY2(inkWidth >= glyphWidth - 1,
                     qPrintable(QStringLiteral("\"%0\" drawn %1 px wide of %2").arg(b->text()).arg(inkWidth).arg(glyphWidth)));
        }
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

    // A mainframe: the address fields refuse what is no address and OK waits
    // for the password; OK stores the values (under the keys earlier settings
    // were stored under, never the password) the next opening starts from.
    void mainframeValuesRestoredOnNextOpen()
    {
        {
            QPointer<QConnectDialog> d = openDialog(&connector, 0);
            auto *ok = child<QPushButton>(d, "okButton");
            QLineEdit *password = child<QLineEdit>(d, "Password");
            QTest::keyClicks(child<QLineEdit>(d, "editCustName"), "North");
            QTest::keyClicks(child<QLineEdit>(d, "Username"), "admin");
            QTest::keyClicks(password, "s3cret");
            QCOMPARE(password->echoMode(), QLineEdit::Password);
            typeIp(d, { "0", "0", "0", "0" });
            QVERIFY(!ok->isEnabled());
            // Typing past 255 or letters is refused by the field itself.
            typeIp(d, { "192", "168", "0", "256" });
            QCOMPARE(ipFields(d)[3]->text(), QString("25"));
            typeIp(d, { "192", "168", "0", "x9" });
            QCOMPARE(ipFields(d)[3]->text(), QString("9"));
            QVERIFY(ok->isEnabled());
            password->clear();
            QVERIFY(!ok->isEnabled());
            QTest::keyClicks(password, "s3cret");
            typeIp(d, { "192", "168", "0", "10" });
            QTest::mouseClick(ok, Qt::LeftButton);
            QTRY_VERIFY(d.isNull());
        }
        QCOMPARE(connector.calls.size(), 1);
        QCOMPARE(connector.calls[0].password, QString("s3cret"));
        QCOMPARE(storedKeys(), QStringList({ "MF3300_lastIpAddress", "MF3300_lastUserName",
                                             "lastConnType", "lastCustName", "lastPSType" }));
        for (const QString &k : storedKeys())
            QVERIFY2(!storedValue(k).toString().contains("s3cret"), qPrintable(k));

        // The next opening starts from the stored values (a new store object, as after a restart).
        QConnectDialog d(&connector);
        d.setAttribute(Qt::WA_DeleteOnClose, false);
        QCOMPARE(child<QLineEdit>(&d, "editCustName")->text(), QString("North"));
        QCOMPARE(d.currentValues().ipAddress, QString("192.168.0.10"));
        QVERIFY(child<QLineEdit>(&d, "Password")->text().isEmpty());
        QVERIFY(!child<QPushButton>(&d, "okButton")->isEnabled());   // the password is asked again
    }

    void typeChangeLoadsThatTypesValues()
    {
        {
            const auto s = store();
            s->setValue("PLEX_IP", "10.9.8.7");
            s->setValue("B8181_lastIpAddress", "172.16.0.1");
            s->setValue("B8181_lastUserName", "op");
            s->setValue("lastConnType", 0);
            s->setValue("lastPSType", 42);            // out of range: the type combo stays
            s->setValue("DKHV_lastLBusAddr", 99);     // out of range: the LBus combo stays
            s->setValue("DKHV_IP", "1.2.3");          // damaged address: what is there is used
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

    // ---------------------------------------- arguments and the store

    void ipAddress_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("address");
        QTest::newRow("plain") << "192.168.0.10" << "192.168.0.10";
        QTest::newRow("leading zeros") << "010.001.000.009" << "10.1.0.9";
        QTest::newRow("all zero") << "0.0.0.0" << "";
        QTest::newRow("all zero written long") << "000.0.00.0" << "";
        QTest::newRow("broadcast") << "255.255.255.255" << "";
        QTest::newRow("above 255") << "192.168.0.256" << "";
        QTest::newRow("empty field") << "192.168..1" << "";
        QTest::newRow("three fields") << "192.168.1" << "";
        QTest::newRow("five fields") << "1.2.3.4.5" << "";
        QTest::newRow("sign") << "+1.2.3.4" << "";
        QTest::newRow("letters") << "a.2.3.4" << "";
        QTest::newRow("four digits") << "1000.2.3.4" << "";
    }

    void ipAddress()
    {
        QFETCH(QString, typed);
        QFETCH(QString, address);
        QCOMPARE(normalizedIpAddress(typed), address);
    }

    void baseAddressAndPid()
    {
        for (const char *ok : { "C0", "c0", "12345678", "0xC0", "0X1f", "DEADBEEF", "0" })
            QVERIFY2(isValidBaseAddress(QString::fromLatin1(ok)), ok);
        for (const char *bad : { "", "G1", "0xG1", "123456789", "0x", "12 34", "-1", "0x1234567" "8" })
            QVERIFY2(!isValidBaseAddress(QString::fromLatin1(bad)), bad);
        QVERIFY(!isValidBaseAddress(QString::fromUtf8("\u0661\u0662")));   // non-ASCII digits

        QVERIFY(isValidPid("0") && isValidPid("999999"));
        for (const char *bad : { "1000000", "", "12a", "-5" })
            QVERIFY2(!isValidPid(QString::fromLatin1(bad)), bad);
    }

    void completeness()
    {
        // Login, base address, PID and port checks are shown through the
        // dialog's OK button; these are the cases it does not reach.
        ConnectionValues eth = values(PsType::VmeHv, VmeLink::Ethernet);
        eth.ethRows = { row("", 0, 0, "C0") };
        QVERIFY(!isComplete(eth));
        eth.ipAddress = "10.1.1.1";
        QVERIFY(isComplete(eth));

        ConnectionValues j = values(PsType::VmeHv, VmeLink::J5910);
        j.j5910Rows = { row("", 0, 0, "C0", "77"), row("", 1, 0, "D0", "") };
        QVERIFY(!isComplete(j));   // every row carries its own PID
        j.j5910Rows[1].pid = "78";
        QVERIFY(isComplete(j));

        QVERIFY(isComplete(values(PsType::Dk31xx, Dk31Link::Usb)));
        ConnectionValues dkj = values(PsType::Dk31xx, Dk31Link::J5910);
        QVERIFY(!isComplete(dkj));
        dkj.j5910Rows[0].pid = "5";
        QVERIFY(isComplete(dkj));

        ConnectionValues serial = values(PsType::Brisk, SerialLink::VcpUsb);
        serial.commPort = "COM3";
        QVERIFY(isComplete(serial));
        serial.parityIndex = -1;
        QVERIFY(!isComplete(serial));
        serial.parityIndex = 0;
        serial.commPort = "  ";
        QVERIFY(!isComplete(serial));
        serial.commPort = "COM_3";   // would split the argument
        QVERIFY(!isComplete(serial));

        QVERIFY(isComplete(values(PsType::PsBoxes, -1)));
        QVERIFY(!isComplete(values(PsType::VmeHv, -1)));
    }

    void arguments_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("link");
        QTest::addColumn<int>("systemType");
        QTest::addColumn<int>("linkType");
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("user");

        QTest::newRow("MF3300") << 0 << 0 << 2 << 0 << "192.168.0.10" << "admin";
        QTest::newRow("VME USB") << 1 << 0 << 5 << 3 << "2_0_C0" << "Board00";
        QTest::newRow("VME PCI") << 1 << 1 << 5 << 4 << "2_4_C0" << "Board00";
        QTest::newRow("VME USB3") << 1 << 2 << 5 << 6 << "4321_0_C0" << "Board00";
        QTest::newRow("VME ETH") << 1 << 3 << 5 << 0 << "192.168.0.10_0_C0" << "Board00";
        QTest::newRow("VME J5910") << 1 << 4 << 5 << 7 << "4321_2_C0" << "Board00";
        QTest::newRow("NIM TCP") << 2 << 0 << 6 << 0 << "192.168.0.10_7" << "";
        QTest::newRow("NIM VCP") << 2 << 1 << 6 << 5 << "COM3_9600_8_1_2_5" << "";
        QTest::newRow("DK31 USB") << 3 << 0 << 9 << 3 << "2_0_0" << "Board00";
        QTest::newRow("DK31 PCI") << 3 << 1 << 9 << 4 << "2_4_00000000" << "Board00";
        QTest::newRow("DK31 J5910") << 3 << 2 << 9 << 7 << "4321" << "DK31XX";
        QTest::newRow("DK31E TCP") << 4 << 0 << 11 << 0 << "192.168.0.10" << "";
        QTest::newRow("DK31E VCP") << 4 << 1 << 11 << 5 << "COM3_9600_8_1_2" << "";
        QTest::newRow("BRISK TCP") << 5 << 0 << 13 << 0 << "192.168.0.10" << "";
        QTest::newRow("BRISK VCP") << 5 << 1 << 13 << 5 << "COM3_9600_8_1_2_5" << "";
        QTest::newRow("B8181") << 7 << 0 << 16 << 0 << "192.168.0.10" << "admin";
        QTest::newRow("PLEX") << 8 << 0 << 14 << 0 << "192.168.0.10" << "";
    }

    void arguments()
    {
        QFETCH(int, type);
        QFETCH(int, link);
        ConnectionValues v = values(type, link);
        v.ipAddress = "192.168.000.010";
        if (type == PsType::MF3300 || type == PsType::B8181) {
            v.userName = "admin";
            v.password = "secret";
        }
        v.tcpLBus = 7;
        v.commPort = "COM3";
        v.baudRate = 9600;
        v.dataBits = 8;
        v.stopIndex = 1;
        v.parityIndex = 2;
        v.serialLBus = 5;
        const BoardRowValues r = row("", 2, 4, "C0", "4321");
        v.optRows = v.ethRows = v.pidRows = v.j5910Rows = { r };

        const QVector<ConnectionRequest> calls = requests(v, "crate A");
        QCOMPARE(calls.size(), 1);
        QTEST(calls[0].systemType, "systemType");
        QTEST(calls[0].linkType, "linkType");
        QTEST(calls[0].argument, "argument");
        QTEST(calls[0].userName, "user");
        QCOMPARE(calls[0].displayName, QString("crate A"));
        QCOMPARE(calls[0].password, v.password);
    }

    void rowsAndFixedArguments()
    {
        // Per-row arguments and default names are shown through the dialog.
        ConnectionValues usb3 = values(PsType::VmeHv, VmeLink::Usb3);
        usb3.pidRows = { row("", 0, 0, "C0", "17"), row("HV-left", 0, 0, "D0", "") };
        QVector<ConnectionRequest> calls = requests(usb3, "u");
        QCOMPARE(calls.size(), 2);
        QCOMPARE(calls[1].argument, QString("17_0_D0"));   // every row uses the first row's PID
        QCOMPARE(calls[1].userName, QString("HV-left"));

        // A port text is taken as it is, never as a placeholder.
        ConnectionValues brisk = values(PsType::Brisk, SerialLink::VcpUsb);
        brisk.commPort = "ttyS%1";
        brisk.baudRate = 9600;
        brisk.dataBits = 8;
        brisk.stopIndex = 0;
        brisk.parityIndex = 0;
        brisk.serialLBus = -1;
        calls = requests(brisk, "b");
        QCOMPARE(calls.size(), 1);
        QCOMPARE(calls[0].argument, QString("ttyS%1_9600_8_0_0_0"));

        calls = requests(values(PsType::PsBoxes, -1), "ignored");
        QCOMPARE(calls.size(), 1);
        QCOMPARE(QList<int>({ calls[0].systemType, calls[0].linkType }), QList<int>({ 13, 0 }));
        QCOMPARE(QStringList({ calls[0].argument, calls[0].displayName, calls[0].userName, calls[0].password }),
                 QStringList({ "127.0.0.1", "PS BOXES", "admin", "" }));

        // Incomplete values connect nothing.
        ConnectionValues bad = values(PsType::VmeHv, VmeLink::Usb);
        bad.optRows = { row("", 0, 0, "xyz") };
        QVERIFY(requests(bad, "x").isEmpty());
    }

    void settingsRowsAndStaleRows()
    {
        ConnectionValues v = values(PsType::VmeHv, VmeLink::OpticalLink);
        v.optRows = { row("A", 1, 2, "C0"), row("", 3, 4, "D0"), row("C", 5, 6, "0xE0") };
        ConnectionSettings::saveTypeValues(v);
        QCOMPARE(storedValue("HV_W1610_lastOptical3_2").toString(), QString("0xE0"));
        QCOMPARE(storedValue("lastConnType").toInt(), 1);

        ConnectionValues back = ConnectionSettings::loadTypeValues(PsType::VmeHv);
        QCOMPARE(back.linkIndex, 1);
        QCOMPARE(back.optRows, v.optRows);

        // A shorter save must not let the third row come back.
        v.optRows = { row("only", 7, 8, "F0") };
        ConnectionSettings::saveTypeValues(v);
        back = ConnectionSettings::loadTypeValues(PsType::VmeHv);
        QCOMPARE(back.optRows.size(), 1);
        QCOMPARE(back.optRows[0], row("only", 7, 8, "F0"));
        QVERIFY(!storedKeys().contains("HV_W1610_lastOptical1_2"));

        // The other prefix keeps its rows.
        ConnectionValues dk = values(PsType::Dk31xx, Dk31Link::Usb);
        dk.optRows = { row("x", 1, 0, ""), row("y", 2, 0, "") };   // as the dialog saves them
        ConnectionSettings::saveTypeValues(dk);
        QCOMPARE(ConnectionSettings::loadTypeValues(PsType::VmeHv).optRows.size(), 1);
        QCOMPARE(ConnectionSettings::loadTypeValues(PsType::Dk31xx).optRows.size(), 2);
    }

    void settingsRowRestorationStopsAtIncompleteRow()
    {
        {
            const auto s = store();
            for (int i = 0; i < 4; ++i) {
                s->setValue(QString("HV_W1610_lastBdName_%1").arg(i), QString("B%1").arg(i));
                s->setValue(QString("HV_W1610_lastOptical1_%1").arg(i), QString::number(i));
                s->setValue(QString("HV_W1610_lastOptical2_%1").arg(i), "0");
                s->setValue(QString("HV_W1610_lastOptical3_%1").arg(i), i == 2 ? "" : "C0");
            }
        }
        const QVector<BoardRowValues> rows = ConnectionSettings::loadRows("HV_W1610");
        QCOMPARE(rows.size(), 2);   // row 2 has no base address: restoration ends there
        QCOMPARE(rows[1].name, QString("B1"));

        // Row 0 always exists, even empty; garbage numbers read as 0.
        clearStore();
        store()->setValue("DKHV_31_lastOptical1_0", "seven");
        const QVector<BoardRowValues> one = ConnectionSettings::loadRows("DKHV_31");
        QCOMPARE(one.size(), 1);
        QCOMPARE(one[0].opt1, 0);
    }

    void settingsSerialAndMissingKeys()
    {
        ConnectionValues v = values(PsType::Brisk, SerialLink::VcpUsb);
        v.commPort = "COM7";
        v.baudRate = 57600;
        v.dataBits = 7;
        v.stopIndex = 2;
        v.parityIndex = 3;
        v.serialLBus = 9;
        ConnectionSettings::saveTypeValues(v);
        // "BRISK HV" and "DK31XXE HV" share the DKEHV keys.
        const ConnectionValues back = ConnectionSettings::loadTypeValues(PsType::Dk31xxE);
        QCOMPARE(back.commPort, QString("COM7"));
        QCOMPARE(QList<int>({ back.baudRate, back.dataBits, back.stopIndex, back.parityIndex, back.serialLBus }),
                 QList<int>({ 57600, 7, 2, 3, 9 }));
        QCOMPARE(storedValue("DKEHV_lastBaudRate").toInt(), 57600);

        // Nothing stored: 0 for ints.
        const ConnectionValues nim = ConnectionSettings::loadTypeValues(PsType::NimDesktop);
        QCOMPARE(nim.baudRate, 0);
        QCOMPARE(nim.tcpLBus, 0);
    }
};

KEBO_SETTINGS_TEST_MAIN(TestConnectDialog)
#include "tst_connect_dialog.moc"
