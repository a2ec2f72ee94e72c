#ifndef WRITEGATE_H
#define WRITEGATE_H

// One gate in front of every write to a device item (ORVEHVNode::writeValue).
// Whoever must be the only writer for a while (a running action script)
// closes it; until it is opened again every other write is refused before
// anything is sent, whatever widget or dialog it comes from. The holder's own
// writes are made while a Pass exists. Closing nests. GUI thread only.

#include <QString>

namespace WriteGate {

// Result of a write the gate refused (nothing was sent).
constexpr int RefusedCode = 0x2001;

// `why` begins every refusal, e.g. "A script is running".
void close(const QString &why);
void open();
bool isClosed();

// The refusal for a write of `item` now; empty when it may go.
QString refusal(const QString &item);

// Held around the holder's own write calls.
class Pass
{
public:
    Pass();
    ~Pass();
    Pass(const Pass &) = delete;
    Pass &operator=(const Pass &) = delete;
};

} // namespace WriteGate

#endif
