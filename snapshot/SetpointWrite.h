#ifndef SETPOINTWRITE_H
#define SETPOINTWRITE_H

// The one place where a restore writes a value to a device: through the
// parameter node's write operation, as an edit in a table does, so the tree
// shows the value at once and a refusal marks the cell.

#include <QString>
#include <QVariant>

class ORVEHVNode;

namespace snapshot {

// 0 when the device took the value; otherwise the library's code (with
// `reason` left empty: the code tells) or -1 with `reason` set.
int writeSetpoint(ORVEHVNode *parameter, const QVariant &value, QString *reason);

} // namespace snapshot

#endif
