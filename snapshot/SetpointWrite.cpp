#include "snapshot/SetpointWrite.h"

#include "device/ORVEHVNode.h"
#include "device/WriteGate.h"

namespace snapshot {

int writeSetpoint(ORVEHVNode *parameter, const QVariant &value, QString *reason)
{
    // on/off goes out as the unsigned word the library reads it as
    const QVariant sent = value.typeId() == QMetaType::Bool ? QVariant(value.toBool() ? 1u : 0u) : value;
    // The restore holds the write lock; its own writes pass the gate and
    // meet the same conversion and refusals as every other write.
    WriteGate::Pass pass;
    return parameter->writeValue(sent, reason);
}

} // namespace snapshot
