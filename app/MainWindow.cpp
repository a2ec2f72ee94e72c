#include "app/MainWindow.h"

#include "app/MainWindowLogic.h"
#include "app/QFloatingWindow.h"
#include "app/ViewAccess.h"
#include "app/ViewsController.h"
#include "connect/QConnectDialog.h"
#include "connect/QDisconnectDialog.h"
#include "device/EventDataThread.h"
#include "device/EventDelivery.h"
#include "device/EventServer.h"
#include "device/LogQueue.h"
#include "device/ORVEHVNode.h"
#include "device/ParameterAccess.h"
#include "device/QSystemInterface.h"
#include "device/ValueText.h"
#include "panels/InfoDialogs.h"
#include "panels/QCollapsibleWidget.h"
#include "panels/QSystemStatusBar.h"
#include "script/ScriptRunLock.h"
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
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMutexLocker>
#include <QProgressDialog>
#include <QPushButton>
#include <QShortcut>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTextBrowser>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

using namespace MainWindowLogic;

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

    // Background picture stretched over the window (again on every resize,
    // so a maximised window does not tile it).
    m_background = QPixmap(QStringLiteral(":/Resources/Elementi/Kebo_only_trasparent.png"));
    applyBackground();
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

    // Own signals to their handlers (tcpServerError is connected last).
    connect(this, &MainWindow::liveInsertion, this, &MainWindow::handleEventLiveInsertion);
    connect(this, &MainWindow::TransparentMode, this, &MainWindow::handleTransparentMode);
    connect(this, &MainWindow::updateValueAndWidget, this, &MainWindow::handleUpdateValueAndWidget);
    connect(this, &MainWindow::systemEvStatus, this, &MainWindow::handleSystemEvStatus);
    connect(this, &MainWindow::systemDisconnected, this, &MainWindow::handleSystemDisconnected);
    connect(search, &QShortcut::activated, this, &MainWindow::onCtrlFPressed);

    // The event threads report through the router: the per-system reports
    // travel through each system's mailbox and arrive as this window's own
    // signals on the GUI thread (EventDelivery.h).
    m_router = new EventRouter(this);
    connect(m_router, &EventRouter::tcpServerError, this, &MainWindow::tcpServerError, Qt::QueuedConnection);
    auto *delivery = new EventDelivery(
        m_router, [this](const QSystemInterface *sys) { return isLiveSystem(sys); }, this);
    connect(delivery, &EventDelivery::liveInsertion, this, &MainWindow::liveInsertion);
    connect(delivery, &EventDelivery::TransparentMode, this, &MainWindow::TransparentMode);
    connect(delivery, &EventDelivery::updateValueAndWidget, this, &MainWindow::updateValueAndWidget);
    connect(delivery, &EventDelivery::systemEvStatus, this, &MainWindow::systemEvStatus);
    connect(delivery, &EventDelivery::systemDisconnected, this, &MainWindow::systemDisconnected);

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
    connect(m_form.viewsArea, &QMdiArea::subWindowActivated, this, &MainWindow::setCurrentWidgetIndex);

    createToolBar();

    setSystemItemsEnabled(false);

    // The left dock holds the list of system boxes.
    auto *boxes = new QCollapsibleWidget(m_form.dockLeftContents);
    boxes->setObjectName(QStringLiteral("systemsArea"));
    m_form.verticalLayout_2->addWidget(boxes);
    m_systemsArea = boxes;
    m_views = new ViewsController(this);

    m_form.menuTab->setChecked(true);
    if (m_form.menuTab->isChecked())
        tabMdiAreaViews();
    else if (m_form.menuTile->isChecked())
        tileMdiAreaViews();
    else if (m_form.menuFloat->isChecked())
        floatMdiAreaViews();

    connect(this, &MainWindow::tcpServerError, this, &MainWindow::handleTcpServerError);

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
    if (m_eventServer) {
        for (QSystemInterface *sys : std::as_const(m_systems))
            sys->stopRequested = true;
        m_eventServer->stop();
    }
    // Children still signal while QWidget's destructor tears them down (a
    // dock hiding reports its visibility): nothing may reach this window's
    // slots once its own members are going.
    for (QObject *child : findChildren<QObject *>())
        QObject::disconnect(child, nullptr, this, nullptr);
    const QVector<QSystemInterface *> systems = m_systems;
    m_systems.clear();
    // Joined boards before their crate, whose tree owns their boards.
    for (auto it = systems.crbegin(); it != systems.crend(); ++it) {
        QSystemInterface *sys = *it;
        removeViewsOf(sys);
        if (!m_eventServer || m_eventServer->removeSystem(sys))
            delete sys;
    }
    delete m_eventServer;
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
    m_form.menuConnect->setEnabled(connectedSystemCount() <= 3 && eventServerReady());
}

