#ifndef SNAPSHOTJSON_H
#define SNAPSHOTJSON_H

// Snapshot files: JSON with a schema version. A file read back is untrusted
// input (it may come from anywhere): every field is checked for type and
// range before anything is taken from it, and a file that fails any check
// is refused whole with a message saying where and why.

#include "snapshot/Snapshot.h"

#include <QByteArray>
#include <QString>

namespace snapshot {

// Larger files are refused before they are read.
constexpr qint64 MaxFileBytes = 16 * 1024 * 1024;

QByteArray toJson(const Snapshot &snapshot);
// True and `out` filled when the text is a valid snapshot; otherwise false,
// `out` untouched and `error` says what is wrong.
bool fromJson(const QByteArray &json, Snapshot *out, QString *error);

// Written through QSaveFile: the old file stays whole until the new one is
// complete. False with `error` set on failure.
bool saveFile(const Snapshot &snapshot, const QString &path, QString *error);
bool loadFile(const QString &path, Snapshot *out, QString *error);

} // namespace snapshot

#endif
