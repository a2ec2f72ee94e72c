#ifndef SNAPSHOT_H
#define SNAPSHOT_H

// A setpoint snapshot: the writable values of one or more systems at one
// moment, with the identity of what was measured (system, and per slot the
// board model and serial number) and the readbacks of every channel, which
// are recorded for comparison but never written back.

#include <QDateTime>
#include <QList>
#include <QString>
#include <QVariant>
#include <QVector>

namespace snapshot {

// Version of the file layout written by SnapshotJson; files of a later
// version are refused.
constexpr int SchemaVersion = 1;

// One writable value: a number, an on/off (bool) or a text.
struct Setpoint
{
    QString name;
    QVariant value;
};
using Setpoints = QVector<Setpoint>;

const Setpoint *findSetpoint(const Setpoints &list, const QString &name);

struct Readback
{
    bool valid = false;
    double vmon = 0;
    double imon = 0;
    qint64 status = 0;
};

struct ChannelRecord
{
    int channel = 0;
    Setpoints setpoints;
    Readback readback;
};

struct BoardRecord
{
    int slot = 0;
    QString model;
    quint32 serial = 0;
    Setpoints setpoints;
    QVector<ChannelRecord> channels;

    const ChannelRecord *findChannel(int channel) const;
    // "A1520 #1001"
    QString identityText() const;
};

// What identifies a system across connections: type, link and argument.
struct SystemKey
{
    int systemType = -1;
    int linkType = -1;
    QString argument;
    bool operator==(const SystemKey &o) const
    {
        return systemType == o.systemType && linkType == o.linkType
               && argument.compare(o.argument, Qt::CaseInsensitive) == 0;
    }
    bool operator!=(const SystemKey &o) const { return !(*this == o); }
};

struct SystemRecord
{
    QString name;
    SystemKey key;
    int slotCount = 0;
    Setpoints setpoints;
    QVector<BoardRecord> boards;
    // Writable items that could not be read when the snapshot was taken.
    int unreadable = 0;

    const BoardRecord *findBoard(int slot) const;
};

struct Snapshot
{
    QString id;           // unique, also the stored file's base name
    QDateTime taken;
    QString comment;
    QVector<SystemRecord> systems;

    const SystemRecord *findSystem(const SystemKey &key) const;
    // Setpoints of every system, board and channel.
    int setpointCount() const;
    int channelCount() const;
};

// Address of one setpoint inside a snapshot: channel -1 for a board
// parameter, slot -1 for a system parameter.
struct ItemAddress
{
    SystemKey system;
    int slot = -1;
    int channel = -1;
    QString parameter;
    bool operator==(const ItemAddress &o) const
    {
        return system == o.system && slot == o.slot && channel == o.channel && parameter == o.parameter;
    }
};
// A text that identifies the address (selection sets, CSV).
QString addressKey(const ItemAddress &a);

// Equal as the device keeps them: numbers compared as the 32-bit floats the
// library exchanges, texts and on/off exactly.
bool sameValue(const QVariant &a, const QVariant &b);
// The value as the operator reads it in lists: numbers without needless
// digits, on/off as "On"/"Off", texts quoted.
QString valueText(const QVariant &v);
// A new unique id for a snapshot taken at `when`.
QString newSnapshotId(const QDateTime &when);

} // namespace snapshot

#endif
