#ifndef EVENTMAILBOX_H
#define EVENTMAILBOX_H

// The reports of one system on their way from its event-data thread to the
// GUI thread. The thread puts records in; the GUI thread takes them out in
// order, as many as it has time for, and is told again only when the
// mailbox ran empty (one pending notification per system, never one per
// record).
//
// While a value waits, a newer value of the same item (board, channel,
// name) takes its place: the table only ever shows the newest, and the
// number of waiting records stays bounded by the number of items however
// far behind the GUI thread is. When the system's value log is on, the
// replaced values are kept with the record, in order, so that every update
// still reaches the log. A live insertion, transparent mode or
// disconnection is a barrier: nothing after it merges into a record before
// it. Event status words merge like values (only the newest lights the
// lamps).

#include <QByteArray>
#include <QHash>
#include <QMutex>
#include <QString>
#include <QVector>

#include "ORVEHVWrapper.h"

struct EventRecord
{
    enum Kind { Value, LiveInsertion, Transparent, Status, Disconnected };

    // A value this record replaced while it waited, for the value log.
    struct Earlier
    {
        QByteArray value;
        bool isFirstEv;
        bool isLastEv;
    };

    Kind kind = Value;
    bool isFirstEv = false;
    bool isLastEv = false;
    int board = -1;          // Disconnected: the error code
    int channel = -1;
    QString name;
    QByteArray value;        // Value: the value area as far as any type reads it;
                             // Status: the ORVEHV_SYSTEMSTATUS_t bytes
    QVector<Earlier> earlier;

    // The record as the library delivered it, carrying `value` (this
    // record's own or one it replaced) in its NUL-padded value area.
    IDValue_t toIDValue(const QByteArray &value) const;
    ORVEHV_SYSTEMSTATUS_t toStatus() const;
};

class EventMailbox
{
public:
    // --- event-data thread ----------------------------------------------
    // Each returns true when the GUI thread must be told (nothing was waiting
    // for it); the caller then posts one notification.
    bool putValue(int board, int channel, const QString &name, const IDValue_t &record, bool isFirstEv,
                  bool isLastEv, bool keepEarlier);
    bool putStatus(const ORVEHV_SYSTEMSTATUS_t &status);
    bool putBarrier(EventRecord::Kind kind, bool isFirstEv = false, bool isLastEv = false, int code = 0);

    // --- GUI thread -------------------------------------------------------
    // The oldest waiting record. False when none waits: the mailbox is then
    // idle, and the next put asks for a notification again.
    bool take(EventRecord &out);
    // Waiting records (taken in one piece but not yet handed out included).
    int waiting() const;

private:
    struct Key
    {
        int board;
        int channel;
        QString name;
        bool operator==(const Key &o) const
        {
            return board == o.board && channel == o.channel && name == o.name;
        }
    };
    friend size_t qHash(const Key &k, size_t seed) { return qHashMulti(seed, k.board, k.channel, k.name); }

    bool putLocked(EventRecord &&record, const Key &key, bool merges, bool keepEarlier);

    mutable QMutex m_mutex;
    QVector<EventRecord> m_pending;   // under m_mutex
    QHash<Key, int> m_index;          // under m_mutex: item -> its waiting record
    bool m_notified = false;          // under m_mutex: a notification is out

    // GUI thread only: the records taken in one piece, handed out in order.
    QVector<EventRecord> m_inHand;
    int m_next = 0;
};

#endif
