#include "snapshot/SnapshotJson.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QSet>

#include <cmath>

namespace snapshot {

namespace {

const QLatin1String FormatName("kebodesk-snapshot");

// Bounds of a sane file: well above any real system, far below what would
// exhaust memory or freeze the dialog.
constexpr int MaxSystems = 16;
constexpr int MaxBoards = 256;
constexpr int MaxSlot = 1023;
constexpr int MaxChannels = 1024;
constexpr int MaxSetpointsPerItem = 64;
constexpr int MaxTotalSetpoints = 400000;
constexpr int MaxNameLength = 64;
constexpr int MaxTextLength = 2048;

QJsonObject setpointsObject(const Setpoints &list)
{
    QJsonObject o;
    for (const Setpoint &s : list)
        o.insert(s.name, QJsonValue::fromVariant(s.value));
    return o;
}

// Reads one snapshot, keeping the path of the field being read for the
// message of the first check that fails.
class Reader
{
public:
    QString error;
    int totalSetpoints = 0;

    bool fail(const QString &path, const QString &what)
    {
        if (error.isEmpty())
            error = path.isEmpty() ? what : QStringLiteral("%1: %2").arg(path, what);
        return false;
    }

    bool text(const QJsonObject &o, const QString &path, const char *key, int maxLength, QString &out,
              bool required = true)
    {
        const QJsonValue v = o.value(QLatin1String(key));
        if (v.isUndefined() && !required)
            return true;
        if (!v.isString())
            return fail(path + QLatin1Char('.') + QLatin1String(key), QStringLiteral("a text is expected"));
        if (v.toString().size() > maxLength)
            return fail(path + QLatin1Char('.') + QLatin1String(key),
                        QStringLiteral("longer than %1 characters").arg(maxLength));
        out = v.toString();
        return true;
    }

    bool integer(const QJsonObject &o, const QString &path, const char *key, double lo, double hi, double &out,
                 bool required = true)
    {
        const QJsonValue v = o.value(QLatin1String(key));
        if (v.isUndefined() && !required)
            return true;
        const QString where = path + QLatin1Char('.') + QLatin1String(key);
        if (!v.isDouble())
            return fail(where, QStringLiteral("a number is expected"));
        const double d = v.toDouble();
        if (d != std::floor(d) || d < lo || d > hi)
            return fail(where, QStringLiteral("a whole number from %1 to %2 is expected").arg(lo).arg(hi));
        out = d;
        return true;
    }

    bool array(const QJsonObject &o, const QString &path, const char *key, int maxCount, QJsonArray &out)
    {
        const QJsonValue v = o.value(QLatin1String(key));
        const QString where = path + QLatin1Char('.') + QLatin1String(key);
        if (!v.isArray())
            return fail(where, QStringLiteral("a list is expected"));
        out = v.toArray();
        if (out.size() > maxCount)
            return fail(where, QStringLiteral("%1 entries, at most %2 are possible").arg(out.size()).arg(maxCount));
        return true;
    }

    bool object(const QJsonValue &v, const QString &path, QJsonObject &out)
    {
        if (!v.isObject())
            return fail(path, QStringLiteral("an object is expected"));
        out = v.toObject();
        return true;
    }

    bool setpoints(const QJsonObject &o, const QString &path, Setpoints &out)
    {
        const QString where = path + QLatin1String(".setpoints");
        QJsonObject sp;
        if (!object(o.value(QLatin1String("setpoints")), where, sp))
            return false;
        if (sp.size() > MaxSetpointsPerItem)
            return fail(where, QStringLiteral("%1 values, at most %2 are possible").arg(sp.size()).arg(MaxSetpointsPerItem));
        totalSetpoints += sp.size();
        if (totalSetpoints > MaxTotalSetpoints)
            return fail(where, QStringLiteral("more than %1 values in the file").arg(MaxTotalSetpoints));
        out.reserve(sp.size());
        for (auto it = sp.begin(); it != sp.end(); ++it) {
            const QString name = it.key();
            const QString at = where + QLatin1Char('.') + name;
            if (name.isEmpty() || name.size() > MaxNameLength)
                return fail(where, QStringLiteral("a parameter name of 1 to %1 characters is expected").arg(MaxNameLength));
            const QJsonValue v = it.value();
            QVariant value;
            if (v.isBool())
                value = v.toBool();
            else if (v.isString() && v.toString().size() <= MaxTextLength)
                value = v.toString();
            else if (v.isDouble() && std::isfinite(v.toDouble()))
                value = v.toDouble();
            else
                return fail(at, QStringLiteral("a number, on/off or text is expected"));
            out.append({name, value});
        }
        return true;
    }