int MainWindow::connectedSystemCount() const
{
    return int(std::count_if(m_systems.cbegin(), m_systems.cend(), [](const QSystemInterface *s) {
        return s->crateOffset() == 0 && !s->representsCustomView();
    }));
}

// ------------------------------------------------------------ systems

bool MainWindow::isLiveSystem(const QSystemInterface *sysIf) const
{
    return sysIf && std::find(m_systems.cbegin(), m_systems.cend(), sysIf) != m_systems.cend();
}

QSystemInterface *MainWindow::topLevelSystem(int systemIndex) const
{
    for (QSystemInterface *sys : m_systems)
        if (sys->crateOffset() == 0 && sys->systemIndex() == systemIndex)
            return sys;
    return nullptr;
}

int MainWindow::topLevelCount() const
{
    return int(std::count_if(m_systems.cbegin(), m_systems.cend(),
                             [](const QSystemInterface *s) { return s->crateOffset() == 0; }));
}

QSystemInterface *MainWindow::crateOf(QSystemInterface *sysIf) const
{
    if (!sysIf || sysIf->systemType() != ORVEHV_SYS_VMEHV)
        return sysIf;
    QSystemInterface *crate = crateEntryFor(sysIf->connectionArgument());
    // A board whose argument names no bridge joined nothing: its views are its own.
    return crate ? crate : sysIf;
}

QSystemInterface *MainWindow::crateEntryFor(const QString &connectionArgument) const
{
    for (QSystemInterface *sys : m_systems)
        if (sys->systemType() == ORVEHV_SYS_VMEHV && sameVmeBridge(sys->connectionArgument(), connectionArgument))
            return sys;
    return nullptr;
}

QList<ORVEHVNode *> MainWindow::boardsOf(QSystemInterface *sysIf) const
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

bool MainWindow::startEventServer()
{
    if (m_eventServer)
        return true;
    m_eventServer = new EventServer(m_router);
    if (!m_eventServer->start()) {
        delete m_eventServer;
        m_eventServer = nullptr;
        // Told like a server that cannot listen (which reports itself).
        emit tcpServerError();
        return false;
    }
    return true;
}

bool MainWindow::eventServerReady() const
{
    return !m_eventServerFailed && m_eventServer && m_eventServer->isListening();
}

void MainWindow::reportEventServerFailure()
{
    m_form.menuConnect->setEnabled(false);
    const QList<QAction *> entries = m_form.menuBar->actions();
    if (entries.size() >= 3) {
        entries.at(1)->setEnabled(false);
        entries.at(2)->setEnabled(false);
    }
    if (m_eventServerFailed)
        return;
    m_eventServerFailed = true;
    if (m_connectDialog)
        m_connectDialog->close();
    showMessage({QMessageBox::Warning,
                 QStringLiteral("Unable to start tcp server. Please check\nyour network connection, than restart application."),
                 QString(), {}});
}

quint16 MainWindow::eventPort() const
{
    return m_eventServer ? m_eventServer->port() : 0;
}

