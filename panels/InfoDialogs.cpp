#include "panels/InfoDialogs.h"

#include "device/ORVEHVNode.h"
#include "device/OperatorMessage.h"
#include "device/SystemTitle.h"
#include "panels/InfoTexts.h"
#include "panels/QAboutDialog.h"
#include "panels/QCrateMapDialog.h"
#include "panels/QSessionDialog.h"
#include "panels/QSysInfoDialog.h"
#include "panels/QTechInfoB8181Dialog.h"
#include "panels/QTechInfoDialog.h"
#include "panels/WebPageLoader.h"
#include "panels/web/WebAddress.h"

namespace InfoDialogs {

namespace {

// Every dialog names the system it shows.
void showModeless(QDialog *dialog, const ORVEHVNode *systemNode)
{
    dialog->setWindowTitle(SystemTitle::of(dialog->windowTitle(), systemNode));
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

} // namespace

void openSessions(QWidget *parent, ORVEHVNode *systemNode)
{
    if (!systemNode)
        return;
    showModeless(new QSessionDialog(parent, InfoTexts::systemPropertyText(systemNode, QStringLiteral("Sessions"))),
                 systemNode);
}

void openCrateMap(QWidget *parent, ORVEHVNode *systemNode, int systemType)
{
    if (!systemNode)
        return;
    showModeless(new QCrateMapDialog(parent, systemNode, systemType), systemNode);
}

void openTechInfo(QWidget *parent, ORVEHVNode *systemNode, int systemType)
{
    if (!systemNode)
        return;
    if (systemType == 16)
        showModeless(new QTechInfoB8181Dialog(parent, systemNode), systemNode);
    else
        showModeless(new QTechInfoDialog(parent, systemNode), systemNode);
}

void openSysInfo(QWidget *parent, ORVEHVNode *systemNode)
{
    if (!systemNode)
        return;
    auto text = [&](const char *name) { return InfoTexts::systemPropertyText(systemNode, QLatin1String(name)); };
    showModeless(new QSysInfoDialog(parent, text("CPULoad"), text("MemoryStatus"), text("CmdQueueStatus")),
                 systemNode);
}

void openWebPage(QWidget *parent, ORVEHVNode *systemNode, const QString &connectionArgument)
{
    if (!systemNode)
        return;
    // Real systems answer on the default port; the virtual ones on the port
    // KEBO_WEBADMIN_PORT names.
    const QUrl base =
        WebAddress::webBaseAddress(connectionArgument, qEnvironmentVariable("KEBO_WEBADMIN_PORT"));
    if (!base.isValid() || base.host().isEmpty()) {
        showOperatorMessage({QMessageBox::Warning,
                             QStringLiteral("The web page of system %0 cannot be opened: \"%1\" is not a network "
                                            "address.").arg(systemNode->name(), connectionArgument),
                             QString(), {}},
                            parent);
        return;
    }
    QString error;
    QDialog *dialog = WebPageLoader::createDialog(parent, base, systemNode->userName(), systemNode->password(), &error);
    if (!dialog) {
        showOperatorMessage({QMessageBox::Warning,
                             QStringLiteral("The web page of system %0 cannot be shown: the web page component "
                                            "did not load (%1).").arg(systemNode->name(), error),
                             QString(), {}},
                            parent);
        return;
    }
    showModeless(dialog, systemNode);
}

void openAbout(QWidget *parent)
{
    QAboutDialog dialog(parent);
    dialog.exec();
}

} // namespace InfoDialogs
