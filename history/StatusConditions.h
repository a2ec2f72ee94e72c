#ifndef STATUSCONDITIONS_H
#define STATUSCONDITIONS_H

// Turns the status words of channels and boards into the journal's raised and
// cleared conditions: each fault bit that comes up is a condition raised,
// each that goes down one cleared. Which bits are faults and what they are
// called is the decoder's business, so the journal names conditions exactly
// as the tables do.

#include "history/HistoryTypes.h"

#include <QHash>
#include <functional>

struct StatusDecoder
{
    // The condition a status bit stands for, empty when the bit is no fault
    // (for example "on" or "ramping"). `word` gives the context some system
    // families decode a bit by.
    std::function<QString(int systemType, quint32 word, int bit)> channel;
    std::function<QString(int systemType, quint32 word, int bit)> board;
};

class StatusConditions
{
public:
    explicit StatusConditions(StatusDecoder decoder) : m_decoder(std::move(decoder)) {}

    // The entries for a new status word of a channel (channel >= 0) or
    // board. The first word seen of an item raises what it shows.
    QVector<JournalEntry> update(const ItemKey &key, const QString &channelName, int systemType, quint32 word,
                                 qint64 time);
    // Forgets the words of a system (it was removed or reconnected).
    void forgetSystem(const QString &system);

private:
    StatusDecoder m_decoder;
    QHash<ItemKey, quint32> m_words;
};

#endif
