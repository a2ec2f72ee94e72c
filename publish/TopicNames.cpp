#include "publish/TopicNames.h"

namespace TopicNames {

namespace {

QString number(int n)
{
    return n < 0 ? QStringLiteral("-") : QString::number(n);
}

QByteArray join(const QString &station, const QString &rest)
{
    return (QStringLiteral("kebodesk/") + part(station) + QLatin1Char('/') + rest).toUtf8();
}

} // namespace

QString part(const QString &name)
{
    QString out = name;
    for (QChar &c : out)
        if (c == QLatin1Char('+') || c == QLatin1Char('#') || c == QLatin1Char('/') || c.unicode() < 0x20
            || c.unicode() == 0x7f)
            c = QLatin1Char('_');
    return out.isEmpty() ? QStringLiteral("_") : out;
}

QByteArray value(const QString &station, const QString &system, int board, int channel, const QString &parameter)
{
    return join(station, part(system) + QLatin1Char('/') + number(board) + QLatin1Char('/') + number(channel)
                             + QLatin1Char('/') + part(parameter));
}

QByteArray journal(const QString &station)
{
    return join(station, QStringLiteral("journal"));
}

QByteArray presence(const QString &station)
{
    return join(station, QStringLiteral("status"));
}

QByteArray counts(const QString &station)
{
    return join(station, QStringLiteral("counts"));
}

} // namespace TopicNames
