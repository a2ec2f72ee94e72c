// The main window against the default virtual systems: connecting and
// disconnecting, names, limits, crates, docks, view modes and the handlers of
// the event threads' reports.

#include "tests/support/LiveWindow.h"
#include "app/MainWindowLogic.h"
#include "app/QCustomSplashScreen.h"
#include "app/QFloatingWindow.h"
#include "app/ViewAccess.h"
#include "connect/QDisconnectDialog.h"
#include "panels/QBoardInformations.h"
#include "panels/QCustomBox.h"
#include "panels/QSystemStatusBar.h"
#include "views/QCustomTableWidget.h"
#include "views/QSubWindow.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QRadioButton>
#include <QDockWidget>
#include <QLabel>
#include <QLocale>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTest>
#include <QTextBrowser>
#include <QToolButton>
#include <cstring>

using namespace MainWindowLogic;

namespace {

IDValue_t eventRecord(int bd, int ch, const char *name, float value = 0)
{
    IDValue_t v;
    std::memset(&v, 0, sizeof v);
    v.BoardIndex = bd;
    v.ChannelIndex = ch;
    std::strncpy(v.ItemID, name, sizeof v.ItemID - 1);
    std::memcpy(v.Value, &value, sizeof value);
    return v;
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private:
    live_test::WindowFixture fx;
    MainWindow *&w = fx.w;
    QList<OperatorMessage> &messages = fx.messages;

    // connectToSystem gives 0 for connected, 1 for not.
    bool connectTo(const char *arg, int type = 2, int link = 0, const QString &name = QString(),
                   const char *user = "admin", const char *password = "admin")
    {
        return w->connectToSystem(type, link, QString::fromLatin1(arg), name, QString::fromLatin1(user),
                                  QString::fromLatin1(password)) == 0;
    }
    // The crate of two VME HV boards on USB bridge 0: crate entry and joined board.
    void connectVmeCrate()
    {
        QVERIFY(connectTo("0_0_C0", 5, 3, "", "Board00", ""));
        QVERIFY(connectTo("0_0_C1", 5, 3, "", "Board01", ""));
        QCOMPARE(w->connections()->topLevelCount(), 1);
    }
    static QString statusText(QSystemInterface *sys)
    {
        return qobject_cast<QSystemStatusBar *>(sys->statusBar())->statusLabel()->text();
    }
    static int rows(QSystemInterface *sys) { return qobject_cast<QSubWindow *>(sys->subWindow())->table()->rowCount(); }
    QStringList names() const
    {
        QStringList n;
        for (QSystemInterface *s : w->connections()->systems())
            n << s->systemNode()->name();
        return n;
    }
    QList<QMdiSubWindow *> subWindows() const { return w->form().viewsArea->subWindowList(); }
    // No system: docks down and locked, only what needs no system enabled.
    void verifyStartState()
    {
        auto &f = w->form();
        QVERIFY(f.dockLeft->isHidden() && f.dockRight->isHidden());
        QVERIFY(w->buttonLock()->isChecked() && !w->buttonLock()->isEnabled());
        for (QAction *a : {f.menuCustomView, f.chSearch, f.menuCreateGroup, f.menuTab, f.menuSave})
            QVERIFY2(!a->isEnabled(), qPrintable(a->text()));
        QVERIFY(f.menuLoad->isEnabled() && f.menuConnect->isEnabled());
        QVERIFY(!w->findChild<QStatusBar *>(QString(), Qt::FindDirectChildrenOnly));
    }

private slots:
    void initTestCase() { QVERIFY(fx.setUpOnce()); }
    void cleanupTestCase() { fx.tearDownOnce(); }
    void init()
    {
        QVERIFY(fx.openWindow());
        fx.answer = [](const OperatorMessage &) { return 1; };
    }
    void cleanup()
    {
        fx.closeWindow();
        QVERIFY(!MainWindow::instance());
        for (QWidget *top : QApplication::topLevelWidgets())
            if (qobject_cast<QTextBrowser *>(top))
                delete top;
    }

    // ------------------------------------------------------------ logic

    void startupVariants()
    {
        const StartupResources india = startupResources(int(QLocale::India));
        const StartupResources other = startupResources(int(QLocale::Italy));
        QVERIFY(india.windowIcon.endsWith("iconI.ico") && india.styleSheet.endsWith("stylesheet-I.qss"));
        QVERIFY(other.splashPicture.endsWith("/splashscr-WIDE_KEBO.jpg") && other.styleSheet.endsWith("stylesheet-3.qss"));
        // Every resource both variants name is in the program.
        for (const StartupResources &r : {india, other})
            QVERIFY(!QPixmap(r.windowIcon).isNull() && !QPixmap(r.splashPicture).isNull() && QFile::exists(r.styleSheet));
    }

    void splashStaysUntilTheWindowIsShown()
    {
        w->hide();
        QPointer<QCustomSplashScreen> splash = new QCustomSplashScreen(w, QPixmap(":/Resources/Elementi/splashscr-WIDE_KEBO.jpg"));
        splash->showWaitMessage();
        splash->show();
        QTest::mouseClick(splash, Qt::LeftButton);
        QTest::qWait(1500);
        QVERIFY(splash && splash->isVisible());
        w->show();
        QTest::mouseClick(splash, Qt::LeftButton);
        QTRY_VERIFY(splash.isNull());
    }

    void reportFormat()
    {
        SubscriptionFailureList sys{{-1, -1, "Sessions"}}, bd{{3, -1, "BdStatus"}}, ch{{1, 12, "VMon"}};
        const QString text = unsubscribedReport("Crate", sys, bd, ch);
        const QString expected = QString("List of unsubscribed parameters:\n\n"
                                         "SYSTEM\t|\tBOARD\t|\tCHANNEL\t|\tPARAMETER\n\n"
                                         "Crate\t|\t     \t|\t       \t|\tSessions\n"
                                         "Crate\t|\t3\t|\t       \t|\tBdStatus\n"
                                         "Crate\t|\t1\t|\t12\t|\tVMon\n\n")
                                 + QString(87, '-') + "\n\n";
        QCOMPARE(text, expected);
    }

    // ------------------------------------------------------ window state

    void dockButtonsOnlyWhenUnlocked()
    {
        verifyStartState();
        auto &f = w->form();
        // Locked: the layout buttons change nothing.
        w->buttonAll()->click();
        w->buttonSys()->click();
        QVERIFY(f.dockLeft->isHidden() && f.dockRight->isHidden());
        f.menuLockPanels->setChecked(false);
        w->buttonAll()->click();
        QVERIFY(f.dockLeft->isVisible() && f.dockRight->isVisible());
        w->buttonSys()->click();
        QVERIFY(f.dockLeft->isVisible() && f.dockRight->isHidden());
        w->buttonBrd()->click();
        QVERIFY(f.dockLeft->isHidden() && f.dockRight->isVisible());
        // Closing a dock from its title bar unchecks its menu item.
        f.dockRight->close();
        QVERIFY(!f.menuBoards->isChecked());
        // The lock button locks again.
        w->buttonLock()->setEnabled(true);
        w->buttonLock()->click();
        QVERIFY(f.menuLockPanels->isChecked());
        QCOMPARE(f.dockLeft->features(), QDockWidget::NoDockWidgetFeatures);
    }

    // ------------------------------------------------------- connecting

    // A refused connection: 1, one message naming the cause, nothing left
    // behind. An over-long argument is refused whole, never cut (a cut one
    // could reach another address), without asking the library.
    void refusedConnectionLeavesNothing_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("why");
        QTest::newRow("wrong login") << "192.0.2.10" << "wrong" << "Incorrect username or password.";
        QTest::newRow("no such system") << "192.0.2.99" << "admin" << "Some errors occourred.";
        QTest::newRow("over-long") << "192.0.2.10" + QString(75, ' ') << "admin" << "Some errors occourred.";
    }
    void refusedConnectionLeavesNothing()
    {
        QFETCH(QString, argument);
        QFETCH(QString, password);
        QFETCH(QString, why);
        vhw::resetLibraryCallCount();
        QCOMPARE(w->connectToSystem(2, 0, argument, "North", "admin", password), 1);
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages.first().text, "Unable to connect to North.\n" + why);
        QVERIFY(w->connections()->systems().isEmpty() && w->form().dockLeft->isHidden());
        QCOMPARE(vhw::libraryCallCount() == 0, argument.size() >= 80);
    }

    // Names made unique; at most four systems.
    void namesAndAtMostFourSystems()
    {
        QCOMPARE(uniqueDisplayName("Crate", {"crate", "crate(1)"}), QString("Crate(1)(2)"));
        QCOMPARE(uniqueDisplayName("", {"SYSTEM"}), QString("System(1)"));
        QCOMPARE(w->connectToSystem(2, 0, "192.0.2.10", "Crate", "admin", "admin"), 0);
        QVERIFY(connectTo("192.0.2.11", 2, 0, "crate"));
        QVERIFY(connectTo("192.0.2.50", 11, 0, "", "", ""));
        QCOMPARE(names(), QStringList({"Crate", "crate(1)", "System"}));
        QVERIFY(connectTo("192.0.2.60", 13, 0, "D", "", ""));
        // A fifth call (configuration loading, multi-row dialog) is refused too.
        QVERIFY(!connectTo("192.0.2.30", 14, 0, "E", "", ""));
        QCOMPARE(w->connections()->topLevelCount(), 4);
        QCOMPARE(messages.size(), 1);
        w->disconnectFromSystem(1);
        // Indices stay consecutive and each points at its own views.
        QCOMPARE(names(), QStringList({"Crate", "System", "D"}));
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(w->connections()->systems().at(i)->systemIndex(), i);
            QCOMPARE(qobject_cast<QCustomBox *>(w->connections()->systems().at(i)->systemBox())->index(), i);
            QCOMPARE(w->form().stackedWidgetRight->widget(i), w->connections()->systems().at(i)->boardInformationPanel());
        }
        w->setCurrentSubWindowIndex(2);
        QCOMPARE(w->form().stackedWidgetRight->currentIndex(), 2);
        QCOMPARE(w->findChild<QStatusBar *>(QString(), Qt::FindDirectChildrenOnly), w->connections()->systems().at(2)->statusBar());
    }

    void vmeBoardsOfOneBridgeShareOneCrate()
    {
        connectVmeCrate();
        QCOMPARE(w->connections()->crateOf(w->connections()->systems().at(1)), w->connections()->systems().at(0));
        QCOMPARE(subWindows().size(), 1);

        // A crate of two boards asks which to remove: all of them, not the
        // crate of another bridge (a crate of its own: tst_disconnect_dialog).
        QVERIFY(connectTo("1_0_A0", 5, 4, "", "Board00", ""));
        w->disconnectFromSystem(0);
        auto *ask = w->findChild<QDisconnectDialog *>();
        QVERIFY(ask);
        ask->choices().first()->click();
        ask->buttonBox()->button(QDialogButtonBox::Ok)->click();
        QCOMPARE(w->connections()->systems().size(), 1);
        QCOMPARE(w->connections()->systems().first()->connectionArgument(), QString("1_0_A0"));
        QCOMPARE(w->connections()->systems().first()->systemIndex(), 0);
    }

    // Bridge numbers of USB3 and J5910 links have many digits: two bridges
    // that share their first characters are two crates, each told its own.
    void manyDigitBridgesAreTwoCrates()
    {
        std::string error;
        QVERIFY2(vhw::loadWorldJson(R"({"systems": [
            {"type": 5, "link": 6, "argument": "12345_0_C0", "boards": [{"slot": 0, "model": "V6533"}]},
            {"type": 5, "link": 6, "argument": "12367_0_C1", "boards": [{"slot": 0, "model": "V6519"}]}]})",
                                     &error), error.c_str());
        QVERIFY(connectTo("12345_0_C0", 5, 6, "", "Board00", ""));
        QVERIFY(connectTo("12367_0_C1", 5, 6, "", "Board01", ""));
        QCOMPARE(w->connections()->topLevelCount(), 2);
        QSystemInterface *a = w->connections()->systems().at(0), *b = w->connections()->systems().at(1);
        QCOMPARE(w->connections()->crateOf(b), b);
        emit w->TransparentMode(b);
        QVERIFY(!b->subWindow()->isEnabled() && a->subWindow()->isEnabled());
        emit w->systemDisconnected(b, 0);
        QCOMPARE(statusText(b), QString("DISCONNECTED"));
        QCOMPARE(statusText(a), QString("CONNECTED"));
        QCOMPARE(ViewAccess::disconnectText(a->systemBox()), QString("Disconnect"));
        QCOMPARE(ViewAccess::disconnectText(b->systemBox()), QString("Close"));
    }

    // "Close" after one board's connection was lost: the crate entry is
    // still connected and its handle is closed like any other.
    void closingACrateWithALostBoardClosesTheOthers()
    {
        connectVmeCrate();
        QSystemInterface *crate = w->connections()->systems().at(0);
        const int handle = crate->handle();
        emit w->systemDisconnected(w->connections()->systems().at(1), 0);
        QCOMPARE(ViewAccess::disconnectText(crate->systemBox()), QString("Close"));
        qobject_cast<QCustomBox *>(crate->systemBox())->disconnectButton()->click();
        QVERIFY(w->connections()->systems().isEmpty());
        QCOMPARE(ORVEHV_DeinitSystem(handle), ORVEHV_ERR_BAD_HANDLE);
    }

    // Boards leaving and entering either system of a joined crate reach the
    // crate's table and its board information (run under ASan: no freed
    // board may stay listed).
    void liveChangesOfAJoinedCrate_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("model");
        QTest::newRow("joined board") << "0_0_C1" << "V6519";
        QTest::newRow("crate entry") << "0_0_C0" << "V6533";
    }
    void liveChangesOfAJoinedCrate()
    {
        QFETCH(QString, argument);
        QFETCH(QString, model);
        connectVmeCrate();
        QSystemInterface *crate = w->connections()->systems().at(0);
        QSystemInterface *owner = w->connections()->systems().at(argument == "0_0_C0" ? 0 : 1);
        auto *info = qobject_cast<QBoardInformations *>(crate->boardInformationPanel());
        const int id = vhw::findSystem(argument.toStdString());
        const int before = rows(crate);
        QTRY_VERIFY_WITH_TIMEOUT(vhw::hasEventConnection(id), 5000);
        QCOMPARE(vhw::removeBoard(id, 0), ORVEHV_OK);
        QTRY_VERIFY_WITH_TIMEOUT(rows(crate) < before, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(info->boxCount(), 1, 5000);
        QCOMPARE(vhw::insertBoard(id, 0, model.toStdString()), ORVEHV_OK);
        QTRY_COMPARE_WITH_TIMEOUT(rows(crate), before, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(info->boxCount(), 2, 5000);
        // The new board is subscribed: its values arrive.
        ORVEHVNode *vset = owner->systemNode()->children().first()->children().first()->parameter("V0Set");
        QVERIFY(vset);
        vhw::setChannelParam(id, 0, 0, "V0Set", 42);
        QTRY_COMPARE_WITH_TIMEOUT(vset->value().value.toDouble(), 42.0, 5000);
        QVERIFY(messages.isEmpty());
    }

    void lastDisconnectionReturnsToStart()
    {
        QVERIFY(connectTo("192.0.2.10", 2, 0, "A"));
        QVERIFY(connectTo("192.0.2.50", 11, 0, "B", "", ""));
        const int dialogs = w->connectDialogRequests();
        w->disconnectFromSystem(1);
        QVERIFY(w->form().dockLeft->isVisible());
        QCOMPARE(w->connectDialogRequests(), dialogs);
        w->disconnectFromSystem(0);
        verifyStartState();
        QCOMPARE(w->connectDialogRequests(), dialogs + 1);
        auto &f = w->form();
        // Connecting again enables the items again.
        QVERIFY(connectTo("192.0.2.10", 2, 0, "A"));
        QVERIFY(f.menuTab->isEnabled() && f.menuPanels->isEnabled() && w->buttonLock()->isEnabled());
        QVERIFY(f.dockLeft->isVisible());
    }

    // -------------------------------------------------------- view modes

    // Floated tables keep the system indices up to date, so returning into
    // the views area keeps the systems' order.
    void viewModes()
    {
        QVERIFY(connectTo("192.0.2.10", 2, 0, "A"));
        QVERIFY(connectTo("192.0.2.11", 2, 0, "B"));
        QVERIFY(connectTo("192.0.2.50", 11, 0, "C", "", ""));
        w->form().menuFloat->trigger();
        QVERIFY(subWindows().isEmpty());
        QList<QFloatingWindow *> floated = w->findChildren<QFloatingWindow *>();
        QCOMPARE(floated.size(), 3);
        QVERIFY(qobject_cast<QSubWindow *>(floated.first()->centralWidget()));
        // A floated window cannot be closed from its title bar.
        QVERIFY(!floated.first()->close());
        QVERIFY(floated.first()->isVisible());
        // Selecting a system brings its floated window forward.
        w->setCurrentSubWindowIndex(1);
        QCOMPARE(w->form().stackedWidgetRight->currentIndex(), 1);

        w->form().menuTab->trigger();
        QVERIFY(w->findChildren<QFloatingWindow *>().isEmpty());
        QCOMPARE(subWindows().size(), 3);
        QCOMPARE(w->form().viewsArea->viewMode(), QMdiArea::TabbedView);
        QVERIFY(w->form().viewsArea->activeSubWindow()->isMaximized());

        w->form().menuTile->trigger();
        QCOMPARE(w->form().viewsArea->viewMode(), QMdiArea::SubWindowView);
        for (QMdiSubWindow *sub : subWindows())
            QVERIFY(!sub->isMaximized());

        // Systems disconnected while floated leave no window behind.
        w->form().menuFloat->trigger();
        w->disconnectFromSystem(0);
        QCOMPARE(w->findChildren<QFloatingWindow *>().size(), 2);
        w->disconnectFromSystem(0);
        QVERIFY(connectTo("192.0.2.60", 13, 0, "D", "", ""));
        w->form().menuTab->trigger();
        QCOMPARE(subWindows().size(), 2);
        QCOMPARE(subWindows().at(0)->widget(), w->connections()->systems().at(0)->subWindow());
        QCOMPARE(subWindows().at(1)->widget(), w->connections()->systems().at(1)->subWindow());
    }

    void channelSearch()
    {
        bool asked = false;
        MainWindow::setSearchHook([&asked](QString *name) {
            asked = true;
            *name = "CH03";
            return true;
        });
        w->onCtrlFPressed();  // no table yet: nothing asked
        QVERIFY(!asked);
        QVERIFY(connectTo("192.0.2.10", 2, 0, "A"));
        auto *sub = qobject_cast<QSubWindow *>(w->connections()->systems().first()->subWindow());
        w->onCtrlFPressed();
        QVERIFY(asked);
        // (a name found nowhere selects nothing: tst_channel_table searchAndTripHeaders)
        QVERIFY(!sub->table()->selectedItems().isEmpty());
        MainWindow::setSearchHook({});
    }

    // ---------------------------------------------------------- handlers

    void updateHandler()
    {
        QVERIFY(connectTo("192.0.2.10", 2, 0, "A"));
        QSystemInterface *sys = w->connections()->systems().first();
        ORVEHVNode *vset = sys->systemNode()->children().first()->children().first()->parameter("VSet");
        QVERIFY(vset);
        const NodeValue before = vset->value();

        // Unknown names, positions out of range: nothing changes, nothing shown.
        emit w->updateValueAndWidget(sys, 0, 0, "NoSuchParam", eventRecord(0, 0, "NoSuchParam"), true, true);
        emit w->updateValueAndWidget(sys, 0, 999, "VSet", eventRecord(0, 999, "VSet"), true, true);
        emit w->updateValueAndWidget(sys, 99, 0, "VSet", eventRecord(99, 0, "VSet"), true, true);
        emit w->updateValueAndWidget(sys, 0, 0, "", eventRecord(0, 0, ""), true, true);
        QCOMPARE(vset->value().value, before.value);
        QVERIFY(messages.isEmpty());

        // "Sessions": a notice that stays five seconds.
        emit w->updateValueAndWidget(sys, -1, -1, "Sessions", eventRecord(-1, -1, "Sessions"), true, true);
        QPointer<QWidget> notice = w->eventHandlers()->sessionNotice();
        QVERIFY(notice && notice->isVisible());
        QCOMPARE(notice->findChild<QLabel *>()->text(), QString("Someone has connected to\n(disconnected from)\n 192.0.2.10"));
        QTest::qWait(4000);
        QVERIFY(notice);
        QTRY_VERIFY_WITH_TIMEOUT(notice.isNull(), 3000);

        // Reports for a system removed meanwhile are ignored.
        w->disconnectFromSystem(0);
        emit w->updateValueAndWidget(sys, 0, 0, "VSet", eventRecord(0, 0, "VSet", 1234.5f), true, true);
        emit w->systemDisconnected(sys, 0);
        emit w->TransparentMode(sys);
        emit w->liveInsertion(sys, true, true);
        emit w->systemEvStatus(sys, ORVEHV_SYSTEMSTATUS_t{});
        QVERIFY(messages.isEmpty());
    }

    void lostConnectionAndTransparentMode()
    {
        QVERIFY(connectTo("192.0.2.10", 2, 0, "A"));
        QSystemInterface *sys = w->connections()->systems().first();
        auto *bar = qobject_cast<QSystemStatusBar *>(sys->statusBar());

        ORVEHV_SYSTEMSTATUS_t st;
        std::memset(&st, 0xff, sizeof st);
        st.System = 0;
        st.Board[3] = 2;
        emit w->systemEvStatus(sys, st);
        QCOMPARE(bar->indicatorPicture(2), QString(QSystemStatusBar::ErrorLit));

        emit w->TransparentMode(sys);
        QVERIFY(!sys->subWindow()->isEnabled());
        QCOMPARE(bar->statusLabel()->text(), QString("TRANSPARENT MODE ACTIVE"));
        emit w->liveInsertion(sys, true, true);
        QVERIFY(sys->subWindow()->isEnabled());
        QCOMPARE(bar->statusLabel()->text(), QString("CONNECTED"));

        emit w->systemDisconnected(sys, 1);
        QCOMPARE(messages.size(), 1);
        // Code 1 names the program first and the system second.
        QCOMPARE(messages.first().text, QString("KEBODESK can't reach connection\nwith A.\n"
                                                "Please check your firewall rules\nand try to reconnect."));
        QCOMPARE(bar->indicatorPicture(0), QString(QSystemStatusBar::Disconnected));
        auto *box = qobject_cast<QCustomBox *>(sys->systemBox());
        QCOMPARE(box->disconnectButton()->text(), QString("Close"));

        // Removed without a library call.
        vhw::resetLibraryCallCount();
        box->disconnectButton()->click();
        QVERIFY(w->connections()->systems().isEmpty());
        QCOMPARE(vhw::libraryCallCount(), uint64_t(0));
    }

    void systemRemovedWhileTheLostConnectionBoxIsOpen()
    {
        QVERIFY(connectTo("192.0.2.10", 2, 0, "A"));
        QSystemInterface *sys = w->connections()->systems().first();
        // The operator closes the system while the box's event loop runs.
        fx.answer = [this](const OperatorMessage &) {
            if (!w->connections()->systems().isEmpty())
                w->disconnectFromSystem(0);
            return 0;
        };
        emit w->systemDisconnected(sys, 0);
        QVERIFY(w->connections()->systems().isEmpty());
    }

    // Refused subscriptions: one message, the list in a file and, on
    // "Details..", in a window; a board joined to a crate reports its own.
    void unsubscribedParametersReport_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("refused");
        QTest::newRow("desk") << "192.0.2.50" << "VMon";
        QTest::newRow("joined board") << "0_0_C1" << "V0Set";
    }
    void unsubscribedParametersReport()
    {
        QFETCH(QString, argument);
        QFETCH(QString, refused);
        vhw::refuseSubscriptions(vhw::findSystem(argument.toStdString()), {refused.toStdString(), "Sessions"});
        fx.answer = nullptr;  // "Details.."
        if (argument == "0_0_C1")
            connectVmeCrate();
        else
            QVERIFY(connectTo("192.0.2.50", 11, 0, "Desk", "", ""));
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages.first().text,
                 QString("There have been some troubles in communication.\nSome items will not be updated\n"));
        QCOMPARE(messages.first().buttons, QStringList({"Details..", "Ok"}));
        QSystemInterface *sys = w->connections()->systems().last();
        QFile log(sys->subscriptionFailureLogName());
        QVERIFY2(log.open(QIODevice::ReadOnly | QIODevice::Text), qPrintable(log.fileName()));
        const QString text = QString::fromLocal8Bit(log.readAll());
        QVERIFY(text.contains(sys->systemNode()->name() + "\t|\t") && text.contains("\t" + refused + "\n"));
        QTextBrowser *browser = nullptr;
        for (QWidget *top : QApplication::topLevelWidgets())
            if (auto *b = qobject_cast<QTextBrowser *>(top))
                browser = b;
        QVERIFY(browser);
        QCOMPARE(browser->toPlainText(), text);
        // The connection itself stands.
        QVERIFY(sys->eventsEnabled);
    }

    void closingStopsEverySystem()
    {
        QVERIFY(connectTo("192.0.2.10", 2, 0, "A"));
        QVERIFY(connectTo("192.0.2.50", 11, 0, "B", "", ""));
        const int id = vhw::findSystem("192.0.2.10");
        QTRY_VERIFY_WITH_TIMEOUT(vhw::hasEventConnection(id), 5000);
        QVERIFY(w->close());
        for (QSystemInterface *sys : w->connections()->systems()) {
            QVERIFY(sys->stopRequested);
            QCOMPARE(sys->handle(), -1);
        }
        QTRY_VERIFY_WITH_TIMEOUT(!vhw::hasEventConnection(id), 5000);
    }

    // Without an event server nothing offers connecting, and the operator
    // is told why once.
    void eventServerFailureEndsTheProgram()
    {
        emit w->tcpServerError();
        QVERIFY(!w->form().menuConnect->isEnabled());
        QVERIFY(!w->form().menuBar->actions().at(1)->isEnabled());
        QVERIFY(!w->form().menuBar->actions().at(2)->isEnabled());
        QVERIFY(!w->isVisible());
        const int dialogs = w->connectDialogRequests();
        w->createDialogForConnection();
        QCOMPARE(w->connectDialogRequests(), dialogs);
        QCOMPARE(w->connectToSystem(2, 0, "192.0.2.10", "A", "admin", "admin"), 1);
        QVERIFY(w->connections()->systems().isEmpty());
        emit w->tcpServerError();
        QCOMPARE(messages.size(), 1);
        QVERIFY(messages.first().text.startsWith("Unable to start tcp server."));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
