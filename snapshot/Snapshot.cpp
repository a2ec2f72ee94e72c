#include "snapshot/Snapshot.h"

#include <QUuid>
#include <cmath>

namespace snapshot {

const Setpoint *findSetpoint(const Setpoints &list, const QString &name)
{
    for (const Setpoint &s : list)
        if (s.name == name)
            return &s;
    return nullptr;
}

const ChannelRecord *BoardRecord::findChannel(int ch) const
{
    // channels are recorded in order, so the index usually is the number
    if (ch >= 0 && ch < channels.size() && channels.at(ch).channel == ch)
        return &channels.at(ch);
    for (const ChannelRecord &c : channels)
        if (c.channel == ch)
            return &c;
    return nullptr;
}

QString BoardRecord::identityText() const
{
    return QStringLiteral("%1 #%2").arg(model).arg(serial);
}

const BoardRecord *SystemRecord::findBoard(int slot) const
{
    for (const BoardRecord &b : boards)
        if (b.slot == slot)
            return &b;
    return nullptr;
}

const SystemRecord *Snapshot::findSystem(const SystemKey &key) const
{
    for (const SystemRecord &s : systems)
        if (s.key == key)
            return &s;
    return nullptr;
}

int Snapshot::setpointCount() const
{
    int n = 0;
    for (const SystemRecord &s : systems) {
        n += s.setpoints.size();
        for (const BoardRecord &b : s.boards) {
            n += b.setpoints.size();
            for (const ChannelRecord &c : b.channels)
                n += c.setpoints.size();
        }
    }
    return n;
}

int Snapshot::channelCount() const
{
    int n = 0;
    for (const SystemRecord &s : systems)
        for (const BoardRecord &b : s.boards)
            n += b.channels.size();
    return n;
}

QString addressKey(const ItemAddress &a)
{
    return QStringLiteral("%1/%2/%3|%4|%5|%6")
        .arg(a.system.systemType)
        .arg(a.system.linkType)
        .arg(a.system.argument.toLower())
        .arg(a.slot)
        .arg(a.channel)
        .arg(a.parameter);
}

namespace {
bool isText(const QVariant &v)
{
    return v.typeId() == QMetaType::QString;
}
bool isBool(const QVariant &v)
{
    return v.typeId() == QMetaType::Bool;
}
} // namespace

bool sameValue(const QVariant &a, const QVariant &b)
{
    if (!a.isValid() || !b.isValid())
        return a.isValid() == b.isValid();
    if (isText(a) || isText(b))
        return isText(a) && isText(b) && a.toString() == b.toString();
    if (isBool(a) || isBool(b))
        return a.toBool() == b.toBool();
    const float x = float(a.toDouble());
    const float y = float(b.toDouble());
    return x == y || (std::isnan(x) && std::isnan(y));
}

QString valueText(const QVariant &v)
{
    if (!v.isValid())
        return QStringLiteral("-");
    if (isText(v))
        return QLatin1Char('"') + v.toString() + QLatin1Char('"');
    if (isBool(v))
        return v.toBool() ? QStringLiteral("On") : QStringLiteral("Off");
    // the 32-bit float the device holds, without the digits a double adds
    return QString::number(double(float(v.toDouble())), 'g', 7);
}

QString newSnapshotId(const QDateTime &when)
{
    return when.toUTC().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz")) + QLatin1Char('-')
           + QUuid::createUuid().toString(QUuid::Id128).left(8);
}

} // namespace snapshot
