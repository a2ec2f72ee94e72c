#include "snapshot/RestorePlan.h"

#include "device/ORVEHVNode.h"
#include "snapshot/SnapshotCapture.h"

#include <QHash>
#include <algorithm>

namespace snapshot {

namespace {

const QString Pw = QStringLiteral("Pw");

bool isVoltage(const QString &name)
{
    return name == QLatin1String("VSet") || name == QLatin1String("V0Set") || name == QLatin1String("V1Set");
}

struct Planner
{
    const RestoreSelection &selection;
    RestorePlan plan;

    bool wanted(const ItemAddress &a, const QVariant &value, const QVariant &live) const
    {
        switch (selection.mode) {
        case RestoreSelection::All:
            return true;
        case RestoreSelection::Differing:
            return !live.isValid() || !sameValue(value, live);
        case RestoreSelection::Picked:
            return selection.picked.contains(addressKey(a));
        }
        return false;
    }

    void refuse(const ItemAddress &a, const QString &systemName, int count, const QString &reason,
                const QVariant &value = QVariant())
    {
        if (count > 0)
            plan.refused.append({a, systemName, value, count, 0, reason});
    }

    // Items of a list the selection wants, written or refused as one.
    int countWanted(const SystemRecord &s, int slot, int channel, const Setpoints &list, const Setpoints *live)
    {
        int n = 0;
        for (const Setpoint &p : list) {
            const Setpoint *l = live ? findSetpoint(*live, p.name) : nullptr;
            n += wanted({s.key, slot, channel, p.name}, p.value, l ? l->value : QVariant()) ? 1 : 0;
        }
        return n;
    }

    int countWanted(const SystemRecord &s, const BoardRecord &b)
    {
        int n = countWanted(s, b.slot, -1, b.setpoints, nullptr);
        for (const ChannelRecord &c : b.channels)
            n += countWanted(s, b.slot, c.channel, c.setpoints, nullptr);
        return n;
    }

    void items(const SystemRecord &s, const ORVEHVNode *liveSystem, int slot, int channel, const Setpoints &list,
               const Setpoints *live)
    {
        for (const Setpoint &p : list) {
            const ItemAddress a{s.key, slot, channel, p.name};
            const Setpoint *l = live ? findSetpoint(*live, p.name) : nullptr;
            const QVariant liveValue = l ? l->value : QVariant();
            if (!wanted(a, p.value, liveValue))
                continue;
            const ORVEHVNode *node = findLiveParameter(liveSystem, a);
            if (!node) {
                refuse(a, s.name, 1, QStringLiteral("the system has no such item now"), p.value);
                continue;
            }
            if (!isSetpoint(node)) {
                refuse(a, s.name, 1, QStringLiteral("the item cannot be written on this system"), p.value);
                continue;
            }
            plan.writes.append({a, s.name, p.value, liveValue, phaseOf(a, p.value)});
        }
    }

    void system(const SystemRecord &s, const ORVEHVNode *liveSystem)
    {
        const SystemRecord live = captureSystem(liveSystem);
        // the live voltage and Pw of every channel, for the switch-on checks
        for (const BoardRecord &b : live.boards)
            for (const ChannelRecord &c : b.channels)
                for (const Setpoint &sp : c.setpoints)
                    if (isVoltage(sp.name) || sp.name == Pw)
                        liveVoltages.insert(channelKey({s.key, b.slot, c.channel, QString()}) + QLatin1Char('|') + sp.name,
                                            sp.value);
        items(s, liveSystem, -1, -1, s.setpoints, &live.setpoints);
        for (const BoardRecord &b : s.boards) {
            const ItemAddress boardAddress{s.key, b.slot, -1, QString()};
            const BoardRecord *liveBoard = live.findBoard(b.slot);
            if (!liveBoard || !findLiveBoard(liveSystem, b.slot)) {
                refuse(boardAddress, s.name, countWanted(s, b),
                       QStringLiteral("slot %1 is empty now (the snapshot has %2 there)").arg(b.slot).arg(b.identityText()));
                continue;
            }
            if ((liveBoard->model != b.model || liveBoard->serial != b.serial)
                && !selection.mappedBoards.contains(boardMapKey(s.key, b.slot))) {
                refuse(boardAddress, s.name, countWanted(s, b),
                       QStringLiteral("slot %1 holds %2, the snapshot was taken of %3; not written unless mapped")
                           .arg(b.slot).arg(liveBoard->identityText(), b.identityText()));
                if (!plan.refused.isEmpty() && plan.refused.last().address == boardAddress)
                    plan.refused.last().mappable = true;
                continue;
            }
            items(s, liveSystem, b.slot, -1, b.setpoints, &liveBoard->setpoints);
            for (const ChannelRecord &c : b.channels) {
                const ChannelRecord *lc = liveBoard->findChannel(c.channel);
                items(s, liveSystem, b.slot, c.channel, c.setpoints, lc ? &lc->setpoints : nullptr);
            }
        }
    }

