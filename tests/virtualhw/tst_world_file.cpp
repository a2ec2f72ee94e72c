// World files: faults are refused with file, line and reason and leave the
// running world alone; a valid world is what the library then serves.
#include "../orvehv/TestSupport.h"

#include <QtTest>

#include <QTemporaryDir>

namespace {

QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &text)
{
    QFile f(dir.filePath(name));
    f.open(QIODevice::WriteOnly);
    f.write(text);
    return f.fileName();
}

} // namespace

class TestWorldFile : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        vhw::setTimeMode(vhw::TimeMode::Manual);
        QVERIFY(vhw::resetWorld());
    }

    void faultsNameFileAndLine_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("what");
        const QByteArray head = "{\n  \"systems\": [\n    { \"type\": 13, \"link\": 0,\n";
        QTest::newRow("missing comma") << head + "      \"argument\": \"192.0.2.7\"\n      \"slots\": 1 } ] }" << 5
                                       << "expected ',' or '}'";
        QTest::newRow("unknown key") << head + "      \"argument\": \"a\",\n      \"slot\": 1 } ] }" << 5
                                     << "unknown key \"slot\"";
        QTest::newRow("unknown model") << head + "      \"argument\": \"a\",\n      \"boards\": [\n"
                                                 "        { \"slot\": 0, \"model\": \"Z9\" } ] } ] }"
                                       << 6 << "unknown board model \"Z9\"";
        QTest::newRow("slot outside crate") << head + "      \"argument\": \"a\", \"slots\": 2,\n      \"boards\": [\n"
                                                      "        { \"slot\": 2, \"model\": \"B5600\" } ] } ] }"
                                            << 6 << "between 0 and 1";
        QTest::newRow("long channel name")
            << head + "      \"argument\": \"a\",\n      \"boards\": [ { \"slot\": 0, \"model\": \"B5600\",\n"
                      "        \"names\": [\"TWELVE-CHARS\"] } ] } ] }"
            << 6 << "longer than 11";
        QTest::newRow("duplicate system")
            << head + "      \"argument\": \"a\" },\n    { \"type\": 13, \"link\": 0,\n      \"argument\": \"A\" } ] }" << 6
            << "exists already";
        QTest::newRow("unknown type") << QByteArray("{ \"systems\": [\n { \"type\": 4, \"link\": 0, \"argument\": \"x\" } ] }")
                                      << 2 << "unknown system type 4";
        QTest::newRow("duplicate key") << QByteArray("{ \"systems\": [],\n\n \"systems\": [] }") << 3
                                       << "given twice";
        QTest::newRow("wrong kind") << QByteArray("{ \"systems\": {} }") << 1 << "must be a list";
        QTest::newRow("value out of range")
            << head + "      \"argument\": \"a\",\n      \"boards\": [ { \"slot\": 0, \"model\": \"B5600\",\n"
                      "        \"values\": { \"VSet\": 99999 } } ] } ] }"
            << 6 << "outside";
        QTest::newRow("unclosed text") << QByteArray("{ \"systems\": [ { \"argument\": \"abc\n } ] }") << 1
                                       << "control character";
        QTest::newRow("truncated") << head << 4 << "unexpected end";
        QTest::newRow("alias not loopback")
            << head + "      \"argument\": \"a\",\n      \"loopbackAddress\": \"192.0.2.10\" } ] }" << 5
            << "\"loopbackAddress\" must be a dotted address in 127.0.0.0/8";
        QTest::newRow("alias not dotted")
            << head + "      \"argument\": \"a\", \"loopbackAddress\": \"127.1\" } ] }" << 4 << "127.0.0.0/8";
        QTest::newRow("alias of another system")
            << head + "      \"argument\": \"127.0.0.5\" },\n    { \"type\": 13, \"link\": 0, \"argument\": \"b\",\n"
                      "      \"loopbackAddress\": \"127.0.0.5\" } ] }"
            << 6 << "is opened by \"127.0.0.5\" already";
        QTest::newRow("argument too long")
            << head + "      \"argument\": \"" + QByteArray(80, 'x') + "\" } ] }" << 4 << "longer than 79";
    }
    void faultsNameFileAndLine()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, line);
        QFETCH(QString, what);
        QTemporaryDir dir;
        const QString path = writeFile(dir, "bad.json", text);
        std::string err;
        QVERIFY(!vhw::loadWorldFile(path.toStdString(), &err));
        const QString e = QString::fromStdString(err);
        QVERIFY2(e.startsWith(path + ":" + QString::number(line) + ": "), qPrintable(e));
        QVERIFY2(e.contains(what), qPrintable(e));
        // The running world is untouched.
        QVERIFY(vhw::findSystem("192.0.2.10") >= 0);
        QCOMPARE(vhw::listSystems().size(), size_t(13));
    }

    void missingFileIsNamed()
    {
        std::string err;
        QVERIFY(!vhw::loadWorldFile("/nonexistent/world.json", &err));
        QVERIFY(QString::fromStdString(err).startsWith("/nonexistent/world.json:"));
        QVERIFY(!vhw::loadWorldJson("[]", &err));
        QVERIFY(QString::fromStdString(err).startsWith("<string>:1: "));
    }

    void validWorldIsServed()
    {
        std::string err;
        QVERIFY2(vhw::loadWorldJson(R"({
          "models": [ { "name": "X16", "base": "A1520", "channels": 16, "vmax": 500, "description": "test" } ],
          "systems": [
            { "type": 2, "link": 0, "argument": "198.51.100.1", "user": "op", "password": "pw", "slots": 10,
              "properties": { "HVFanSpeed": 2, "SwRelease": "9.9" },
              "boards": [ { "slot": 9, "model": "X16", "serial": 77, "firmware": [2, 5], "load": 50,
                            "values": { "VSet": 400, "Pw": 1 }, "names": ["A", "B"] } ] } ] })",
                                 &err),
                 err.c_str());
        QCOMPARE(vhw::listSystems().size(), size_t(1));
        QVERIFY(vhw::findSystem("192.0.2.10") < 0);
        int h = -1;
        QCOMPARE(ORVEHV_InitSystem(2, 0, "198.51.100.1", "op", "nope", &h), ORVEHV_ERR_LOGIN);
        QCOMPARE(ORVEHV_InitSystem(2, 0, "198.51.100.1", "op", "pw", &h), ORVEHV_OK);
        const Crate crate = crateMap(h);
        QCOMPARE(crate.channels.size(), size_t(10));
        QCOMPARE(crate.channels[9], 16);
        QCOMPARE(crate.serials[9], 77u);
        QCOMPARE(crate.fwMajor[9], 2);
        float maxv = 0;
        QCOMPARE(ORVEHV_GetChParamProp(h, 9, 0, "VSet", "Maxval", &maxv), ORVEHV_OK);
        QCOMPARE(maxv, 500.0f);
        // Powered channels start settled; the load gives IMon.
        unsigned short c = 15;
        float v = 0;
        QCOMPARE(ORVEHV_GetChParam(h, 9, "VMon", 1, &c, &v), ORVEHV_OK);
        QCOMPARE(v, 400.0f);
        QCOMPARE(ORVEHV_GetChParam(h, 9, "IMon", 1, &c, &v), ORVEHV_OK);
        QCOMPARE(v, 8.0f);
        char name[1][ORVEHV_CHANNEL_NAME_LEN];
        c = 1;
        QCOMPARE(ORVEHV_GetChName(h, 9, 1, &c, name), ORVEHV_OK);
        QCOMPARE(QString(name[0]), QString("B"));
        uint16_t speed = 0;
        QCOMPARE(ORVEHV_GetSysProp(h, "HVFanSpeed", &speed), ORVEHV_OK);
        QCOMPARE(int(speed), 2);
        // Loading another world closes the handles of the old one.
        QVERIFY(vhw::resetWorld());
        QCOMPARE(ORVEHV_DeinitSystem(h), ORVEHV_ERR_BAD_HANDLE);
    }

    void environmentNamesTheStartingWorld()
    {
        QTemporaryDir dir;
        const QString good = writeFile(dir, "one.json", R"({ "systems": [
            { "type": 14, "link": 0, "argument": "203.0.113.5", "boards": [ { "slot": 0, "model": "P7200" } ] } ] })");
        const QString bad = writeFile(dir, "bad.json", "{ \"systems\": [ }");
        qputenv("ORVEHV_WORLD", good.toLocal8Bit());
        QVERIFY(vhw::resetWorld());
        QCOMPARE(vhw::listSystems().size(), size_t(1));
        QCOMPARE(vhw::listSystems()[0].argument, std::string("203.0.113.5"));
        qputenv("ORVEHV_WORLD", bad.toLocal8Bit());
        std::string err;
        QVERIFY(!vhw::resetWorld(&err));
        QVERIFY(QString::fromStdString(err).startsWith(bad + ":1: "));
        QCOMPARE(vhw::listSystems().size(), size_t(13)); // the built-in world serves
        qputenv("ORVEHV_WORLD", "");
        QVERIFY(vhw::resetWorld());
    }

    // The text the library prints parses as a world of its own.
    void defaultWorldReloads()
    {
        QVERIFY(vhw::loadWorldJson(vhw::defaultWorldJson()));
        QCOMPARE(vhw::listSystems().size(), size_t(13));
        QCOMPARE(vhw::boardModels().size(), size_t(13));
    }
};

QTEST_GUILESS_MAIN(TestWorldFile)
#include "tst_world_file.moc"
