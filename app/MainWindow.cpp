#include "app/MainWindow.h"
#include "app/HistoryHooks.h"

#include "app/MainWindowLogic.h"
#include "app/QFloatingWindow.h"
#include "app/SystemConnections.h"
#include "app/SystemEventHandlers.h"
#include "app/ViewAccess.h"
#include "app/ViewsController.h"
#include "connect/QConnectDialog.h"
#include "device/EventDelivery.h"
#include "device/QSystemInterface.h"
#include "panels/InfoDialogs.h"
#include "panels/QCollapsibleWidget.h"
#include "panels/QSystemStatusBar.h"
#include "script/ScriptRunLock.h"
#include "snapshot/ui/QSnapshotsDialog.h"
#include "views/QSubWindow.h"
#include "views/QTripHandlingDialog.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDockWidget>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QShortcut>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

MainWindow *MainWindow::s_instance = nullptr;
MainWindow::SearchHook MainWindow::s_searchHook;

namespace {

const char *const OffIcons[] = {":Resources/Elementi/icona-1-bianca.png", ":Resources/Elementi/icona-2-bianca.png",
                                ":Resources/Elementi/icona-3-bianca.png", ":Resources/Elementi/icona-4-bianca.png",
                                ":Resources/Elementi/icona-5-bianca.png"};
const char *const OnIcons[] = {":Resources/Elementi/icona-1-verde.png", ":Resources/Elementi/icona-2-verde.png",
                               ":Resources/Elementi/icona-3-verde.png", ":Resources/Elementi/icona-4-verde.png",
                               ":Resources/Elementi/icona-5-verde.png"};

QIcon emptyIcon()
{
    // A null QIcon would fall back to the application icon.
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    return QIcon(pixmap);
}

QAction *makeAction(QMainWindow *window, const char *objectName, const QString &text,
                    const QKeySequence &shortcut = QKeySequence(), bool checkable = false, bool checked = false)
{
    auto *action = new QAction(window);
    action->setObjectName(QString::fromLatin1(objectName));
    action->setText(text);
    if (!shortcut.isEmpty())
        action->setShortcut(shortcut);
    action->setCheckable(checkable);
    if (checkable)
        action->setChecked(checked);
    return action;
}

} // namespace

// ------------------------------------------------------------------ form

