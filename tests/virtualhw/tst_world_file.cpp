// World files: faults are refused with file, line and reason and leave the
// running world alone; a valid world is what the library then serves. A
// mainframe's web administration site: it logs in only with the system's
// user and password, decoded from the query, and stays up whatever a client
// sends.
#include "../orvehv/TestSupport.h"
#include "virtualhw/WebAdmin.h"

#include <QtTest>

namespace {

QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &text)
{
    QFile f(dir.filePath(name));
    f.open(QIODevice::WriteOnly);
    f.write(text);
    return f.fileName();
}

// One HTTP exchange with a site: the whole response ("" when none came).
std::string request(const std::string &address, uint16_t port, const std::string &raw)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    ::inet_pton(AF_INET, address.c_str(), &a.sin_addr);
    std::string out;
    if (::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0) {
        ::send(fd, raw.data(), raw.size(), MSG_NOSIGNAL);
        char buf[4096];
        for (;;) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 5000) != 1)
                break;
            const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
            if (n <= 0)
                break;
            out.append(buf, size_t(n));
        }
    }
    ::close(fd);
    return out;
}

std::string get(uint16_t port, const std::string &target, const std::string &headers = std::string())
{
    return request("127.0.2.10", port, "GET " + target + " HTTP/1.1\r\nHost: x\r\n" + headers + "\r\n");
}

std::string cookieOf(const std::string &response)
{
    const size_t at = response.find("Set-Cookie: ");
    return at == std::string::npos ? std::string() : response.substr(at + 12, response.find(';', at) - at - 12);
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
        const QByteArray a = head + "      \"argument\": \"a\",\n"; // line 5 follows
        const QByteArray board = a + "      \"boards\": [ { \"slot\": 0, \"model\": \"B5600\",\n"; // line 6 follows
        QTest::newRow("missing comma") << head + "      \"argument\": \"192.0.2.7\"\n      \"slots\": 1 } ] }" << 5
                                       << "expected ',' or '}'";
        QTest::newRow("unknown key") << a + "      \"slot\": 1 } ] }" << 5 << "unknown key \"slot\"";
        QTest::newRow("unknown model") << a + "      \"boards\": [\n        { \"slot\": 0, \"model\": \"Z9\" } ] } ] }"
                                       << 6 << "unknown board model \"Z9\"";
        QTest::newRow("slot outside crate") << head + "      \"argument\": \"a\", \"slots\": 2,\n      \"boards\": [\n"
                                                      "        { \"slot\": 2, \"model\": \"B5600\" } ] } ] }"
                                            << 6 << "between 0 and 1";
        QTest::newRow("long channel name") << board + "        \"names\": [\"TWELVE-CHARS\"] } ] } ] }" << 6
                                           << "longer than 11";
        QTest::newRow("duplicate system")
            << head + "      \"argument\": \"a\" },\n    { \"type\": 13, \"link\": 0,\n      \"argument\": \"A\" } ] }" << 6
            << "exists already";
        QTest::newRow("unknown type") << QByteArray("{ \"systems\": [\n { \"type\": 4, \"link\": 0, \"argument\": \"x\" } ] }")
                                      << 2 << "unknown system type 4";
        QTest::newRow("duplicate key") << QByteArray("{ \"systems\": [],\n\n \"systems\": [] }") << 3
                                       << "given twice";
        QTest::newRow("wrong kind") << QByteArray("{ \"systems\": {} }") << 1 << "must be a list";
        QTest::newRow("value out of range") << board + "        \"values\": { \"VSet\": 99999 } } ] } ] }" << 6
                                            << "outside";
        QTest::newRow("unclosed text") << QByteArray("{ \"systems\": [ { \"argument\": \"abc\n } ] }") << 1
                                       << "control character";
        QTest::newRow("truncated") << head << 4 << "unexpected end";
        QTest::newRow("alias not loopback") << a + "      \"loopbackAddress\": \"192.0.2.10\" } ] }" << 5
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
        QCOMPARE(chFloat(h, 9, 15, "VMon"), 400.0f);
        QCOMPARE(chFloat(h, 9, 15, "IMon"), 8.0f);
        char name[1][ORVEHV_CHANNEL_NAME_LEN];
        unsigned short c = 1;
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

    void siteLogsInWithTheSystemsCredentialsOnly_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("query");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("right") << "admin" << "user=admin&pass=admin" << true;
        QTest::newRow("wrong") << "admin" << "user=admin&pass=admim" << false;
        QTest::newRow("no password") << "admin" << "user=admin" << false;
        QTest::newRow("form blank") << "a b" << "user=admin&pass=a+b" << true;
        QTest::newRow("raw delimiter cuts") << "a&b" << "user=admin&pass=a&b" << false;
        QTest::newRow("bad escape kept") << "%zz" << "user=admin&pass=%zz" << true;
    }
    void siteLogsInWithTheSystemsCredentialsOnly()
    {
        QFETCH(QString, password);
        QFETCH(QString, query);
        QFETCH(bool, accepted);
        std::string error;
        QVERIFY2(loadSiteWorld("admin", password.toStdString(), &error), error.c_str());
        vhw::WebAdmin site;
        QVERIFY2(site.start(0, &error), error.c_str());

        QVERIFY(get(site.port(), "/").find("action=\"session_login.cgi\"") != std::string::npos);
        const std::string reply = get(site.port(), "/session_login.cgi?" + query.toStdString());
        QCOMPARE(site.logins().size(), size_t(1));
        QCOMPARE(site.logins().front().accepted, accepted);
        if (!accepted) {
            QVERIFY(reply.find("Wrong user name or password.") != std::string::npos);
            QVERIFY(cookieOf(reply).empty());
            return;
        }
        QCOMPARE(site.logins().front().password, password.toStdString());
        QVERIFY(reply.compare(0, 12, "HTTP/1.0 303") == 0);
        const std::string page = get(site.port(), "/", "Cookie: " + cookieOf(reply) + "\r\n");
        QVERIFY(page.find("Logged in as admin") != std::string::npos);
        // A made-up session is not logged in.
        QVERIFY(get(site.port(), "/", "Cookie: session=0123\r\n").find("Logged in") == std::string::npos);
    }

    void siteSurvivesBadClientsAndEscapesWhatItShows()
    {
        vhw::WebAdmin site;
        std::string error;
        QVERIFY2(site.start(0, &error), error.c_str());
        QCOMPARE(site.addresses(), (std::vector<std::string>{"127.0.2.10", "127.0.2.11"}));
        QVERIFY(request("127.0.2.10", site.port(), "garbage\r\n\r\n").compare(0, 12, "HTTP/1.0 400") == 0);
        QVERIFY(request("127.0.2.10", site.port(), std::string(20000, 'x')).compare(0, 12, "HTTP/1.0 431") == 0);
        QVERIFY(get(site.port(), "/nothing").compare(0, 12, "HTTP/1.0 404") == 0);
        // A user name is shown back only as text.
        const std::string reply = get(site.port(), "/session_login.cgi?user=%3Cb%3Ex&pass=admin");
        QVERIFY(reply.find("<b>x") == std::string::npos);
        // Still serving.
        QVERIFY(get(site.port(), "/").find("HTTP/1.0 200") == 0);
    }
};

QTEST_GUILESS_MAIN(TestWorldFile)
#include "tst_world_file.moc"
