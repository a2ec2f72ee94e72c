// Behaviour of the simulated channels in manual time: ramps, trips and the
// status bits each family shows for them, commands and trip lines.
#include "TestSupport.h"

#include <QtTest>

namespace {

bool bit(int32_t word, int b)
{
    return (word >> b) & 1;
}

} // namespace

class TestPhysics : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        vhw::setTimeMode(vhw::TimeMode::Manual);
        QVERIFY(vhw::resetWorld());
    }

    void rampReachesSetVoltageInTime()
    {
        int h = openSystem("192.0.2.10", 2, 0, "admin", "admin");
        // Slot 1, channel 4: off, at 0 V.
        QCOMPARE(setChFloat(h, 1, 4, "RUp", 50), ORVEHV_OK);
        QCOMPARE(setChFloat(h, 1, 4, "RDwn", 100), ORVEHV_OK);
        QCOMPARE(setChFloat(h, 1, 4, "VSet", 1000), ORVEHV_OK);
        QCOMPARE(setChUInt(h, 1, 4, "Pw", 1), ORVEHV_OK);
        int32_t st = chInt(h, 1, 4, "Status");
        QVERIFY(bit(st, 1)); // "Up" at once
        vhw::advanceTime(19.9);
        QVERIFY(qAbs(chFloat(h, 1, 4, "VMon") - 995.0f) < 0.01f);
        QVERIFY(bit(chInt(h, 1, 4, "Status"), 1));
        vhw::advanceTime(0.1);
        QCOMPARE(chFloat(h, 1, 4, "VMon"), 1000.0f);
        st = chInt(h, 1, 4, "Status");
        QVERIFY(!bit(st, 1) && !bit(st, 2));
        QVERIFY(bit(st, 0)); // on
        // IMon follows the load (default 100 Mohm: 10 uA at 1 kV).
        QVERIFY(qAbs(chFloat(h, 1, 4, "IMon") - 10.0f) < 0.001f);
        // Down at RDwn.
        QCOMPARE(setChUInt(h, 1, 4, "Pw", 0), ORVEHV_OK);
        QVERIFY(bit(chInt(h, 1, 4, "Status"), 2));
        vhw::advanceTime(9.9);
        QVERIFY(chFloat(h, 1, 4, "VMon") > 0);
        vhw::advanceTime(0.1);
        QCOMPARE(chFloat(h, 1, 4, "VMon"), 0.0f);
        QCOMPARE(chInt(h, 1, 4, "Status"), 0);
        ORVEHV_DeinitSystem(h);
    }

    // The trip shows with the bit each family decodes as tripped.
    void tripAfterTripTime_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("link");
        QTest::addColumn<QString>("arg");
        QTest::addColumn<QString>("user");
        QTest::addColumn<int>("tripBit");
        QTest::newRow("mf3300 I-Tripped") << 2 << 0 << "192.0.2.10" << "admin" << 9;
        QTest::newRow("vme Trip") << 5 << 3 << "0_0_C0" << "" << 8;
        QTest::newRow("nim Tripped") << 6 << 0 << "192.0.2.40_1" << "" << 7;
        QTest::newRow("dk31xx Ovc") << 9 << 3 << "0_0_0" << "" << 3;
        QTest::newRow("dk31xxe Tripped") << 11 << 0 << "192.0.2.50" << "" << 7;
        QTest::newRow("brisk Tripped") << 13 << 0 << "192.0.2.60" << "" << 6;
        QTest::newRow("plex") << 14 << 0 << "192.0.2.30" << "" << 9;
        QTest::newRow("b8181 I-Tripped") << 16 << 0 << "192.0.2.20" << "admin" << 9;
    }
    void tripAfterTripTime()
    {
        QFETCH(int, type);
        QFETCH(int, link);
        QFETCH(QString, arg);
        QFETCH(QString, user);
        QFETCH(int, tripBit);
        const QByteArray a = arg.toLatin1(), u = user.toLatin1();
        int h = openSystem(a.constData(), type, link, u.constData(), u.constData());
        QVERIFY(h > 0);
        int sys = vhw::findSystem(a.toStdString(), type, link);
        const char *vset = type == 5 ? "V0Set" : "VSet";
        const char *iset = type == 5 ? "I0Set" : "ISet";
        QCOMPARE(setChFloat(h, 0, 0, vset, 400), ORVEHV_OK);
        QCOMPARE(setChFloat(h, 0, 0, "RUp", 400), ORVEHV_OK);
        QCOMPARE(setChFloat(h, 0, 0, "RDwn", 400), ORVEHV_OK);
        QCOMPARE(setChFloat(h, 0, 0, "Trip", 2.0f), ORVEHV_OK);
        QCOMPARE(setChUInt(h, 0, 0, "PDwn", 1), ORVEHV_OK); // ramp down after a trip
        QCOMPARE(setChUInt(h, 0, 0, "Pw", 1), ORVEHV_OK);
        vhw::advanceTime(2.0);
        QCOMPARE(chFloat(h, 0, 0, "VMon"), 400.0f);
        // A load that draws 400 uA, above the limit of 10 uA.
        QCOMPARE(vhw::setChannelLoad(sys, 0, 0, 1.0), ORVEHV_OK);
        QCOMPARE(setChFloat(h, 0, 0, iset, 10), ORVEHV_OK);
        vhw::advanceTime(1.9);
        int32_t st = chInt(h, 0, 0, "Status");
        QVERIFY(bit(st, 3));         // over current, not yet tripped
        QCOMPARE(chInt(h, 0, 0, "Pw"), 1);
        if (tripBit != 3)
            QVERIFY(!bit(st, tripBit));
        vhw::advanceTime(0.2);
        st = chInt(h, 0, 0, "Status");
        QVERIFY2(bit(st, tripBit), qPrintable(QString::number(st, 16)));
        QVERIFY(bit(st, 2)); // falling
        QCOMPARE(chInt(h, 0, 0, "Pw"), 0);
        vhw::advanceTime(5);
        QCOMPARE(chFloat(h, 0, 0, "VMon"), 0.0f);
        st = chInt(h, 0, 0, "Status");
        QVERIFY(bit(st, tripBit) && !bit(st, 2) && !bit(st, 0));
        if (type == 6) {
            // The NIM board word flags the alarmed channel.
            unsigned short slot = 0;
            int32_t bd = 0;
            QCOMPARE(ORVEHV_GetBdParam(h, 1, &slot, "BdStatus", &bd), ORVEHV_OK);
            QCOMPARE(bd, 1);
            uint32_t one = 1;
            QCOMPARE(ORVEHV_SetBdParam(h, 1, &slot, "ClrAlarm", &one), ORVEHV_OK);
            QCOMPARE(ORVEHV_GetBdParam(h, 1, &slot, "BdStatus", &bd), ORVEHV_OK);
            QCOMPARE(bd, 0);
        } else {
            QCOMPARE(ORVEHV_ExecComm(h, type == 13 ? "BdClr" : "ClearAlarm"),
                     (type == 5) ? ORVEHV_ERR_UNSUPPORTED : ORVEHV_OK);
            if (type == 5) // VME: switching on again clears the trip
                QCOMPARE(setChUInt(h, 0, 0, "Pw", 1), ORVEHV_OK);
        }
        QVERIFY(!bit(chInt(h, 0, 0, "Status"), tripBit));
        ORVEHV_DeinitSystem(h);
    }

    void tripWithKillPowerDownDropsAtOnce()
    {
        int h = openSystem("192.0.2.10", 2, 0, "admin", "admin");
        int sys = vhw::findSystem("192.0.2.10");
        // Slot 0 channel 5 starts at 1000 V (default world); PDwn "Kill".
        QCOMPARE(chFloat(h, 0, 5, "VMon"), 1000.0f);
        QCOMPARE(setChUInt(h, 0, 5, "PDwn", 0), ORVEHV_OK);
        QCOMPARE(setChFloat(h, 0, 5, "Trip", 0), ORVEHV_OK);
        QCOMPARE(vhw::setChannelLoad(sys, 0, 5, 0), ORVEHV_OK); // short circuit
        vhw::advanceTime(0.1);
        QCOMPARE(chFloat(h, 0, 5, "VMon"), 0.0f);
        QCOMPARE(chInt(h, 0, 5, "Status"), 1 << 9);
        // A trip time of 1000 s means "never trip".
        QCOMPARE(setChFloat(h, 0, 6, "Trip", 1000), ORVEHV_OK);
        QCOMPARE(vhw::setChannelLoad(sys, 0, 6, 0), ORVEHV_OK);
        vhw::advanceTime(30);
        QCOMPARE(chInt(h, 0, 6, "Pw"), 1);
        QVERIFY(bit(chInt(h, 0, 6, "Status"), 3));
        ORVEHV_DeinitSystem(h);
    }

    void commandsAct()
    {
        int h = openSystem("192.0.2.50", 11, 0);
        QCOMPARE(setChFloat(h, 0, 1, "VSet", 100), ORVEHV_OK);
        QCOMPARE(ORVEHV_ExecComm(h, "GlobalOn"), ORVEHV_OK);
        for (int c = 0; c < 8; ++c)
            QCOMPARE(chInt(h, 0, c, "Pw"), 1);
        vhw::advanceTime(5);
        QCOMPARE(chFloat(h, 0, 1, "VMon"), 100.0f);
        QCOMPARE(ORVEHV_ExecComm(h, "Kill"), ORVEHV_OK);
        QCOMPARE(chFloat(h, 0, 1, "VMon"), 0.0f);
        QCOMPARE(chInt(h, 0, 1, "Status"), 1 << 11); // "Kill" with the channel off
        QCOMPARE(ORVEHV_ExecComm(h, "ClearAlarm"), ORVEHV_OK);
        QCOMPARE(chInt(h, 0, 1, "Status"), 0);
        QCOMPARE(ORVEHV_ExecComm(h, "GlobalOn"), ORVEHV_OK);
        QCOMPARE(ORVEHV_ExecComm(h, "GlobalOff"), ORVEHV_OK);
        QCOMPARE(chInt(h, 0, 1, "Pw"), 0);
        ORVEHV_DeinitSystem(h);
    }

    // A trip drives the lines named by the low bits of the tripping channel's
    // word; only channels whose companion bit listens to such a line follow.
    // Internal lines stay on their board, external ones reach every board.
    void tripLinesListenAndDrive_data()
    {
        QTest::addColumn<QString>("param");
        QTest::addColumn<int>("slot");
        QTest::addColumn<int>("channel");
        QTest::addColumn<uint>("tripperWord");
        QTest::addColumn<uint>("followerWord");
        QTest::addColumn<bool>("follows");
        // slot 8: 12 channels, 6 internal lines; slot 3: 48 channels, 16 lines
        QTest::newRow("listens to the driven line") << "TripInt" << 8 << 4 << 0x104u << 0x100u << true;
        QTest::newRow("drives the line, does not listen") << "TripInt" << 8 << 4 << 0x104u << 0x004u << false;
        QTest::newRow("listens to another line") << "TripInt" << 8 << 4 << 0x104u << 0x200u << false;
        QTest::newRow("tripper only listens") << "TripInt" << 8 << 4 << 0x100u << 0x104u << false;
        QTest::newRow("internal line of another board") << "TripInt" << 3 << 4 << 0x104u << 0x40004u << false;
        QTest::newRow("16th line of a 48-channel board") << "TripInt" << 3 << 47 << 0x104u << 0x80000000u << false;
        QTest::newRow("external line across boards") << "TripExt" << 3 << 40 << 0x88u << 0x80u << true;
        QTest::newRow("external driver only") << "TripExt" << 3 << 40 << 0x88u << 0x08u << false;
    }

    void tripLinesListenAndDrive()
    {
        QFETCH(QString, param);
        QFETCH(int, slot);
        QFETCH(int, channel);
        QFETCH(uint, tripperWord);
        QFETCH(uint, followerWord);
        QFETCH(bool, follows);
        const QByteArray name = param.toLatin1();
        int h = openSystem("192.0.2.10", 2, 0, "admin", "admin");
        int sys = vhw::findSystem("192.0.2.10");
        QCOMPARE(setChUInt(h, 8, 0, name.constData(), tripperWord), ORVEHV_OK);
        QCOMPARE(setChUInt(h, slot, channel, name.constData(), followerWord), ORVEHV_OK);
        QCOMPARE(setChFloat(h, 8, 0, "VSet", 100), ORVEHV_OK);
        QCOMPARE(setChFloat(h, slot, channel, "VSet", 100), ORVEHV_OK);
        QCOMPARE(setChUInt(h, 8, 0, "Pw", 1), ORVEHV_OK);
        QCOMPARE(setChUInt(h, slot, channel, "Pw", 1), ORVEHV_OK);
        QCOMPARE(setChFloat(h, 8, 0, "Trip", 0), ORVEHV_OK);
        vhw::advanceTime(1);
        QCOMPARE(vhw::setChannelLoad(sys, 8, 0, 0), ORVEHV_OK);
        vhw::advanceTime(0.1);
        QVERIFY(bit(chInt(h, 8, 0, "Status"), 9));
        QCOMPARE(bit(chInt(h, slot, channel, "Status"), 9), follows);
        QCOMPARE(chInt(h, slot, channel, "Pw"), follows ? 0 : 1);
        ORVEHV_DeinitSystem(h);
    }

    // Raised conditions stand in the status words until cleared; an interlock
    // holds the output off and switching on is refused, not silently ignored.
    void standingConditions()
    {
        int h = openSystem("192.0.2.50", 11, 0);
        int sys = vhw::findSystem("192.0.2.50");
        QCOMPARE(setChFloat(h, 0, 1, "VSet", 100), ORVEHV_OK);
        QCOMPARE(setChUInt(h, 0, 1, "Pw", 1), ORVEHV_OK);
        vhw::advanceTime(5);
        QCOMPARE(vhw::setChannelFault(sys, 0, 1, vhw::ChannelFault::Interlock), ORVEHV_OK);
        QCOMPARE(chInt(h, 0, 1, "Pw"), 0);
        QCOMPARE(setChUInt(h, 0, 1, "Pw", 1), ORVEHV_ERR_WRITE_REFUSED);
        QCOMPARE(ORVEHV_ExecComm(h, "GlobalOn"), ORVEHV_OK);
        QCOMPARE(chInt(h, 0, 1, "Pw"), 0);
        vhw::advanceTime(5);
        QCOMPARE(chInt(h, 0, 1, "Status"), 1 << 12);
        QCOMPARE(vhw::setChannelFault(sys, 0, 1, vhw::ChannelFault::Interlock, false), ORVEHV_OK);
        QCOMPARE(chInt(h, 0, 1, "Status"), 0);
        QCOMPARE(setChUInt(h, 0, 1, "Pw", 1), ORVEHV_OK);

        // Board conditions join what the board reports by itself.
        unsigned short slot = 0;
        int32_t bd = -1;
        QCOMPARE(vhw::setBoardFault(sys, 0, vhw::BoardFault::TemperatureError), ORVEHV_OK);
        QCOMPARE(ORVEHV_GetBdParam(h, 1, &slot, "BdStatus", &bd), ORVEHV_OK);
        QCOMPARE(bd, 1 << vhw::boardFaultBit(11, vhw::BoardFault::TemperatureError));
        vhw::clearFaults(sys);
        QCOMPARE(ORVEHV_GetBdParam(h, 1, &slot, "BdStatus", &bd), ORVEHV_OK);
        QCOMPARE(bd, 0);
        // A condition the family cannot report is refused.
        QCOMPARE(vhw::setChannelFault(sys, 0, 1, vhw::ChannelFault::Unplugged), ORVEHV_ERR_UNSUPPORTED);
        QCOMPARE(vhw::setBoardFault(sys, 0, vhw::BoardFault::ClockFail), ORVEHV_ERR_UNSUPPORTED);
        QCOMPARE(vhw::setChannelFault(sys, 0, 99, vhw::ChannelFault::Kill), ORVEHV_ERR_UNKNOWN_PARAM);
        ORVEHV_DeinitSystem(h);

        // An injected status word survives a quiet channel.
        h = openSystem("192.0.2.10", 2, 0, "admin", "admin");
        sys = vhw::findSystem("192.0.2.10");
        QCOMPARE(vhw::setChannelParam(sys, 1, 0, "Status", 1 << 11), ORVEHV_OK);
        vhw::advanceTime(1);
        QCOMPARE(chInt(h, 1, 0, "Status"), 1 << 11);
        ORVEHV_DeinitSystem(h);
    }
};

QTEST_GUILESS_MAIN(TestPhysics)
#include "tst_physics.moc"