void MainWindowForm::setupUi(QMainWindow *window)
{
    window->setObjectName(QStringLiteral("MainWindow"));
    window->resize(1055, 735);

    menuConnect = makeAction(window, "menuConnect", QStringLiteral("Connect.."), QKeySequence(QStringLiteral("Alt+C")));
    menuExit = makeAction(window, "menuExit", QStringLiteral("Exit"), QKeySequence(QStringLiteral("Ctrl+Q")));
    menuCustomView = makeAction(window, "menuCustomView", QStringLiteral("Custom View.."));
    menuLoad = makeAction(window, "menuLoad", QStringLiteral("Load"));
    menuSave = makeAction(window, "menuSave", QStringLiteral("Save"));
    chSearch = makeAction(window, "chSearch", QStringLiteral("Search"));
    menuCreateGroup = makeAction(window, "menuCreateGroup", QStringLiteral("New Group"));
    menuSystems = makeAction(window, "menuSystems", QStringLiteral("Systems"), QKeySequence(QStringLiteral("Alt+L")), true, true);
    menuBoards = makeAction(window, "menuBoards", QStringLiteral("Boards"), QKeySequence(QStringLiteral("Alt+R")), true, true);
    menuLockPanels = makeAction(window, "menuLockPanels", QStringLiteral("Lock"),
                                QKeySequence(QStringLiteral("Alt+Shift+L")), true, true);
    menuTab = makeAction(window, "menuTab", QStringLiteral("Tabbed"), QKeySequence(QStringLiteral("Alt+1")), true, false);
    menuTab->setToolTip(QStringLiteral("Tab Views"));
    menuTile = makeAction(window, "menuTile", QStringLiteral("Tiled"), QKeySequence(QStringLiteral("Alt+2")), true, false);
    menuTile->setToolTip(QStringLiteral("Tile Views"));
    menuFloat = makeAction(window, "menuFloat", QStringLiteral("Floated"), QKeySequence(QStringLiteral("Alt+3")), true, false);
    menuManual = makeAction(window, "menuManual", QStringLiteral("User Manual"));
    menuAbout = makeAction(window, "menuAbout", QStringLiteral("About.."));
    menuSnapshots = makeAction(window, "menuSnapshots", QStringLiteral("Setpoint Snapshots.."));

    centralWidget = new QWidget(window);
    centralWidget->setObjectName(QStringLiteral("centralWidget"));
    verticalLayout_3 = new QVBoxLayout(centralWidget);
    verticalLayout_3->setObjectName(QStringLiteral("verticalLayout_3"));
    verticalLayout_3->setSpacing(0);
    verticalLayout_3->setContentsMargins(0, 0, 0, 0);
    viewsArea = new QMdiArea(centralWidget);
    viewsArea->setObjectName(QStringLiteral("viewsArea"));
    viewsArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    viewsArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // No fill pattern: the window's background picture shows through.
    viewsArea->setBackground(QBrush(QColor(160, 160, 160), Qt::NoBrush));
    viewsArea->setContextMenuPolicy(Qt::NoContextMenu);
    verticalLayout_3->addWidget(viewsArea);
    window->setCentralWidget(centralWidget);

    dockLeft = new QDockWidget(window);
    dockLeft->setObjectName(QStringLiteral("dockLeft"));
    dockLeft->setMinimumSize(250, 100);
    dockLeft->setMaximumWidth(250);
    dockLeft->setFeatures(QDockWidget::NoDockWidgetFeatures);
    dockLeft->setWindowTitle(QStringLiteral("SYSTEM"));
    dockLeftContents = new QWidget();
    dockLeftContents->setObjectName(QStringLiteral("dockLeftContents"));
    verticalLayout_2 = new QVBoxLayout(dockLeftContents);
    verticalLayout_2->setObjectName(QStringLiteral("verticalLayout_2"));
    verticalLayout_2->setContentsMargins(0, 0, 0, 0);
    dockLeft->setWidget(dockLeftContents);
    window->addDockWidget(Qt::LeftDockWidgetArea, dockLeft);

    dockRight = new QDockWidget(window);
    dockRight->setObjectName(QStringLiteral("dockRight"));
    dockRight->setMinimumSize(230, 100);
    dockRight->setMaximumWidth(230);
    dockRight->setFeatures(QDockWidget::NoDockWidgetFeatures);
    dockRight->setWindowTitle(QStringLiteral("BOARDS"));
    dockRightContents = new QWidget();
    dockRightContents->setObjectName(QStringLiteral("dockRightContents"));
    verticalLayout_4 = new QVBoxLayout(dockRightContents);
    verticalLayout_4->setObjectName(QStringLiteral("verticalLayout_4"));
    verticalLayout_4->setContentsMargins(0, 0, 0, 0);
    stackedWidgetRight = new QStackedWidget(dockRightContents);
    stackedWidgetRight->setObjectName(QStringLiteral("stackedWidgetRight"));
    stackedWidgetRight->setMaximumWidth(230);
    stackedWidgetRight->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    verticalLayout_4->addWidget(stackedWidgetRight);
    dockRight->setWidget(dockRightContents);
    window->addDockWidget(Qt::RightDockWidgetArea, dockRight);

    mainTBar = new QToolBar(window);
    mainTBar->setObjectName(QStringLiteral("mainTBar"));
    mainTBar->setWindowTitle(QStringLiteral("toolBar"));
    mainTBar->setAllowedAreas(Qt::TopToolBarArea);
    mainTBar->setMovable(false);
    mainTBar->setFloatable(false);
    mainTBar->setIconSize(QSize(32, 32));
    window->addToolBar(Qt::TopToolBarArea, mainTBar);

    menuBar = new QMenuBar(window);
    menuBar->setObjectName(QStringLiteral("menuBar"));
    menuFile = new QMenu(QStringLiteral("File"), menuBar);
    menuFile->setObjectName(QStringLiteral("menuFile"));
    menuView = new QMenu(QStringLiteral("Settings"), menuBar);
    menuView->setObjectName(QStringLiteral("menuView"));
    menuGroups = new QMenu(QStringLiteral("Groups"), menuBar);
    menuGroups->setObjectName(QStringLiteral("menuGroups"));
    menuViewGroups = new QMenu(QStringLiteral("Groups"), menuGroups);
    menuViewGroups->setObjectName(QStringLiteral("menuViewGroups"));
    menuWindow = new QMenu(QStringLiteral("Window"), menuBar);
    menuWindow->setObjectName(QStringLiteral("menuWindow"));
    menuPanels = new QMenu(QStringLiteral("Panels"), menuWindow);
    menuPanels->setObjectName(QStringLiteral("menuPanels"));
    menuHelp = new QMenu(QStringLiteral("Help"), menuBar);
    menuHelp->setObjectName(QStringLiteral("menuHelp"));
    window->setMenuBar(menuBar);

    menuBar->addAction(menuFile->menuAction());
    menuBar->addAction(menuView->menuAction());
    menuBar->addAction(menuGroups->menuAction());
    menuBar->addAction(menuWindow->menuAction());
    menuBar->addAction(menuHelp->menuAction());

    menuFile->addAction(menuConnect);
    menuFile->addAction(menuSnapshots);
    menuFile->addSeparator();
    menuFile->addAction(menuExit);

    menuView->addAction(menuCustomView);
    menuView->addSeparator();
    menuView->addAction(menuLoad);
    menuView->addAction(menuSave);
    menuView->addSeparator();
    menuView->addAction(chSearch);

    menuGroups->addAction(menuCreateGroup);
    menuGroups->addSeparator();
    menuGroups->addAction(menuViewGroups->menuAction());

    menuWindow->addAction(menuPanels->menuAction());
    menuPanels->addAction(menuSystems);
    menuPanels->addAction(menuBoards);
    menuPanels->addSeparator();
    menuPanels->addAction(menuLockPanels);
    menuWindow->addSeparator();
    menuWindow->addAction(menuTab);
    menuWindow->addAction(menuTile);
    menuWindow->addAction(menuFloat);
    menuWindow->addSeparator();

    menuHelp->addSeparator();
    menuHelp->addAction(menuManual);
    menuHelp->addAction(menuAbout);

    QObject::connect(menuExit, &QAction::triggered, window, &QWidget::close);
}

// ----------------------------------------------------------- singleton

