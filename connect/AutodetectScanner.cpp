#include "connect/AutodetectScanner.h"

#include <QSet>

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

class Fd
{
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }

private:
    int m_fd;
};

using Clock = std::chrono::steady_clock;

qint64 msSince(Clock::time_point t)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

} // namespace

AutodetectScanner::AutodetectScanner(QObject *parent) : QObject(parent)
{
    m_wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    m_deliveryTimer.setInterval(20);
    connect(&m_deliveryTimer, &QTimer::timeout, this, &AutodetectScanner::deliver);
}

void AutodetectScanner::post(Result result)
{
    std::lock_guard<std::mutex> lock(m_resultsMutex);
    m_results.push_back(std::move(result));
}

void AutodetectScanner::deliver()
{
    std::vector<Result> results;
    {
        std::lock_guard<std::mutex> lock(m_resultsMutex);
        results.swap(m_results);
    }
    for (const Result &r : results) {
        if (r.generation != m_generation)
            continue;   // from a scan that was stopped and replaced
        switch (r.kind) {
        case Result::Bound:
            emit replyPortBound(r.port);
            break;
        case Result::Probe:
            emit probeSent(QByteArray::fromStdString(r.text));
            break;
        case Result::Found: {
            QStringList f;
            for (const std::string &x : r.fields)
                f.append(QString::fromStdString(x));
            emit mainframeFound(f[0], QString::fromStdString(r.text), f[1], f[2], f[3]);
            break;
        }
        case Result::Finished:
            m_running = false;
            m_deliveryTimer.stop();
            emit finished();
            break;
        }
    }
}

AutodetectScanner::~AutodetectScanner()
{
    m_stop = true;
    wakeWorker();
    joinWorker();
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
}

bool AutodetectScanner::parseTarget(const QByteArray &text, uint32_t *address, uint16_t *port)
{
    const int colon = text.lastIndexOf(':');
    if (colon <= 0)
        return false;
    const QByteArray host = text.left(colon).trimmed();
    bool ok = false;
    const uint p = text.mid(colon + 1).trimmed().toUInt(&ok);
    if (!ok || p == 0 || p > 65535)
        return false;
    in_addr a{};
    if (::inet_pton(AF_INET, host.constData(), &a) != 1)
        return false;
    *address = ntohl(a.s_addr);
    *port = static_cast<uint16_t>(p);
    return true;
}

bool AutodetectScanner::probeTarget(uint32_t *address, uint16_t *port)
{
    if (!qEnvironmentVariableIsSet("KEBO_AUTODETECT_TARGET")) {
        *address = 0xffffffffu;   // the local network's broadcast address
        *port = 113;
        return true;
    }
    return parseTarget(qgetenv("KEBO_AUTODETECT_TARGET"), address, port);
}

bool AutodetectScanner::parseReply(const QByteArray &datagram, QStringList *fields)
{
    if (datagram.size() > kMaxReplyBytes)
        return false;
    QByteArray text = datagram;
    const int zero = text.indexOf('\0');
    if (zero >= 0)
        text.truncate(zero);
    text = text.trimmed();
    for (char c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u > 0x7e)
            return false;
    }
    const QStringList pieces =
        QString::fromLatin1(text).split(QLatin1Char(':'), Qt::SkipEmptyParts);
    if (pieces.size() < 4)
        return false;
    if (fields)
        *fields = pieces;
    return true;
}

void AutodetectScanner::setTimings(int settleMs, int scanMs, int repeatMs)
{
    m_settleMs = settleMs;
    m_scanMs = scanMs;
    m_repeatMs = repeatMs;
}

void AutodetectScanner::wakeWorker()
{
    if (m_wakeFd >= 0) {
        const uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(m_wakeFd, &one, sizeof one);
    }
}

void AutodetectScanner::joinWorker()
{
    if (m_thread.joinable())
        m_thread.join();
}

void AutodetectScanner::start()
{
    // An earlier worker that was told to stop ends within milliseconds.
    m_stop = true;
    wakeWorker();
    joinWorker();
    if (m_wakeFd >= 0) {
        uint64_t drained = 0;
        [[maybe_unused]] ssize_t n = ::read(m_wakeFd, &drained, sizeof drained);
    }
    ++m_generation;
    m_stop = false;
    m_running = true;
    {
        std::lock_guard<std::mutex> lock(m_resultsMutex);
        m_results.clear();
    }
    m_deliveryTimer.start();
    m_thread = std::thread(&AutodetectScanner::run, this, m_generation, m_settleMs, m_scanMs,
                           m_repeatMs);
}

