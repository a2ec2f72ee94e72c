// AutodetectResponder.h - answers mainframe autodetection probes on loopback.
//
// A probe is the datagram "KEBO<port>"; the responder answers it with one
// datagram per mainframe (MF3300 / MF3500 systems) of the current world, sent
// to the prober's address at <port>, each in the form
// "<model>:<serial number>:<firmware release>:<TELMOS release>".
// It listens on 127.0.0.1 only, so nothing leaves the machine. A mainframe
// answers from its "loopbackAddress" (an alias InitSystem accepts, see
// WorldFile.h) or else from its connection argument when that is a loopback
// address (127.x.y.z); the others answer from 127.0.0.1.
#ifndef VIRTUALHW_AUTODETECTRESPONDER_H
#define VIRTUALHW_AUTODETECTRESPONDER_H

#include "virtualhw/VirtualControl.h"   // VHW_API

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

struct sockaddr_in;

namespace vhw {

class VHW_API AutodetectResponder
{
public:
    AutodetectResponder() = default;
    ~AutodetectResponder();   // stop()
    AutodetectResponder(const AutodetectResponder &) = delete;
    AutodetectResponder &operator=(const AutodetectResponder &) = delete;

    // Binds 127.0.0.1:port (0 = any free port) and answers on a thread of its
    // own. False with *error filled when the port cannot be bound.
    bool start(uint16_t port, std::string *error = nullptr);
    // Ends the thread within about 100 ms; safe to call twice.
    void stop();
    bool isRunning() const { return m_thread.joinable(); }
    uint16_t port() const { return m_port; }

    // Replaces the world's mainframes by these exact reply texts (tests: two
    // mainframes, malformed or binary replies). An empty list answers nothing.
    void setReplies(const std::vector<std::string> &replies);
    // Back to answering for the current world's mainframes.
    void useWorld();

    // The replies the current world's mainframes give, in world order.
    static std::vector<std::string> worldReplies();
    // The same with the address each is sent from (host order): the mainframe's
    // loopback alias, else its connection argument when that is a loopback
    // address, else 0 (127.0.0.1).
    static std::vector<std::pair<std::string, uint32_t>> worldRepliesFrom();

    // Probes answered so far, and the last probe text seen.
    uint64_t probesAnswered() const { return m_answered; }
    std::string lastProbe() const;

private:
    void run();
    void sendReply(const std::string &text, uint32_t source, const ::sockaddr_in &to);

    int m_socket = -1;
    uint16_t m_port = 0;
    std::thread m_thread;
    std::atomic<bool> m_stop{ false };
    std::atomic<uint64_t> m_answered{ 0 };
    mutable std::mutex m_mutex;   // guards the two below
    bool m_fixed = false;
    std::vector<std::string> m_replies;
    std::string m_lastProbe;
};

// Reply port of a probe "KEBO<port>" (1..65535), or 0 when it is not one.
VHW_API int autodetectProbePort(const char *data, size_t size);

} // namespace vhw

#endif
