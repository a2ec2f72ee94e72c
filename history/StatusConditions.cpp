#include "history/StatusConditions.h"

QVector<JournalEntry> StatusConditions::update(const ItemKey &key, const QString &channelName, int systemType,
                                               quint32 word, qint64 time)
{
    QVector<JournalEntry> out;
    const bool isChannel = key.channel >= 0;
    const auto &decode = isChannel ? m_decoder.channel : m_decoder.board;
    if (!decode)
        return out;
    const quint32 before = m_words.value(key, 0);
    m_words.insert(key, word);
    const quint32 changed = before ^ word;
    for (int bit = 0; bit < 32; ++bit) {
        if (!((changed >> bit) & 1u))
            continue;
        const bool raised = (word >> bit) & 1u;
        // A condition is named in the context it was shown in.
        const QString condition = decode(systemType, raised ? word : before, bit);
        if (condition.isEmpty())
            continue;
        JournalEntry e;
        e.time = time;
        e.system = key.system;
        e.board = key.board;
        e.channel = key.channel;
        e.channelName = channelName;
        e.kind = isChannel ? JournalKind::Channel : JournalKind::Board;
        e.event = raised ? JournalEvent::Raised : JournalEvent::Cleared;
        e.text = condition;
        out.append(e);
    }
    return out;
}

void StatusConditions::forgetSystem(const QString &system)
{
    for (auto it = m_words.begin(); it != m_words.end();)
        it = it.key().system == system ? m_words.erase(it) : std::next(it);
}
