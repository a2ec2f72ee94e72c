#include "virtualhw/WorldFile.h"

#include "virtualhw/Json.h"
#include "virtualhw/World.h"
#include "orvehv/ORVEHVWrapper.h"

#include <cmath>
#include <fstream>
#include <set>
#include <sstream>

namespace vhw {

namespace {

using json::Value;

// "127.a.b.c" with each part 0..255 written in plain decimal (no leading
// zeros, which some resolvers read as octal).
bool isLoopbackAddress(const std::string &t)
{
    int parts = 0;
    size_t i = 0;
    while (i <= t.size()) {
        size_t j = i;
        while (j < t.size() && t[j] >= '0' && t[j] <= '9')
            ++j;
        const size_t len = j - i;
        if (len == 0 || len > 3 || (len > 1 && t[i] == '0'))
            return false;
        const int n = std::stoi(t.substr(i, len));
        if (n > 255 || (parts == 0 && n != 127))
            return false;
        ++parts;
        if (j == t.size())
            break;
        if (t[j] != '.' || parts == 4)
            return false;
        i = j + 1;
    }
    return parts == 4;
}

struct Loader {
    std::string source;
    std::string error;

    bool fail(const Value &v, const std::string &what)
    {
        if (error.empty())
            error = source + ":" + std::to_string(v.line) + ": " + what;
        return false;
    }

    bool onlyKeys(const Value &obj, const std::set<std::string> &allowed, const char *where)
    {
        for (const auto &m : obj.members)
            if (!allowed.count(m.first))
                return fail(m.second, "unknown key \"" + m.first + "\" in " + where);
        return true;
    }

    bool need(const Value &v, Value::Kind k, const std::string &what)
    {
        if (v.kind != k)
            return fail(v, what + " must be " + Value::kindName(k) + ", not " + Value::kindName(v.kind));
        return true;
    }

    bool integer(const Value &v, const std::string &what, double lo, double hi, long long &out)
    {
        if (!v.isInteger())
            return fail(v, what + " must be a whole number");
        if (v.number < lo || v.number > hi)
            return fail(v, what + " must be between " + std::to_string((long long)lo) + " and " +
                               std::to_string((long long)hi));
        out = (long long)v.number;
        return true;
    }

    bool text(const Value &v, const std::string &what, size_t maxLen, std::string &out, bool allowEmpty)
    {
        if (!need(v, Value::String, what))
            return false;
        if (v.text.size() > maxLen)
            return fail(v, what + " is longer than " + std::to_string(maxLen) + " characters");
        if (!allowEmpty && v.text.empty())
            return fail(v, what + " must not be empty");
        for (unsigned char c : v.text)
            if (c < 0x20 || c > 0x7e)
                return fail(v, what + " must be printable ASCII");
        out = v.text;
        return true;
    }

    static void setLimits(BoardModel &m, double vmax, double imax)
    {
        for (ParamDef &p : m.channelParams) {
            if (vmax > 0 && (p.name == "VSet" || p.name == "V0Set" || p.name == "SVMax"))
                p.maxval = float(vmax);
            if (vmax > 0 && p.name == "SVMax")
                p.initial = vmax;
            if (vmax > 0 && p.name == "VMon")
                p.maxval = float(vmax * 1.05);
            if (imax > 0 && (p.name == "ISet" || p.name == "I0Set")) {
                p.maxval = float(imax);
                p.initial = imax / 4;
            }
            if (imax > 0 && p.name == "IMon")
                p.maxval = float(imax * 1.05);
        }
        for (ParamDef &p : m.boardParams)
            if (vmax > 0 && p.name == "HVMax") {
                p.maxval = float(vmax);
                p.initial = vmax;
            }
        if (vmax > 0)
            m.vmax = vmax;
        if (imax > 0)
            m.imax = imax;
    }

