#ifndef SCRIPTFILE_H
#define SCRIPTFILE_H

// Action script files (".cas"): the editor's plain text, nothing else.
// Loading refuses what cannot be a script before it reaches the editor;
// saving replaces the file atomically, so a failed save leaves the old one.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace script {

inline constexpr const char *FileExtension = "cas";
inline constexpr const char *FileTypeName = "ORVE Actions Script File";
// Larger files are no hand-written scripts (100 000 actions fit easily).
inline constexpr qint64 MaxFileSize = 8 * 1024 * 1024;

// "ORVE Actions Script File (*.cas)"
QString fileFilter();
// The name with ".cas" appended unless it already ends so.
QString withExtension(const QString &fileName);

// The actions of a file's bytes, one per entry with its white space
// simplified and without the ";". False, with `error` set, for text that is
// not UTF-8, holds NUL bytes or does not pass the check; an empty file gives
// true and no actions.
bool decodeScript(const QByteArray &bytes, QStringList *actions, QString *error);

// Reads the whole file (at most MaxFileSize bytes); false with the reason.
bool readScriptFile(const QString &path, QByteArray *bytes, QString *error);
// Writes the text as it stands through a temporary file; false with the reason.
bool writeScriptFile(const QString &path, const QString &text, QString *error);

} // namespace script

#endif
