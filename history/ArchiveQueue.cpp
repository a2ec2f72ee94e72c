#include "history/ArchiveQueue.h"

#include "device/EventThreadSync.h"

#include <QDeadlineTimer>
#include <QMutexLocker>

void ArchiveQueue::push(const Sample &s)
{
    QMutexLocker lock(&m_mutex);
    if (m_pending.samples.size() < m_capacity) {
        m_pending.samples.append(s);
        return;
    }
    auto it = m_overflow.find(s.item);
    if (it == m_overflow.end()) {
        m_overflow.insert(s.item, s);
        return;
    }
    *it = s;
    m_lost.fetch_add(1, std::memory_order_relaxed);
}

void ArchiveQueue::push(const NewItem &item)
{
    QMutexLocker lock(&m_mutex);
    m_pending.items.append(item);
}

void ArchiveQueue::push(const JournalEntry &entry)
{
    QMutexLocker lock(&m_mutex);
    m_pending.journal.append(entry);
}

void ArchiveQueue::acknowledge(qint64 id)
{
    QMutexLocker lock(&m_mutex);
    m_pending.acknowledged.append(id);
}

quint64 ArchiveQueue::requestFlush()
{
    QMutexLocker lock(&m_mutex);
    const quint64 ticket = ++m_ticketRequested;
    m_wake.wakeAll();
    return ticket;
}

ArchiveBatch ArchiveQueue::take(int ms)
{
    QMutexLocker lock(&m_mutex);
    if (!m_stop && m_pending.ticket == m_ticketRequested)
        EventThreadSync::wait(m_wake, m_mutex, QDeadlineTimer(ms));
    ArchiveBatch out;
    std::swap(out, m_pending);
    // Values that overflowed are newer than any value kept before them.
    for (const Sample &s : std::as_const(m_overflow))
        out.samples.append(s);
    m_overflow.clear();
    out.ticket = m_ticketRequested;
    m_pending.ticket = m_ticketRequested;
    return out;
}

void ArchiveQueue::stop()
{
    QMutexLocker lock(&m_mutex);
    m_stop = true;
    m_wake.wakeAll();
    m_done.wakeAll();
}

bool ArchiveQueue::stopped() const
{
    QMutexLocker lock(&m_mutex);
    return m_stop;
}

void ArchiveQueue::markDone(quint64 ticket)
{
    QMutexLocker lock(&m_mutex);
    if (ticket > m_ticketDone)
        m_ticketDone = ticket;
    m_done.wakeAll();
}

bool ArchiveQueue::waitDone(quint64 ticket, int ms)
{
    QDeadlineTimer deadline(ms);
    QMutexLocker lock(&m_mutex);
    while (m_ticketDone < ticket && !m_stop)
        if (!EventThreadSync::wait(m_done, m_mutex, deadline))
            break;
    return m_ticketDone >= ticket;
}
