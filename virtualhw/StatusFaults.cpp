// Fault conditions of the virtual hardware: which status bit a family uses
// for each condition, raising and clearing them, and the event status words.
#include "virtualhw/StatusFaults.h"

#include "virtualhw/Engine.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace vhw {

namespace {

using CF = ChannelFault;
using BF = BoardFault;

template <typename F>
using BitMap = std::vector<std::pair<F, int>>;

// Channel status bits by family (On, Up and Down come from the channel itself).
const BitMap<CF> &channelMap(int systemType)
{
    static const BitMap<CF> mainframe = {
        {CF::OverCurrent, 3},  {CF::OverVoltage, 4},     {CF::UnderVoltage, 5},
        {CF::ExternalTrip, 6}, {CF::HVMax, 7},           {CF::ExternalDisable, 8},
        {CF::Tripped, 9},      {CF::CalibrationError, 10}, {CF::Unplugged, 11},
        {CF::UnderCurrent, 12}, {CF::OverVoltageProtection, 13}, {CF::PowerFail, 14},
        {CF::TemperatureError, 15}};
    static const BitMap<CF> vme = {
        {CF::OverCurrent, 3}, {CF::OverVoltage, 4}, {CF::UnderVoltage, 5},     {CF::HVMax, 6},
        {CF::IMax, 7},        {CF::Tripped, 8},     {CF::OverPower, 9},        {CF::OverTemperature, 10},
        {CF::ExternalDisable, 11}, {CF::Interlock, 12}, {CF::CalibrationError, 13}};
    static const BitMap<CF> nim = {
        {CF::OverCurrent, 3}, {CF::OverVoltage, 4},       {CF::UnderVoltage, 5},     {CF::HVMax, 6},
        {CF::Tripped, 7},     {CF::OverPower, 8},         {CF::OverTemperature, 9},  {CF::ExternalDisable, 10},
        {CF::Kill, 11},       {CF::Interlock, 12},        {CF::CalibrationError, 13}};
    static const BitMap<CF> desktop = {
        {CF::OverCurrent, 3},        {CF::OverVoltage, 4},       {CF::UnderVoltage, 5},
        {CF::HVMax, 6},              {CF::IMax, 7},              {CF::TemperatureWarning, 8},
        {CF::TemperatureError, 9},   {CF::ExternalDisable, 10},  {CF::CalibrationError, 11},
        {CF::Resetting, 12},         {CF::PowerFail, 14},        {CF::FanHigh, 15}};
    static const BitMap<CF> desktopNet = {
        {CF::OverCurrent, 3}, {CF::OverVoltage, 4},      {CF::UnderVoltage, 5},        {CF::HVMax, 6},
        {CF::Tripped, 7},     {CF::OverPower, 8},        {CF::TemperatureWarning, 9},  {CF::ExternalDisable, 10},
        {CF::Kill, 11},       {CF::Interlock, 12},       {CF::CalibrationError, 13}};
    static const BitMap<CF> brisk = {
        {CF::OverCurrent, 3},        {CF::OverVoltage, 4},       {CF::UnderVoltage, 5},
        {CF::Tripped, 6},            {CF::OverPower, 7},         {CF::TemperatureWarning, 8},
        {CF::OverTemperature, 9},    {CF::Kill, 10},             {CF::Interlock, 11},
        {CF::ExternalDisable, 12},   {CF::CommFail, 13},         {CF::Lock, 14},
        {CF::HVMax, 15},             {CF::CalibrationError, 16}};
    static const BitMap<CF> none;
    switch (systemType) {
    case ORVEHV_SYS_MF3300: case ORVEHV_SYS_MF3500: case ORVEHV_SYS_B8181: case ORVEHV_SYS_PLEX:
        return mainframe;
    case ORVEHV_SYS_VMEHV: return vme;
    case ORVEHV_SYS_NIMDT: return nim;
    case ORVEHV_SYS_DK31XX: return desktop;
    case ORVEHV_SYS_DK31XXE: return desktopNet;
    case ORVEHV_SYS_BRISK: return brisk;
    default: return none;
    }
}

// Board status bits by family. NIM units report channel alarms in bits 0-3
// by themselves; VME HV boards, DK31XX and PLEX units have no board faults.
const BitMap<BF> &boardMap(int systemType)
{
    static const BitMap<BF> mainframe = {{BF::PowerFail, 0},        {BF::FirmwareChecksum, 1},
                                         {BF::CalibrationError, 2}, {BF::TemperatureError, 3},
                                         {BF::UnderTemperature, 4}, {BF::OverTemperature, 5}};
    static const BitMap<BF> nim = {{BF::PowerFail, 4}, {BF::OverPower, 5}, {BF::ClockFail, 6}};
    static const BitMap<BF> desktopNet = {{BF::PowerFail, 0}, {BF::TemperatureError, 1}};
    static const BitMap<BF> brisk = {{BF::PowerFail, 0}, {BF::CalibrationError, 1}, {BF::Interlock, 2},
                                     {BF::TemperatureError, 3}};
    static const BitMap<BF> none;
    switch (systemType) {
    case ORVEHV_SYS_MF3300: case ORVEHV_SYS_MF3500: case ORVEHV_SYS_B8181: return mainframe;
    case ORVEHV_SYS_NIMDT: return nim;
    case ORVEHV_SYS_DK31XXE: return desktopNet;
    case ORVEHV_SYS_BRISK: return brisk;
    default: return none;
    }
}

template <typename F>
int bitIn(const BitMap<F> &map, F f)
{
    for (const auto &e : map)
        if (e.first == f)
            return e.second;
    return -1;
}

Board *boardAt(System *s, int slot)
{
    if (!s || slot < 0 || size_t(slot) >= s->slots.size())
        return nullptr;
    return s->slots[size_t(slot)].get();
}

// Board words: 0 fine, 1 a channel in alarm, 2 a board fault. A slot without
// a board (or beyond the crate) carries none of these, so it lights nothing.
constexpr int32_t kNoBoard = -1;

} // namespace

