#ifndef LOGFEED_H
#define LOGFEED_H

// What the value log knows of one system's items on its event-data thread,
// where the node tree may not be read: which items are logged, how their
// values read, and the value each last had. The GUI thread copies it from
// the tree (refresh) when logging starts, when the log choice changes and
// when boards came or went; the event-data thread then hands every value to
// the log in the order it arrived (LogQueue::logEvent), however far behind
// the GUI thread is, while the table takes only the newest (EventMailbox).

#include "device/EventItemKey.h"

#include <QHash>
#include <QMutex>
#include <QString>
#include <QVariant>

class ORVEHVNode;

class LogFeed
{
public:
    // --- GUI thread -------------------------------------------------------
    // Takes the tree's items, their logged flags and values; with
    // keepValues (the log ran on) an item already known keeps the value its
    // last event brought.
    void refresh(const ORVEHVNode *systemNode, int crateOffset, bool keepValues);

    // --- event-data thread ------------------------------------------------
    struct Update
    {
        bool logged = false;
        QVariant previous;  // what the item had before (null: nothing yet)
        QVariant current;
        QString systemName;  // as the log names the system and numbers
        int crateOffset = 0; // its boards, read under the same lock
    };
    // The item's new value read from the event's value area; false (only
    // the system's name and offset given) for an item the tree did not have
    // at the last refresh.
    bool update(int board, int channel, const QString &name, const char *valueArea, Update &out);
    QString systemName() const;

private:
    using Key = EventItemKey;
    struct Item
    {
        int dataType = 0;
        bool logged = false;
        QVariant last;
    };

    void take(const Key &key, const ORVEHVNode *node, bool keepValue, QHash<Key, Item> &into) const;

    mutable QMutex m_mutex;
    QHash<Key, Item> m_items;  // under m_mutex
    QString m_systemName;      // under m_mutex
    int m_crateOffset = 0;     // under m_mutex
};

#endif