int MainWindow::connectToSystem(int systemType, int linkType, const QString &connectionArgument,
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
    const bool joinsCrate = isBoard && crateEntryFor(connectionArgument);
    // The connect action is disabled at four systems, but configuration
    // loading and multi-row dialogs call in directly.
    if (!joinsCrate && connectedSystemCount() >= 4) {
        showMessage({QMessageBox::Warning,
                     QStringLiteral("Unable to connect to %1.\nAt most four systems can be connected at once.")
                         .arg(shownName.isEmpty() ? QStringLiteral("System") : shownName),
                     QString(), {}});
        return 1;
    }

    auto *progress = new QProgressDialog(this);
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
        m_views->systemConnected(sys);
    } else {
        sys->buildPanels(m_systemsArea, m_form.viewsArea, m_form.stackedWidgetRight, -1);
        sys->describeConnection();
        sys->setCrateOffset(0);
        if (QWidget *page = sys->boardInformationPanel())
            m_form.stackedWidgetRight->setCurrentWidget(page);
        connect(sys, &QSystemInterface::clickedExtraButton, this, &MainWindow::createConfigureTableDialog);
        connect(sys, &QSystemInterface::clickedDisconnectButton, this, &MainWindow::disconnectFromSystem);
        connect(sys, &QSystemInterface::clicked, this, &MainWindow::setCurrentSubWindowIndex);
        addSubWindow(sys);
        progress->setValue(98);

        if (sys->systemIndex() == 0) {
            // The first system brings both docks up.
            m_form.menuLockPanels->setChecked(false);
            tbarAllClicked();
            m_form.menuLockPanels->setChecked(true);
        }
        m_views->systemConnected(sys);
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
    setSystemItemsEnabled(true);
    {
        QMutexLocker lock(&sys->eventStateMutex);
        sys->eventsEnabled = true;
    }
    updateConnectAction();
    setCurrentSubWindowIndex(crate ? crate->systemIndex() : sys->systemIndex());
    return 0;
}

void MainWindow::joinCrate(QSystemInterface *crate, QSystemInterface *board)
{
    // The crate's tree lists the board's boards (the board system keeps
    // owning them and its own handle for reads and writes); the crate's
    // views are rebuilt by the join.
    board->joinCrate(crate);
    board->setSystemIndex(crate->systemIndex());
    connect(board, &QSystemInterface::clickedExtraButton, this, &MainWindow::createConfigureTableDialog);
    connect(board, &QSystemInterface::clickedDisconnectButton, this, &MainWindow::disconnectFromSystem);
    connect(board, &QSystemInterface::clicked, this, &MainWindow::setCurrentSubWindowIndex);
}

void MainWindow::reportUnsubscribedParameters(int handle, const SubscriptionFailureList &systemFailures,
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
        for (QSystemInterface *s : std::as_const(m_systems))
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
    for (QSystemInterface *s : std::as_const(m_systems))
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
    QSystemInterface *sys = topLevelSystem(systemIndex);
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
    if (!eventServerReady())
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

// -------------------------------------------------------- disconnecting

void MainWindow::stopSystem(QSystemInterface *sys, bool stillConnected)
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

void MainWindow::deleteSystem(QSystemInterface *sys)
{
    m_views->systemGoing(sys);
    m_systems.removeAll(sys);
    removeViewsOf(sys);
    // Only once its event threads have ended; an interface whose thread hangs
    // is left alive rather than freed under it.
    const bool stopped = m_eventServer ? m_eventServer->removeSystem(sys) : stopEventThreads(sys);
    if (stopped)
        delete sys;
}

void MainWindow::renumberSystems()
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
    for (QFloatingWindow *f : findChildren<QFloatingWindow *>(QString(), Qt::FindDirectChildrenOnly)) {
        for (QSystemInterface *sys : std::as_const(m_systems))
            if (sys->crateOffset() == 0 && sys->subWindow() && f->centralWidget() == sys->subWindow())
                f->setIndex(sys->systemIndex());
    }
}

void MainWindow::disconnectFromSystem(int systemIndex)
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
                                             sys, this);
        dialog->open();
        return;
    }
    entries.append(sys);
    disconnectEntries(entries, true);
}

void MainWindow::removeSystem(int position)
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

void MainWindow::disconnectEntries(const QVector<QSystemInterface *> &entries, bool)
{
    if (entries.isEmpty())
        return;
    closeTripDialog();
    QSystemInterface *main = entries.last();
    const QString nodeName = main->systemNode() ? main->systemNode()->name() : main->displayName();
    auto *progress = new QProgressDialog(this);
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
    m_views->systemsGone();
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
            setCurrentSubWindowIndex(next->systemIndex());
    }
    progress->setValue(80);

    updateConnectAction();
    if (m_systems.isEmpty()) {
        m_form.menuSave->setEnabled(false);
        afterLastDisconnection(progress);
    }
    progress->setValue(100);
    delete progress;
}

