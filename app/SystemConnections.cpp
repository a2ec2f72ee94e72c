#include "app/SystemConnections.h"

#include "app/MainWindow.h"
#include "app/MainWindowLogic.h"
#include "app/QFloatingWindow.h"
#include "app/ViewAccess.h"
#include "app/ViewsController.h"
#include "connect/QDisconnectDialog.h"
#include "device/EventDataThread.h"
#include "device/EventServer.h"
#include "device/ORVEHVNode.h"
#include "device/QSystemInterface.h"
#include "views/QTripHandlingDialog.h"

#include <QAction>
#include <QFile>
#include <QMdiArea>
#include <QMenuBar>
#include <QMutexLocker>
#include <QProgressDialog>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTextBrowser>

#include <algorithm>

using namespace MainWindowLogic;

SystemConnections::SystemConnections(MainWindow &window) : m_window(window) {}

// ------------------------------------------------------------ systems

int SystemConnections::connectedSystemCount() const
{
    return int(std::count_if(m_systems.cbegin(), m_systems.cend(), [](const QSystemInterface *s) {
        return s->crateOffset() == 0 && !s->representsCustomView();
    }));
}

QList<SystemPlaces::Address> SystemConnections::connectedAddresses() const
{
    QList<SystemPlaces::Address> out;
    for (const QSystemInterface *s : m_systems)
        if (!s->representsCustomView())
            out.append({s->systemType(), s->connectionArgument()});
    return out;
}

bool SystemConnections::isLiveSystem(const QSystemInterface *sysIf) const
{
    return sysIf && std::find(m_systems.cbegin(), m_systems.cend(), sysIf) != m_systems.cend();
}

QSystemInterface *SystemConnections::topLevelSystem(int systemIndex) const
{
    for (QSystemInterface *sys : m_systems)
        if (sys->crateOffset() == 0 && sys->systemIndex() == systemIndex)
            return sys;
    return nullptr;
}

int SystemConnections::topLevelCount() const
{
    return int(std::count_if(m_systems.cbegin(), m_systems.cend(),
                             [](const QSystemInterface *s) { return s->crateOffset() == 0; }));
}

QSystemInterface *SystemConnections::crateOf(QSystemInterface *sysIf) const
{
    if (!sysIf || sysIf->systemType() != ORVEHV_SYS_VMEHV)
        return sysIf;
    QSystemInterface *crate = crateEntryFor(sysIf->connectionArgument());
    // A board whose argument names no bridge joined nothing: its views are its own.
    return crate ? crate : sysIf;
}

QSystemInterface *SystemConnections::crateEntryFor(const QString &connectionArgument) const
{
    for (QSystemInterface *sys : m_systems)
        if (sys->systemType() == ORVEHV_SYS_VMEHV && SystemPlaces::sameVmeBridge(sys->connectionArgument(), connectionArgument))
            return sys;
    return nullptr;
}

QList<ORVEHVNode *> SystemConnections::boardsOf(QSystemInterface *sysIf) const
{
    // A crate's tree also lists the boards of joined board systems; those
    // carry their own system's handle.
    QList<ORVEHVNode *> boards;
    if (!sysIf->systemNode())
        return boards;
    for (ORVEHVNode *b : sysIf->systemNode()->children())
        if (b->kind() == KindBoard && b->handle() == sysIf->handle())
            boards.append(b);
    return boards;
}

// --------------------------------------------------------- event server

bool SystemConnections::startEventServer()
{
    if (m_eventServer)
        return true;
    m_eventServer = new EventServer(m_window.eventRouter());
    if (!m_eventServer->start()) {
        delete m_eventServer;
        m_eventServer = nullptr;
        // Told like a server that cannot listen (which reports itself).
        emit m_window.tcpServerError();
        return false;
    }
    return true;
}

bool SystemConnections::eventServerReady() const
{
    return !m_eventServerFailed && m_eventServer && m_eventServer->isListening();
}

