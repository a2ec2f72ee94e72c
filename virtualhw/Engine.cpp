#include "virtualhw/Engine.h"

#include <algorithm>
#include "virtualhw/SystemProperties.h"

#include "virtualhw/StatusFaults.h"
#include "virtualhw/TripLines.h"
#include "virtualhw/WorldFile.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <sstream>
#include <sys/socket.h>
#include <unistd.h>

namespace vhw {

namespace {

const size_t kBatchRecords = 1000;
const double kStep = 0.1;
const double kKeepAlive = ORVEHV_KEEPALIVE_SECONDS;

double wallSeconds()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// Sends all of data within `ms` milliseconds (non-blocking socket or not).
bool sendWithin(int fd, const std::string &data, int ms)
{
    size_t off = 0;
    double deadline = wallSeconds() + ms / 1000.0;
    while (off < data.size()) {
        double left = deadline - wallSeconds();
        if (left <= 0)
            return false;
        pollfd p{fd, POLLOUT, 0};
        int r = ::poll(&p, 1, int(left * 1000) + 1);
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0 || (p.revents & (POLLERR | POLLHUP | POLLNVAL)))
            return false;
        if (r == 0)
            continue;
        ssize_t n = ::send(fd, data.data() + off, data.size() - off, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
                continue;
            return false;
        }
        off += size_t(n);
    }
    return true;
}

// Whether an argument is a loopback address other than 127.0.0.1 (the
// address a networked system is reached at in the virtual world).
bool loopbackAlias(const std::string &arg, in_addr *out)
{
    in_addr a{};
    if (::inet_pton(AF_INET, arg.c_str(), &a) != 1)
        return false;
    const uint32_t host = ntohl(a.s_addr);
    if ((host >> 24) != 127 || host == INADDR_LOOPBACK)
        return false;
    *out = a;
    return true;
}

std::string put32(uint32_t v)
{
    std::string s(4, '\0');
    std::memcpy(&s[0], &v, 4);
    return s;
}

std::string putFloat(double v)
{
    float f = float(v);
    std::string s(4, '\0');
    std::memcpy(&s[0], &f, 4);
    return s;
}

struct Idx {
    int vset, iset, vmon, imon, pw, status, rup, rdwn, trip, pdwn;
    explicit Idx(const BoardModel &m)
    {
        const auto &d = m.channelParams;
        vset = paramIndex(d, "VSet");
        if (vset < 0)
            vset = paramIndex(d, "V0Set");
        iset = paramIndex(d, "ISet");
        if (iset < 0)
            iset = paramIndex(d, "I0Set");
        vmon = paramIndex(d, "VMon");
        imon = paramIndex(d, "IMon");
        pw = paramIndex(d, "Pw");
        status = paramIndex(d, "Status");
        rup = paramIndex(d, "RUp");
        rdwn = paramIndex(d, "RDwn");
        trip = paramIndex(d, "Trip");
        pdwn = paramIndex(d, "PDwn");
    }
};

double val(const Channel &c, int i, double dflt = 0)
{
    return i >= 0 ? c.values[size_t(i)] : dflt;
}

bool sameCell(const ParamDef &d, double a, double b)
{
    if (d.type == PNumeric)
        return float(a) == float(b);
    return int64_t(a) == int64_t(b);
}

} // namespace

// ------------------------------------------------------------ connection

EventConnection::EventConnection(int fd) : fd_(fd) {}

EventConnection::~EventConnection()
{
    stop();
}

void EventConnection::start()
{
    thread_ = std::thread([this] { run(); });
}

void EventConnection::stop()
{
    {
        std::lock_guard<std::mutex> lk(m_);
        stop_ = true;
    }
    cv_.notify_all();
    if (thread_.joinable())
        thread_.join();
    if (fd_ >= 0) {
        ::shutdown(fd_, SHUT_RDWR);
        ::close(fd_);
        fd_ = -1;
    }
    dead_ = true;
}

void EventConnection::push(const stream::Record &r)
{
    if (dead_)
        return;
    {
        std::lock_guard<std::mutex> lk(m_);
        if (r.type == ORVEHV_EVENT_PARAMETER) {
            auto key = std::make_tuple(r.board, r.channel, r.name);
            auto it = index_.find(key);
            if (it != index_.end()) {
                pending_[it->second] = r;
                return;
            }
            index_[key] = pending_.size();
        }
        pending_.push_back(r);
    }
    cv_.notify_all();
}

