// Subscribing a system's parameters: which names reach the library, in which
// calls, at which port, and how refusals become the three failure lists.
// The six library functions are wrapped here to record every call and then
// forwarded to the real library.

#include "EventTestSupport.h"

#include "device/ORVEHVNodeProperty.h"

#include <QTcpServer>

#include <dlfcn.h>

namespace {

struct Call
{
    QString kind; // "sys", "bd", "ch" (+ "-" for unsubscribe)
    unsigned short port;
    int slot;
    int channel;
    QStringList names;
};

QList<Call> g_calls;
int g_forceResult = -1;   // >= 0: returned instead of calling the library
QStringList g_refuse;     // with g_forceResult: names given a nonzero result byte
int g_failAtCall = -1;    // index of the call that fails as a whole

int recordCall(const QString &kind, unsigned short port, int slot, int channel, const char *names,
               unsigned int count, char *codes)
{
    const QStringList list = QString::fromLatin1(names).split(QLatin1Char(':'));
    if (unsigned(list.size()) != count)
        qFatal("name count %u does not match the list \"%s\"", count, names);
    g_calls.append({kind, port, slot, channel, list});
    if (g_failAtCall >= 0 && g_calls.size() - 1 == g_failAtCall)
        return ORVEHV_ERR_CONNECTION_LOST;
    if (g_forceResult >= 0) {
        for (unsigned int i = 0; i < count; ++i)
            codes[i] = g_refuse.contains(list.at(int(i))) ? char(1) : char(0);
        return g_forceResult;
    }
    return -1;
}

} // namespace

// The six library calls by their shape; each wrapper records its call, then
// answers as told or forwards to the library.
#define PARAMS_SYS (int h, unsigned short port, const char *names, unsigned int n, char *codes)
#define ARGS_SYS (h, port, names, n, codes)
#define PARAMS_BD (int h, unsigned short port, unsigned short slot, const char *names, unsigned int n, char *codes)
#define ARGS_BD (h, port, slot, names, n, codes)
#define PARAMS_CH                                                                                                   \
    (int h, unsigned short port, unsigned short slot, unsigned short ch, const char *names, unsigned int n,         \
     char *codes)
