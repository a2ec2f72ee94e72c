#ifndef SWITCHONQUESTION_H
#define SWITCHONQUESTION_H

// One operator action (a value copied to selected cells, a group's value)
// that would switch on more than one channel asks first, as the system
// commands do: "Switch on N channels of SYSTEM?", Yes the default.

#include <QList>
#include <QString>
#include <QVariant>

class ORVEHVNode;
class QWidget;

namespace SwitchOnQuestion {

// The "Pw" items among `targets` that writing `value` would switch on.
QList<ORVEHVNode *> switchedOn(const QList<ORVEHVNode *> &targets, const QVariant &value);
// "Switch on 12 channels of Hall A?"; over several systems each is named
// with its count.
QString text(const QList<ORVEHVNode *> &switchedOn);
// True when the action may go: at most one channel goes on, or the
// operator said Yes.
bool confirm(const QList<ORVEHVNode *> &targets, const QVariant &value, QWidget *parent);

} // namespace SwitchOnQuestion

#endif
