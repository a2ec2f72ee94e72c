// Trip-line dialog on the virtual mainframe: what it shows of the words the
// device holds, what it writes, what it refuses, and that it goes with its
// system.

#include "ViewsTestSupport.h"
#include "tests/support/LiveWindow.h"

#include "views/QCustomTableWidget.h"
#include "views/QSubWindow.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QtTest>

using namespace views_test;

namespace {

QString result(QTableWidget *t, int row)
{
    return t->item(row, 1)->text();
}

} // namespace

class TstTripDialog : public QObject
{
    Q_OBJECT

private:
    // Captures the messages; the tests that need the whole program (the
    // connection, its events) open its window.
    live_test::WindowFixture fx;
    QList<OperatorMessage> &messages = fx.messages;
    // The default mainframe and its dialog, for the tests without the program.
    std::unique_ptr<LiveSystem> sys;
    std::unique_ptr<QTripHandlingDialog> d;

    // The dialog of the internal (0) or external (1) lines, shown.
    bool openDialog(int flagExt, QSystemInterface *sysIf = nullptr)
    {
        sys = mainframe();
        if (!sys)
            return false;
        d = std::make_unique<QTripHandlingDialog>(flagExt, sys->node, sysIf);
        d->show();
        return QTest::qWaitForWindowExposed(d.get());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(fx.setUpOnce());
        vhw::setTimeMode(vhw::TimeMode::Manual);
    }
    void cleanupTestCase() { fx.tearDownOnce(); }
    void init()
    {
        QVERIFY(vhw::resetWorld());
        messages.clear();
    }
    void cleanup()
    {
        d.reset();
        sys.reset();
        fx.closeWindow();
    }

    // A click gives the row the chosen line (line bit and companion bit), a
    // second click takes it away; applying writes what the row shows.
    void assignAndClearLine_data()
    {
        QTest::addColumn<int>("flagExt");
        QTest::addColumn<int>("slot");
        QTest::addColumn<int>("insertChannels"); // a board put into empty slot 5 first
        QTest::addColumn<int>("line");
        QTest::addColumn<int>("lines");
        QTest::addColumn<QString>("word");
        QTest::addColumn<bool>("deviceTakesIt");

        QTest::newRow("12 channels: 6 lines, line 2") << 0 << 8 << 0 << 2 << 6 << "0x00000104" << true;
        QTest::newRow("48 channels: 16 lines, line 15") << 0 << 3 << 0 << 15 << 16 << "0x80008000" << true;
        QTest::newRow("40 channels: 16 lines, not 20") << 0 << 5 << 40 << 15 << 16 << "0x80008000" << false;
        QTest::newRow("external line 3, trip-line board") << 1 << 8 << 0 << 3 << 4 << "0x00000088" << true;
        QTest::newRow("external line 3, other board") << 1 << 3 << 0 << 3 << 4 << "0x00000088" << true;
    }

    void assignAndClearLine()
    {
        QFETCH(int, flagExt);
        QFETCH(int, slot);
        QFETCH(int, insertChannels);
        QFETCH(int, line);
        QFETCH(int, lines);
        QFETCH(QString, word);
        QFETCH(bool, deviceTakesIt);
        if (insertChannels)
            QCOMPARE(vhw::insertBoard(vhw::findSystem("192.0.2.10"), 5, "A1560", insertChannels), 0);
        QVERIFY(openDialog(flagExt));
        // Boards without the word get no table.
        QCOMPARE(d->tripTables().size(), insertChannels ? 3 : 2);
        QTableWidget *t = tripTable(d.get(), slot);
        QVERIFY(t);
        const QList<QPushButton *> buttons = d->lineButtons(flagExt ? -1 : slot);
        QCOMPARE(buttons.size(), lines);

        const int row = 3;
        QTest::mouseClick(buttons.at(line), Qt::LeftButton);
        clickCell(t, row, 0);
        QCOMPARE(t->item(row, 0)->text(), QString::number(line));
        QCOMPARE(t->item(row, 0)->background().color(), QColor(triplines::lineColours().at(line)));
        QCOMPARE(result(t, row), word);

        const char *param = flagExt ? "TripExt" : "TripInt";
        QTest::mouseClick(d->buttonBox()->button(QDialogButtonBox::Apply), Qt::LeftButton);
        QVERIFY(d->isVisible());
        if (deviceTakesIt) {
            QVERIFY(messages.isEmpty());
            QCOMPARE(quint32(qint64(sys->device(slot, row, param))), word.mid(2).toUInt(nullptr, 16));
        } else {
            // A word beyond what the board takes: refused and named, the row
            // shows again what the device holds.
            QCOMPARE(messages.size(), 1);
            QVERIFY(messages.first().text.contains("Board05 Chan003"));
            QCOMPARE(result(t, row), QString("0x00000000"));
            QCOMPARE(sys->device(slot, row, param), 0.0);
            return;
        }

        clickCell(t, row, 0);
        QCOMPARE(t->item(row, 0)->text(), QString());
        QCOMPARE(result(t, row), QString("0x00000000"));
        QTest::mouseClick(d->buttonBox()->button(QDialogButtonBox::Ok), Qt::LeftButton);
        QVERIFY(!d->isVisible());
        QCOMPARE(sys->device(slot, row, param), 0.0);
    }

