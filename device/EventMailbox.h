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
// far behind the GUI thread is (the value log takes every value in arrival
// order on the event-data thread, LogFeed.h). Each record is stamped with
// the arrival time of its batch. A live insertion, transparent mode or
// disconnection is a barrier:
// nothing after it merges into a record before it. Event status words merge
// like values (only the newest lights the lamps).

#include <QByteArray>
#include <QHash>
#include <QMutex>
#include <QString>
#include <QVector>

#include "ORVEHVWrapper.h"
#include "device/EventItemKey.h"

struct EventRecord
{
    enum Kind { Value, LiveInsertion, Transparent, Status, Disconnected };

    Kind kind = Value;
    bool isFirstEv = false;
    bool isLastEv = false;
    int board = -1;          // Disconnected: the error code
    int channel = -1;
    QString name;
    QByteArray value;        // Value: the value area as far as any type reads it;
                             // Status: the ORVEHV_SYSTEMSTATUS_t bytes
    qint64 batchTime = 0;    // ms since the epoch: when the record's event batch arrived

    // The record as the library delivered it, carrying `value` in its
    // NUL-padded value area.
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
                  bool isLastEv);
    bool putStatus(const ORVEHV_SYSTEMSTATUS_t &status);
    bool putBarrier(EventRecord::Kind kind, bool isFirstEv = false, bool isLastEv = false, int code = 0);
    // The arrival time of the batch of the record put last (ms since the epoch).
    qint64 batchTimeOfPut() const;

    // --- GUI thread -------------------------------------------------------
    // The oldest waiting record. False when none waits: the mailbox is then
    // idle, and the next put asks for a notification again.
    bool take(EventRecord &out);
    // Waiting records (taken in one piece but not yet handed out included).
    int waiting() const;
    // When the event batch of the record last taken arrived (ms since the
    // epoch), for the value log; 0 once the mailbox ran empty (nothing is
    // being handed out).
    qint64 batchTimeOfTaken() const { return m_takenBatchTime; }

private:
    using Key = EventItemKey;

    bool putLocked(EventRecord &&record, const Key &key, bool merges);
    void stamp(EventRecord &record);  // caller holds m_mutex
    bool notify();                    // caller holds m_mutex

    mutable QMutex m_mutex;
    QVector<EventRecord> m_pending;   // under m_mutex
    QHash<Key, int> m_index;          // under m_mutex: item -> its waiting record
    bool m_notified = false;          // under m_mutex: a notification is out
    qint64 m_batchTime = 0;           // under m_mutex: arrival of the current event batch

    // GUI thread only: the records taken in one piece, handed out in order.
    QVector<EventRecord> m_inHand;
    int m_next = 0;
    qint64 m_takenBatchTime = 0;
};

#endif
