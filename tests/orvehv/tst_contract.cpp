// The device library's C contract: systems and logins, list layouts and their
// release, buffer limits, value cells and result codes; and the behaviour of
// the simulated channels in manual time: ramps, trips and the status bits each
// family shows for them, commands and trip lines.
#include "TestSupport.h"

#include <QtTest>

#include <limits>

namespace {

bool bit(int32_t word, int b)
{
    return (word >> b) & 1;
}

} // namespace

class TestContract : public QObject
{
    Q_OBJECT

private:
    int mf = -1;    // the MF3300 at 192.0.2.10, opened for every test
    int mfSys = -1; // its virtual system

private slots:
    void init()
    {
        vhw::setTimeMode(vhw::TimeMode::Manual);
        QVERIFY(vhw::resetWorld());
        mf = openSystem("192.0.2.10", ORVEHV_SYS_MF3300, ORVEHV_LINK_TCPIP, "admin", "admin");
        mfSys = vhw::findSystem("192.0.2.10");
        QVERIFY(mf > 0 && mfSys >= 0);
    }
    void cleanup() { ORVEHV_DeinitSystem(mf); }

    // Every system of the world opens with its own login only (every family
    // opens through the program too).
    void everyDefaultSystemOpensWithItsLoginOnly_data()
    {
        QTest::addColumn<QString>("arg");
        for (const vhw::SystemInfo &s : vhw::listSystems())
            QTest::newRow(s.argument.c_str()) << QString::fromStdString(s.argument);
    }
    void everyDefaultSystemOpensWithItsLoginOnly()
    {
        QFETCH(QString, arg);
        const vhw::SystemInfo s = worldSystem(arg.toStdString());
        const char *a = s.argument.c_str(), *u = s.user.c_str(), *p = s.password.c_str();
        const int type = s.systemType, link = s.linkType;
        int h = -1;
        // The argument is matched without regard to case.
        const QByteArray lower = arg.toLower().toLatin1();
        QCOMPARE(ORVEHV_InitSystem(type, link, lower.constData(), u, p, &h), ORVEHV_OK);
        ORVEHV_DeinitSystem(h);
        if (s.hasLogin) {
            QCOMPARE(ORVEHV_InitSystem(type, link, a, "", "", &h), ORVEHV_ERR_LOGIN);
            QCOMPARE(ORVEHV_InitSystem(type, link, a, u, "wrong", &h), ORVEHV_ERR_LOGIN);
            QCOMPARE(ORVEHV_InitSystem(type, link, a, "someone", p, &h), ORVEHV_ERR_LOGIN);
        }
        // Same argument over another link, or of another type, is another system.
        QCOMPARE(ORVEHV_InitSystem(type, link == 7 ? 6 : 7, a, u, p, &h), ORVEHV_ERR_UNKNOWN_SYSTEM);
    }

    void openingCodes()
    {
        int h = 0;
        QCOMPARE(ORVEHV_InitSystem(2, 0, "192.0.2.99", "admin", "admin", &h), ORVEHV_ERR_UNKNOWN_SYSTEM);
        QCOMPARE(ORVEHV_InitSystem(2, 0, nullptr, "", "", &h), ORVEHV_ERR_BAD_ARGUMENT);
        QCOMPARE(ORVEHV_InitSystem(2, 0, "192.0.2.10", "admin", "admin", nullptr), ORVEHV_ERR_BAD_ARGUMENT);
        // The argument buffer is 80 bytes: 79 characters pass, 80 do not.
        std::string arg79(79, 'x'), arg80(80, 'x');
        QCOMPARE(ORVEHV_InitSystem(2, 0, arg79.c_str(), "", "", &h), ORVEHV_ERR_UNKNOWN_SYSTEM);
        QCOMPARE(ORVEHV_InitSystem(2, 0, arg80.c_str(), "", "", &h), ORVEHV_ERR_BAD_ARGUMENT);
        // Refused login drill.
        int sys = vhw::findSystem("192.0.2.60");
        QVERIFY(sys >= 0);
        vhw::refuseLogin(sys);
        QCOMPARE(ORVEHV_InitSystem(13, 0, "192.0.2.60", "", "", &h), ORVEHV_ERR_LOGIN);
        vhw::clearFaults(sys);
        QCOMPARE(ORVEHV_InitSystem(13, 0, "192.0.2.60", "", "", &h), ORVEHV_OK);
        ORVEHV_DeinitSystem(h);
        // Closed handles are refused.
        QCOMPARE(ORVEHV_DeinitSystem(h), ORVEHV_ERR_BAD_HANDLE);
        unsigned short n;
        char *names = reinterpret_cast<char *>(0x1);
        QCOMPARE(ORVEHV_GetSysPropList(h, &n, &names), ORVEHV_ERR_BAD_HANDLE);
        QVERIFY(names == nullptr);
        QCOMPARE(ORVEHV_Free(nullptr), ORVEHV_OK);
        QCOMPARE(ORVEHV_FreeEventData(nullptr), ORVEHV_OK);
    }