void EventConnection::hold(bool held)
{
    {
        std::lock_guard<std::mutex> lk(m_);
        held_ = held;
    }
    cv_.notify_all();
}

void EventConnection::setStatus(const ORVEHV_SYSTEMSTATUS_t &s)
{
    std::lock_guard<std::mutex> lk(m_);
    status_ = s;
}

void EventConnection::sendRaw(const std::string &bytes)
{
    {
        std::lock_guard<std::mutex> lk(m_);
        raw_.push_back(bytes);
    }
    cv_.notify_all();
}

void EventConnection::flood(unsigned n, std::vector<stream::Record> targets, unsigned perSecond)
{
    if (targets.empty())
        return;
    {
        std::lock_guard<std::mutex> lk(m_);
        flood_ = n;
        floodSeq_ = 0;
        floodTargets_ = std::move(targets);
        floodRate_ = perSecond;
        floodStart_ = std::chrono::steady_clock::now();
    }
    cv_.notify_all();
}

size_t EventConnection::floodDueLocked() const
{
    if (!flood_)
        return 0;
    if (!floodRate_)
        return std::min<size_t>(flood_, kBatchRecords);
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - floodStart_).count();
    const double due = elapsed * floodRate_ - double(floodSeq_);
    return due < 1 ? 0 : std::min<size_t>({size_t(due), size_t(flood_), kBatchRecords});
}

bool EventConnection::sendAll(const std::string &data)
{
    size_t off = 0;
    while (off < data.size()) {
        if (stop_)
            return false;
        pollfd p{fd_, POLLOUT, 0};
        int r = ::poll(&p, 1, 100);
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0 || (p.revents & (POLLERR | POLLHUP | POLLNVAL)))
            return false;
        if (r == 0)
            continue;
        ssize_t n = ::send(fd_, data.data() + off, data.size() - off, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
                continue;
            return false;
        }
        off += size_t(n);
    }
    return true;
}

void EventConnection::run()
{
    while (!stop_) {
        std::vector<stream::Record> batch;
        std::deque<std::string> raw;
        ORVEHV_SYSTEMSTATUS_t st;
        {
            std::unique_lock<std::mutex> lk(m_);
            // A paced flood that is ahead of its rate waits a millisecond.
            const auto wait = flood_ && floodRate_ ? std::chrono::milliseconds(1) : std::chrono::milliseconds(200);
            bool woken = cv_.wait_for(lk, wait, [&] {
                return stop_ || (!held_ && (!pending_.empty() || floodDueLocked() || !raw_.empty()));
            });
            if (stop_)
                break;
            if (held_)
                continue;
            if (woken && !pending_.empty()) {
                // Let the rest of a burst (one physics step, one command)
                // join this batch, as a device sends one batch per cycle.
                cv_.wait_for(lk, std::chrono::milliseconds(5), [&] { return stop_.load(); });
                if (stop_)
                    break;
            }
            raw.swap(raw_);
            if (!pending_.empty()) {
                batch.swap(pending_);
                index_.clear();
            } else {
                for (size_t due = floodDueLocked(); due > 0; --due) {
                    stream::Record r = floodTargets_[floodSeq_ % floodTargets_.size()];
                    r.value = putFloat(double(floodSeq_ % 100000) / 10.0);
                    ++floodSeq_;
                    batch.push_back(std::move(r));
                    --flood_;
                }
            }
            st = status_;
        }
        bool ok = true;
        for (const std::string &b : raw)
            if (ok)
                ok = sendAll(b);
        for (size_t i = 0; ok && i < batch.size(); i += kBatchRecords) {
            size_t end = std::min(batch.size(), i + kBatchRecords);
            std::vector<stream::Record> part(batch.begin() + long(i), batch.begin() + long(end));
            ok = sendAll(stream::encodeBatch(st, part));
        }
        if (ok && raw.empty() && batch.empty()) {
            // Idle: notice a peer that went away.
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 0) > 0) {
                if (p.revents & (POLLERR | POLLHUP | POLLNVAL)) {
                    ok = false;
                } else if (p.revents & POLLIN) {
                    char buf[512];
                    ssize_t n = ::recv(fd_, buf, sizeof buf, MSG_DONTWAIT);
                    if (n == 0)
                        ok = false;
                }
            }
        }
        if (!ok) {
            dead_ = true;
            break;
        }
    }
}

