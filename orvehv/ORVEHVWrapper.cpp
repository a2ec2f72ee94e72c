// The device library on the virtual hardware. Every call takes the world lock
// of the engine; event reads (ORVEHV_GetEventData) only touch the socket they
// are given, so event threads never wait for calls of the GUI thread.
#include "ORVEHVWrapper.h"

#include "virtualhw/Engine.h"
#include "virtualhw/StatusFaults.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <vector>

using namespace vhw;

namespace {

using Lock = std::lock_guard<std::mutex>;

// Bytes a caller-supplied text may have before we call it over-long.
bool textFits(const char *p, size_t buffer)
{
    return p && strnlen(p, buffer) < buffer;
}

std::string safeName(const char *p)
{
    // Names longer than any item of ours cannot match; cut them short.
    return p ? std::string(p, strnlen(p, 64)) : std::string();
}

int faultOf(const std::map<std::string, int> &faults, const std::string &name)
{
    auto it = faults.find(name);
    if (it != faults.end())
        return it->second;
    it = faults.find("*");
    return it != faults.end() ? it->second : ORVEHV_OK;
}

Board *boardAt(System &s, unsigned slot)
{
    return slot < s.slots.size() ? s.slots[slot].get() : nullptr;
}

// The board in the slot when every listed channel exists on it, else null.
Board *boardWithChannels(System &s, unsigned slot, unsigned short chNum, const unsigned short *chList)
{
    Board *b = boardAt(s, slot);
    for (unsigned k = 0; b && k < chNum; ++k)
        if (chList[k] >= b->channels.size())
            b = nullptr;
    return b;
}

template <typename T>
void put(void *dst, T v)
{
    std::memcpy(dst, &v, sizeof v);
}

template <typename T>
T get(const void *src)
{
    T v;
    std::memcpy(&v, src, sizeof v);
    return v;
}

// Fills a value cell of a parameter (4 bytes for every non-text type).
void writeCell(const ParamDef &d, double v, void *cell)
{
    switch (d.type) {
    case PNumeric:
        put<float>(cell, float(v));
        break;
    case POnOff:
        put<uint32_t>(cell, v != 0 ? 1u : 0u);
        break;
    default:
        put<int32_t>(cell, int32_t(int64_t(v)));
        break;
    }
}

// Validates a value cell for writing; the value goes to *out.
int readCell(const ParamDef &d, const void *cell, double *out)
{
    switch (d.type) {
    case PNumeric: {
        float f = get<float>(cell);
        if (!std::isfinite(f) || (d.hasRange && (f < d.minval || f > d.maxval)))
            return ORVEHV_ERR_OUT_OF_RANGE;
        *out = f;
        return ORVEHV_OK;
    }
    case POnOff: {
        uint32_t u = get<uint32_t>(cell);
        if (u > 1)
            return ORVEHV_ERR_OUT_OF_RANGE;
        *out = u;
        return ORVEHV_OK;
    }
    case PEnum: {
        int32_t i = get<int32_t>(cell);
        if (d.hasRange && (i < d.minval || i > d.maxval))
            return ORVEHV_ERR_OUT_OF_RANGE;
        *out = i;
        return ORVEHV_OK;
    }
    case PBinary: {
        uint32_t u = get<uint32_t>(cell); // a bit field: compare as unsigned
        if (d.hasRange && (double(u) < d.minval || double(u) > d.maxval))
            return ORVEHV_ERR_OUT_OF_RANGE;
        *out = double(int32_t(u));
        return ORVEHV_OK;
    }
    default:
        return ORVEHV_ERR_WRITE_REFUSED;
    }
}

int paramProp(const ParamDef &d, const std::string &prop, void *ret)
{
    if (prop == "Type") {
        put<uint32_t>(ret, uint32_t(d.type));
    } else if (prop == "Mode") {
        put<uint32_t>(ret, uint32_t(d.mode));
    } else if ((prop == "Minval" || prop == "Maxval") && d.hasRange) {
        put<float>(ret, prop == "Minval" ? d.minval : d.maxval);
    } else if (prop == "Unit" && d.hasUnit) {
        put<uint16_t>(ret, d.unit);
    } else if (prop == "Exp" && d.hasUnit) {
        put<int16_t>(ret, d.exp);
    } else if (prop == "Decimal" && d.hasDecimal) {
        put<int16_t>(ret, d.decimal);
    } else if ((prop == "Onstate" || prop == "Offstate") && d.type == POnOff) {
        const std::string &t = prop == "Onstate" ? d.onstate : d.offstate;
        size_t n = std::min(t.size(), size_t(ORVEHV_STATE_TEXT_LEN - 1));
        std::memcpy(ret, t.data(), n);
        static_cast<char *>(ret)[n] = '\0';
    } else if (prop == "Enum" && d.type == PEnum) {
        char *out = static_cast<char *>(ret);
        std::memset(out, 0, ORVEHV_ENUM_BUFFER);
        for (size_t i = 0; i < d.enumTexts.size() && i < ORVEHV_ENUM_MAX_TEXTS; ++i) {
            const std::string &t = d.enumTexts[i];
            std::memcpy(out + i * ORVEHV_ENUM_CELL, t.data(), std::min(t.size(), size_t(ORVEHV_ENUM_CELL - 1)));
        }
    } else {
        return ORVEHV_ERR_UNKNOWN_PARAM;
    }
    return ORVEHV_OK;
}

char *nameCells(const std::vector<ParamDef> &defs)
{
    size_t n = defs.size() + 1;
    char *cells = static_cast<char *>(std::calloc(n, ORVEHV_PARAM_NAME_CELL));
    if (!cells)
        return nullptr;
    for (size_t i = 0; i < defs.size(); ++i)
        std::memcpy(cells + i * ORVEHV_PARAM_NAME_CELL, defs[i].name.data(),
                    std::min(defs[i].name.size(), size_t(ORVEHV_PARAM_NAME_CELL - 1)));
    return cells;
}

// Opens the call: counts it, takes the lock, finds the system of a handle.
struct Call {
    Engine &e = Engine::get();
    std::unique_lock<std::mutex> lock;
    System *sys = nullptr;
    int rc = ORVEHV_OK;