#define ARGS_CH (h, port, slot, ch, names, n, codes)
#define RECORD_AND_FORWARD(name, kind, slotArg, channelArg, shape)                                                  \
    int name PARAMS_##shape                                                                                         \
    {                                                                                                               \
        const int r = recordCall(QStringLiteral(kind), port, slotArg, channelArg, names, n, codes);                \
        using F = int(*) PARAMS_##shape;                                                                            \
        return r >= 0 ? r : reinterpret_cast<F>(dlsym(RTLD_NEXT, #name)) ARGS_##shape;                              \
    }

extern "C" {
RECORD_AND_FORWARD(ORVEHV_SubscribeSystemParams, "sys", -1, -1, SYS)
RECORD_AND_FORWARD(ORVEHV_UnSubscribeSystemParams, "-sys", -1, -1, SYS)
RECORD_AND_FORWARD(ORVEHV_SubscribeBoardParams, "bd", slot, -1, BD)
RECORD_AND_FORWARD(ORVEHV_UnSubscribeBoardParams, "-bd", slot, -1, BD)
RECORD_AND_FORWARD(ORVEHV_SubscribeChannelParams, "ch", slot, ch, CH)
RECORD_AND_FORWARD(ORVEHV_UnSubscribeChannelParams, "-ch", slot, ch, CH)
} // extern "C"

namespace {

ORVEHVNode *treeNode(const QString &name, int kind, int access = AccessReadWrite)
{
    auto *p = new ORVEHVNode;
    p->initialise(name, kind);
    p->setAccessMode(access);
    return p;
}

QList<Call> callsOfKind(const QString &kind)
{
    QList<Call> out;
    for (const Call &c : std::as_const(g_calls))
        if (c.kind == kind)
            out.append(c);
    return out;
}

} // namespace

class TestSubscription : public QObject
{
    Q_OBJECT
private:
    EventRouter *router = nullptr;
    EventServer *server = nullptr;
    QTcpServer *holder = nullptr;

private slots:
    void initTestCase()
    {
        vhw::setTimeMode(vhw::TimeMode::Manual);
        // Hold the usual port so every subscription must carry the next one.
        holder = new QTcpServer;
        holder->listen(QHostAddress::Any, EventServer::DefaultPort);
        router = new EventRouter;
        server = new EventServer(router);
        server->setIdleTimeout(3600 * 1000); // no B8181 start behind the test's back
        QVERIFY(server->start());
        QVERIFY(server->isListening());
        QVERIFY(server->port() != EventServer::DefaultPort);
    }

    void cleanupTestCase()
    {
        delete server;
        delete router;
        delete holder;
    }

    void init()
    {
        vhw::resetWorld();
        g_calls.clear();
        g_forceResult = -1;
        g_failAtCall = -1;
        g_refuse.clear();
        EventServer::pendingEventStarts().store(0);
    }

    // A discovered system: one system call, one call per board and per
    // channel, every call at the server's port; a B8181's subscription counts
    // an event start, its unsubscription none. (Which names are left out is
    // checked on the hand-made tree below.)
    void wholeSystem_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("eventStarts");
        QTest::newRow("mainframe") << 2 << 0;
        QTest::newRow("B8181") << 16 << 1;
    }
    void wholeSystem()
    {
        QFETCH(int, type);
        QFETCH(int, eventStarts);
        const vhw::SystemInfo info = findVirtualSystem(type);
        QString why;
        SubscriptionFailureList failures;
        QSystemInterface *sys = connectVirtualSystem(info, nullptr, &why, &failures);
        QVERIFY2(sys, qPrintable(why));
        QVERIFY(failures.isEmpty());

        QCOMPARE(callsOfKind(QStringLiteral("sys")).size(), 1);
        int boards = 0, channels = 0;
        for (const ORVEHVNode *slot : sys->systemNode()->children())
            if (slot->kind() == KindBoard) {
                ++boards;
                channels += slot->children().size();
            }
        QCOMPARE(callsOfKind(QStringLiteral("bd")).size(), boards);
        QCOMPARE(callsOfKind(QStringLiteral("ch")).size(), channels);
        for (const Call &c : std::as_const(g_calls))
            QCOMPARE(c.port, server->port());
        QCOMPARE(EventServer::pendingEventStarts().load(), eventStarts);

        g_calls.clear();
        SubscriptionFailureList s, b, c;
        QCOMPARE(sys->unsubscribeParameters({}, s, b, c), 0);
        QCOMPARE(callsOfKind(QStringLiteral("-sys")).size(), 1);
        QCOMPARE(callsOfKind(QStringLiteral("-ch")).size(), channels);
        QCOMPARE(EventServer::pendingEventStarts().load(), eventStarts);
        disconnectVirtualSystem(nullptr, sys);
    }

    // Hand-made tree: exclusions, write-only parameters, empty slots, slot
    // and channel numbers, refused names as failure records.
    void namesSlotsAndFailures()
    {
        // Answered here, not by the library: the tree is made up.
        g_forceResult = ORVEHV_OK;
        g_refuse = {QStringLiteral("VMon")};
        QSystemInterface sys(2, 0, QStringLiteral("made-up"), QStringLiteral("n"), 0);
        const int handle = 77;
        sys.setHandle(handle);
        auto *root = new ORVEHVNode;
        root->initialise(QStringLiteral("n"), KindSystem, 2, 0, QStringLiteral("made-up"));
        for (const char *n : {"Sessions", "ConnStat", "NrOfSlot", "DummyReg", "CMDExecMode", "ModelName"})
            root->addParameter(treeNode(QString::fromLatin1(n), KindSystemProperty));
        root->addParameter(treeNode(QStringLiteral("ClearAlarm"), KindSystemProperty, AccessWriteOnly));
        root->addChild(treeNode(QString(), KindContainer));
        ORVEHVNode *board = treeNode(QStringLiteral("B"), KindBoard);
        board->setSlot(1);
        board->addParameter(treeNode(QStringLiteral("Temp"), KindBoardParameter));
        board->addParameter(treeNode(QStringLiteral("BdClr"), KindBoardParameter, AccessWriteOnly));
        for (int ch = 0; ch < 2; ++ch) {
            ORVEHVNode *channel = treeNode(QStringLiteral("C"), KindChannel);
            channel->addParameter(treeNode(QStringLiteral("VSet"), KindChannelParameter));
            channel->addParameter(treeNode(QStringLiteral("VMon"), KindChannelParameter, AccessReadOnly));
            board->addChild(channel);
        }
        root->addChild(board);
        sys.setSystemNode(root);

        SubscriptionFailureList s, b, c;
        QCOMPARE(sys.subscribeParameters({}, s, b, c), 0);
        QCOMPARE(g_calls.size(), 4);
        QCOMPARE(g_calls.at(0).kind, QStringLiteral("sys"));
        QCOMPARE(g_calls.at(0).names, (QStringList{QStringLiteral("Sessions"), QStringLiteral("ModelName")}));
        QCOMPARE(g_calls.at(1).kind, QStringLiteral("bd"));
        QCOMPARE(g_calls.at(1).slot, 1); // position 1 in the crate, after the empty slot
        QCOMPARE(g_calls.at(1).names, QStringList{QStringLiteral("Temp")});
        QCOMPARE(g_calls.at(2).slot, 1);
        QCOMPARE(g_calls.at(2).channel, 0);
        QCOMPARE(g_calls.at(3).channel, 1);
        QCOMPARE(g_calls.at(3).names, (QStringList{QStringLiteral("VSet"), QStringLiteral("VMon")}));
        QVERIFY(s.isEmpty());
        QVERIFY(b.isEmpty());
        QCOMPARE(c, (SubscriptionFailureList{{1, 0, QStringLiteral("VMon")}, {1, 1, QStringLiteral("VMon")}}));

        // A call accepted as a whole but with no name taken (result 1):
        // every name of it is a failure.
        g_calls.clear();
        g_forceResult = ORVEHV_PARTIAL;
        s = b = c = {};
        QCOMPARE(sys.subscribeParameters({board}, s, b, c), 0);
        QCOMPARE(g_calls.size(), 3); // a board list skips the system stage
        QVERIFY(s.isEmpty());
        QCOMPARE(b, (SubscriptionFailureList{{1, -1, QStringLiteral("Temp")}}));
        QCOMPARE(c.size(), 4);

        // A call failing as a whole ends the operation: result 1, no call
        // after it and nothing added to the caller's lists.
        g_calls.clear();
        g_forceResult = ORVEHV_OK;
        g_failAtCall = 2;
        b = c = {};
        s = {{-1, -1, QStringLiteral("kept")}};
        QCOMPARE(sys.subscribeParameters({}, s, b, c), 1);
        QCOMPARE(g_calls.size(), 3);
        QCOMPARE(s.size(), 1);
        QVERIFY(b.isEmpty() && c.isEmpty());
    }
};

QTEST_MAIN(TestSubscription)
#include "tst_subscription.moc"