    // The discovery alias 127.0.2.10 opens the crate of 192.0.2.10 with its login,
    // so a mainframe picked from autodetection can be connected.
    void loopbackAliasOpensTheSameSystem()
    {
        int h = -1;
        QCOMPARE(ORVEHV_InitSystem(2, 0, "127.0.2.10", "admin", "admin", &h), ORVEHV_OK);
        QCOMPARE(crateMap(h).serials, crateMap(mf).serials);
        // One system: a value written through one handle is read through the other.
        QCOMPARE(setChFloat(h, 0, 1, "VSet", 1234), ORVEHV_OK);
        QCOMPARE(chFloat(mf, 0, 1, "VSet"), 1234.0f);
        ORVEHV_DeinitSystem(h);
        QCOMPARE(crateMap(mf).rc, ORVEHV_OK); // closing the alias handle leaves the other open
        // Same login as the argument, and only for this type and link.
        QCOMPARE(ORVEHV_InitSystem(2, 0, "127.0.2.10", "admin", "wrong", &h), ORVEHV_ERR_LOGIN);
        QCOMPARE(ORVEHV_InitSystem(13, 0, "127.0.2.10", "admin", "admin", &h), ORVEHV_ERR_UNKNOWN_SYSTEM);
        QCOMPARE(ORVEHV_InitSystem(2, 7, "127.0.2.10", "admin", "admin", &h), ORVEHV_ERR_UNKNOWN_SYSTEM);
        QCOMPARE(ORVEHV_InitSystem(2, 0, "127.0.2.12", "admin", "admin", &h), ORVEHV_ERR_UNKNOWN_SYSTEM);
    }

    // A failed crate map call leaves every list pointer null, so freeing
    // them is safe. (The layout itself is checked through discovery.)
    void failedCrateMapLeavesNoLists()
    {
        vhw::failRead(mfSys, "CrateMap", ORVEHV_ERR_DEVICE);
        unsigned short nslots = 0, *ch = reinterpret_cast<unsigned short *>(0x10);
        char *models = nullptr, *descr = nullptr;
        uint32_t *serials = nullptr;
        unsigned char *fmin = nullptr, *fmax = nullptr;
        QCOMPARE(ORVEHV_GetCrateMap(mf, &nslots, &ch, &models, &descr, &serials, &fmin, &fmax), ORVEHV_ERR_DEVICE);
        QVERIFY(!ch && !models && !descr && !serials && !fmin && !fmax);
        vhw::clearFaults();
    }

    void parameterNameCells()
    {
        char *cells = nullptr;
        int count = -1;
        // The 24-channel board lists its channel parameters out of priority order.
        QCOMPARE(ORVEHV_GetChParamInfo(mf, 1, 0, &cells, &count), ORVEHV_OK);
        QVERIFY(count >= 5);
        QStringList names;
        for (int i = 0;; ++i) {
            const char *cell = cells + i * ORVEHV_PARAM_NAME_CELL;
            if (!*cell)
                break;
            QVERIFY(strnlen(cell, ORVEHV_PARAM_NAME_CELL) < size_t(ORVEHV_PARAM_NAME_CELL));
            names << QString::fromLatin1(cell);
        }
        QCOMPARE(names.size(), count);
        QCOMPARE(names.mid(0, 5), (QStringList{"VMon", "Pw", "ISet", "VSet", "Status"}));
        ORVEHV_Free(cells);

        QCOMPARE(ORVEHV_GetBdParamInfo(mf, 0, &cells), ORVEHV_OK);
        QCOMPARE(QString::fromLatin1(cells), QString("BdStatus"));
        ORVEHV_Free(cells);
        QCOMPARE(ORVEHV_GetBdParamInfo(mf, 2, &cells), ORVEHV_ERR_UNKNOWN_PARAM); // empty slot
        QVERIFY(!cells);
        QCOMPARE(ORVEHV_GetChParamInfo(mf, 0, 12, &cells, &count), ORVEHV_ERR_UNKNOWN_PARAM);
    }

