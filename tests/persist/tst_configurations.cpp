// Custom views, groups and saved configurations in the main window against
// the virtual systems: the custom view's entry across connections and
// disconnections, the four-system limit beside it, group members of a
// disconnected system, and save -> disconnect -> load with reconnection.

#include "tests/support/LiveWindow.h"
#include "tests/views/ViewsTestSupport.h"
#include "app/ViewsController.h"
#include "persist/QLoadCustDialog.h"
#include "views/ChannelGroups.h"
#include "views/QConfigureViewDialog.h"
#include "views/QCustomTableWidget.h"
#include "views/QCustomViewDialog.h"
#include "views/QSubWindow.h"

#include <QAction>
#include <QCheckBox>
#include <QHeaderView>
#include <QDirIterator>
#include <QLineEdit>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

class TestConfigurations : public QObject
{
    Q_OBJECT

    live_test::WindowFixture fx;
    MainWindow *&w = fx.w;
    ViewsController *views = nullptr;
    QList<OperatorMessage> &messages = fx.messages;

    bool connectTo(const char *arg, int type = 2, const QString &name = QString())
    {
        w->connectToSystem(type, 0, QString::fromLatin1(arg), name, QStringLiteral("admin"), QStringLiteral("admin"));
        return system(arg) != nullptr;
    }
    QSystemInterface *system(const char *arg) const
    {
        for (QSystemInterface *s : w->connections()->systems())
            if (s->systemNode() && s->systemNode()->connectionArgument() == QLatin1String(arg))
                return s;
        return nullptr;
    }
    QSubWindow *subOf(QSystemInterface *s) const { return qobject_cast<QSubWindow *>(s->subWindow()); }
    QStringList shownRows(QSubWindow *sub) const
    {
        QStringList rows;
        QCustomTableWidget *t = sub->table();
        for (int v = 0; v < t->rowCount(); ++v) {
            const int r = t->verticalHeader()->logicalIndex(v);
            if (!t->isRowHidden(r))
                rows << t->verticalHeaderItem(r)->text();
        }
        return rows;
    }
    // Custom view of the first two channels of board 0 of every system.
    QSystemInterface *makeCustomView()
    {
        QCustomViewDialog *dialog = views->createDialogForCustomView();
        if (!dialog)
            return nullptr;
        for (int i = 0; i < dialog->channelTree()->topLevelItemCount(); ++i) {
            QTreeWidgetItem *board = dialog->channelTree()->topLevelItem(i)->child(0);
            dialog->changeItemVisibility(board->child(0));
            dialog->changeItemVisibility(board->child(1));
        }
        dialog->checkAllParametersClicked();
        dialog->clickedOkButton();
        return views->customViewEntry();
    }

private slots:
    void initTestCase() { QVERIFY(fx.setUpOnce()); }
    void cleanupTestCase() { fx.tearDownOnce(); }
    void init()
    {
        QVERIFY(fx.openWindow());
        views = w->viewsController();
    }
    void cleanup() { fx.closeWindow(); }

    void customViewFollowsTheSystems()
    {
        QVERIFY(connectTo("192.0.2.10", 2, QStringLiteral("Big")));
        QVERIFY(connectTo("192.0.2.11", 2, QStringLiteral("Small")));
        QSystemInterface *entry = makeCustomView();
        QVERIFY(entry);
        QCOMPARE(entry->systemIndex(), 2);
        QCOMPARE(shownRows(subOf(entry)), (QStringList{"(Big)00.000", "(Big)00.001", "(Small)00.000", "(Small)00.001"}));

        // The custom view is no system: four systems still connect beside it,
        // and each new one is listed in it.
        QVERIFY(connectTo("192.0.2.50", 11, QStringLiteral("Desk")));
        QVERIFY(w->form().menuConnect->isEnabled());
        QVERIFY(connectTo("192.0.2.60", 13, QStringLiteral("Brisk")));
        QVERIFY(!w->form().menuConnect->isEnabled());
        QCOMPARE(entry->systemNode()->children().size(), 4);

        // A disconnected system leaves the custom view, and its open
        // configuration dialog goes with it; the rest stays.
        QPointer<QWidget> configuring = views->createConfigureTableDialog(system("192.0.2.10")->systemIndex());
        QVERIFY(configuring);
        w->disconnectFromSystem(system("192.0.2.10")->systemIndex());
        QVERIFY(!configuring);
        QCOMPARE(entry->systemNode()->children().size(), 3);
        QCOMPARE(shownRows(subOf(entry)), (QStringList{"(Small)00.000", "(Small)00.001"}));
        QVERIFY(w->form().menuConnect->isEnabled());

        // "Delete" removes the custom view only.
        const int before = int(w->connections()->systems().size());
        w->disconnectFromSystem(entry->systemIndex());
        QVERIFY(!views->customViewEntry());
        QCOMPARE(int(w->connections()->systems().size()), before - 1);
        QVERIFY(system("192.0.2.11"));
    }

