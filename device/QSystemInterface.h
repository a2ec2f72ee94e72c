#ifndef QSYSTEMINTERFACE_H
#define QSYSTEMINTERFACE_H

// One connected system, VME HV board or custom view: connection data,
// library handle, device tree, per-system widgets, event-thread state and
// the value-log queue.
//
// It tells what happens to its system through its signals (a parameter
// changed, the boards are about to change and changed, the connection was
// lost); the views, panels and other subscribers connect themselves to them
// with themselves as context, so this layer never calls up into them. The
// per-system widgets are held as plain QWidget pointers (owned, deleted in
// the order the destructor documents); the layer that builds them casts
// them back.

#include <QList>
#include <QMutex>
#include <QPointer>
#include <QString>
#include <QWaitCondition>
#include <QWidget>
#include <atomic>

#include "device/EventMailbox.h"
#include "device/LogFeed.h"

class ORVEHVNode;
struct NodeValue;
class QProgressDialog;
class QStackedWidget;
class QThread;
class QSystemInterface;
struct LogBatch;
struct SubscriptionFailure;

class QSystemInterface : public QWidget
{
    Q_OBJECT
public:
    QSystemInterface(int systemType, int linkType, const QString &connectionArgument,
                     const QString &displayName, int systemIndex, QWidget *parent = nullptr);
    ~QSystemInterface() override;

    // Longest connection argument the library takes (its buffer is 80 bytes
    // with the terminating NUL). A longer one is refused, never cut.
    static constexpr int MaxArgumentLength = 79;

    // Connection sequence on the GUI thread (library connection, system
    // node, discovery): 0, -1 (empty or over-long argument, MF3300 crate of
    // an unknown slot count) or the library's code. `progress` may be null.
    int connectSystem(QProgressDialog *progress, const QString &userName, const QString &password);

    // After a live insertion or removal: shows "Crate map has changed, please
    // wait..", re-reads the crate map, discovers the boards that are new and
    // returns them (to be subscribed by the caller). Boards that left the
    // crate are announced by boardGone() before they are deleted. For a VME
    // HV board joined to a crate entry, the crate's list of boards follows
    // the change; boardsChanged() comes from the interface whose tree shows
    // the boards (the crate entry for a joined board).
    QList<ORVEHVNode *> changeCrateMap(QWidget *dialogParent);

    // Joins this VME HV board system to the crate entry of its bridge: its
    // boards are listed (not owned) by the crate's node, crateOffset becomes
    // the crate's board count before the join; the crate entry re-emits this
    // system's parameterChanged() from then on. Either side may be destroyed
    // first; the boards stay owned by this interface's node.
    void joinCrate(QSystemInterface *crate);
    QSystemInterface *joinedCrate() const { return m_joinedCrate; }

    // Stores a value the system reported in its node and emits
    // parameterChanged(node) (GUI thread).
    void setParameterValue(ORVEHVNode *node, const NodeValue &value);

    // Channel status parameters that failed the status check during
    // discovery; the view builder marks their rows and clears the list.
    QList<ORVEHVNode *> takeNotOkStatusNodes();

    // Every interface alive in the process (GUI thread). Queued handlers use
    // it to check a pointer before touching it.
    static QList<QSystemInterface *> liveInterfaces();
    static bool isLive(const QSystemInterface *sys);

    // Subscribes (unsubscribes) the parameters of the whole system for an
    // empty board list, else of the given board nodes, at the current event
    // port. 0 when every library call returned 0 or 1, else 1 (stops at that
    // call). Refused names are appended to the three failure lists.
    int subscribeParameters(const QList<ORVEHVNode *> &boards, QList<SubscriptionFailure> &systemFailures,
                            QList<SubscriptionFailure> &boardFailures,
                            QList<SubscriptionFailure> &channelFailures);
    int unsubscribeParameters(const QList<ORVEHVNode *> &boards, QList<SubscriptionFailure> &systemFailures,
                              QList<SubscriptionFailure> &boardFailures,
                              QList<SubscriptionFailure> &channelFailures);

    // --- shared with the event threads -------------------------------
    QMutex eventStateMutex;                // guards eventsEnabled
    bool eventsEnabled = false;
    QMutex logMutex;                       // guards the log queue
    QWaitCondition logCondition;           // wakes the log writer
    LogBatch *logQueueHead = nullptr;
    int logBatchCount = 0;
    LogBatch *logQueueTail = nullptr;
    std::atomic<bool> stopRequested{false};
    // Reports of the event-data thread waiting for the GUI thread.
    EventMailbox eventMailbox;
    // What the value log knows of the items on the event-data thread.
    LogFeed logFeed;
    std::atomic<int> eventSocket{-1};      // -1: the library supplies it (B8181)
    // When the event-data thread last read a batch, keep-alives included
    // (EventWatchdog::clockMs; 0: nothing yet). One store per batch.
    std::atomic<qint64> lastHeardMs{0};
    QThread *eventThread = nullptr;
    QThread *logWriterThread = nullptr;    // started by the event-data thread
    bool logWriterStop = false;            // under logMutex: writer flushes and ends
    bool logWakePending = false;           // under logMutex: a wake the writer has not taken yet

