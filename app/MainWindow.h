#ifndef MAINWINDOW_H
#define MAINWINDOW_H

// The program's main window (one per process): menus, tool bar, the two docks
// (system boxes on the left, board information on the right), the views area
// with one channel table per system in tabbed, tiled or floated mode, and the
// status bar slot. Worker threads never touch it: they emit the router's
// signals, which arrive here as the window's own six signals on the GUI thread.
//
// Its public API stays the one place callers go; the work is done by:
//   SystemConnections    the systems list, the event server, connecting and
//                        disconnecting (the systems' queries forward there);
//   SystemEventHandlers  what the six event reports do (the handle* slots
//                        forward there);
//   EventDelivery        how the event threads' reports become its signals;
//   ViewsController      custom views, channel groups, saved configurations.

#include <QMainWindow>
#include <QMessageBox>
#include <QPixmap>
#include <QPointer>
#include <QStringList>
#include <QVector>
#include <functional>
#include <memory>

#include "ORVEHVWrapper.h"
#include "connect/SystemConnector.h"
#include "device/EventRouter.h"
#include "device/OperatorMessage.h"
#include "device/SubscriptionFailure.h"
#include "device/SystemPlaces.h"

class QAction;
class QDockWidget;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QMenuBar;
class QStackedWidget;
class QTimer;
class QToolBar;
class QToolButton;
class QVBoxLayout;
class QSystemInterface;
class HistoryHooks;
class SystemConnections;
class SystemEventHandlers;
class ViewsController;

// The window's widgets, actions and menus under their object names.
struct MainWindowForm
{
    QWidget *centralWidget = nullptr;
    QVBoxLayout *verticalLayout_3 = nullptr;
    QMdiArea *viewsArea = nullptr;
    QDockWidget *dockLeft = nullptr;
    QWidget *dockLeftContents = nullptr;
    QVBoxLayout *verticalLayout_2 = nullptr;
    QDockWidget *dockRight = nullptr;
    QWidget *dockRightContents = nullptr;
    QVBoxLayout *verticalLayout_4 = nullptr;
    QStackedWidget *stackedWidgetRight = nullptr;
    QToolBar *mainTBar = nullptr;
    QMenuBar *menuBar = nullptr;

    QMenu *menuFile = nullptr;
    QMenu *menuView = nullptr;
    QMenu *menuGroups = nullptr;
    QMenu *menuViewGroups = nullptr;
    QMenu *menuWindow = nullptr;
    QMenu *menuPanels = nullptr;
    QMenu *menuHelp = nullptr;

    QAction *menuConnect = nullptr;
    QAction *menuExit = nullptr;
    QAction *menuCustomView = nullptr;
    QAction *menuLoad = nullptr;
    QAction *menuSave = nullptr;
    QAction *chSearch = nullptr;
    QAction *menuCreateGroup = nullptr;
    QAction *menuSystems = nullptr;
    QAction *menuBoards = nullptr;
    QAction *menuLockPanels = nullptr;
    QAction *menuTab = nullptr;
    QAction *menuTile = nullptr;
    QAction *menuFloat = nullptr;
    QAction *menuManual = nullptr;
    QAction *menuAbout = nullptr;

    void setupUi(QMainWindow *window);
};


class MainWindow : public QMainWindow, public SystemConnector
{
    Q_OBJECT
public:
    // Creates the window on first use; instance() is null until then.
    static MainWindow *create();
    static MainWindow *instance();
    ~MainWindow() override;

    MainWindowForm &form() { return m_form; }
    QToolButton *buttonAll() const { return m_all; }
    QToolButton *buttonNone() const { return m_none; }
    QToolButton *buttonSys() const { return m_sys; }
    QToolButton *buttonBrd() const { return m_brd; }
    QToolButton *buttonLock() const { return m_lock; }
    QWidget *systemsArea() const { return m_systemsArea; }
    EventRouter *eventRouter() const { return m_router; }

    // Systems list in creation order (connected systems, VME HV boards joined
    // to a crate, custom views).
    const QVector<QSystemInterface *> &systems() const;
    // True while the pointer is an entry of the systems list. Queued reports
    // may name an interface the operator removed meanwhile: only a live one
    // may be dereferenced.
    bool isLiveSystem(const QSystemInterface *sysIf) const;
    // The top-level system (crateOffset 0) with this system index.
    QSystemInterface *topLevelSystem(int systemIndex) const;
    int topLevelCount() const;
    // The interface whose views show this system: for a VME HV board the first
    // VME HV system of its link key, else the system itself.
    QSystemInterface *crateOf(QSystemInterface *sysIf) const;
    // The first VME HV system on the bridge and link of this argument.
    QSystemInterface *crateEntryFor(const QString &connectionArgument) const;

    // Connection sequence for one system: 0 when it is connected, 1 when not
    // (refused, failed, or no event server to deliver its values).
    int connectToSystem(int systemType, int linkType, const QString &connectionArgument,
                         const QString &displayName, const QString &userName,
                         const QString &password) override;
    // Disconnects one entry of the systems list without asking.
    void removeSystem(int position);
    // Report of parameters the library refused to subscribe (file and box).
    void reportUnsubscribedParameters(int handle, const SubscriptionFailureList &systemFailures,
                                      const SubscriptionFailureList &boardFailures,
                                      const SubscriptionFailureList &channelFailures);

