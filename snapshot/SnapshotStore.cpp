#include "snapshot/SnapshotStore.h"

#include "snapshot/SnapshotJson.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>

namespace snapshot {

SnapshotStore::SnapshotStore(const QString &folder)
    : m_folder(folder.isEmpty() ? defaultFolder() : folder)
{
}

QString SnapshotStore::defaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/snapshots");
}

QString SnapshotStore::pathOf(const QString &id) const
{
    return m_folder + QLatin1Char('/') + id + QStringLiteral(".json");
}

QList<SnapshotStore::Entry> SnapshotStore::list(QStringList *problems) const
{
    QList<Entry> entries;
    const QDir dir(m_folder);
    QHash<QString, Cached> seen;
    for (const QFileInfo &file : dir.entryInfoList({QStringLiteral("*.json")}, QDir::Files)) {
        const auto cached = m_cache.constFind(file.fileName());
        if (cached != m_cache.cend() && cached->modified == file.lastModified() && cached->size == file.size()) {
            entries.append(cached->entry);
            seen.insert(file.fileName(), *cached);
            continue;
        }
        Snapshot snap;
        QString error;
        if (!loadFile(file.filePath(), &snap, &error)) {
            if (problems)
                problems->append(error);
            continue;
        }
        Entry e{snap.id, snap.taken, snap.comment, {}, snap.channelCount()};
        for (const SystemRecord &s : std::as_const(snap.systems))
            e.systemNames.append(s.name);
        entries.append(e);
        seen.insert(file.fileName(), {file.lastModified(), file.size(), e});
    }
    m_cache = seen;
    std::sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) { return a.taken > b.taken; });
    return entries;
}

bool SnapshotStore::save(const Snapshot &snap, QString *error) const
{
    if (!QDir().mkpath(m_folder)) {
        if (error)
            *error = QStringLiteral("The folder %1 cannot be made.").arg(m_folder);
        return false;
    }
    return saveFile(snap, pathOf(snap.id), error);
}

bool SnapshotStore::load(const QString &id, Snapshot *out, QString *error) const
{
    return loadFile(pathOf(id), out, error);
}

bool SnapshotStore::importFile(const QString &path, QString *id, QString *error) const
{
    Snapshot snap;
    if (!loadFile(path, &snap, error) || !save(snap, error))
        return false;
    if (id)
        *id = snap.id;
    return true;
}

bool SnapshotStore::remove(const QString &id) const
{
    return QFile::remove(pathOf(id));
}

} // namespace snapshot