// ---------------------------------------------------------------- engine

Engine &Engine::get()
{
    // Never destroyed: threads of the program may still call in while the
    // process exits; the threads of the engine are stopped by atExit().
    static Engine *engine = new Engine;
    return *engine;
}

Engine::Engine()
{
    std::atexit(&Engine::atExit);
    physics_ = std::thread([this] { physicsLoop(); });
}

void Engine::atExit()
{
    get().shutdown();
}

void Engine::shutdown()
{
    {
        std::lock_guard<std::mutex> lk(mu);
        stopping_ = true;
        if (world_)
            for (auto &s : world_->systems)
                if (s->conn)
                    s->conn->stop();
    }
    physicsCv_.notify_all();
    if (physics_.joinable())
        physics_.join();
}

void Engine::physicsLoop()
{
    auto last = std::chrono::steady_clock::now();
    std::unique_lock<std::mutex> lk(mu);
    while (!stopping_) {
        physicsCv_.wait_for(lk, std::chrono::milliseconds(100));
        if (stopping_)
            break;
        auto now = std::chrono::steady_clock::now();
        double elapsed = std::chrono::duration<double>(now - last).count();
        last = now;
        if (mode == TimeMode::WallClock && world_)
            advance(std::min(elapsed, 1.0));
        double wall = wallSeconds();
        for (size_t i = 0; i < retired_.size();) {
            if (retired_[i].second < wall) {
                ::close(retired_[i].first);
                retired_.erase(retired_.begin() + long(i));
            } else {
                ++i;
            }
        }
    }
}

World &Engine::world()
{
    if (!world_) {
        World w;
        std::string err;
        bool ok = false;
        const char *env = std::getenv("ORVEHV_WORLD");
        if (env && *env) {
            std::ifstream f(env, std::ios::binary);
            if (!f) {
                err = std::string(env) + ":0: cannot open the world file";
            } else {
                std::stringstream ss;
                ss << f.rdbuf();
                ok = parseWorld(ss.str(), env, w, &err);
            }
            if (!ok) {
                startupError = err;
                std::fprintf(stderr, "ORVEHV: %s; using the built-in world\n", err.c_str());
            }
        }
        if (!ok)
            parseWorld(builtinWorldJson(), "<built-in>", w, nullptr);
        world_ = std::make_unique<World>(std::move(w));
        simTime = 0;
        startSupplies();
    }
    return *world_;
}

bool Engine::replaceWorld(World &&w)
{
    if (world_)
        for (auto &s : world_->systems)
            if (s->conn)
                dropConnection(*s);
    handles_.clear();
    handleArguments_.clear();
    world_ = std::make_unique<World>(std::move(w));
    simTime = 0;
    startSupplies();
    return true;
}

void Engine::startSupplies()
{
    // A crate whose world starts with its 48 V off holds its outputs off.
    for (auto &s : world_->systems)
        if (hvSupplyOff(*s))
            sysPropWritten(*s, "ACDCPwr");
}

System *Engine::byHandle(int handle)
{
    auto it = handles_.find(handle);
    return it == handles_.end() ? nullptr : it->second;
}

System *Engine::byId(int id)
{
    World &w = world();
    if (id < 0 || size_t(id) >= w.systems.size())
        return nullptr;
    return w.systems[size_t(id)].get();
}

int Engine::idOf(const System *s) const
{
    if (!world_)
        return -1;
    for (size_t i = 0; i < world_->systems.size(); ++i)
        if (world_->systems[i].get() == s)
            return int(i);
    return -1;
}

int Engine::openHandle(System &s, const std::string &user, const std::string &argument)
{
    int h = nextHandle_++;
    if (nextHandle_ <= 0)
        nextHandle_ = 1;
    handles_[h] = &s;
    handleArguments_[h] = argument;
    s.openHandles++;
    s.lastHandle = h;
    if (SysProp *p = findProp(s, "Sessions")) {
        char when[32];
        std::time_t t = std::time(nullptr);
        std::tm tm{};
        gmtime_r(&t, &tm);
        std::strftime(when, sizeof when, "%Y-%m-%d %H_%M_%S", &tm);
        std::string u = user.empty() ? "guest" : user;
        std::string rec = u + ":" + (u == "admin" ? "Admin" : "User") + ":TCP/IP:" + when + ":127.0.0.1";
        s.sessions.emplace_back(h, rec);
        std::string text;
        for (const auto &r : s.sessions)
            text += r.second + ";";
        p->text = text.substr(0, ORVEHV_SYSPROP_TEXT_READ - 1);
        emitValue(s, -1, -1, "Sessions");
    }
    return h;
}

