#ifndef PUBLISHQUEUE_H
#define PUBLISHQUEUE_H

// The hand-over from the GUI thread to the publisher's thread. A value
// waiting for the broker is replaced by a newer one of the same item (only
// the newest is worth sending; the replaced one counts as dropped), so what
// waits is at most one value per item, and there are at most `itemLimit`
// items. Journal entries wait in order, at most `journalLimit` of them; past
// that the oldest goes and counts as dropped.
//
// push() and pushJournal() take one lock and one hash insertion, and wake
// nobody: the publisher comes for what waits at its own pace (a wake per
// value would cost the GUI thread a system call and a thread switch).

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QVariant>
#include <QVector>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>

struct OutgoingValue
{
    QByteArray topic;
    QByteArray unit;  // the unit as a JSON string, quotes included
    QVariant value;
    qint64 time = 0;  // ms since the epoch
};

class PublishQueue
{
public:
    explicit PublishQueue(int itemLimit = 1 << 18, int journalLimit = 10000);

    // The handle of the item with this topic, the same for the same topic;
    // -1 past the item limit (its values are then dropped).
    int item(const QByteArray &topic, const QString &unit);
    void push(int item, const QVariant &value, qint64 time);
    void pushJournal(const QByteArray &payload);

    // Moves up to `maxValues` waiting values (with their item) and every
    // waiting journal entry out, after waiting `waitMs` (or until wake()).
    void take(int maxValues, int waitMs, QVector<QPair<int, OutgoingValue>> *values, QList<QByteArray> *journal);
    // Ends the wait of a take() at once.
    void wake();

    qint64 droppedValues() const { return m_droppedValues.load(std::memory_order_relaxed); }
    qint64 droppedJournal() const { return m_droppedJournal.load(std::memory_order_relaxed); }
    int waitingValues() const;

private:
    struct Item { QByteArray topic; QByteArray unit; };
    struct Waiting { QVariant value; qint64 time = 0; };

    const int m_itemLimit;
    const int m_journalLimit;
    mutable std::mutex m_mutex;
    std::condition_variable m_ready;
    QHash<QByteArray, int> m_handles;
    QVector<Item> m_items;
    QHash<int, Waiting> m_waiting;
    std::deque<QByteArray> m_journal;
    bool m_woken = false;
    std::atomic<qint64> m_droppedValues{0};
    std::atomic<qint64> m_droppedJournal{0};
};

#endif
