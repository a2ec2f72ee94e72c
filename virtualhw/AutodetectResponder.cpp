#include "virtualhw/AutodetectResponder.h"

#include "virtualhw/VirtualControl.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vhw {

namespace {

// Type codes of the mainframes (the library's system types 2 and 3).
constexpr int kMF3300 = 2;
constexpr int kMF3500 = 3;

std::string propOr(int sys, const char *name, const std::string &fallback)
{
    const std::string v = sysPropText(sys, name);
    // A reply field must not contain the separator or end the text early.
    if (v.empty() || v.find(':') != std::string::npos || v.find('\0') != std::string::npos)
        return fallback;
    return v;
}

// Loopback address (host order) of a connection argument such as "127.0.0.2",
// or 0 when the argument is not one.
uint32_t loopbackAddressOf(const std::string &argument)
{
    in_addr a{};
    if (::inet_pton(AF_INET, argument.c_str(), &a) != 1)
        return 0;
    const uint32_t host = ntohl(a.s_addr);
    return (host >> 24) == 127 ? host : 0;
}

} // namespace

int autodetectProbePort(const char *data, size_t size)
{
    if (size < 5 || size > 9 || std::memcmp(data, "KEBO", 4) != 0)
        return 0;
    long port = 0;
    for (size_t i = 4; i < size; ++i) {
        if (data[i] < '0' || data[i] > '9')
            return 0;
        port = port * 10 + (data[i] - '0');
    }
    return (port >= 1 && port <= 65535) ? int(port) : 0;
}

AutodetectResponder::~AutodetectResponder()
{
    stop();
}

std::vector<std::string> AutodetectResponder::worldReplies()
{
    std::vector<std::string> texts;
    for (const auto &r : worldRepliesFrom())
        texts.push_back(r.first);
    return texts;
}

std::vector<std::pair<std::string, uint32_t>> AutodetectResponder::worldRepliesFrom()
{
    std::vector<std::pair<std::string, uint32_t>> replies;
    for (const SystemInfo &s : listSystems()) {
        if (s.systemType != kMF3300 && s.systemType != kMF3500)
            continue;
        // A 6-slot MF3500 opens as type 2 like a MF3300: its model name tells them apart.
        std::string model = "MF3500";
        if (s.systemType == kMF3300) {
            model = propOr(s.id, "ModelName", "");
            if (model.rfind("MF", 0) != 0)
                model = s.description.find("MF3500") != std::string::npos ? "MF3500" : "MF3300";
        }
        // The world gives every system its own number (WorldFile.cpp).
        const std::string serial = propOr(s.id, "SerialNumber", "");
        const std::string firmware = propOr(s.id, "FwRelease", "2.2.4");
        const std::string telmos = propOr(s.id, "TelmosRelease", "1.2.0");
        // The prober takes the sender for the mainframe's address: answer from
        // the address InitSystem opens it by, its loopback alias if it has one.
        uint32_t from = loopbackAddressOf(s.loopbackAddress);
        if (from == 0)
            from = loopbackAddressOf(s.argument);
        replies.emplace_back(model + ":" + serial + ":" + firmware + ":" + telmos, from);
    }
    return replies;
}

void AutodetectResponder::setReplies(const std::vector<std::string> &replies)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_fixed = true;
    m_replies = replies;
}

void AutodetectResponder::useWorld()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_fixed = false;
    m_replies.clear();
}

std::string AutodetectResponder::lastProbe() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_lastProbe;
}

bool AutodetectResponder::start(uint16_t port, std::string *error)
{
    if (isRunning())
        return true;
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        if (error)
            *error = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    if (::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0) {
        if (error)
            *error = "bind 127.0.0.1:" + std::to_string(port) + ": " + std::strerror(errno);
        ::close(fd);
        return false;
    }
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len);
    m_port = ntohs(a.sin_port);
    m_socket = fd;
    m_stop = false;
    m_thread = std::thread(&AutodetectResponder::run, this);
    return true;
}

void AutodetectResponder::stop()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_socket >= 0) {
        ::close(m_socket);
        m_socket = -1;
    }
}

void AutodetectResponder::sendReply(const std::string &text, uint32_t source, const sockaddr_in &to)
{
    // A mainframe the world places at a loopback address answers from that
    // address, so the prober lists the address the library opens it by.
    if (source != 0 && source != INADDR_LOOPBACK) {
        const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (fd >= 0) {
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_addr.s_addr = htonl(source);
            if (::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0) {
                ::sendto(fd, text.data(), text.size(), 0, reinterpret_cast<const sockaddr *>(&to),
                         sizeof to);
                ::close(fd);
                return;
            }
            ::close(fd);
        }
    }
    ::sendto(m_socket, text.data(), text.size(), 0, reinterpret_cast<const sockaddr *>(&to), sizeof to);
}

void AutodetectResponder::run()
{
    while (!m_stop) {
        pollfd p{ m_socket, POLLIN, 0 };
        const int n = ::poll(&p, 1, 100);   // bounded, so stop() is seen quickly
        if (n <= 0 || !(p.revents & POLLIN))
            continue;
        char buffer[64];
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        const ssize_t got = ::recvfrom(m_socket, buffer, sizeof buffer, MSG_TRUNC | MSG_DONTWAIT,
                                       reinterpret_cast<sockaddr *>(&from), &fromLength);
        if (got <= 0 || size_t(got) > sizeof buffer)
            continue;
        const int replyPort = autodetectProbePort(buffer, size_t(got));
        if (replyPort == 0)
            continue;   // not a probe: no answer
        std::vector<std::pair<std::string, uint32_t>> replies;
        bool fixed = false;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_lastProbe.assign(buffer, size_t(got));
            fixed = m_fixed;
            if (fixed) {
                for (const std::string &r : m_replies)
                    replies.emplace_back(r, 0);
            }
        }
        if (!fixed)
            replies = worldRepliesFrom();   // the world as it is at this probe
        // Answers go back to the prober's address only: on loopback that is
        // this machine, and every socket here is bound to a loopback address.
        sockaddr_in to = from;
        to.sin_port = htons(uint16_t(replyPort));
        for (const auto &r : replies)
            sendReply(r.first, r.second, to);
        ++m_answered;
    }
}

} // namespace vhw
