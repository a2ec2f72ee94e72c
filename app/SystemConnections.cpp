#include "app/SystemConnections.h"

#include "app/MainWindowLogic.h"
#include "app/SystemPanelBuilder.h"
#include "app/ViewAccess.h"
#include "connect/QDisconnectDialog.h"
#include "device/EventDataThread.h"
#include "device/EventServer.h"
#include "device/EventWatchdog.h"
#include "device/ORVEHVNode.h"
#include "device/QSystemInterface.h"

#include <QFile>
#include <QMutexLocker>
#include <QProgressDialog>
#include <QStackedWidget>
#include <QTextBrowser>

#include <algorithm>

using namespace MainWindowLogic;

SystemConnections::SystemConnections(EventRouter *router, const SystemViewParents &parents, QObject *parent)
    : QObject(parent), m_router(router), m_parents(parents)
{
    m_watchdog = new EventWatchdog([this] { return m_systems; }, this);
    connect(m_watchdog, &EventWatchdog::silenceChanged, this, &SystemConnections::showSilence);
}

SystemConnections::~SystemConnections() = default;

int SystemConnections::showMessage(const OperatorMessage &message) const
{
    return showOperatorMessage(message, m_parents.window);
}

void SystemConnections::appendEntry(QSystemInterface *sys)
{
    m_systems.append(sys);
    emit systemAdded(sys);
}

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

QSystemInterface *SystemConnections::systemReachedBy(const QString &connectionArgument) const
{
    for (QSystemInterface *sys : m_systems)
        if (!sys->representsCustomView()
            && sys->connectionArgument().compare(connectionArgument, Qt::CaseInsensitive) == 0)
            return sys;
    return nullptr;
}

void SystemConnections::showSilence(QSystemInterface *sys)
{
    // A crate's views speak for all its boards: silent while any of them is.
    QSystemInterface *shown = crateOf(sys);
    bool silent = false;
    for (QSystemInterface *s : std::as_const(m_systems))
        silent = silent || (crateOf(s) == shown && m_watchdog->isSilent(s));
    ViewAccess::showSilence(shown, silent);
    // Its cells are greyed wherever they show, the custom view included.
    for (QSystemInterface *s : std::as_const(m_systems))
        ViewAccess::repaintTables(s->subWindow());
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
    m_eventServer = new EventServer(m_router);
    if (!m_eventServer->start()) {
        delete m_eventServer;
        m_eventServer = nullptr;
        // Told like a server that cannot listen (which reports itself).
        emit eventServerFailed();
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
    // The window disables its connecting menus and closes its connect dialog.
    emit connectingDisabled();
    if (m_eventServerFailed)
        return;
    m_eventServerFailed = true;
    showMessage({QMessageBox::Warning,
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
        showMessage({QMessageBox::Warning,
                     QStringLiteral("Unable to connect to %1.\nAt most four systems can be connected at once.")
                         .arg(shownName.isEmpty() ? QStringLiteral("System") : shownName),
                     QString(), {}});
        return 1;
    }

    // The event port knows a system by its argument alone: a second
    // interface to it would never receive its own events (and two windows
    // would write to the same channels).
    if (QSystemInterface *first = systemReachedBy(connectionArgument)) {
        const ORVEHVNode *node = first->systemNode();
        const QString firstName = node ? node->name() : first->displayName();
        const QString text = node && node->connectionState() == ConnectionLost
                                 ? QStringLiteral("%1 is still listed as \"%2\", whose connection was lost.\n"
                                                  "Close \"%2\" first, then connect again.")
                                 : QStringLiteral("%1 is already connected as \"%2\".\n"
                                                  "It is not connected a second time.");
        showMessage({QMessageBox::Warning, text.arg(connectionArgument, firstName), QString(), {}});
        return 1;
    }

    auto *progress = new QProgressDialog(m_parents.window);
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
        showMessage({QMessageBox::Warning, connectionFailureText(shownName, result), QString(), {}});
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
    } else {
        SystemPanelBuilder::buildPanels(sys, m_parents.systemsArea, m_parents.viewsArea, m_parents.boardPages, -1);
        SystemPanelBuilder::describeConnection(sys);
        sys->setCrateOffset(0);
        if (QWidget *page = sys->boardInformationPanel())
            m_parents.boardPages->setCurrentWidget(page);
        progress->setValue(98);
    }
    // The window shows the views, the custom view takes the system in.
    emit systemAdded(sys);
    progress->setValue(99);
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
    {
        QMutexLocker lock(&sys->eventStateMutex);
        sys->eventsEnabled = true;
    }
    emit connectedCountChanged(connectedSystemCount());
    return 0;
}

void SystemConnections::joinCrate(QSystemInterface *crate, QSystemInterface *board)
{
    // The crate's tree lists the board's boards (the board system keeps
    // owning them and its own handle for reads and writes); the crate's
    // views are rebuilt by the join.
    board->joinCrate(crate);
    board->setSystemIndex(crate->systemIndex());
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

    const int pressed = showMessage({QMessageBox::Warning,
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
    // Groups, custom view and the window's views let go of it first.
    emit systemAboutToBeRemoved(sys);
    m_systems.removeAll(sys);
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
        auto *dialog = new QDisconnectDialog({[this] { return m_systems; }, [this](int p) { removeSystem(p); }, this},
                                             sys, m_parents.window);
        dialog->open();
        return;
    }
    entries.append(sys);
    disconnectEntries(entries);
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
    disconnectEntries(entries);
}

void SystemConnections::disconnectEntries(const QVector<QSystemInterface *> &entries)
{
    if (entries.isEmpty())
        return;
    // Whoever holds nodes of these systems lets go before anything is freed.
    for (QSystemInterface *sys : entries)
        emit sys->boardsAboutToChange();
    QSystemInterface *main = entries.last();
    const QString nodeName = main->systemNode() ? main->systemNode()->name() : main->displayName();
    auto *progress = new QProgressDialog(m_parents.window);
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
    progress->setValue(70);
    renumberSystems();
    if (crate)
        emit crate->boardsChanged();
    progress->setValue(100);
    delete progress;
    // The window selects the next system (or, with none left, returns to its
    // start-up state and offers to connect); the custom view follows.
    emit systemsRemoved();
    emit connectedCountChanged(connectedSystemCount());
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

void SystemConnections::deleteAllSystems(const std::function<void(QSystemInterface *)> &detachViews)
{
    const QVector<QSystemInterface *> systems = m_systems;
    m_systems.clear();
    // Joined boards before their crate, whose tree owns their boards.
    for (auto it = systems.crbegin(); it != systems.crend(); ++it) {
        QSystemInterface *sys = *it;
        detachViews(sys);
        if (!m_eventServer || m_eventServer->removeSystem(sys))
            delete sys;
    }
    delete m_eventServer;
    m_eventServer = nullptr;
}