void SystemConnections::reportEventServerFailure()
{
    m_window.form().menuConnect->setEnabled(false);
    const QList<QAction *> entries = m_window.form().menuBar->actions();
    if (entries.size() >= 3) {
        entries.at(1)->setEnabled(false);
        entries.at(2)->setEnabled(false);
    }
    if (m_eventServerFailed)
        return;
    m_eventServerFailed = true;
    if (m_window.m_connectDialog)
        m_window.m_connectDialog->close();
    m_window.showMessage({QMessageBox::Warning,
                 QStringLiteral("Unable to start tcp server. Please check\nyour network connection, than restart application."),
                 QString(), {}});
}

quint16 SystemConnections::eventPort() const
{
    return m_eventServer ? m_eventServer->port() : 0;
}

// ------------------------------------------------------------ connecting

int SystemConnections::connectToSystem(int systemType, int linkType, const QString &connectionArgument,
                                       const QString &displayName, const QString &userName, const QString &password)
{
    const bool isBoard = systemType == ORVEHV_SYS_VMEHV;
    // A VME HV board's texts name the board description the dialog passes
    // as user name.
    const QString shownName = isBoard ? userName : displayName;

    // Without an event server the tables would never update.
    if (!eventServerReady()) {
        reportEventServerFailure();
        return 1;
    }
    // The connect action is disabled at four systems, but configuration
    // loading and multi-row dialogs call in directly.
    if (SystemPlaces::takesPlace({systemType, connectionArgument}, connectedAddresses())
        && connectedSystemCount() >= SystemPlaces::MaxSystems) {
        m_window.showMessage({QMessageBox::Warning,
                     QStringLiteral("Unable to connect to %1.\nAt most four systems can be connected at once.")
                         .arg(shownName.isEmpty() ? QStringLiteral("System") : shownName),
                     QString(), {}});
        return 1;
    }

    auto *progress = new QProgressDialog(&m_window);
    progress->setLabelText(QStringLiteral("Please wait while %1 is fetching data..").arg(shownName));
    progress->setRange(0, 100);
    progress->setCancelButton(nullptr);
    progress->setWindowModality(Qt::WindowModal);
    progress->setMinimumDuration(0);
    progress->setValue(0);

    QString name = displayName.isEmpty() ? QStringLiteral("System") : displayName;
    if (!isBoard) {
        QStringList existing;
        for (QSystemInterface *sys : std::as_const(m_systems))
            if (sys->systemNode())
                existing.append(sys->systemNode()->name());
        name = uniqueDisplayName(name, existing);
    }

    auto *sys = new QSystemInterface(systemType, linkType, connectionArgument, name, topLevelCount());
    m_systems.append(sys);
    if (m_eventServer)
        m_eventServer->addSystem(sys);

    auto fail = [&](int result) {
        progress->setValue(100);
        delete progress;
        m_systems.removeAll(sys);
        if (!m_eventServer || m_eventServer->removeSystem(sys))
            delete sys;
        m_window.showMessage({QMessageBox::Warning, connectionFailureText(shownName, result), QString(), {}});
        return 1;
    };

    // The library's argument buffer holds 79 characters: a longer argument
    // would reach the device cut, i.e. as a different address.
    const int result = connectionArgumentFits(connectionArgument) ? sys->connectSystem(progress, userName, password) : -1;
    if (result != 0)
        return fail(result);

    SubscriptionFailureList systemFailures, boardFailures, channelFailures;
    if (sys->subscribeParameters({}, systemFailures, boardFailures, channelFailures) != 0) {
        ORVEHV_DeinitSystem(sys->handle());
        sys->setHandle(-1);
        return fail(1);
    }
    progress->setValue(96);

    QSystemInterface *crate = isBoard ? crateEntryFor(connectionArgument) : nullptr;
    if (crate == sys)
        crate = nullptr;

    if (crate) {
        joinCrate(crate, sys);
        m_window.viewsController()->systemConnected(sys);
    } else {
        sys->buildPanels(m_window.systemsArea(), m_window.form().viewsArea, m_window.form().stackedWidgetRight, -1);
        sys->describeConnection();
        sys->setCrateOffset(0);
        if (QWidget *page = sys->boardInformationPanel())
            m_window.form().stackedWidgetRight->setCurrentWidget(page);
        QObject::connect(sys, &QSystemInterface::clickedExtraButton, &m_window,
                         &MainWindow::createConfigureTableDialog);
        QObject::connect(sys, &QSystemInterface::clickedDisconnectButton, &m_window, &MainWindow::disconnectFromSystem);
        QObject::connect(sys, &QSystemInterface::clicked, &m_window, &MainWindow::setCurrentSubWindowIndex);
        m_window.addSubWindow(sys);
        progress->setValue(98);

        if (sys->systemIndex() == 0) {
            // The first system brings both docks up.
            m_window.form().menuLockPanels->setChecked(false);
            m_window.tbarAllClicked();
            m_window.form().menuLockPanels->setChecked(true);
        }
        m_window.viewsController()->systemConnected(sys);
        progress->setValue(99);
    }
    // Every board reports what it could not subscribe, joined or not.
    if (!systemFailures.isEmpty() || !boardFailures.isEmpty() || !channelFailures.isEmpty()) {
        reportUnsubscribedParameters(sys->handle(), systemFailures, boardFailures, channelFailures);
        // The box runs an event loop; the system may have gone meanwhile.
        if (!isLiveSystem(sys)) {
            delete progress;
            return 0;
        }
    }

    progress->setValue(100);
    delete progress;
    m_window.setSystemItemsEnabled(true);
    {
        QMutexLocker lock(&sys->eventStateMutex);
        sys->eventsEnabled = true;
    }
    m_window.updateConnectAction();
    m_window.setCurrentSubWindowIndex(crate ? crate->systemIndex() : sys->systemIndex());
    return 0;
}

