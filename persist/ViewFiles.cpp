#include "persist/ViewFiles.h"

#include "device/ORVEHVNode.h"

#include <QBuffer>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <memory>
#include <vector>

namespace ViewFiles {

const char *const ConfigurationExtension = "csc";
const char *const ViewExtension = "cvc";

namespace {

bool endsWithCsc(const QString &path)
{
    return path.endsWith(QStringLiteral(".") + QLatin1String(ConfigurationExtension), Qt::CaseInsensitive);
}

void insertOwnView(ViewHash &h, const ORVEHVNode *n)
{
    h.insert(QStringLiteral("isEnabled"), n->isEnabled());
    h.insert(QStringLiteral("visualIndex"), n->visualIndex());
}

void insertCustomView(ViewHash &h, const ORVEHVNode *n)
{
    h.insert(QStringLiteral("isEnabledInCustomView"), n->isEnabledInCustomView());
    h.insert(QStringLiteral("customViewVisualIndex"), n->customViewVisualIndex());
}

// Attribute readers: the node's current value when the key is absent.
bool flag(const ViewHash &h, const char *key, bool current)
{
    const QVariant v = h.value(QLatin1String(key));
    return v.isValid() ? v.toBool() : current;
}

int number(const ViewHash &h, const char *key, int current)
{
    const QVariant v = h.value(QLatin1String(key));
    return v.isValid() ? v.toInt() : current;
}

// Makes `name` visible (in the chosen view) on every channel of every board
// of the system other than `except`.
void showEverywhere(ORVEHVNode *system, const ORVEHVNode *except, const QString &name, bool ownView)
{
    for (ORVEHVNode *board : system->children()) {
        if (!board || board->kind() != KindBoard || board == except)
            continue;
        for (ORVEHVNode *channel : board->children()) {
            for (ORVEHVNode *p : channel->parameters()) {
                if (p->name() != name)
                    continue;
                if (ownView)
                    p->setIsEnabled(true);
                else
                    p->setIsEnabledInCustomView(true);
            }
        }
    }
}

QString describe(const QFileDevice &file)
{
    return QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(file.fileName()), file.errorString());
}

} // namespace

QString configurationFilePath(const QString &path)
{
    return endsWithCsc(path) ? path : path + QStringLiteral(".") + QLatin1String(ConfigurationExtension);
}

QString configurationBaseName(const QString &path)
{
    const QFileInfo info(path);
    if (!endsWithCsc(path))
        return info.fileName();
    return info.completeBaseName();
}

QString viewFolder(const QString &path, bool create, bool *ok)
{
    const QString folder = QFileInfo(path).absolutePath() + QStringLiteral("/") + configurationBaseName(path);
    bool made = true;
    if (create && !QDir(folder).exists())
        made = QDir().mkpath(folder);
    if (ok)
        *ok = made;
    return folder;
}

QString viewFilePath(const QString &folder, const QString &systemName, const QString &connectionArgument)
{
    QString argument = connectionArgument;
    argument.replace(QLatin1Char('.'), QLatin1Char('_'));
    return QStringLiteral("%1/%2-%3.%4").arg(folder, systemName, argument, QLatin1String(ViewExtension));
}

