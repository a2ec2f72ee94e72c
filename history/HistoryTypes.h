#ifndef HISTORYTYPES_H
#define HISTORYTYPES_H

// The records of the history archive: which item a value belongs to, one
// stored value, and one journal entry. Times are milliseconds since the
// epoch (UTC) everywhere in history.

#include <QHash>
#include <QMetaType>
#include <QString>
#include <QVector>

// One archived item: a parameter of a system (board and channel -1), of a
// board (channel -1) or of a channel. Boards are addressed by slot.
// On a site's shared archive an item may belong to another station.
struct ItemKey
{
    QString system;
    int board = -1;
    int channel = -1;
    QString parameter;
    QString station;  // empty: this station
};

inline bool operator==(const ItemKey &a, const ItemKey &b)
{
    return a.board == b.board && a.channel == b.channel && a.parameter == b.parameter && a.system == b.system
           && a.station == b.station;
}
inline size_t qHash(const ItemKey &k, size_t seed = 0)
{
    return qHashMulti(seed, k.system, k.board, k.channel, k.parameter, k.station);
}

// One value as handed to the writer: `item` is the archive's handle.
struct Sample
{
    int item = 0;
    qint64 time = 0;
    double value = 0;
};

enum class JournalKind { Channel = 0, Board = 1, System = 2, Command = 3, Write = 4, Connection = 5 };
enum class JournalEvent { Raised = 0, Cleared = 1, Done = 2, Failed = 3, Lost = 4, Restored = 5 };

QString journalKindText(JournalKind kind);
QString journalEventText(JournalEvent event);
// Events the operator is asked to acknowledge: a condition raised, a
// command or write that failed, a connection lost.
bool isAlarm(JournalEvent event);

struct JournalEntry
{
    qint64 id = 0;  // given by the archive
    qint64 time = 0;
    QString system;
    int board = -1;  // slot
    int channel = -1;
    QString channelName;
    JournalKind kind = JournalKind::System;
    JournalEvent event = JournalEvent::Raised;
    QString text;
    bool acknowledged = false;
    QString station;  // empty: this station
};

Q_DECLARE_METATYPE(JournalEntry)

#endif