    void parameterProperties()
    {
        // The exponent has a 16-bit signed cell of its own.
        float f = 0;
        int16_t exp = 0;
        QCOMPARE(ORVEHV_GetChParamProp(mf, 0, 0, "ISet", "Exp", &exp), ORVEHV_OK);
        QCOMPARE(int(exp), -6);
        uint32_t u = 0;
        QCOMPARE(ORVEHV_GetChParamProp(mf, 0, 0, "Status", "Minval", &f), ORVEHV_ERR_UNKNOWN_PARAM);
        QCOMPARE(ORVEHV_GetChParamProp(mf, 0, 0, "VSet", "Colour", &u), ORVEHV_ERR_UNKNOWN_PARAM);
        QCOMPARE(ORVEHV_GetChParamProp(mf, 0, 0, "NoSuch", "Type", &u), ORVEHV_ERR_UNKNOWN_PARAM);

        // Enumeration: 15-byte cells in a 152-byte buffer, never beyond it.
        char buf[ORVEHV_ENUM_BUFFER + 16];
        std::memset(buf, 0x5A, sizeof buf);
        QCOMPARE(ORVEHV_GetChParamProp(mf, 0, 0, "PDwn", "Enum", buf), ORVEHV_OK);
        QCOMPARE(buf[2 * ORVEHV_ENUM_CELL], '\0');
        for (size_t i = ORVEHV_ENUM_BUFFER; i < sizeof buf; ++i)
            QCOMPARE(buf[i], char(0x5A));
        std::memset(buf, 0x5A, sizeof buf);
        QCOMPARE(ORVEHV_GetBdParamProp(mf, 3, "AvgFilter", "Enum", buf), ORVEHV_OK);
        QCOMPARE(QString(buf + 9 * ORVEHV_ENUM_CELL), QString("512"));
        QCOMPARE(buf[ORVEHV_ENUM_BUFFER], char(0x5A));
        QCOMPARE(ORVEHV_GetChParamProp(mf, 0, 0, "VSet", "Enum", buf), ORVEHV_ERR_UNKNOWN_PARAM);
    }

    void systemProperties()
    {
        // Text reads stay inside 2048 bytes even for a long text.
        QCOMPARE(vhw::setSysProp(mfSys, "CmdQueueStatus", std::string(2047, 'q')), ORVEHV_OK);
        QCOMPARE(vhw::setSysProp(mfSys, "CmdQueueStatus", std::string(2048, 'q')), ORVEHV_ERR_OUT_OF_RANGE);
        std::vector<char> text(ORVEHV_SYSPROP_TEXT_READ + 8, 0x5A);
        QCOMPARE(ORVEHV_GetSysProp(mf, "CmdQueueStatus", text.data()), ORVEHV_OK);
        QCOMPARE(std::strlen(text.data()), size_t(2047));
        QCOMPARE(text[ORVEHV_SYSPROP_TEXT_READ], char(0x5A));

        // Text writes: at most 79 characters.
        std::string ip79(79, '1'), ip80(80, '1');
        QCOMPARE(ORVEHV_SetSysProp(mf, "IPAddr", const_cast<char *>(ip79.c_str())), ORVEHV_OK);
        QCOMPARE(ORVEHV_SetSysProp(mf, "IPAddr", const_cast<char *>(ip80.c_str())), ORVEHV_ERR_BAD_ARGUMENT);
        QCOMPARE(QString::fromStdString(vhw::sysPropText(mfSys, "IPAddr")), QString::fromStdString(ip79));

        uint16_t speed = 3;
        QCOMPARE(ORVEHV_SetSysProp(mf, "HVFanSpeed", &speed), ORVEHV_ERR_OUT_OF_RANGE);
        char cpu[ORVEHV_SYSPROP_TEXT_WRITE] = "1:2:3";
        QCOMPARE(ORVEHV_SetSysProp(mf, "CPULoad", cpu), ORVEHV_ERR_WRITE_REFUSED);
        int16_t flag = 2;
        QCOMPARE(ORVEHV_SetSysProp(mf, "LowFanEnable", &flag), ORVEHV_ERR_OUT_OF_RANGE);
    }

