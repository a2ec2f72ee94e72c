#include "snapshot/SnapshotCompare.h"

namespace snapshot {

namespace {

struct Comparer
{
    QVector<Difference> out;
    const SystemRecord *system = nullptr;

    Difference base(int slot, int channel, const QString &parameter) const
    {
        Difference d;
        d.address = {system->key, slot, channel, parameter};
        d.systemName = system->name;
        return d;
    }

    void setpoints(const Setpoints &a, const Setpoints &b, int slot, int channel, const Readback *ra,
                   const Readback *rb)
    {
        auto add = [&](const QString &name, const QVariant &x, const QVariant &y) {
            Difference d = base(slot, channel, name);
            d.before = x;
            d.after = y;
            if (ra)
                d.beforeReadback = *ra;
            if (rb)
                d.afterReadback = *rb;
            out.append(d);
        };
        for (const Setpoint &s : a) {
            const Setpoint *other = findSetpoint(b, s.name);
            if (!other || !sameValue(s.value, other->value))
                add(s.name, s.value, other ? other->value : QVariant());
        }
        for (const Setpoint &s : b)
            if (!findSetpoint(a, s.name))
                add(s.name, QVariant(), s.value);
    }

    void presence(int slot, int channel, const QString &what, const QVariant &before, const QVariant &after)
    {
        Difference d = base(slot, channel, what);
        d.before = before;
        d.after = after;
        out.append(d);
    }

    void board(const BoardRecord &a, const BoardRecord &b)
    {
        if (a.model != b.model || a.serial != b.serial)
            presence(a.slot, -1, QStringLiteral("Board"), a.identityText(), b.identityText());
        setpoints(a.setpoints, b.setpoints, a.slot, -1, nullptr, nullptr);
        for (const ChannelRecord &c : a.channels) {
            const ChannelRecord *o = b.findChannel(c.channel);
            if (!o)
                presence(a.slot, c.channel, QStringLiteral("Channel"), QStringLiteral("present"), QVariant());
            else
                setpoints(c.setpoints, o->setpoints, a.slot, c.channel, &c.readback, &o->readback);
        }
        for (const ChannelRecord &c : b.channels)
            if (!a.findChannel(c.channel))
                presence(a.slot, c.channel, QStringLiteral("Channel"), QVariant(), QStringLiteral("present"));
    }

    void systems(const SystemRecord &a, const SystemRecord &b)
    {
        system = &a;
        setpoints(a.setpoints, b.setpoints, -1, -1, nullptr, nullptr);
        for (const BoardRecord &x : a.boards) {
            const BoardRecord *y = b.findBoard(x.slot);
            if (y)
                board(x, *y);
            else
                presence(x.slot, -1, QStringLiteral("Board"), x.identityText(), QVariant());
        }
        for (const BoardRecord &y : b.boards)
            if (!a.findBoard(y.slot))
                presence(y.slot, -1, QStringLiteral("Board"), QVariant(), y.identityText());
    }
};

} // namespace

QVector<Difference> compare(const Snapshot &first, const Snapshot &second)
{
    Comparer c;
    for (const SystemRecord &a : first.systems) {
        const SystemRecord *b = second.findSystem(a.key);
        c.system = &a;
        if (b)
            c.systems(a, *b);
        else
            c.presence(-1, -1, QStringLiteral("System"), a.name, QVariant());
    }
    for (const SystemRecord &b : second.systems) {
        if (!first.findSystem(b.key)) {
            c.system = &b;
            c.presence(-1, -1, QStringLiteral("System"), QVariant(), b.name);
        }
    }
    return c.out;
}

QString placeText(const ItemAddress &a)
{
    if (a.slot < 0)
        return QString();
    QString text = QStringLiteral("Board%1").arg(a.slot, 2, 10, QLatin1Char('0'));
    if (a.channel >= 0)
        text += QStringLiteral(" Chan%1").arg(a.channel, 3, 10, QLatin1Char('0'));
    return text;
}

QString readbackText(const Readback &r)
{
    if (!r.valid)
        return QStringLiteral("-");
    return QStringLiteral("%1 V at %2 µA, status 0x%3")
        .arg(r.vmon, 0, 'f', 1)
        .arg(r.imon, 0, 'f', 2)
        .arg(QString::number(quint32(r.status), 16).toUpper());
}

} // namespace snapshot
