#ifndef EVENTITEMKEY_H
#define EVENTITEMKEY_H

// The item an event names: its board's and channel's position in the
// system's tree (-1: none) and the parameter's name.

#include <QHash>
#include <QString>

struct EventItemKey
{
    int board = -1;
    int channel = -1;
    QString name;
    bool operator==(const EventItemKey &o) const
    {
        return board == o.board && channel == o.channel && name == o.name;
    }
};

inline size_t qHash(const EventItemKey &k, size_t seed = 0)
{
    return qHashMulti(seed, k.board, k.channel, k.name);
}

#endif
