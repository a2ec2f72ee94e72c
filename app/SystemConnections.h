#ifndef SYSTEMCONNECTIONS_H
#define SYSTEMCONNECTIONS_H

// The main window's systems and their lifecycle: the event server that
// delivers their reports, connecting (a VME HV board joins the crate of its
// bridge and link), the report of what could not be subscribed, and
// disconnecting. It owns the systems list; the window's views, docks and
// menus follow it through the window's private helpers.

#include "device/SubscriptionFailure.h"
#include "device/SystemPlaces.h"

#include <QList>
#include <QString>
#include <QVector>

class EventServer;
class MainWindow;
class ORVEHVNode;
class QProgressDialog;
class QSystemInterface;

class SystemConnections
{
public:
    explicit SystemConnections(MainWindow &window);

    // Systems list in creation order (connected systems, VME HV boards joined
    // to a crate, custom views).
    const QVector<QSystemInterface *> &systems() const { return m_systems; }
    // Lists an entry built by the window itself (the custom view).
    void appendEntry(QSystemInterface *sys) { m_systems.append(sys); }
    bool isLiveSystem(const QSystemInterface *sysIf) const;
    QSystemInterface *topLevelSystem(int systemIndex) const;
    int topLevelCount() const;
    QSystemInterface *crateOf(QSystemInterface *sysIf) const;
    QSystemInterface *crateEntryFor(const QString &connectionArgument) const;
    int connectedSystemCount() const;
    // How every listed system is reached (custom views left out).
    QList<SystemPlaces::Address> connectedAddresses() const;

    bool startEventServer();
    bool eventServerReady() const;
    quint16 eventPort() const;
    // Connecting is disabled and the operator told, once.
    void reportEventServerFailure();

    int connectToSystem(int systemType, int linkType, const QString &connectionArgument,
                        const QString &displayName, const QString &userName, const QString &password);
    void reportUnsubscribedParameters(int handle, const SubscriptionFailureList &systemFailures,
                                      const SubscriptionFailureList &boardFailures,
                                      const SubscriptionFailureList &channelFailures);
    void disconnectFromSystem(int systemIndex);
    void removeSystem(int position);

    // Closing: every connected system leaves the library, then the server stops.
    void stopAllSystems();
    // Destruction, in two steps around the window unhooking its children:
    // the event threads end first, then the systems and the server go.
    void haltEventThreads();
    void deleteAllSystems();

private:
    void joinCrate(QSystemInterface *crate, QSystemInterface *board);
    QList<ORVEHVNode *> boardsOf(QSystemInterface *sysIf) const;
    void stopSystem(QSystemInterface *sysIf, bool stillConnected);
    void deleteSystem(QSystemInterface *sysIf);
    void renumberSystems();
    void disconnectEntries(const QVector<QSystemInterface *> &entries, bool askForBoards);
    void afterLastDisconnection(QProgressDialog *progress);

    MainWindow &m_window;
    QVector<QSystemInterface *> m_systems;
    EventServer *m_eventServer = nullptr;
    bool m_eventServerFailed = false;
};

#endif