    void parameterValues()
    {
        QCOMPARE(setChFloat(mf, 0, 2, "VSet", 1500.5f), ORVEHV_OK);
        QCOMPARE(chFloat(mf, 0, 2, "VSet"), 1500.5f);
        QCOMPARE(setChFloat(mf, 0, 2, "VSet", 2000.1f), ORVEHV_ERR_OUT_OF_RANGE);
        QCOMPARE(setChFloat(mf, 0, 2, "VSet", -1.0f), ORVEHV_ERR_OUT_OF_RANGE);
        QCOMPARE(setChFloat(mf, 0, 2, "VSet", std::numeric_limits<float>::quiet_NaN()), ORVEHV_ERR_OUT_OF_RANGE);
        QCOMPARE(chFloat(mf, 0, 2, "VSet"), 1500.5f);
        QCOMPARE(setChUInt(mf, 0, 2, "Status", 0), ORVEHV_ERR_WRITE_REFUSED);
        QCOMPARE(setChUInt(mf, 0, 2, "Pw", 2), ORVEHV_ERR_OUT_OF_RANGE);
        QCOMPARE(setChFloat(mf, 0, 2, "Nope", 1), ORVEHV_ERR_UNKNOWN_PARAM);
        QCOMPARE(setChFloat(mf, 2, 0, "VSet", 1), ORVEHV_ERR_UNKNOWN_PARAM); // empty slot
        QCOMPARE(setChFloat(mf, 0, 12, "VSet", 1), ORVEHV_ERR_UNKNOWN_PARAM);
        QCOMPARE(setChUInt(mf, 0, 2, "PDwn", 2), ORVEHV_ERR_OUT_OF_RANGE);
        QCOMPARE(setChUInt(mf, 8, 2, "TripInt", 0x104), ORVEHV_OK);
        QCOMPARE(setChUInt(mf, 8, 2, "TripInt", 0x1000), ORVEHV_ERR_OUT_OF_RANGE);
        QCOMPARE(setChUInt(mf, 8, 2, "TripExt", 0xFFFFFFFFu), ORVEHV_ERR_OUT_OF_RANGE);

        // One value per listed channel.
        unsigned short list[3] = {0, 1, 2};
        float vals[4] = {-1, -1, -1, 42};
        QCOMPARE(ORVEHV_GetChParam(mf, 0, "VSet", 3, list, vals), ORVEHV_OK);
        QCOMPARE(vals[0], 1000.0f);
        QCOMPARE(vals[2], 1500.5f);
        QCOMPARE(vals[3], 42.0f);
        QCOMPARE(ORVEHV_GetChParam(mf, 0, "VSet", 0, list, vals), ORVEHV_ERR_BAD_ARGUMENT);
        QCOMPARE(ORVEHV_GetChParam(mf, 0, "VSet", 1, nullptr, vals), ORVEHV_ERR_BAD_ARGUMENT);

        // Board values.
        unsigned short slot = 0;
        int32_t status = -1;
        QCOMPARE(ORVEHV_GetBdParam(mf, 1, &slot, "BdStatus", &status), ORVEHV_OK);
        QCOMPARE(status, 0);
        QCOMPARE(ORVEHV_SetBdParam(mf, 1, &slot, "BdStatus", &status), ORVEHV_ERR_WRITE_REFUSED);
        float temp = 0;
        QCOMPARE(ORVEHV_GetBdParam(mf, 1, &slot, "Temp", &temp), ORVEHV_OK);
        QVERIFY(temp > 0);

        // The NIM unit's write-only "ClrAlarm".
        int nim = openSystem("192.0.2.40_1", 6, 0);
        uint32_t one = 1;
        QCOMPARE(ORVEHV_GetBdParam(nim, 1, &slot, "ClrAlarm", &one), ORVEHV_ERR_UNSUPPORTED);
        uint32_t mode = 9;
        QCOMPARE(ORVEHV_GetBdParamProp(nim, 0, "ClrAlarm", "Mode", &mode), ORVEHV_OK);
        QCOMPARE(mode, uint32_t(ORVEHV_MODE_WRONLY));
        ORVEHV_DeinitSystem(nim);

        // A write fault on every name refuses commands too; cleared faults
        // let reads and writes through again.
        vhw::failRead(mfSys, "VSet", ORVEHV_ERR_DEVICE);
        vhw::failWrite(mfSys, "*", ORVEHV_ERR_WRITE_REFUSED);
        QCOMPARE(setChFloat(mf, 0, 0, "ISet", 10), ORVEHV_ERR_WRITE_REFUSED);
        QCOMPARE(ORVEHV_ExecComm(mf, "Kill"), ORVEHV_ERR_WRITE_REFUSED);
        vhw::clearFaults(mfSys);
        QCOMPARE(chFloat(mf, 0, 2, "VSet"), 1500.5f);
    }

