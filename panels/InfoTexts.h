#ifndef INFOTEXTS_H
#define INFOTEXTS_H

// Texts of the information dialogs, apart from the widgets: the parsers of
// the controller's read-outs and the crate map rows.
// Device texts are not trusted: every parser takes any text and gives back
// what can be shown, each field cut to a readable length.

#include <QList>
#include <QString>
#include <QStringList>

class ORVEHVNode;

namespace InfoTexts {

// Longest field shown; longer ones end in "...".
constexpr int kMaxFieldLength = 64;
QString shownField(const QString &field);

// "Sessions": records separated by ";" (empty ones skipped), fields by ":"
// in the order User, Level, Communication, Login Time, Ip Address. Each row
// has five cells: missing fields are empty, surplus fields stay in the last
// cell with their ":" (an IPv6 address). "_" in the login time reads ":".
QList<QStringList> sessionRows(const QString &text);
// "CPULoad": the 1, 5 and 15 minute loads; "MemoryStatus": total, free,
// used and buffers. Fields separated by ":", empty ones dropped, trimmed;
// always 3 / 4 entries, missing ones empty, surplus ones ignored.
QStringList cpuLoadFields(const QString &text);
QStringList memoryStatusFields(const QString &text);

// The shown text of a system property of the system node (name compared
// without regard to case); empty when absent or never read.
QString systemPropertyText(const ORVEHVNode *system, const QString &name);

// Crate map: window title, column headers and the cells of the slot at
// `index` among the system node's children (an empty slot shows "...").
QString crateMapTitle(int systemType);
QStringList crateMapHeaders(int systemType);
QStringList crateMapRow(const ORVEHVNode *slot, int index, int systemType);

} // namespace InfoTexts

#endif
