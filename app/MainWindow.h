#ifndef MAINWINDOW_H
#define MAINWINDOW_H

// The program's main window (one per process): menus, tool bar, the two docks
// (system boxes on the left, board information on the right), the views area
// with one channel table per system in tabbed, tiled or floated mode, and the
// status bar slot. Worker threads never touch it: they emit the router's
// signals, which arrive here as the window's own six signals on the GUI thread.
//
// The work is done by:
//   SystemConnections    the systems list, the event server, connecting and
//                        disconnecting (connections()); it signals what
//                        happened, and the window's menus, views area and
//                        docks follow those signals;
//   SystemEventHandlers  what the six event reports do; EventDelivery hands
//                        the event threads' reports straight to it, and the
//                        window's six signals of the same names reach it too;
//   ViewsController      custom views, channel groups, saved configurations
//                        (through ViewsHost, the window's side of them).

#include <QMainWindow>
#include <QMessageBox>
#include <QPixmap>
#include <QPointer>
#include <QStringList>
#include <QVector>
#include <functional>
#include <memory>

#include "ORVEHVWrapper.h"
#include "app/ViewsHost.h"
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
class PublishHooks;
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
    QAction *menuSnapshots = nullptr;

    void setupUi(QMainWindow *window);
};


class MainWindow : public QMainWindow, public SystemConnector, public ViewsHost
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

    // The systems list and their lifecycle (never null once created).
    SystemConnections *connections() const { return m_connections.get(); }
    // What the six event reports do.
    SystemEventHandlers *eventHandlers() const { return m_handlers.get(); }

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

    // ViewsHost
    void addSubWindow(QSystemInterface *sys) override;
    void showNotice(const QString &text) override;

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
    void setCurrentSubWindowIndex(int systemIndex) override;
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

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private slots:
    // Followed from SystemConnections' signals.
    void showAddedSystem(QSystemInterface *sys);
    void followRemovedSystems();
    void followConnectedCount(int count);
    void disableConnecting();

private:
    void applyBackground();
    MainWindow();

    void createToolBar();
    void applyDockLayout(QToolButton *chosen, bool systems, bool boards);
    void setButtonIcon(QToolButton *button, bool on);
    // Dock layout changes the window makes by itself keep the operator's lock.
    void applyLayoutUnlocked(void (MainWindow::*layout)());
    void applyLayoutButton(QToolButton *button);
    void setSystemItemsEnabled(bool enabled);
    void updateConnectAction();
    void markBoxes(int systemIndex);
    void showBoardPage(int systemIndex);
    void showStatusBarOf(QSystemInterface *sysIf);
    void restoreFloatedWindows(bool tabbed);
    // Tiled views and floated windows in rows, each as wide as the views
    // area; floated windows within the screen's usable part.
    void tileInRows();
    void layOutFloatedWindows();
    void removeViewsOf(QSystemInterface *sysIf);

    static MainWindow *s_instance;
    static SearchHook s_searchHook;

    MainWindowForm m_form;
    // Built once the window's widgets are; the destructor's body empties them.
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
    PublishHooks *m_publish = nullptr;
    // The background picture as decoded (6 MB): kept while the window is
    // being resized, let go once the resizing has stopped.
    QPixmap m_background;
    QTimer *m_backgroundRelease = nullptr;
    QPointer<QWidget> m_connectDialog;
    int m_connectDialogRequests = 0;
    bool m_closing = false;
};

#endif
