#ifndef COMMANDFEEDBACK_H
#define COMMANDFEEDBACK_H

// Telling the operator that a system command or write did not work. A
// refused command on high voltage must never pass unnoticed: every failure
// is reported once, in one box per operator action, with the system's name
// and what the device library answered.

#include <QString>
#include <QVariant>

class ORVEHVNode;
class QWidget;

namespace CommandFeedback {

// Outcome of writing one value to many channels or boards.
struct BatchResult
{
    int attempted = 0;
    int failed = 0;
    int firstError = 0;  // library code of the first refused write
    bool ok() const { return failed == 0; }
    void add(int result)
    {
        ++attempted;
        if (result != 0) {
            if (failed == 0)
                firstError = result;
            ++failed;
        }
    }
};

// "<command> failed on system <name>: <reason>."
QString commandFailedText(const QString &command, const QString &systemName, int code);
// "<command> was not carried out completely on system <name>: n of m
// <what> were not <done> (<reason of the first>)."
QString batchFailedText(const QString &command, const QString &systemName, const BatchResult &result,
                        const QString &what, const QString &done);
// "<parameter> could not be written on system <name>: <reason>."
QString writeFailedText(const QString &parameter, const QString &systemName, const QString &reason);

// The warning box with one of the texts above.
void reportFailure(const QString &text, QWidget *parent);

// The system property with this name among a system node's parameters,
// compared without regard to case (null when absent or no node).
ORVEHVNode *systemProperty(const ORVEHVNode *systemNode, const QString &name);

// Writes the system property `name` (found as systemProperty() does) through
// the node's write; a missing property or a refused value or write is
// reported with its reason.
// True when the device took the value.
bool writeProperty(const ORVEHVNode *systemNode, const QString &name, const QVariant &value, QWidget *parent);

} // namespace CommandFeedback

#endif