MainWindow *MainWindow::create()
{
    if (!s_instance)
        s_instance = new (std::nothrow) MainWindow();
    return s_instance;
}

MainWindow *MainWindow::instance()
{
    return s_instance;
}

MainWindow::MainWindow()
{
    m_form.setupUi(this);

    m_none = new QToolButton(this);
    m_none->setObjectName(QStringLiteral("None"));
    m_all = new QToolButton(this);
    m_all->setObjectName(QStringLiteral("All"));
    m_sys = new QToolButton(this);
    m_sys->setObjectName(QStringLiteral("Sys"));
    m_brd = new QToolButton(this);
    m_brd->setObjectName(QStringLiteral("Brd"));
    m_lock = new QToolButton(this);
    m_lock->setObjectName(QStringLiteral("Lock"));

    auto *search = new QShortcut(QKeySequence(QStringLiteral("Ctrl+F")), this);

    // Background picture stretched over the window on every resize, so a
    // maximised window does not tile it. The first one comes when the window
    // is shown, at its final size: a picture of the size the window had
    // before would stay in the palettes that style sheets keep of the widgets
    // polished meanwhile (3 MB).
    m_backgroundRelease = new QTimer(this);
    m_backgroundRelease->setSingleShot(true);
    m_backgroundRelease->setInterval(500);
    connect(m_backgroundRelease, &QTimer::timeout, this, [this] { m_background = QPixmap(); });
    setWindowTitle(QStringLiteral("KEBODESK"));
    setWindowIcon(QIcon(QStringLiteral(":/Resources/buttons/n_icon.png")));
    setDockNestingEnabled(true);
    setDocumentMode(false);
    // No dock/tool bar toggling menu anywhere.
    setContextMenuPolicy(Qt::NoContextMenu);
    for (QWidget *w : std::initializer_list<QWidget *>{m_form.mainTBar, m_form.dockLeft, m_form.dockRight,
                                                       m_form.menuBar, m_form.centralWidget})
        w->setContextMenuPolicy(Qt::CustomContextMenu);
    m_form.dockLeft->setWindowTitle(QStringLiteral("SYSTEM"));
    QCoreApplication::setOrganizationName(QStringLiteral("ORVE"));
    QCoreApplication::setApplicationName(QStringLiteral("KEBODESK"));
    setWindowState(windowState() | Qt::WindowMaximized);

    EventRouter::registerEventMetaTypes();
    QSubWindow::setTripDialogFactory(&QTripHandlingDialog::create);

    connect(search, &QShortcut::activated, this, &MainWindow::onCtrlFPressed);
    m_router = new EventRouter(this);

    m_form.mainTBar->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    m_form.dockLeft->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    m_form.dockRight->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);

    connect(m_form.menuConnect, &QAction::triggered, this, &MainWindow::createDialogForConnection);
    connect(m_form.menuCustomView, &QAction::triggered, this, &MainWindow::createDialogForCustomView);
    connect(m_form.menuLoad, &QAction::triggered, this, &MainWindow::loadCustomizedViews);
    connect(m_form.menuSave, &QAction::triggered, this, &MainWindow::saveCustomizedViews);
    connect(m_form.chSearch, &QAction::triggered, this, &MainWindow::onCtrlFPressed);
    connect(m_form.menuCreateGroup, &QAction::triggered, this, &MainWindow::createDialogForGroupSettings);
    connect(m_form.menuSystems, &QAction::toggled, this, &MainWindow::showDockLeft);
    connect(m_form.menuBoards, &QAction::toggled, this, &MainWindow::showDockRight);
    connect(m_form.menuLockPanels, &QAction::toggled, this, &MainWindow::lockPanels);
    connect(m_form.menuTab, &QAction::triggered, this, &MainWindow::tabMdiAreaViews);
    connect(m_form.menuTile, &QAction::triggered, this, &MainWindow::tileMdiAreaViews);
    connect(m_form.menuFloat, &QAction::triggered, this, &MainWindow::floatMdiAreaViews);
    connect(m_form.menuManual, &QAction::triggered, this, &MainWindow::showUserManual);
    connect(m_form.menuAbout, &QAction::triggered, this, &MainWindow::showAboutDialog);
    connect(m_form.menuSnapshots, &QAction::triggered, this, [this] { QSnapshotsDialog::showDialog(this); });
    connect(m_form.viewsArea, &QMdiArea::subWindowActivated, this, &MainWindow::setCurrentWidgetIndex);

    createToolBar();

    setSystemItemsEnabled(false);

    // The left dock holds the list of system boxes.
    auto *boxes = new QCollapsibleWidget(m_form.dockLeftContents);
    boxes->setObjectName(QStringLiteral("systemsArea"));
    m_form.verticalLayout_2->addWidget(boxes);
    m_systemsArea = boxes;

    // The systems and their lifecycle; the window follows what they signal.
    const SystemViewParents parents{this, m_systemsArea, m_form.viewsArea, m_form.stackedWidgetRight};
    m_connections = std::make_unique<SystemConnections>(m_router, parents);
    // The history follows the systems by itself; its menu entries and dock
    // come right after the tool bar's.
    m_history = new HistoryHooks(*this, *m_connections);
    m_views = new ViewsController(this, m_form.menuViewGroups, *m_connections, parents, *this);
    m_handlers = std::make_unique<SystemEventHandlers>(*this, *m_connections, *m_views);
    connect(m_connections.get(), &SystemConnections::systemAdded, this, &MainWindow::showAddedSystem);
    connect(m_connections.get(), &SystemConnections::systemAboutToBeRemoved, this, &MainWindow::removeViewsOf);
    connect(m_connections.get(), &SystemConnections::systemsRemoved, this, &MainWindow::followRemovedSystems);
    connect(m_connections.get(), &SystemConnections::connectedCountChanged, this, &MainWindow::followConnectedCount);
    connect(m_connections.get(), &SystemConnections::connectingDisabled, this, &MainWindow::disableConnecting);
    connect(m_connections.get(), &SystemConnections::eventServerFailed, this, &MainWindow::tcpServerError);

    // The event threads report through the router: the per-system reports
    // travel through each system's mailbox and reach the handlers on the GUI
    // thread (EventDelivery.h). The window's own six signals reach the same
    // handlers (tcpServerError is connected last).
    SystemEventHandlers *handlers = m_handlers.get();
    connect(m_router, &EventRouter::tcpServerError, this, &MainWindow::tcpServerError, Qt::QueuedConnection);
    auto *delivery = new EventDelivery(
        m_router, [this](const QSystemInterface *sys) { return m_connections->isLiveSystem(sys); }, this);
    connect(delivery, &EventDelivery::liveInsertion, handlers, &SystemEventHandlers::handleEventLiveInsertion);
    connect(delivery, &EventDelivery::TransparentMode, handlers, &SystemEventHandlers::handleTransparentMode);
    connect(delivery, &EventDelivery::updateValueAndWidget, handlers,
            &SystemEventHandlers::handleUpdateValueAndWidget);
    connect(delivery, &EventDelivery::systemEvStatus, handlers, &SystemEventHandlers::handleSystemEvStatus);
    connect(delivery, &EventDelivery::systemDisconnected, handlers, &SystemEventHandlers::handleSystemDisconnected);
    connect(this, &MainWindow::liveInsertion, handlers, &SystemEventHandlers::handleEventLiveInsertion);
    connect(this, &MainWindow::TransparentMode, handlers, &SystemEventHandlers::handleTransparentMode);
    connect(this, &MainWindow::updateValueAndWidget, handlers, &SystemEventHandlers::handleUpdateValueAndWidget);
    connect(this, &MainWindow::systemEvStatus, handlers, &SystemEventHandlers::handleSystemEvStatus);
    connect(this, &MainWindow::systemDisconnected, handlers, &SystemEventHandlers::handleSystemDisconnected);

    m_form.menuTab->setChecked(true);
    if (m_form.menuTab->isChecked())
        tabMdiAreaViews();
    else if (m_form.menuTile->isChecked())
        tileMdiAreaViews();
    else if (m_form.menuFloat->isChecked())
        floatMdiAreaViews();

    connect(this, &MainWindow::tcpServerError, handlers, &SystemEventHandlers::handleTcpServerError);

    // Initial tool bar state: no docks, panels locked.
    m_none->setChecked(true);
    m_lock->setChecked(true);
    m_form.menuLockPanels->setChecked(true);
    m_form.menuSystems->setChecked(false);
    m_form.menuBoards->setChecked(false);
    showDockLeft();
    showDockRight();
    lockPanels();
    for (QToolButton *b : {m_all, m_none, m_sys, m_brd})
        setButtonIcon(b, b->isChecked());
    connect(m_form.dockLeft, &QDockWidget::visibilityChanged, this, &MainWindow::checkMenuDockLeft);
    connect(m_form.dockRight, &QDockWidget::visibilityChanged, this, &MainWindow::checkMenuDockRight);
}

