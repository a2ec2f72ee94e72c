#ifndef RESTOREPLAN_H
#define RESTOREPLAN_H

// What a restore of a snapshot will write, in a safe order, and what it
// will not write and why. Made against the live systems before anything is
// written, so the operator can read it first.
//
// Order: limits, ramps, trip settings, names and the remaining settings of
// every system, board and channel; then the voltages; then Pw off, then Pw
// on. So no channel comes on before its limits and its voltage are back.
// A board is only written when the slot still holds the board the snapshot
// was taken of (model and serial number read from the crate now), unless
// the operator maps the other board explicitly; a system that is not
// connected or a slot that is empty is reported, never guessed.

#include "snapshot/Snapshot.h"

#include <QList>
#include <QSet>
#include <QVector>

class ORVEHVNode;

namespace snapshot {

enum class Phase { Limits, Ramps, Trips, Names, Settings, Voltage, PowerOff, PowerOn };
Phase phaseOf(const ItemAddress &address, const QVariant &value);
QString phaseText(Phase phase);

struct PlannedWrite
{
    ItemAddress address;
    QString systemName;
    QVariant value;      // from the snapshot
    QVariant live;       // on the device when planned; invalid when unread
    Phase phase = Phase::Settings;
};

// An item (or, with count > 1, a board or system of items) not written.
struct ItemOutcome
{
    ItemAddress address;
    QString systemName;
    QVariant value;
    int count = 1;
    int code = 0;        // library result, 0 when not a library refusal
    QString reason;      // empty for a library refusal: the code tells
    bool mappable = false;  // a swapped board the operator may map to write it anyway
};

struct RestoreSelection
{
    enum Mode { All, Differing, Picked };
    Mode mode = All;
    QSet<QString> picked;        // addressKey() of the items, for Picked
    QSet<QString> mappedBoards;  // boardMapKey() of boards written although swapped
};
QString boardMapKey(const SystemKey &system, int slot);

struct RestorePlan
{
    Snapshot source;
    QVector<PlannedWrite> writes;  // in the order they go out
    QVector<ItemOutcome> refused;
    int switchOnCount = 0;   // channels off now that the restore switches on
    int switchOffCount = 0;  // channels on now that it switches off
};

RestorePlan planRestore(const Snapshot &snapshot, const QList<ORVEHVNode *> &liveSystems,
                        const RestoreSelection &selection);

// True when the write switches a channel on.
bool isSwitchOn(const PlannedWrite &write);
// The key of a channel (system, slot, channel) for grouping writes.
QString channelKey(const ItemAddress &address);

} // namespace snapshot

#endif