    // Starts the event server thread; false when it cannot be started (the
    // operator is told and connecting is disabled, as when it cannot listen).
    bool startEventServer();
    // An event server listens: only then is connecting offered.
    bool eventServerReady() const;
    quint16 eventPort() const;

    // Every operator message box goes through here (showOperatorMessage
    // with this window as parent); the hook is the process-wide one.
    using MessageHook = OperatorMessageHook;
    static void setMessageHook(MessageHook hook);
    int showMessage(const OperatorMessage &message);

    // The open channel-search dialog answers through this in tests.
    using SearchHook = std::function<bool(QString *)>;
    static void setSearchHook(SearchHook hook);

    int connectDialogRequests() const { return m_connectDialogRequests; }
    // Custom views, channel groups and saved configurations.
    ViewsController *viewsController() const { return m_views; }
    // Connected systems (top-level entries that are not a custom view): at
    // most four at once.
    int connectedSystemCount() const;
    QList<SystemPlaces::Address> connectedAddresses() const;
    QWidget *sessionNotice() const;

signals:
    void tcpServerError();
    void liveInsertion(QSystemInterface *sysIf, bool isFirstEv, bool isLastEv);
    void TransparentMode(QSystemInterface *sysIf);
    void updateValueAndWidget(QSystemInterface *sysIf, int bdIndex, int chIndex, QString itmName,
                              IDValue_t val, bool isFirstEv, bool isLastEv);
    void systemEvStatus(QSystemInterface *sysIf, ORVEHV_SYSTEMSTATUS_t sysStatus);
    void systemDisconnected(QSystemInterface *sysIf, int errorCode);

    // Emitted whenever the connect dialog is opened (start-up, "Connect..",
    // after the last disconnection).
    void connectDialogOpened();

public slots:
    void createDialogForConnection();
    void tabMdiAreaViews();
    void tileMdiAreaViews();
    void floatMdiAreaViews();
    void setCurrentSubWindowIndex(int systemIndex);
    void setCurrentWidgetIndex(QMdiSubWindow *sub);
    void tbarAllClicked();
    void tbarNoneClicked();
    void tbarSysClicked();
    void tbarBrdClicked();
    void tbarLockClicked();
    void showDockLeft();
    void showDockRight();
    void checkMenuDockLeft();
    void checkMenuDockRight();
    void lockPanels();
    void onCtrlFPressed();
    void createDialogForGroupSettings();
    void createDialogToEditGroup();
    void createDialogForCustomView();
    void createConfigureTableDialog(int systemIndex);
    void loadCustomizedViews();
    void saveCustomizedViews();
    void showAboutDialog();
    void showUserManual();
    void disconnectFromSystem(int systemIndex);

    void handleTcpServerError();
    void handleEventLiveInsertion(QSystemInterface *sysIf, bool isFirstEv, bool isLastEv);
    void handleTransparentMode(QSystemInterface *sysIf);
    void handleUpdateValueAndWidget(QSystemInterface *sysIf, int bdIndex, int chIndex, QString itmName,
                                    IDValue_t val, bool isFirstEv, bool isLastEv);
    void handleSystemEvStatus(QSystemInterface *sysIf, ORVEHV_SYSTEMSTATUS_t sysStatus);
    void handleSystemDisconnected(QSystemInterface *sysIf, int errCode);

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    friend class ViewsController;
    friend class SystemConnections;
    void applyBackground();
    MainWindow();

    void createToolBar();
    void applyDockLayout(QToolButton *chosen, bool systems, bool boards);
    void setButtonIcon(QToolButton *button, bool on);
    void applyLayoutButton(QToolButton *button);
    void setSystemItemsEnabled(bool enabled);
    void updateConnectAction();
    void markBoxes(int systemIndex);
    void showBoardPage(int systemIndex);
    void showStatusBarOf(QSystemInterface *sysIf);
    void addSubWindow(QSystemInterface *sysIf);
    void restoreFloatedWindows(bool tabbed);
    void removeViewsOf(QSystemInterface *sysIf);
    void rebuildCrateViews(QSystemInterface *crate);

    static MainWindow *s_instance;
    static SearchHook s_searchHook;

    MainWindowForm m_form;
    // Built before the constructor's body; the destructor's body empties them.
    std::unique_ptr<SystemConnections> m_connections;
    std::unique_ptr<SystemEventHandlers> m_handlers;
    QToolButton *m_all = nullptr;
    QToolButton *m_none = nullptr;
    QToolButton *m_sys = nullptr;
    QToolButton *m_brd = nullptr;
    QToolButton *m_lock = nullptr;
    QWidget *m_systemsArea = nullptr;
    EventRouter *m_router = nullptr;
    ViewsController *m_views = nullptr;
    HistoryHooks *m_history = nullptr;
    // The background picture as decoded (6 MB): kept while the window is
    // being resized, let go once the resizing has stopped.
    QPixmap m_background;
    QTimer *m_backgroundRelease = nullptr;
    QPointer<QWidget> m_connectDialog;
    int m_connectDialogRequests = 0;
    bool m_closing = false;
};

#endif