    // Words read from the device: upper-case digits, the last line shown, and
    // one warning half a second after opening when a word uses several lines.
    void showsTheDeviceWords()
    {
        const int id = vhw::findSystem("192.0.2.10");
        QCOMPARE(vhw::setChannelParam(id, 8, 1, "TripInt", 0x104), 0);
        QCOMPARE(vhw::setChannelParam(id, 8, 2, "TripInt", 0x3), 0);   // lines 0 and 1
        QCOMPARE(vhw::setChannelParam(id, 8, 4, "TripInt", 0xAB0), 0); // lines 4 and 5, companions
        QVERIFY(openDialog(0));
        QTableWidget *t = tripTable(d.get(), 8);
        QStringList rows; // line shown, word
        for (int row : {0, 1, 2, 4})
            rows << t->item(row, 0)->text() + ' ' + result(t, row);
        QCOMPARE(rows, (QStringList{" 0x00000000", "2 0x00000104", "1 0x00000003", "5 0x00000AB0"}));
        QVERIFY(d->hasComplexValues());
        QVERIFY(messages.isEmpty()); // not before the half second
        QTRY_COMPARE_WITH_TIMEOUT(messages.size(), 1, 5000);
        QVERIFY(messages.first().text.startsWith("Some values of the Trip parameter currently set"));
        QTest::qWait(700);
        QCOMPARE(messages.size(), 1);
    }

    // Writes the device refuses: one message naming every row that kept its
    // word; the rows show the kept word again.
    void refusedWritesAreNamedOnce()
    {
        const int id = vhw::findSystem("192.0.2.10");
        QCOMPARE(vhw::setChannelParam(id, 3, 7, "TripExt", 0x11), 0);
        QVERIFY(openDialog(1));
        QTest::mouseClick(d->lineButtons(-1).at(2), Qt::LeftButton);
        clickCell(tripTable(d.get(), 8), 1, 0);
        clickCell(tripTable(d.get(), 3), 7, 0); // showed line 0: taken away
        QCOMPARE(result(tripTable(d.get(), 3), 7), QString("0x00000000"));
        QCOMPARE(vhw::failWrite(id, "TripExt", ORVEHV_ERR_WRITE_REFUSED), 0);
        QTest::mouseClick(d->buttonBox()->button(QDialogButtonBox::Ok), Qt::LeftButton);
        QVERIFY(d->isVisible());
        QCOMPARE(messages.size(), 1);
        QVERIFY(messages.first().text.contains("Board08 Chan001"));
        QVERIFY(messages.first().text.contains("Board03 Chan007"));
        QCOMPARE(result(tripTable(d.get(), 3), 7), QString("0x00000011"));
        QCOMPARE(tripTable(d.get(), 3)->item(7, 0)->text(), QString("0"));
        QCOMPARE(sys->device(3, 7, "TripExt"), double(0x11));

        vhw::clearFaults();
        messages.clear();
        clickCell(tripTable(d.get(), 3), 7, 0); // clears line 0
        QTest::mouseClick(d->buttonBox()->button(QDialogButtonBox::Ok), Qt::LeftButton);
        QVERIFY(messages.isEmpty());
        QVERIFY(!d->isVisible());
        QCOMPARE(sys->device(3, 7, "TripExt"), 0.0);
    }

