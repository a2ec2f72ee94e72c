// Value texts that need no device: precedence within the status words of
// every system family (each single condition is shown end to end by the
// event tests), board status, hexadecimal bit fields, enumerations, unit
// texts and the channel parameter order (tool tips are shown by discovery).

#include "device/ValueText.h"

#include <QtTest>

static int bits(std::initializer_list<int> list)
{
    int w = 0;
    for (int b : list)
        w |= 1 << b;
    return w;
}

class TestValueTexts : public QObject
{
    Q_OBJECT
private slots:
    void channelStatus_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("word");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");

        // Mainframes (2, 3, 16): precedence and the nested ramp-down texts.
        QTest::newRow("mf up+down") << 2 << 0x0006 << "Up" << true;
        QTest::newRow("mf e-trip down") << 2 << 0x0044 << "E-Trp-Dwn" << false;
        QTest::newRow("mf i-trip down") << 3 << bits({2, 9, 8}) << "I-Trp-Dwn" << false;
        QTest::newRow("mf e-dis down") << 16 << bits({2, 8}) << "E-Dis-Dwn" << false;
        QTest::newRow("mf down") << 2 << 0x0004 << "Down" << true;
        QTest::newRow("mf unplugged wins") << 2 << bits({11, 10, 1}) << "Unplugg" << false;
        QTest::newRow("mf cal err over up") << 2 << bits({10, 1}) << "Cal-Err" << false;
        QTest::newRow("mf up hides trip") << 2 << bits({1, 6}) << "Up" << true;
        QTest::newRow("mf e-tripped") << 2 << bits({6, 3}) << "E-Tripped" << false;
        QTest::newRow("mf on only") << 2 << 0x0001 << "" << true;

        // VME HV boards (5): Up and Down come last and decide nothing.
        QTest::newRow("vme down+ovc") << 5 << bits({2, 3}) << "Ovc" << false;
        QTest::newRow("vme uncal wins") << 5 << bits({13, 12, 1}) << "Uncalibrated" << false;
        QTest::newRow("vme trip") << 5 << bits({8, 1}) << "Trip" << false;

        // NIM / desktop (6): bit 0 picks the table.
        QTest::newRow("nim on") << 6 << 0x0001 << "On" << true;
        QTest::newRow("nim on ramping up") << 6 << bits({0, 1}) << "Up" << true;
        QTest::newRow("nim on tripped") << 6 << bits({0, 7, 1}) << "Tripped" << false;
        QTest::newRow("nim off kill") << 6 << bits({11, 7}) << "Kill" << false;
        QTest::newRow("nim off interlock first") << 6 << bits({12, 10}) << "Interlock" << false;

        // DK31XX (9)
        QTest::newRow("dk up") << 9 << bits({1, 3}) << "Up" << true;
        QTest::newRow("dk ovc down") << 9 << bits({2, 3}) << "Ovc-Dwn" << false;
        QTest::newRow("dk calib") << 9 << bits({11, 1}) << "Calib. Err" << false;

        // DK31XXE (11)
        QTest::newRow("dke on") << 11 << 1 << "On" << true;
        QTest::newRow("dke off") << 11 << 0 << "Off" << true;

        // BRISK (13): bit 16 is used, "Temp. Warn" is an ok verdict.
        QTest::newRow("brisk cal err") << 13 << bits({16, 1}) << "Cal. Err." << false;
        QTest::newRow("brisk comm fail first") << 13 << bits({13, 16}) << "Comm. Fail" << false;
        QTest::newRow("brisk temp warn ok") << 13 << bits({8, 3}) << "Temp. Warn" << true;
        QTest::newRow("brisk ovc") << 13 << bits({3, 1}) << "Ovc" << false;

