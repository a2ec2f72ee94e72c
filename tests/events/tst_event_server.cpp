// The event server and the event-data threads: a port it cannot take, matching event
// connections to systems, stray and hostile peers, lost connections, the
// operator's own disconnection, B8181 event starts, thread lifetimes; and a
// virtual system's events dropped while its events are disabled.

#include "tests/support/LiveWindow.h"
#include "EventTestSupport.h"

#include <QTcpServer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace live_test;

namespace {

int connectLocal(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

void sendAll(int fd, const QByteArray &bytes)
{
    const char *p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::send(fd, p, size_t(left), MSG_NOSIGNAL);
        if (n <= 0)
            return;
        p += n;
        left -= n;
    }
}

QByteArray identifierBlock(const QByteArray &text)
{
    QByteArray b = text;
    b.resize(ORVEHV_EVENT_ID_LEN, '\0');
    return b;
}

// True when the server closed the connection within ms (the peer reads end
// of stream or a reset) while the GUI event loop keeps running.
bool closedByServer(int fd, int ms)
{
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 20) > 0) {
            char buf[256];
            const ssize_t n = ::recv(fd, buf, sizeof buf, MSG_DONTWAIT);
            if (n <= 0)
                return true;
        }
        QCoreApplication::processEvents();
    }
    return false;
}

// An interface with a bare system node: enough for the server to start its
// event-data thread on a hand-made connection.
QSystemInterface *bareSystem(const QString &argument, int systemType = 2)
{
    auto *sys = new QSystemInterface(systemType, 0, argument, argument, 0);
    auto *node = new ORVEHVNode;
    node->initialise(argument, KindSystem, systemType, 0, argument);
    sys->setSystemNode(node);
    QMutexLocker lock(&sys->eventStateMutex);
    sys->eventsEnabled = true;
    return sys;
}

// Lets whatever the subscription set going arrive, then forgets it.
void waitForQuiet(QSignalSpy &spy, int quietMs = 300)
{
    qsizetype seen = -1;
    QDeadlineTimer limit(5000);
    while (spy.count() != seen && !limit.hasExpired()) {
        seen = spy.count();
        QTest::qWait(quietMs);
    }
    spy.clear();
}

int disconnectsOf(const QSignalSpy &spy, QSystemInterface *sys, int code)
{
    int n = 0;
    for (const QList<QVariant> &a : spy)
        if (a.at(0).value<QSystemInterface *>() == sys && a.at(1).toInt() == code)
            ++n;
    return n;
}

} // namespace

class TestEventServer : public QObject
{
    Q_OBJECT
private:
    EventRouter *router = nullptr;
    RouterRelay *relay = nullptr;
    EventServer *server = nullptr;

    void startServer(quint16 firstPort = EventServer::DefaultPort)
    {
        server = new EventServer(router, firstPort);
        server->setIdentifierTimeout(300);
        server->setIdleTimeout(300);
        QVERIFY(server->start());
        QVERIFY(server->isListening());
    }

private slots:
    void initTestCase()
    {
        EventRouter::registerEventMetaTypes();
        vhw::setTimeMode(vhw::TimeMode::Manual);
    }

    void init()
    {
        vhw::resetWorld();
        router = new EventRouter;
        relay = new RouterRelay(router);
    }

    void cleanup()
    {
        delete server; // ends every thread of systems still registered
        server = nullptr;
        QCoreApplication::processEvents();
        delete relay;
        delete router;
        EventServer::pendingEventStarts().store(0);
    }

    // ---------------------------------------------------------- listening

    void cannotListenReportsServerError()
    {
        QTcpServer holder;
        if (!holder.listen(QHostAddress::Any, 65535))
            QSKIP("port 65535 is not free here");
        QSignalSpy error(relay, &EventRouter::tcpServerError);
        server = new EventServer(router, 65535);
        QVERIFY(server->start());
        QVERIFY(!server->isListening());
        QTRY_COMPARE(error.count(), 1);
        server->stop(); // nothing to end, must not hang
    }

