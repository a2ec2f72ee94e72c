#ifndef VALUETEXT_H
#define VALUETEXT_H

// Texts of device values: on/off and enumeration texts, hexadecimal bit
// fields, decoded board and channel status words, the channel status check,
// connection texts, unit texts, and the type translations discovery uses.
// Everything except the node-based helpers is pure and needs no widget, so
// logging and scripts format values exactly like the tables.

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

class ORVEHVNode;

// --- node-based (read the node's metadata properties) -------------------
// "Onstate" text for true, "Offstate" for false; empty for a null node or a
// missing property.
QString onOffText(const ORVEHVNode *node, bool on);
// True when the text equals the node's "Onstate" text.
bool onOffFromText(const ORVEHVNode *node, const QString &text);
// The "Enum" text of the value (Minval/Maxval from the node, 0 when absent);
// empty when out of range or when there is no such entry.
QString enumText(const ORVEHVNode *node, int value);
// Minval + position of the first "Enum" text equal to the text; 0 when none
// matches or the node is null.
int enumFromText(const ORVEHVNode *node, const QString &text);

// --- pure forms of the same -----------------------------------------------
QString enumText(const QStringList &texts, double minval, double maxval, int value);
int enumFromText(const QStringList &texts, double minval, const QString &text);

// Eight upper-case hexadecimal digits, zero-padded ("000000FF").
QString hexText(qint64 value);
// Parses base 16 (an optional "0x" prefix accepted), at most 32 bits. Text
// that is not such a number gives 0 with *ok false: callers that write the
// value must refuse it, never send the 0.
qint64 hexFromText(const QString &text, bool *ok = nullptr);

QString boardStatusText(int systemType, int status);
QString channelStatusText(int systemType, int status);
// False when the status word shows a fault for this system type.
bool channelStatusOk(int systemType, int status);
// 0 "Connection Pending", 1 "Connection Ok", 2 "Connection Ko", else empty.
QString connectionText(int state);

// Fixed-point text with the given digits after the point ("12.35").
QString fixedText(double value, int decimals);

// --- discovery translations ----------------------------------------------
// Library parameter type -> data type (0 numeric 6, 1 on/off 8, 2/3/4 0,
// 5 text 7, 6 enumeration 9, other 7).
int parameterDataType(int libraryType);
// Library system-property type -> data type; -1 for an unknown type (the
// node keeps its data type then).
int systemPropertyDataType(int libraryType);
// Library access mode -> access mode: 0, 1, 2 stay, anything else 3.
int accessModeFromLibrary(unsigned int mode);
// Metadata property names read for a library parameter type, in order.
QStringList metadataNames(int libraryType);

// Unit code -> symbol ("A", "V", ... ; empty for an unknown code).
QString unitSymbol(int unitCode);
// Exponent code -> prefix ("n", "u", "m", "K", "M"; one blank otherwise).
QString exponentPrefix(int exp);
// The unit text of a parameter: "0x" for library type 4, else prefix and
// symbol; a missing "Unit"/"Exp" contributes nothing.
QString unitText(int libraryType, bool hasUnit, int unitCode, bool hasExp, int exp);

// "+" (after trimming) -> "POS", "-" -> "NEG" for channel parameters;
// board parameters keep their texts.
QString stateText(const QString &raw, bool channelParameter);

// New order of a channel's parameters, as indices into the given names:
// "I0Set"/"ISet", "V0Set"/"VSet", "IMon", "VMon", "Pw", "Status", "RUp",
// "RDwn", "Trip" moved (in that order, names compared without regard to
// case) to the front from position `start` on (1 after a leading "Name"),
// the others in their library order after them.
QVector<int> channelParameterOrder(const QStringList &names, int start);

// Tool tip of a channel parameter from its metadata (name, value) in
// discovery order; see the implementation for the rules.
QString parameterToolTip(int libraryType, const QList<QPair<QString, QVariant>> &metadata);

#endif