    explicit Call(int handle) : lock(e.mu)
    {
        e.calls++;
        e.world();
        sys = e.byHandle(handle);
        if (!sys)
            rc = ORVEHV_ERR_BAD_HANDLE;
        else if (sys->transparent)
            rc = ORVEHV_ERR_DEVICE;
    }
};

double nowSeconds()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// Reads exactly n bytes before the deadline. 1 = done, 0 = peer closed before
// anything of this read came, -1 = failed/timed out.
int readFully(int sock, uint8_t *buf, size_t n, double deadline, size_t *got)
{
    while (*got < n) {
        double left = deadline - nowSeconds();
        if (left <= 0)
            return -1;
        pollfd p{sock, POLLIN, 0};
        int r = ::poll(&p, 1, int(left * 1000) + 1);
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0 || (p.revents & POLLNVAL))
            return -1;
        if (r == 0)
            continue;
        ssize_t k = ::recv(sock, buf + *got, n - *got, MSG_DONTWAIT);
        if (k == 0)
            return 0;
        if (k < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
                continue;
            return -1;
        }
        *got += size_t(k);
    }
    return 1;
}

int subscription(int handle, unsigned short port, int board, int channel, const char *list, unsigned int num,
                 char *codes, bool subscribe)
{
    Call c(handle);
    if (c.rc)
        return c.rc;
    if (num == 0)
        return ORVEHV_OK;
    if (!list || !codes || num > 65535)
        return ORVEHV_ERR_BAD_ARGUMENT;
    size_t len = strnlen(list, size_t(num) * 64 + 1);
    if (len > size_t(num) * 64)
        return ORVEHV_ERR_BAD_ARGUMENT;
    std::vector<std::string> names;
    std::string cur;
    for (size_t i = 0; i <= len; ++i) {
        if (i == len || list[i] == ':') {
            names.push_back(cur);
            cur.clear();
        } else {
            cur += list[i];
        }
    }
    if (names.size() != num)
        return ORVEHV_ERR_BAD_ARGUMENT;
    System &s = *c.sys;
    Board *b = nullptr;
    if (board >= 0) {
        b = boardAt(s, unsigned(board));
        if (!b || (channel >= 0 && size_t(channel) >= b->channels.size())) {
            std::memset(codes, 1, num);
            return ORVEHV_ERR_UNKNOWN_PARAM;
        }
    }
    if (subscribe) {
        int rc = c.e.connect(s, port, c.e.argumentOf(handle));
        if (rc != ORVEHV_OK) {
            std::memset(codes, 1, num);
            return rc;
        }
    }
    unsigned accepted = 0;
    for (unsigned i = 0; i < num; ++i) {
        const std::string &n = names[i];
        bool known;
        if (!b) {
            SysProp *p = findProp(s, n);
            known = p && p->def.mode != WriteOnly;
        } else if (channel < 0) {
            int k = paramIndex(b->model.boardParams, n);
            known = k >= 0 && b->model.boardParams[size_t(k)].mode != WriteOnly;
        } else {
            int k = paramIndex(b->model.channelParams, n);
            known = n == "Name" || (k >= 0 && b->model.channelParams[size_t(k)].mode != WriteOnly);
        }
        char code = !known ? 1 : (subscribe && s.refusedSubs.count(n)) ? 2 : 0;
        codes[i] = code;
        if (code)
            continue;
        ++accepted;
        SubKey key(board, board >= 0 ? channel : -1, n);
        if (subscribe) {
            s.subs[key].insert(handle);
        } else if (auto it = s.subs.find(key); it != s.subs.end()) {
            it->second.erase(handle);
            if (it->second.empty())
                s.subs.erase(it);
        }
    }
    return accepted ? ORVEHV_OK : ORVEHV_PARTIAL;
}

} // namespace

