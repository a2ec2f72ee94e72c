#ifndef SNAPSHOTCAPTURE_H
#define SNAPSHOTCAPTURE_H

// Taking a snapshot of connected systems, and finding a snapshot's items in
// the live device trees. Values are read from the devices at that moment,
// not taken from the tree, so a snapshot holds what the hardware has even
// where an event was missed. GUI thread only (library calls).

#include "snapshot/Snapshot.h"

#include <QList>

class ORVEHVNode;

namespace snapshot {

SystemKey keyOf(const ORVEHVNode *systemNode);

// A writable parameter that belongs in a snapshot. The network settings of
// a mainframe are how the program reaches it, not a setpoint: left out.
bool isSetpoint(const ORVEHVNode *parameter);

// The boards a system node owns: for a VME HV crate entry the boards joined
// from other connections are theirs (other handle), not this one's.
QList<ORVEHVNode *> ownBoards(const ORVEHVNode *systemNode);

SystemRecord captureSystem(const ORVEHVNode *systemNode);
Snapshot capture(const QList<ORVEHVNode *> &systemNodes, const QString &comment,
                 const QDateTime &when = QDateTime::currentDateTime());

// Live lookups; null when the system, board, channel or parameter is not there.
ORVEHVNode *findLiveSystem(const QList<ORVEHVNode *> &systemNodes, const SystemKey &key);
ORVEHVNode *findLiveBoard(const ORVEHVNode *systemNode, int slot);
ORVEHVNode *findLiveParameter(const ORVEHVNode *systemNode, const ItemAddress &address);

} // namespace snapshot

#endif
