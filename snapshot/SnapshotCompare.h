#ifndef SNAPSHOTCOMPARE_H
#define SNAPSHOTCOMPARE_H

// The items in which two snapshots differ (a stored one and one just taken
// of the live systems, or two stored ones). Only differences are listed;
// readbacks are carried along for context but never make a difference.

#include "snapshot/Snapshot.h"

#include <QVector>

namespace snapshot {

struct Difference
{
    ItemAddress address;   // parameter "System", "Board" or "Channel" for presence and identity
    QString systemName;
    QVariant before;       // in the first snapshot; invalid when not there
    QVariant after;        // in the second
    Readback beforeReadback, afterReadback;  // of the channel, when a channel item
};

QVector<Difference> compare(const Snapshot &first, const Snapshot &second);

// "Board03 Chan005" / "Board03" / "" for a system item.
QString placeText(const ItemAddress &address);
// "1000.2 V at 4.1 µA, status 0x1" or "-".
QString readbackText(const Readback &r);

} // namespace snapshot

#endif
