#ifndef JSONTEXT_H
#define JSONTEXT_H

// The payloads, written as JSON text directly (the publisher's thread
// writes tens of thousands a second):
//   value:   {"value":1234.5,"unit":"V","time":"2026-12-07T17:45:38.123Z"}
//   journal: {"time":...,"system":"...","board":3,"channel":7,"channelName":"...",
//             "kind":"Channel","event":"Raised","text":"I-Tripped"}
// A number that is not finite is null; any other value a string.

#include <QByteArray>
#include <QString>
#include <QVariant>

struct JournalEntry;

namespace JsonText {

QByteArray string(const QString &text);
// UTC, ISO 8601 with milliseconds.
QByteArray time(qint64 msSinceEpoch);
QByteArray value(const QVariant &value, const QByteArray &unitJson, qint64 time);
QByteArray journal(const JournalEntry &entry);

} // namespace JsonText

#endif
