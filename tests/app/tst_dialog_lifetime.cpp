// Dialogs that hold nodes of a system's tree never outlive them: a board
// pulled, a lost connection or a disconnection closes them before a node is
// freed, and a dialog (or panel) deleted while its own message box runs is
// never touched again. No message hook here: the boxes are real, their nested
// event loops run, and the events injected while they are open are delivered
// inside them. Meant to run under AddressSanitizer, where the old faults show
// as use-after-free or double free.

#include "tests/support/LiveWindow.h"
#include "tests/support/MessageBoxDriver.h"
#include "tests/views/ViewsTestSupport.h"

#include "app/ViewsController.h"
#include "logging/QLogDialog.h"
#include "panels/QHVOutputDialog.h"
#include "panels/QSystemInformations.h"
#include "views/ChannelGroups.h"
#include "views/ORVEHVWidgetItem.h"
#include "views/QConfigureViewDialog.h"
#include "views/QCreateSetGroupsDialog.h"
#include "views/QCustomTableWidget.h"
#include "views/QCustomViewDialog.h"
#include "views/QSetGroupValueDialog.h"
#include "views/QSubWindow.h"
#include "views/QTripHandlingDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QTreeWidget>
#include <QtTest>

using live_test::MessageBoxDriver;
using namespace views_test;

namespace {

const char *const Mainframe = "192.0.2.10";
const char *const SmallMainframe = "192.0.2.11";

} // namespace

class TstDialogLifetime : public QObject
{
    Q_OBJECT

    live_test::WindowFixture fx;
    QPointer<MainWindow> window;

    QSystemInterface *connectMainframe(const char *argument = Mainframe)
    {
        QSystemInterface *sys = live_test::connectLive(fx.w, 2, 0, argument, argument, "admin", "admin");
        const int id = vhw::findSystem(argument);
        QDeadlineTimer limit(5000);
        while (sys && !vhw::hasEventConnection(id) && !limit.hasExpired())
            QTest::qWait(10);
        return sys && vhw::hasEventConnection(id) ? sys : nullptr;
    }

    // What pulls the rug: a board pulled from slot 8, the event connection
    // dropped (its real "no longer connected" box is answered), or the
    // operator's disconnection.
    void change(const QString &how, QSystemInterface *sys)
    {
        const int id = vhw::findSystem(sys->connectionArgument().toStdString());
        if (how == "removed")
            QCOMPARE(vhw::removeBoard(id, 8), 0);
        else if (how == "lost")
            QCOMPARE(vhw::dropEventConnection(id), 0);
        else
            fx.w->disconnectFromSystem(sys->systemIndex());
    }

    // Until the change has reached the tree (or the system is gone).
    bool changed(const QString &how, QSystemInterface *sys, QPointer<QSystemInterface> alive)
    {
        if (how == "removed")
            return alive && !live_test::boardInSlot(sys, 8);
        if (how == "lost")
            return alive && sys->systemNode()->connectionState() == ConnectionLost;
        return !alive;
    }

    QTripHandlingDialog *openTripDialog(QSystemInterface *sys)
    {
        QCustomTableWidget *t = qobject_cast<QSubWindow *>(sys->subWindow())->table();
        emit t->horizontalHeader()->sectionClicked(t->columnByName("TripExt"));
        auto *d = sys->subWindow()->window()->findChild<QTripHandlingDialog *>();
        if (d)
            QTest::qWaitForWindowExposed(d);
        return d;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(fx.setUpOnce());
        // Real boxes only.
        setOperatorMessageHook({});
    }
    void cleanupTestCase() { fx.tearDownOnce(); }
    void init()
    {
        QVERIFY(fx.openWindow());
        window = fx.w;
    }
    void cleanup()
    {
        // A test may have let the program's window go.
        if (!window)
            fx.w = nullptr;
        fx.closeWindow();
        vhw::clearFaults();
    }

    void dialogsLetGoBeforeTheirNodesGo_data()
    {
        QTest::addColumn<QString>("dialog");
        QTest::addColumn<QString>("how");
        for (const char *dialog : {"log", "configure", "custom", "new group"})
            for (const char *how : {"removed", "lost", "disconnected"})
                QTest::addRow("%s, %s", dialog, how) << dialog << how;
    }