void SystemConnections::joinCrate(QSystemInterface *crate, QSystemInterface *board)
{
    // The crate's tree lists the board's boards (the board system keeps
    // owning them and its own handle for reads and writes); the crate's
    // views are rebuilt by the join.
    board->joinCrate(crate);
    board->setSystemIndex(crate->systemIndex());
    QObject::connect(board, &QSystemInterface::clickedExtraButton, &m_window, &MainWindow::createConfigureTableDialog);
    QObject::connect(board, &QSystemInterface::clickedDisconnectButton, &m_window, &MainWindow::disconnectFromSystem);
    QObject::connect(board, &QSystemInterface::clicked, &m_window, &MainWindow::setCurrentSubWindowIndex);
}

void SystemConnections::reportUnsubscribedParameters(int handle, const SubscriptionFailureList &systemFailures,
                                                     const SubscriptionFailureList &boardFailures,
                                                     const SubscriptionFailureList &channelFailures)
{
    QSystemInterface *sys = nullptr;
    for (QSystemInterface *s : std::as_const(m_systems))
        if (s->systemNode() && s->systemNode()->handle() == handle) {
            sys = s;
            break;
        }
    if (!sys)
        return;
    const QString fileName = sys->subscriptionFailureLogName();
    const QString report = unsubscribedReport(sys->systemNode()->name(), systemFailures, boardFailures, channelFailures);
    writeUnsubscribedReport(fileName, report);

    const int pressed = m_window.showMessage({QMessageBox::Warning,
                                     QStringLiteral("There have been some troubles in communication.\n"
                                                    "Some items will not be updated\n"),
                                     QStringLiteral("Please check if your firewall is\nblocking inbound connections.\n"
                                                    "Click Details button to view logfile.\n"),
                                     {QStringLiteral("Details.."), QStringLiteral("Ok")}});
    if (pressed != 0)
        return;
    auto *browser = new QTextBrowser();
    browser->setObjectName(QStringLiteral("subscriptionFailureLog"));
    browser->setAttribute(Qt::WA_DeleteOnClose);
    browser->setWindowFlags(Qt::Window | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint
                            | Qt::WindowCloseButtonHint);
    browser->setWindowTitle(fileName);
    browser->setFont(QFont(QStringLiteral("Courier")));
    browser->setMinimumWidth(800);
    QFile file(fileName);
    browser->setPlainText(file.open(QIODevice::ReadOnly | QIODevice::Text) ? QString::fromLocal8Bit(file.readAll())
                                                                          : report);
    browser->show();
}