MainWindow::~MainWindow()
{
    // Threads first: nothing may report into a half-destroyed window.
    m_connections->haltEventThreads();
    delete m_history;  // stores what the archive was handed
    // Children still signal while QWidget's destructor tears them down (a
    // dock hiding reports its visibility): nothing may reach this window's
    // slots once its own members are going.
    for (QObject *child : findChildren<QObject *>())
        QObject::disconnect(child, nullptr, this, nullptr);
    m_connections->deleteAllSystems([this](QSystemInterface *sys) { removeViewsOf(sys); });
    if (s_instance == this)
        s_instance = nullptr;
}

// ------------------------------------------------------------ tool bar

void MainWindow::createToolBar()
{
    auto *logo = new QWidget(m_form.mainTBar);
    logo->setObjectName(QStringLiteral("logoWidget"));
    auto *logoLayout = new QHBoxLayout(logo);
    logoLayout->setContentsMargins(0, 0, 0, 0);
    auto *logoLabel = new QLabel(logo);
    logoLabel->setObjectName(QStringLiteral("logoLabel"));
    logoLabel->setPixmap(QPixmap(QStringLiteral(":Resources/Elementi/logo_head.png")));
    logoLayout->addWidget(logoLabel);
    logoLayout->addStretch();
    logo->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    m_form.mainTBar->addWidget(logo);

    const struct {
        QToolButton *button;
        const char *tip;
        void (MainWindow::*slot)();
    } buttons[] = {
        {m_none, "Hide both panels", &MainWindow::tbarNoneClicked},
        {m_all, "Show both panels", &MainWindow::tbarAllClicked},
        {m_sys, "Show the systems panel", &MainWindow::tbarSysClicked},
        {m_brd, "Show the boards panel", &MainWindow::tbarBrdClicked},
        {m_lock, "Lock the panels", &MainWindow::tbarLockClicked},
    };
    for (const auto &b : buttons) {
        b.button->setCheckable(true);
        b.button->setStyleSheet(QStringLiteral("padding-top:30px;"));
        b.button->setToolTip(QString::fromLatin1(b.tip));
        b.button->setIconSize(QSize(32, 32));
        setButtonIcon(b.button, false);
        connect(b.button, &QToolButton::clicked, this, b.slot);
        m_form.mainTBar->addWidget(b.button);
    }
    auto *spare = new QToolButton(m_form.mainTBar);
    spare->setObjectName(QStringLiteral("spareButton"));
    spare->setIcon(QIcon());
    spare->setEnabled(false);
    spare->setIconSize(QSize(8, 32));
    m_form.mainTBar->addWidget(spare);
}

