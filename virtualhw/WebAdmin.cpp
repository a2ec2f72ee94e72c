// The mainframes' web administration sites: plain HTTP/1.0, one request per
// connection, served by one polling thread.
#include "virtualhw/WebAdmin.h"

#include "virtualhw/World.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <random>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vhw {

namespace {

const size_t kMaxHead = 8192;
const double kClientTimeout = 5.0;

double now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

bool hasSite(const SystemInfo &s)
{
    return s.linkType == 0 && (s.systemType == 2 || s.systemType == 3 || s.systemType == 14 || s.systemType == 16);
}

// The loopback address a system's site listens on, empty when it has none.
std::string siteAddress(const SystemInfo &s)
{
    if (!hasSite(s))
        return std::string();
    if (!s.loopbackAddress.empty())
        return s.loopbackAddress;
    return s.argument.compare(0, 4, "127.") == 0 ? s.argument : std::string();
}

std::string html(const std::string &text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '&': out += "&amp;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string page(int code, const std::string &reason, const std::string &title, const std::string &body,
                 const std::string &extraHeaders = std::string())
{
    const std::string content = "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>" + html(title) +
                                "</title><style>body{font-family:sans-serif;margin:2em;background:#f4f6f8}"
                                "h1{color:#1d4f91}table{border-collapse:collapse}td,th{border:1px solid #bbb;"
                                "padding:4px 10px}.ok{color:#35a912;font-weight:bold}.bad{color:#c00}</style>"
                                "</head><body>" + body + "</body></html>";
    return "HTTP/1.0 " + std::to_string(code) + " " + reason +
           "\r\nContent-Type: text/html; charset=utf-8\r\nCache-Control: no-store\r\nContent-Length: " +
           std::to_string(content.size()) + "\r\n" + extraHeaders + "Connection: close\r\n\r\n" + content;
}

std::string loginForm(const SystemInfo &s, const std::string &model, const std::string &message)
{
    std::string body = "<h1>" + html(model) + " web administration</h1><p>" + html(s.description) + "</p>";
    if (!message.empty())
        body += "<p class=\"bad\">" + html(message) + "</p>";
    body += "<form action=\"session_login.cgi\" method=\"get\"><p>User <input name=\"user\"></p>"
            "<p>Password <input name=\"pass\" type=\"password\"></p><p><input type=\"submit\" value=\"Login\"></p>"
            "</form>";
    return page(200, "OK", model + " login", body);
}

std::string statusPage(const SystemInfo &s, const std::string &user)
{
    const std::string model = sysPropText(s.id, "ModelName");
    std::string body = "<h1>" + html(model) + " web administration</h1><p class=\"ok\">Logged in as " +
                       html(user) + "</p><table>";
    for (const char *name : {"ModelName", "SerialNumber", "FwRelease", "SwRelease", "HwRelease", "CPULoad",
                             "MemoryStatus"}) {
        const std::string v = sysPropText(s.id, name);
        if (!v.empty())
            body += std::string("<tr><th>") + name + "</th><td>" + html(v) + "</td></tr>";
    }
    body += "</table><h2>Sessions</h2><table><tr><th>User</th><th>Level</th><th>Communication</th>"
            "<th>Login Time</th><th>Ip Address</th></tr>";
    const std::string sessions = sysPropText(s.id, "Sessions");
    size_t start = 0;
    while (start < sessions.size()) {
        size_t end = sessions.find(';', start);
        if (end == std::string::npos)
            end = sessions.size();
        const std::string rec = sessions.substr(start, end - start);
        if (!rec.empty()) {
            body += "<tr>";
            size_t f = 0;
            while (f <= rec.size()) {
                size_t e = rec.find(':', f);
                if (e == std::string::npos)
                    e = rec.size();
                std::string field = rec.substr(f, e - f);
                std::replace(field.begin(), field.end(), '_', ':');
                body += "<td>" + html(field) + "</td>";
                f = e + 1;
            }
            body += "</tr>";
        }
        start = end + 1;
    }
    body += "</table>";
    return page(200, "OK", model + " status", body);
}

std::string headerValue(const std::string &head, const std::string &name)
{
    size_t pos = head.find("\r\n");
    while (pos != std::string::npos && pos + 2 < head.size()) {
        const size_t end = head.find("\r\n", pos + 2);
        const std::string line = head.substr(pos + 2, (end == std::string::npos ? head.size() : end) - pos - 2);
        const size_t colon = line.find(':');
        if (colon != std::string::npos && colon == name.size() && equalsNoCase(line.substr(0, colon), name)) {
            size_t v = colon + 1;
            while (v < line.size() && line[v] == ' ')
                ++v;
            return line.substr(v);
        }
        pos = end;
    }
    return std::string();
}

std::string newToken()
{
    static std::random_device rd;
    static const char hex[] = "0123456789abcdef";
    std::string t;
    for (int i = 0; i < 32; ++i)
        t += hex[rd() & 15];
    return t;
}

} // namespace

