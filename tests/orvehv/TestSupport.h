// Helpers shared by the device library tests: a local event listener and
// small wrappers around the C API.
#ifndef TESTS_ORVEHV_TESTSUPPORT_H
#define TESTS_ORVEHV_TESTSUPPORT_H

#include "ORVEHVWrapper.h"
#include "tests/support/World.h"

#include <arpa/inet.h>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

// A TCP listener on 127.0.0.1 at a free port, as the program's event server.
class Listener
{
public:
    Listener()
    {
        fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a);
        ::listen(fd, 5);
        socklen_t len = sizeof a;
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len);
        port = ntohs(a.sin_port);
    }
    ~Listener()
    {
        for (int c : accepted)
            ::close(c);
        ::close(fd);
    }
    // Accepts one connection within ms; -1 when none came.
    int accept(int ms = 2000)
    {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, ms) != 1)
            return -1;
        int c = ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
        if (c >= 0)
            accepted.push_back(c);
        return c;
    }
    // Reads the 40-byte identifier block of a new connection.
    static std::string identifier(int c)
    {
        char buf[ORVEHV_EVENT_ID_LEN];
        size_t got = 0;
        while (got < sizeof buf) {
            pollfd p{c, POLLIN, 0};
            if (::poll(&p, 1, 2000) != 1)
                break;
            ssize_t n = ::recv(c, buf + got, sizeof buf - got, 0);
            if (n <= 0)
                break;
            got += size_t(n);
        }
        return std::string(buf, got);
    }

    int fd = -1;
    unsigned short port = 0;
    std::vector<int> accepted;
};

// A port nobody listens on (bound, then released).
inline unsigned short deadPort()
{
    return Listener().port;
}

inline int openSystem(const char *arg, int type, int link, const char *user = "", const char *pass = "")
{
    int h = -1;
    int rc = ORVEHV_InitSystem(type, link, arg, user, pass, &h);
    return rc == ORVEHV_OK ? h : -rc;
}

// The system opened with its own login: its handle, or minus the library's code.
inline int openWorldSystem(const vhw::SystemInfo &s)
{
    return openSystem(s.argument.c_str(), s.systemType, s.linkType, s.user.c_str(), s.password.c_str());
}

// The crate map of a handle as plain lists (the library's lists released).
struct Crate {
    int rc = -1;
    std::vector<int> channels;
    std::vector<uint32_t> serials;
    std::vector<int> fwMajor;
};

inline Crate crateMap(int h)
{
    Crate c;
    unsigned short n = 0, *ch = nullptr;
    char *models = nullptr, *descr = nullptr;
    uint32_t *serials = nullptr;
    unsigned char *fmin = nullptr, *fmax = nullptr;
    c.rc = ORVEHV_GetCrateMap(h, &n, &ch, &models, &descr, &serials, &fmin, &fmax);
    for (int i = 0; c.rc == ORVEHV_OK && i < n; ++i) {
        c.channels.push_back(ch[i]);
        c.serials.push_back(serials[i]);
        c.fwMajor.push_back(fmax[i]);
    }
    for (void *l : {(void *)ch, (void *)models, (void *)descr, (void *)serials, (void *)fmin, (void *)fmax})
        ORVEHV_Free(l);
    return c;
}

// One channel's value (-1 when it cannot be read) and its write.
template <typename T>
T chValue(int h, int slot, int ch, const char *name)
{
    unsigned short c = (unsigned short)ch;
    T v = T(-1);
    ORVEHV_GetChParam(h, (unsigned short)slot, name, 1, &c, &v);
    return v;
}

template <typename T>
int setChValue(int h, int slot, int ch, const char *name, T v)
{
    unsigned short c = (unsigned short)ch;
    return ORVEHV_SetChParam(h, (unsigned short)slot, name, 1, &c, &v);
}

inline float chFloat(int h, int slot, int ch, const char *name) { return chValue<float>(h, slot, ch, name); }
inline int32_t chInt(int h, int slot, int ch, const char *name) { return chValue<int32_t>(h, slot, ch, name); }
inline int setChFloat(int h, int slot, int ch, const char *name, float v) { return setChValue(h, slot, ch, name, v); }
inline int setChUInt(int h, int slot, int ch, const char *name, uint32_t v) { return setChValue(h, slot, ch, name, v); }

#endif