void MainWindow::setButtonIcon(QToolButton *button, bool on)
{
    const QToolButton *order[] = {m_none, m_all, m_sys, m_brd, m_lock};
    for (int i = 0; i < 5; ++i) {
        if (order[i] == button) {
            button->setIcon(QIcon(QString::fromLatin1(on ? OnIcons[i] : OffIcons[i])));
            return;
        }
    }
}

void MainWindow::applyDockLayout(QToolButton *chosen, bool systems, bool boards)
{
    if (m_form.menuLockPanels->isChecked()) {
        // The click toggled the button; a locked layout keeps its state.
        chosen->setChecked(!chosen->isChecked());
        return;
    }
    for (QToolButton *b : {m_all, m_none, m_sys, m_brd}) {
        b->setChecked(b == chosen);
        setButtonIcon(b, b == chosen);
    }
    // Back to their default places.
    removeDockWidget(m_form.dockLeft);
    removeDockWidget(m_form.dockRight);
    addDockWidget(Qt::LeftDockWidgetArea, m_form.dockLeft);
    addDockWidget(Qt::RightDockWidgetArea, m_form.dockRight);
    m_form.dockLeft->setFloating(false);
    m_form.dockRight->setFloating(false);
    m_form.menuSystems->setChecked(systems);
    m_form.menuBoards->setChecked(boards);
    showDockLeft();
    showDockRight();
}

void MainWindow::tbarAllClicked() { applyDockLayout(m_all, true, true); }
void MainWindow::tbarNoneClicked() { applyDockLayout(m_none, false, false); }
void MainWindow::tbarSysClicked() { applyDockLayout(m_sys, true, false); }
void MainWindow::tbarBrdClicked() { applyDockLayout(m_brd, false, true); }

void MainWindow::tbarLockClicked()
{
    m_form.menuLockPanels->setChecked(m_lock->isChecked());
}

void MainWindow::showDockLeft()
{
    m_form.dockLeft->setVisible(m_form.menuSystems->isChecked());
}

void MainWindow::showDockRight()
{
    m_form.dockRight->setVisible(m_form.menuBoards->isChecked());
}

void MainWindow::checkMenuDockLeft()
{
    m_form.menuSystems->setChecked(!m_form.dockLeft->isHidden());
}

void MainWindow::checkMenuDockRight()
{
    m_form.menuBoards->setChecked(!m_form.dockRight->isHidden());
}

void MainWindow::lockPanels()
{
    const bool locked = m_form.menuLockPanels->isChecked();
    const QDockWidget::DockWidgetFeatures features =
        locked ? QDockWidget::NoDockWidgetFeatures : (QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable);
    m_form.dockLeft->setFeatures(features);
    m_form.dockRight->setFeatures(features);
    m_form.menuSystems->setEnabled(!locked);
    m_form.menuBoards->setEnabled(!locked);
    m_lock->setChecked(locked);
    const QString icon = QString::fromLatin1(locked ? OnIcons[4] : OffIcons[4]);
    m_lock->setIcon(QIcon(icon));
}

void MainWindow::setSystemItemsEnabled(bool enabled)
{
    m_form.menuCustomView->setEnabled(enabled);
    m_form.chSearch->setEnabled(enabled);
    m_form.menuCreateGroup->setEnabled(enabled);
    m_form.menuPanels->setEnabled(enabled);
    m_form.menuPanels->menuAction()->setEnabled(enabled);
    m_form.menuTab->setEnabled(enabled);
    m_form.menuTile->setEnabled(enabled);
    m_form.menuFloat->setEnabled(enabled);
    m_form.menuSave->setEnabled(enabled);
    m_lock->setEnabled(enabled);
    if (!enabled) {
        m_form.menuViewGroups->setEnabled(false);
        m_form.menuViewGroups->menuAction()->setEnabled(false);
    }
}

void MainWindow::updateConnectAction()
{
    // At most four top-level systems at once, and only with an event server.
    m_form.menuConnect->setEnabled(m_connections->connectedSystemCount() < SystemPlaces::MaxSystems
                                   && m_connections->eventServerReady());
}

int MainWindow::showMessage(const OperatorMessage &message)
{
    return showOperatorMessage(message, this);
}

void MainWindow::setMessageHook(MessageHook hook)
{
    setOperatorMessageHook(std::move(hook));
}

void MainWindow::setSearchHook(SearchHook hook)
{
    s_searchHook = std::move(hook);
}

