#ifndef ARCHIVEQUEUE_H
#define ARCHIVEQUEUE_H

// The hand-over between the GUI thread and the archive writer. Pushing never
// waits for the writer: when the values reach the capacity, further values
// are kept as the newest per item only, and every value that is overwritten
// so is counted as lost. Items, journal entries and acknowledgements are few
// and always kept.

#include "history/HistoryTypes.h"

#include <QHash>
#include <QMutex>
#include <QVector>
#include <QWaitCondition>

#include <atomic>

struct NewItem
{
    int handle = 0;
    ItemKey key;
    QString label;
};

// What the writer takes in one go.
struct ArchiveBatch
{
    QVector<NewItem> items;
    QVector<Sample> samples;
    QVector<JournalEntry> journal;
    QVector<qint64> acknowledged;
    quint64 ticket = 0;  // flush requests up to this one are covered
    bool isEmpty() const
    {
        return items.isEmpty() && samples.isEmpty() && journal.isEmpty() && acknowledged.isEmpty();
    }
};

class ArchiveQueue
{
public:
    explicit ArchiveQueue(int capacity) : m_capacity(capacity) {}

    void push(const Sample &s);
    void push(const NewItem &item);
    void push(const JournalEntry &entry);
    void acknowledge(qint64 id);

    // A new flush ticket; the writer wakes at once.
    quint64 requestFlush();
    // Waits at most `ms` or until a flush is requested or stop() called,
    // then takes everything queued.
    ArchiveBatch take(int ms);
    void stop();
    bool stopped() const;
    // The writer has stored (or, failed, dropped) what it took with this ticket.
    void markDone(quint64 ticket);
    // True when the ticket was done within `ms`.
    bool waitDone(quint64 ticket, int ms);

    qint64 lost() const { return m_lost.load(std::memory_order_relaxed); }
    int capacity() const { return m_capacity; }

private:
    mutable QMutex m_mutex;
    QWaitCondition m_wake;
    const int m_capacity;
    ArchiveBatch m_pending;
    QHash<int, Sample> m_overflow;  // newest per item once the values are full
    quint64 m_ticketRequested = 0;
    quint64 m_ticketDone = 0;
    QWaitCondition m_done;
    bool m_stop = false;
    std::atomic<qint64> m_lost{0};
};

#endif