void AutodetectScanner::stop()
{
    m_stop = true;
    m_running = false;
    wakeWorker();
}

void AutodetectScanner::run(quint64 generation, int settleMs, int scanMs, int repeatMs)
{
    auto finish = [&]() { post({ Result::Finished, generation, 0, {}, {} }); };

    // Waits up to ms for the socket (or only for a stop when fd < 0).
    // 1 = readable, 0 = timed out, -1 = stop requested or error.
    auto wait = [this](int fd, int ms) -> int {
        pollfd p[2] = { { m_wakeFd, POLLIN, 0 }, { fd, POLLIN, 0 } };
        const int n = ::poll(p, fd >= 0 ? 2 : 1, ms);
        if (m_stop)
            return -1;
        if (n < 0)
            return errno == EINTR ? 0 : -1;
        return (fd >= 0 && (p[1].revents & POLLIN)) ? 1 : 0;
    };

    uint32_t targetAddress = 0;
    uint16_t targetPort = 0;
    const bool haveTarget = probeTarget(&targetAddress, &targetPort);

    // Let replies to an earlier scan die out first.
    if (settleMs > 0 && wait(-1, settleMs) < 0) {
        finish();
        return;
    }

    Fd replySocket(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!replySocket.valid() || !haveTarget) {
        finish();
        return;
    }
    int boundPort = 0;
    for (int port = kFirstReplyPort; port < 65535 && !m_stop; ++port) {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_ANY);
        a.sin_port = htons(static_cast<uint16_t>(port));
        if (::bind(replySocket.get(), reinterpret_cast<sockaddr *>(&a), sizeof a) == 0) {
            boundPort = port;
            break;
        }
    }
    if (boundPort == 0) {
        finish();
        return;
    }
    post({ Result::Bound, generation, boundPort, {}, {} });

    Fd sendSocket(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!sendSocket.valid()) {
        finish();
        return;
    }
    const int on = 1;
    ::setsockopt(sendSocket.get(), SOL_SOCKET, SO_BROADCAST, &on, sizeof on);

    const QByteArray probe = "KEBO" + QByteArray::number(boundPort);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(targetAddress);
    to.sin_port = htons(targetPort);
    auto send = [&]() {
        // A failed send (no route to broadcast, ...) leaves the scan listening.
        const ssize_t n = ::sendto(sendSocket.get(), probe.constData(), size_t(probe.size()), 0,
                                   reinterpret_cast<sockaddr *>(&to), sizeof to);
        if (n == probe.size())
            post({ Result::Probe, generation, 0, probe.toStdString(), {} });
    };

    send();
    const Clock::time_point started = Clock::now();
    Clock::time_point lastSend = started;
    QSet<QByteArray> seen;
    int rows = 0;

    while (!m_stop) {
        const int ready = wait(replySocket.get(), kReceiveTimeoutMs);
        if (ready < 0)
            break;
        if (ready > 0) {
            char buffer[kMaxReplyBytes + 1] = {};
            sockaddr_in from{};
            socklen_t fromLength = sizeof from;
            // MSG_TRUNC gives the datagram's real length: over-long replies are dropped whole.
            const ssize_t n = ::recvfrom(replySocket.get(), buffer, kMaxReplyBytes,
                                         MSG_TRUNC | MSG_DONTWAIT,
                                         reinterpret_cast<sockaddr *>(&from), &fromLength);
            if (n >= 0 && n <= kMaxReplyBytes && from.sin_family == AF_INET) {
                QByteArray text(buffer, int(n));
                const int zero = text.indexOf('\0');
                if (zero >= 0)
                    text.truncate(zero);
                QStringList f;
                if (!seen.contains(text) && seen.size() < kMaxSeenReplies) {
                    seen.insert(text);
                    if (rows < kMaxRows && parseReply(text, &f)) {
                        ++rows;
                        char address[INET_ADDRSTRLEN] = {};
                        ::inet_ntop(AF_INET, &from.sin_addr, address, sizeof address);
                        std::vector<std::string> fields;
                        for (int i = 0; i < 4; ++i)
                            fields.push_back(f.at(i).toStdString());
                        post({ Result::Found, generation, 0, address, std::move(fields) });
                    }
                }
            }
        }
        if (m_stop)
            break;
        if (msSince(lastSend) > repeatMs) {
            send();
            lastSend = Clock::now();
        }
        if (msSince(started) > scanMs)
            break;
    }
    finish();
}