ViewHash buildViewHash(const ORVEHVNode *system, bool ownView, bool customView)
{
    ViewHash h;
    h.insert(QStringLiteral("name"), system->name());
    h.insert(QStringLiteral("initParam"), system->connectionArgument());
    h.insert(QStringLiteral("psType"), system->systemType());
    h.insert(QStringLiteral("connType"), system->linkType());
    if (system->kind() == KindContainer) {
        h.insert(QStringLiteral("isCustomView"), 1);
        return h;
    }
    h.insert(QStringLiteral("isCustomView"), 0);
    for (const ORVEHVNode *child : system->children()) {
        ViewHash board;
        if (!child || child->kind() != KindBoard) {
            board.insert(QStringLiteral("isPresent"), 0);
            h.insert(QStringLiteral("boards"), board);
            continue;
        }
        board.insert(QStringLiteral("isPresent"), 1);
        board.insert(QStringLiteral("serialNumber"), quint32(child->serialNumber()));
        if (ownView)
            board.insert(QStringLiteral("visualIndex"), child->visualIndex());
        for (int j = 0; j < child->children().size(); ++j) {
            const ORVEHVNode *channel = child->children().at(j);
            ViewHash ch;
            ch.insert(QStringLiteral("vectorIndex"), j);
            if (ownView)
                insertOwnView(ch, channel);
            if (customView)
                insertCustomView(ch, channel);
            for (int k = 0; k < channel->parameters().size(); ++k) {
                const ORVEHVNode *p = channel->parameters().at(k);
                ViewHash ph;
                ph.insert(QStringLiteral("vectorIndex"), k);
                ph.insert(QStringLiteral("name"), p->name());
                if (ownView) {
                    ph.insert(QStringLiteral("visualIndex"), p->visualIndex());
                    ph.insert(QStringLiteral("isEnabled"), p->isEnabled());
                }
                if (customView)
                    insertCustomView(ph, p);
                ch.insert(QStringLiteral("parameters"), ph);
            }
            board.insert(QStringLiteral("channels"), ch);
        }
        h.insert(QStringLiteral("boards"), board);
    }
    return h;
}

namespace {
// Which views a system hash records: a file saved for the custom view only
// must leave the own views as they are, and the other way round.
void recordedViews(const ViewHash &hash, bool *own, bool *custom)
{
    *own = *custom = false;
    for (const ViewHash &bh : hash.hashes(QStringLiteral("boards"))) {
        *own = *own || bh.contains(QStringLiteral("visualIndex"));
        for (const ViewHash &ch : bh.hashes(QStringLiteral("channels"))) {
            *own = *own || ch.contains(QStringLiteral("isEnabled")) || ch.contains(QStringLiteral("visualIndex"));
            *custom = *custom || ch.contains(QStringLiteral("isEnabledInCustomView"))
                      || ch.contains(QStringLiteral("customViewVisualIndex"));
        }
    }
}
} // namespace

void applyViewHash(ORVEHVNode *system, const ViewHash &hash)
{
    if (!system)
        return;
    bool own = false, custom = false;
    recordedViews(hash, &own, &custom);
    // Nothing shows in a recorded view unless the file says so.
    for (ORVEHVNode *board : system->children()) {
        if (!board || board->kind() != KindBoard)
            continue;
        if (own)
            board->setIsEnabled(false);
        for (ORVEHVNode *channel : board->children()) {
            QList<ORVEHVNode *> nodes = QList<ORVEHVNode *>(channel->parameters().cbegin(), channel->parameters().cend());
            nodes.append(channel);
            for (ORVEHVNode *n : std::as_const(nodes)) {
                if (own)
                    n->setIsEnabled(false);
                if (custom)
                    n->setIsEnabledInCustomView(false);
            }
        }
    }

    for (const ViewHash &bh : hash.hashes(QStringLiteral("boards"))) {
        if (bh.value(QStringLiteral("isPresent")).toInt() == 0)
            continue;
        // Boards are found by serial number, wherever they sit now.
        const quint32 serial = bh.value(QStringLiteral("serialNumber")).toUInt();
        ORVEHVNode *board = nullptr;
        for (ORVEHVNode *b : system->children()) {
            if (b && b->kind() == KindBoard && b->serialNumber() == serial) {
                board = b;
                break;
            }
        }
        if (!board)
            continue;
        if (own) {
            board->setIsEnabled(true);
            board->setVisualIndex(number(bh, "visualIndex", board->visualIndex()));
        }

        for (const ViewHash &ch : bh.hashes(QStringLiteral("channels"))) {
            const int j = ch.value(QStringLiteral("vectorIndex"), -1).toInt();
            if (j < 0 || j >= board->children().size())
                continue;
            ORVEHVNode *channel = board->children().at(j);
            channel->setIsEnabled(flag(ch, "isEnabled", channel->isEnabled()));
            channel->setVisualIndex(number(ch, "visualIndex", channel->visualIndex()));
            channel->setIsEnabledInCustomView(flag(ch, "isEnabledInCustomView", channel->isEnabledInCustomView()));
            channel->setCustomViewVisualIndex(
                number(ch, "customViewVisualIndex", channel->customViewVisualIndex()));

            for (const ViewHash &ph : ch.hashes(QStringLiteral("parameters"))) {
                const int k = ph.value(QStringLiteral("vectorIndex"), -1).toInt();
                if (k < 0 || k >= channel->parameters().size())
                    break;
                ORVEHVNode *p = channel->parameters().at(k);
                // A parameter renamed since the save is left alone.
                if (p->name() != ph.value(QStringLiteral("name")).toString())
                    continue;
                p->setIsEnabled(flag(ph, "isEnabled", p->isEnabled()));
                p->setVisualIndex(number(ph, "visualIndex", p->visualIndex()));
                p->setIsEnabledInCustomView(flag(ph, "isEnabledInCustomView", p->isEnabledInCustomView()));
                p->setCustomViewVisualIndex(number(ph, "customViewVisualIndex", p->customViewVisualIndex()));
                if (own && p->isEnabled())
                    showEverywhere(system, board, p->name(), true);
                if (custom && p->isEnabledInCustomView())
                    showEverywhere(system, board, p->name(), false);
            }
        }
    }
}

