// Events end to end: subscriptions open a real TCP connection to a local
// listener (as the program's event server), which reads the identifier block
// and then batches through ORVEHV_GetEventData.
#include "TestSupport.h"

#include <QtTest>

#include <functional>
#include <optional>

namespace {

struct Batch {
    int rc = -1;
    ORVEHV_SYSTEMSTATUS_t status{};
    std::vector<IDValue_t> records;
};

Batch readBatch(int sock)
{
    Batch b;
    IDValue_t *recs = nullptr;
    unsigned int n = 0;
    b.rc = ORVEHV_GetEventData(sock, &b.status, &recs, &n);
    if (b.rc == ORVEHV_OK && recs)
        b.records.assign(recs, recs + n);
    ORVEHV_FreeEventData(&recs);
    return b;
}

// Reads batches until a record satisfies pred; gives up after three idle reads.
bool waitFor(int sock, const std::function<bool(const IDValue_t &)> &pred, IDValue_t *found = nullptr)
{
    int idle = 0;
    for (int i = 0; i < 1000 && idle < 3; ++i) {
        Batch b = readBatch(sock);
        if (b.rc != ORVEHV_OK && b.rc != ORVEHV_NO_EVENT_DATA)
            return false;
        idle = b.rc == ORVEHV_NO_EVENT_DATA ? idle + 1 : 0;
        for (const IDValue_t &r : b.records)
            if (pred(r)) {
                if (found)
                    *found = r;
                return true;
            }
    }
    return false;
}

// Reads until idle; returns the last code (27 when drained).
int drain(int sock)
{
    for (int i = 0; i < 1000; ++i) {
        Batch b = readBatch(sock);
        if (b.rc != ORVEHV_OK)
            return b.rc;
    }
    return ORVEHV_OK;
}

template <typename T>
T valueOf(const IDValue_t &r)
{
    T v;
    std::memcpy(&v, r.Value, sizeof v);
    return v;
}

bool isItem(const IDValue_t &r, int board, int channel, const char *name)
{
    return r.Type == ORVEHV_EVENT_PARAMETER && r.BoardIndex == board && r.ChannelIndex == channel &&
           std::strcmp(r.ItemID, name) == 0;
}

} // namespace

class TestEvents : public QObject
{
    Q_OBJECT

private:
    int mf = -1;
    int sys = -1;

    std::optional<Listener> l; // as the program's event server
    int c = -1;                // the event connection it accepted

private slots:
    // Opens the MF3300, subscribes channel 0 of slot 0 and one system property,
    // and accepts the event connection.
    void init()
    {
        vhw::setTimeMode(vhw::TimeMode::Manual);
        QVERIFY(vhw::resetWorld());
        mf = openSystem("192.0.2.10", 2, 0, "admin", "admin");
        sys = vhw::findSystem("192.0.2.10");
        QVERIFY(mf > 0 && sys >= 0);
        l.emplace();
        char codes[3] = {9, 9, 9};
        QCOMPARE(ORVEHV_SubscribeChannelParams(mf, l->port, 0, 0, "VMon:Status:Pw", 3, codes), ORVEHV_OK);
        QVERIFY(!codes[0] && !codes[1] && !codes[2]);
        char code = 9;
        QCOMPARE(ORVEHV_SubscribeSystemParams(mf, l->port, "HVFanSpeed", 1, &code), ORVEHV_OK);
        QCOMPARE(int(code), 0);
        c = l->accept();
        QVERIFY(c >= 0);
        QCOMPARE(Listener::identifier(c), std::string("192.0.2.10") + std::string(30, '\0'));
    }
    void cleanup()
    {
        ORVEHV_DeinitSystem(mf);
        l.reset();
    }

    void valueChangeArrives()
    {
        // One connection per system, however many subscriptions follow.
        char codes[2];
        QCOMPARE(ORVEHV_SubscribeBoardParams(mf, l->port, 0, "BdStatus:Temp", 2, codes), ORVEHV_OK);
        QCOMPARE(l->accept(300), -1);

        QCOMPARE(setChFloat(mf, 0, 0, "VSet", 1100), ORVEHV_OK);
        vhw::advanceTime(2.0);
        IDValue_t rec;
        QVERIFY(waitFor(c, [](const IDValue_t &r) { return isItem(r, 0, 0, "VMon") && valueOf<float>(r) == 1100.0f; },
                        &rec));
        QCOMPARE(rec.SystemHandle, mf);
        // Ramping shows "Up" (bit 1) in the status events.
        QCOMPARE(setChFloat(mf, 0, 0, "VSet", 1500), ORVEHV_OK);
        QVERIFY(waitFor(c, [](const IDValue_t &r) { return isItem(r, 0, 0, "Status") && (valueOf<int32_t>(r) & 2); }));
        // Unsubscribed items send nothing.
        QCOMPARE(drain(c), ORVEHV_NO_EVENT_DATA);
        QCOMPARE(setChFloat(mf, 0, 1, "VSet", 10), ORVEHV_OK);
        QCOMPARE(readBatch(c).rc, ORVEHV_NO_EVENT_DATA);
    }