    bool readback(const QJsonObject &o, const QString &path, Readback &out)
    {
        const QJsonValue v = o.value(QLatin1String("readback"));
        if (v.isUndefined())
            return true;
        QJsonObject r;
        if (!object(v, path + QLatin1String(".readback"), r))
            return false;
        const QString where = path + QLatin1String(".readback");
        for (const char *key : {"VMon", "IMon"}) {
            const QJsonValue x = r.value(QLatin1String(key));
            if (!x.isDouble() || !std::isfinite(x.toDouble()))
                return fail(where + QLatin1Char('.') + QLatin1String(key), QStringLiteral("a number is expected"));
        }
        double status = 0;
        if (!integer(r, where, "Status", -2147483648.0, 4294967295.0, status))
            return false;
        out.valid = true;
        out.vmon = r.value(QLatin1String("VMon")).toDouble();
        out.imon = r.value(QLatin1String("IMon")).toDouble();
        out.status = qint64(status);
        return true;
    }

    // Every entry of a list read by `read`; the number `key` of each entry
    // (slot, channel) may appear once only.
    template <typename Record>
    bool entries(const QJsonArray &list, const QString &path, QVector<Record> &out,
                 bool (Reader::*read)(const QJsonValue &, const QString &, Record &), int Record::*key, const char *what)
    {
        QSet<int> seen;
        out.resize(list.size());
        for (int i = 0; i < list.size(); ++i) {
            const QString at = QStringLiteral("%1[%2]").arg(path).arg(i);
            if (!(this->*read)(list.at(i), at, out[i]))
                return false;
            if (seen.contains(out[i].*key))
                return fail(at, QStringLiteral("%1 %2 appears twice").arg(QLatin1String(what)).arg(out[i].*key));
            seen.insert(out[i].*key);
        }
        return true;
    }

    bool channel(const QJsonValue &v, const QString &path, ChannelRecord &out)
    {
        QJsonObject o;
        double ch = 0;
        if (!object(v, path, o) || !integer(o, path, "channel", 0, MaxChannels - 1, ch))
            return false;
        out.channel = int(ch);
        return setpoints(o, path, out.setpoints) && readback(o, path, out.readback);
    }

    bool board(const QJsonValue &v, const QString &path, BoardRecord &out)
    {
        QJsonObject o;
        double slot = 0, serial = 0;
        QJsonArray channels;
        if (!object(v, path, o) || !integer(o, path, "slot", 0, MaxSlot, slot)
            || !text(o, path, "model", MaxNameLength, out.model)
            || !integer(o, path, "serial", 0, 4294967295.0, serial) || !setpoints(o, path, out.setpoints)
            || !array(o, path, "channels", MaxChannels, channels))
            return false;
        out.slot = int(slot);
        out.serial = quint32(serial);
        return entries(channels, path + QStringLiteral(".channels"), out.channels, &Reader::channel,
                       &ChannelRecord::channel, "channel");
    }

    bool system(const QJsonValue &v, const QString &path, SystemRecord &out)
    {
        QJsonObject o;
        double type = 0, link = 0, slotCount = 0, unreadable = 0;
        QJsonArray boards;
        if (!object(v, path, o) || !text(o, path, "name", 256, out.name)
            || !integer(o, path, "type", 0, 255, type) || !integer(o, path, "link", 0, 255, link)
            || !text(o, path, "argument", 255, out.key.argument)
            || !integer(o, path, "slots", 0, MaxSlot + 1, slotCount)
            || !integer(o, path, "unreadable", 0, MaxTotalSetpoints, unreadable, false)
            || !setpoints(o, path, out.setpoints) || !array(o, path, "boards", MaxBoards, boards))
            return false;
        out.key.systemType = int(type);
        out.key.linkType = int(link);
        out.slotCount = int(slotCount);
        out.unreadable = int(unreadable);
        return entries(boards, path + QStringLiteral(".boards"), out.boards, &Reader::board, &BoardRecord::slot, "slot");
    }