    void channelNames()
    {
        unsigned short c = 1;
        char names[2][ORVEHV_CHANNEL_NAME_LEN];
        std::memset(names, 0x5A, sizeof names);
        QCOMPARE(ORVEHV_GetChName(mf, 0, 1, &c, names), ORVEHV_OK);
        QCOMPARE(QString(names[0]), QString("BEAM-R"));
        QCOMPARE(names[1][0], char(0x5A));
        QCOMPARE(vhw::setChannelName(mfSys, 0, 1, std::string(12, 'x')), ORVEHV_ERR_OUT_OF_RANGE);
        c = 12;
        QCOMPARE(ORVEHV_GetChName(mf, 0, 1, &c, names), ORVEHV_ERR_UNKNOWN_PARAM);
    }

    // ------------------------------------------------- channel behaviour

    void rampReachesSetVoltageInTime()
    {
        // Slot 1, channel 4: off, at 0 V.
        QCOMPARE(setChFloat(mf, 1, 4, "RUp", 50), ORVEHV_OK);
        QCOMPARE(setChFloat(mf, 1, 4, "RDwn", 100), ORVEHV_OK);
        QCOMPARE(setChFloat(mf, 1, 4, "VSet", 1000), ORVEHV_OK);
        QCOMPARE(setChUInt(mf, 1, 4, "Pw", 1), ORVEHV_OK);
        QVERIFY(bit(chInt(mf, 1, 4, "Status"), 1)); // "Up" at once
        vhw::advanceTime(19.9);
        QVERIFY(qAbs(chFloat(mf, 1, 4, "VMon") - 995.0f) < 0.01f);
        QVERIFY(bit(chInt(mf, 1, 4, "Status"), 1));
        vhw::advanceTime(0.1);
        QCOMPARE(chFloat(mf, 1, 4, "VMon"), 1000.0f);
        QCOMPARE(chInt(mf, 1, 4, "Status"), 1); // on, neither up nor down
        // IMon follows the load (default 100 Mohm: 10 uA at 1 kV).
        QVERIFY(qAbs(chFloat(mf, 1, 4, "IMon") - 10.0f) < 0.001f);
        // Down at RDwn.
        QCOMPARE(setChUInt(mf, 1, 4, "Pw", 0), ORVEHV_OK);
        QVERIFY(bit(chInt(mf, 1, 4, "Status"), 2));
        vhw::advanceTime(9.9);
        QVERIFY(chFloat(mf, 1, 4, "VMon") > 0);
        vhw::advanceTime(0.1);
        QCOMPARE(chFloat(mf, 1, 4, "VMon"), 0.0f);
        QCOMPARE(chInt(mf, 1, 4, "Status"), 0);
    }

