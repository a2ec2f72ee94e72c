#include "device/EventServer.h"

#include "device/EventDataThread.h"
#include "device/EventRouter.h"
#include "device/EventThreadSync.h"
#include "device/QSystemInterface.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QMutexLocker>
#include <QThread>

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <vector>

namespace {

constexpr int IdentifierLength = ORVEHV_EVENT_ID_LEN;
constexpr int MaxPendingIdentifiers = 32;
constexpr int B8181SystemType = 16;

std::atomic<quint16> s_eventPort{EventServer::DefaultPort};

void closeFd(int &fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

} // namespace

// A local connection whose identifier block is still being read.
struct EventServer::Pending
{
    int fd = -1;
    QByteArray data;
    QDeadlineTimer deadline;
};

EventServer::EventServer(EventRouter *router, quint16 firstPort) : m_router(router), m_firstPort(firstPort) {}

EventServer::~EventServer()
{
    stop();
}

quint16 EventServer::currentEventPort()
{
    return s_eventPort.load();
}

std::atomic<int> &EventServer::pendingEventStarts()
{
    static std::atomic<int> pending{0};
    return pending;
}

QMutex &EventServer::systemsMutex()
{
    return EventThreadSync::systemsMutex();
}

bool EventServer::start(int readyTimeoutMs)
{
    if (m_thread.joinable())
        return true;
    if (::pipe2(m_wakePipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    m_stop.store(false);
    m_ready.store(false);
    try {
        m_thread = std::thread([this] { run(); });
    } catch (...) {
        closeFd(m_wakePipe[0]);
        closeFd(m_wakePipe[1]);
        return false;
    }
    // Subscriptions need the final port, so wait until the server listens.
    QDeadlineTimer deadline(readyTimeoutMs);
    while (!m_ready.load() && !deadline.hasExpired())
        QThread::msleep(2);
    return true;
}

void EventServer::stop()
{
    if (m_thread.joinable()) {
        m_stop.store(true);
        const char c = 'x';
        (void)!::write(m_wakePipe[1], &c, 1);
        m_thread.join();
        closeFd(m_wakePipe[0]);
        closeFd(m_wakePipe[1]);
    }
    m_listening.store(false);
    m_port.store(0);

    QList<QSystemInterface *> systems;
    {
        QMutexLocker lock(&systemsMutex());
        systems = m_systems;
    }
    for (QSystemInterface *sys : systems)
        stopEventThreads(sys);
}

void EventServer::addSystem(QSystemInterface *sys)
{
    if (!sys)
        return;
    QMutexLocker lock(&systemsMutex());
    if (!m_systems.contains(sys))
        m_systems.append(sys);
}

bool EventServer::removeSystem(QSystemInterface *sys, int timeoutMs)
{
    {
        QMutexLocker lock(&systemsMutex());
        m_systems.removeAll(sys);
    }
    return stopEventThreads(sys, timeoutMs);
}

QList<QSystemInterface *> EventServer::systems() const
{
    QMutexLocker lock(&systemsMutex());
    return m_systems;
}

bool EventServer::listenSocket()
{
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const int one = 1;
    // Our own connections lingering in TIME_WAIT must not push the port up.
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    quint32 port = m_firstPort;
    for (;;) {
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_ANY);
        addr.sin_port = htons(quint16(port));
        if (::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0)
            break;
        if (errno == EADDRINUSE && port < 65535) {
            ++port;
            continue;
        }
        closeFd(fd);
        return false;
    }
    if (::listen(fd, 5) != 0) {
        closeFd(fd);
        return false;
    }
    m_listenFd = fd;
    m_port.store(quint16(port));
    s_eventPort.store(quint16(port));
    m_listening.store(true);
    return true;
}

void EventServer::run()
{
    const bool ok = listenSocket();
    m_ready.store(true);
    if (!ok) {
        emit m_router->tcpServerError();
        return;
    }

    QElapsedTimer idle;
    idle.start();
    std::vector<pollfd> fds;
    while (!m_stop.load()) {
        fds.clear();
        fds.push_back({m_wakePipe[0], POLLIN, 0});
        fds.push_back({m_listenFd, POLLIN, 0});
        qint64 timeout = qMax<qint64>(0, m_idleTimeoutMs.load() - idle.elapsed());
        for (Pending *p : std::as_const(m_pending)) {
            fds.push_back({p->fd, POLLIN, 0});
            timeout = qMin(timeout, qMax<qint64>(0, p->deadline.remainingTime()));
        }
        const int n = ::poll(fds.data(), nfds_t(fds.size()), int(timeout));
        if (n < 0 && errno != EINTR)
            break;
        if (m_stop.load())
            break;
        if (n > 0 && (fds[0].revents & POLLIN)) {
            char buf[16];
            while (::read(m_wakePipe[0], buf, sizeof buf) > 0) {
            }
        }

        // Identifier blocks first, so a fast peer is served before new ones.
        for (size_t i = 2; i < fds.size(); ++i) {
            Pending *p = m_pending.at(int(i - 2));
            if (n > 0 && fds[i].revents) {
                char buf[IdentifierLength];
                const ssize_t got =
                    ::recv(p->fd, buf, size_t(IdentifierLength - p->data.size()), MSG_DONTWAIT);
                if (got > 0)
                    p->data.append(buf, int(got));
                else if (got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
                    p->deadline = QDeadlineTimer(0); // peer closed or failed: decide now
            }
        }
        for (int i = 0; i < m_pending.size();) {
            Pending *p = m_pending.at(i);
            if (p->data.size() >= IdentifierLength || p->deadline.hasExpired()) {
                m_pending.removeAt(i);
                // A local peer that sent nothing is known by its address.
                resolve(p->fd, p->data.isEmpty() ? QByteArrayLiteral("127.0.0.1") : p->data);
                delete p;
            } else {
                ++i;
            }
        }

        if (n > 0 && (fds[1].revents & POLLIN)) {
            acceptOne();
            idle.restart();
        }
        if (idle.elapsed() >= m_idleTimeoutMs.load()) {
            handleIdle();
            idle.restart();
        }
    }

    for (Pending *p : std::as_const(m_pending)) {
        ::close(p->fd);
        delete p;
    }
    m_pending.clear();
    closeFd(m_listenFd);
}

void EventServer::acceptOne()
{
    sockaddr_in addr{};
    socklen_t len = sizeof addr;
    const int fd = ::accept4(m_listenFd, reinterpret_cast<sockaddr *>(&addr), &len, SOCK_CLOEXEC);
    if (fd < 0)
        return;
    char text[INET_ADDRSTRLEN] = {};
    if (addr.sin_family != AF_INET || !::inet_ntop(AF_INET, &addr.sin_addr, text, sizeof text)) {
        ::close(fd);
        return;
    }
    const QByteArray address(text);
    if (address != "127.0.0.1") {
        resolve(fd, address);
        return;
    }
    if (m_pending.size() >= MaxPendingIdentifiers) {
        // Somebody is opening connections without identifying them: give up
        // on the oldest rather than holding sockets without bound.
        Pending *oldest = m_pending.takeFirst();
        resolve(oldest->fd, oldest->data.isEmpty() ? address : oldest->data);
        delete oldest;
    }
    auto *p = new Pending;
    p->fd = fd;
    p->deadline = QDeadlineTimer(m_identifierTimeoutMs.load());
    m_pending.append(p);
}

void EventServer::resolve(int fd, const QByteArray &identifierBlock)
{
    // The block is the connection argument padded with NUL bytes.
    const int nul = identifierBlock.indexOf('\0');
    const QString identifier = QString::fromLatin1(nul >= 0 ? identifierBlock.left(nul) : identifierBlock);

    QMutexLocker lock(&systemsMutex());
    for (QSystemInterface *sys : std::as_const(m_systems)) {
        if (sys->connectionArgument().compare(identifier, Qt::CaseInsensitive) != 0)
            continue;
        if (sys->stopRequested.load()) {
            ::close(fd); // being disconnected: takes no new event source
            return;
        }
        if (sys->eventThread) {
            if (!sys->eventThread->isFinished()) {
                ::close(fd); // one event connection per system
                return;
            }
            // The old source failed; a new subscription opened a new one.
            EventThreadSync::join(sys->eventThread, QDeadlineTimer::Forever);
            delete sys->eventThread;
            sys->eventThread = nullptr;
            int old = sys->eventSocket.exchange(-1);
            closeFd(old);
        }
        startEvents(sys, fd);
        return;
    }
    ++m_unmatched;
    reportUnmatched();
    ::close(fd);
}

void EventServer::handleIdle()
{
    std::atomic<int> &pending = pendingEventStarts();
    int expected = pending.load();
    while (expected > 0 && !pending.compare_exchange_weak(expected, expected - 1)) {
    }
    if (expected <= 0)
        return; // no B8181 system is waiting for its event source

    QMutexLocker lock(&systemsMutex());
    for (QSystemInterface *sys : std::as_const(m_systems)) {
        if (sys->systemType() == B8181SystemType && !sys->eventThread && !sys->stopRequested.load()) {
            startEvents(sys, -1);
            return;
        }
    }
    reportUnmatched();
}

void EventServer::startEvents(QSystemInterface *sys, int fd)
{
    sys->eventSocket.store(fd);
    sys->eventThread = EventData::start(m_router, sys);
}

void EventServer::reportUnmatched()
{
    if (m_systems.isEmpty())
        return;
    QSystemInterface *last = m_systems.last();
    if (!last->stopRequested.load())
        emit m_router->systemDisconnected(last, 1);
}