void MainWindow::afterLastDisconnection(QProgressDialog *progress)
{
    if (QStatusBar *bar = findChild<QStatusBar *>(QString(), Qt::FindDirectChildrenOnly))
        delete bar;
    m_form.menuLockPanels->setChecked(false);
    tbarNoneClicked();
    m_form.menuLockPanels->setChecked(true);
    setSystemItemsEnabled(false);
    progress->setValue(100);
    createDialogForConnection();
}

void MainWindow::applyBackground()
{
    if (m_background.isNull() || size().isEmpty())
        return;
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
    for (QSystemInterface *sys : std::as_const(m_systems)) {
        if (sys->representsCustomView() || !sys->systemNode())
            continue;
        stopSystem(sys, sys->systemNode()->connectionState() != ConnectionLost);
    }
    if (m_eventServer)
        m_eventServer->stop();
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w != this && w->isVisible() && (qobject_cast<QDialog *>(w) || w->inherits("QTextBrowser")))
            w->close();
    }
    event->accept();
}

// -------------------------------------------------------------- handlers

ORVEHVNode *MainWindow::findParameterNode(QSystemInterface *sysIf, int bdIndex, int chIndex, const QString &name) const
{
    ORVEHVNode *root = sysIf->systemNode();
    if (!root || root->kind() != KindSystem || name.isEmpty())
        return nullptr;
    if (bdIndex < 0 && chIndex < 0) {
        for (ORVEHVNode *p : root->parameters())
            if (p->name() == name)
                return p;
        for (ORVEHVNode *p : root->children())
            if (p->kind() == KindSystemProperty && p->name() == name)
                return p;
        return nullptr;
    }
    if (bdIndex < 0)
        return nullptr;
    ORVEHVNode *tree = root;
    const int position = bdIndex;
    const QVector<ORVEHVNode *> &boards = tree->children();
    if (position >= boards.size())
        return nullptr;
    ORVEHVNode *board = boards.at(position);
    if (chIndex < 0)
        return board->parameter(name);
    if (chIndex >= board->children().size())
        return nullptr;
    return board->children().at(chIndex)->parameter(name);
}

void MainWindow::handleUpdateValueAndWidget(QSystemInterface *sysIf, int bdIndex, int chIndex, QString itmName,
                                            IDValue_t val, bool isFirstEv, bool isLastEv)
{
    if (!isLiveSystem(sysIf) || !sysIf->systemNode())
        return;
    ORVEHVNode *node = findParameterNode(sysIf, bdIndex, chIndex, itmName);
    if (!node)
        return;
    const NodeValue previous = node->value();
    const NodeValue current = eventValue(node, val.Value);
    node->setValue(current);

    LogQueue::logValueUpdate(sysIf, node->isLogged(), bdIndex, chIndex, itmName, previous.value, current.value,
                             isFirstEv, isLastEv);

    QSystemInterface *crate = crateOf(sysIf);
    if (node->libraryType() == 2 && node->kind() == KindChannelParameter) {
        const bool ok = channelStatusOk(sysIf->systemType(), current.value.toInt());
        if (!crate || !crate->subWindow())
            return;
        ViewAccess::markChannelState(crate->subWindow(), ok, node);
        for (QSystemInterface *s : std::as_const(m_systems)) {
            if (!s->representsCustomView())
                continue;
            if (!s->subWindow())
                break;
            ViewAccess::markChannelState(s->subWindow(), ok, node);
        }
    }

    if (chIndex < 0) {
        if (crate)
            ViewAccess::refreshPanels(crate, node);
        if (node->kind() == KindBoardParameter) {
            for (QSystemInterface *s : std::as_const(m_systems))
                if (s->representsCustomView()) {
                    ViewAccess::refreshPanels(s, node);
                    break;
                }
        }
    }

    if (node->name() == QLatin1String("Sessions"))
        showSessionNotice(sysIf->connectionArgument());
}

void MainWindow::showSessionNotice(const QString &connectionArgument)
{
    auto *notice = new QFrame(this, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus);
    notice->setObjectName(QStringLiteral("sessionNotice"));
    notice->setAttribute(Qt::WA_DeleteOnClose);
    notice->setAttribute(Qt::WA_ShowWithoutActivating);
    notice->setStyleSheet(QStringLiteral("border: 1px solid black"));
    auto *layout = new QVBoxLayout(notice);
    auto *label = new QLabel(sessionNoticeText(connectionArgument), notice);
    QFont font = label->font();
    font.setPointSize(7);
    label->setFont(font);
    label->setStyleSheet(QStringLiteral("border: none"));
    layout->addWidget(label);
    notice->adjustSize();
    notice->move(mapToGlobal(QPoint(noticeX(width()), noticeY(height()))));
    notice->show();
    QTimer::singleShot(5000, notice, &QWidget::close);
    m_sessionNotice = notice;
}

