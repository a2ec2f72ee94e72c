#include "app/SystemPanelBuilder.h"

#include "device/ORVEHVNode.h"
#include "device/SystemTitle.h"
#include "panels/QBoardInformations.h"
#include "panels/QCollapsibleWidget.h"
#include "panels/QCustomBox.h"
#include "panels/QSystemInformations.h"
#include "panels/QSystemStatusBar.h"
#include "views/QSubWindow.h"

#include <QLayout>
#include <QStackedWidget>

namespace {

void markFaultyChannels(QSystemInterface *sys, QSubWindow *sub)
{
    for (ORVEHVNode *status : sys->takeNotOkStatusNodes()) {
        if (sub)
            sub->markChannelState(false, status);
    }
}

} // namespace

namespace SystemPanelBuilder {

QString boxIcon(const QSystemInterface *sys)
{
    if (sys->representsCustomView())
        return QStringLiteral(":Resources/Elementi/cs-verde.png");
    switch (sys->systemType()) {
    case 2:
    case 3:
    case 5:
        return QStringLiteral(":Resources/Elementi/sistema-vme.png");
    case 16:
        return QStringLiteral(":Resources/Elementi/b8181-dock.png");
    default:
        return QStringLiteral(":Resources/Elementi/sistema-dock.png");
    }
}

QString boxTitle(const QSystemInterface *sys)
{
    // the name its tab shows (a crate's too)
    return SystemTitle::nameOf(sys);
}

void buildPanels(QSystemInterface *sys, QWidget *systemsAreaParent, QWidget *viewsParent,
                 QStackedWidget *boardInformationStack, int position)
{
    ORVEHVNode *node = sys->systemNode();
    if (!node)
        return;

    if (!sys->representsCustomView() && !sys->systemCommandsPanel())
        sys->setSystemCommandsPanel(new QSystemInformations(sys));
    auto *box = new QCustomBox(sys->systemIndex(), boxTitle(sys), boxIcon(sys), QStringLiteral("Configure"),
                               sys->representsCustomView() ? QStringLiteral("Delete")
                                                           : QStringLiteral("Disconnect"));
    QCollapsibleWidget *list = qobject_cast<QCollapsibleWidget *>(systemsAreaParent);
    if (!list && systemsAreaParent)
        list = systemsAreaParent->findChild<QCollapsibleWidget *>();
    if (list) {
        list->addBox(box);
        if (QWidget *panel = sys->systemCommandsPanel())
            box->setContentWidget(panel);
    } else if (systemsAreaParent) {
        box->setParent(systemsAreaParent);
        if (systemsAreaParent->layout())
            systemsAreaParent->layout()->addWidget(box);
        box->show();
    }
    sys->setSystemBox(box);

    if (viewsParent) {
        auto *sub = new QSubWindow(sys, sys->representsCustomView(), viewsParent);
        sub->hide();
        if (sys->representsCustomView())
            sub->setRootNode(node);
        else
            sub->setSystemNode(node);
        sub->buildTableInitial();
        sub->applyCustomMode();
        markFaultyChannels(sys, sub);
        sys->setSubWindow(sub);
    } else {
        sys->takeNotOkStatusNodes();
    }

    auto *info = new QBoardInformations;
    info->setSystemNode(node);
    info->followSystem(sys);
    if (boardInformationStack) {
        if (position < 0)
            boardInformationStack->addWidget(info);
        else
            boardInformationStack->insertWidget(position, info);
    }
    sys->setBoardInformationPanel(info);
}

void describeConnection(QSystemInterface *sys)
{
    auto *bar = new QSystemStatusBar;
    const ORVEHVNode *node = sys->systemNode();
    bar->setSystemName(QSystemStatusBar::systemNameText(sys->systemType(), node ? node->name() : sys->displayName()));
    bar->setConnectionText(QSystemStatusBar::connectionDescription(sys->linkType(), sys->connectionArgument()));
    bar->setConnectionStatus(node ? node->connectionState() : 0);
    if (QWidget *old = sys->statusBar())
        old->deleteLater();
    sys->setStatusBar(bar);
}

} // namespace SystemPanelBuilder