    bool model(const Value &v, World &w)
    {
        if (!need(v, Value::Object, "a model"))
            return false;
        if (!onlyKeys(v, {"name", "base", "description", "channels", "vmax", "imax"}, "a model"))
            return false;
        const Value *name = v.find("name");
        const Value *base = v.find("base");
        if (!name)
            return fail(v, "model without \"name\"");
        if (!base)
            return fail(v, "model without \"base\"");
        std::string nm, bs;
        if (!text(*name, "model name", 15, nm, false) || !text(*base, "\"base\"", 15, bs, false))
            return false;
        if (w.model(nm))
            return fail(*name, "model \"" + nm + "\" defined twice");
        const BoardModel *b = w.model(bs);
        if (!b)
            return fail(*base, "unknown base model \"" + bs + "\"");
        BoardModel m = *b;
        m.name = nm;
        if (const Value *d = v.find("description"))
            if (!text(*d, "\"description\"", 63, m.description, true))
                return false;
        long long n;
        if (const Value *c = v.find("channels")) {
            if (!integer(*c, "\"channels\"", 1, 128, n))
                return false;
            m.channels = int(n);
        }
        double vmax = 0, imax = 0;
        if (const Value *x = v.find("vmax")) {
            if (!need(*x, Value::Number, "\"vmax\"") )
                return false;
            if (x->number <= 0 || x->number > 100000)
                return fail(*x, "\"vmax\" must be above 0 and at most 100000");
            vmax = x->number;
        }
        if (const Value *x = v.find("imax")) {
            if (!need(*x, Value::Number, "\"imax\""))
                return false;
            if (x->number <= 0 || x->number > 1e7)
                return fail(*x, "\"imax\" must be above 0 and at most 10000000");
            imax = x->number;
        }
        setLimits(m, vmax, imax);
        w.models.push_back(m);
        return true;
    }

    bool board(const Value &v, const World &w, System &sys, std::set<long long> &used)
    {
        if (!need(v, Value::Object, "a board"))
            return false;
        if (!onlyKeys(v, {"slot", "model", "channels", "serial", "firmware", "load", "values", "names"}, "a board"))
            return false;
        const Value *slot = v.find("slot");
        const Value *mdl = v.find("model");
        if (!slot)
            return fail(v, "board without \"slot\"");
        if (!mdl)
            return fail(v, "board without \"model\"");
        long long s;
        if (!integer(*slot, "\"slot\"", 0, sys.slotCount - 1, s))
            return false;
        if (!used.insert(s).second)
            return fail(*slot, "two boards in slot " + std::to_string(s));
        std::string mn;
        if (!text(*mdl, "\"model\"", 15, mn, false))
            return false;
        const BoardModel *m = w.model(mn);
        if (!m)
            return fail(*mdl, "unknown board model \"" + mn + "\"");
        BoardModel bm = *m;
        long long n;
        if (const Value *c = v.find("channels")) {
            if (!integer(*c, "\"channels\"", 1, 128, n))
                return false;
            bm.channels = int(n);
        }
        uint32_t serial = uint32_t(1000 + s);
        if (const Value *x = v.find("serial")) {
            if (!integer(*x, "\"serial\"", 0, 4294967295.0, n))
                return false;
            serial = uint32_t(n);
        }
        auto b = makeBoard(bm, int(s), serial);
        if (const Value *x = v.find("firmware")) {
            if (!need(*x, Value::Array, "\"firmware\""))
                return false;
            if (x->items.size() != 2)
                return fail(*x, "\"firmware\" must be [major, minor]");
            long long maj, min;
            if (!integer(x->items[0], "firmware major", 0, 255, maj) ||
                !integer(x->items[1], "firmware minor", 0, 255, min))
                return false;
            b->fwMajor = uint8_t(maj);
            b->fwMinor = uint8_t(min);
        }
        if (const Value *x = v.find("load")) {
            if (!need(*x, Value::Number, "\"load\""))
                return false;
            if (x->number < 0)
                return fail(*x, "\"load\" must not be negative");
            for (Channel &ch : b->channels)
                ch.load = x->number;
        }
        if (const Value *x = v.find("values")) {
            if (!need(*x, Value::Object, "\"values\""))
                return false;
            for (const auto &kv : x->members) {
                int idx = paramIndex(bm.channelParams, kv.first);
                if (idx < 0)
                    return fail(kv.second, "model " + bm.name + " has no channel parameter \"" + kv.first + "\"");
                const ParamDef &d = bm.channelParams[size_t(idx)];
                if (d.type == PChStatus || d.type == PString)
                    return fail(kv.second, "\"" + kv.first + "\" cannot be given a value");
                if (!need(kv.second, Value::Number, "\"" + kv.first + "\""))
                    return false;
                double val = kv.second.number;
                if (d.hasRange && (val < d.minval || val > d.maxval))
                    return fail(kv.second, "\"" + kv.first + "\" outside " + std::to_string(d.minval) + ".." +
                                               std::to_string(d.maxval));
                if (d.type == POnOff && val != 0 && val != 1)
                    return fail(kv.second, "\"" + kv.first + "\" must be 0 or 1");
                for (Channel &ch : b->channels)
                    ch.values[size_t(idx)] = val;
            }
        }
        if (const Value *x = v.find("names")) {
            if (!need(*x, Value::Array, "\"names\""))
                return false;
            if (x->items.size() > b->channels.size())
                return fail(*x, "more names than channels");
            for (size_t i = 0; i < x->items.size(); ++i)
                if (!text(x->items[i], "a channel name", ORVEHV_CHANNEL_NAME_LEN - 1, b->channels[i].name, true))
                    return false;
        }
        // A channel that starts powered starts settled at its set voltage.
        int pw = paramIndex(bm.channelParams, "Pw");
        int vs = paramIndex(bm.channelParams, "VSet");
        if (vs < 0)
            vs = paramIndex(bm.channelParams, "V0Set");
        int vm = paramIndex(bm.channelParams, "VMon");
        int im = paramIndex(bm.channelParams, "IMon");
        for (Channel &ch : b->channels) {
            if (pw >= 0 && vs >= 0 && vm >= 0 && ch.values[size_t(pw)] != 0) {
                ch.values[size_t(vm)] = ch.values[size_t(vs)];
                if (im >= 0 && ch.load > 0)
                    ch.values[size_t(im)] = ch.values[size_t(vm)] / ch.load;
            }
        }
        sys.slots[size_t(s)] = std::move(b);
        return true;
    }

