#ifndef RESTOREVERIFY_H
#define RESTOREVERIFY_H

// After a restore and its ramps: are the devices where the snapshot says?
// Every written item is read back and compared, and every channel the
// restore touched is checked by its readbacks: Pw against the On bit of its
// status word, and VMon against VSet (0 V when off) within a tolerance the
// operator sets.

#include "snapshot/RestoreRun.h"

namespace snapshot {

struct Mismatch
{
    ItemAddress address;
    QString systemName;
    QString text;  // what does not match, for the operator
};

QVector<Mismatch> verifyRestore(const RestoreReport &report, const QList<ORVEHVNode *> &liveSystems,
                                double voltageTolerance);

// Seconds the slowest ramp of a plan takes, from the voltages on the
// devices when it was planned and the ramp rates of the snapshot.
double rampSeconds(const RestorePlan &plan);

} // namespace snapshot

#endif
