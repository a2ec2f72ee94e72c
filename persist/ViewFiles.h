#ifndef VIEWFILES_H
#define VIEWFILES_H

// Saved configurations: a configuration file ("csc", a data stream holding
// its base name) and beside it a folder of the same base name with one view
// file ("cvc") per saved system. A view file says how to reach the system
// and, per board (by serial number), channel (by position) and channel
// parameter (by position and name), whether it is shown and where, in the
// system's own sub-window and in the custom view. Values are not saved.
//
// Every file is written through QSaveFile: a save that fails leaves the
// previous files as they were and says which file failed and why.

#include "persist/ConfigurationGroups.h"
#include "persist/ViewFileFormat.h"

#include <QList>
#include <QString>
#include <QStringList>

class ORVEHVNode;

namespace ViewFiles {

extern const char *const ConfigurationExtension; // "csc"
extern const char *const ViewExtension;          // "cvc"

// P itself when it ends with ".csc" (any letter case), else P + ".csc".
QString configurationFilePath(const QString &path);
// File name of P without its last extension when P ends with ".csc", else
// the whole file name.
QString configurationBaseName(const QString &path);
// Absolute directory of P + "/" + base name; created when `create` is set
// (false when that fails).
QString viewFolder(const QString &path, bool create = false, bool *ok = nullptr);
// "<folder>/<name>-<argument with '.' as '_'>.cvc".
QString viewFilePath(const QString &folder, const QString &systemName, const QString &connectionArgument);

// The system hash of a system node (or of the custom view's container).
ViewHash buildViewHash(const ORVEHVNode *system, bool ownView, bool customView);

// Sets the view attributes of a system's tree from a system hash. Only the
// views the hash records are touched (a custom-view-only file leaves the
// own views alone); in those, what the hash does not show is hidden.
void applyViewHash(ORVEHVNode *system, const ViewHash &hash);

// Reads a view file; false with the reason (unreadable, not in the format).
bool readViewFile(const QString &path, ViewHash *hash, QString *error);

// One system to save: its node and which views to record.
struct SaveEntry
{
    const ORVEHVNode *node = nullptr;
    bool ownView = false;
    bool customView = false;
};

// Writes the configuration file and the view files of the entries. Every
// file is written to a temporary first; only when all were written are they
// put in place. False with "<file>: <reason>" otherwise; the previous files
// are then untouched (but a folder that had to be created stays).
// The groups are written into the configuration file (ConfigurationGroups.h).
bool saveConfiguration(const QString &path, const QList<SaveEntry> &entries, QString *error,
                       const QList<ConfigurationGroups::Group> &groups = {});

// The configuration file's content: its base name (default stream version),
// then the groups if there are any.
QByteArray configurationMarker(const QString &baseName, const QList<ConfigurationGroups::Group> &groups = {});

} // namespace ViewFiles

#endif
