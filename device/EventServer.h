#ifndef EVENTSERVER_H
#define EVENTSERVER_H

// The event server: one thread per process that listens on the event port
// (3300 or the next free one) and hands every incoming event connection to
// the system it belongs to, starting that system's event-data thread.
//
// Wiring (main window, GUI thread):
//     m_router = new EventRouter(this);            // connect its six signals queued
//     m_eventServer = new EventServer(m_router);
//     if (!m_eventServer->start()) ...              // thread could not be created
//     ... when appending an interface to the systems list, BEFORE connecting
//     (the library opens the event connection while subscribing; a connection
//     that matches no listed system is reported and closed):
//     m_eventServer->addSystem(sys);
//     ... before deleting an interface (after unsubscribe + DeinitSystem):
//     if (m_eventServer->removeSystem(sys)) delete sys;   // else leave it alive
//     ... on close, after removing every system:
//     m_eventServer->stop();
//
// Handlers of the router's signals run queued on the GUI thread and may see
// an interface that was removed in the meantime: check that the pointer is
// still in the systems list before using it.

#include <QList>
#include <QMutex>
#include <QtGlobal>

#include <atomic>
#include <thread>

class EventRouter;
class QSystemInterface;

class EventServer
{
public:
    static constexpr quint16 DefaultPort = 3300;

    explicit EventServer(EventRouter *router, quint16 firstPort = DefaultPort);
    ~EventServer();   // stop()

    EventServer(const EventServer &) = delete;
    EventServer &operator=(const EventServer &) = delete;

    // Starts the server thread and waits (bounded) until it listens or has
    // given up (then tcpServerError() has been emitted). False only when the
    // thread could not be created.
    bool start(int readyTimeoutMs = 5000);
    // Ends the server thread (promptly), closes the listening socket and
    // every connection not handed to a system, then ends the event threads
    // of every system still registered. Idempotent.
    void stop();

    bool isListening() const { return m_listening.load(); }
    // The port listened on (0 before listening or after a failure).
    quint16 port() const { return m_port.load(); }

    // Systems known to the server, in the main window's list order (the
    // last one receives the report of an unmatched connection).
    void addSystem(QSystemInterface *sys);
    // Unlists the system and ends its event threads (stopEventThreads). False
    // when a thread did not end in time: do not delete the interface then.
    bool removeSystem(QSystemInterface *sys, int timeoutMs = 5000);
    QList<QSystemInterface *> systems() const;

    // How long the server waits for a connection before it treats the quiet
    // as a time-out (B8181 event starts). Default 3000 ms.
    void setIdleTimeout(int ms) { m_idleTimeoutMs.store(ms); }
    // Bounded read of the 40-byte identifier block of a local peer.
    // Default 2000 ms.
    void setIdentifierTimeout(int ms) { m_identifierTimeoutMs.store(ms); }

    // Connections closed because they matched no system (tests, diagnostics).
    int unmatchedConnections() const { return m_unmatched.load(); }

    // --- process-wide state --------------------------------------------
    // Port passed to every subscription (the listening server's port).
    static quint16 currentEventPort();
    // Event-data threads still to be started for B8181 systems.
    static std::atomic<int> &pendingEventStarts();
    // Guards the systems lists and every interface's eventThread/eventSocket.
    static QMutex &systemsMutex();

private:
    struct Pending;
    void run();
    bool listenSocket();
    void acceptOne();
    void resolve(int fd, const QByteArray &identifier);
    void handleIdle();
    void startEvents(QSystemInterface *sys, int fd);   // systemsMutex held
    void reportUnmatched();                            // systemsMutex held

    EventRouter *m_router;
    quint16 m_firstPort;
    std::thread m_thread;
    QList<QSystemInterface *> m_systems;   // under systemsMutex()
    std::atomic<bool> m_listening{false};
    std::atomic<bool> m_ready{false};
    std::atomic<bool> m_stop{false};
    std::atomic<quint16> m_port{0};
    std::atomic<int> m_idleTimeoutMs{3000};
    std::atomic<int> m_identifierTimeoutMs{2000};
    std::atomic<int> m_unmatched{0};
    int m_listenFd = -1;
    int m_wakePipe[2] = {-1, -1};
    QList<Pending *> m_pending;   // server thread only
};

#endif