    // Every batch carries the status words: 0 in service, 1 a board reporting
    // a problem, 2 not serving; empty slots carry none of them.
    void eventStatusWords()
    {
        char code = 9;
        QCOMPARE(ORVEHV_SubscribeBoardParams(mf, l->port, 1, "BdStatus", 1, &code), ORVEHV_OK);
        auto statusAfter = [&](const std::function<void()> &change) {
            change();
            Batch last;
            for (int i = 0; i < 20; ++i) {
                Batch b = readBatch(c);
                if (b.rc == ORVEHV_NO_EVENT_DATA && last.rc == ORVEHV_OK)
                    break;
                if (b.rc == ORVEHV_OK)
                    last = b;
            }
            return last.status;
        };
        ORVEHV_SYSTEMSTATUS_t st = statusAfter([&] { vhw::setSysProp(sys, "HVFanSpeed", 2); });
        QCOMPARE(st.System, 0);
        QCOMPARE(st.Board[0], 0);
        QCOMPARE(st.Board[2], -1);  // empty slot
        QCOMPARE(st.Board[15], -1);
        st = statusAfter([&] { vhw::setChannelFault(sys, 0, 0, vhw::ChannelFault::OverVoltage); });
        QCOMPARE(st.Board[0], 1);
        QCOMPARE(st.System, 1);
        st = statusAfter([&] { vhw::setBoardFault(sys, 1, vhw::BoardFault::TemperatureError); });
        QCOMPARE(st.Board[1], 2);
        QCOMPARE(st.System, 1);
        st = statusAfter([&] { vhw::clearFaults(sys); });
        QCOMPARE(st.System, 0);
        QCOMPARE(st.Board[0], 0);
        QCOMPARE(st.Board[1], 0);
        st = statusAfter([&] { vhw::enterTransparentMode(sys); });
        QCOMPARE(st.System, 2);
    }

    // Idle, a connection carries keep-alives; a held system sends nothing at
    // all, and once released what it held (the newest value) goes out.
    void idleKeepAlivesAndHeldEvents()
    {
        QCOMPARE(drain(c), ORVEHV_NO_EVENT_DATA);
        vhw::advanceTime(ORVEHV_KEEPALIVE_SECONDS);
        QVERIFY(waitFor(c, [](const IDValue_t &r) { return r.Type == ORVEHV_EVENT_KEEPALIVE; }));
        QCOMPARE(vhw::holdEvents(sys), ORVEHV_OK);
        QCOMPARE(setChFloat(mf, 0, 0, "VSet", 700), ORVEHV_OK);
        vhw::advanceTime(3 * ORVEHV_KEEPALIVE_SECONDS);
        QCOMPARE(drain(c), ORVEHV_NO_EVENT_DATA);
        QCOMPARE(vhw::holdEvents(sys, false), ORVEHV_OK);
        QVERIFY(waitFor(c, [](const IDValue_t &r) { return isItem(r, 0, 0, "VMon") && valueOf<float>(r) == 700.0f; }));
    }

    // A second handle on the same system subscribes and unsubscribes for
    // itself: closing it leaves the first handle's events flowing.
    void handlesSubscribeForThemselves()
    {
        const int copy = openSystem("192.0.2.10", 2, 0, "admin", "admin");
        QVERIFY(copy > 0 && copy != mf);
        char codes[3];
        QCOMPARE(ORVEHV_SubscribeChannelParams(copy, l->port, 0, 0, "VMon:Status:Pw", 3, codes), ORVEHV_OK);
        QCOMPARE(ORVEHV_UnSubscribeChannelParams(copy, l->port, 0, 0, "VMon:Status:Pw", 3, codes), ORVEHV_OK);
        QCOMPARE(ORVEHV_DeinitSystem(copy), ORVEHV_OK);
        QCOMPARE(drain(c), ORVEHV_NO_EVENT_DATA);
        QCOMPARE(setChFloat(mf, 0, 0, "VSet", 1200), ORVEHV_OK);
        vhw::advanceTime(10.0);
        QVERIFY(waitFor(c, [](const IDValue_t &r) { return isItem(r, 0, 0, "VMon") && valueOf<float>(r) == 1200.0f; }));
    }