std::string Engine::argumentOf(int handle) const
{
    auto it = handleArguments_.find(handle);
    return it == handleArguments_.end() ? std::string() : it->second;
}

void Engine::closeHandle(int handle)
{
    System *s = byHandle(handle);
    if (!s)
        return;
    handles_.erase(handle);
    handleArguments_.erase(handle);
    s->openHandles--;
    for (auto it = s->sessions.begin(); it != s->sessions.end(); ++it)
        if (it->first == handle) {
            s->sessions.erase(it);
            break;
        }
    if (SysProp *p = findProp(*s, "Sessions")) {
        std::string text;
        for (const auto &r : s->sessions)
            text += r.second + ";";
        p->text = text;
        emitValue(*s, -1, -1, "Sessions");
    }
    // A closed handle's subscriptions go with it; the others' stay.
    for (auto it = s->subs.begin(); it != s->subs.end();) {
        it->second.erase(handle);
        it = it->second.empty() ? s->subs.erase(it) : std::next(it);
    }
    if (s->openHandles <= 0) {
        s->openHandles = 0;
        s->subs.clear();
        dropConnection(*s);
    } else if (s->lastHandle == handle) {
        for (const auto &h : handles_)
            if (h.second == s)
                s->lastHandle = h.first;
    }
}

// ---------------------------------------------------------------- events

bool Engine::subscribed(const System &s, int board, int channel, const std::string &name) const
{
    return s.conn && s.conn->alive() && s.subs.count(SubKey(board, channel, name));
}

std::string Engine::encodeChannelValue(const ParamDef &d, double v) const
{
    switch (d.type) {
    case PNumeric:
        return putFloat(v);
    case POnOff:
        return put32(uint32_t(v != 0 ? 1 : 0));
    default:
        return put32(uint32_t(int32_t(int64_t(v))));
    }
}

std::string Engine::encodeSysProp(const SysProp &p) const
{
    switch (p.def.type) {
    case SText:
        return p.text.substr(0, ORVEHV_EVENT_VALUE_LEN - 1);
    case SReal:
        return putFloat(p.num);
    case SUInt4:
        return put32(uint32_t(int64_t(p.num)));
    default:
        return put32(uint32_t(int32_t(int64_t(p.num))));
    }
}

void Engine::emitValue(System &s, int board, int channel, const std::string &name)
{
    if (!subscribed(s, board, channel, name))
        return;
    stream::Record r;
    r.type = ORVEHV_EVENT_PARAMETER;
    r.handle = s.lastHandle;
    r.board = board;
    r.channel = channel;
    r.name = name;
    if (board < 0) {
        SysProp *p = findProp(s, name);
        if (!p)
            return;
        if (name == "EventDataSocket")
            return;
        r.value = encodeSysProp(*p);
    } else {
        if (size_t(board) >= s.slots.size() || !s.slots[size_t(board)])
            return;
        Board &b = *s.slots[size_t(board)];
        if (channel < 0) {
            int i = paramIndex(b.model.boardParams, name);
            if (i < 0)
                return;
            const ParamDef &d = b.model.boardParams[size_t(i)];
            r.value = d.type == PString ? b.texts[size_t(i)] : encodeChannelValue(d, b.values[size_t(i)]);
        } else {
            if (size_t(channel) >= b.channels.size())
                return;
            Channel &ch = b.channels[size_t(channel)];
            if (name == "Name") {
                r.value = ch.name;
            } else {
                int i = paramIndex(b.model.channelParams, name);
                if (i < 0)
                    return;
                r.value = encodeChannelValue(b.model.channelParams[size_t(i)], ch.values[size_t(i)]);
            }
        }
    }
    updateEventStatus(s);
    s.conn->push(r);
}

void Engine::emitRecord(System &s, const stream::Record &r)
{
    if (!s.conn || !s.conn->alive())
        return;
    updateEventStatus(s);
    s.conn->push(r);
}

