#ifndef BOARDINFOTEXT_H
#define BOARDINFOTEXT_H

// Texts of the board information panel, kept apart from the widgets so they
// can be checked without one.

#include <QString>

class ORVEHVNode;

namespace BoardInfoText {

// Title of a board's box: name (or "Crate%1 Board%2" on a B8181 rack),
// " - ", model, then, each after two blanks, "[serial]", "[0xBASE]" for a
// VME HV board (third field of its connection argument) and
// "(Fw Rel. major.minor)".
QString boardTitle(const ORVEHVNode *board, int systemType);

// "Crate%1 Board%2" for a B8181 slot (25 slots per crate).
QString rackPosition(int slot);

// Base address of a VME HV board from its connection argument
// ("bridge_link_address"): "0x" and the third field, empty without one.
QString vmeBaseAddress(const QString &connectionArgument);

// Key of a shown value: "%0:%1:%2" with the board's library handle, its
// slot and the parameter (or information) name. Unique across the boards of
// a VME HV crate, whose boards come from different connections.
QString valueKey(int handle, int slot, const QString &name);

// Text a board parameter shows: decoded board status words, the node's own
// value text otherwise; "-" before the first read. A status word without a
// text of its family reads "Ok" when clean, else in hexadecimal.
QString parameterText(const ORVEHVNode *parameter);
// True for a board status word with any flag set (shown in red).
bool isAlarm(const ORVEHVNode *parameter);

} // namespace BoardInfoText

#endif
