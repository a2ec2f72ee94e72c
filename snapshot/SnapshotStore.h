#ifndef SNAPSHOTSTORE_H
#define SNAPSHOTSTORE_H

// The snapshots kept on this computer: one JSON file each in the program's
// data location ("snapshots" folder), listed by system and time.

#include "snapshot/Snapshot.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

namespace snapshot {

class SnapshotStore
{
public:
    // An empty folder name: the program's data location.
    explicit SnapshotStore(const QString &folder = QString());

    static QString defaultFolder();
    QString folder() const { return m_folder; }

    struct Entry
    {
        QString id;
        QDateTime taken;
        QString comment;
        QStringList systemNames;
        int channels = 0;
    };
    // Newest first. Files that cannot be read are left out and named in
    // `problems` with the reason.
    QList<Entry> list(QStringList *problems = nullptr) const;

    bool save(const Snapshot &snapshot, QString *error) const;
    bool load(const QString &id, Snapshot *out, QString *error) const;
    bool remove(const QString &id) const;
    // Takes a snapshot file from elsewhere into the store after checking it
    // whole; a refused file changes nothing. `id` receives the snapshot's id.
    bool importFile(const QString &path, QString *id, QString *error) const;
    QString pathOf(const QString &id) const;

private:
    QString m_folder;
    // Entries of files already read, by file name with their modification
    // time: a large snapshot takes a tenth of a second to read.
    struct Cached
    {
        QDateTime modified;
        qint64 size = 0;
        Entry entry;
    };
    mutable QHash<QString, Cached> m_cache;
};

} // namespace snapshot

#endif
