#ifndef PARAMETERACCESS_H
#define PARAMETERACCESS_H

// Reads and writes of system properties, board parameters and channel
// parameters through the device library, and conversion of event data.
// Reads never fail loudly: a failure gives the integer 0 with status 1.
// Writes return the library's code, -1 when the type cannot be written,
// and ORVEHV_ERR_OUT_OF_RANGE for a text or number that does not fit the
// library's cell (nothing is sent then: never cut or wrapped). Operator
// texts are converted and checked before, by ParameterCodec.
// GUI thread only.

#include "device/NodeValue.h"

#include <QString>
#include <QVariant>

class ORVEHVNode;

NodeValue readSystemProperty(int handle, const QString &name, int libraryType);
NodeValue readBoardParameter(int handle, quint16 slot, const QString &name, int libraryType);
// "Name" is read with the channel-name call (empty text, status 1 on failure).
NodeValue readChannelParameter(int handle, quint16 slot, quint16 channel, const QString &name,
                               int libraryType);

int writeSystemProperty(int handle, const QString &name, int libraryType, const QVariant &value);
int writeBoardParameter(int handle, quint16 slot, const QString &name, int libraryType,
                        const QVariant &value);
// After a numeric write `value` holds the 32-bit float actually sent,
// whether or not the write succeeded. "Name" is written with the
// channel-name call.
int writeChannelParameter(int handle, quint16 slot, const QString &name, quint16 channel,
                          int libraryType, QVariant &value);

// A library result code as the operator reads it, code included
// ("the value is out of range (error 4101)").
QString libraryErrorText(int code);

// The value in an event record's 1024-byte value area, read by the node's
// data type; the initial record (null, status 2) for a null node or an
// unknown data type. Text stops at the end of the area.
NodeValue eventValue(const ORVEHVNode *node, const char *valueArea);
// The value alone by data type (null for an unknown type): for the
// event-data thread, which may not read nodes and need not stamp the time.
QVariant eventVariant(int dataType, const char *valueArea);

#endif