void Engine::updateEventStatus(System &s)
{
    if (s.conn)
        s.conn->setStatus(eventStatusOf(s));
}

int Engine::connect(System &s, uint16_t port, const std::string &identifier)
{
    if (s.conn && s.conn->alive())
        return ORVEHV_OK;
    if (s.conn)
        dropConnection(s);
    if (s.type == ORVEHV_SYS_B8181) {
        int sv[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sv) != 0)
            return ORVEHV_ERR_CONNECTION_LOST;
        ::fcntl(sv[0], F_SETFL, ::fcntl(sv[0], F_GETFL) | O_NONBLOCK);
        s.conn = std::make_shared<EventConnection>(sv[0]);
        s.conn->readerFd = sv[1];
    } else {
        if (port == 0)
            return ORVEHV_ERR_BAD_ARGUMENT;
        int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0)
            return ORVEHV_ERR_CONNECTION_LOST;
        // A networked system opened by a loopback address of its own connects
        // from that address, as a real one connects from its network address:
        // the program then knows it by its peer address and reads no
        // identifier block. Everything else connects from 127.0.0.1 and names
        // itself in the block (the argument the program opened it with).
        const std::string &arg = identifier.empty() ? s.argument : identifier;
        in_addr source{};
        const bool fromOwnAddress = s.link == ORVEHV_LINK_TCPIP && loopbackAlias(arg, &source);
        int r = 0;
        if (fromOwnAddress) {
            sockaddr_in src{};
            src.sin_family = AF_INET;
            src.sin_addr = source;
            r = ::bind(fd, reinterpret_cast<sockaddr *>(&src), sizeof src);
        }
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (r == 0)
            r = ::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a);
        if (r != 0 && errno == EINPROGRESS) {
            pollfd p{fd, POLLOUT, 0};
            r = ::poll(&p, 1, 1000) == 1 ? 0 : -1;
            int err = 0;
            socklen_t len = sizeof err;
            if (r == 0 && (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0 || err != 0))
                r = -1;
        }
        // The identifier block: the connection argument, NUL padded to 40 bytes.
        std::string id(ORVEHV_EVENT_ID_LEN, '\0');
        std::memcpy(&id[0], arg.data(), std::min(arg.size(), size_t(ORVEHV_EVENT_ID_LEN)));
        if (r != 0 || (!fromOwnAddress && !sendWithin(fd, id, 1000))) {
            ::close(fd);
            return ORVEHV_ERR_CONNECTION_LOST;
        }
        s.conn = std::make_shared<EventConnection>(fd);
    }
    s.keepAliveDue = simTime + kKeepAlive;
    updateEventStatus(s);
    s.conn->hold(s.eventsHeld);
    s.conn->start();
    return ORVEHV_OK;
}

int Engine::eventSocket(System &s)
{
    if (s.type != ORVEHV_SYS_B8181)
        return -1;
    if (!s.conn || !s.conn->alive())
        if (connect(s, 0) != ORVEHV_OK)
            return -1;
    return s.conn->readerFd;
}

void Engine::dropConnection(System &s)
{
    if (!s.conn)
        return;
    s.conn->stop();
    if (s.conn->readerFd >= 0)
        retireReader(s.conn->readerFd);
    s.conn.reset();
}

void Engine::retireReader(int fd)
{
    // The program may still be reading this end: it sees end of stream now and
    // the descriptor is closed once it noticed, or a minute later.
    retired_.emplace_back(fd, wallSeconds() + 60.0);
}

bool Engine::releaseRetired(int fd)
{
    for (auto it = retired_.begin(); it != retired_.end(); ++it)
        if (it->first == fd) {
            ::close(fd);
            retired_.erase(it);
            return true;
        }
    return false;
}

// --------------------------------------------------------------- physics

void Engine::refreshBoardStatus(System &s, Board &b)
{
    int bi = paramIndex(b.model.boardParams, "BdStatus");
    if (bi < 0)
        return;
    int w = b.faultBits | supplyBoardBits(s);
    if (s.type == ORVEHV_SYS_NIMDT)
        for (size_t c = 0; c < b.channels.size() && c < 4; ++c)
            if (b.channels[c].tripped || b.channels[c].faultBits)
                w |= 1 << c;
    if (w != b.computedStatus) {
        b.computedStatus = w;
        b.values[size_t(bi)] = w;
        emitValue(s, b.slot, -1, "BdStatus");
    }
}

