#ifndef PARAMETERCODEC_H
#define PARAMETERCODEC_H

// The one conversion between the texts an operator types (cell editors,
// group values, script values, trip results) and the value a device item
// takes. A text is read the way the tables show the item: bit fields in
// hexadecimal, on/off and enumerations by their texts (or their numbers),
// numbers in decimal with "." as decimal point. A value the item cannot take
// is refused with a reason and never wrapped, cut or replaced by 0.
//
// Limits: Minval/Maxval of the node when it has them, and always the range
// of the item's own type (32/16-bit, signed/unsigned, 32-bit float); channel
// names up to 11 characters, text system properties up to 79, Latin-1 only.
// Pure: no widget, no device call.

#include <QString>
#include <QVariant>

class ORVEHVNode;

namespace ParameterCodec {

enum Problem {
    NoProblem,
    Empty,       // nothing given (a write of it does nothing)
    NotAValue,   // not a number / not hexadecimal / not one of the choices
    OutOfRange,  // a number outside the item's or its type's limits
    TooLong,     // a text longer than the item takes
    BadText      // a text with characters the device cannot take
};

struct ParseResult
{
    bool ok = false;
    QVariant value;  // the device value, typed as the node stores it
    QString reason;  // why it was refused; empty when ok
    Problem problem = NoProblem;
};

// A text as typed for this node.
ParseResult parse(const ORVEHVNode *node, const QString &text);
// Any value for this node: a text is parsed as above, a number or bool is
// checked against the same limits.
ParseResult convert(const ORVEHVNode *node, const QVariant &value);

// The value as the tables show it, without the unit (parse() reads it back).
QString format(const ORVEHVNode *node, const QVariant &value);

// A parameter holding a bit word, shown and typed in hexadecimal.
bool isBitField(const ORVEHVNode *node);

} // namespace ParameterCodec

#endif