bool readViewFile(const QString &path, ViewHash *hash, QString *error)
{
    *hash = ViewHash();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    if (file.size() > ViewFileFormat::MaxFileSize) {
        if (error)
            *error = QStringLiteral("the file is too large for a view file (%1 bytes)").arg(file.size());
        return false;
    }
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return ViewFileFormat::parse(data, hash, error);
}

QByteArray configurationMarker(const QString &baseName, const QList<ConfigurationGroups::Group> &groups)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QDataStream out(&buffer);
    out << baseName;
    return bytes + ConfigurationGroups::encode(groups);
}

bool saveConfiguration(const QString &path, const QList<SaveEntry> &entries, QString *error,
                       const QList<ConfigurationGroups::Group> &groups)
{
    const QString configuration = configurationFilePath(path);
    bool folderOk = false;
    const QString folder = viewFolder(configuration, true, &folderOk);
    if (!folderOk) {
        if (error)
            *error = QStringLiteral("%1: the folder cannot be created").arg(QDir::toNativeSeparators(folder));
        return false;
    }

    QList<QPair<QString, QByteArray>> files;
    files.append({configuration, configurationMarker(configurationBaseName(configuration), groups)});
    for (const SaveEntry &e : entries) {
        if (!e.node)
            continue;
        files.append({viewFilePath(folder, e.node->name(), e.node->connectionArgument()),
                      ViewFileFormat::serialize(buildViewHash(e.node, e.ownView, e.customView))});
    }

    // All temporaries first; nothing replaces an old file unless every new
    // one could be written.
    std::vector<std::unique_ptr<QSaveFile>> pending;
    for (const auto &f : files) {
        auto file = std::make_unique<QSaveFile>(f.first);
        if (!file->open(QIODevice::WriteOnly) || file->write(f.second) != f.second.size()) {
            if (error)
                *error = describe(*file);
            for (auto &p : pending)
                p->cancelWriting();
            file->cancelWriting();
            return false;
        }
        pending.push_back(std::move(file));
    }
    for (auto &file : pending) {
        if (!file->commit()) {
            if (error)
                *error = describe(*file);
            // The remaining temporaries go; files already committed stay new.
            for (auto &rest : pending)
                if (rest->isOpen())
                    rest->cancelWriting();
            return false;
        }
    }
    return true;
}

} // namespace ViewFiles
