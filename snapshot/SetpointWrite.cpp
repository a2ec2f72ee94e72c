#include "snapshot/SetpointWrite.h"

#include "device/ORVEHVNode.h"

namespace snapshot {

int writeSetpoint(ORVEHVNode *parameter, const QVariant &value, QString *reason)
{
    // on/off goes out as the unsigned word the library reads it as
    const QVariant sent = value.typeId() == QMetaType::Bool ? QVariant(value.toBool() ? 1u : 0u) : value;
    if (sent.toString().isEmpty()) {
        if (reason)
            *reason = QStringLiteral("an empty value cannot be written");
        return -1;
    }
    const int result = parameter->writeValue(sent);
    if (result == -1 && reason)
        *reason = QStringLiteral("the item cannot be written");
    return result;
}

} // namespace snapshot