// ------------------------------------------- systems (SystemConnections)

bool MainWindow::startEventServer() { return m_connections->startEventServer(); }

int MainWindow::connectToSystem(int systemType, int linkType, const QString &connectionArgument,
                                const QString &displayName, const QString &userName, const QString &password)
{
    return m_connections->connectToSystem(systemType, linkType, connectionArgument, displayName, userName, password);
}

void MainWindow::reportUnsubscribedParameters(int handle, const SubscriptionFailureList &systemFailures,
                                              const SubscriptionFailureList &boardFailures,
                                              const SubscriptionFailureList &channelFailures)
{
    m_connections->reportUnsubscribedParameters(handle, systemFailures, boardFailures, channelFailures);
}

void MainWindow::disconnectFromSystem(int systemIndex) { m_connections->disconnectFromSystem(systemIndex); }
void MainWindow::removeSystem(int position) { m_connections->removeSystem(position); }

// ------------------------------------------- following the systems' lifecycle

void MainWindow::showAddedSystem(QSystemInterface *sys)
{
    connect(sys, &QSystemInterface::clickedExtraButton, this, &MainWindow::createConfigureTableDialog,
            Qt::UniqueConnection);
    connect(sys, &QSystemInterface::clickedDisconnectButton, this, &MainWindow::disconnectFromSystem,
            Qt::UniqueConnection);
    connect(sys, &QSystemInterface::clicked, this, &MainWindow::setCurrentSubWindowIndex, Qt::UniqueConnection);
    // A VME HV board joined to its crate is shown by the crate's views.
    if (sys->crateOffset() == 0) {
        addSubWindow(sys);
        if (sys->systemIndex() == 0 && !sys->representsCustomView()) {
            // The first system brings both docks up.
            m_form.menuLockPanels->setChecked(false);
            tbarAllClicked();
            m_form.menuLockPanels->setChecked(true);
        }
    }
    setCurrentSubWindowIndex(sys->systemIndex());
}

void MainWindow::followRemovedSystems()
{
    const QVector<QSystemInterface *> &systems = m_connections->systems();
    // Floated tables return into the views area in the order of these indices.
    for (QFloatingWindow *f : findChildren<QFloatingWindow *>(QString(), Qt::FindDirectChildrenOnly)) {
        for (QSystemInterface *sys : systems)
            if (sys->crateOffset() == 0 && sys->subWindow() && f->centralWidget() == sys->subWindow())
                f->setIndex(sys->systemIndex());
    }
    for (QSystemInterface *s : systems) {
        if (s->crateOffset() == 0) {
            setCurrentSubWindowIndex(s->systemIndex());
            break;
        }
    }
    if (!systems.isEmpty())
        return;
    // The last one went: back to the start-up state, and offer to connect.
    m_form.menuSave->setEnabled(false);
    if (QStatusBar *bar = findChild<QStatusBar *>(QString(), Qt::FindDirectChildrenOnly))
        delete bar;
    m_form.menuLockPanels->setChecked(false);
    tbarNoneClicked();
    m_form.menuLockPanels->setChecked(true);
    setSystemItemsEnabled(false);
    createDialogForConnection();
}

void MainWindow::followConnectedCount(int count)
{
    if (count > 0)
        setSystemItemsEnabled(true);
    updateConnectAction();
}

void MainWindow::disableConnecting()
{
    m_form.menuConnect->setEnabled(false);
    const QList<QAction *> entries = m_form.menuBar->actions();
    if (entries.size() >= 3) {
        entries.at(1)->setEnabled(false);
        entries.at(2)->setEnabled(false);
    }
    if (m_connectDialog)
        m_connectDialog->close();
}

// ---------------------------------------------------------- views area

void MainWindow::addSubWindow(QSystemInterface *sys)
{
    QWidget *view = sys->subWindow();
    if (!view)
        return;
    if (view->windowTitle().isEmpty())
        view->setWindowTitle(ViewAccess::subWindowTitle(sys));
    if (m_form.menuFloat->isChecked()) {
        auto *floating = new QFloatingWindow(this, sys->systemIndex(), view->windowTitle());
        floating->setContentsMargins(0, 0, 0, 0);
        floating->setCentralWidget(view);
        view->show();
        floating->resize(900, 500);
        floating->show();
        return;
    }
    QMdiSubWindow *sub = m_form.viewsArea->addSubWindow(view);
    sub->setStyleSheet(QStringLiteral("background: transparent;"));
    sub->setWindowIcon(emptyIcon());
    sub->setSystemMenu(nullptr);
    // The sub-window is built hidden; the frame alone would show an empty tab.
    view->show();
    HistoryHooks::tableShown(view);
    if (m_form.menuTile->isChecked()) {
        sub->setWindowFlags(Qt::SubWindow | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint);
        sub->showNormal();
        m_form.viewsArea->tileSubWindows();
    } else {
        sub->showMaximized();
    }
}

