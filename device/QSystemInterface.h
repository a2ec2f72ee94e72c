#ifndef QSYSTEMINTERFACE_H
#define QSYSTEMINTERFACE_H

// One connected system, VME HV board or custom view: connection data,
// library handle, device tree, per-system widgets, event-thread state and
// the value-log queue.
//
// The per-system widgets belong to layers above the device model, so they are
// held here as plain QWidget pointers (owned, deleted in the order the
// destructor documents); the layer that builds them casts them back.

#include <QList>
#include <QMutex>
#include <QString>
#include <QWaitCondition>
#include <QWidget>
#include <atomic>

class ORVEHVNode;
class QProgressDialog;
class QStackedWidget;
class QThread;
class QSystemInterface;
struct LogBatch;
struct SubscriptionFailure;

// Builds the per-system widgets; registered once by the application layer so
// the device model does not depend on views or panels.
class QSystemPanelFactory
{
public:
    virtual ~QSystemPanelFactory() = default;
    virtual void buildPanels(QSystemInterface *sys, QWidget *systemsAreaParent, QWidget *viewsParent,
                             QStackedWidget *boardInformationStack, int position) = 0;
    virtual void describeConnection(QSystemInterface *sys) = 0;
};

class QSystemInterface : public QWidget
{
    Q_OBJECT
public:
    QSystemInterface(int systemType, int linkType, const QString &connectionArgument,
                     const QString &displayName, int systemIndex, QWidget *parent = nullptr);
    ~QSystemInterface() override;

    static void setPanelFactory(QSystemPanelFactory *factory);
    static QSystemPanelFactory *panelFactory();

    // Connection sequence on the GUI thread: 0, -1 or the library's code.
    int connectSystem(QProgressDialog *progress, const QString &userName, const QString &password);

    void buildPanels(QWidget *systemsAreaParent, QWidget *viewsParent,
                     QStackedWidget *boardInformationStack, int position);
    void describeConnection();

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
    std::atomic<int> eventSocket{-1};      // -1: the library supplies it (B8181)
    QThread *eventThread = nullptr;
    QThread *logWriterThread = nullptr;    // started by the event-data thread
    bool logWriterStop = false;            // under logMutex: writer flushes and ends

    // --- per-system widgets (owned) ---------------------------------
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
    bool isLogStarted() const { return m_logStarted; }

signals:
    void clicked(int systemIndex);
    void clickedExtraButton(int value);
    void clickedDisconnectButton(int value);

public slots:
    void clickWidget();
    void extraButtonClick(int value);
    void disconnectButtonClick(int value);
    void setIsLogStarted(bool started);

private:
    QWidget *m_boardInfo = nullptr;
    QWidget *m_commandsPanel = nullptr;
    QWidget *m_systemBox = nullptr;
    QWidget *m_subWindow = nullptr;
    QWidget *m_statusBar = nullptr;
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
    bool m_logStarted = false;
};

#endif
