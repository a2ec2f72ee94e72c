#ifndef TOPICNAMES_H
#define TOPICNAMES_H

// The topics the station publishes on:
//   kebodesk/<station>/<system>/<board>/<channel>/<parameter>   values (retained)
//   kebodesk/<station>/journal                                   journal entries
//   kebodesk/<station>/status                                    "online" / "offline" (retained, last will)
//   kebodesk/<station>/counts                                    values published, dropped (retained)
// A system parameter has "-" for board and channel, a board parameter "-"
// for the channel; boards are named by slot, channels by number, so a topic
// stays the same when the operator renames a channel.

#include <QByteArray>
#include <QString>

namespace TopicNames {

// A name made fit to be one level of a topic: the wildcards '+' and '#',
// the separator '/', control characters and NUL become '_'; an empty name
// becomes "_".
QString part(const QString &name);
QByteArray value(const QString &station, const QString &system, int board, int channel, const QString &parameter);
QByteArray journal(const QString &station);
QByteArray presence(const QString &station);
QByteArray counts(const QString &station);

} // namespace TopicNames

#endif