    // Open, the tree changes under it, then OK arrives (a click queued
    // before the dialog went): nothing is written into the freed nodes, the
    // dialog is closed and deleted.
    void dialogsLetGoBeforeTheirNodesGo()
    {
        QFETCH(QString, dialog);
        QFETCH(QString, how);
        MessageBoxDriver driver;
        QSystemInterface *sys = connectMainframe();
        QVERIFY(sys);
        QPointer<QSystemInterface> alive(sys);
        QPointer<QDialog> d;
        const char *ok = "clickedOkButton";
        if (dialog == "log") {
            qobject_cast<QSystemInformations *>(sys->systemCommandsPanel())->button("LOG")->click();
            auto *log = fx.w->findChild<QLogDialog *>();
            QVERIFY(log);
            // A channel of the board that goes, and a parameter.
            auto *tree = log->findChild<QTreeWidget *>("channelTree");
            log->changeItemVisibility(tree->topLevelItem(tree->topLevelItemCount() - 1)->child(0));
            log->findChild<QListWidget *>("parameterList")->item(0)->setSelected(true);
            d = log;
            ok = "okButtonClicked";
        } else if (dialog == "new group") {
            auto *create = qobject_cast<QCreateSetGroupsDialog *>(
                fx.w->viewsController()->createDialogForGroupSettings());
            QVERIFY(create);
            create->parameterCombo()->setCurrentText("VSet");
            d = create;
        } else {
            d = qobject_cast<QViewSelectionDialog *>(dialog == "configure"
                                                         ? fx.w->viewsController()->createConfigureTableDialog(0)
                                                         : fx.w->viewsController()->createDialogForCustomView());
        }
        QVERIFY(d && d->isVisible());

        change(how, sys);
        QTRY_VERIFY_WITH_TIMEOUT(changed(how, sys, alive), 10000);
        if (d)
            QVERIFY(QMetaObject::invokeMethod(d, ok));
        QTRY_VERIFY_WITH_TIMEOUT(!d, 5000);
        if (how == "lost")
            QVERIFY(driver.texts().value(0).contains("no longer connected"));
    }

    // LOG opens one dialog; clicked again it raises that one; closed, it is
    // deleted.
    void logDialogIsOneAndGoesWhenClosed()
    {
        QSystemInterface *sys = connectMainframe();
        QVERIFY(sys);
        auto *panel = qobject_cast<QSystemInformations *>(sys->systemCommandsPanel());
        panel->button("LOG")->click();
        panel->button("LOG")->click();
        QCOMPARE(fx.w->findChildren<QLogDialog *>().size(), 1);
        QPointer<QLogDialog> log = fx.w->findChild<QLogDialog *>();
        log->reject();
        QTRY_VERIFY(!log);
        panel->button("LOG")->click();
        QCOMPARE(fx.w->findChildren<QLogDialog *>().size(), 1);
    }

