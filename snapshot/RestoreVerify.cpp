#include "snapshot/RestoreVerify.h"

#include "device/ORVEHVNode.h"
#include "snapshot/SnapshotCapture.h"

#include <QHash>
#include <cmath>

namespace snapshot {

namespace {

const ChannelRecord *channelIn(const Snapshot &snap, const ItemAddress &a)
{
    const SystemRecord *s = snap.findSystem(a.system);
    const BoardRecord *b = s ? s->findBoard(a.slot) : nullptr;
    return b ? b->findChannel(a.channel) : nullptr;
}

const Setpoints *setpointsIn(const Snapshot &snap, const ItemAddress &a)
{
    const SystemRecord *s = snap.findSystem(a.system);
    if (!s || a.slot < 0)
        return s ? &s->setpoints : nullptr;
    const BoardRecord *b = s->findBoard(a.slot);
    if (!b || a.channel < 0)
        return b ? &b->setpoints : nullptr;
    const ChannelRecord *c = b->findChannel(a.channel);
    return c ? &c->setpoints : nullptr;
}

QVariant valueIn(const Snapshot &snap, const ItemAddress &a)
{
    const Setpoints *list = setpointsIn(snap, a);
    const Setpoint *p = list ? findSetpoint(*list, a.parameter) : nullptr;
    return p ? p->value : QVariant();
}

} // namespace

QVector<Mismatch> verifyRestore(const RestoreReport &report, const QList<ORVEHVNode *> &liveSystems,
                                double tolerance)
{
    QVector<Mismatch> out;
    QList<ORVEHVNode *> involved;
    for (const PlannedWrite &w : report.written)
        if (ORVEHVNode *n = findLiveSystem(liveSystems, w.address.system); n && !involved.contains(n))
            involved.append(n);
    const Snapshot now = capture(involved, QString());

    QHash<QString, PlannedWrite> channels;  // channelKey -> a write to it
    for (const PlannedWrite &w : report.written) {
        const QVariant live = valueIn(now, w.address);
        if (!sameValue(live, w.value))
            out.append({w.address, w.systemName,
                        QStringLiteral("%1 is %2, the snapshot has %3").arg(w.address.parameter, valueText(live), valueText(w.value))});
        if (w.address.channel >= 0)
            channels.insert(channelKey(w.address), w);
    }
    for (const PlannedWrite &w : std::as_const(channels)) {
        const ChannelRecord *c = channelIn(now, w.address);
        if (!c || !c->readback.valid)
            continue;
        const Setpoint *pw = findSetpoint(c->setpoints, QStringLiteral("Pw"));
        const Setpoint *vset = findSetpoint(c->setpoints, QStringLiteral("VSet"));
        if (!vset)
            vset = findSetpoint(c->setpoints, QStringLiteral("V0Set"));
        if (!pw)
            continue;
        ItemAddress at = w.address;
        const bool on = pw->value.toBool();
        const bool statusOn = (c->readback.status & 1) != 0;
        if (on != statusOn) {
            at.parameter = QStringLiteral("Status");
            out.append({at, w.systemName,
                        QStringLiteral("Pw is %1 but the status word says %2").arg(on ? QStringLiteral("On") : QStringLiteral("Off"),
                                                                                 statusOn ? QStringLiteral("on") : QStringLiteral("off"))});
        }
        const double expected = on && vset ? vset->value.toDouble() : 0.0;
        if (std::fabs(c->readback.vmon - expected) > tolerance) {
            at.parameter = QStringLiteral("VMon");
            out.append({at, w.systemName,
                        QStringLiteral("VMon is %1 V, expected %2 V within %3 V")
                            .arg(c->readback.vmon, 0, 'f', 1).arg(expected, 0, 'f', 1).arg(tolerance)});
        }
    }
    return out;
}

double rampSeconds(const RestorePlan &plan)
{
    double longest = 0;
    for (const PlannedWrite &w : plan.writes) {
        if (w.phase != Phase::Voltage && w.phase != Phase::PowerOn && w.phase != Phase::PowerOff)
            continue;
        const ChannelRecord *c = channelIn(plan.source, w.address);
        if (!c)
            continue;
        const Setpoint *up = findSetpoint(c->setpoints, QStringLiteral("RUp"));
        const Setpoint *down = findSetpoint(c->setpoints, QStringLiteral("RDwn"));
        const double rate = qMax(1.0, qMin(up ? up->value.toDouble() : 1.0, down ? down->value.toDouble() : 1.0));
        const Setpoint *vset = findSetpoint(c->setpoints, QStringLiteral("VSet"));
        const double swing = qMax(std::fabs(vset ? vset->value.toDouble() : 0.0),
                                  w.phase == Phase::Voltage ? std::fabs(w.live.toDouble()) : 0.0);
        longest = qMax(longest, swing / rate);
    }
    return longest;
}

} // namespace snapshot