    // --- per-system widgets (owned) ---------------------------------
    // Each pointer reads null once its widget is gone.
    QWidget *boardInformationPanel() const { return m_boardInfo; }
    QWidget *systemCommandsPanel() const { return m_commandsPanel; }
    QWidget *systemBox() const { return m_systemBox; }
    QWidget *subWindow() const { return m_subWindow; }
    QWidget *statusBar() const { return m_statusBar; }
    void setBoardInformationPanel(QWidget *w);
    void setSystemCommandsPanel(QWidget *w);
    void setSystemBox(QWidget *w);
    void setSubWindow(QWidget *w);
    void setStatusBar(QWidget *w);

    // --- connection data --------------------------------------------
    int systemIndex() const { return m_systemIndex; }
    void setSystemIndex(int index);
    ORVEHVNode *systemNode() const { return m_systemNode; }
    void setSystemNode(ORVEHVNode *node) { m_systemNode = node; }
    int handle() const { return m_handle; }
    void setHandle(int h) { m_handle = h; }
    int systemType() const { return m_systemType; }
    void setSystemType(int t) { m_systemType = t; }
    int linkType() const { return m_linkType; }
    QString displayName() const { return m_displayName; }
    void setDisplayName(const QString &n) { m_displayName = n; }
    QString connectionArgument() const { return m_connectionArgument; }
    bool representsCustomView() const { return m_representsCustomView; }
    void setRepresentsCustomView(bool v) { m_representsCustomView = v; }
    QString subscriptionFailureLogName() const { return m_subscriptionFailureLogName; }
    int crateOffset() const { return m_crateOffset; }
    void setCrateOffset(int o) { m_crateOffset = o; }
    bool isLogStarted() const { return m_logStarted.load(); }
    // The value log's copy of the tree, its log choice and values (logFeed)
    // taken again: starting the log takes it, and so must a change of the
    // tree or of what is logged while the log runs.
    void refreshLogFeed();

    // The connection to the system is lost (`errorCode`: the library's
    // reason): its node's state becomes 2 and connectionLost() tells whoever
    // follows the system.
    void markConnectionLost(int errorCode);
    // The system reported a live insertion: it serves again (its node's
    // state becomes 1) and liveInsertion() tells whoever follows it.
    void markLiveInsertion();
    // The system's event status as its event thread reported it, announced
    // by eventStatusReported().
    void reportEventStatus(const ORVEHV_SYSTEMSTATUS_t &status) { emit eventStatusReported(status); }

signals:
    // The system's tree is about to change (crate map change, a joined board
    // system leaving a crate entry) or to go with the system (disconnection,
    // deletion): emitted before any node is freed, so that whoever holds
    // nodes of the tree lets go of them now.
    void boardsAboutToChange();
    // The tree changed: boards were added to or removed from it.
    void boardsChanged();
    // The system's connection was lost (its node's state is 2 by now);
    // `errorCode` is the library's reason.
    void connectionLost(int errorCode);
    // A live insertion: the system serves again, e.g. after connectionLost()
    // (its node's state is 1 by now); the crate map may change next.
    void liveInsertion();
    // The event status of the system and its boards, as reported.
    void eventStatusReported(const ORVEHV_SYSTEMSTATUS_t &status);
    // A parameter of the system took a new value the system reported. The
    // node carries what a subscriber needs (name, kind, board, channel,
    // value); the system is the sender.
    void parameterChanged(ORVEHVNode *node);
    // The same value, announced only by the system that reported it (a crate
    // or a custom view passes parameterChanged on, never this): what the
    // archive and the publisher follow, each value once.
    void valueReported(ORVEHVNode *node);
    // Emitted (directly) by changeCrateMap before a removed board is deleted.
    void boardGone(ORVEHVNode *board, int slot);
    void clicked(int systemIndex);
    void clickedExtraButton(int value);
    void clickedDisconnectButton(int value);

public slots:
    void clickWidget();
    void extraButtonClick(int value);
    void disconnectButtonClick(int value);
    void setIsLogStarted(bool started);

private:
    void setProgress(QProgressDialog *progress, int value);
    // A board this crate entry lists for a joined board system.
    bool isJoinedBoard(const ORVEHVNode *child) const;
    void releaseSharedBoards();

    QPointer<QWidget> m_boardInfo;
    QPointer<QWidget> m_commandsPanel;
    QPointer<QWidget> m_systemBox;
    QPointer<QWidget> m_subWindow;
    QPointer<QWidget> m_statusBar;
    int m_systemIndex = 0;
    ORVEHVNode *m_systemNode = nullptr;
    int m_handle = -1;
    int m_systemType = -1;
    int m_linkType = -1;
    QString m_displayName;
    QString m_connectionArgument;
    bool m_representsCustomView = false;
    QString m_subscriptionFailureLogName;
    int m_crateOffset = -1;
    std::atomic<bool> m_logStarted{false}; // read by the event-data thread too
    QPointer<QSystemInterface> m_joinedCrate;
    QList<ORVEHVNode *> m_notOkStatusNodes;
};

#endif
