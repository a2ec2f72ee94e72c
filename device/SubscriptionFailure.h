#ifndef SUBSCRIPTIONFAILURE_H
#define SUBSCRIPTIONFAILURE_H

// A parameter the library refused to subscribe (or unsubscribe). A
// subscription fills three lists of them: system, board, channel.

#include <QList>
#include <QString>

struct SubscriptionFailure
{
    int boardIndex = -1;    // -1 for a system parameter
    int channelIndex = -1;  // -1 for system and board parameters
    QString parameterName;

    bool operator==(const SubscriptionFailure &o) const
    {
        return boardIndex == o.boardIndex && channelIndex == o.channelIndex
               && parameterName == o.parameterName;
    }
};

using SubscriptionFailureList = QList<SubscriptionFailure>;

#endif
