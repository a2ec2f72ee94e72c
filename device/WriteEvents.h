#ifndef WRITEEVENTS_H
#define WRITEEVENTS_H

// Every write to a device item that was refused, announced once by the one
// write path (ORVEHVNode::writeValue) to whoever keeps a record of them (the
// alarm journal). The device layer only emits; listeners connect themselves,
// so nothing here knows who they are. GUI thread only.

#include <QObject>
#include <QString>
#include <QVariant>

class ORVEHVNode;

class WriteEvents : public QObject
{
    Q_OBJECT
public:
    static WriteEvents *instance();

signals:
    // `result` is the refusal's code (never 0), `reason` the operator's text.
    // The node is valid only during the emission.
    void writeRefused(ORVEHVNode *node, const QVariant &value, int result, const QString &reason);
};

#endif