    bool system(const Value &v, World &w)
    {
        if (!need(v, Value::Object, "a system"))
            return false;
        if (!onlyKeys(v, {"type", "link", "argument", "loopbackAddress", "description", "user", "password", "slots",
                          "properties", "boards"},
                      "a system"))
            return false;
        auto sys = std::make_unique<System>();
        const Value *t = v.find("type");
        const Value *l = v.find("link");
        const Value *a = v.find("argument");
        if (!t || !l || !a)
            return fail(v, "a system needs \"type\", \"link\" and \"argument\"");
        long long n;
        if (!integer(*t, "\"type\"", 0, 1000, n))
            return false;
        const Family *fam = familyOf(int(n));
        if (!fam)
            return fail(*t, "unknown system type " + std::to_string(n) + " (2, 3, 5, 6, 9, 11, 13, 14 or 16)");
        sys->type = int(n);
        if (!integer(*l, "\"link\"", 0, 7, n))
            return false;
        if (n == 1 || n == 2)
            return fail(*l, "unknown link type " + std::to_string(n) + " (0, 3, 4, 5, 6 or 7)");
        sys->link = int(n);
        if (!text(*a, "\"argument\"", ORVEHV_MAX_ARG_LEN - 1, sys->argument, false))
            return false;
        const Value *alias = v.find("loopbackAddress");
        if (alias) {
            if (!need(*alias, Value::String, "\"loopbackAddress\""))
                return false;
            if (!isLoopbackAddress(alias->text))
                return fail(*alias, "\"loopbackAddress\" must be a dotted address in 127.0.0.0/8 "
                                    "such as \"127.0.2.10\"");
            sys->loopbackAddress = alias->text;
        }
        for (const auto &other : w.systems) {
            bool sameType = other->type == sys->type || (familyOf(other->type) == fam && fam->type == 2);
            if (!sameType || other->link != sys->link)
                continue;
            // An alias opens its system like the argument does, so both must be unique.
            if (opensSystem(*other, sys->argument))
                return fail(*a, "a system with type " + std::to_string(sys->type) + ", link " +
                                    std::to_string(sys->link) + " and argument \"" + sys->argument +
                                    "\" exists already");
            if (alias && opensSystem(*other, sys->loopbackAddress))
                return fail(*alias, "a system with type " + std::to_string(sys->type) + ", link " +
                                        std::to_string(sys->link) + " is opened by \"" +
                                        sys->loopbackAddress + "\" already");
        }
        if (alias && equalsNoCase(sys->argument, sys->loopbackAddress))
            sys->loopbackAddress.clear();   // the argument itself: nothing to alias
        sys->description = fam->name;
        if (const Value *d = v.find("description"))
            if (!text(*d, "\"description\"", 127, sys->description, true))
                return false;
        const Value *u = v.find("user");
        const Value *p = v.find("password");
        if (p && !u)
            return fail(*p, "\"password\" without \"user\"");
        if (u) {
            if (!text(*u, "\"user\"", ORVEHV_MAX_ARG_LEN - 1, sys->user, false))
                return false;
            if (p && !text(*p, "\"password\"", ORVEHV_MAX_ARG_LEN - 1, sys->password, true))
                return false;
            sys->hasLogin = true;
        }
        sys->slotCount = fam->defaultSlots;
        if (const Value *s = v.find("slots")) {
            if (!integer(*s, "\"slots\"", 1, 256, n))
                return false;
            sys->slotCount = int(n);
        }
        sys->slots.resize(size_t(sys->slotCount));
        initSystemProps(*sys);
        if (const Value *props = v.find("properties")) {
            if (!need(*props, Value::Object, "\"properties\""))
                return false;
            for (const auto &kv : props->members) {
                SysProp *sp = findProp(*sys, kv.first);
                if (!sp || kv.first == "EventDataSocket" || kv.first == "Sessions")
                    return fail(kv.second, std::string("a ") + fam->name + " system has no settable property \"" +
                                               kv.first + "\"");
                if (sp->def.type == SText) {
                    if (!text(kv.second, "\"" + kv.first + "\"", ORVEHV_SYSPROP_TEXT_READ - 1, sp->text, true))
                        return false;
                } else {
                    if (!need(kv.second, Value::Number, "\"" + kv.first + "\""))
                        return false;
                    sp->num = kv.second.number;
                }
            }
        }
        if (const Value *bs = v.find("boards")) {
            if (!need(*bs, Value::Array, "\"boards\""))
                return false;
            std::set<long long> used;
            for (const Value &b : bs->items)
                if (!board(b, w, *sys, used))
                    return false;
        }
        w.systems.push_back(std::move(sys));
        return true;
    }

