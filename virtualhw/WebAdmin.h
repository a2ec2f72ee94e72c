// WebAdmin.h - the web administration site of the virtual mainframes.
//
// Every networked mainframe of the world (MF3300/MF3500, B8181, PLEX on
// TCP/IP) that lives at a loopback address (its alias, or an argument that is
// one) gets a small site there:
//   "/"                         the login form, or the status page once logged in
//   "/session_login.cgi?user=&pass="  checks the system's user and password;
//                                     success sets a session cookie and
//                                     redirects to "/"
// All sites share one port. Port 80 needs privileges, so the sites listen on
// a port of their own (vhw-webadmin --port, scripts/run.sh) and the program
// is told that port (KEBO_WEBADMIN_PORT).
#ifndef VIRTUALHW_WEBADMIN_H
#define VIRTUALHW_WEBADMIN_H

#include "virtualhw/VirtualControl.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vhw {

class VHW_API WebAdmin
{
public:
    WebAdmin() = default;
    ~WebAdmin();   // stop()
    WebAdmin(const WebAdmin &) = delete;
    WebAdmin &operator=(const WebAdmin &) = delete;

    // Binds every site's address at `port` (0: a free port chosen for the
    // first site and used for all) and serves on a thread of its own. False
    // with *error filled when no site could be bound; a site whose address is
    // taken is skipped.
    bool start(uint16_t port, std::string *error = nullptr);
    // Ends the thread within about 100 ms; safe to call twice.
    void stop();
    uint16_t port() const { return m_port; }
    std::vector<std::string> addresses() const;

    struct Login {
        std::string address, user, password;   // as decoded from the request
        bool accepted = false;
    };
    // Login attempts so far, oldest first.
    std::vector<Login> logins() const;

    // Request handling without sockets: the full response to one request
    // head, for the site at `address`.
    std::string respond(const std::string &address, const std::string &requestHead);

private:
    struct Client {
        int fd = -1;
        std::string address;
        std::string in;
        double since = 0;
    };
    void run();

    std::vector<std::pair<int, std::string>> m_listeners;   // socket, address
    std::vector<Client> m_clients;
    uint16_t m_port = 0;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;   // guards the two below
    std::vector<Login> m_logins;
    std::map<std::string, std::string> m_sessions;   // cookie token -> "address\nuser"
};

// Percent-decodes a query component ("+" is a blank, as from a form).
VHW_API std::string decodeQueryComponent(const std::string &text);
// The value of `key` in a query "a=1&b=2", decoded; empty when absent.
VHW_API std::string queryValue(const std::string &query, const std::string &key);

} // namespace vhw

#endif
