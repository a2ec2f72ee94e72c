#include "views/TableRules.h"

#include "device/NodeValue.h"

#include <cmath>

namespace TableRules {

bool isCurrentSetColumn(const QString &name)
{
    return name == QLatin1String("I0Set") || name == QLatin1String("ISet");
}

bool isVoltageSetColumn(const QString &name)
{
    return name == QLatin1String("V0Set") || name == QLatin1String("VSet");
}

int offsetParamType(const QString &name)
{
    if (isCurrentSetColumn(name))
        return 0;
    if (isVoltageSetColumn(name))
        return 1;
    return -1;
}

const QVector<QStringList> &priorityPasses()
{
    static const QVector<QStringList> passes = {
        {"Name"}, {"I0Set", "ISet"}, {"V0Set", "VSet"}, {"IMon"}, {"VMon"},
        {"Pw"},   {"Status"},        {"RUp"},           {"RDwn"}, {"Trip"}};
    return passes;
}

const QStringList &minimalNames()
{
    static const QStringList names = {"Name", "I0Set", "ISet", "V0Set", "VSet", "IMon",
                                      "VMon", "Pw",    "Status", "RUp", "RDwn", "Trip"};
    return names;
}

QString rowLabel(const QString &boardName, const QString &channelName, int systemType,
                 bool customView, const QString &systemName)
{
    QString board = boardName.size() > 6 ? boardName.mid(5, 2) : QString();
    const QString channel = channelName.size() > 6 ? channelName.mid(4) : QString();
    if (customView)
        return QLatin1Char('(') + systemName + QLatin1Char(')') + board + QLatin1Char('.') + channel;
    if (systemType == 16 && !board.isEmpty()) {
        // crates of 25 slots: crate number, then the slot within it
        bool ok = false;
        const int n = board.toInt(&ok);
        if (ok)
            board = QString::number(n / 25) + QStringLiteral("%1").arg(n % 25, 2, 10, QLatin1Char('0'));
    }
    return board + QLatin1Char('.') + channel;
}

int viewModeFromChoice(const QString &choice)
{
    if (choice.contains(QLatin1String("full"), Qt::CaseInsensitive))
        return 0;
    if (choice.contains(QLatin1String("minimal"), Qt::CaseInsensitive))
        return 1;
    if (choice.contains(QLatin1String("custom"), Qt::CaseInsensitive))
        return 2;
    return -1;
}

QVector<bool> minimalColumns(const QStringList &headers)
{
    QVector<bool> shown(headers.size(), false);
    bool any = false;
    for (int i = 0; i < headers.size(); ++i) {
        shown[i] = minimalNames().contains(headers.at(i));
        any = any || shown[i];
    }
    if (!any)
        for (int i = 0; i < headers.size() && i < 3; ++i)
            shown[i] = true;
    return shown;
}

bool offsetTarget(double current, double offset, double minval, double maxval, double *result)
{
    const double v = current + offset;
    if (!std::isfinite(v) || v < minval || v > maxval)
        return false;
    if (result)
        *result = v;
    return true;
}

bool differs(const QVariant &current, const QVariant &wanted, int dataType)
{
    if (!current.isValid() || current.isNull())
        return true;
    switch (dataType) {
    case DataFloat:
        return current.toFloat() != wanted.toFloat();
    case DataText:
        return current.toString() != wanted.toString();
    case DataOnOff:
        return current.toBool() != wanted.toBool();
    case DataUInt32:
    case DataUInt16:
        return current.toUInt() != wanted.toUInt();
    default:
        return current.toLongLong() != wanted.toLongLong();
    }
}

double rangeValue(const QVariant &v, double fallback)
{
    if (!v.isValid())
        return fallback;
    bool ok = false;
    const double d = v.toDouble(&ok);
    return ok && std::isfinite(d) ? d : fallback;
}

} // namespace TableRules