    // The dialog does not outlive its system: it closes, and nothing it does
    // afterwards reaches a node (run under AddressSanitizer).
    void closesWhenItsSystemGoes_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("lost connection") << "lost";
        QTest::newRow("board removed live") << "removed";
        QTest::newRow("disconnected") << "disconnected";
    }

    void closesWhenItsSystemGoes()
    {
        QFETCH(QString, how);
        QVERIFY(fx.openWindow());
        QSystemInterface *live = live_test::connectLive(fx.w, 2, 0, "192.0.2.10", "MF", "admin", "admin");
        QVERIFY(live);
        const int id = vhw::findSystem("192.0.2.10");
        QTRY_VERIFY_WITH_TIMEOUT(vhw::hasEventConnection(id), 5000);
        // Opened as the operator does: the column header's icon.
        QCustomTableWidget *t = qobject_cast<QSubWindow *>(live->subWindow())->table();
        emit t->horizontalHeader()->sectionClicked(t->columnByName("TripExt"));
        QPointer<QTripHandlingDialog> open = fx.w->findChild<QTripHandlingDialog *>();
        QVERIFY(open);
        QVERIFY(QTest::qWaitForWindowExposed(open.data()));
        QTest::mouseClick(open->lineButtons(-1).at(1), Qt::LeftButton);
        clickCell(tripTable(open, 8), 2, 0);

        if (how == "lost") {
            emit fx.w->systemDisconnected(live, 0);
        } else if (how == "removed") {
            QCOMPARE(vhw::removeBoard(id, 8), 0);
        } else {
            fx.w->disconnectFromSystem(0);
        }
        QTRY_VERIFY_WITH_TIMEOUT(!open, 5000); // closed and deleted
        if (how != "removed") // closing wrote nothing
            QCOMPARE(vhw::channelParamValue(id, 8, 2, "TripExt"), 0.0);
    }

    // The boards of a joined VME crate sit in slot 0 of their own systems:
    // each shows its place in the crate in the row labels and the trip
    // tables, and a word set on the second board's row reaches the second
    // board, not the first.
    void crateBoardsKeepTheirPlaces()
    {
        QVERIFY(fx.openWindow()); // on the default world: replaced here
        std::string error;
        QVERIFY2(vhw::loadWorldJson(R"({ "systems": [
            { "type": 5, "link": 3, "argument": "0_0_C0",
              "boards": [ { "slot": 0, "model": "A1560", "serial": 701 } ] },
            { "type": 5, "link": 3, "argument": "0_0_C1",
              "boards": [ { "slot": 0, "model": "A1560", "serial": 702 } ] } ] })",
                                    &error),
                 error.c_str());
        QSystemInterface *crate = live_test::connectLive(fx.w, 5, 3, "0_0_C0", QString(), "Board A");
        QSystemInterface *joined = live_test::connectLive(fx.w, 5, 3, "0_0_C1", QString(), "Board B");
        QVERIFY(crate && joined);
        QCOMPARE(joined->crateOffset(), 1);
        QCustomTableWidget *t = qobject_cast<QSubWindow *>(crate->subWindow())->table();
        QCOMPARE(t->rowCount(), 24);
        QCOMPARE(t->verticalHeaderItem(0)->text(), QString("00.000"));
        QCOMPARE(t->verticalHeaderItem(12)->text(), QString("01.000"));
        QCOMPARE(t->verticalHeaderItem(23)->text(), QString("01.011"));

        emit t->horizontalHeader()->sectionClicked(t->columnByName("TripInt"));
        QPointer<QTripHandlingDialog> open = fx.w->findChild<QTripHandlingDialog *>();
        QVERIFY(open);
        QVERIFY(QTest::qWaitForWindowExposed(open.data()));
        QCOMPARE(open->tripTables().size(), 2);
        QTableWidget *second = tripTable(open, 1);
        QVERIFY(second && second != tripTable(open, 0));
        QCOMPARE(open->lineButtons(1).size(), 6);
        open->findChild<QTabWidget *>()->setCurrentIndex(1);
        QTest::mouseClick(open->lineButtons(1).at(2), Qt::LeftButton);
        clickCell(second, 3, 0);
        QCOMPARE(result(second, 3), QString("0x00000104"));
        QTest::mouseClick(open->buttonBox()->button(QDialogButtonBox::Apply), Qt::LeftButton);
        QVERIFY(messages.isEmpty());
        QCOMPARE(vhw::channelParamValue(vhw::findSystem("0_0_C1"), 0, 3, "TripInt"), double(0x104));
        QCOMPARE(vhw::channelParamValue(vhw::findSystem("0_0_C0"), 0, 3, "TripInt"), 0.0);
        open->close();
    }

    // Closed for its system, the dialog may still get clicks before it goes:
    // none of them reaches the freed tree.
    void closedDialogLeavesFreedNodesAlone()
    {
        QSystemInterface owner(2, 0, QStringLiteral("192.0.2.10"), QStringLiteral("MF"), 0);
        QVERIFY(openDialog(0, &owner));
        QTableWidget *t = tripTable(d.get(), 8);
        emit owner.boardsAboutToChange();
        QVERIFY(!d->isVisible());
        delete sys->node;
        sys->node = nullptr;
        d->checkCell(t->item(1, 0));
        d->applyValues();
        emit d->buttonBox()->accepted();
        QVERIFY(messages.isEmpty());
    }
};

QTEST_MAIN(TstTripDialog)
#include "tst_trip_dialog.moc"
