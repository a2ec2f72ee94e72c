#include "views/SwitchOnQuestion.h"

#include "device/ORVEHVNode.h"
#include "device/OperatorMessage.h"
#include "device/ParameterCodec.h"

#include <QStringList>

namespace SwitchOnQuestion {

QList<ORVEHVNode *> switchedOn(const QList<ORVEHVNode *> &targets, const QVariant &value)
{
    QList<ORVEHVNode *> on;
    for (ORVEHVNode *n : targets) {
        if (!n || n->name() != QLatin1String("Pw") || n->dataType() != DataOnOff)
            continue;
        // read as the write will read it: "On", true, 1
        const ParameterCodec::ParseResult r = ParameterCodec::convert(n, value);
        if (r.ok && r.value.toBool())
            on << n;
    }
    return on;
}

QString text(const QList<ORVEHVNode *> &switchedOn)
{
    QStringList systems;
    QList<int> counts;
    for (const ORVEHVNode *n : switchedOn) {
        const int i = systems.indexOf(n->systemName());
        if (i < 0) {
            systems << n->systemName();
            counts << 1;
        } else {
            ++counts[i];
        }
    }
    QString where = systems.value(0);
    if (systems.size() > 1) {
        QStringList parts;
        for (int i = 0; i < systems.size(); ++i)
            parts << QStringLiteral("%0 (%1)").arg(systems.at(i)).arg(counts.at(i));
        where = parts.join(QStringLiteral(", "));
    }
    return QStringLiteral("Switch on %0 channels of %1?").arg(switchedOn.size()).arg(where);
}

bool confirm(const QList<ORVEHVNode *> &targets, const QVariant &value, QWidget *parent)
{
    const QList<ORVEHVNode *> on = switchedOn(targets, value);
    return on.size() <= 1 || askOperator(text(on), parent);
}

} // namespace SwitchOnQuestion
