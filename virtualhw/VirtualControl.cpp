// Control interface of the virtual hardware (see VirtualControl.h).
#include "virtualhw/VirtualControl.h"

#include "virtualhw/Engine.h"
#include "virtualhw/WorldFile.h"

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <sstream>

namespace vhw {

namespace {

using Lock = std::lock_guard<std::mutex>;

Engine &E()
{
    return Engine::get();
}

bool readFile(const std::string &path, std::string &out, std::string *error)
{
    std::ifstream f(path, std::ios::binary);
    if (!f) {
        if (error)
            *error = path + ":0: cannot open the world file";
        return false;
    }
    std::stringstream ss;
    ss << f.rdbuf();
    out = ss.str();
    return true;
}

bool install(const std::string &text, const std::string &source, std::string *error)
{
    World w;
    if (!parseWorld(text, source, w, error))
        return false;
    Lock lk(E().mu);
    E().world();
    E().replaceWorld(std::move(w));
    return true;
}

Board *boardOf(System *s, int slot)
{
    if (!s || slot < 0 || size_t(slot) >= s->slots.size())
        return nullptr;
    return s->slots[size_t(slot)].get();
}

const double kNaN = std::numeric_limits<double>::quiet_NaN();

} // namespace

bool loadWorldFile(const std::string &path, std::string *error)
{
    std::string text;
    if (!readFile(path, text, error))
        return false;
    return install(text, path, error);
}

bool loadWorldJson(const std::string &json, std::string *error)
{
    return install(json, "<string>", error);
}

bool resetWorld(std::string *error)
{
    const char *env = std::getenv("ORVEHV_WORLD");
    if (env && *env) {
        std::string text;
        if (readFile(env, text, error) && install(text, env, error))
            return true;
        install(builtinWorldJson(), "<built-in>", nullptr);
        return false;
    }
    return install(builtinWorldJson(), "<built-in>", error);
}

std::string defaultWorldJson()
{
    return builtinWorldJson();
}

std::string startupWorldError()
{
    Lock lk(E().mu);
    E().world();
    return E().startupError;
}

std::vector<SystemInfo> listSystems()
{
    Lock lk(E().mu);
    std::vector<SystemInfo> out;
    World &w = E().world();
    for (size_t i = 0; i < w.systems.size(); ++i) {
        const System &s = *w.systems[i];
        SystemInfo info;
        info.id = int(i);
        info.systemType = s.type;
        info.linkType = s.link;
        info.argument = s.argument;
        info.loopbackAddress = s.loopbackAddress;
        info.description = s.description;
        info.user = s.user;
        info.password = s.password;
        info.hasLogin = s.hasLogin;
        out.push_back(info);
    }
    return out;
}

int findSystem(const std::string &argument, int systemType, int linkType)
{
    Lock lk(E().mu);
    World &w = E().world();
    for (size_t i = 0; i < w.systems.size(); ++i) {
        const System &s = *w.systems[i];
        if (systemType >= 0 && familyOf(systemType) != familyOf(s.type))
            continue;
        if (linkType >= 0 && linkType != s.link)
            continue;
        if (opensSystem(s, argument))
            return int(i);
    }
    return -1;
}

// ---------------------------------------------------------------- values

int setSysProp(int sys, const std::string &name, double value)
{
    Lock lk(E().mu);
    System *s = E().byId(sys);
    if (!s)
        return ORVEHV_ERR_UNKNOWN_SYSTEM;
    SysProp *p = findProp(*s, name);
    if (!p)
        return ORVEHV_ERR_UNKNOWN_PARAM;
    if (p->def.type == SText || !std::isfinite(value))
        return ORVEHV_ERR_BAD_ARGUMENT;
    p->num = value;
    E().emitValue(*s, -1, -1, name);
    // The system acts on it as on a write through the library (48 V off).
    E().sysPropWritten(*s, name);
    return ORVEHV_OK;
}

int setSysProp(int sys, const std::string &name, const std::string &text)
{
    Lock lk(E().mu);
    System *s = E().byId(sys);
    if (!s)
        return ORVEHV_ERR_UNKNOWN_SYSTEM;
    SysProp *p = findProp(*s, name);
    if (!p)
        return ORVEHV_ERR_UNKNOWN_PARAM;
    if (p->def.type != SText)
        return ORVEHV_ERR_BAD_ARGUMENT;
    if (text.size() >= ORVEHV_SYSPROP_TEXT_READ)
        return ORVEHV_ERR_OUT_OF_RANGE;
    p->text = text;
    E().emitValue(*s, -1, -1, name);
    return ORVEHV_OK;
}

int setBoardParam(int sys, int slot, const std::string &name, double value)
{
    Lock lk(E().mu);
    System *s = E().byId(sys);
    if (!s)
        return ORVEHV_ERR_UNKNOWN_SYSTEM;
    Board *b = boardOf(s, slot);
    if (!b)
        return ORVEHV_ERR_UNKNOWN_PARAM;
    int i = paramIndex(b->model.boardParams, name);
    if (i < 0)
        return ORVEHV_ERR_UNKNOWN_PARAM;
    if (b->model.boardParams[size_t(i)].type == PString || !std::isfinite(value))
        return ORVEHV_ERR_BAD_ARGUMENT;
    E().boardWritten(*s, *b, i, value);
    return ORVEHV_OK;
}

int setBoardParam(int sys, int slot, const std::string &name, const std::string &text)
{
    Lock lk(E().mu);
    System *s = E().byId(sys);
    if (!s)
        return ORVEHV_ERR_UNKNOWN_SYSTEM;
    Board *b = boardOf(s, slot);
    if (!b)
        return ORVEHV_ERR_UNKNOWN_PARAM;
    int i = paramIndex(b->model.boardParams, name);
    if (i < 0)
        return ORVEHV_ERR_UNKNOWN_PARAM;
    if (b->model.boardParams[size_t(i)].type != PString)
        return ORVEHV_ERR_BAD_ARGUMENT;
    if (text.size() >= ORVEHV_EVENT_VALUE_LEN)
        return ORVEHV_ERR_OUT_OF_RANGE;
    b->texts[size_t(i)] = text;
    E().emitValue(*s, slot, -1, name);
    return ORVEHV_OK;
}

int setChannelParam(int sys, int slot, int channel, const std::string &name, double value)
{
    Lock lk(E().mu);
    System *s = E().byId(sys);
    if (!s)
        return ORVEHV_ERR_UNKNOWN_SYSTEM;
    Board *b = boardOf(s, slot);
    if (!b || channel < 0 || size_t(channel) >= b->channels.size())
        return ORVEHV_ERR_UNKNOWN_PARAM;
    int i = paramIndex(b->model.channelParams, name);
    if (i < 0)
        return ORVEHV_ERR_UNKNOWN_PARAM;
    if (b->model.channelParams[size_t(i)].type == PString || !std::isfinite(value))
        return ORVEHV_ERR_BAD_ARGUMENT;
    E().channelWritten(*s, *b, channel, i, value);
    return ORVEHV_OK;
}

int setChannelName(int sys, int slot, int channel, const std::string &name)
{
    Lock lk(E().mu);
    System *s = E().byId(sys);
    if (!s)
        return ORVEHV_ERR_UNKNOWN_SYSTEM;
    Board *b = boardOf(s, slot);
    if (!b || channel < 0 || size_t(channel) >= b->channels.size())
        return ORVEHV_ERR_UNKNOWN_PARAM;
    if (name.size() > ORVEHV_CHANNEL_NAME_LEN - 1)
        return ORVEHV_ERR_OUT_OF_RANGE;
    b->channels[size_t(channel)].name = name;
    E().emitValue(*s, slot, channel, "Name");
    return ORVEHV_OK;
}

double sysPropValue(int sys, const std::string &name)
{
    Lock lk(E().mu);
    System *s = E().byId(sys);
    SysProp *p = s ? findProp(*s, name) : nullptr;
    return p && p->def.type != SText ? p->num : kNaN;
}

std::string sysPropText(int sys, const std::string &name)
{
    Lock lk(E().mu);
    System *s = E().byId(sys);
    SysProp *p = s ? findProp(*s, name) : nullptr;
    return p && p->def.type == SText ? p->text : std::string();
}

double boardParamValue(int sys, int slot, const std::string &name)
{
    Lock lk(E().mu);
    Board *b = boardOf(E().byId(sys), slot);
    int i = b ? paramIndex(b->model.boardParams, name) : -1;
    return i >= 0 ? b->values[size_t(i)] : kNaN;
}

double channelParamValue(int sys, int slot, int channel, const std::string &name)
{
    Lock lk(E().mu);
    Board *b = boardOf(E().byId(sys), slot);
    if (!b || channel < 0 || size_t(channel) >= b->channels.size())
        return kNaN;
    int i = paramIndex(b->model.channelParams, name);
    return i >= 0 ? b->channels[size_t(channel)].values[size_t(i)] : kNaN;
}

std::string channelName(int sys, int slot, int channel)
{
    Lock lk(E().mu);
    Board *b = boardOf(E().byId(sys), slot);
    if (!b || channel < 0 || size_t(channel) >= b->channels.size())
        return std::string();
    return b->channels[size_t(channel)].name;
}

int setChannelLoad(int sys, int slot, int channel, double megaohm)
{
    Lock lk(E().mu);
    System *s = E().byId(sys);
    if (!s)
        return ORVEHV_ERR_UNKNOWN_SYSTEM;
    Board *b = boardOf(s, slot);
    if (!b || channel < 0 || size_t(channel) >= b->channels.size())
        return ORVEHV_ERR_UNKNOWN_PARAM;
    if (!(megaohm >= 0) || !std::isfinite(megaohm))
        return ORVEHV_ERR_OUT_OF_RANGE;
    b->channels[size_t(channel)].load = megaohm;
    E().settleChannel(*s, *b, channel, 0);
    return ORVEHV_OK;
}

// ---------------------------------------------------------------- faults

int failRead(int sys, const std::string &name, int code)
{
    Lock lk(E().mu);
    System *s = E().byId(sys);
    if (!s)
        return ORVEHV_ERR_UNKNOWN_SYSTEM;
    if (code == ORVEHV_OK)
        s->readFaults.erase(name);
    else
        s->readFaults[name] = code;
    return ORVEHV_OK;
}

int failWrite(int sys, const std::string &name, int code)
{
    Lock lk(E().mu);
    System *s = E().byId(sys);
    if (!s)
        return ORVEHV_ERR_UNKNOWN_SYSTEM;
    if (code == ORVEHV_OK)
        s->writeFaults.erase(name);
    else
        s->writeFaults[name] = code;
    return ORVEHV_OK;
}

void clearFaults(int sys)
{
    Lock lk(E().mu);
    World &w = E().world();
    for (size_t i = 0; i < w.systems.size(); ++i) {
        if (sys >= 0 && int(i) != sys)
            continue;
        System &s = *w.systems[i];
        s.readFaults.clear();
        s.writeFaults.clear();
        s.refusedSubs.clear();
        s.refuseLogin = false;
        for (auto &b : s.slots) {
            if (!b)
                continue;
            b->faultBits = 0;
            for (size_t c = 0; c < b->channels.size(); ++c) {
                b->channels[c].faultBits = 0;
                E().settleChannel(s, *b, int(c), 0);
            }
            E().refreshBoardStatus(s, *b);
        }
    }
}

int refuseLogin(int sys, bool refuse)
{
    Lock lk(E().mu);
    System *s = E().byId(sys);
    if (!s)
        return ORVEHV_ERR_UNKNOWN_SYSTEM;
    s->refuseLogin = refuse;
    return ORVEHV_OK;
}

int refuseSubscriptions(int sys, const std::vector<std::string> &names)
{
    Lock lk(E().mu);
    System *s = E().byId(sys);
    if (!s)
        return ORVEHV_ERR_UNKNOWN_SYSTEM;
    s->refusedSubs = std::set<std::string>(names.begin(), names.end());
    return ORVEHV_OK;
}

int dropEventConnection(int sys)
{
    Lock lk(E().mu);
    System *s = E().byId(sys);
    if (!s)
        return ORVEHV_ERR_UNKNOWN_SYSTEM;
    if (!s->conn)
        return ORVEHV_ERR_CONNECTION_LOST;
    E().dropConnection(*s);
    return ORVEHV_OK;
}

namespace {

// The system behind `sys` with an open event connection (E().mu held), or
// the error why there is none.
int connectedSystem(int sys, System *&s)
{
    s = E().byId(sys);
    if (!s)
        return ORVEHV_ERR_UNKNOWN_SYSTEM;
    if (!s->conn || !s->conn->alive())
        return ORVEHV_ERR_CONNECTION_LOST;
    return ORVEHV_OK;
}

// "VMon" records of every channel in slot order (only the first when
// firstOnly), flooded n times over.
int floodVmon(int sys, unsigned int n, unsigned int perSecond, bool firstOnly)
{
    Lock lk(E().mu);
    System *s = nullptr;
    if (const int rc = connectedSystem(sys, s))
        return rc;
    std::vector<stream::Record> targets;
    for (auto &b : s->slots)
        for (size_t ch = 0; b && ch < b->channels.size() && !(firstOnly && !targets.empty()); ++ch) {
            stream::Record r;
            r.type = ORVEHV_EVENT_PARAMETER;
            r.handle = s->lastHandle;
            r.board = b->slot;
            r.channel = int(ch);
            r.name = "VMon";
            targets.push_back(std::move(r));
        }
    if (targets.empty())
        return ORVEHV_ERR_UNKNOWN_PARAM;
    E().updateEventStatus(*s);
    s->conn->flood(n, std::move(targets), perSecond);
    return ORVEHV_OK;
}

} // namespace

int sendRawEventBytes(int sys, const std::string &bytes)
{
    Lock lk(E().mu);
    System *s = nullptr;
    if (const int rc = connectedSystem(sys, s))
        return rc;
    s->conn->sendRaw(bytes);
    return ORVEHV_OK;
}

int floodEvents(int sys, unsigned int n)
{
    return floodVmon(sys, n, 0, true);
}

int floodChannelEvents(int sys, unsigned int n, unsigned int perSecond)
{
    return floodVmon(sys, n, perSecond, false);
}

int holdEvents(int sys, bool hold)
{
    Lock lk(E().mu);
    System *s = E().byId(sys);
    if (!s)
        return ORVEHV_ERR_UNKNOWN_SYSTEM;
    s->eventsHeld = hold;
    if (s->conn)
        s->conn->hold(hold);
    return ORVEHV_OK;
}

bool hasEventConnection(int sys)
{
    Lock lk(E().mu);
    System *s = E().byId(sys);
    return s && s->conn && s->conn->alive();
}

// ---------------------------------------------------------------- boards

int insertBoard(int sys, int slot, const std::string &model, int channels)
{
    Lock lk(E().mu);
    System *s = E().byId(sys);
    if (!s)
        return ORVEHV_ERR_UNKNOWN_SYSTEM;
    if (slot < 0 || size_t(slot) >= s->slots.size())
        return ORVEHV_ERR_UNKNOWN_PARAM;
    if (s->slots[size_t(slot)])
        return ORVEHV_ERR_WRITE_REFUSED;
    const BoardModel *m = E().world().model(model);
    if (!m)
        return ORVEHV_ERR_UNKNOWN_PARAM;
    if (channels < 0 || channels > 128)
        return ORVEHV_ERR_OUT_OF_RANGE;
    BoardModel bm = *m;
    if (channels > 0)
        bm.channels = channels;
    s->slots[size_t(slot)] = makeBoard(bm, slot, uint32_t(2000 + slot));
    stream::Record r;
    r.type = ORVEHV_EVENT_LIVE_INSERT;
    r.handle = s->lastHandle;
    r.board = slot;
    E().emitRecord(*s, r);
    return ORVEHV_OK;
}

int removeBoard(int sys, int slot)
{
    Lock lk(E().mu);
    System *s = E().byId(sys);
    if (!s)
        return ORVEHV_ERR_UNKNOWN_SYSTEM;
    if (!boardOf(s, slot))
        return ORVEHV_ERR_UNKNOWN_PARAM;
    s->slots[size_t(slot)].reset();
    for (auto it = s->subs.begin(); it != s->subs.end();)
        it = std::get<0>(it->first) == slot ? s->subs.erase(it) : std::next(it);
    stream::Record r;
    r.type = ORVEHV_EVENT_LIVE_INSERT;
    r.handle = s->lastHandle;
    r.board = slot;
    E().emitRecord(*s, r);
    return ORVEHV_OK;
}

int swapBoard(int sys, int slot, uint32_t serial)
{
    Lock lk(E().mu);
    System *s = E().byId(sys);
    if (!s)
        return ORVEHV_ERR_UNKNOWN_SYSTEM;
    Board *old = boardOf(s, slot);
    if (!old)
        return ORVEHV_ERR_UNKNOWN_PARAM;
    const BoardModel model = old->model;
    s->slots[size_t(slot)] = makeBoard(model, slot, serial);
    return ORVEHV_OK;
}

std::vector<std::string> boardModels()
{
    Lock lk(E().mu);
    std::vector<std::string> out;
    for (const BoardModel &m : E().world().models)
        out.push_back(m.name);
    return out;
}

int enterTransparentMode(int sys)
{
    Lock lk(E().mu);
    System *s = E().byId(sys);
    if (!s)
        return ORVEHV_ERR_UNKNOWN_SYSTEM;
    stream::Record r;
    r.type = ORVEHV_EVENT_TRANSPARENT;
    r.handle = s->lastHandle;
    s->transparent = true;
    E().emitRecord(*s, r);
    return ORVEHV_OK;
}

// ------------------------------------------------------------------ time

void setTimeMode(TimeMode mode)
{
    Lock lk(E().mu);
    E().mode = mode;
}

TimeMode timeMode()
{
    Lock lk(E().mu);
    return E().mode;
}

void advanceTime(double seconds)
{
    if (!(seconds > 0) || !std::isfinite(seconds))
        return;
    Lock lk(E().mu);
    E().advance(seconds);
}

double simulatedTime()
{
    Lock lk(E().mu);
    return E().simTime;
}

uint64_t libraryCallCount()
{
    return E().calls.load();
}

void resetLibraryCallCount()
{
    E().calls = 0;
}

} // namespace vhw
