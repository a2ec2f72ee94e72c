// Removing boards from the default VME crate (0_0_C0 + 0_0_C1) through the
// disconnect dialog the crate's disconnect button opens.

#include "tests/support/LiveWindow.h"
#include "connect/QConnectDialog.h"
#include "connect/QDisconnectDialog.h"
#include "views/QCustomTableWidget.h"
#include "views/QSubWindow.h"

#include <QDialogButtonBox>
#include <QDockWidget>
#include <QPushButton>
#include <QRadioButton>

class TstDisconnectDialog : public QObject
{
    Q_OBJECT

private:
    live_test::WindowFixture fx;
    MainWindow *&w = fx.w;
    QList<OperatorMessage> &messages = fx.messages;

    bool connectBoard(const char *arg, int link = 3)
    {
        return w->connectToSystem(5, link, QString::fromLatin1(arg), QString(), QString(), QString()) == 0;
    }
    QStringList arguments() const
    {
        QStringList a;
        for (QSystemInterface *s : w->connections()->systems())
            a << s->connectionArgument();
        return a;
    }
    QDisconnectDialog *openDialog()
    {
        w->disconnectFromSystem(0);
        return w->findChild<QDisconnectDialog *>();
    }
    QRadioButton *choice(QDisconnectDialog *d, const QString &text)
    {
        for (QRadioButton *r : d->choices())
            if (r->text().contains(text))
                return r;
        return nullptr;
    }
    QPushButton *ok(QDisconnectDialog *d) { return d->buttonBox()->button(QDialogButtonBox::Ok); }

private slots:
    void initTestCase() { QVERIFY(fx.setUpOnce()); }
    void cleanupTestCase() { fx.tearDownOnce(); }
    void init()
    {
        QVERIFY(fx.openWindow());
        QVERIFY(connectBoard("0_0_C0"));
        QVERIFY(connectBoard("0_0_C1"));
    }
    void cleanup() { fx.closeWindow(); }

    // The crate's boards are offered, a crate on another bridge is not; OK
    // waits for a choice, Cancel changes nothing.
    void choicesAndOk()
    {
        QVERIFY(connectBoard("1_0_A0", 4));
        QCOMPARE(w->connections()->topLevelCount(), 2);
        QDisconnectDialog *d = openDialog();
        QVERIFY(d);
        QCOMPARE(d->choices().size(), 3);
        QCOMPARE(d->choices().first()->text(), QString("All boards"));
        QRadioButton *c1 = choice(d, "[0xC1]");
        QVERIFY(c1 && choice(d, "[0xC0]") && !choice(d, "[0xA0]"));

        QVERIFY(!ok(d)->isEnabled());
        c1->click();
        QVERIFY(ok(d)->isEnabled());
        QCOMPARE(d->chosenIndex(), 1);

        QPointer<QDisconnectDialog> gone(d);
        d->buttonBox()->button(QDialogButtonBox::Cancel)->click();
        QTRY_VERIFY(!gone);
        QCOMPARE(arguments(), QStringList({"0_0_C0", "0_0_C1", "1_0_A0"}));
    }

    // One board goes; the other goes on working in the crate's views, whether
    // the board removed was joined to the crate or was the crate's own entry.
    void oneBoardLeavesTheOthersWorking_data()
    {
        QTest::addColumn<QString>("removed");
        QTest::addColumn<QString>("kept");
        QTest::newRow("joined board") << "C1" << "0_0_C0";
        QTest::newRow("crate entry") << "C0" << "0_0_C1";
    }

    void oneBoardLeavesTheOthersWorking()
    {
        QFETCH(QString, removed);
        QFETCH(QString, kept);
        QDisconnectDialog *d = openDialog();
        QVERIFY(d);
        choice(d, "[0x" + removed + "]")->click();
        ok(d)->click();

        QCOMPARE(arguments(), QStringList({kept}));
        QCOMPARE(w->connections()->topLevelCount(), 1);
        // No connect dialog left open, the docks are shown.
        QTRY_VERIFY(!w->findChild<QConnectDialog *>());
        QVERIFY(w->form().dockLeft->isVisible());
        QSystemInterface *sys = w->connections()->systems().first();
        auto *sub = qobject_cast<QSubWindow *>(sys->subWindow());
        QVERIFY(sub && sub->table()->rowCount() > 0);
        ORVEHVNode *vset = sub->channelOfRow(0)->parameter("V0Set");
        QVERIFY(vset);
        QCOMPARE(vset->writeValue(12.0), 0);
        // Events still reach it.
        const int id = vhw::findSystem(kept.toStdString());
        QTRY_VERIFY_WITH_TIMEOUT(vhw::hasEventConnection(id), 5000);
        QCOMPARE(vhw::setChannelParam(id, 0, 0, vset->name().toStdString(), 34), 0);
        QTRY_COMPARE_WITH_TIMEOUT(vset->value().value.toDouble(), 34.0, 5000);
        QVERIFY(messages.isEmpty());
    }

};

QTEST_MAIN(TstDisconnectDialog)
#include "tst_disconnect_dialog.moc"
