#include "device/ParameterAccess.h"

#include "device/ORVEHVNode.h"

NodeValue readSystemProperty(int, const QString &, int) { return NodeValue::failedRead(); }
NodeValue readBoardParameter(int, quint16, const QString &, int) { return NodeValue::failedRead(); }
NodeValue readChannelParameter(int, quint16, quint16, const QString &, int) { return NodeValue::failedRead(); }
int writeSystemProperty(int, const QString &, int, const QVariant &) { return -1; }
int writeBoardParameter(int, quint16, const QString &, int, const QVariant &) { return -1; }
int writeChannelParameter(int, quint16, const QString &, quint16, int, QVariant &) { return -1; }
NodeValue eventValue(const ORVEHVNode *, const char *) { return NodeValue(); }
