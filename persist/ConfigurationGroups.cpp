#include "persist/ConfigurationGroups.h"

#include "device/ORVEHVNode.h"

#include <QBuffer>
#include <QDataStream>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace ConfigurationGroups {

const char *const Tag = "KEBODESK groups 1";

namespace {

// Far above any real set of groups (four systems of a few thousand channels).
constexpr qint64 MaxGroupsText = 8 * 1024 * 1024;

bool fail(QString *error, const QString &why)
{
    if (error)
        *error = why;
    return false;
}

bool readMember(const QJsonValue &v, Member *m, QString *error)
{
    const QJsonObject o = v.toObject();
    const QJsonValue serial = o.value(QLatin1String("board"));
    const QJsonValue channel = o.value(QLatin1String("channel"));
    if (!v.isObject() || !o.value(QLatin1String("system")).isString() || !serial.isDouble()
        || !channel.isDouble())
        return fail(error, QStringLiteral("a member needs \"system\", \"board\" and \"channel\""));
    const double s = serial.toDouble(), c = channel.toDouble();
    if (s < 0 || s > 4294967295.0 || s != qint64(s) || c < 0 || c > 65535 || c != int(c))
        return fail(error, QStringLiteral("a member's board or channel number is out of range"));
    *m = {o.value(QLatin1String("system")).toString(), quint32(s), int(c)};
    return true;
}

bool readGroup(const QJsonValue &v, Group *g, QString *error)
{
    const QJsonObject o = v.toObject();
    if (!v.isObject() || !o.value(QLatin1String("name")).isString()
        || !o.value(QLatin1String("parameter")).isString() || !o.value(QLatin1String("members")).isArray())
        return fail(error, QStringLiteral("a group needs \"name\", \"parameter\" and \"members\""));
    g->name = o.value(QLatin1String("name")).toString();
    g->parameter = o.value(QLatin1String("parameter")).toString();
    if (g->parameter.isEmpty())
        return fail(error, QStringLiteral("group \"%1\" names no parameter").arg(g->name));
    for (const QJsonValue &m : o.value(QLatin1String("members")).toArray()) {
        Member member;
        if (!readMember(m, &member, error))
            return false;
        g->members.append(member);
    }
    return true;
}

} // namespace

QByteArray encode(const QList<Group> &groups)
{
    if (groups.isEmpty())
        return QByteArray();
    QJsonArray list;
    for (const Group &g : groups) {
        QJsonArray members;
        for (const Member &m : g.members)
            members.append(QJsonObject{{QStringLiteral("system"), m.system},
                                       {QStringLiteral("board"), double(m.boardSerial)},
                                       {QStringLiteral("channel"), m.channel}});
        list.append(QJsonObject{{QStringLiteral("name"), g.name},
                                {QStringLiteral("parameter"), g.parameter},
                                {QStringLiteral("members"), members}});
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QDataStream out(&buffer);
    out << QString::fromLatin1(Tag) << QJsonDocument(QJsonObject{{QStringLiteral("groups"), list}}).toJson();
    return bytes;
}

bool decode(const QByteArray &configurationFile, QList<Group> *groups, QString *error)
{
    groups->clear();
    QDataStream in(configurationFile);
    QString baseName, tag;
    in >> baseName;
    if (in.atEnd())
        return true;
    in >> tag;
    if (in.status() != QDataStream::Ok || tag != QLatin1String(Tag))
        return fail(error, QStringLiteral("what follows the configuration's name is not a list of groups"));
    QByteArray text;
    in >> text;
    if (in.status() != QDataStream::Ok || text.size() > MaxGroupsText)
        return fail(error, QStringLiteral("the list of groups is cut short"));
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(text, &parseError);
    if (!doc.isObject() || !doc.object().value(QLatin1String("groups")).isArray())
        return fail(error, QStringLiteral("the list of groups is not readable (%1)").arg(parseError.errorString()));
    for (const QJsonValue &v : doc.object().value(QLatin1String("groups")).toArray()) {
        Group g;
        if (!readGroup(v, &g, error)) {
            groups->clear();
            return false;
        }
        groups->append(g);
    }
    return true;
}

bool memberOf(const ORVEHVNode *channel, const QList<ORVEHVNode *> &systems, Member *member)
{
    for (const ORVEHVNode *system : systems)
        for (const ORVEHVNode *board : system->children()) {
            if (board->kind() != KindBoard)
                continue;
            const int position = board->children().indexOf(const_cast<ORVEHVNode *>(channel));
            if (position >= 0) {
                *member = {system->connectionArgument(), board->serialNumber(), position};
                return true;
            }
        }
    return false;
}

ORVEHVNode *channelOf(const Member &member, const QList<ORVEHVNode *> &systems)
{
    for (ORVEHVNode *system : systems) {
        if (system->connectionArgument() != member.system)
            continue;
        for (ORVEHVNode *board : system->children())
            if (board->kind() == KindBoard && board->serialNumber() == member.boardSerial)
                return member.channel < board->children().size() ? board->children().at(member.channel) : nullptr;
    }
    return nullptr;
}

} // namespace ConfigurationGroups
