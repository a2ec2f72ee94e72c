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
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto waiting = m_waiting.find(item);
    if (waiting != m_waiting.end()) {
        m_droppedValues.fetch_add(1, std::memory_order_relaxed);
        *waiting = {value, time};
    } else {
        m_waiting.insert(item, {value, time});
    }
}

void PublishQueue::pushJournal(const QByteArray &payload)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (int(m_journal.size()) >= m_journalLimit) {
        m_journal.pop_front();
        m_droppedJournal.fetch_add(1, std::memory_order_relaxed);
    }
    m_journal.push_back(payload);
}

void PublishQueue::take(int maxValues, int waitMs, QVector<QPair<int, OutgoingValue>> *values,
                        QList<QByteArray> *journal)
{
    QHash<int, Waiting> taken;
    QVector<Item> items;
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (waitMs > 0 && !m_woken)
            m_ready.wait_for(lock, std::chrono::milliseconds(waitMs), [this] { return m_woken; });
        m_woken = false;
        if (m_waiting.size() <= maxValues) {
            taken.swap(m_waiting);
        } else {
            for (auto it = m_waiting.begin(); taken.size() < maxValues;) {
                taken.insert(it.key(), it.value());
                it = m_waiting.erase(it);
            }
        }
        items = m_items;  // shared, not copied
        while (!m_journal.empty()) {
            journal->append(m_journal.front());
            m_journal.pop_front();
        }
    }
    values->reserve(values->size() + taken.size());
    for (auto it = taken.cbegin(); it != taken.cend(); ++it) {
        const Item &i = items.at(it.key());
        values->append({it.key(), OutgoingValue{i.topic, i.unit, it->value, it->time}});
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