void MainWindow::restoreFloatedWindows(bool tabbed)
{
    QList<QFloatingWindow *> floated = findChildren<QFloatingWindow *>(QString(), Qt::FindDirectChildrenOnly);
    std::stable_sort(floated.begin(), floated.end(),
                     [](const QFloatingWindow *a, const QFloatingWindow *b) { return a->index() < b->index(); });
    for (QFloatingWindow *floating : floated) {
        QWidget *view = floating->takeCentralWidget();
        if (view) {
            view->setParent(m_form.viewsArea);
            QMdiSubWindow *sub = m_form.viewsArea->addSubWindow(view);
            sub->setStyleSheet(QStringLiteral("background: transparent;"));
            sub->setWindowIcon(emptyIcon());
            sub->setSystemMenu(nullptr);
            if (tabbed) {
                sub->showMaximized();
            } else {
                sub->setWindowFlags(Qt::SubWindow | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint);
                sub->showNormal();
            }
            view->show();
        }
        delete floating;
    }
}

void MainWindow::tabMdiAreaViews()
{
    m_form.viewsArea->setViewMode(QMdiArea::TabbedView);
    m_form.menuTab->setChecked(true);
    m_form.menuTile->setChecked(false);
    m_form.menuFloat->setChecked(false);
    restoreFloatedWindows(true);
}

void MainWindow::tileMdiAreaViews()
{
    m_form.viewsArea->setViewMode(QMdiArea::SubWindowView);
    restoreFloatedWindows(false);
    for (QMdiSubWindow *sub : m_form.viewsArea->subWindowList()) {
        sub->setWindowFlags(Qt::SubWindow | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint);
        sub->showNormal();
    }
    m_form.viewsArea->tileSubWindows();
    m_form.menuTile->setChecked(true);
    m_form.menuTab->setChecked(false);
    m_form.menuFloat->setChecked(false);
}

void MainWindow::floatMdiAreaViews()
{
    m_form.viewsArea->setViewMode(QMdiArea::SubWindowView);
    m_form.menuFloat->setChecked(true);
    m_form.menuTile->setChecked(false);
    m_form.menuTab->setChecked(false);
    const QList<QMdiSubWindow *> subs = m_form.viewsArea->subWindowList(QMdiArea::CreationOrder);
    for (int i = 0; i < subs.size(); ++i) {
        QMdiSubWindow *sub = subs.at(i);
        sub->showMaximized();
        auto *floating = new QFloatingWindow(this, i, sub->windowTitle());
        floating->setContentsMargins(0, 0, 0, 0);
        QWidget *view = sub->widget();
        const QSize size = sub->size();
        sub->setWidget(nullptr);
        floating->setCentralWidget(view);
        if (view)
            view->show();
        floating->resize(size);
        floating->show();
        floating->activateWindow();
        floating->setFocus();
        m_form.viewsArea->removeSubWindow(sub);
        delete sub;
    }
}

void MainWindow::markBoxes(int systemIndex)
{
    if (auto *boxes = qobject_cast<QCollapsibleWidget *>(m_systemsArea))
        boxes->setSelectedIndex(systemIndex);
}

void MainWindow::showBoardPage(int systemIndex)
{
    if (systemIndex >= 0 && systemIndex < m_form.stackedWidgetRight->count())
        m_form.stackedWidgetRight->setCurrentIndex(systemIndex);
}

void MainWindow::showStatusBarOf(QSystemInterface *sysIf)
{
    QWidget *wanted = sysIf ? sysIf->statusBar() : nullptr;
    QStatusBar *current = findChild<QStatusBar *>(QString(), Qt::FindDirectChildrenOnly);
    if (current && current == wanted)
        return;
    if (current) {
        // A system's bar goes back to its owner; any other bar is dropped.
        QSystemInterface *owner = nullptr;
        for (QSystemInterface *s : m_connections->systems())
            if (s->statusBar() == current)
                owner = s;
        if (qobject_cast<QSystemStatusBar *>(current) && owner) {
            current->hide();
            current->setParent(owner);
        } else {
            delete current;
        }
    }
    if (auto *bar = qobject_cast<QStatusBar *>(wanted)) {
        setStatusBar(bar);
        bar->show();
    }
}

void MainWindow::setCurrentWidgetIndex(QMdiSubWindow *sub)
{
    if (!sub || !sub->widget())
        return;
    QSystemInterface *sys = nullptr;
    for (QSystemInterface *s : m_connections->systems())
        if (s->crateOffset() == 0 && s->subWindow() == sub->widget())
            sys = s;
    if (!sys)
        return;
    const int i = sys->systemIndex();
    markBoxes(i);
    showBoardPage(i);
    showStatusBarOf(sys);
    if (m_form.viewsArea->viewMode() == QMdiArea::TabbedView) {
        // The area restores the previously active tab to its normal size;
        // behind the transparent active frame its title bar would show.
        for (QMdiSubWindow *other : m_form.viewsArea->subWindowList()) {
            if (other == sub)
                continue;
            if (!other->isMaximized())
                other->setGeometry(QRect());
        }
        if (!sub->isMaximized())
            sub->showMaximized();
    }
}

void MainWindow::setCurrentSubWindowIndex(int systemIndex)
{
    QSystemInterface *sys = m_connections->topLevelSystem(systemIndex);
    const QList<QMdiSubWindow *> subs = m_form.viewsArea->subWindowList(QMdiArea::CreationOrder);
    if (!subs.isEmpty()) {
        if (sys) {
            for (QMdiSubWindow *sub : subs)
                if (sub->widget() == sys->subWindow())
                    m_form.viewsArea->setActiveSubWindow(sub);
        }
    } else {
        for (QFloatingWindow *f : findChildren<QFloatingWindow *>(QString(), Qt::FindDirectChildrenOnly)) {
            if (sys && f->centralWidget() == sys->subWindow()) {
                f->raise();
                f->activateWindow();
                f->setFocus();
            }
        }
    }
    markBoxes(systemIndex);
    showBoardPage(systemIndex);
    showStatusBarOf(sys);
}