extern "C" {

int ORVEHV_InitSystem(int systemType, int linkType, const char *arg, const char *userName, const char *passwd,
                      int *handle)
{
    Engine &e = Engine::get();
    e.calls++;
    if (!handle || !textFits(arg, ORVEHV_MAX_ARG_LEN))
        return ORVEHV_ERR_BAD_ARGUMENT;
    *handle = -1;
    if ((userName && !textFits(userName, ORVEHV_MAX_ARG_LEN)) || (passwd && !textFits(passwd, ORVEHV_MAX_ARG_LEN)))
        return ORVEHV_ERR_BAD_ARGUMENT;
    std::string user = userName ? userName : "";
    std::string pass = passwd ? passwd : "";
    Lock lk(e.mu);
    const Family *fam = familyOf(systemType);
    System *found = nullptr;
    for (auto &s : e.world().systems)
        if (fam && familyOf(s->type) == fam && s->link == linkType && opensSystem(*s, arg)) {
            found = s.get();
            break;
        }
    if (!found)
        return ORVEHV_ERR_UNKNOWN_SYSTEM;
    if (found->transparent)
        return ORVEHV_ERR_DEVICE;
    if (int f = faultOf(found->readFaults, "InitSystem"))
        return f;
    if (found->refuseLogin || (found->hasLogin && (user != found->user || pass != found->password)))
        return ORVEHV_ERR_LOGIN;
    *handle = e.openHandle(*found, user, arg);
    return ORVEHV_OK;
}

int ORVEHV_DeinitSystem(int handle)
{
    Engine &e = Engine::get();
    e.calls++;
    Lock lk(e.mu);
    if (!e.byHandle(handle))
        return ORVEHV_ERR_BAD_HANDLE;
    e.closeHandle(handle);
    return ORVEHV_OK;
}

int ORVEHV_GetCrateMap(int handle, unsigned short *slotCount, unsigned short **nrOfChList, char **modelList,
                       char **descriptionList, uint32_t **serNumList, unsigned char **fmwRelMinList,
                       unsigned char **fmwRelMaxList)
{
    if (!slotCount || !nrOfChList || !modelList || !descriptionList || !serNumList || !fmwRelMinList ||
        !fmwRelMaxList)
        return ORVEHV_ERR_BAD_ARGUMENT;
    *nrOfChList = nullptr;
    *modelList = *descriptionList = nullptr;
    *serNumList = nullptr;
    *fmwRelMinList = *fmwRelMaxList = nullptr;
    *slotCount = 0;
    Call c(handle);
    if (c.rc)
        return c.rc;
    System &s = *c.sys;
    if (int f = faultOf(s.readFaults, "CrateMap"))
        return f;
    size_t n = s.slots.size();
    std::string models, descrs;
    for (auto &b : s.slots) {
        models += b ? b->model.name : std::string();
        models += '\0';
        descrs += b ? b->model.description : std::string();
        descrs += '\0';
    }
    auto *ch = static_cast<unsigned short *>(std::calloc(n, sizeof(unsigned short)));
    auto *mo = static_cast<char *>(std::malloc(models.size()));
    auto *de = static_cast<char *>(std::malloc(descrs.size()));
    auto *sn = static_cast<uint32_t *>(std::calloc(n, sizeof(uint32_t)));
    auto *fmin = static_cast<unsigned char *>(std::calloc(n, 1));
    auto *fmax = static_cast<unsigned char *>(std::calloc(n, 1));
    if (!ch || !mo || !de || !sn || !fmin || !fmax) {
        std::free(ch), std::free(mo), std::free(de), std::free(sn), std::free(fmin), std::free(fmax);
        return ORVEHV_ERR_NO_MEMORY;
    }
    std::memcpy(mo, models.data(), models.size());
    std::memcpy(de, descrs.data(), descrs.size());
    for (size_t i = 0; i < n; ++i) {
        if (!s.slots[i])
            continue;
        ch[i] = (unsigned short)s.slots[i]->channels.size();
        sn[i] = s.slots[i]->serial;
        fmin[i] = s.slots[i]->fwMinor;
        fmax[i] = s.slots[i]->fwMajor;
    }
    *slotCount = (unsigned short)n;
    *nrOfChList = ch;
    *modelList = mo;
    *descriptionList = de;
    *serNumList = sn;
    *fmwRelMinList = fmin;
    *fmwRelMaxList = fmax;
    return ORVEHV_OK;
}

int ORVEHV_GetSysPropList(int handle, unsigned short *numProp, char **propNameList)
{
    if (!numProp || !propNameList)
        return ORVEHV_ERR_BAD_ARGUMENT;
    *numProp = 0;
    *propNameList = nullptr;
    Call c(handle);
    if (c.rc)
        return c.rc;
    if (int f = faultOf(c.sys->readFaults, "SysPropList"))
        return f;
    std::string names;
    for (const SysProp &p : c.sys->props) {
        names += p.def.name;
        names += '\0';
    }
    char *out = static_cast<char *>(std::malloc(names.size() + 1));
    if (!out)
        return ORVEHV_ERR_NO_MEMORY;
    std::memcpy(out, names.data(), names.size());
    out[names.size()] = '\0';
    *numProp = (unsigned short)c.sys->props.size();
    *propNameList = out;
    return ORVEHV_OK;
}

int ORVEHV_GetSysPropInfo(int handle, const char *propName, unsigned int *propMode, unsigned int *propType)
{
    if (!propName || !propMode || !propType)
        return ORVEHV_ERR_BAD_ARGUMENT;
    Call c(handle);
    if (c.rc)
        return c.rc;
    SysProp *p = findProp(*c.sys, safeName(propName));
    if (!p)
        return ORVEHV_ERR_UNKNOWN_PARAM;
    *propMode = unsigned(p->def.mode);
    *propType = unsigned(p->def.type);
    return ORVEHV_OK;
}

int ORVEHV_GetSysProp(int handle, const char *propName, void *propValue)
{
    if (!propName || !propValue)
        return ORVEHV_ERR_BAD_ARGUMENT;
    Call c(handle);
    if (c.rc)
        return c.rc;
    std::string name = safeName(propName);
    SysProp *p = findProp(*c.sys, name);
    if (!p)
        return ORVEHV_ERR_UNKNOWN_PARAM;
    if (int f = faultOf(c.sys->readFaults, name))
        return f;
    if (p->def.mode == WriteOnly)
        return ORVEHV_ERR_UNSUPPORTED;
    if (name == "EventDataSocket") {
        int fd = c.e.eventSocket(*c.sys);
        if (fd < 0)
            return ORVEHV_ERR_CONNECTION_LOST;
        put<int32_t>(propValue, fd);
        return ORVEHV_OK;
    }
    switch (p->def.type) {
    case SText: {
        size_t n = std::min(p->text.size(), size_t(ORVEHV_SYSPROP_TEXT_READ - 1));
        std::memcpy(propValue, p->text.data(), n);
        static_cast<char *>(propValue)[n] = '\0';
        break;
    }
    case SReal:
        put<float>(propValue, float(p->num));
        break;
    case SUInt2:
        put<uint16_t>(propValue, uint16_t(int64_t(p->num)));
        break;
    case SUInt4:
        put<uint32_t>(propValue, uint32_t(int64_t(p->num)));
        break;
    case SInt2:
        put<int16_t>(propValue, int16_t(int64_t(p->num)));
        break;
    case SBool:
        put<int16_t>(propValue, int16_t(p->num != 0 ? 1 : 0));
        break;
    default:
        put<int32_t>(propValue, int32_t(int64_t(p->num)));
        break;
    }
    return ORVEHV_OK;
}

int ORVEHV_SetSysProp(int handle, const char *propName, void *propValue)
{
    if (!propName || !propValue)
        return ORVEHV_ERR_BAD_ARGUMENT;
    Call c(handle);
    if (c.rc)
        return c.rc;
    std::string name = safeName(propName);
    SysProp *p = findProp(*c.sys, name);
    if (!p)
        return ORVEHV_ERR_UNKNOWN_PARAM;
    if (int f = faultOf(c.sys->writeFaults, name))
        return f;
    if (p->def.mode == ReadOnly)
        return ORVEHV_ERR_WRITE_REFUSED;
    if (p->def.type == SText) {
        const char *t = static_cast<const char *>(propValue);
        if (!textFits(t, ORVEHV_SYSPROP_TEXT_WRITE))
            return ORVEHV_ERR_BAD_ARGUMENT;
        p->text = t;
    } else {
        double v;
        switch (p->def.type) {
        case SReal: v = get<float>(propValue); break;
        case SUInt2: v = get<uint16_t>(propValue); break;
        case SUInt4: v = get<uint32_t>(propValue); break;
        case SInt2: v = get<int16_t>(propValue); break;
        case SBool: v = get<int16_t>(propValue); break;
        default: v = get<int32_t>(propValue); break;
        }
        if (!std::isfinite(v) || (p->def.type == SBool && v != 0 && v != 1) ||
            (p->def.hasRange && (v < p->def.minval || v > p->def.maxval)))
            return ORVEHV_ERR_OUT_OF_RANGE;
        p->num = v;
    }
    c.e.emitValue(*c.sys, -1, -1, name);
    c.e.sysPropWritten(*c.sys, name);
    return ORVEHV_OK;
}

int ORVEHV_GetBdParamInfo(int handle, unsigned short slot, char **parNameList)
{
    if (!parNameList)
        return ORVEHV_ERR_BAD_ARGUMENT;
    *parNameList = nullptr;
    Call c(handle);
    if (c.rc)
        return c.rc;
    Board *b = boardAt(*c.sys, slot);
    if (!b)
        return ORVEHV_ERR_UNKNOWN_PARAM;
    char *cells = nameCells(b->model.boardParams);
    if (!cells)
        return ORVEHV_ERR_NO_MEMORY;
    *parNameList = cells;
    return ORVEHV_OK;
}

int ORVEHV_GetChParamInfo(int handle, unsigned short slot, unsigned short channel, char **parNameList,
                          int *parNumber)
{
    if (!parNameList)
        return ORVEHV_ERR_BAD_ARGUMENT;
    *parNameList = nullptr;
    if (parNumber)
        *parNumber = 0;
    Call c(handle);
    if (c.rc)
        return c.rc;
    Board *b = boardAt(*c.sys, slot);
    if (!b || channel >= b->channels.size())
        return ORVEHV_ERR_UNKNOWN_PARAM;
    char *cells = nameCells(b->model.channelParams);
    if (!cells)
        return ORVEHV_ERR_NO_MEMORY;
    *parNameList = cells;
    if (parNumber)
        *parNumber = int(b->model.channelParams.size());
    return ORVEHV_OK;
}

int ORVEHV_GetBdParamProp(int handle, unsigned short slot, const char *parName, const char *propName, void *retVal)
{
    if (!parName || !propName || !retVal)
        return ORVEHV_ERR_BAD_ARGUMENT;
    Call c(handle);
    if (c.rc)
        return c.rc;
    Board *b = boardAt(*c.sys, slot);
    int i = b ? paramIndex(b->model.boardParams, safeName(parName)) : -1;
    if (i < 0)
        return ORVEHV_ERR_UNKNOWN_PARAM;
    return paramProp(b->model.boardParams[size_t(i)], safeName(propName), retVal);
}

int ORVEHV_GetChParamProp(int handle, unsigned short slot, unsigned short channel, const char *parName,
                          const char *propName, void *retVal)
{
    if (!parName || !propName || !retVal)
        return ORVEHV_ERR_BAD_ARGUMENT;
    Call c(handle);
    if (c.rc)
        return c.rc;
    Board *b = boardAt(*c.sys, slot);
    if (!b || channel >= b->channels.size())
        return ORVEHV_ERR_UNKNOWN_PARAM;
    int i = paramIndex(b->model.channelParams, safeName(parName));
    if (i < 0)
        return ORVEHV_ERR_UNKNOWN_PARAM;
    return paramProp(b->model.channelParams[size_t(i)], safeName(propName), retVal);
}

int ORVEHV_GetBdParam(int handle, unsigned short slotNum, const unsigned short *slotList, const char *parName,
                      void *parValList)
{
    if (!slotNum || !slotList || !parName || !parValList)
        return ORVEHV_ERR_BAD_ARGUMENT;
    Call c(handle);
    if (c.rc)
        return c.rc;
    std::string name = safeName(parName);
    for (unsigned k = 0; k < slotNum; ++k) {
        Board *b = boardAt(*c.sys, slotList[k]);
        int i = b ? paramIndex(b->model.boardParams, name) : -1;
        if (i < 0)
            return ORVEHV_ERR_UNKNOWN_PARAM;
        const ParamDef &d = b->model.boardParams[size_t(i)];
        if (int f = faultOf(c.sys->readFaults, name))
            return f;
        if (d.mode == WriteOnly)
            return ORVEHV_ERR_UNSUPPORTED;
        if (d.type == PString) {
            if (slotNum != 1)
                return ORVEHV_ERR_BAD_ARGUMENT; // texts are read one slot at a time
            const std::string &t = b->texts[size_t(i)];
            size_t n = std::min(t.size(), size_t(ORVEHV_EVENT_VALUE_LEN - 1));
            std::memcpy(parValList, t.data(), n);
            static_cast<char *>(parValList)[n] = '\0';
            return ORVEHV_OK;
        }
        writeCell(d, b->values[size_t(i)], static_cast<char *>(parValList) + 4 * k);
    }
    return ORVEHV_OK;
}

int ORVEHV_SetBdParam(int handle, unsigned short slotNum, const unsigned short *slotList, const char *parName,
                      void *parValue)
{
    if (!slotNum || !slotList || !parName || !parValue)
        return ORVEHV_ERR_BAD_ARGUMENT;
    Call c(handle);
    if (c.rc)
        return c.rc;
    std::string name = safeName(parName);
    std::vector<std::pair<Board *, int>> targets;
    double v = 0;
    std::string text;
    for (unsigned k = 0; k < slotNum; ++k) {
        Board *b = boardAt(*c.sys, slotList[k]);
        int i = b ? paramIndex(b->model.boardParams, name) : -1;
        if (i < 0)
            return ORVEHV_ERR_UNKNOWN_PARAM;
        const ParamDef &d = b->model.boardParams[size_t(i)];
        if (int f = faultOf(c.sys->writeFaults, name))
            return f;
        if (d.mode == ReadOnly)
            return ORVEHV_ERR_WRITE_REFUSED;
        if (d.type == PString) {
            const char *t = static_cast<const char *>(parValue);
            if (!textFits(t, ORVEHV_EVENT_VALUE_LEN))
                return ORVEHV_ERR_BAD_ARGUMENT;
            text = t;
        } else if (int rc = readCell(d, parValue, &v)) {
            return rc;
        }
        targets.emplace_back(b, i);
    }
    for (auto &t : targets) {
        if (t.first->model.boardParams[size_t(t.second)].type == PString) {
            t.first->texts[size_t(t.second)] = text;
            c.e.emitValue(*c.sys, t.first->slot, -1, name);
        } else {
            c.e.boardWritten(*c.sys, *t.first, t.second, v);
        }
    }
    return ORVEHV_OK;
}

int ORVEHV_GetChParam(int handle, unsigned short slot, const char *parName, unsigned short chNum,
                      const unsigned short *chList, void *parValList)
{
    if (!parName || !chNum || !chList || !parValList)
        return ORVEHV_ERR_BAD_ARGUMENT;
    Call c(handle);
    if (c.rc)
        return c.rc;
    std::string name = safeName(parName);
    Board *b = boardWithChannels(*c.sys, slot, chNum, chList);
    int i = b ? paramIndex(b->model.channelParams, name) : -1;
    if (i < 0)
        return ORVEHV_ERR_UNKNOWN_PARAM;
    const ParamDef &d = b->model.channelParams[size_t(i)];
    if (int f = faultOf(c.sys->readFaults, name))
        return f;
    if (d.mode == WriteOnly)
        return ORVEHV_ERR_UNSUPPORTED;
    if (d.type == PString)
        return ORVEHV_ERR_UNSUPPORTED;
    for (unsigned k = 0; k < chNum; ++k)
        writeCell(d, b->channels[chList[k]].values[size_t(i)], static_cast<char *>(parValList) + 4 * k);
    return ORVEHV_OK;
}

int ORVEHV_SetChParam(int handle, unsigned short slot, const char *parName, unsigned short chNum,
                      const unsigned short *chList, void *parValue)
{
    if (!parName || !chNum || !chList || !parValue)
        return ORVEHV_ERR_BAD_ARGUMENT;
    Call c(handle);
    if (c.rc)
        return c.rc;
    std::string name = safeName(parName);
    Board *b = boardWithChannels(*c.sys, slot, chNum, chList);
    int i = b ? paramIndex(b->model.channelParams, name) : -1;
    if (i < 0)
        return ORVEHV_ERR_UNKNOWN_PARAM;
    const ParamDef &d = b->model.channelParams[size_t(i)];
    if (int f = faultOf(c.sys->writeFaults, name))
        return f;
    if (d.mode == ReadOnly)
        return ORVEHV_ERR_WRITE_REFUSED;
    double v;
    if (int rc = readCell(d, parValue, &v))
        return rc;
    if (name == "Pw" && v != 0)
        for (unsigned k = 0; k < chNum; ++k)
            if (switchOnInhibited(*c.sys, b->channels[chList[k]]))
                return ORVEHV_ERR_WRITE_REFUSED;
    for (unsigned k = 0; k < chNum; ++k)
        c.e.channelWritten(*c.sys, *b, chList[k], i, v);
    return ORVEHV_OK;
}

int ORVEHV_GetChName(int handle, unsigned short slot, unsigned short chNum, const unsigned short *chList,
                     char (*chNameList)[ORVEHV_CHANNEL_NAME_LEN])
{
    if (!chNum || !chList || !chNameList)
        return ORVEHV_ERR_BAD_ARGUMENT;
    Call c(handle);
    if (c.rc)
        return c.rc;
    Board *b = boardWithChannels(*c.sys, slot, chNum, chList);
    if (!b)
        return ORVEHV_ERR_UNKNOWN_PARAM;
    if (int f = faultOf(c.sys->readFaults, "Name"))
        return f;
    for (unsigned k = 0; k < chNum; ++k) {
        const std::string &n = b->channels[chList[k]].name;
        std::memset(chNameList[k], 0, ORVEHV_CHANNEL_NAME_LEN);
        std::memcpy(chNameList[k], n.data(), std::min(n.size(), size_t(ORVEHV_CHANNEL_NAME_LEN - 1)));
    }
    return ORVEHV_OK;
}

int ORVEHV_SetChName(int handle, unsigned short slot, unsigned short chNum, const unsigned short *chList,
                     const char *chName)
{
    if (!chNum || !chList || !chName)
        return ORVEHV_ERR_BAD_ARGUMENT;
    Call c(handle);
    if (c.rc)
        return c.rc;
    Board *b = boardWithChannels(*c.sys, slot, chNum, chList);
    if (!b)
        return ORVEHV_ERR_UNKNOWN_PARAM;
    if (!textFits(chName, ORVEHV_CHANNEL_NAME_LEN))
        return ORVEHV_ERR_OUT_OF_RANGE;
    if (int f = faultOf(c.sys->writeFaults, "Name"))
        return f;
    for (unsigned k = 0; k < chNum; ++k) {
        b->channels[chList[k]].name = chName;
        c.e.emitValue(*c.sys, b->slot, chList[k], "Name");
    }
    return ORVEHV_OK;
}

int ORVEHV_ExecComm(int handle, const char *commName)
{
    if (!commName)
        return ORVEHV_ERR_BAD_ARGUMENT;
    Call c(handle);
    if (c.rc)
        return c.rc;
    std::string name = safeName(commName);
    if (int f = faultOf(c.sys->writeFaults, name))
        return f;
    return c.e.command(*c.sys, name);
}

int ORVEHV_SubscribeSystemParams(int handle, unsigned short eventPort, const char *paramNameList,
                                 unsigned int paramNum, char *listOfResultCodes)
{
    return subscription(handle, eventPort, -1, -1, paramNameList, paramNum, listOfResultCodes, true);
}

int ORVEHV_UnSubscribeSystemParams(int handle, unsigned short eventPort, const char *paramNameList,
                                   unsigned int paramNum, char *listOfResultCodes)
{
    return subscription(handle, eventPort, -1, -1, paramNameList, paramNum, listOfResultCodes, false);
}

int ORVEHV_SubscribeBoardParams(int handle, unsigned short eventPort, unsigned short slot,
                                const char *paramNameList, unsigned int paramNum, char *listOfResultCodes)
{
    return subscription(handle, eventPort, slot, -1, paramNameList, paramNum, listOfResultCodes, true);
}

int ORVEHV_UnSubscribeBoardParams(int handle, unsigned short eventPort, unsigned short slot,
                                  const char *paramNameList, unsigned int paramNum, char *listOfResultCodes)
{
    return subscription(handle, eventPort, slot, -1, paramNameList, paramNum, listOfResultCodes, false);
}

int ORVEHV_SubscribeChannelParams(int handle, unsigned short eventPort, unsigned short slot,
                                  unsigned short channel, const char *paramNameList, unsigned int paramNum,
                                  char *listOfResultCodes)
{
    return subscription(handle, eventPort, slot, channel, paramNameList, paramNum, listOfResultCodes, true);
}

int ORVEHV_UnSubscribeChannelParams(int handle, unsigned short eventPort, unsigned short slot,
                                    unsigned short channel, const char *paramNameList, unsigned int paramNum,
                                    char *listOfResultCodes)
{
    return subscription(handle, eventPort, slot, channel, paramNameList, paramNum, listOfResultCodes, false);
}

int ORVEHV_GetEventData(int sock, ORVEHV_SYSTEMSTATUS_t *sysStatus, IDValue_t **eventData,
                        unsigned int *dataNumber)
{
    if (!sysStatus || !eventData || !dataNumber)
        return ORVEHV_ERR_BAD_ARGUMENT;
    *eventData = nullptr;
    *dataNumber = 0;
    if (sock < 0)
        return ORVEHV_ERR_BAD_ARGUMENT;
    pollfd p{sock, POLLIN, 0};
    int r;
    do {
        r = ::poll(&p, 1, 1000);
    } while (r < 0 && errno == EINTR);
    if (r < 0 || (p.revents & POLLNVAL))
        return ORVEHV_ERR_CONNECTION_LOST;
    if (r == 0)
        return ORVEHV_NO_EVENT_DATA;

    // Something came: the rest of the batch must follow promptly.
    double deadline = nowSeconds() + 3.0;
    uint8_t header[stream::kHeaderSize];
    size_t got = 0;
    while (got < sizeof header) {
        double left = deadline - nowSeconds();
        if (left <= 0)
            return got ? ORVEHV_ERR_BAD_EVENT_DATA : ORVEHV_NO_EVENT_DATA;
        pollfd q{sock, POLLIN, 0};
        int pr = ::poll(&q, 1, int(left * 1000) + 1);
        if (pr < 0 && errno == EINTR)
            continue;
        if (pr < 0 || (q.revents & POLLNVAL))
            return got ? ORVEHV_ERR_BAD_EVENT_DATA : ORVEHV_ERR_CONNECTION_LOST;
        if (pr == 0)
            continue;
        ssize_t k = ::recv(sock, header + got, sizeof header - got, MSG_DONTWAIT);
        if (k == 0) {
            if (got)
                return ORVEHV_ERR_BAD_EVENT_DATA; // cut off inside a batch
            Lock lk(Engine::get().mu);
            Engine::get().releaseRetired(sock);
            return ORVEHV_ERR_CONNECTION_LOST;
        }
        if (k < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
                continue;
            return got ? ORVEHV_ERR_BAD_EVENT_DATA : ORVEHV_ERR_CONNECTION_LOST;
        }
        got += size_t(k);
        // Refuse garbage as soon as a byte shows it, without waiting for more.
        if (stream::checkHeader(header, got, nullptr, nullptr) != ORVEHV_OK)
            return ORVEHV_ERR_BAD_EVENT_DATA;
    }
    uint32_t count = 0, length = 0;
    if (stream::checkHeader(header, got, &count, &length) != ORVEHV_OK)
        return ORVEHV_ERR_BAD_EVENT_DATA;
    // length is bounded by checkHeader (at most stream::kMaxPayload).
    std::vector<uint8_t> payload(length);
    size_t have = 0;
    if (readFully(sock, payload.data(), length, deadline + 2.0, &have) != 1)
        return ORVEHV_ERR_BAD_EVENT_DATA;
    IDValue_t *records = nullptr;
    if (count) {
        records = static_cast<IDValue_t *>(std::calloc(count, sizeof(IDValue_t)));
        if (!records)
            return ORVEHV_ERR_NO_MEMORY;
    }
    ORVEHV_SYSTEMSTATUS_t status;
    if (stream::decodePayload(payload.data(), length, count, &status, records) != ORVEHV_OK) {
        std::free(records);
        return ORVEHV_ERR_BAD_EVENT_DATA;
    }
    *sysStatus = status;
    *eventData = records;
    *dataNumber = count;
    return ORVEHV_OK;
}

int ORVEHV_FreeEventData(IDValue_t **listOfData)
{
    if (listOfData) {
        std::free(*listOfData);
        *listOfData = nullptr;
    }
    return ORVEHV_OK;
}

int ORVEHV_Free(void *arg)
{
    std::free(arg);
    return ORVEHV_OK;
}

} // extern "C"