    void refusalBoxOutlivesItsTripDialog_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("connection lost while the box is open") << "lost";
        QTest::newRow("board removed while the box is open") << "removed";
    }

    // A refused trip write is told in a real box; while it is open the
    // system's connection is lost (or a board pulled). The dialog closes and
    // goes inside the box's loop; the box stays until the operator has read
    // it, and nothing touches the deleted dialog afterwards.
    void refusalBoxOutlivesItsTripDialog()
    {
        QFETCH(QString, how);
        QSystemInterface *sys = connectMainframe();
        QVERIFY(sys);
        const int id = vhw::findSystem(Mainframe);
        QPointer<QTripHandlingDialog> d = openTripDialog(sys);
        QVERIFY(d);
        QTest::mouseClick(d->lineButtons(-1).at(1), Qt::LeftButton);
        clickCell(tripTable(d, 8), 2, 0);
        QCOMPARE(vhw::failWrite(id, "TripExt", ORVEHV_ERR_WRITE_REFUSED), 0);

        MessageBoxDriver driver;
        driver.plan({"OK", [this, how, sys] { change(how, sys); }, [&d] { return d.isNull(); }});
        QTest::mouseClick(d->buttonBox()->button(QDialogButtonBox::Ok), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(driver.planDone(), 10000);
        QVERIFY(!d);
        QVERIFY(driver.texts().value(0).contains("kept their previous TripExt value"));
        if (how == "lost")
            QCOMPARE(vhw::channelParamValue(id, 8, 2, "TripExt"), 0.0);
    }

    // A board inserted into another system leaves this system's trip dialog
    // open, and it still writes.
    void tripDialogStaysOpenWhenAnotherSystemChanges()
    {
        QSystemInterface *sys = connectMainframe();
        QSystemInterface *other = connectMainframe(SmallMainframe);
        QVERIFY(sys && other);
        QPointer<QTripHandlingDialog> d = openTripDialog(sys);
        QVERIFY(d);
        MessageBoxDriver driver;
        const int otherId = vhw::findSystem(SmallMainframe);
        QCOMPARE(vhw::insertBoard(otherId, 4, "A1520"), 0);
        QTRY_VERIFY_WITH_TIMEOUT(live_test::boardInSlot(other, 4), 10000);
        QVERIFY(d && d->isVisible());
        QTest::mouseClick(d->lineButtons(-1).at(1), Qt::LeftButton);
        clickCell(tripTable(d, 8), 2, 0);
        QTest::mouseClick(d->buttonBox()->button(QDialogButtonBox::Ok), Qt::LeftButton);
        QCOMPARE(vhw::channelParamValue(vhw::findSystem(Mainframe), 8, 2, "TripExt"), double(0x22));
    }

    // The group's refusal box is open when the board of its members is
    // pulled: the group goes with them, its dialog closes and goes inside the
    // box's loop, and the box is still answered.
    void refusalBoxOutlivesItsGroupDialog()
    {
        QSystemInterface *sys = connectMainframe();
        QVERIFY(sys);
        const int id = vhw::findSystem(Mainframe);
        ORVEHVNode *board = live_test::boardInSlot(sys, 8);
        QList<ORVEHVNode *> members;
        for (int c = 0; c < 2; ++c) {
            ORVEHVNode *channel = board->children().at(c);
            members << channel << channel->parameter("VSet");
        }
        ChannelGroups *groups = fx.w->viewsController()->groups();
        groups->addGroup("pulled", members);
        QPointer<QSetGroupValueDialog> d = groups->openGroup(0);
        QVERIFY(d);
        QCOMPARE(vhw::failWrite(id, "VSet", ORVEHV_ERR_WRITE_REFUSED), 0);

        MessageBoxDriver driver;
        driver.plan({"OK", [id] { vhw::removeBoard(id, 8); }, [&d] { return d.isNull(); }});
        views_test::giveValue(d->editor(), "123");
        d->clickedOkButton();
        QTRY_VERIFY_WITH_TIMEOUT(driver.planDone(), 10000);
        QVERIFY(!d);
        QVERIFY(driver.texts().value(0).contains("was not set on 2 of the channels"));
        QVERIFY(groups->groups().isEmpty());
    }

    // A board pulled while "Switch on N channels" is open over its cells:
    // the table is rebuilt under the question, and the answer writes nothing
    // and reads nothing of the freed cells.
    void switchOnQuestionOutlivesItsCells()
    {
        QSystemInterface *sys = connectMainframe();
        QVERIFY(sys);
        const int id = vhw::findSystem(Mainframe);
        QCustomTableWidget *t = qobject_cast<QSubWindow *>(sys->subWindow())->table();
        QList<ORVEHVNode *> cells{live_test::boardInSlot(sys, 8)->children().at(0)->parameter("Pw")};
        for (int c = 0; c < 2; ++c)
            cells << live_test::boardInSlot(sys, 1)->children().at(c)->parameter("Pw");
        for (int c = 0; c < 2; ++c)
            QCOMPARE(vhw::channelParamValue(id, 1, c, "Pw"), 0.0);
        auto *editor = selectCells(t, cells);
        QVERIFY(editor);
        QTRY_VERIFY(editor->innerEditor()->hasFocus());

        MessageBoxDriver driver;
        driver.plan({"Yes", [id] { vhw::removeBoard(id, 8); }, [sys] { return !live_test::boardInSlot(sys, 8); }});
        QTest::keyClick(editor->innerEditor(), Qt::Key_Space);  // Off -> On
        QTRY_VERIFY_WITH_TIMEOUT(driver.planDone(), 10000);
        QVERIFY(driver.texts().value(0).startsWith("Switch on 3 channels"));
        for (int c = 0; c < 2; ++c)
            QCOMPARE(vhw::channelParamValue(id, 1, c, "Pw"), 0.0);
    }

    // The program ends (its window and every panel deleted) while the KILL
    // question is open: the answer reaches no deleted panel and sends nothing.
    void commandQuestionOutlivesItsPanel()
    {
        QSystemInterface *sys = connectMainframe();
        QVERIFY(sys);
        const int id = vhw::findSystem(Mainframe);
        QCOMPARE(vhw::channelParamValue(id, 0, 0, "Pw"), 1.0);
        auto *panel = qobject_cast<QSystemInformations *>(sys->systemCommandsPanel());
        QPointer<QSystemInformations> guard(panel);
        MessageBoxDriver driver;
        driver.plan({"Yes", [this] { fx.w->deleteLater(); }, [this] { return window.isNull(); }});
        panel->button("KILL")->click();
        QTRY_VERIFY_WITH_TIMEOUT(driver.planDone(), 10000);
        QVERIFY(!guard);
        QVERIFY(driver.texts().value(0).contains("kill signal"));
        QCOMPARE(vhw::channelParamValue(id, 0, 0, "Pw"), 1.0);
    }

    // The same for a dialog of the panel that asks before it writes (a
    // B8181's HV Reset): deleted with its panel inside its own question.
    void outputQuestionOutlivesItsDialog()
    {
        QSystemInterface *sys = live_test::connectLive(fx.w, 16, 0, "192.0.2.20", "Rack", "admin", "admin");
        QVERIFY(sys);
        const int id = vhw::findSystem("192.0.2.20");
        qobject_cast<QSystemInformations *>(sys->systemCommandsPanel())->button("HV\nRESET")->click();
        QPointer<QHVOutputDialog> d = fx.w->findChild<QHVOutputDialog *>();
        QVERIFY(d);
        MessageBoxDriver driver;
        driver.plan({"Yes", [this] { fx.w->deleteLater(); }, [this] { return window.isNull(); }});
        d->outputButtons().at(2)->click();
        QTRY_VERIFY_WITH_TIMEOUT(driver.planDone(), 10000);
        QVERIFY(!d);
        QCOMPARE(vhw::sysPropValue(id, "RstRecFlag"), 0.0);
    }

    // Quitting with a system connected asks first (No is the default, so a
    // stray Enter keeps it): No keeps the window and the connection, Yes
    // quits and stops it. Ctrl+Q and the window's close button alike.
    void quitAsksWhileSystemsAreConnected()
    {
        QSystemInterface *sys = connectMainframe();
        QVERIFY(sys);
        MessageBoxDriver driver;
        QString defaultButton;
        driver.plan({"No", [&] {
                         if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()))
                             defaultButton = box->defaultButton() ? box->defaultButton()->text().remove('&') : QString();
                     }});
        window->form().menuExit->trigger();
        QTRY_VERIFY(driver.planDone());
        QCOMPARE(driver.texts().size(), 1);
        QVERIFY2(driver.texts().first().contains(QLatin1String(Mainframe)), qPrintable(driver.texts().first()));
        QCOMPARE(defaultButton, QString("No"));
        QVERIFY(window->isVisible() && !sys->stopRequested && sys->handle() >= 0);
        QVERIFY(vhw::hasEventConnection(vhw::findSystem(Mainframe)));

        driver.plan({"Yes"});
        QVERIFY(window->close());
        QCOMPARE(driver.texts().size(), 2);
        QVERIFY(!window->isVisible() && sys->stopRequested && sys->handle() == -1);
    }
};

QTEST_MAIN(TstDialogLifetime)
#include "tst_dialog_lifetime.moc"
