#include "publish/PublishQueue.h"

#include "publish/JsonText.h"

PublishQueue::PublishQueue(int itemLimit, int journalLimit) : m_itemLimit(itemLimit), m_journalLimit(journalLimit)
{
}

int PublishQueue::item(const QByteArray &topic, const QString &unit)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto found = m_handles.constFind(topic);
    if (found != m_handles.constEnd()) {
        m_items[found.value()].unit = JsonText::string(unit);
        return found.value();
    }
    if (m_items.size() >= m_itemLimit)
        return -1;
    m_items.append({topic, JsonText::string(unit)});
    m_handles.insert(topic, int(m_items.size() - 1));
    return int(m_items.size() - 1);
}

void PublishQueue::push(int item, const QVariant &value, qint64 time)
{
    if (item < 0) {
        m_droppedValues.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    bool wasEmpty;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        wasEmpty = m_waiting.isEmpty() && m_journal.empty();
        const auto waiting = m_waiting.find(item);
        if (waiting != m_waiting.end()) {
            m_droppedValues.fetch_add(1, std::memory_order_relaxed);
            *waiting = {value, time};
        } else {
            m_waiting.insert(item, {value, time});
        }
    }
    if (wasEmpty)
        m_ready.notify_one();
}

void PublishQueue::pushJournal(const QByteArray &payload)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (int(m_journal.size()) >= m_journalLimit) {
            m_journal.pop_front();
            m_droppedJournal.fetch_add(1, std::memory_order_relaxed);
        }
        m_journal.push_back(payload);
    }
    m_ready.notify_one();
}

void PublishQueue::take(int maxValues, int waitMs, QVector<QPair<int, OutgoingValue>> *values,
                        QList<QByteArray> *journal)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (waitMs > 0)
        m_ready.wait_for(lock, std::chrono::milliseconds(waitMs),
                         [this] { return m_woken || !m_waiting.isEmpty() || !m_journal.empty(); });
    m_woken = false;
    for (auto it = m_waiting.begin(); it != m_waiting.end() && values->size() < maxValues;) {
        const Item &i = m_items.at(it.key());
        values->append({it.key(), OutgoingValue{i.topic, i.unit, it->value, it->time}});
        it = m_waiting.erase(it);
    }
    while (!m_journal.empty()) {
        journal->append(m_journal.front());
        m_journal.pop_front();
    }
}

void PublishQueue::wake()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_woken = true;
    }
    m_ready.notify_all();
}

int PublishQueue::waitingValues() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return int(m_waiting.size());
}
