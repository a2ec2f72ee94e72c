#include "app/MainWindowLogic.h"

#include <QLocale>
#include <QSaveFile>
#include <QTextStream>

namespace MainWindowLogic {

StartupResources startupResources(int territory)
{
    // Window icon, splash and style sheet always come from the same set.
    if (territory == int(QLocale::India))
        return {QStringLiteral(":/Resources/Elementi/iconI.ico"),
                QStringLiteral(":/Resources/Elementi/splashscrI-WIDE_KEBO.jpg"),
                QStringLiteral(":/Resources/stylesheet-I.qss")};
    return {QStringLiteral(":/Resources/Elementi/icon.ico"),
            QStringLiteral(":/Resources/Elementi/splashscr-WIDE_KEBO.jpg"),
            QStringLiteral(":/Resources/stylesheet-3.qss")};
}

QString uniqueDisplayName(const QString &requested, const QStringList &existingNames)
{
    QString name = requested.isEmpty() ? QStringLiteral("System") : requested;
    // Every pass appends a longer suffix, so a name longer than all existing
    // ones ends the loop.
    for (int k = 0;; ++k) {
        bool matched = false;
        for (const QString &other : existingNames) {
            if (name.compare(other, Qt::CaseInsensitive) == 0) {
                matched = true;
                break;
            }
        }
        if (!matched)
            return name;
        name += QStringLiteral("(%1)").arg(k + 1);
    }
}

bool connectionArgumentFits(const QString &connectionArgument)
{
    return connectionArgument.toLocal8Bit().size() < 80;
}

QString connectionFailureText(const QString &name, int result)
{
    QString text = QStringLiteral("Unable to connect to %1.").arg(name);
    if (result == ORVEHV_ERR_LOGIN)
        text += QStringLiteral("\nIncorrect username or password.");
    else
        text += QStringLiteral("\nSome errors occourred.");
    return text;
}

QString disconnectedSystemName(const QString &nodeName, int systemType)
{
    QString name = nodeName.isEmpty() ? QStringLiteral("ORVE") : nodeName;
    if (systemType == ORVEHV_SYS_VMEHV)
        name += QStringLiteral(" on ORVE HV VME Crate");
    return name;
}

QString disconnectionText(const QString &name, int errorCode)
{
    switch (errorCode) {
    case 0:
        return QStringLiteral("%1 is no longer connected.\nPlease check your network and try to reconnect.").arg(name);
    case 1:
        return QStringLiteral("%1 can't reach connection\nwith %2.\nPlease check your firewall rules\nand try to reconnect.")
            .arg(QStringLiteral("KEBODESK"), name);
    default:
        return QStringLiteral("%1 is no longer connected. Some error occourred, please reconnect.").arg(name);
    }
}

QString sessionNoticeText(const QString &connectionArgument)
{
    return QStringLiteral("Someone has connected to\n(disconnected from)\n %1").arg(connectionArgument);
}

EventLamps eventLamps(const ORVEHV_SYSTEMSTATUS_t &status)
{
    EventLamps lamps;
    auto look = [&lamps](int word) {
        if (word == 0)
            lamps.sync = true;
        else if (word == 1)
            lamps.warning = true;
        else if (word == 2)
            lamps.error = true;
    };
    look(status.System);
    for (int i = 0; i < ORVEHV_MAX_BOARDS; ++i)
        look(status.Board[i]);
    return lamps;
}

QString unsubscribedReport(const QString &systemName, const SubscriptionFailureList &systemFailures,
                           const SubscriptionFailureList &boardFailures,
                           const SubscriptionFailureList &channelFailures)
{
    QString text;
    text += QStringLiteral("List of unsubscribed parameters:\n\n");
    text += QStringLiteral("SYSTEM\t|\tBOARD\t|\tCHANNEL\t|\tPARAMETER\n\n");
    const QString line = QStringLiteral("%1\t|\t%2\t|\t%3\t|\t%4\n");
    const QString noBoard(5, QLatin1Char(' '));
    const QString noChannel(7, QLatin1Char(' '));
    for (const SubscriptionFailure &f : systemFailures)
        text += line.arg(systemName, noBoard, noChannel, f.parameterName);
    for (const SubscriptionFailure &f : boardFailures)
        text += line.arg(systemName, QString::number(f.boardIndex), noChannel, f.parameterName);
    for (const SubscriptionFailure &f : channelFailures)
        text += line.arg(systemName, QString::number(f.boardIndex), QString::number(f.channelIndex),
                         f.parameterName);
    text += QStringLiteral("\n");
    text += QString(87, QLatin1Char('-')) + QStringLiteral("\n");
    text += QStringLiteral("\n");
    return text;
}

bool writeUnsubscribedReport(const QString &fileName, const QString &text, QString *error)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    QTextStream out(&file);
    out << text;
    out.flush();
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

QString quitQuestionText(const QStringList &systemNames)
{
    return QStringLiteral("Quit KEBODESK and disconnect %1?\n"
                          "The systems keep their channels as they are now.")
        .arg(systemNames.join(QStringLiteral(", ")));
}

QList<QRect> stackedRows(const QRect &area, int count)
{
    QList<QRect> rows;
    if (count <= 0 || area.isEmpty())
        return rows;
    const int height = area.height() / count;
    for (int i = 0; i < count; ++i) {
        const int top = area.top() + i * height;
        const int bottom = i == count - 1 ? area.bottom() : top + height - 1;
        rows.append(QRect(QPoint(area.left(), top), QPoint(area.right(), bottom)));
    }
    return rows;
}

} // namespace MainWindowLogic
