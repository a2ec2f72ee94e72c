#ifndef SETPOINTWRITE_H
#define SETPOINTWRITE_H

// The one place where a restore writes a value to a device: through the
// parameter node's write operation, as an edit in a table does (same
// conversion, same refusals), so the tree shows the value at once and a
// refusal marks the cell. The restore holds the write lock; this passes it.

#include <QString>
#include <QVariant>

class ORVEHVNode;

namespace snapshot {

// 0 when the device took the value; otherwise the refusal's code with
// `reason` saying why.
int writeSetpoint(ORVEHVNode *parameter, const QVariant &value, QString *reason);

} // namespace snapshot

#endif
