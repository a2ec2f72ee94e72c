#ifndef SYSTEMCONNECTIONS_H
#define SYSTEMCONNECTIONS_H

// The systems list and its lifecycle: the event server that delivers the
// systems' reports, connecting (a VME HV board joins the crate of its bridge
// and link; the per-system widgets are built by SystemPanelBuilder), the
// report of what could not be subscribed, and disconnecting.
//
// It knows nothing of the main window: it tells what happens through its
// signals, and the window (menus, views area, docks) and the views
// controller (custom view, groups) connect themselves to them.

#include "connect/SystemConnector.h"
#include "device/OperatorMessage.h"
#include "device/SubscriptionFailure.h"
#include "device/SystemPlaces.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QVector>
#include <functional>

class EventRouter;
class EventServer;
class EventWatchdog;
class ORVEHVNode;
class QProgressDialog;
class QStackedWidget;
class QSystemInterface;
class QWidget;

// Where the per-system widgets go, and the window that parents the
// connection's progress and message boxes.
struct SystemViewParents
{
    QWidget *window = nullptr;
    QWidget *systemsArea = nullptr;       // the left dock's list of system boxes
    QWidget *viewsArea = nullptr;         // parent of the channel sub-windows
    QStackedWidget *boardPages = nullptr; // the right dock's board information pages
};

class SystemConnections : public QObject, public SystemConnector
{
    Q_OBJECT
public:
    SystemConnections(EventRouter *router, const SystemViewParents &parents, QObject *parent = nullptr);
    ~SystemConnections() override;

    // Systems list in creation order (connected systems, VME HV boards joined
    // to a crate, custom views).
    const QVector<QSystemInterface *> &systems() const { return m_systems; }
    // Lists an entry built elsewhere (the custom view); emits systemAdded.
    void appendEntry(QSystemInterface *sys);
    bool isLiveSystem(const QSystemInterface *sysIf) const;
    QSystemInterface *topLevelSystem(int systemIndex) const;
    int topLevelCount() const;
    // The interface whose views show this system: for a VME HV board the first
    // VME HV system of its link key, else the system itself.
    QSystemInterface *crateOf(QSystemInterface *sysIf) const;
    // The first VME HV system on the bridge and link of this argument.
    QSystemInterface *crateEntryFor(const QString &connectionArgument) const;
    // Connected systems (top-level entries that are not a custom view): at
    // most four at once.
    int connectedSystemCount() const;
    // How every listed system is reached (custom views left out).
    QList<SystemPlaces::Address> connectedAddresses() const;

    // Marks systems from which nothing arrived for too long (their views
    // say their values may be old) until they report again.
    EventWatchdog *watchdog() const { return m_watchdog; }
    // The connected system reached by this argument (the event port tells
    // systems apart by it alone), or null.
    QSystemInterface *systemReachedBy(const QString &connectionArgument) const;

    bool startEventServer();
    bool eventServerReady() const;
    quint16 eventPort() const;
    // Connecting is disabled (connectingDisabled()) and the operator told, once.
    void reportEventServerFailure();

    // Connection sequence for one system: 0 when it is connected, 1 when not.
    int connectToSystem(int systemType, int linkType, const QString &connectionArgument,
                        const QString &displayName, const QString &userName, const QString &password) override;
    void reportUnsubscribedParameters(int handle, const SubscriptionFailureList &systemFailures,
                                      const SubscriptionFailureList &boardFailures,
                                      const SubscriptionFailureList &channelFailures);
    void disconnectFromSystem(int systemIndex);
    void removeSystem(int position);

    // Closing: every connected system leaves the library, then the server stops.
    void stopAllSystems();
    // Destruction, in two steps around the window unhooking its children:
    // the event threads end first, then the systems and the server go
    // (detachViews runs for each system before it is deleted).
    void haltEventThreads();
    void deleteAllSystems(const std::function<void(QSystemInterface *)> &detachViews);

signals:
    // A system entered the list with its views built (a joined VME HV board
    // has none of its own; the custom view's entry comes through here too).
    void systemAdded(QSystemInterface *sys);
    // The system is about to be deleted: its nodes and views are still there.
    void systemAboutToBeRemoved(QSystemInterface *sys);
    // The systems of one disconnection were deleted (list renumbered).
    void systemsRemoved();
    // The number of connected systems after a connection or disconnection.
    void connectedCountChanged(int count);
    // The event server failed or cannot be had: nothing may be connected.
    void connectingDisabled();
    // The event server could not be started (told like one that cannot listen).
    void eventServerFailed();

private:
    void joinCrate(QSystemInterface *crate, QSystemInterface *board);
    QList<ORVEHVNode *> boardsOf(QSystemInterface *sysIf) const;
    void stopSystem(QSystemInterface *sysIf, bool stillConnected);
    void deleteSystem(QSystemInterface *sysIf);
    void renumberSystems();
    void disconnectEntries(const QVector<QSystemInterface *> &entries);
    int showMessage(const OperatorMessage &message) const;
    void showSilence(QSystemInterface *sys);

    EventRouter *m_router = nullptr;
    SystemViewParents m_parents;
    QVector<QSystemInterface *> m_systems;
    EventServer *m_eventServer = nullptr;
    bool m_eventServerFailed = false;
    EventWatchdog *m_watchdog = nullptr;
};

#endif
