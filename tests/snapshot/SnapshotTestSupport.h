#ifndef SNAPSHOTTESTSUPPORT_H
#define SNAPSHOTTESTSUPPORT_H

// The default world's 16-slot mainframe for the snapshot tests, and reading
// any snapshot item back from the device.

#include "../views/ViewsTestSupport.h"
#include "device/ParameterAccess.h"
#include "snapshot/SnapshotCapture.h"

#include <QtTest>

namespace snapshot_test {

using views_test::LiveSystem;

// Manual time, a fresh world, the mainframe discovered.
inline std::unique_ptr<LiveSystem> freshMainframe()
{
    vhw::setTimeMode(vhw::TimeMode::Manual);
    vhw::clearFaults();
    vhw::resetWorld();
    return views_test::mainframe();
}

// The value the device holds now for an item, as a snapshot records it.
inline QVariant deviceValue(const LiveSystem &sys, const snapshot::ItemAddress &a)
{
    const snapshot::SystemRecord now = snapshot::captureSystem(sys.node);
    const snapshot::Setpoints *list = &now.setpoints;
    if (a.slot >= 0) {
        const snapshot::BoardRecord *b = now.findBoard(a.slot);
        if (!b)
            return {};
        list = &b->setpoints;
        if (a.channel >= 0) {
            const snapshot::ChannelRecord *c = b->findChannel(a.channel);
            if (!c)
                return {};
            list = &c->setpoints;
        }
    }
    const snapshot::Setpoint *p = snapshot::findSetpoint(*list, a.parameter);
    return p ? p->value : QVariant();
}

struct Change
{
    int slot, channel;
    const char *name;
    QVariant value;
};

// Twenty changes across boards 0, 1 and 3, of every kind of setpoint, made
// the way an operator makes them (through the node).
inline QList<Change> twentyChanges()
{
    return {{0, 0, "VSet", 250.0},  {0, 1, "VSet", 300.5}, {0, 2, "ISet", 120.0}, {0, 3, "RUp", 20.0},
            {0, 4, "RDwn", 35.0},   {0, 5, "Trip", 2.5},   {0, 6, "Pw", false},   {0, 7, "Name", QStringLiteral("beamline")},
            {0, 8, "SVMax", 1500.0}, {0, 9, "PDwn", 0.0},  {1, 0, "VSet", 800.0}, {1, 1, "Pw", true},
            {1, 2, "ISet", 900.0},  {1, 3, "Name", QStringLiteral("target")}, {1, 4, "RUp", 100.0},
            {3, 0, "VSet", 1200.0}, {3, 1, "TripInt", 3.0}, {3, 2, "TripExt", 5.0}, {3, 3, "Trip", 7.5},
            {3, 4, "ISet", 15.0}};
}

inline void apply(LiveSystem &sys, const QList<Change> &changes)
{
    for (const Change &c : changes) {
        ORVEHVNode *p = sys.param(c.slot, c.channel, QString::fromLatin1(c.name));
        QVERIFY2(p, c.name);
        const QVariant v = c.value.typeId() == QMetaType::Bool ? QVariant(c.value.toBool() ? 1u : 0u) : c.value;
        QCOMPARE(p->writeValue(v), 0);
    }
}

} // namespace snapshot_test

#endif
