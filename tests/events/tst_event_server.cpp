// The event server and the event-data threads: a port it cannot take, matching event
// connections to systems, stray and hostile peers, lost connections, the
// operator's own disconnection, B8181 event starts, thread lifetimes; a
// virtual system's events dropped while its events are disabled; and how one
// event batch becomes signals (the first/last flags the receivers batch their
// work by, keep-alives, unknown records, unterminated names).

#include "tests/support/LiveWindow.h"
#include "EventTestSupport.h"

#include <QTcpServer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <vector>

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
    ::send(fd, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL); // blocking: all of it or an error
}

QByteArray identifierBlock(const QByteArray &text)
{
    return text + QByteArray(ORVEHV_EVENT_ID_LEN - text.size(), '\0');
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

// An interface with a bare system node, listed with the server when one is
// given: enough for it to start its event-data thread on a hand-made
// connection.
QSystemInterface *bareSystem(const QString &argument, EventServer *server)
{
    auto *sys = new QSystemInterface(2, 0, argument, argument, 0);
    auto *node = new ORVEHVNode;
    node->initialise(argument, KindSystem, 2, 0, argument);
    sys->setSystemNode(node);
    setEventsOn(sys, true);
    if (server)
        server->addSystem(sys);
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

IDValue_t record(int type, int board = 0, int channel = 0)
{
    return IDValue_t{type, 0, board, channel, "VMon", {}};
}

} // namespace

class TestEventServer : public QObject
{
    Q_OBJECT
private:
    EventRouter *router = nullptr;
    RouterRelay *relay = nullptr;
    EventServer *server = nullptr; // listening on the usual port, short time-outs

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
        server = new EventServer(router);
        server->setIdentifierTimeout(300);
        server->setIdleTimeout(300);
        QVERIFY(server->start());
        QVERIFY(server->isListening());
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
        EventServer refused(router, 65535);
        QVERIFY(refused.start());
        QVERIFY(!refused.isListening());
        QTRY_COMPARE(error.count(), 1);
        refused.stop(); // nothing to end, must not hang
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
        std::unique_ptr<QSystemInterface> a(bareSystem(QStringLiteral("192.0.2.1"), withSystems ? server : nullptr));
        std::unique_ptr<QSystemInterface> b(bareSystem(QStringLiteral("192.0.2.2"), withSystems ? server : nullptr));
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
        QSystemInterface *sys = bareSystem(QStringLiteral("late"), server);
        const int fd = connectLocal(server->port());
        sendAll(fd, identifierBlock("late"));
        QTRY_VERIFY(eventThreadOf(sys));
        QVERIFY(server->removeSystem(sys));
        ::close(fd);
        delete sys;
    }

    // ------------------------------------------------- hand-made sources

    // Identifier compared case-insensitively, taken before the first NUL,
    // sent in pieces; garbage after it ends the system's events with exactly
    // one lost-connection report and nothing crashes.
    void garbageOnEventConnectionEndsEventsOnce()
    {
        QSystemInterface *sys = bareSystem(QStringLiteral("MyCrate.Example"), server);
        QSystemInterface *other = bareSystem(QStringLiteral("192.0.2.7"), server);
        QSignalSpy lost(relay, &EventRouter::systemDisconnected);
        QSignalSpy values(relay, &EventRouter::updateValueAndWidget);

        const int fd = connectLocal(server->port());
        const QByteArray block = identifierBlock("mycrate.EXAMPLE");
        sendAll(fd, block.left(5));
        QTest::qWait(50);
        sendAll(fd, block.mid(5));
        QTRY_VERIFY(eventThreadOf(sys));
        QVERIFY(!eventThreadOf(other));
        sendAll(fd, QByteArray(4096, '\xee'));
        QTRY_COMPARE(disconnectsOf(lost, sys, 0), 1);
        QTest::qWait(1500);
        QCOMPARE(lost.count(), 1);
        QCOMPARE(values.count(), 0);
        QVERIFY(!eventsOn(sys));
        QVERIFY(server->removeSystem(sys));
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
        std::unique_ptr<QSystemInterface> sys(bareSystem(QStringLiteral("op"), server));
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
        const vhw::SystemInfo info = findVirtualSystem(2);
        QSignalSpy values(relay, &EventRouter::updateValueAndWidget);
        QString why;
        QSystemInterface *sys = connectVirtualSystem(info, server, &why);
        QVERIFY2(sys, qPrintable(why));
        QTRY_VERIFY_WITH_TIMEOUT(eventThreadOf(sys), 5000);
        waitForQuiet(values);
        setEventsOn(sys, false);
        vhw::setChannelParam(info.id, 0, 4, "VSet", 100);
        QTest::qWait(500);
        QCOMPARE(values.count(), 0);
        setEventsOn(sys, true);
        vhw::setChannelParam(info.id, 0, 4, "VSet", 200);
        QTRY_VERIFY_WITH_TIMEOUT(values.count() >= 1, 5000);
        QCOMPARE(values.first().at(0).value<QSystemInterface *>(), sys);
        disconnectVirtualSystem(server, sys);
    }

    // A pending B8181 start with no B8181 system waiting is reported (code 1).
    void b8181StartWithoutSystemIsReported()
    {
        QSystemInterface *sys = bareSystem(QStringLiteral("plain"), server);
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

    // ------------------------------------------------- batches to signals

    // A record's place, name and value reach the signal, together with the
    // batch's status words; a name filling all 20 bytes (no terminator) is
    // never read past; an empty batch still brings its status.
    void recordAndStatusReachTheSignals()
    {
        QSystemInterface sys(2, 0, QStringLiteral("192.0.2.10"), QStringLiteral("a"), 0);
        QSignalSpy status(router, &EventRouter::systemEvStatus);
        QSignalSpy values(router, &EventRouter::updateValueAndWidget);
        ORVEHV_SYSTEMSTATUS_t st{};
        st.System = 1;
        st.Board[15] = 2;
        IDValue_t r = record(ORVEHV_EVENT_PARAMETER, 3, 7);
        std::memset(r.ItemID, 'A', sizeof r.ItemID);
        const float v = 123.5f;
        std::memcpy(r.Value, &v, sizeof v);
        EventData::dispatchBatch(router, &sys, st, &r, 1);
        EventData::dispatchBatch(router, &sys, ORVEHV_SYSTEMSTATUS_t{}, nullptr, 0);

        QCOMPARE(status.count(), 2);
        const auto gotStatus = status.at(0).at(1).value<ORVEHV_SYSTEMSTATUS_t>();
        QCOMPARE(gotStatus.System, 1);
        QCOMPARE(gotStatus.Board[15], 2);
        QCOMPARE(values.count(), 1);
        const QList<QVariant> a = values.at(0);
        QCOMPARE(a.at(0).value<QSystemInterface *>(), &sys);
        QCOMPARE(a.at(1).toInt(), 3);
        QCOMPARE(a.at(2).toInt(), 7);
        QCOMPARE(a.at(3).toString(), QString(20, QLatin1Char('A')));
        float got;
        std::memcpy(&got, a.at(4).value<IDValue_t>().Value, sizeof got);
        QCOMPARE(got, v);
    }

    // The first flag belongs to the first handled record (keep-alives count
    // as handled), the last flag to the last record that carries the flags:
    // a mainframe's log writer is woken there.
    void flagsAcrossMixedBatch_data()
    {
        QTest::addColumn<QList<int>>("types");
        QTest::addColumn<QList<int>>("expectedFirst"); // per emitted value/insertion signal
        QTest::addColumn<QList<int>>("expectedLast");
        QTest::newRow("single value") << QList<int>{0} << QList<int>{1} << QList<int>{1};
        QTest::newRow("three values") << QList<int>{0, 0, 0} << QList<int>{1, 0, 0} << QList<int>{0, 0, 1};
        QTest::newRow("keep-alive first ends the run")
            << QList<int>{2, 0, 0} << QList<int>{0, 0} << QList<int>{0, 1};
        QTest::newRow("keep-alive mid-batch") << QList<int>{0, 2, 0} << QList<int>{1, 0} << QList<int>{0, 1};
        QTest::newRow("keep-alive last: the value before it is last")
            << QList<int>{0, 0, 2} << QList<int>{1, 0} << QList<int>{0, 1};
        QTest::newRow("transparent and unknown last") << QList<int>{1, 0, 3, 9} << QList<int>{1, 0} << QList<int>{0, 1};
        QTest::newRow("unknown type does not end the run")
            << QList<int>{7, -1, 0, 0} << QList<int>{1, 0} << QList<int>{0, 1};
        QTest::newRow("live insertion then value") << QList<int>{1, 0} << QList<int>{1, 0} << QList<int>{0, 1};
        QTest::newRow("transparent first ends the run") << QList<int>{3, 0} << QList<int>{0} << QList<int>{1};
    }
    void flagsAcrossMixedBatch()
    {
        QFETCH(QList<int>, types);
        QFETCH(QList<int>, expectedFirst);
        QFETCH(QList<int>, expectedLast);
        QSystemInterface sys(2, 0, QStringLiteral("x"), QStringLiteral("x"), 0);
        QList<std::pair<bool, bool>> got; // first, last
        connect(router, &EventRouter::updateValueAndWidget, this,
                [&](QSystemInterface *, int, int, QString, IDValue_t, bool f, bool l) { got.append({f, l}); });
        connect(router, &EventRouter::liveInsertion, this,
                [&](QSystemInterface *, bool f, bool l) { got.append({f, l}); });
        QSignalSpy transparent(router, &EventRouter::TransparentMode);
        std::vector<IDValue_t> records;
        for (int t : types)
            records.push_back(record(t));
        EventData::dispatchBatch(router, &sys, ORVEHV_SYSTEMSTATUS_t{}, records.data(), unsigned(records.size()));
        QCOMPARE(got.size(), expectedFirst.size());
        for (int i = 0; i < got.size(); ++i) {
            QCOMPARE(int(got.at(i).first), expectedFirst.at(i));
            QCOMPARE(int(got.at(i).second), expectedLast.at(i));
        }
        QCOMPARE(transparent.count(), int(types.count(3)));
    }
};

QTEST_MAIN(TestEventServer)
#include "tst_event_server.moc"