    bool snapshot(const QJsonObject &o, Snapshot &out)
    {
        if (o.value(QLatin1String("format")).toString() != FormatName)
            return fail(QString(), QStringLiteral("this is not a KEBODESK snapshot file"));
        double schema = 0;
        if (!integer(o, QStringLiteral("file"), "schema", 1, 1e9, schema))
            return false;
        if (schema > SchemaVersion)
            return fail(QString(), QStringLiteral("the file was written by a newer KEBODESK (schema %1, this one reads up to %2)")
                                       .arg(schema).arg(SchemaVersion));
        QString taken;
        QJsonArray systems;
        if (!text(o, QStringLiteral("file"), "id", 128, out.id) || !text(o, QStringLiteral("file"), "taken", 64, taken)
            || !text(o, QStringLiteral("file"), "comment", 4096, out.comment)
            || !array(o, QStringLiteral("file"), "systems", MaxSystems, systems))
            return false;
        out.taken = QDateTime::fromString(taken, Qt::ISODateWithMs);
        if (!out.taken.isValid())
            return fail(QStringLiteral("file.taken"), QStringLiteral("a date and time is expected"));
        for (const QChar c : out.id)
            if (!(c.isLetterOrNumber() || c == QLatin1Char('-') || c == QLatin1Char('_')) || c.unicode() > 127)
                return fail(QStringLiteral("file.id"), QStringLiteral("only letters, digits, '-' and '_' are possible"));
        if (out.id.isEmpty())
            return fail(QStringLiteral("file.id"), QStringLiteral("must not be empty"));
        out.systems.resize(systems.size());
        for (int i = 0; i < systems.size(); ++i)
            if (!system(systems.at(i), QStringLiteral("systems[%1]").arg(i), out.systems[i]))
                return false;
        return true;
    }
};

} // namespace

QByteArray toJson(const Snapshot &snap)
{
    QJsonArray systems;
    for (const SystemRecord &s : snap.systems) {
        QJsonArray boards;
        for (const BoardRecord &b : s.boards) {
            QJsonArray channels;
            for (const ChannelRecord &c : b.channels) {
                QJsonObject ch{{QStringLiteral("channel"), c.channel},
                               {QStringLiteral("setpoints"), setpointsObject(c.setpoints)}};
                if (c.readback.valid)
                    ch.insert(QStringLiteral("readback"),
                              QJsonObject{{QStringLiteral("VMon"), c.readback.vmon},
                                          {QStringLiteral("IMon"), c.readback.imon},
                                          {QStringLiteral("Status"), double(c.readback.status)}});
                channels.append(ch);
            }
            boards.append(QJsonObject{{QStringLiteral("slot"), b.slot},
                                      {QStringLiteral("model"), b.model},
                                      {QStringLiteral("serial"), double(b.serial)},
                                      {QStringLiteral("setpoints"), setpointsObject(b.setpoints)},
                                      {QStringLiteral("channels"), channels}});
        }
        systems.append(QJsonObject{{QStringLiteral("name"), s.name},
                                   {QStringLiteral("type"), s.key.systemType},
                                   {QStringLiteral("link"), s.key.linkType},
                                   {QStringLiteral("argument"), s.key.argument},
                                   {QStringLiteral("slots"), s.slotCount},
                                   {QStringLiteral("unreadable"), s.unreadable},
                                   {QStringLiteral("setpoints"), setpointsObject(s.setpoints)},
                                   {QStringLiteral("boards"), boards}});
    }
    const QJsonObject root{{QStringLiteral("format"), FormatName},
                           {QStringLiteral("schema"), SchemaVersion},
                           {QStringLiteral("id"), snap.id},
                           {QStringLiteral("taken"), snap.taken.toString(Qt::ISODateWithMs)},
                           {QStringLiteral("comment"), snap.comment},
                           {QStringLiteral("systems"), systems}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

bool fromJson(const QByteArray &json, Snapshot *out, QString *error)
{
    auto refuse = [error](const QString &text) {
        if (error)
            *error = text;
        return false;
    };
    if (json.size() > MaxFileBytes)
        return refuse(QStringLiteral("The file is %1 MB; a snapshot file has at most %2 MB.")
                          .arg(json.size() / (1024 * 1024)).arg(MaxFileBytes / (1024 * 1024)));
    QJsonParseError parse;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parse);
    if (parse.error != QJsonParseError::NoError)
        return refuse(QStringLiteral("The file is not valid JSON (%1 at byte %2).").arg(parse.errorString()).arg(parse.offset));
    if (!doc.isObject())
        return refuse(QStringLiteral("The file is not a KEBODESK snapshot file."));
    Reader reader;
    Snapshot snap;
    if (!reader.snapshot(doc.object(), snap))
        return refuse(QStringLiteral("The snapshot file is refused: %1.").arg(reader.error));
    if (out)
        *out = snap;
    return true;
}

bool saveFile(const Snapshot &snap, const QString &path, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = QStringLiteral("%1 cannot be written: %2.").arg(path, file.errorString());
        return false;
    }
    file.write(toJson(snap));
    if (!file.commit()) {
        if (error)
            *error = QStringLiteral("%1 could not be written completely: %2.").arg(path, file.errorString());
        return false;
    }
    return true;
}

bool loadFile(const QString &path, Snapshot *out, QString *error)
{
    QFile file(path);
    if (QFileInfo(path).size() > MaxFileBytes) {
        if (error)
            *error = QStringLiteral("%1 is %2 MB; a snapshot file has at most %3 MB.")
                         .arg(path)
                         .arg(QFileInfo(path).size() / (1024 * 1024))
                         .arg(MaxFileBytes / (1024 * 1024));
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("%1 cannot be read: %2.").arg(path, file.errorString());
        return false;
    }
    // read at most one byte past the limit: a file that grew meanwhile is refused too
    return fromJson(file.read(MaxFileBytes + 1), out, error);
}

} // namespace snapshot