    // The trip shows with the bit each family decodes as tripped.
    void tripAfterTripTime_data()
    {
        QTest::addColumn<QString>("arg");
        QTest::addColumn<int>("tripBit");
        QTest::newRow("mf3300 I-Tripped") << "192.0.2.10" << 9;
        QTest::newRow("vme Trip") << "0_0_C0" << 8;
        QTest::newRow("nim Tripped") << "192.0.2.40_1" << 7;
        QTest::newRow("dk31xx Ovc") << "0_0_0" << 3;
        QTest::newRow("dk31xxe Tripped") << "192.0.2.50" << 7;
        QTest::newRow("brisk Tripped") << "192.0.2.60" << 6;
        QTest::newRow("plex") << "192.0.2.30" << 9;
        QTest::newRow("b8181 I-Tripped") << "192.0.2.20" << 9;
    }
    void tripAfterTripTime()
    {
        QFETCH(QString, arg);
        QFETCH(int, tripBit);
        const vhw::SystemInfo info = worldSystem(arg.toStdString());
        const int type = info.systemType, sys = info.id;
        const int h = openWorldSystem(info);
        QVERIFY(h > 0);
        QCOMPARE(setChFloat(h, 0, 0, type == 5 ? "V0Set" : "VSet", 400), ORVEHV_OK);
        QCOMPARE(setChFloat(h, 0, 0, "RUp", 400), ORVEHV_OK);
        QCOMPARE(setChFloat(h, 0, 0, "RDwn", 400), ORVEHV_OK);
        QCOMPARE(setChFloat(h, 0, 0, "Trip", 2.0f), ORVEHV_OK);
        QCOMPARE(setChUInt(h, 0, 0, "PDwn", 1), ORVEHV_OK); // ramp down after a trip
        QCOMPARE(setChUInt(h, 0, 0, "Pw", 1), ORVEHV_OK);
        vhw::advanceTime(2.0);
        QCOMPARE(chFloat(h, 0, 0, "VMon"), 400.0f);
        // A load that draws 400 uA, above the limit of 10 uA.
        QCOMPARE(vhw::setChannelLoad(sys, 0, 0, 1.0), ORVEHV_OK);
        QCOMPARE(setChFloat(h, 0, 0, type == 5 ? "I0Set" : "ISet", 10), ORVEHV_OK);
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
        // Slot 0 channel 5 starts at 1000 V (default world); PDwn "Kill".
        QCOMPARE(chFloat(mf, 0, 5, "VMon"), 1000.0f);
        QCOMPARE(setChUInt(mf, 0, 5, "PDwn", 0), ORVEHV_OK);
        QCOMPARE(setChFloat(mf, 0, 5, "Trip", 0), ORVEHV_OK);
        QCOMPARE(vhw::setChannelLoad(mfSys, 0, 5, 0), ORVEHV_OK); // short circuit
        vhw::advanceTime(0.1);
        QCOMPARE(chFloat(mf, 0, 5, "VMon"), 0.0f);
        QCOMPARE(chInt(mf, 0, 5, "Status"), 1 << 9);
        // A trip time of 1000 s means "never trip".
        QCOMPARE(setChFloat(mf, 0, 6, "Trip", 1000), ORVEHV_OK);
        QCOMPARE(vhw::setChannelLoad(mfSys, 0, 6, 0), ORVEHV_OK);
        vhw::advanceTime(30);
        QCOMPARE(chInt(mf, 0, 6, "Pw"), 1);
        QVERIFY(bit(chInt(mf, 0, 6, "Status"), 3));
    }

    void commandsActPerFamily()
    {
        QCOMPARE(ORVEHV_ExecComm(mf, "BdClr"), ORVEHV_ERR_UNSUPPORTED);
        QCOMPARE(ORVEHV_ExecComm(mf, "Explode"), ORVEHV_ERR_UNSUPPORTED);
        QCOMPARE(ORVEHV_ExecComm(mf, nullptr), ORVEHV_ERR_BAD_ARGUMENT);
        int brisk = openSystem("192.0.2.60", 13, 0);
        QCOMPARE(ORVEHV_ExecComm(brisk, "ClearAlarm"), ORVEHV_ERR_UNSUPPORTED);
        ORVEHV_DeinitSystem(brisk);
        // NIM and VME channels are switched off by writes, not by commands.
        int nim = openSystem("COM3_9600_8_0_0_0", 6, 5);
        QCOMPARE(ORVEHV_ExecComm(nim, "Kill"), ORVEHV_ERR_UNSUPPORTED);
        ORVEHV_DeinitSystem(nim);

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
        QCOMPARE(setChUInt(mf, 8, 0, name.constData(), tripperWord), ORVEHV_OK);
        QCOMPARE(setChUInt(mf, slot, channel, name.constData(), followerWord), ORVEHV_OK);
        QCOMPARE(setChFloat(mf, 8, 0, "VSet", 100), ORVEHV_OK);
        QCOMPARE(setChFloat(mf, slot, channel, "VSet", 100), ORVEHV_OK);
        QCOMPARE(setChUInt(mf, 8, 0, "Pw", 1), ORVEHV_OK);
        QCOMPARE(setChUInt(mf, slot, channel, "Pw", 1), ORVEHV_OK);
        QCOMPARE(setChFloat(mf, 8, 0, "Trip", 0), ORVEHV_OK);
        vhw::advanceTime(1);
        QCOMPARE(vhw::setChannelLoad(mfSys, 8, 0, 0), ORVEHV_OK);
        vhw::advanceTime(0.1);
        QVERIFY(bit(chInt(mf, 8, 0, "Status"), 9));
        QCOMPARE(bit(chInt(mf, slot, channel, "Status"), 9), follows);
        QCOMPARE(chInt(mf, slot, channel, "Pw"), follows ? 0 : 1);
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
        QCOMPARE(vhw::setChannelParam(mfSys, 1, 0, "Status", 1 << 11), ORVEHV_OK);
        vhw::advanceTime(1);
        QCOMPARE(chInt(mf, 1, 0, "Status"), 1 << 11);
    }

