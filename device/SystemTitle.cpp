#include "device/SystemTitle.h"

#include "device/ORVEHVNode.h"
#include "device/QSystemInterface.h"

namespace SystemTitle {

namespace {
QString joined(const QString &title, const QString &name)
{
    return name.isEmpty() ? title : QStringLiteral("%1 - %2").arg(title, name);
}
} // namespace

QString nameOf(const QSystemInterface *system)
{
    if (!system)
        return QString();
    const QString node = nameOf(system->systemNode());
    return node.isEmpty() ? system->displayName() : node;
}

QString nameOf(const ORVEHVNode *systemNode)
{
    return systemNode ? systemNode->name() : QString();
}

QString of(const QString &title, const QSystemInterface *system)
{
    return joined(title, nameOf(system));
}

QString of(const QString &title, const ORVEHVNode *systemNode)
{
    return joined(title, nameOf(systemNode));
}

} // namespace SystemTitle