void MainWindow::closeTripDialog()
{
    QTripHandlingDialog::closeOpenDialogs();
}

void MainWindow::handleEventLiveInsertion(QSystemInterface *sysIf, bool, bool)
{
    closeTripDialog();
    if (!isLiveSystem(sysIf) || !sysIf->systemNode())
        return;
    QSystemInterface *crate = crateOf(sysIf);
    if (crate && crate->subWindow())
        crate->subWindow()->setEnabled(true);
    if (crate && crate->systemCommandsPanel())
        crate->systemCommandsPanel()->setEnabled(true);
    sysIf->systemNode()->setConnectionState(ConnectionConnected);
    if (crate)
        ViewAccess::setStatus(crate->statusBar(), ConnectionConnected);
    if (sysIf->isLogStarted())
        LogQueue::enqueueLiveInsertion(sysIf, sysIf->systemNode()->name());
    const QList<ORVEHVNode *> boards = sysIf->changeCrateMap(this);
    // The crate map dialog ran an event loop: the system may be gone.
    if (!isLiveSystem(sysIf))
        return;
    m_views->rebuildCustomView();
    m_views->systemsGone();
    if (boards.isEmpty())
        return;
    SubscriptionFailureList systemFailures, boardFailures, channelFailures;
    sysIf->subscribeParameters(boards, systemFailures, boardFailures, channelFailures);
    if (!systemFailures.isEmpty() || !boardFailures.isEmpty() || !channelFailures.isEmpty())
        reportUnsubscribedParameters(sysIf->handle(), systemFailures, boardFailures, channelFailures);
}

void MainWindow::handleTransparentMode(QSystemInterface *sysIf)
{
    if (!isLiveSystem(sysIf))
        return;
    QSystemInterface *crate = crateOf(sysIf);
    if (!crate)
        return;
    if (sysIf->systemNode())
        sysIf->systemNode()->setConnectionState(ConnectionTransparent);
    if (QWidget *view = crate->subWindow()) {
        ViewAccess::clearSelection(view);
        view->setEnabled(false);
    }
    ViewAccess::setStatus(crate->statusBar(), ConnectionTransparent);
}

void MainWindow::handleSystemEvStatus(QSystemInterface *sysIf, ORVEHV_SYSTEMSTATUS_t sysStatus)
{
    if (!isLiveSystem(sysIf) || !sysIf->statusBar())
        return;
    const EventLamps lamps = eventLamps(sysStatus);
    ViewAccess::setLamps(sysIf->statusBar(), lamps.sync, lamps.warning, lamps.error);
}

void MainWindow::handleSystemDisconnected(QSystemInterface *sysIf, int errCode)
{
    closeTripDialog();
    if (!isLiveSystem(sysIf) || !sysIf->systemNode())
        return;
    sysIf->systemNode()->setConnectionState(ConnectionLost);
    const QString name = disconnectedSystemName(sysIf->systemNode()->name(), sysIf->systemType());
    showMessage({QMessageBox::Warning, disconnectionText(name, errCode), QString(), {}});
    // The box ran an event loop: the operator may have removed the system.
    if (!isLiveSystem(sysIf))
        return;
    QSystemInterface *crate = crateOf(sysIf);
    if (!crate)
        return;
    if (QWidget *view = crate->subWindow()) {
        ViewAccess::clearSelection(view);
        view->setEnabled(false);
    }
    if (QWidget *commands = crate->systemCommandsPanel())
        commands->setEnabled(false);
    ViewAccess::setPanelContentEnabled(crate->boardInformationPanel(), false);
    ViewAccess::setStatus(crate->statusBar(), ConnectionLost);
    ViewAccess::clearLamps(crate->statusBar());
    ViewAccess::setDisconnectText(crate->systemBox(), QStringLiteral("Close"));
}

void MainWindow::handleTcpServerError()
{
    reportEventServerFailure();
    close();
}
