#include "device/WriteGate.h"

namespace WriteGate {

namespace {
int closedDepth = 0;
int passes = 0;
QString reason;
} // namespace

void close(const QString &why)
{
    if (closedDepth++ == 0)
        reason = why;
}

void open()
{
    if (closedDepth > 0 && --closedDepth == 0)
        reason.clear();
}

bool isClosed()
{
    return closedDepth > 0;
}

QString refusal(const QString &item)
{
    if (closedDepth == 0 || passes > 0)
        return QString();
    return QStringLiteral("%1: %2 not written").arg(reason, item);
}

Pass::Pass()
{
    ++passes;
}

Pass::~Pass()
{
    --passes;
}

} // namespace WriteGate