bool switchOnInhibited(const System &s, const Channel &ch)
{
    if (hvSupplyOff(s))
        return true;
    for (CF f : {CF::Interlock, CF::ExternalDisable, CF::Kill}) {
        int bit = channelFaultBit(s.type, f);
        if (bit >= 0 && (ch.faultBits & (1 << bit)))
            return true;
    }
    return false;
}

bool hvSupplyOff(const System &s)
{
    for (const SysProp &p : s.props)
        if (p.def.name == "ACDCPwr")
            return p.num == 0;
    return false;
}

int supplyChannelBits(const System &s)
{
    const int bit = hvSupplyOff(s) ? channelFaultBit(s.type, CF::PowerFail) : -1;
    return bit >= 0 ? 1 << bit : 0;
}

int supplyBoardBits(const System &s)
{
    const int bit = hvSupplyOff(s) ? boardFaultBit(s.type, BF::PowerFail) : -1;
    return bit >= 0 ? 1 << bit : 0;
}

ORVEHV_SYSTEMSTATUS_t eventStatusOf(const System &s)
{
    ORVEHV_SYSTEMSTATUS_t st{};
    int worst = 0;
    for (size_t i = 0; i < ORVEHV_MAX_BOARDS; ++i) {
        const Board *b = i < s.slots.size() ? s.slots[i].get() : nullptr;
        if (!b) {
            st.Board[i] = kNoBoard;
            continue;
        }
        int w = b->faultBits ? 2 : 0;
        for (const Channel &c : b->channels)
            if (w == 0 && (c.tripped || c.killed || c.faultBits))
                w = 1;
        st.Board[i] = w;
        worst = std::max(worst, w);
    }
    // The system word: 2 while it serves nothing (transparent mode), else a
    // warning as long as any board reports a problem.
    st.System = s.transparent ? 2 : (worst ? 1 : 0);
    return st;
}

// ---------------------------------------------------------------- control

int channelFaultBit(int systemType, ChannelFault f)
{
    return bitIn(channelMap(systemType), f);
}

int boardFaultBit(int systemType, BoardFault f)
{
    return bitIn(boardMap(systemType), f);
}

int setChannelFault(int sys, int slot, int channel, ChannelFault f, bool raised)
{
    Engine &e = Engine::get();
    std::lock_guard<std::mutex> lk(e.mu);
    System *s = e.byId(sys);
    if (!s)
        return ORVEHV_ERR_UNKNOWN_SYSTEM;
    Board *b = boardAt(s, slot);
    if (!b || channel < 0 || size_t(channel) >= b->channels.size())
        return ORVEHV_ERR_UNKNOWN_PARAM;
    const int bit = channelFaultBit(s->type, f);
    if (bit < 0)
        return ORVEHV_ERR_UNSUPPORTED;
    Channel &ch = b->channels[size_t(channel)];
    if (raised)
        ch.faultBits |= 1 << bit;
    else
        ch.faultBits &= ~(1 << bit);
    // An interlock, an external disable or a kill switches the output off.
    const int pw = paramIndex(b->model.channelParams, "Pw");
    if (raised && pw >= 0 && switchOnInhibited(*s, ch) && ch.values[size_t(pw)] != 0)
        e.channelWritten(*s, *b, channel, pw, 0);
    e.settleChannel(*s, *b, channel, 0);
    return ORVEHV_OK;
}

int setBoardFault(int sys, int slot, BoardFault f, bool raised)
{
    Engine &e = Engine::get();
    std::lock_guard<std::mutex> lk(e.mu);
    System *s = e.byId(sys);
    if (!s)
        return ORVEHV_ERR_UNKNOWN_SYSTEM;
    Board *b = boardAt(s, slot);
    if (!b)
        return ORVEHV_ERR_UNKNOWN_PARAM;
    const int bit = boardFaultBit(s->type, f);
    if (bit < 0)
        return ORVEHV_ERR_UNSUPPORTED;
    if (raised)
        b->faultBits |= 1 << bit;
    else
        b->faultBits &= ~(1 << bit);
    e.refreshBoardStatus(*s, *b);
    return ORVEHV_OK;
}

int leaveTransparentMode(int sys)
{
    Engine &e = Engine::get();
    std::lock_guard<std::mutex> lk(e.mu);
    System *s = e.byId(sys);
    if (!s)
        return ORVEHV_ERR_UNKNOWN_SYSTEM;
    if (!s->transparent)
        return ORVEHV_OK;
    s->transparent = false;
    // Back in service, the unit announces its crate again: the program reads
    // the crate map anew and counts the system as connected.
    stream::Record r;
    r.type = ORVEHV_EVENT_LIVE_INSERT;
    r.handle = s->lastHandle;
    e.emitRecord(*s, r);
    return ORVEHV_OK;
}

} // namespace vhw