namespace {

// Runs f on a channel and sends value events for every parameter it changed.
template <typename F>
void withDiff(Engine &e, System &s, Board &b, int c, F f)
{
    Channel &ch = b.channels[size_t(c)];
    std::vector<double> before = ch.values;
    f(ch);
    for (size_t i = 0; i < ch.values.size(); ++i)
        if (!sameCell(b.model.channelParams[i], before[i], ch.values[i]))
            e.emitValue(s, b.slot, c, b.model.channelParams[i].name);
}

int statusWord(const Family &f, const Channel &ch, const Idx &ix, bool ovc)
{
    const StatusBits &bits = f.bits;
    double pw = val(ch, ix.pw);
    double target = pw != 0 ? val(ch, ix.vset) : 0;
    double vmon = val(ch, ix.vmon);
    int w = 0;
    auto set = [&](int bit) {
        if (bit >= 0)
            w |= 1 << bit;
    };
    if (pw != 0)
        set(bits.on);
    if (vmon < target - 1e-6)
        set(bits.up);
    else if (vmon > target + 1e-6)
        set(bits.down);
    if (ovc)
        set(bits.ovc);
    if (ch.tripped)
        set(bits.trip);
    if (ch.killed)
        set(bits.kill);
    return w;
}

} // namespace

void Engine::tripChannel(System &s, Board &b, int c)
{
    Idx ix(b.model);
    Channel &ch = b.channels[size_t(c)];
    if (ch.tripped)
        return;
    ch.tripped = true;
    ch.tripping = true;
    ch.overTime = 0;
    if (ix.pw >= 0)
        ch.values[size_t(ix.pw)] = 0;
    if (ix.pdwn >= 0 && ch.values[size_t(ix.pdwn)] == 0 && ix.vmon >= 0) {
        ch.values[size_t(ix.vmon)] = 0; // power-down mode "Kill": no ramp
        if (ix.imon >= 0)
            ch.values[size_t(ix.imon)] = 0;
    }
    // Trip lines: the channels listening to the lines this one drives trip too.
    for (const auto &follower : tripLineFollowers(s, b, c))
        withDiff(*this, s, *follower.first, follower.second, [&](Channel &) {
            if (!follower.first->channels[size_t(follower.second)].tripped) {
                tripChannel(s, *follower.first, follower.second);
                settleChannel(s, *follower.first, follower.second, 0);
            }
        });
}

void Engine::settleChannel(System &s, Board &b, int c, double dt)
{
    const Family *fam = familyOf(s.type);
    if (!fam || c < 0 || size_t(c) >= b.channels.size())
        return;
    Idx ix(b.model);
    withDiff(*this, s, b, c, [&](Channel &ch) {
        double pw = val(ch, ix.pw);
        double target = pw != 0 ? val(ch, ix.vset) : 0;
        if (ix.vmon >= 0 && dt > 0) {
            double &vmon = ch.values[size_t(ix.vmon)];
            if (vmon < target)
                vmon = std::min(target, vmon + val(ch, ix.rup, 50) * dt);
            else if (vmon > target)
                vmon = std::max(target, vmon - val(ch, ix.rdwn, 50) * dt);
        }
        double vmon = val(ch, ix.vmon);
        double imon = 0;
        if (vmon > 0)
            imon = ch.load > 0 ? vmon / ch.load : b.model.imax * 1.05;
        if (ix.imon >= 0) {
            const ParamDef &d = b.model.channelParams[size_t(ix.imon)];
            ch.values[size_t(ix.imon)] = std::min<double>(imon, d.maxval);
        }
        double iset = val(ch, ix.iset, 1e300);
        bool ovc = vmon > 0 && imon > iset + 1e-9;
        if (dt > 0) {
            if (ovc && pw != 0 && !ch.tripped) {
                ch.overTime += dt;
                double trip = val(ch, ix.trip, 1000);
                if (trip < 1000 && ch.overTime >= trip - 1e-6)
                    tripChannel(s, b, c);
            } else if (!ovc) {
                ch.overTime = 0;
            }
        }
        if (ch.tripping && val(ch, ix.vmon) <= 0)
            ch.tripping = false;
        vmon = val(ch, ix.vmon);
        ovc = vmon > 0 && (ch.load > 0 ? vmon / ch.load : b.model.imax) > iset + 1e-9;
        int w = statusWord(*fam, ch, ix, ovc) | ch.faultBits | supplyChannelBits(s);
        if (ix.status >= 0 && w != ch.computedStatus) {
            ch.computedStatus = w;
            ch.values[size_t(ix.status)] = w;
        }
    });
    refreshBoardStatus(s, b);
}

