// A mainframe's web administration site: it logs in only with the system's
// user and password, decoded from the query, and stays up whatever a client
// sends.
#include "TestSupport.h"
#include "virtualhw/WebAdmin.h"

#include <QtTest>

namespace {

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

class TestMainframeSite : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        vhw::setTimeMode(vhw::TimeMode::Manual);
        QVERIFY(vhw::resetWorld());
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
        const std::string world = "{ \"systems\": [ { \"type\": 2, \"link\": 0, \"argument\": \"192.0.2.10\", "
                                  "\"loopbackAddress\": \"127.0.2.10\", \"user\": \"admin\", \"password\": \"" +
                                  password.toStdString() + "\", \"slots\": 2 } ] }";
        std::string error;
        QVERIFY2(vhw::loadWorldJson(world, &error), error.c_str());
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

QTEST_GUILESS_MAIN(TestMainframeSite)
#include "tst_mainframe_site.moc"