    void subscriptionCodes()
    {
        char codes[4] = {9, 9, 9, 9};
        vhw::refuseSubscriptions(sys, {"IMon"});
        QCOMPARE(ORVEHV_SubscribeChannelParams(mf, l->port, 0, 0, "VMon:Bogus:IMon:Name", 4, codes), ORVEHV_OK);
        QCOMPARE((QList<bool>{codes[0] != 0, codes[1] != 0, codes[2] != 0, codes[3] != 0}),
                 (QList<bool>{false, true, true, false}));
        QCOMPARE(ORVEHV_SubscribeChannelParams(mf, l->port, 0, 0, "Bogus:Nope", 2, codes), ORVEHV_PARTIAL);
        QVERIFY(codes[0] && codes[1]);
        QCOMPARE(ORVEHV_SubscribeChannelParams(mf, l->port, 0, 0, "VMon:Pw", 3, codes), ORVEHV_ERR_BAD_ARGUMENT);
        QCOMPARE(ORVEHV_SubscribeChannelParams(mf, l->port, 2, 0, "VMon", 1, codes), ORVEHV_ERR_UNKNOWN_PARAM);
        // Write-only items cannot be subscribed.
        int nim = openSystem("192.0.2.40_1", 6, 0);
        QCOMPARE(ORVEHV_SubscribeBoardParams(nim, l->port, 0, "ClrAlarm:BdStatus", 2, codes), ORVEHV_OK);
        QVERIFY(codes[0] != 0);
        QCOMPARE(int(codes[1]), 0);
        ORVEHV_DeinitSystem(nim);
        // Nobody listening: the subscription call fails as a whole.
        int dk = openSystem("192.0.2.50", 11, 0);
        QCOMPARE(ORVEHV_SubscribeSystemParams(dk, deadPort(), "SwRelease", 1, codes), ORVEHV_ERR_CONNECTION_LOST);
        ORVEHV_DeinitSystem(dk);
    }

    void transparentModeEvents()
    {
        // (Boards inserted and removed are followed through the main window.)
        QCOMPARE(vhw::enterTransparentMode(sys), ORVEHV_OK);
        QVERIFY(waitFor(c, [](const IDValue_t &r) { return r.Type == ORVEHV_EVENT_TRANSPARENT; }));
        // In transparent mode every call is refused, a new opening too.
        QCOMPARE(setChFloat(mf, 1, 0, "VSet", 1), ORVEHV_ERR_DEVICE);
        int other = -1;
        QCOMPARE(ORVEHV_InitSystem(2, 0, "192.0.2.10", "admin", "admin", &other), ORVEHV_ERR_DEVICE);
        // Back in service it announces its crate and answers again.
        QCOMPARE(vhw::leaveTransparentMode(sys), ORVEHV_OK);
        QVERIFY(waitFor(c, [](const IDValue_t &r) { return r.Type == ORVEHV_EVENT_LIVE_INSERT; }));
        QCOMPARE(setChFloat(mf, 1, 0, "VSet", 1), ORVEHV_OK);
    }

    void connectionLossThenANewConnection()
    {
        QCOMPARE(drain(c), ORVEHV_NO_EVENT_DATA);
        QVERIFY(vhw::hasEventConnection(sys));
        QCOMPARE(vhw::dropEventConnection(sys), ORVEHV_OK);
        QCOMPARE(readBatch(c).rc, ORVEHV_ERR_CONNECTION_LOST);
        QVERIFY(!vhw::hasEventConnection(sys));

        // A new subscription opens a new connection.
        char code;
        QCOMPARE(ORVEHV_SubscribeChannelParams(mf, l->port, 0, 0, "VMon", 1, &code), ORVEHV_OK);
        const int c2 = l->accept();
        QVERIFY(c2 >= 0);
        QCOMPARE(Listener::identifier(c2).size(), size_t(ORVEHV_EVENT_ID_LEN));
    }

    void malformedStreamsGiveCodes()
    {
        // Hand-made streams on a socket pair, as a peer could send them (the
        // decoder's limits are tested on their own).
        auto feed = [](const std::string &bytes, bool closeAfter) {
            int sv[2];
            ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sv);
            if (!bytes.empty())
                ::send(sv[0], bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (closeAfter)
                ::close(sv[0]);
            int rc = readBatch(sv[1]).rc;
            if (!closeAfter)
                ::close(sv[0]);
            ::close(sv[1]);
            return rc;
        };
        auto header = [](uint32_t count, uint32_t len) {
            std::string h("OVEB\x01\x00\x00\x00", 8);
            h.append(reinterpret_cast<const char *>(&count), 4);
            h.append(reinterpret_cast<const char *>(&len), 4);
            return h;
        };
        QCOMPARE(feed("", true), ORVEHV_ERR_CONNECTION_LOST);
        QCOMPARE(feed("", false), ORVEHV_NO_EVENT_DATA);
        QCOMPARE(feed("OVEB\x01", true), ORVEHV_ERR_BAD_EVENT_DATA);             // cut in the header
        QCOMPARE(feed("GET / HTTP/1.0\r\n\r\n", false), ORVEHV_ERR_BAD_EVENT_DATA); // not a batch at all
        QCOMPARE(feed(header(0, 68) + std::string(10, '\0'), true), ORVEHV_ERR_BAD_EVENT_DATA); // cut payload
        QCOMPARE(feed(header(0, 68) + std::string(68, '\0'), true), ORVEHV_OK);
        IDValue_t *recs = reinterpret_cast<IDValue_t *>(0x1);
        unsigned int n = 7;
        ORVEHV_SYSTEMSTATUS_t st;
        QCOMPARE(ORVEHV_GetEventData(-1, &st, &recs, &n), ORVEHV_ERR_BAD_ARGUMENT);
        QVERIFY(!recs && n == 0);
    }
};

QTEST_GUILESS_MAIN(TestEvents)
#include "tst_events.moc"