std::string decodeQueryComponent(const std::string &text)
{
    auto hexValue = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    };
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0) {
            out += char(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

std::string queryValue(const std::string &query, const std::string &key)
{
    size_t start = 0;
    while (start <= query.size()) {
        size_t end = query.find('&', start);
        if (end == std::string::npos)
            end = query.size();
        const std::string pair = query.substr(start, end - start);
        const size_t eq = pair.find('=');
        if (decodeQueryComponent(pair.substr(0, eq)) == key)
            return eq == std::string::npos ? std::string() : decodeQueryComponent(pair.substr(eq + 1));
        start = end + 1;
    }
    return std::string();
}

WebAdmin::~WebAdmin()
{
    stop();
}

std::vector<std::string> WebAdmin::addresses() const
{
    std::vector<std::string> out;
    for (const auto &l : m_listeners)
        out.push_back(l.second);
    return out;
}

std::vector<WebAdmin::Login> WebAdmin::logins() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_logins;
}

bool WebAdmin::start(uint16_t port, std::string *error)
{
    if (m_thread.joinable())
        return true;
    std::string firstError;
    uint16_t shared = port;
    for (const SystemInfo &s : listSystems()) {
        const std::string address = siteAddress(s);
        if (address.empty())
            continue;
        bool known = false;
        for (const auto &l : m_listeners)
            known = known || l.second == address;
        if (known)
            continue;
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0)
            continue;
        const int one = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(shared);
        if (::inet_pton(AF_INET, address.c_str(), &a.sin_addr) != 1 ||
            ::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0 || ::listen(fd, 16) != 0) {
            if (firstError.empty())
                firstError = "bind " + address + ":" + std::to_string(shared) + ": " + std::strerror(errno);
            ::close(fd);
            continue;
        }
        socklen_t len = sizeof a;
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len);
        shared = ntohs(a.sin_port);
        m_listeners.emplace_back(fd, address);
    }
    if (m_listeners.empty()) {
        if (error)
            *error = firstError.empty() ? std::string("no mainframe with a loopback address") : firstError;
        return false;
    }
    m_port = shared;
    m_stop = false;
    m_thread = std::thread(&WebAdmin::run, this);
    return true;
}

void WebAdmin::stop()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    for (auto &l : m_listeners)
        ::close(l.first);
    m_listeners.clear();
    for (Client &c : m_clients)
        ::close(c.fd);
    m_clients.clear();
}