    bool world(const Value &root, World &w)
    {
        if (!need(root, Value::Object, "the world"))
            return false;
        if (!onlyKeys(root, {"models", "systems"}, "the world"))
            return false;
        w.models = builtinModels();
        if (const Value *ms = root.find("models")) {
            if (!need(*ms, Value::Array, "\"models\""))
                return false;
            for (const Value &m : ms->items)
                if (!model(m, w))
                    return false;
        }
        const Value *ss = root.find("systems");
        if (!ss)
            return fail(root, "the world has no \"systems\" list");
        if (!need(*ss, Value::Array, "\"systems\""))
            return false;
        if (ss->items.size() > 256)
            return fail(*ss, "more than 256 systems");
        for (const Value &s : ss->items)
            if (!system(s, w))
                return false;
        distinctSerialNumbers(w);
        return true;
    }

    // Every system is one unit with its own serial number, the same in its
    // properties (TECH INFO) and in its autodetection reply: one that repeats
    // an earlier system's number (the family default) gets a number of its own.
    static void distinctSerialNumbers(World &w)
    {
        std::set<std::string> taken;
        for (size_t i = 0; i < w.systems.size(); ++i) {
            SysProp *p = findProp(*w.systems[i], "SerialNumber");
            if (!p)
                continue;
            if (p->text.empty() || taken.count(p->text))
                p->text = std::to_string(33001000 + i);
            taken.insert(p->text);
        }
    }
};

const char kBuiltin[] = R"({
  "systems": [
    { "type": 2, "link": 0, "argument": "192.0.2.10", "loopbackAddress": "127.0.2.10",
      "description": "MF3300 crate, 16 slots",
      "user": "admin", "password": "admin", "slots": 16,
      "boards": [
        { "slot": 0, "model": "A1520", "serial": 1001, "values": { "VSet": 1000, "Pw": 1 },
          "names": ["BEAM-L", "BEAM-R"] },
        { "slot": 1, "model": "A1535N", "serial": 1002 },
        { "slot": 3, "model": "A1550P", "serial": 1003, "values": { "ISet": 10 } },
        { "slot": 8, "model": "A1560", "serial": 1004 } ] },
    { "type": 2, "link": 0, "argument": "192.0.2.11", "loopbackAddress": "127.0.2.11",
      "description": "MF3500 crate, 6 slots",
      "user": "admin", "password": "admin", "slots": 6,
      "boards": [
        { "slot": 0, "model": "A1520", "serial": 1101 },
        { "slot": 2, "model": "A1535N", "serial": 1102 } ] },
    { "type": 5, "link": 3, "argument": "0_0_C0", "description": "VME HV board, USB bridge 0, base C0",
      "boards": [ { "slot": 0, "model": "V6533", "serial": 501 } ] },
    { "type": 5, "link": 3, "argument": "0_0_C1", "description": "VME HV board, USB bridge 0, base C1",
      "boards": [ { "slot": 0, "model": "V6519", "serial": 502 } ] },
    { "type": 5, "link": 4, "argument": "1_0_A0", "description": "VME HV board, optical link 1, base A0",
      "boards": [ { "slot": 0, "model": "V6533", "serial": 503 } ] },
    { "type": 6, "link": 0, "argument": "192.0.2.40_1", "description": "NIM HV unit, TCP/IP, bus address 1",
      "boards": [ { "slot": 0, "model": "N1470", "serial": 601 } ] },
    { "type": 6, "link": 5, "argument": "COM3_9600_8_0_0_0", "description": "Desktop HV unit, serial port",
      "boards": [ { "slot": 0, "model": "N1470", "serial": 602 } ] },
    { "type": 9, "link": 3, "argument": "0_0_0", "description": "DK31XX unit, USB",
      "boards": [ { "slot": 0, "model": "D3104", "serial": 901 } ] },
    { "type": 11, "link": 0, "argument": "192.0.2.50", "description": "DK31XXE unit, TCP/IP",
      "boards": [ { "slot": 0, "model": "D3108E", "serial": 1111 } ] },
    { "type": 13, "link": 0, "argument": "192.0.2.60", "description": "BRISK HV unit, TCP/IP",
      "boards": [ { "slot": 0, "model": "B5600", "serial": 1301 } ] },
    { "type": 13, "link": 0, "argument": "127.0.0.1", "description": "Power supply boxes, local service",
      "user": "admin", "password": "", "slots": 2, "properties": { "ModelName": "PS BOXES" },
      "boards": [ { "slot": 0, "model": "S2104", "serial": 1321 },
                  { "slot": 1, "model": "S2104", "serial": 1322 } ] },
    { "type": 16, "link": 0, "argument": "192.0.2.20", "description": "B8181 rack, two crates of 25 slots",
      "user": "admin", "password": "admin", "slots": 50,
      "boards": [ { "slot": 0, "model": "B8001", "serial": 1601 },
                  { "slot": 27, "model": "B8001", "serial": 1627 } ] },
    { "type": 14, "link": 0, "argument": "192.0.2.30", "description": "PLEX unit, TCP/IP",
      "boards": [ { "slot": 0, "model": "P7200", "serial": 1401 } ] }
  ]
}
)";

} // namespace

const char *builtinWorldJson()
{
    return kBuiltin;
}

bool parseWorld(const std::string &text, const std::string &sourceName, World &out, std::string *error)
{
    Value root;
    std::string err;
    if (!json::parse(text, root, &err)) {
        if (error)
            *error = sourceName + ":" + err.substr(5); // "line N: x" -> "<source>:N: x"
        return false;
    }
    Loader l;
    l.source = sourceName;
    World w;
    if (!l.world(root, w)) {
        if (error)
            *error = l.error;
        return false;
    }
    out = std::move(w);
    return true;
}

bool checkWorldFile(const std::string &path, std::string *error)
{
    std::ifstream f(path, std::ios::binary);
    if (!f) {
        if (error)
            *error = path + ":0: cannot open the world file";
        return false;
    }
    std::stringstream text;
    text << f.rdbuf();
    World w;
    return parseWorld(text.str(), path, w, error);
}

} // namespace vhw
