// Floods one connected 16-slot virtual system with value events through the
// real event port and prints:
//   - the raw decode rate: records per second that ORVEHV_GetEventData
//     delivers from the same kind of stream, with nothing else done;
//   - events handled per second on the GUI thread: the full path (event
//     server, event-data thread, queued signal, tree lookup, value stored);
//   - the worst event-loop stall on the GUI thread meanwhile.
//
// Usage: bench_events [events (default 200000)]

#include "device/Discovery.h"
#include "device/EventRouter.h"
#include "device/EventServer.h"
#include "device/NodeValue.h"
#include "device/ORVEHVNode.h"
#include "device/ParameterAccess.h"
#include "device/QSystemInterface.h"
#include "device/SubscriptionFailure.h"
#include "virtualhw/VirtualControl.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMutexLocker>
#include <QThread>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>

namespace {

vhw::SystemInfo sixteenSlotSystem()
{
    for (const vhw::SystemInfo &s : vhw::listSystems()) {
        int handle = -1;
        if (ORVEHV_InitSystem(s.systemType, s.linkType, s.argument.c_str(), s.user.c_str(), s.password.c_str(),
                              &handle)
            != ORVEHV_OK)
            continue;
        unsigned short slotCount = 0;
        unsigned short *channels = nullptr;
        char *models = nullptr, *descriptions = nullptr;
        uint32_t *serials = nullptr;
        unsigned char *fwMin = nullptr, *fwMax = nullptr;
        const int rc = ORVEHV_GetCrateMap(handle, &slotCount, &channels, &models, &descriptions, &serials, &fwMin,
                                          &fwMax);
        ORVEHV_Free(channels);
        ORVEHV_Free(models);
        ORVEHV_Free(descriptions);
        ORVEHV_Free(serials);
        ORVEHV_Free(fwMin);
        ORVEHV_Free(fwMax);
        ORVEHV_DeinitSystem(handle);
        if (rc == ORVEHV_OK && slotCount == 16)
            return s;
    }
    return vhw::SystemInfo();
}

QSystemInterface *connectSystem(const vhw::SystemInfo &info, EventServer *server)
{
    int handle = -1;
    if (ORVEHV_InitSystem(info.systemType, info.linkType, info.argument.c_str(), info.user.c_str(),
                          info.password.c_str(), &handle)
        != ORVEHV_OK)
        return nullptr;
    const QString arg = QString::fromStdString(info.argument);
    auto *sys = new QSystemInterface(info.systemType, info.linkType, arg, arg, 0);
    auto *node = new ORVEHVNode;
    node->initialise(arg, KindSystem, info.systemType, info.linkType, arg);
    node->setHandle(handle);
    node->setConnectionState(ConnectionConnected);
    sys->setHandle(handle);
    sys->setSystemNode(node);
    if (server)
        server->addSystem(sys); // listed before the library opens its event connection
    discoverSystem(node);
    SubscriptionFailureList s, b, c;
    if (sys->subscribeParameters({}, s, b, c) != 0) {
        ORVEHV_DeinitSystem(handle);
        if (server ? server->removeSystem(sys) : true)
            delete sys;
        return nullptr;
    }
    QMutexLocker lock(&sys->eventStateMutex);
    sys->eventsEnabled = true;
    return sys;
}

void disconnectSystem(QSystemInterface *sys, EventServer *server)
{
    sys->stopRequested.store(true);
    SubscriptionFailureList s, b, c;
    sys->unsubscribeParameters({}, s, b, c);
    ORVEHV_DeinitSystem(sys->handle());
    if (server ? server->removeSystem(sys) : true)
        delete sys;
}

// Raw decode: our own listener on the event port, the library's stream read
// with GetEventData in a tight loop.
double rawDecodeRate(const vhw::SystemInfo &info, quint16 port, unsigned int events)
{
    const int lfd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    ::setsockopt(lfd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(lfd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0 || ::listen(lfd, 5) != 0) {
        ::close(lfd);
        return -1;
    }
    QSystemInterface *sys = connectSystem(info, nullptr); // subscribes at `port`
    if (!sys) {
        ::close(lfd);
        return -1;
    }
    pollfd p{lfd, POLLIN, 0};
    if (::poll(&p, 1, 5000) <= 0) {
        ::close(lfd);
        disconnectSystem(sys, nullptr);
        return -1;
    }
    const int fd = ::accept(lfd, nullptr, nullptr);
    char id[ORVEHV_EVENT_ID_LEN];
    size_t got = 0;
    while (got < sizeof id) {
        const ssize_t n = ::recv(fd, id + got, sizeof id - got, 0);
        if (n <= 0)
            break;
        got += size_t(n);
    }
    vhw::floodEvents(info.id, events);
    unsigned long long records = 0;
    QElapsedTimer t;
    t.start();
    qint64 lastRecordNs = 0;
    while (records < events) {
        ORVEHV_SYSTEMSTATUS_t st;
        IDValue_t *data = nullptr;
        unsigned int count = 0;
        const int rc = ORVEHV_GetEventData(fd, &st, &data, &count);
        if (rc == ORVEHV_OK) {
            for (unsigned int i = 0; i < count; ++i)
                if (data[i].Type == ORVEHV_EVENT_PARAMETER)
                    ++records;
            lastRecordNs = t.nsecsElapsed();
        }
        if (data)
            ORVEHV_FreeEventData(&data);
        if (rc != ORVEHV_OK && rc != ORVEHV_NO_EVENT_DATA)
            break;
        if (rc == ORVEHV_NO_EVENT_DATA)
            break; // the stream has dried up
    }
    ::shutdown(fd, SHUT_RDWR);
    disconnectSystem(sys, nullptr);
    ::close(fd);
    ::close(lfd);
    return lastRecordNs > 0 ? double(records) / (double(lastRecordNs) / 1e9) : -1;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const unsigned int events = argc > 1 ? unsigned(atoi(argv[1])) : 200000u;
    vhw::setTimeMode(vhw::TimeMode::Manual);

    const vhw::SystemInfo info = sixteenSlotSystem();
    if (info.id < 0) {
        std::fprintf(stderr, "no 16-slot system in the virtual world\n");
        return 1;
    }

    EventRouter router;
    EventServer server(&router);
    if (!server.start() || !server.isListening()) {
        std::fprintf(stderr, "event server did not start\n");
        return 1;
    }
    const quint16 port = server.port();

    // --- full path through the event server ---------------------------
    EventRouter gui; // the main window's side: receives queued
    QObject::connect(&router, &EventRouter::updateValueAndWidget, &gui, &EventRouter::updateValueAndWidget,
                     Qt::QueuedConnection);
    QSystemInterface *sys = connectSystem(info, &server);
    if (!sys) {
        std::fprintf(stderr, "could not connect %s\n", info.argument.c_str());
        return 1;
    }
    QElapsedTimer wait;
    wait.start();
    while (wait.elapsed() < 5000) {
        QMutexLocker lock(&EventServer::systemsMutex());
        if (sys->eventThread)
            break;
        lock.unlock();
        app.processEvents();
        QThread::msleep(5);
    }

    unsigned long long handled = 0;
    QObject::connect(&gui, &EventRouter::updateValueAndWidget, &gui,
                     [&](QSystemInterface *s, int bd, int ch, const QString &name, const IDValue_t &val, bool, bool) {
                         ORVEHVNode *root = s->systemNode();
                         if (bd >= 0 && bd < root->children().size()) {
                             ORVEHVNode *board = root->children().at(bd);
                             if (ch >= 0 && ch < board->children().size()) {
                                 if (ORVEHVNode *p = board->children().at(ch)->parameter(name))
                                     p->setValue(eventValue(p, val.Value));
                             }
                         }
                         ++handled;
                     });

    qint64 worstStallNs = 0;
    QElapsedTimer tick;
    QTimer heartbeat;
    heartbeat.setInterval(1);
    QObject::connect(&heartbeat, &QTimer::timeout, &heartbeat, [&] {
        worstStallNs = qMax(worstStallNs, tick.nsecsElapsed());
        tick.restart();
    });

    QElapsedTimer run;
    vhw::floodEvents(info.id, events);
    run.start();
    tick.start();
    heartbeat.start();
    qint64 lastHandledNs = 0;
    unsigned long long lastCount = 0;
    while (handled < events && run.elapsed() - lastHandledNs / 1000000 < 3000) {
        app.processEvents(QEventLoop::AllEvents, 50);
        if (handled != lastCount) {
            lastCount = handled;
            lastHandledNs = run.nsecsElapsed();
        }
    }
    heartbeat.stop();
    const double guiRate = lastHandledNs > 0 ? double(handled) / (double(lastHandledNs) / 1e9) : 0;
    disconnectSystem(sys, &server);
    server.stop();

    // --- raw decode of the same stream -----------------------------------
    const double rawRate = rawDecodeRate(info, port, events);

    std::printf("system: %s (%s), %u value events\n", info.argument.c_str(), info.description.c_str(), events);
    std::printf("events handled on the GUI thread: %llu of %u, %.0f events/s\n", handled, events, guiRate);
    std::printf("raw decode rate (GetEventData only): %.0f records/s\n", rawRate);
    std::printf("worst event-loop stall during the flood: %.2f ms\n", double(worstStallNs) / 1e6);
    return handled == events ? 0 : 2;
}