// -------------------------------------------------------- disconnecting

void SystemConnections::stopSystem(QSystemInterface *sys, bool stillConnected)
{
    sys->stopRequested = true;
    if (!stillConnected || sys->handle() < 0)
        return;
    SubscriptionFailureList s, b, c;
    QList<ORVEHVNode *> boards;
    if (sys->systemType() == ORVEHV_SYS_VMEHV)
        boards = boardsOf(sys);
    sys->unsubscribeParameters(boards, s, b, c);
    ORVEHV_DeinitSystem(sys->handle());
    sys->setHandle(-1);
}

void SystemConnections::deleteSystem(QSystemInterface *sys)
{
    m_window.viewsController()->systemGoing(sys);
    m_systems.removeAll(sys);
    m_window.removeViewsOf(sys);
    // Only once its event threads have ended; an interface whose thread hangs
    // is left alive rather than freed under it.
    const bool stopped = m_eventServer ? m_eventServer->removeSystem(sys) : stopEventThreads(sys);
    if (stopped)
        delete sys;
}

void SystemConnections::renumberSystems()
{
    int index = 0;
    for (QSystemInterface *sys : std::as_const(m_systems)) {
        if (sys->crateOffset() == 0) {
            if (sys->systemIndex() != index)
                sys->setSystemIndex(index);
            ++index;
        }
    }
    for (QSystemInterface *sys : std::as_const(m_systems)) {
        if (sys->crateOffset() > 0) {
            if (QSystemInterface *crate = crateOf(sys))
                sys->setSystemIndex(crate->systemIndex());
        }
    }
    // Floated tables return into the views area in the order of these indices.
    for (QFloatingWindow *f : m_window.findChildren<QFloatingWindow *>(QString(), Qt::FindDirectChildrenOnly)) {
        for (QSystemInterface *sys : std::as_const(m_systems))
            if (sys->crateOffset() == 0 && sys->subWindow() && f->centralWidget() == sys->subWindow())
                f->setIndex(sys->systemIndex());
    }
}

void SystemConnections::disconnectFromSystem(int systemIndex)
{
    QSystemInterface *sys = topLevelSystem(systemIndex);
    if (!sys)
        return;
    QVector<QSystemInterface *> entries;
    // Joined boards first: the crate's tree owns their boards.
    if (sys->systemType() == ORVEHV_SYS_VMEHV) {
        for (QSystemInterface *other : std::as_const(m_systems))
            if (other != sys && other->crateOffset() > 0 && crateOf(other) == sys)
                entries.append(other);
    }
    // A connected crate of several boards lets the operator choose the boards.
    if (!entries.isEmpty() && sys->systemNode() && sys->systemNode()->connectionState() != ConnectionLost
        && ViewAccess::disconnectText(sys->systemBox()) != QStringLiteral("Close")) {
        auto *dialog = new QDisconnectDialog({[this] { return m_systems; }, [this](int p) { removeSystem(p); },
                                              &m_window},
                                             sys, &m_window);
        dialog->open();
        return;
    }
    entries.append(sys);
    disconnectEntries(entries, true);
}

void SystemConnections::removeSystem(int position)
{
    if (position < 0 || position >= m_systems.size())
        return;
    QSystemInterface *sys = m_systems.at(position);
    QVector<QSystemInterface *> entries;
    if (sys->crateOffset() == 0 && sys->systemType() == ORVEHV_SYS_VMEHV) {
        for (QSystemInterface *other : std::as_const(m_systems))
            if (other != sys && other->crateOffset() > 0 && crateOf(other) == sys)
                entries.append(other);
    }
    entries.append(sys);
    disconnectEntries(entries, false);
}

