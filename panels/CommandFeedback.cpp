#include "panels/CommandFeedback.h"

#include "device/ORVEHVNode.h"
#include "device/OperatorMessage.h"

#include "ORVEHVWrapper.h"

#include <QVariant>

namespace CommandFeedback {

namespace {
CommandObserver &observer()
{
    static CommandObserver o;
    return o;
}
} // namespace

void setCommandObserver(CommandObserver o) { observer() = std::move(o); }

void commandDone(const QString &command, const QString &systemName, int result)
{
    if (observer())
        observer()(command, systemName, result);
}

QString libraryErrorText(int code)
{
    QString what;
    switch (code) {
    case -1: what = QStringLiteral("the item cannot be written"); break;
    case ORVEHV_ERR_BAD_HANDLE: what = QStringLiteral("the system is not connected"); break;
    case ORVEHV_ERR_CONNECTION_LOST: what = QStringLiteral("the connection to the system is lost"); break;
    case ORVEHV_ERR_UNKNOWN_PARAM: what = QStringLiteral("the system does not know the item"); break;
    case ORVEHV_ERR_OUT_OF_RANGE: what = QStringLiteral("the value is out of range"); break;
    case ORVEHV_ERR_WRITE_REFUSED: what = QStringLiteral("the system refused it"); break;
    case ORVEHV_ERR_BAD_ARGUMENT: what = QStringLiteral("the value is not valid"); break;
    case ORVEHV_ERR_DEVICE: what = QStringLiteral("the system did not answer"); break;
    case ORVEHV_ERR_UNSUPPORTED: what = QStringLiteral("the system does not support it"); break;
    default: what = QStringLiteral("the device library reported an error"); break;
    }
    return QStringLiteral("%0 (error %1)").arg(what).arg(code);
}

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

QString writeFailedText(const QString &parameter, const QString &systemName, int code)
{
    return QStringLiteral("%0 could not be written on system %1:\n%2.")
        .arg(parameter, systemName, libraryErrorText(code));
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
    const int result = property ? property->writeValue(value) : ORVEHV_ERR_UNKNOWN_PARAM;
    if (result == 0)
        return true;
    reportFailure(writeFailedText(property ? property->name() : name, systemNode->name(), result), parent);
    return false;
}

} // namespace CommandFeedback
