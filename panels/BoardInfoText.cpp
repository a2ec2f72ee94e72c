#include "panels/BoardInfoText.h"

#include "device/ORVEHVNode.h"
#include "device/ValueText.h"

#include <QStringList>

namespace BoardInfoText {

QString rackPosition(int slot)
{
    return QStringLiteral("Crate%1 Board%2").arg(slot / 25).arg(slot % 25);
}

QString vmeBaseAddress(const QString &connectionArgument)
{
    const QStringList fields = connectionArgument.split(QLatin1Char('_'));
    if (fields.size() < 3 || fields.at(2).isEmpty())
        return QString();
    QString address = fields.at(2);
    if (address.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        address = address.mid(2);
    return QStringLiteral("0x") + address;
}

QString boardTitle(const ORVEHVNode *board, int systemType)
{
    if (!board)
        return QString();
    const QString name = systemType == 16 ? rackPosition(board->slot()) : board->name();
    QString title = name;
    if (!board->model().isEmpty())
        title += QStringLiteral(" - ") + board->model();
    QStringList extra;
    extra << QStringLiteral("[%0]").arg(board->serialNumber());
    if (systemType == 5) {
        const QString base = vmeBaseAddress(board->connectionArgument());
        if (!base.isEmpty())
            extra << QStringLiteral("[%0]").arg(base);
    }
    if (!board->firmwareMajor().isEmpty() || !board->firmwareMinor().isEmpty())
        extra << QStringLiteral("(Fw Rel. %0.%1)").arg(board->firmwareMajor(), board->firmwareMinor());
    return title + QStringLiteral("  ") + extra.join(QStringLiteral("  "));
}

QString valueKey(int handle, int slot, const QString &name)
{
    return QStringLiteral("%0:%1:%2").arg(handle).arg(slot).arg(name);
}

QString parameterText(const ORVEHVNode *parameter)
{
    if (!parameter)
        return QString();
    const NodeValue v = parameter->value();
    if (v.status == ValueNeverRead || !v.value.isValid())
        return QStringLiteral("-");
    if (parameter->libraryType() == 3) {
        const int word = v.value.toInt();
        const QString text = boardStatusText(parameter->systemType(), word);
        if (!text.isEmpty())
            return text;
        // Families without a text for a clean (or an unknown) word.
        return word == 0 ? QStringLiteral("Ok") : QStringLiteral("0x") + hexText(word);
    }
    return parameter->cellText().trimmed();
}

bool isAlarm(const ORVEHVNode *parameter)
{
    return parameter && parameter->libraryType() == 3 && parameter->value().status != ValueNeverRead
           && parameter->value().value.toInt() != 0;
}

} // namespace BoardInfoText