void Engine::channelWritten(System &s, Board &b, int c, int idx, double value)
{
    const ParamDef &d = b.model.channelParams[size_t(idx)];
    if (d.name == "Pw" && value != 0 && switchOnInhibited(s, b.channels[size_t(c)]))
        value = 0; // a standing interlock, disable, kill or missing 48 V keeps the output off
    bool changed = !sameCell(d, b.channels[size_t(c)].values[size_t(idx)], value);
    withDiff(*this, s, b, c, [&](Channel &ch) {
        ch.values[size_t(idx)] = value;
        if (d.name == "Pw" && value != 0) {
            ch.tripped = false;
            ch.tripping = false;
            ch.killed = false;
            ch.overTime = 0;
        }
    });
    settleChannel(s, b, c, 0);
    if (!changed) // the device confirms every write
        emitValue(s, b.slot, c, d.name);
}

void Engine::boardWritten(System &s, Board &b, int idx, double value)
{
    const ParamDef &d = b.model.boardParams[size_t(idx)];
    b.values[size_t(idx)] = value;
    if (d.name == "ClrAlarm" && value != 0)
        clearAlarms(s, &b);
    emitValue(s, b.slot, -1, d.name);
}

void Engine::clearAlarms(System &s, Board *only)
{
    for (auto &bp : s.slots) {
        if (!bp || (only && bp.get() != only))
            continue;
        for (size_t c = 0; c < bp->channels.size(); ++c) {
            Channel &ch = bp->channels[c];
            ch.tripped = false;
            ch.killed = false;
            ch.overTime = 0;
            settleChannel(s, *bp, int(c), 0);
        }
    }
}

int Engine::command(System &s, const std::string &name)
{
    const Family *fam = familyOf(s.type);
    bool known = false;
    for (const std::string &c : fam->commands)
        known = known || c == name;
    if (!known)
        return ORVEHV_ERR_UNSUPPORTED;
    if (name == "ClearAlarm" || name == "BdClr") {
        clearAlarms(s, nullptr);
        return ORVEHV_OK;
    }
    if (name == "GlobalOn" && hvSupplyOff(s))
        return ORVEHV_ERR_WRITE_REFUSED; // nothing to switch on without 48 V
    for (auto &bp : s.slots) {
        if (!bp)
            continue;
        Idx ix(bp->model);
        if (ix.pw < 0)
            continue;
        for (size_t c = 0; c < bp->channels.size(); ++c) {
            if (name == "Kill") {
                withDiff(*this, s, *bp, int(c), [&](Channel &ch) {
                    ch.values[size_t(ix.pw)] = 0;
                    if (ix.vmon >= 0)
                        ch.values[size_t(ix.vmon)] = 0;
                    if (ix.imon >= 0)
                        ch.values[size_t(ix.imon)] = 0;
                    ch.killed = true;
                    ch.tripping = false;
                });
                settleChannel(s, *bp, int(c), 0);
            } else {
                channelWritten(s, *bp, int(c), ix.pw, name == "GlobalOn" ? 1 : 0);
            }
        }
    }
    return ORVEHV_OK;
}

void Engine::advance(double seconds)
{
    World &w = world();
    double left = seconds;
    while (left > 1e-9) {
        double dt = std::min(kStep, left);
        left -= dt;
        simTime += dt;
        for (auto &sp : w.systems) {
            System &s = *sp;
            if (s.transparent)
                continue;
            for (auto &bp : s.slots)
                if (bp)
                    for (size_t c = 0; c < bp->channels.size(); ++c)
                        settleChannel(s, *bp, int(c), dt);
            driftSystemProperties(*this, s, simTime, dt);
            if (s.conn && s.conn->alive() && simTime + 1e-6 >= s.keepAliveDue) {
                s.keepAliveDue = simTime + kKeepAlive;
                stream::Record r;
                r.type = ORVEHV_EVENT_KEEPALIVE;
                r.handle = s.lastHandle;
                emitRecord(s, r);
            }
        }
    }
}

} // namespace vhw