        // Unknown families show nothing and are never faulty.
        QTest::newRow("other") << 99 << 0xFFFF << "" << true;
        QTest::newRow("negative word") << 2 << int(0xFFFFFFFF) << "Unplugg" << false;
    }

    void channelStatus()
    {
        QFETCH(int, type);
        QFETCH(int, word);
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QCOMPARE(channelStatusText(type, word), text);
        QCOMPARE(channelStatusOk(type, word), ok);
    }

    void boardStatus_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("word");
        QTest::addColumn<QString>("text");
        QTest::newRow("mf none") << 2 << 0 << "";
        QTest::newRow("mf fw before pw") << 3 << 0x03 << "FW CHKERR";
        QTest::newRow("mf only low byte") << 2 << 0x100 << "";
        QTest::newRow("nim clock first") << 6 << 0x41 << "HV Clock Fail";
        QTest::newRow("nim ch2") << 6 << 0x04 << "Ch2 Alarm";
        QTest::newRow("dke alarmed") << 11 << 0x100 << "Alarmed";
        QTest::newRow("dke none") << 11 << 0 << "";
        QTest::newRow("brisk good") << 13 << 0 << "Good";
        QTest::newRow("brisk temp first") << 13 << 0x0F << "Temp. Err.";
        QTest::newRow("dk nothing") << 9 << 0xFF << "";
    }

    void boardStatus()
    {
        QFETCH(int, type);
        QFETCH(int, word);
        QFETCH(QString, text);
        QCOMPARE(boardStatusText(type, word), text);
    }

    void hexBothWays()
    {
        QCOMPARE(hexText(0xABCDEF12LL), QStringLiteral("ABCDEF12"));
        // A signed 32-bit word is shown as its bits, never with a minus sign.
        QCOMPARE(hexText(-1), QStringLiteral("FFFFFFFF"));
        QCOMPARE(hexFromText(QStringLiteral("0x 1A")), qint64(26));
        QCOMPARE(hexFromText(QStringLiteral("FFFFFFFF")), qint64(0xFFFFFFFFLL));
        QCOMPARE(hexFromText(QStringLiteral("xyz")), qint64(0));
    }

    void enumBothWays()
    {
        const QStringList abc{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")};
        QCOMPARE(enumText(abc, 1, 3, 1), QStringLiteral("A"));
        QCOMPARE(enumText(abc, 1, 3, 0), QString());
        QCOMPARE(enumText(abc, 1, 3, 4), QString());
        QCOMPARE(enumText(abc, 1, 5, 5), QString()); // in range, no such entry
        QCOMPARE(enumFromText(abc, 1, QStringLiteral("C")), 3);
        QCOMPARE(enumFromText(abc, 1, QStringLiteral("Z")), 0);
        // Limits a broken device might report never index outside the list.
        QCOMPARE(enumText(abc, qQNaN(), 3, 1), QString());
        QCOMPARE(enumText(abc, 0, qQNaN(), 1), QString());
        QCOMPARE(enumText(abc, -1e300, 1e300, 1), QString());
        QCOMPARE(enumFromText(abc, 1e300, QStringLiteral("A")), 0);
        QCOMPARE(enumFromText(abc, qQNaN(), QStringLiteral("A")), 0);
    }

    // Units, states, numbers and the connection item.
    void shortTexts()
    {
        QCOMPARE(unitText(0, true, 2, true, 3), QStringLiteral("KV"));
        QCOMPARE(unitText(0, true, 99, true, -9), QStringLiteral("n"));
        QCOMPARE(unitText(0, false, 0, false, 0), QString());
        QCOMPARE(unitText(6, true, 3, false, 0), QStringLiteral("W"));
        // A bit field is always hexadecimal, whatever its unit says.
        QCOMPARE(unitText(4, true, 2, true, -3), QStringLiteral("0x"));
        QCOMPARE(unitText(4, false, 0, false, 0), QStringLiteral("0x"));
        // "+" / "-" become "POS" / "NEG" on channels (shown by discovery), padded or not.
        QCOMPARE(stateText(QStringLiteral(" - "), true), QStringLiteral("NEG"));
        QCOMPARE(stateText(QStringLiteral("+"), false), QStringLiteral("+"));
        QCOMPARE(stateText(QStringLiteral("++"), true), QStringLiteral("++"));
        QCOMPARE(fixedText(1.5, -4), QStringLiteral("2")); // a bad "Decimal" cannot break the text
        QCOMPARE(connectionText(2), QStringLiteral("Connection Ko"));
        QCOMPARE(connectionText(3), QString());
    }

    void parameterOrder_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<int>("start");
        QTest::addColumn<QStringList>("expected");
        auto l = [](const char *s) { return QString::fromLatin1(s).split(QLatin1Char(' '), Qt::SkipEmptyParts); };
        QTest::newRow("library order") << l("VMon Pw ISet VSet Status") << 0 << l("ISet VSet VMon Pw Status");
        QTest::newRow("with name") << l("Name VMon Pw ISet VSet Status") << 1 << l("Name ISet VSet VMon Pw Status");
        // A parameter already in place keeps it; the next moved one goes after it.
        QTest::newRow("in place") << l("I0Set VMon V0Set IMon") << 0 << l("I0Set V0Set IMon VMon");
        QTest::newRow("case blind") << l("vmon iset") << 0 << l("iset vmon");
        QTest::newRow("others keep order") << l("Zeta RDwn Alpha RUp Trip Pw X1 X2 X3 X4") << 0
                                           << l("Pw RUp RDwn Trip Zeta Alpha X1 X2 X3 X4");
        QTest::newRow("single") << l("VMon") << 0 << l("VMon");
        QTest::newRow("empty") << QStringList() << 0 << QStringList();
    }

    void parameterOrder()
    {
        QFETCH(QStringList, names);
        QFETCH(int, start);
        QFETCH(QStringList, expected);
        const QVector<int> order = channelParameterOrder(names, start);
        QStringList got;
        for (int i : order)
            got.append(names.at(i));
        QCOMPARE(got, expected);
    }
};

QTEST_GUILESS_MAIN(TestValueTexts)
#include "tst_value_texts.moc"