void MainWindow::onCtrlFPressed()
{
    QMdiSubWindow *sub = m_form.viewsArea->activeSubWindow();
    if (!sub) {
        const QList<QMdiSubWindow *> subs = m_form.viewsArea->subWindowList(QMdiArea::CreationOrder);
        if (subs.isEmpty())
            return;
        sub = subs.first();
    }
    QWidget *view = sub->widget();
    if (!view)
        return;
    QString name;
    bool accepted = false;
    if (s_searchHook) {
        accepted = s_searchHook(&name);
    } else {
        QDialog dialog(this);
        dialog.setWindowTitle(QStringLiteral("Channel Name"));
        auto *layout = new QVBoxLayout(&dialog);
        auto *edit = new QLineEdit(&dialog);
        layout->addWidget(edit);
        auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
        buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Search"));
        layout->addWidget(buttons);
        connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
        accepted = dialog.exec() == QDialog::Accepted;
        name = edit->text();
    }
    // The dialog ran an event loop: the table may be gone by now.
    if (accepted && sub && m_form.viewsArea->subWindowList().contains(sub) && sub->widget() == view)
        ViewAccess::selectChannel(view, name);
}

// ------------------------------------------------- dialogs of later parts

void MainWindow::createDialogForConnection()
{
    // No connecting without an event server; the operator is told once, by
    // reportEventServerFailure (the server's own report may still be queued).
    if (!m_connections->eventServerReady())
        return;
    ++m_connectDialogRequests;
    // Centred on the views area, moved down by the tool bar's height; it
    // deletes itself when closed.
    auto *dialog = new QConnectDialog(this, m_form.viewsArea, m_form.viewsArea, m_form.mainTBar->height());
    // The dialog connects from inside its own accept(), while the progress
    // dialogs process events: were it deleted on close, it would be freed
    // before accept() returns. It goes once it has finished instead.
    dialog->setAttribute(Qt::WA_DeleteOnClose, false);
    connect(dialog, &QDialog::finished, dialog, &QObject::deleteLater, Qt::QueuedConnection);
    m_connectDialog = dialog;
    dialog->show();
    emit connectDialogOpened();
}

void MainWindow::createDialogForGroupSettings() { m_views->createDialogForGroupSettings(); }
void MainWindow::createDialogToEditGroup() { m_views->createDialogToEditGroup(sender()); }
void MainWindow::createDialogForCustomView() { m_views->createDialogForCustomView(); }
void MainWindow::createConfigureTableDialog(int systemIndex) { m_views->createConfigureTableDialog(systemIndex); }
void MainWindow::loadCustomizedViews() { m_views->loadCustomizedViews(); }
void MainWindow::saveCustomizedViews() { m_views->saveCustomizedViews(); }
void MainWindow::showAboutDialog() { InfoDialogs::openAbout(this); }

void MainWindow::showUserManual()
{
    const QString manual = QStringLiteral("UM7781_KEBODESK_REV9.pdf");
    if (!QFile::exists(manual) || !QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(manual).absoluteFilePath())))
        showMessage({QMessageBox::Warning,
                     QStringLiteral("Unable to find ORVE\nKEBODESK User Manual,\nplease open it from\nthe KEBODESK folder."),
                     QString(), {}});
}

// --------------------------------------------------- a system's views going

void MainWindow::removeViewsOf(QSystemInterface *sys)
{
    // Status bar back to its owner before the owner goes.
    if (QWidget *bar = sys->statusBar()) {
        if (bar->parentWidget() == this) {
            bar->hide();
            bar->setParent(sys);
        }
    }
    if (QWidget *view = sys->subWindow()) {
        for (QMdiSubWindow *sub : m_form.viewsArea->subWindowList()) {
            if (sub->widget() == view) {
                sub->setWidget(nullptr);
                view->setParent(sys);
                m_form.viewsArea->removeSubWindow(sub);
                delete sub;
            }
        }
        for (QFloatingWindow *f : findChildren<QFloatingWindow *>(QString(), Qt::FindDirectChildrenOnly)) {
            if (f->centralWidget() == view) {
                f->takeCentralWidget();
                view->setParent(sys);
                delete f;
            }
        }
    }
}

void MainWindow::applyBackground()
{
    if (size().isEmpty())
        return;
    // Read as an image: a pixmap read from a file would stay in the pixmap cache.
    if (m_background.isNull())
        m_background = QPixmap::fromImage(QImage(QStringLiteral(":/Resources/Elementi/Kebo_only_trasparent.png")));
    if (m_background.isNull())
        return;
    m_backgroundRelease->start();
    QPalette pal = palette();
    const QBrush brush(m_background.scaled(size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        pal.setBrush(group, QPalette::Window, brush);
    setPalette(pal);
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    applyBackground();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    m_closing = true;
    // a running script ends before its system is taken away under it
    script::stopAllRuns();
    m_connections->stopAllSystems();
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w != this && w->isVisible() && (qobject_cast<QDialog *>(w) || w->inherits("QTextBrowser")))
            w->close();
    }
    event->accept();
}

