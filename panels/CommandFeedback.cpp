#include "panels/CommandFeedback.h"

#include "device/ORVEHVNode.h"
#include "device/OperatorMessage.h"
#include "device/ParameterAccess.h"

#include "ORVEHVWrapper.h"

#include <QVariant>

namespace CommandFeedback {

QString commandFailedText(const QString &command, const QString &systemName, int code)
{
    return QStringLiteral("%0 failed on system %1:\n%2.").arg(command, systemName, libraryErrorText(code));
}

QString batchFailedText(const QString &command, const QString &systemName, const BatchResult &result,
                        const QString &what, const QString &done)
{
    return QStringLiteral("%0 was not carried out completely on system %1:\n%2 of %3 %4 were not %5 (%6).")
        .arg(command, systemName)
        .arg(result.failed)
        .arg(result.attempted)
        .arg(what, done, libraryErrorText(result.firstError));
}

QString writeFailedText(const QString &parameter, const QString &systemName, const QString &reason)
{
    return QStringLiteral("%0 could not be written on system %1:\n%2.").arg(parameter, systemName, reason);
}

void reportFailure(const QString &text, QWidget *parent)
{
    showOperatorMessage({QMessageBox::Warning, text, QString(), {}}, parent);
}

ORVEHVNode *systemProperty(const ORVEHVNode *systemNode, const QString &name)
{
    if (!systemNode)
        return nullptr;
    for (ORVEHVNode *p : systemNode->parameters())
        if (p->kind() == KindSystemProperty && p->name().compare(name, Qt::CaseInsensitive) == 0)
            return p;
    return nullptr;
}

bool writeProperty(const ORVEHVNode *systemNode, const QString &name, const QVariant &value, QWidget *parent)
{
    if (!systemNode)
        return false;
    ORVEHVNode *property = systemProperty(systemNode, name);
    QString reason = libraryErrorText(ORVEHV_ERR_UNKNOWN_PARAM);
    if (property && property->writeValue(value, &reason) == 0)
        return true;
    reportFailure(writeFailedText(property ? property->name() : name, systemNode->name(), reason), parent);
    return false;
}

} // namespace CommandFeedback
