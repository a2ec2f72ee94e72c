#include "device/LogBacklog.h"

#include <atomic>

namespace {
std::atomic<int> g_limit{LogBacklog::DefaultLimit};
const QString TimeFormat = QStringLiteral("yyyy-MM-ddThh:mm:ss.zzz");
} // namespace

void LogBacklog::setLimit(int entries) { g_limit.store(qMax(1, entries)); }

int LogBacklog::limit() { return g_limit.load(); }

LogBacklog::~LogBacklog() { clear(); }

void LogBacklog::take(LogBatch *head, int n)
{
    while (head && n-- > 0) {
        LogBatch *next = head->next;
        head->next = nullptr;
        if (m_systemName.isEmpty()) {
            m_systemName = head->systemName;
            m_systemType = head->systemType;
        }
        m_entries += head->entries.size();
        m_batches.push_back(head);
        head = next;
    }
    LogQueue::deleteBatches(head);
}

void LogBacklog::trim()
{
    if (m_entries > limit())
        dropOldest(m_entries - limit());
}

void LogBacklog::dropOldest(qint64 n)
{
    while (n > 0 && !m_batches.empty()) {
        LogBatch *oldest = m_batches.front();
        if (m_dropped == 0)
            m_firstDropped = oldest->created;
        m_lastDropped = oldest->created;
        const qint64 here = qMin<qint64>(n, oldest->entries.size());
        if (here == oldest->entries.size()) {
            m_batches.pop_front();
            delete oldest;
        } else {
            oldest->entries.remove(0, here);
        }
        m_entries -= here;
        m_dropped += here;
        n -= here;
    }
}

QByteArray LogBacklog::nextText(int maxBytes, int *batches) const
{
    QByteArray out;
    if (m_dropped > 0)
        out += lostLine(m_systemName, m_dropped, m_firstDropped, m_lastDropped).toUtf8();
    int taken = 0;
    for (auto it = m_batches.cbegin(); it != m_batches.cend() && out.size() < maxBytes; ++it, ++taken)
        LogQueue::appendBatchText(**it, out);
    *batches = taken;
    return out;
}

void LogBacklog::consume(int batches)
{
    for (; batches > 0 && !m_batches.empty(); --batches) {
        m_entries -= m_batches.front()->entries.size();
        delete m_batches.front();
        m_batches.pop_front();
    }
    m_dropped = 0;
    m_firstDropped = m_lastDropped = QDateTime();
}

void LogBacklog::clear()
{
    for (LogBatch *b : m_batches)
        delete b;
    m_batches.clear();
    m_entries = 0;
    m_dropped = 0;
    m_firstDropped = m_lastDropped = QDateTime();
}

QString LogBacklog::lostLine(const QString &systemName, qint64 count, const QDateTime &first, const QDateTime &last)
{
    // Stamped with the time of the last lost entry, so the file stays in order.
    return QStringLiteral("[%1]: [%2] log lost %3 entries between [%4] and [%5]; \n")
        .arg(last.toString(TimeFormat), systemName, QString::number(count), first.toString(TimeFormat),
             last.toString(TimeFormat));
}
