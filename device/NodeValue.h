#ifndef NODEVALUE_H
#define NODEVALUE_H

// One value of a device item together with how it was obtained. Copied by
// value everywhere (tables, events, logging, scripts).

#include <QDateTime>
#include <QMetaType>
#include <QVariant>

// NodeValue::status
enum NodeValueStatus {
    ValueOk = 0,          // read or written successfully
    ValueReadFailed = 1,  // the last read failed or the connection was lost
    ValueNeverRead = 2,   // nothing read yet
    ValueWriteFailed = 3  // the last write was refused; the value is the old one
};

struct NodeValue
{
    QVariant value;                 // null until read
    int status = ValueNeverRead;
    // In UTC: a value is stamped on every event, and local time would look
    // the time zone up (a file status read) each time; shown, it converts.
    QDateTime timestamp = QDateTime::currentDateTimeUtc();

    NodeValue() = default;
    NodeValue(const QVariant &v, int s, const QDateTime &t = QDateTime::currentDateTimeUtc())
        : value(v), status(s), timestamp(t) {}

    // A failed read: the integer 0 with status 1, time of the read.
    static NodeValue failedRead() { return NodeValue(QVariant(0), ValueReadFailed); }
};

Q_DECLARE_METATYPE(NodeValue)

// Node kinds (ORVEHVNode::kind)
enum NodeKind {
    KindSystem = 0,
    KindConnectionItem = 1,   // "ConnStat", "NrOfSlot"
    KindSystemProperty = 2,
    KindBoard = 3,
    KindBoardParameter = 4,
    KindChannel = 5,
    KindChannelParameter = 6,
    KindContainer = 8         // empty crate slot or view root; owns nothing
};

// Data types (ORVEHVNode::dataType, ORVEHVNodeProperty::dataType)
enum NodeDataType {
    DataInt32 = 0,
    DataInt16 = 1,
    DataUInt32 = 3,
    DataUInt16 = 4,
    DataFloat = 6,
    DataText = 7,
    DataOnOff = 8,
    DataEnum = 9
};

// Access modes (ORVEHVNode::accessMode)
enum NodeAccessMode {
    AccessReadOnly = 0,
    AccessWriteOnly = 1,
    AccessReadWrite = 2,
    AccessOther = 3           // anything else; the system node
};

// Connection states of a system node and of "ConnStat"
enum NodeConnectionState {
    ConnectionPending = 0,
    ConnectionConnected = 1,
    ConnectionLost = 2,
    ConnectionTransparent = 3
};

#endif
