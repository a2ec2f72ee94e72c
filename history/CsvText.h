#ifndef CSVTEXT_H
#define CSVTEXT_H

// Comma-separated text as spreadsheet programs read it: a field with a comma,
// quote or line break is quoted, quotes doubled; times in ISO 8601 with
// milliseconds and the UTC offset; exports written whole or not at all.

#include <QString>
#include <QStringList>

namespace CsvText {

QString field(const QString &text);
// The fields of one line, joined, with the line break.
QString line(const QStringList &fields);
// Local time with its offset, e.g. "2026-12-07T13:45:00.250+01:00".
QString isoTime(qint64 msecsSinceEpoch);

// Writes the file whole or not at all (QSaveFile); false with the reason.
bool saveWhole(const QString &path, const QByteArray &bytes, QString *error = nullptr);

} // namespace CsvText

#endif