void SystemConnections::disconnectEntries(const QVector<QSystemInterface *> &entries, bool)
{
    if (entries.isEmpty())
        return;
    QTripHandlingDialog::closeOpenDialogs();
    QSystemInterface *main = entries.last();
    const QString nodeName = main->systemNode() ? main->systemNode()->name() : main->displayName();
    auto *progress = new QProgressDialog(&m_window);
    progress->setLabelText(QStringLiteral("Disconnecting from %1..").arg(nodeName));
    progress->setCancelButton(nullptr);
    progress->setRange(0, 100);
    progress->setWindowModality(Qt::WindowModal);
    progress->setMinimumDuration(0);
    progress->setValue(0);

    for (QSystemInterface *sys : entries)
        sys->stopRequested = true;
    for (QSystemInterface *sys : entries) {
        // A system whose connection is lost is removed without library calls.
        // Each entry by its own node: the crate's "Close" button also follows
        // a lost board while the crate and its other boards stay connected.
        const bool connected = sys->systemNode() && sys->systemNode()->connectionState() != ConnectionLost;
        if (connected)
            progress->setValue(10);
        stopSystem(sys, connected);
        if (connected)
            progress->setValue(50);
    }

    // A joined board leaves the crate's tree with its interface.
    QSystemInterface *crate = nullptr;
    if (entries.size() == 1 && main->crateOffset() > 0)
        crate = crateOf(main);
    progress->setValue(60);
    for (QSystemInterface *sys : entries)
        deleteSystem(sys);
    m_window.viewsController()->systemsGone();
    progress->setValue(70);
    renumberSystems();
    if (crate)
        ViewAccess::rebuildViews(crate);
    if (!m_systems.isEmpty()) {
        QSystemInterface *next = nullptr;
        for (QSystemInterface *s : std::as_const(m_systems))
            if (s->crateOffset() == 0) {
                next = s;
                break;
            }
        if (next)
            m_window.setCurrentSubWindowIndex(next->systemIndex());
    }
    progress->setValue(80);

    m_window.updateConnectAction();
    if (m_systems.isEmpty()) {
        m_window.form().menuSave->setEnabled(false);
        afterLastDisconnection(progress);
    }
    progress->setValue(100);
    delete progress;
}

void SystemConnections::afterLastDisconnection(QProgressDialog *progress)
{
    if (QStatusBar *bar = m_window.findChild<QStatusBar *>(QString(), Qt::FindDirectChildrenOnly))
        delete bar;
    m_window.form().menuLockPanels->setChecked(false);
    m_window.tbarNoneClicked();
    m_window.form().menuLockPanels->setChecked(true);
    m_window.setSystemItemsEnabled(false);
    progress->setValue(100);
    m_window.createDialogForConnection();
}

// ------------------------------------------------- closing and destruction

void SystemConnections::stopAllSystems()
{
    for (QSystemInterface *sys : std::as_const(m_systems)) {
        if (sys->representsCustomView() || !sys->systemNode())
            continue;
        stopSystem(sys, sys->systemNode()->connectionState() != ConnectionLost);
    }
    if (m_eventServer)
        m_eventServer->stop();
}

void SystemConnections::haltEventThreads()
{
    if (m_eventServer) {
        for (QSystemInterface *sys : std::as_const(m_systems))
            sys->stopRequested = true;
        m_eventServer->stop();
    }
}

void SystemConnections::deleteAllSystems()
{
    const QVector<QSystemInterface *> systems = m_systems;
    m_systems.clear();
    // Joined boards before their crate, whose tree owns their boards.
    for (auto it = systems.crbegin(); it != systems.crend(); ++it) {
        QSystemInterface *sys = *it;
        m_window.removeViewsOf(sys);
        if (!m_eventServer || m_eventServer->removeSystem(sys))
            delete sys;
    }
    delete m_eventServer;
    m_eventServer = nullptr;
}