    // ------------------------------------------------------ stray peers

    // A peer that matches no system is closed and reported against the last
    // system of the list (code 1); with no system listed nothing is reported.
    void strayPeerIsReportedAndClosed_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("withSystems");
        QTest::newRow("unknown identifier") << identifierBlock("203.0.113.99") << true;
        QTest::newRow("binary garbage") << QByteArray("\x01\xff\x7f garbage \x00\x00", 14).repeated(8) << true;
        QTest::newRow("silent peer") << QByteArray() << true;
        QTest::newRow("short identifier") << QByteArray("nobody") << true;
        QTest::newRow("no system listed") << identifierBlock("x") << false;
    }
    void strayPeerIsReportedAndClosed()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, withSystems);
        startServer();
        std::unique_ptr<QSystemInterface> a(bareSystem(QStringLiteral("192.0.2.1")));
        std::unique_ptr<QSystemInterface> b(bareSystem(QStringLiteral("192.0.2.2")));
        if (withSystems) {
            server->addSystem(a.get());
            server->addSystem(b.get());
        }
        QSignalSpy lost(relay, &EventRouter::systemDisconnected);

        const int fd = connectLocal(server->port());
        QVERIFY(fd >= 0);
        sendAll(fd, bytes);
        QVERIFY2(closedByServer(fd, 3000), "stray connection left open");
        ::close(fd);
        QCOMPARE(server->unmatchedConnections(), 1);
        if (withSystems)
            QTRY_COMPARE(disconnectsOf(lost, b.get(), 1), 1);
        QTest::qWait(50);
        QCOMPARE(lost.count(), withSystems ? 1 : 0);
        QVERIFY(!eventThreadOf(a.get()) && !eventThreadOf(b.get()));
        QVERIFY(server->removeSystem(a.get()) && server->removeSystem(b.get()));
    }

    // Many connections that never identify themselves cannot pile up open
    // sockets, and the server still serves the next real peer.
    void connectionFloodIsBounded()
    {
        startServer();
        QList<int> fds;
        for (int i = 0; i < 100; ++i) {
            const int fd = connectLocal(server->port());
            if (fd >= 0)
                fds.append(fd);
        }
        QVERIFY(fds.size() > 50);
        for (int fd : std::as_const(fds)) {
            QVERIFY(closedByServer(fd, 5000));
            ::close(fd);
        }
        QCOMPARE(server->unmatchedConnections(), fds.size());
        QSystemInterface *sys = bareSystem(QStringLiteral("late"));
        server->addSystem(sys);
        const int fd = connectLocal(server->port());
        sendAll(fd, identifierBlock("late"));
        QTRY_VERIFY(eventThreadOf(sys));
        QVERIFY(server->removeSystem(sys));
        QVERIFY(closedByServer(fd, 1000)); // the system's connection closes with it
        ::close(fd);
        delete sys;
    }

    // ------------------------------------------------- hand-made sources

    // Identifier compared case-insensitively, taken before the first NUL,
    // sent in pieces; garbage after it ends the system's events with exactly
    // one lost-connection report and nothing crashes.
    void garbageOnEventConnectionEndsEventsOnce()
    {
        startServer();
        QSystemInterface *other = bareSystem(QStringLiteral("192.0.2.7"));
        QSystemInterface *sys = bareSystem(QStringLiteral("MyCrate.Example"));
        server->addSystem(sys);
        server->addSystem(other);
        QSignalSpy lost(relay, &EventRouter::systemDisconnected);
        QSignalSpy values(relay, &EventRouter::updateValueAndWidget);

        const int fd = connectLocal(server->port());
        const QByteArray block = identifierBlock("mycrate.EXAMPLE");
        sendAll(fd, block.left(5));
        QTest::qWait(50);
        sendAll(fd, block.mid(5));
        QTRY_VERIFY(eventThreadOf(sys));
        QVERIFY(!eventThreadOf(other));
        QByteArray garbage(4096, '\xee');
        sendAll(fd, garbage);
        QTRY_COMPARE(disconnectsOf(lost, sys, 0), 1);
        QTest::qWait(1500);
        QCOMPARE(lost.count(), 1);
        QCOMPARE(values.count(), 0);
        {
            QMutexLocker lock(&sys->eventStateMutex);
            QVERIFY(!sys->eventsEnabled);
        }
        QVERIFY(server->removeSystem(sys));
        QVERIFY(closedByServer(fd, 1000));
        ::close(fd);
        QVERIFY(server->removeSystem(other));
        delete sys;
        delete other;
    }

    // The operator's disconnection of one system, or the program's close,
    // while the source is alive: the thread ends, the connection is closed,
    // nothing is reported.
    void stoppedSystemEndsSilently_data()
    {
        QTest::addColumn<bool>("wholeServer");
        QTest::newRow("system removed") << false;
        QTest::newRow("server stopped") << true;
    }
    void stoppedSystemEndsSilently()
    {
        QFETCH(bool, wholeServer);
        startServer();
        std::unique_ptr<QSystemInterface> sys(bareSystem(QStringLiteral("op")));
        server->addSystem(sys.get());
        QSignalSpy lost(relay, &EventRouter::systemDisconnected);
        const int fd = connectLocal(server->port());
        sendAll(fd, identifierBlock("op"));
        QTRY_VERIFY(eventThreadOf(sys.get()));
        if (wholeServer)
            server->stop();
        QVERIFY(server->removeSystem(sys.get()));
        QVERIFY(!sys->eventThread && !sys->logWriterThread);
        QCOMPARE(sys->eventSocket.load(), -1);
        QVERIFY(closedByServer(fd, 1000));
        ::close(fd);
        QTest::qWait(100);
        QCOMPARE(lost.count(), 0);
    }

    // ---------------------------------------------- the virtual hardware

    // Events of a system whose events are disabled are dropped; enabled
    // again, the next change arrives.
    void disabledSystemDropsEvents()
    {
        startServer();
        const vhw::SystemInfo info = findVirtualSystem(2);
        QSignalSpy values(relay, &EventRouter::updateValueAndWidget);
        QString why;
        QSystemInterface *sys = connectVirtualSystem(info, server, &why);
        QVERIFY2(sys, qPrintable(why));
        QTRY_VERIFY_WITH_TIMEOUT(eventThreadOf(sys), 5000);
        waitForQuiet(values);
        {
            QMutexLocker lock(&sys->eventStateMutex);
            sys->eventsEnabled = false;
        }
        vhw::setChannelParam(info.id, 0, 4, "VSet", 100);
        QTest::qWait(500);
        QCOMPARE(values.count(), 0);
        {
            QMutexLocker lock(&sys->eventStateMutex);
            sys->eventsEnabled = true;
        }
        vhw::setChannelParam(info.id, 0, 4, "VSet", 200);
        QTRY_VERIFY_WITH_TIMEOUT(values.count() >= 1, 5000);
        QCOMPARE(values.first().at(0).value<QSystemInterface *>(), sys);
        disconnectVirtualSystem(server, sys);
    }

    // A pending B8181 start with no B8181 system waiting is reported (code 1).
    void b8181StartWithoutSystemIsReported()
    {
        startServer();
        QSystemInterface *sys = bareSystem(QStringLiteral("plain"));
        server->addSystem(sys);
        QSignalSpy lost(relay, &EventRouter::systemDisconnected);
        EventServer::pendingEventStarts().store(1);
        QTRY_COMPARE_WITH_TIMEOUT(lost.count(), 1, 3000);
        QCOMPARE(disconnectsOf(lost, sys, 1), 1);
        QCOMPARE(EventServer::pendingEventStarts().load(), 0);
        QTest::qWait(700);
        QCOMPARE(lost.count(), 1); // idle time-outs alone report nothing
        QVERIFY(server->removeSystem(sys));
        delete sys;
    }
};

QTEST_MAIN(TestEventServer)
#include "tst_event_server.moc"