    // Channels of a board that leaves its crate, or of a system that is
    // disconnected, leave their groups; a group left without channels goes,
    // and the operator is told (which groups keep their other channels:
    // tst_groups membersOfAGoingSystemAreDropped). The custom view keeps
    // the rest.
    void goingChannelsLeaveGroups()
    {
        QVERIFY(connectTo("192.0.2.10", 2, QStringLiteral("Big")));
        QVERIFY(connectTo("192.0.2.11", 2, QStringLiteral("Small")));
        QVERIFY(w->form().menuCreateGroup->isEnabled());
        QSystemInterface *entry = makeCustomView();
        QVERIFY(entry);
        ORVEHVNode *leaving = live_test::boardInSlot(system("192.0.2.10"), 3)->children().at(0);
        ORVEHVNode *staying = system("192.0.2.10")->systemNode()->children().at(0)->children().at(0);
        ORVEHVNode *small = system("192.0.2.11")->systemNode()->children().at(0)->children().at(0);
        ChannelGroups *groups = views->groups();
        groups->addGroup(QStringLiteral("Mixed"), {staying, staying->parameter(QStringLiteral("VSet")), leaving,
                                                   leaving->parameter(QStringLiteral("VSet"))});
        groups->addGroup(QStringLiteral("Gone"), {leaving, leaving->parameter(QStringLiteral("ISet"))});
        groups->addGroup(QString(), {small, small->parameter(QStringLiteral("ISet"))});
        QVERIFY(w->form().menuViewGroups->isEnabled());
        // The menu action opens the value dialog.
        groups->actions().at(2)->trigger();
        QVERIFY(groups->openDialogOf(2));

        messages.clear();
        QCOMPARE(vhw::removeBoard(vhw::findSystem("192.0.2.10"), 3), ORVEHV_OK);
        QTRY_COMPARE_WITH_TIMEOUT(groups->groups().size(), 2, 10000);
        QCOMPARE(groups->groups().first().members.size(), 2);
        QTRY_VERIFY_WITH_TIMEOUT(!messages.isEmpty(), 5000);
        QVERIFY(messages.last().text.contains(QStringLiteral("Gone")));
        QCOMPARE(shownRows(subOf(entry)), (QStringList{"(Big)00.000", "(Big)00.001", "(Small)00.000", "(Small)00.001"}));

        messages.clear();
        w->disconnectFromSystem(system("192.0.2.11")->systemIndex());
        QCOMPARE(groups->groups().size(), 1);
        QCOMPARE(groups->actions().size(), 1);
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages.first().text.contains(QStringLiteral("Group 0")), qPrintable(messages.first().text));
    }

    // Four systems, one of them the VME crate of two boards, and the custom
    // view: every board and the custom view are saved, and once every system
    // went the whole configuration comes back (the crate counts once) with
    // its own and custom views.
    void saveDisconnectLoad()
    {
        for (const char *board : {"0_0_C0", "0_0_C1"})
            w->connectToSystem(5, 3, QString::fromLatin1(board), QString(), QStringLiteral("VME"), QString());
        QVERIFY(connectTo("192.0.2.10", 2, QStringLiteral("Big")));
        QVERIFY(connectTo("192.0.2.50", 11, QStringLiteral("Desk")));
        QVERIFY(connectTo("192.0.2.60", 13, QStringLiteral("Brisk")));
        QCOMPARE(w->connections()->connectedSystemCount(), 4);
        QSystemInterface *big = system("192.0.2.10");
        // Own view of Big: board 01 hidden, VMon before VSet.
        auto *dialog = qobject_cast<QConfigureViewDialog *>(views->createConfigureTableDialog(big->systemIndex()));
        dialog->changeItemVisibility(dialog->channelTree()->topLevelItem(1));
        QHeaderView *h = dialog->preview()->horizontalHeader();
        h->moveSection(h->visualIndex(dialog->previewColumn(QStringLiteral("VMon"))),
                       h->visualIndex(dialog->previewColumn(QStringLiteral("VSet"))));
        dialog->clickedOkButton();
        const QStringList ownRows = shownRows(subOf(big));
        const QStringList ownColumns = views_test::visibleHeaders(subOf(big)->table());
        QVERIFY(ownColumns.indexOf(QStringLiteral("VMon")) < ownColumns.indexOf(QStringLiteral("VSet")));
        QVERIFY(makeCustomView());
        const QStringList customRows = shownRows(subOf(views->customViewEntry()));

        QTemporaryDir dir;
        QVERIFY(views->saveConfiguration(dir.filePath(QStringLiteral("setup")), QList<bool>(5, true), true));
        QCOMPARE(QDir(dir.filePath(QStringLiteral("setup"))).entryList(QDir::Files).size(), 6);
        while (!w->connections()->systems().isEmpty())
            w->removeSystem(int(w->connections()->systems().size()) - 1);

        QPointer<QDialog> load = views->loadCustomizedViews(dir.filePath(QStringLiteral("setup.csc")));
        auto *loadDialog = qobject_cast<QLoadCustDialog *>(load.data());
        QVERIFY(loadDialog);
        QCOMPARE(loadDialog->rows().size(), 6);
        for (QWidget *row : loadDialog->rows())
            QVERIFY2(loadDialog->checkBoxOf(row)->isChecked(), qPrintable(loadDialog->checkBoxOf(row)->text()));
        for (QLineEdit *e : loadDialog->findChildren<QLineEdit *>())
            e->setText(QStringLiteral("admin"));
        messages.clear();
        load->accept();
        QTRY_VERIFY_WITH_TIMEOUT(system("0_0_C0") && system("0_0_C1") && system("192.0.2.10") && system("192.0.2.50")
                                     && system("192.0.2.60") && views->customViewEntry(),
                                 20000);
        QVERIFY(!load);
        QCOMPARE(w->connections()->connectedSystemCount(), 4);
        QVERIFY(messages.isEmpty());
        QCOMPARE(shownRows(subOf(system("192.0.2.10"))), ownRows);
        QCOMPARE(views_test::visibleHeaders(subOf(system("192.0.2.10"))->table()), ownColumns);
        QCOMPARE(shownRows(subOf(views->customViewEntry())), customRows);

        // The typed credentials were handed over, not stored anywhere, not
        // even once the program has closed.
        QVERIFY(w->close());
        const QStringList places{dir.path(), fx.workDir.path()};
        for (const QString &place : places) {
            QDirIterator it(place, QDir::Files, QDirIterator::Subdirectories);
            while (it.hasNext()) {
                QFile f(it.next());
                QVERIFY(f.open(QIODevice::ReadOnly));
                const QByteArray bytes = f.readAll();
                QVERIFY2(!bytes.contains("admin") && !bytes.contains(QByteArray("\0a\0d\0m\0i\0n", 10)),
                         qPrintable(f.fileName()));
            }
        }
    }
};

QTEST_MAIN(TestConfigurations)
#include "tst_configurations.moc"