std::string WebAdmin::respond(const std::string &address, const std::string &head)
{
    SystemInfo site;
    for (const SystemInfo &s : listSystems())
        if (siteAddress(s) == address)
            site = s;
    if (site.id < 0)
        return page(404, "Not Found", "Not found", "<p>No system here.</p>");

    const size_t lineEnd = head.find("\r\n");
    const std::string line = head.substr(0, lineEnd);
    const size_t sp1 = line.find(' ');
    const size_t sp2 = sp1 == std::string::npos ? std::string::npos : line.find(' ', sp1 + 1);
    const std::string method = line.substr(0, sp1);
    if (sp1 == std::string::npos || (method != "GET" && method != "HEAD"))
        return page(400, "Bad Request", "Bad request", "<p>Bad request.</p>");
    const std::string target = line.substr(sp1 + 1, sp2 == std::string::npos ? std::string::npos : sp2 - sp1 - 1);
    const size_t q = target.find('?');
    const std::string path = target.substr(0, q);
    const std::string query = q == std::string::npos ? std::string() : target.substr(q + 1);
    const std::string model = sysPropText(site.id, "ModelName");

    if (path == "/session_login.cgi") {
        Login login;
        login.address = address;
        login.user = queryValue(query, "user");
        login.password = queryValue(query, "pass");
        login.accepted = !site.hasLogin || (login.user == site.user && login.password == site.password);
        std::string token;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_logins.push_back(login);
            if (login.accepted) {
                token = newToken();
                m_sessions[token] = address + "\n" + login.user;
            }
        }
        if (!login.accepted)
            return loginForm(site, model, "Wrong user name or password.");
        // Away from the address that carried the password.
        return page(303, "See Other", "Logged in", "<p><a href=\"/\">Continue</a></p>",
                    "Location: /\r\nSet-Cookie: session=" + token + "; Path=/; HttpOnly\r\n");
    }
    if (path == "/" || path == "/index.html") {
        const std::string cookie = headerValue(head, "Cookie");
        const size_t at = cookie.find("session=");
        if (at != std::string::npos) {
            const std::string token = cookie.substr(at + 8, 32);
            std::lock_guard<std::mutex> lock(m_mutex);
            auto it = m_sessions.find(token);
            if (it != m_sessions.end() && it->second.compare(0, address.size() + 1, address + "\n") == 0) {
                const std::string user = it->second.substr(address.size() + 1);
                return statusPage(site, user);
            }
        }
        return loginForm(site, model, std::string());
    }
    return page(404, "Not Found", "Not found", "<p>No such page.</p>");
}

void WebAdmin::run()
{
    while (!m_stop) {
        std::vector<pollfd> fds;
        for (const auto &l : m_listeners)
            fds.push_back({l.first, POLLIN, 0});
        for (const Client &c : m_clients)
            fds.push_back({c.fd, POLLIN, 0});
        if (::poll(fds.data(), fds.size(), 100) < 0 && errno != EINTR)
            break;
        for (size_t i = 0; i < m_listeners.size(); ++i) {
            if (!(fds[i].revents & POLLIN))
                continue;
            const int fd = ::accept4(m_listeners[i].first, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
            if (fd >= 0)
                m_clients.push_back({fd, m_listeners[i].second, std::string(), now()});
        }
        const double t = now();
        std::vector<Client> keep;
        for (size_t i = 0; i < m_clients.size(); ++i) {
            Client &c = m_clients[i];
            const size_t fi = m_listeners.size() + i;
            bool done = false;
            if (fi < fds.size() && (fds[fi].revents & (POLLIN | POLLHUP | POLLERR))) {
                char buf[2048];
                const ssize_t n = ::recv(c.fd, buf, sizeof buf, 0);
                if (n <= 0) {
                    done = true;
                } else {
                    c.in.append(buf, size_t(n));
                    std::string reply;
                    if (c.in.find("\r\n\r\n") != std::string::npos)
                        reply = respond(c.address, c.in);
                    else if (c.in.size() > kMaxHead)
                        reply = page(431, "Request Header Fields Too Large", "Too large", "<p>Too large.</p>");
                    if (!reply.empty()) {
                        // Small pages: a short blocking send is enough.
                        const int flags = ::fcntl(c.fd, F_GETFL);
                        ::fcntl(c.fd, F_SETFL, flags & ~O_NONBLOCK);
                        timeval tv{1, 0};
                        ::setsockopt(c.fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
                        ::send(c.fd, reply.data(), reply.size(), MSG_NOSIGNAL);
                        ::shutdown(c.fd, SHUT_WR);
                        done = true;
                    }
                }
            }
            if (!done && t - c.since > kClientTimeout)
                done = true;
            if (done)
                ::close(c.fd);
            else
                keep.push_back(c);
        }
        m_clients.swap(keep);
    }
}

} // namespace vhw