    // A channel is not switched on while its voltage on the device differs
    // from the snapshot and is not part of this restore (a picked restore
    // that left the voltage out).
    void holdBackUnsafeSwitchOn()
    {
        QSet<QString> voltageWritten;
        for (const PlannedWrite &w : std::as_const(plan.writes))
            if (w.phase == Phase::Voltage)
                voltageWritten.insert(channelKey(w.address));
        const auto unsafe = [&](const PlannedWrite &w) {
            if (!isSwitchOn(w) || voltageWritten.contains(channelKey(w.address)))
                return false;
            const SystemRecord *s = plan.source.findSystem(w.address.system);
            const BoardRecord *b = s ? s->findBoard(w.address.slot) : nullptr;
            const ChannelRecord *c = b ? b->findChannel(w.address.channel) : nullptr;
            if (!c)
                return false;
            for (const Setpoint &p : c->setpoints)
                if (isVoltage(p.name) && !voltageStillEqual(w.address, p))
                    return true;
            return false;
        };
        for (int i = plan.writes.size() - 1; i >= 0; --i) {
            if (unsafe(plan.writes.at(i))) {
                const PlannedWrite w = plan.writes.takeAt(i);
                refuse(w.address, w.systemName, 1,
                       QStringLiteral("not switched on: its voltage differs from the snapshot and is not restored"),
                       w.value);
            }
        }
    }

    QHash<QString, QVariant> liveVoltages;  // channelKey + name -> live value
    bool voltageStillEqual(const ItemAddress &channel, const Setpoint &p) const
    {
        const QVariant live = liveVoltages.value(channelKey(channel) + QLatin1Char('|') + p.name);
        return live.isValid() && sameValue(live, p.value);
    }
};

} // namespace

Phase phaseOf(const ItemAddress &a, const QVariant &value)
{
    const QString &n = a.parameter;
    if (a.channel >= 0 && n == Pw)
        return value.toBool() ? Phase::PowerOn : Phase::PowerOff;
    if (a.channel >= 0 && isVoltage(n))
        return Phase::Voltage;
    if (n == QLatin1String("RUp") || n == QLatin1String("RDwn") || n.startsWith(QLatin1String("Ramp")))
        return Phase::Ramps;
    if (n.startsWith(QLatin1String("Trip")) || n == QLatin1String("PDwn"))
        return Phase::Trips;
    if (n == QLatin1String("Name"))
        return Phase::Names;
    if (n.contains(QLatin1String("Max")) || n.endsWith(QLatin1String("Set")) || n.endsWith(QLatin1String("Lim")))
        return Phase::Limits;
    return Phase::Settings;
}

QString phaseText(Phase phase)
{
    switch (phase) {
    case Phase::Limits: return QStringLiteral("limits");
    case Phase::Ramps: return QStringLiteral("ramps");
    case Phase::Trips: return QStringLiteral("trip settings");
    case Phase::Names: return QStringLiteral("names");
    case Phase::Settings: return QStringLiteral("settings");
    case Phase::Voltage: return QStringLiteral("voltages");
    case Phase::PowerOff: return QStringLiteral("Pw off");
    case Phase::PowerOn: return QStringLiteral("Pw on");
    }
    return QString();
}

QString boardMapKey(const SystemKey &system, int slot)
{
    return addressKey({system, slot, -1, QString()});
}

QString channelKey(const ItemAddress &a)
{
    return addressKey({a.system, a.slot, a.channel, QString()});
}

bool isSwitchOn(const PlannedWrite &w)
{
    return w.phase == Phase::PowerOn;
}

RestorePlan planRestore(const Snapshot &snap, const QList<ORVEHVNode *> &liveSystems,
                        const RestoreSelection &selection)
{
    Planner p{selection, {}};
    p.plan.source = snap;
    for (const SystemRecord &s : snap.systems) {
        const ORVEHVNode *live = findLiveSystem(liveSystems, s.key);
        if (!live) {
            int n = p.countWanted(s, -1, -1, s.setpoints, nullptr);
            for (const BoardRecord &b : s.boards)
                n += p.countWanted(s, b);
            p.refuse({s.key, -1, -1, QString()}, s.name, n,
                     QStringLiteral("the system is not connected (type %1, link %2, %3)")
                         .arg(s.key.systemType).arg(s.key.linkType).arg(s.key.argument));
            continue;
        }
        p.system(s, live);
    }
    p.holdBackUnsafeSwitchOn();
    std::stable_sort(p.plan.writes.begin(), p.plan.writes.end(),
                     [](const PlannedWrite &a, const PlannedWrite &b) { return a.phase < b.phase; });
    for (const PlannedWrite &w : std::as_const(p.plan.writes)) {
        const QVariant livePw = p.liveVoltages.value(channelKey(w.address) + QLatin1Char('|') + Pw);
        if (w.phase == Phase::PowerOn && !(livePw.isValid() && livePw.toBool()))
            ++p.plan.switchOnCount;
        if (w.phase == Phase::PowerOff && !(livePw.isValid() && !livePw.toBool()))
            ++p.plan.switchOffCount;
    }
    return p.plan;
}

} // namespace snapshot
