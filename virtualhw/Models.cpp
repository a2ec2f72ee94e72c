// Board models and family tables of the virtual hardware.
#include "virtualhw/World.h"

#include <cctype>
#include <cstdio>

namespace vhw {

namespace {

enum Unit : uint16_t { UAmp = 1, UVolt = 2, UWatt = 3, UCelsius = 4, UHertz = 5, UVps = 7, USec = 8 };

ParamDef numeric(const char *name, int mode, float lo, float hi, uint16_t unit, int16_t exp,
                 int16_t decimal, double initial)
{
    ParamDef p;
    p.name = name;
    p.type = PNumeric;
    p.mode = mode;
    p.hasRange = true;
    p.minval = lo;
    p.maxval = hi;
    p.hasUnit = true;
    p.unit = unit;
    p.exp = exp;
    p.hasDecimal = true;
    p.decimal = decimal;
    p.initial = initial;
    return p;
}

ParamDef onoff(const char *name, int mode, const char *on, const char *off, double initial)
{
    ParamDef p;
    p.name = name;
    p.type = POnOff;
    p.mode = mode;
    p.onstate = on;
    p.offstate = off;
    p.initial = initial;
    return p;
}

ParamDef statusWord(const char *name, int type)
{
    ParamDef p;
    p.name = name;
    p.type = type;
    p.mode = ReadOnly;
    return p;
}

ParamDef bitField(const char *name, int mode, double hi, double initial)
{
    ParamDef p;
    p.name = name;
    p.type = PBinary;
    p.mode = mode;
    p.hasRange = true;
    p.minval = 0;
    p.maxval = float(hi);
    p.hasUnit = true;
    p.unit = 0;
    p.exp = 0;
    p.hasDecimal = true;
    p.decimal = 0;
    p.initial = initial;
    return p;
}

ParamDef enumeration(const char *name, int mode, int lo, std::vector<std::string> texts, double initial)
{
    ParamDef p;
    p.name = name;
    p.type = PEnum;
    p.mode = mode;
    p.hasRange = true;
    p.minval = float(lo);
    p.maxval = float(lo + int(texts.size()) - 1);
    p.hasUnit = true;
    p.unit = 0;
    p.exp = 0;
    p.enumTexts = std::move(texts);
    p.initial = initial;
    return p;
}

// The channel parameters every high-voltage channel has, in priority order.
std::vector<ParamDef> standardChannel(double vmax, double imax, bool zeroNames)
{
    return {
        numeric(zeroNames ? "V0Set" : "VSet", ReadWrite, 0, float(vmax), UVolt, 0, 1, 0),
        numeric(zeroNames ? "I0Set" : "ISet", ReadWrite, 0, float(imax), UAmp, -6, 2, imax / 4),
        numeric("VMon", ReadOnly, 0, float(vmax * 1.05), UVolt, 0, 1, 0),
        numeric("IMon", ReadOnly, 0, float(imax * 1.05), UAmp, -6, 3, 0),
        onoff("Pw", ReadWrite, "On", "Off", 0),
        statusWord("Status", PChStatus),
        numeric("RUp", ReadWrite, 1, 500, UVps, 0, 0, 50),
        numeric("RDwn", ReadWrite, 1, 500, UVps, 0, 0, 50),
        numeric("Trip", ReadWrite, 0, 1000, USec, 0, 1, 10),
        numeric("SVMax", ReadWrite, 0, float(vmax), UVolt, 0, 0, vmax),
        enumeration("PDwn", ReadWrite, 0, {"Kill", "Ramp"}, 1),
    };
}

ParamDef polarity(bool positive)
{
    return onoff("Pol", ReadOnly, "+", "-", positive ? 1 : 0);
}

std::vector<ParamDef> mainframeBoard(double vmax)
{
    return {
        statusWord("BdStatus", PBdStatus),
        numeric("HVMax", ReadOnly, 0, float(vmax), UVolt, 0, 0, vmax),
        numeric("Temp", ReadOnly, -20, 120, UCelsius, 0, 0, 31),
    };
}

BoardModel model(const char *name, const char *descr, int channels, double vmax, double imax,
                 uint8_t major, uint8_t minor)
{
    BoardModel m;
    m.name = name;
    m.description = descr;
    m.channels = channels;
    m.vmax = vmax;
    m.imax = imax;
    m.fwMajor = major;
    m.fwMinor = minor;
    return m;
}

std::vector<BoardModel> makeModels()
{
    std::vector<BoardModel> v;

    BoardModel a = model("A1520", "12 Ch 2KV 1mA", 12, 2000, 1000, 1, 4);
    a.boardParams = mainframeBoard(a.vmax);
    a.channelParams = standardChannel(a.vmax, a.imax, false);
    a.channelParams.push_back(polarity(true));
    v.push_back(a);

    // Negative board that lists its channel parameters out of priority order.
    BoardModel n = model("A1535N", "24 Ch Neg. 3.5KV 3mA", 24, 3500, 3000, 2, 1);
    n.boardParams = mainframeBoard(n.vmax);
    {
        auto std = standardChannel(n.vmax, n.imax, false);
        auto take = [&](const char *nm) { return std[size_t(paramIndex(std, nm))]; };
        n.channelParams = {take("VMon"), take("Pw"), take("ISet"), take("VSet"), take("Status"),
                           take("IMon"), take("RUp"), take("RDwn"), take("Trip"), take("SVMax"),
                           take("PDwn"), polarity(false)};
    }
    v.push_back(n);

    BoardModel p = model("A1550P", "48 Ch 5KV 20uA", 48, 5000, 20, 1, 2);
    p.boardParams = mainframeBoard(p.vmax);
    p.boardParams.push_back(enumeration("AvgFilter", ReadWrite, 0,
                                        {"1", "2", "4", "8", "16", "32", "64", "128", "256", "512"}, 3));
    p.channelParams = standardChannel(p.vmax, p.imax, false);
    // 16 internal lines (the most a board has) and the four external ones.
    p.channelParams.push_back(bitField("TripInt", ReadWrite, 4294967295.0, 0));
    p.channelParams.push_back(bitField("TripExt", ReadWrite, 255, 0));
    p.channelParams.push_back(polarity(true));
    v.push_back(p);

    // Board with trip lines: internal lines (half the channel count) and four
    // external ones, each a line bit and its companion bit.
    BoardModel t = model("A1560", "12 Ch 6KV 1mA TL", 12, 6000, 1000, 3, 0);
    t.boardParams = mainframeBoard(t.vmax);
    t.channelParams = standardChannel(t.vmax, t.imax, false);
    t.channelParams.push_back(bitField("TripInt", ReadWrite, 4095, 0));
    t.channelParams.push_back(bitField("TripExt", ReadWrite, 255, 0));
    t.channelParams.push_back(polarity(true));
    v.push_back(t);

    BoardModel b = model("B8001", "12 Ch 4KV 2mA", 12, 4000, 2000, 1, 10);
    b.boardParams = mainframeBoard(b.vmax);
    b.channelParams = standardChannel(b.vmax, b.imax, false);
    b.channelParams.push_back(polarity(true));
    v.push_back(b);

    BoardModel v8 = model("V6533", "8 Ch 4KV 3mA VME", 8, 4000, 3000, 2, 3);
    v8.boardParams = {statusWord("BdStatus", PBdStatus),
                      numeric("Temp", ReadOnly, -20, 120, UCelsius, 0, 0, 33)};
    v8.channelParams = standardChannel(v8.vmax, v8.imax, true);
    v8.channelParams.push_back(polarity(true));
    v.push_back(v8);

    BoardModel v4 = model("V6519", "4 Ch 500V 3mA VME", 4, 500, 3000, 2, 1);
    v4.boardParams = v8.boardParams;
    v4.channelParams = standardChannel(v4.vmax, v4.imax, true);
    v4.channelParams.push_back(polarity(false));
    v.push_back(v4);

    BoardModel nim = model("N1470", "4 Ch 8KV 3mA NIM", 4, 8000, 3000, 1, 8);
    nim.boardParams = {statusWord("BdStatus", PBdStatus),
                       onoff("ClrAlarm", WriteOnly, "On", "Off", 0)};
    nim.channelParams = standardChannel(nim.vmax, nim.imax, false);
    nim.channelParams.push_back(enumeration("ImonRange", ReadWrite, 0, {"High", "Low"}, 0));
    nim.channelParams.push_back(polarity(true));
    v.push_back(nim);

    BoardModel dk = model("D3104", "4 Ch 6KV 20uA", 4, 6000, 20, 1, 1);
    dk.boardParams = {statusWord("BdStatus", PBdStatus)};
    dk.channelParams = standardChannel(dk.vmax, dk.imax, false);
    v.push_back(dk);

    BoardModel dke = model("D3108E", "8 Ch 1.5KV 500uA", 8, 1500, 500, 1, 3);
    dke.boardParams = {statusWord("BdStatus", PBdStatus),
                       numeric("Temp", ReadOnly, -20, 120, UCelsius, 0, 0, 29)};
    dke.channelParams = standardChannel(dke.vmax, dke.imax, false);
    dke.channelParams.push_back(enumeration("ImonRange", ReadWrite, 0, {"High", "Low"}, 0));
    v.push_back(dke);

    BoardModel br = model("B5600", "4 Ch 3KV 3mA", 4, 3000, 3000, 2, 0);
    br.boardParams = {statusWord("BdStatus", PBdStatus),
                      numeric("Temp", ReadOnly, -20, 120, UCelsius, 0, 0, 30)};
    br.channelParams = standardChannel(br.vmax, br.imax, false);
    v.push_back(br);

    BoardModel box = model("S2104", "4 Ch 1KV 10mA Box", 4, 1000, 10000, 1, 0);
    box.boardParams = br.boardParams;
    box.channelParams = standardChannel(box.vmax, box.imax, false);
    v.push_back(box);

    BoardModel px = model("P7200", "8 Ch 2.5KV 2mA", 8, 2500, 2000, 1, 6);
    px.boardParams = {statusWord("BdStatus", PBdStatus)};
    px.channelParams = standardChannel(px.vmax, px.imax, false);
    v.push_back(px);

    return v;
}

SysPropDef sp(const char *name, int type, int mode, double initial, const char *text = "")
{
    SysPropDef d;
    d.name = name;
    d.type = type;
    d.mode = mode;
    d.initial = initial;
    d.text = text;
    return d;
}

SysPropDef spr(const char *name, int type, int mode, double initial, double lo, double hi)
{
    SysPropDef d = sp(name, type, mode, initial);
    d.hasRange = true;
    d.minval = lo;
    d.maxval = hi;
    return d;
}

std::vector<SysPropDef> mainframeProps(bool b8181)
{
    std::vector<SysPropDef> v = {
        sp("Sessions", SText, ReadOnly, 0),
        sp("ModelName", SText, ReadOnly, 0),
        sp("SwRelease", SText, ReadOnly, 0, b8181 ? "1.10.2" : "3.02.01"),
        sp("FwRelease", SText, ReadOnly, 0, b8181 ? "1.10" : "2.2.4"),
        sp("HwRelease", SText, ReadOnly, 0, "1.1"),
        sp("SerialNumber", SText, ReadOnly, 0, b8181 ? "81810042" : "33000042"),
        sp("IPAddr", SText, ReadWrite, 0),
        sp("IPNetMsk", SText, ReadWrite, 0, "255.255.255.0"),
        sp("IPGw", SText, ReadWrite, 0, "192.0.2.1"),
        sp("CPULoad", SText, ReadOnly, 0, "0.21:0.15:0.09"),
        sp("MemoryStatus", SText, ReadOnly, 0, "262144 kB:180224 kB:81920 kB:4096 kB"),
        sp("CmdQueueStatus", SText, ReadOnly, 0, "0 of 32 pending"),
        spr("HVFanSpeed", SUInt2, ReadWrite, 1, 0, 2),
        spr("LowFanEnable", SBool, ReadWrite, 0, 0, 1),
        sp("FanStat", SUInt2, ReadOnly, 0),
        sp("FrontPanIn", SUInt2, ReadOnly, 0),
        sp("FrontPanOut", SUInt2, ReadOnly, 0),
        sp("HvPwSM", SText, ReadOnly, 0, "Ok"),
        sp("PWVoltage", SReal, ReadOnly, 48.2),
        sp("PWCurrent", SReal, ReadOnly, 3.1),
    };
    if (b8181) {
        v.insert(v.begin() + 6, sp("Logic", SText, ReadOnly, 0, "2.1"));
        v.push_back(sp("ACDCStatus", SUInt2, ReadOnly, 0));
        v.push_back(spr("ACDCPwr", SBool, ReadWrite, 1, 0, 1));
        v.push_back(spr("ACDCIlim", SUInt2, ReadWrite, 1, 0, 3));
        v.push_back(spr("HighFreq", SUInt4, ReadWrite, 50000, 1000, 200000));
        v.push_back(spr("LowFreq", SUInt4, ReadWrite, 10000, 100, 100000));
        v.push_back(spr("RstPeriod", SUInt4, ReadWrite, 100, 1, 1000000));
        v.push_back(spr("RecPeriod", SUInt4, ReadWrite, 200, 1, 1000000));
        v.push_back(spr("RstRecFlag", SUInt2, ReadWrite, 0, 0, 0x3F3F));
        v.push_back(sp("EventDataSocket", SInt4, ReadOnly, -1));
    } else {
        // whole 16-bit registers: the panel's dialogs show only bits 0..5
        v.push_back(sp("GenSignCfg", SUInt2, ReadWrite, 0));
        v.push_back(sp("ResFlagCfg", SUInt2, ReadWrite, 0));
    }
    v.push_back(sp("DummyReg", SUInt2, ReadWrite, 0));
    v.push_back(spr("CMDExecMode", SUInt2, ReadWrite, 0, 0, 1));
    return v;
}

std::vector<Family> makeFamilies()
{
    std::vector<Family> v;
    const std::vector<std::string> allCmds = {"Kill", "ClearAlarm", "GlobalOn", "GlobalOff"};

    Family mf;
    mf.type = 2;
    mf.name = "MF3300";
    mf.defaultSlots = 16;
    mf.bits = {0, 1, 2, 3, 9, -1};
    mf.commands = allCmds;
    mf.props = mainframeProps(false);
    v.push_back(mf);

    Family vme;
    vme.type = 5;
    vme.name = "VME HV";
    vme.bits = {0, 1, 2, 3, 8, -1};
    vme.props = {sp("ModelName", SText, ReadOnly, 0), sp("SwRelease", SText, ReadOnly, 0, "2.8")};
    v.push_back(vme);

    Family nim;
    nim.type = 6;
    nim.name = "NIM HV";
    nim.bits = {0, 1, 2, 3, 7, 11};
    nim.props = {sp("ModelName", SText, ReadOnly, 0), sp("SwRelease", SText, ReadOnly, 0, "1.08")};
    v.push_back(nim);

    Family dk;
    dk.type = 9;
    dk.name = "DK31XX";
    dk.bits = {0, 1, 2, 3, 3, -1};  // a trip shows as over-current (and "Ovc-Dwn" while falling)
    dk.commands = {"Kill", "ClearAlarm"};
    dk.props = {sp("ModelName", SText, ReadOnly, 0), sp("SwRelease", SText, ReadOnly, 0, "1.1")};
    v.push_back(dk);

    Family dke;
    dke.type = 11;
    dke.name = "DK31XXE";
    dke.bits = {0, 1, 2, 3, 7, 11};
    dke.commands = allCmds;
    dke.props = {sp("ModelName", SText, ReadOnly, 0), sp("SwRelease", SText, ReadOnly, 0, "1.3"),
                 sp("IPAddr", SText, ReadWrite, 0)};
    v.push_back(dke);

    Family br;
    br.type = 13;
    br.name = "BRISK HV";
    br.bits = {0, 1, 2, 3, 6, 10};
    br.commands = {"BdClr", "Kill", "GlobalOn", "GlobalOff"};
    br.props = {sp("ModelName", SText, ReadOnly, 0),
                sp("SwRelease", SText, ReadOnly, 0, "2.0"),
                sp("IPAddr", SText, ReadWrite, 0),
                sp("HvPwSM", SText, ReadOnly, 0, "Ok"),
                sp("PWVoltage", SReal, ReadOnly, 48.0),
                sp("PWCurrent", SReal, ReadOnly, 1.2),
                sp("FrontPan", SUInt2, ReadOnly, 0),
                sp("OutputLevel", SUInt2, ReadOnly, 0),
                sp("ACDCStatus", SUInt2, ReadOnly, 0),
                spr("ACDCPwr", SBool, ReadWrite, 1, 0, 1)};
    v.push_back(br);

    Family px;
    px.type = 14;
    px.name = "PLEX";
    px.bits = {0, 1, 2, 3, 9, -1};
    px.commands = allCmds;
    px.props = {sp("Sessions", SText, ReadOnly, 0), sp("ModelName", SText, ReadOnly, 0),
                sp("SwRelease", SText, ReadOnly, 0, "1.6"), sp("IPAddr", SText, ReadWrite, 0)};
    v.push_back(px);

    Family b;
    b.type = 16;
    b.name = "B8181";
    b.defaultSlots = 50;
    b.bits = {0, 1, 2, 3, 9, -1};
    b.commands = allCmds;
    b.props = mainframeProps(true);
    v.push_back(b);
    return v;
}

} // namespace

const std::vector<BoardModel> &builtinModels()
{
    static const std::vector<BoardModel> models = makeModels();
    return models;
}

const Family *familyOf(int systemType)
{
    static const std::vector<Family> families = makeFamilies();
    if (systemType == 3)
        systemType = 2;
    for (const Family &f : families)
        if (f.type == systemType)
            return &f;
    return nullptr;
}

int paramIndex(const std::vector<ParamDef> &defs, const std::string &name)
{
    for (size_t i = 0; i < defs.size(); ++i)
        if (defs[i].name == name)
            return int(i);
    return -1;
}

SysProp *findProp(System &sys, const std::string &name)
{
    for (SysProp &p : sys.props)
        if (p.def.name == name)
            return &p;
    return nullptr;
}

bool equalsNoCase(const std::string &a, const std::string &b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

bool opensSystem(const System &s, const std::string &argument)
{
    return equalsNoCase(s.argument, argument) ||
           (!s.loopbackAddress.empty() && equalsNoCase(s.loopbackAddress, argument));
}

const BoardModel *World::model(const std::string &name) const
{
    for (const BoardModel &m : models)
        if (m.name == name)
            return &m;
    return nullptr;
}

std::unique_ptr<Board> makeBoard(const BoardModel &model, int slot, uint32_t serial)
{
    auto b = std::make_unique<Board>();
    b->slot = slot;
    b->model = model;
    b->serial = serial;
    b->fwMajor = model.fwMajor;
    b->fwMinor = model.fwMinor;
    for (const ParamDef &d : model.boardParams)
        b->values.push_back(d.initial);
    b->texts.resize(model.boardParams.size());
    b->channels.resize(size_t(model.channels));
    for (int c = 0; c < model.channels; ++c) {
        Channel &ch = b->channels[size_t(c)];
        char name[16];
        std::snprintf(name, sizeof name, "CH%02d", c);
        ch.name = name;
        for (const ParamDef &d : model.channelParams)
            ch.values.push_back(d.initial);
    }
    return b;
}

void initSystemProps(System &sys)
{
    const Family *f = familyOf(sys.type);
    sys.props.clear();
    if (!f)
        return;
    for (const SysPropDef &d : f->props) {
        SysProp p;
        p.def = d;
        p.num = d.initial;
        p.text = d.text;
        if (d.name == "ModelName")
            p.text = (f->type == 2 && (sys.slotCount == 6 || sys.slotCount == 4)) ? "MF3500" : f->name;
        if (d.name == "IPAddr") {
            // The address part of the argument ("192.0.2.40_1" -> "192.0.2.40").
            std::string a = sys.argument;
            size_t us = a.find('_');
            p.text = a.substr(0, us);
        }
        sys.props.push_back(p);
    }
}

} // namespace vhw
