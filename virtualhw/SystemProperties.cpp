// Drift of a mainframe's controller read-outs.
#include "virtualhw/SystemProperties.h"

#include "virtualhw/Engine.h"
#include "virtualhw/World.h"

#include <cmath>
#include <cstdio>

namespace vhw {

namespace {

// A slow wave in [0, 1) with its own period, so the three load averages move
// at different paces like real ones.
double wave(double t, double period, double phase)
{
    return 0.5 + 0.5 * std::sin(2.0 * M_PI * t / period + phase);
}

int channelsOn(const System &s)
{
    int n = 0;
    for (const auto &b : s.slots) {
        if (!b)
            continue;
        const int pw = paramIndex(b->model.channelParams, "Pw");
        if (pw < 0)
            continue;
        for (const Channel &ch : b->channels)
            if (ch.values[size_t(pw)] != 0)
                ++n;
    }
    return n;
}

void setText(Engine &engine, System &s, const char *name, const std::string &text)
{
    // Only while someone watches it: a value a test has set stays put.
    SysProp *p = findProp(s, name);
    if (!p || p->text == text || !engine.subscribed(s, -1, -1, name))
        return;
    p->text = text;
    engine.emitValue(s, -1, -1, name);
}

} // namespace

std::string cpuLoadText(double t, int on)
{
    const double base = 0.05 + 0.01 * on;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.2f:%.2f:%.2f", base + 0.30 * wave(t, 60, 0), base + 0.20 * wave(t, 300, 1),
                  base + 0.10 * wave(t, 900, 2));
    return buf;
}

std::string memoryStatusText(double t, int on)
{
    const long total = 262144;
    const long buffers = 4096 + long(512 * wave(t, 120, 0.5));
    const long used = 78000 + 16L * on + long(6000 * wave(t, 240, 1.5));
    char buf[96];
    std::snprintf(buf, sizeof buf, "%ld kB:%ld kB:%ld kB:%ld kB", total, total - used - buffers, used, buffers);
    return buf;
}

std::string cmdQueueText(double t, int openHandles)
{
    const int pending = int(std::floor(3 * wave(t, 20, 0))) * (openHandles > 0 ? 1 : 0);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%d of 32 pending", pending);
    return buf;
}

void driftSystemProperties(Engine &engine, System &s, double simTime, double dt)
{
    // Once per period: the step that crosses a multiple of it.
    if (std::floor(simTime / kPropertyDriftPeriod) == std::floor((simTime - dt) / kPropertyDriftPeriod))
        return;
    if (!findProp(s, "CPULoad"))
        return;
    const int on = channelsOn(s);
    setText(engine, s, "CPULoad", cpuLoadText(simTime, on));
    setText(engine, s, "MemoryStatus", memoryStatusText(simTime, on));
    setText(engine, s, "CmdQueueStatus", cmdQueueText(simTime, s.openHandles));
}

} // namespace vhw
