// What a system does after one of its system properties was written. The
// command calls themselves ("Kill", "GlobalOn", ...) live in Engine::command.

#include "virtualhw/Engine.h"

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

} // namespace

void Engine::sysPropWritten(System &s, const std::string &name)
{
    if (name != "ACDCPwr")
        return;
    const SysProp *p = findProp(s, name);
    if (p && p->num == 0)
        dropOutputs(*this, s);
}

} // namespace vhw
