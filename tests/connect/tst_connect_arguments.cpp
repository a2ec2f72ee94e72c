// Connection arguments for every type and link, field validation, and the
// connection settings store (keys, rows, passwords).
#include "IsolatedSettings.h"

#include "connect/ConnectionArguments.h"
#include "persist/ConnectionSettings.h"

using namespace ConnectionArguments;

namespace {

BoardRowValues row(const QString &name, int opt1, int opt2, const QString &base, const QString &pid = {})
{
    BoardRowValues r;
    r.name = name;
    r.opt1 = opt1;
    r.opt2 = opt2;
    r.baseAddress = base;
    r.pid = pid;
    return r;
}

ConnectionValues values(int type, int link)
{
    ConnectionValues v;
    v.psType = type;
    v.linkIndex = link;
    v.optRows = { BoardRowValues() };
    v.ethRows = { BoardRowValues() };
    v.pidRows = { BoardRowValues() };
    v.j5910Rows = { BoardRowValues() };
    return v;
}

} // namespace

class TestConnectArguments : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY2(storeIsIsolated(), "settings store is not isolated");
    }
    void init() { clearStore(); }

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

    void settingsMainframeKeys()
    {
        ConnectionValues v = values(PsType::MF3300, 0);
        v.ipAddress = "192.168.0.10";
        v.userName = "admin";
        v.password = "do-not-store";
        ConnectionSettings::saveTypeValues(v);
        ConnectionSettings::saveNameAndType("North crate", PsType::MF3300);

        // The key names are those earlier settings were stored under.
        QCOMPARE(storedKeys(), QStringList({ "MF3300_lastIpAddress", "MF3300_lastUserName",
                                             "lastConnType", "lastCustName", "lastPSType" }));
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
            QSettings s(QSettings::NativeFormat, QSettings::UserScope, "ORVE", "App");
            for (int i = 0; i < 4; ++i) {
                s.setValue(QString("HV_W1610_lastBdName_%1").arg(i), QString("B%1").arg(i));
                s.setValue(QString("HV_W1610_lastOptical1_%1").arg(i), QString::number(i));
                s.setValue(QString("HV_W1610_lastOptical2_%1").arg(i), "0");
                s.setValue(QString("HV_W1610_lastOptical3_%1").arg(i), i == 2 ? "" : "C0");
            }
        }
        const QVector<BoardRowValues> rows = ConnectionSettings::loadRows("HV_W1610");
        QCOMPARE(rows.size(), 2);   // row 2 has no base address: restoration ends there
        QCOMPARE(rows[1].name, QString("B1"));

        // Row 0 always exists, even empty; garbage numbers read as 0.
        clearStore();
        {
            QSettings s(QSettings::NativeFormat, QSettings::UserScope, "ORVE", "App");
            s.setValue("DKHV_31_lastOptical1_0", "seven");
        }
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

KEBO_SETTINGS_TEST_MAIN(TestConnectArguments)
#include "tst_connect_arguments.moc"
