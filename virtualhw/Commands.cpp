// What a system does after one of its system properties was written. The
// command calls themselves ("Kill", "GlobalOn", ...) live in Engine::command.

#include "virtualhw/Engine.h"
#include "virtualhw/StatusFaults.h"

namespace vhw {

namespace {

// Switching the 48 V supply of the crate off: every channel loses its output
// at once, without a ramp, and reads as off.
void dropOutputs(Engine &e, System &s)
{
    for (auto &bp : s.slots) {
        if (!bp)
            continue;
        Board &b = *bp;
        const int pw = paramIndex(b.model.channelParams, "Pw");
        const int vmon = paramIndex(b.model.channelParams, "VMon");
        const int imon = paramIndex(b.model.channelParams, "IMon");
        for (size_t c = 0; c < b.channels.size(); ++c) {
            Channel &ch = b.channels[c];
            for (int idx : {pw, vmon, imon}) {
                if (idx < 0 || ch.values[size_t(idx)] == 0)
                    continue;
                ch.values[size_t(idx)] = 0;
                e.emitValue(s, b.slot, int(c), b.model.channelParams[size_t(idx)].name);
            }
            ch.tripping = false;
            e.settleChannel(s, b, int(c), 0);
        }
    }
}

void setReadout(Engine &e, System &s, const char *name, double num, const std::string &text)
{
    SysProp *p = findProp(s, name);
    if (!p || (p->num == num && p->text == text))
        return;
    p->num = num;
    p->text = text;
    e.emitValue(s, -1, -1, name);
}

// The supply read-outs: nothing delivered while it is off, the crate's
// nominal figures once it is back.
void showSupply(Engine &e, System &s, bool off)
{
    const SysProp *state = findProp(s, "HvPwSM");
    if (!off && !(state && state->text == "Off"))
        return; // on, and never shown off: the read-outs stay as they are
    for (const char *name : {"HvPwSM", "PWVoltage", "PWCurrent"})
        if (const SysProp *p = findProp(s, name))
            setReadout(e, s, name, off ? 0 : p->def.initial,
                       std::string(name) == "HvPwSM" ? (off ? "Off" : p->def.text) : std::string());
}

} // namespace

void Engine::sysPropWritten(System &s, const std::string &name)
{
    if (name != "ACDCPwr")
        return;
    const bool off = hvSupplyOff(s);
    if (off)
        dropOutputs(*this, s);
    showSupply(*this, s, off);
    // Every channel and board word shows (or no longer shows) the power fail.
    for (auto &bp : s.slots)
        if (bp)
            for (size_t c = 0; c < bp->channels.size(); ++c)
                settleChannel(s, *bp, int(c), 0);
}

} // namespace vhw
