#include "app/SystemEventHandlers.h"

#include "app/MainWindowLogic.h"
#include "app/SystemConnections.h"
#include "app/ViewAccess.h"
#include "app/ViewsController.h"
#include "device/OperatorMessage.h"
#include "device/ORVEHVNode.h"
#include "device/ParameterAccess.h"
#include "device/QSystemInterface.h"
#include "device/ValueText.h"

#include <QFrame>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

using namespace MainWindowLogic;

SystemEventHandlers::SystemEventHandlers(QWidget &window, SystemConnections &connections, ViewsController &views,
                                         QObject *parent)
    : QObject(parent), m_window(window), m_connections(connections), m_views(views)
{
}

ORVEHVNode *SystemEventHandlers::findParameterNode(QSystemInterface *sysIf, int bdIndex, int chIndex,
                                                   const QString &name) const
{
    ORVEHVNode *root = sysIf->systemNode();
    if (!root || root->kind() != KindSystem || name.isEmpty())
        return nullptr;
    if (bdIndex < 0 && chIndex < 0) {
        for (ORVEHVNode *p : root->parameters())
            if (p->name() == name)
                return p;
        for (ORVEHVNode *p : root->children())
            if (p->kind() == KindSystemProperty && p->name() == name)
                return p;
        return nullptr;
    }
    if (bdIndex < 0)
        return nullptr;
    ORVEHVNode *tree = root;
    const int position = bdIndex;
    const QVector<ORVEHVNode *> &boards = tree->children();
    if (position >= boards.size())
        return nullptr;
    ORVEHVNode *board = boards.at(position);
    if (chIndex < 0)
        return board->parameter(name);
    if (chIndex >= board->children().size())
        return nullptr;
    return board->children().at(chIndex)->parameter(name);
}

void SystemEventHandlers::handleUpdateValueAndWidget(QSystemInterface *sysIf, int bdIndex, int chIndex,
                                                     QString itmName, IDValue_t val, bool, bool)
{
    if (!m_connections.isLiveSystem(sysIf) || !sysIf->systemNode())
        return;
    ORVEHVNode *node = findParameterNode(sysIf, bdIndex, chIndex, itmName);
    if (!node)
        return;
    // The table cells show the node; the system announces the change to the
    // row marks, panels and every other subscriber (a VME HV board's crate
    // and the custom view re-emit it for their views). The value log took
    // the value on the event-data thread already.
    sysIf->setParameterValue(node, eventValue(node, val.Value));

    if (node->name() == QLatin1String("Sessions"))
        showSessionNotice(sysIf->connectionArgument());
}

void SystemEventHandlers::showSessionNotice(const QString &connectionArgument)
{
    auto *notice = new QFrame(&m_window, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus);
    notice->setObjectName(QStringLiteral("sessionNotice"));
    notice->setAttribute(Qt::WA_DeleteOnClose);
    notice->setAttribute(Qt::WA_ShowWithoutActivating);
    notice->setStyleSheet(QStringLiteral("border: 1px solid black"));
    auto *layout = new QVBoxLayout(notice);
    auto *label = new QLabel(sessionNoticeText(connectionArgument), notice);
    QFont font = label->font();
    font.setPointSize(7);
    label->setFont(font);
    label->setStyleSheet(QStringLiteral("border: none"));
    layout->addWidget(label);
    notice->adjustSize();
    notice->move(m_window.mapToGlobal(QPoint(noticeX(m_window.width()), noticeY(m_window.height()))));
    notice->show();
    QTimer::singleShot(5000, notice, &QWidget::close);
    m_sessionNotice = notice;
}

void SystemEventHandlers::handleEventLiveInsertion(QSystemInterface *sysIf, bool, bool)
{
    if (!m_connections.isLiveSystem(sysIf) || !sysIf->systemNode())
        return;
    QSystemInterface *crate = m_connections.crateOf(sysIf);
    if (crate && crate->subWindow())
        crate->subWindow()->setEnabled(true);
    if (crate && crate->systemCommandsPanel())
        crate->systemCommandsPanel()->setEnabled(true);
    sysIf->markLiveInsertion();
    if (crate)
        ViewAccess::setStatus(crate->statusBar(), ConnectionConnected);
    const QList<ORVEHVNode *> boards = sysIf->changeCrateMap(&m_window);
    // The crate map dialog ran an event loop: the system may be gone.
    if (!m_connections.isLiveSystem(sysIf))
        return;
    // The log takes the new boards' values from now on.
    sysIf->refreshLogFeed();
    m_views.rebuildCustomView();
    m_views.systemsGone();
    if (boards.isEmpty())
        return;
    SubscriptionFailureList systemFailures, boardFailures, channelFailures;
    sysIf->subscribeParameters(boards, systemFailures, boardFailures, channelFailures);
    if (!systemFailures.isEmpty() || !boardFailures.isEmpty() || !channelFailures.isEmpty())
        m_connections.reportUnsubscribedParameters(sysIf->handle(), systemFailures, boardFailures, channelFailures);
}

void SystemEventHandlers::handleTransparentMode(QSystemInterface *sysIf)
{
    if (!m_connections.isLiveSystem(sysIf))
        return;
    QSystemInterface *crate = m_connections.crateOf(sysIf);
    if (!crate)
        return;
    if (sysIf->systemNode())
        sysIf->systemNode()->setConnectionState(ConnectionTransparent);
    if (QWidget *view = crate->subWindow()) {
        ViewAccess::clearSelection(view);
        view->setEnabled(false);
    }
    ViewAccess::setStatus(crate->statusBar(), ConnectionTransparent);
}

void SystemEventHandlers::handleSystemEvStatus(QSystemInterface *sysIf, ORVEHV_SYSTEMSTATUS_t sysStatus)
{
    if (!m_connections.isLiveSystem(sysIf) || !sysIf->statusBar())
        return;
    sysIf->reportEventStatus(sysStatus);
    const EventLamps lamps = eventLamps(sysStatus);
    ViewAccess::setLamps(sysIf->statusBar(), lamps.sync, lamps.warning, lamps.error);
}

void SystemEventHandlers::handleSystemDisconnected(QSystemInterface *sysIf, int errCode)
{
    if (!m_connections.isLiveSystem(sysIf) || !sysIf->systemNode())
        return;
    // Dialogs that follow the system close before the box below.
    sysIf->markConnectionLost(errCode);
    const QString name = disconnectedSystemName(sysIf->systemNode()->name(), sysIf->systemType());
    showOperatorMessage({QMessageBox::Warning, disconnectionText(name, errCode), QString(), {}}, &m_window);
    // The box ran an event loop: the operator may have removed the system.
    if (!m_connections.isLiveSystem(sysIf))
        return;
    QSystemInterface *crate = m_connections.crateOf(sysIf);
    if (!crate)
        return;
    if (QWidget *view = crate->subWindow()) {
        ViewAccess::clearSelection(view);
        view->setEnabled(false);
    }
    if (QWidget *commands = crate->systemCommandsPanel())
        commands->setEnabled(false);
    ViewAccess::setPanelContentEnabled(crate->boardInformationPanel(), false);
    ViewAccess::setStatus(crate->statusBar(), ConnectionLost);
    ViewAccess::clearLamps(crate->statusBar());
    ViewAccess::setDisconnectText(crate->systemBox(), QStringLiteral("Close"));
}

void SystemEventHandlers::handleTcpServerError()
{
    m_connections.reportEventServerFailure();
    m_window.close();
}