    // A crate whose 48 V supply is switched off holds every output off: its
    // outputs drop, switching on and Global ON are refused, and the status
    // words and supply read-outs show it until the supply is back.
    void supplyOffHoldsOutputsOff_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<int>("channelBit"); // -1: the family has no channel bit for it
        QTest::addColumn<int>("boardBit");
        QTest::newRow("B8181") << "192.0.2.20" << 14 << 0;
        QTest::newRow("BRISK HV") << "192.0.2.60" << -1 << 0;
    }

    void supplyOffHoldsOutputsOff()
    {
        QFETCH(QString, argument);
        QFETCH(int, channelBit);
        QFETCH(int, boardBit);
        const vhw::SystemInfo info = worldSystem(argument.toStdString());
        const int h = openWorldSystem(info), sys = info.id;
        QVERIFY(h > 0);
        const double volts = vhw::sysPropValue(sys, "PWVoltage");
        QVERIFY(volts > 40);
        QCOMPARE(setChFloat(h, 0, 1, "VSet", 100), ORVEHV_OK);
        QCOMPARE(setChUInt(h, 0, 1, "Pw", 1), ORVEHV_OK);
        vhw::advanceTime(5);
        QCOMPARE(chFloat(h, 0, 1, "VMon"), 100.0f);

        int16_t supply = 0;
        QCOMPARE(ORVEHV_SetSysProp(h, "ACDCPwr", &supply), ORVEHV_OK);
        QCOMPARE(chInt(h, 0, 1, "Pw"), 0);
        QCOMPARE(chFloat(h, 0, 1, "VMon"), 0.0f);
        QCOMPARE(setChUInt(h, 0, 1, "Pw", 1), ORVEHV_ERR_WRITE_REFUSED);
        QCOMPARE(ORVEHV_ExecComm(h, "GlobalOn"), ORVEHV_ERR_WRITE_REFUSED);
        vhw::advanceTime(5);
        QCOMPARE(chInt(h, 0, 1, "Pw"), 0);
        QCOMPARE(chFloat(h, 0, 1, "VMon"), 0.0f);
        QCOMPARE(chInt(h, 0, 1, "Status"), channelBit < 0 ? 0 : 1 << channelBit);
        unsigned short slot = 0;
        int32_t bd = 0;
        QCOMPARE(ORVEHV_GetBdParam(h, 1, &slot, "BdStatus", &bd), ORVEHV_OK);
        QVERIFY(bit(bd, boardBit));
        QCOMPARE(vhw::sysPropText(sys, "HvPwSM"), std::string("Off"));
        QCOMPARE(vhw::sysPropValue(sys, "PWVoltage"), 0.0);

        supply = 1;
        QCOMPARE(ORVEHV_SetSysProp(h, "ACDCPwr", &supply), ORVEHV_OK);
        QCOMPARE(chInt(h, 0, 1, "Status"), 0);
        QCOMPARE(ORVEHV_GetBdParam(h, 1, &slot, "BdStatus", &bd), ORVEHV_OK);
        QVERIFY(!bit(bd, boardBit));
        QCOMPARE(vhw::sysPropText(sys, "HvPwSM"), std::string("Ok"));
        QCOMPARE(vhw::sysPropValue(sys, "PWVoltage"), volts);
        QCOMPARE(setChUInt(h, 0, 1, "Pw", 1), ORVEHV_OK);
        vhw::advanceTime(5);
        QCOMPARE(chFloat(h, 0, 1, "VMon"), 100.0f);
        ORVEHV_DeinitSystem(h);
    }
};

QTEST_GUILESS_MAIN(TestContract)
#include "tst_contract.moc"
