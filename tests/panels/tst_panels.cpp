// Status bar texts, styles and lamps; system boxes and the collapsible list.

#include "panels/PanelPictures.h"
#include "panels/QCollapsibleWidget.h"
#include "panels/QCustomBox.h"
#include "panels/QSystemStatusBar.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

class TestPanels : public QObject
{
    Q_OBJECT

private slots:
    void connectionDescription_data()
    {
        QTest::addColumn<int>("link");
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("text");
        QTest::newRow("tcp") << 0 << "192.0.2.10" << "192.0.2.10";
        QTest::newRow("usb") << 3 << "0_0_C0" << "USB 0";
        QTest::newRow("usb empty") << 3 << "" << "";
        QTest::newRow("optical") << 4 << "1_0_A0" << "OPTICAL LINK 1_0";
        QTest::newRow("optical short") << 4 << "1_" << "";
        QTest::newRow("serial 1.5 odd") << 5 << "3_9600_8_1_2_0" << "COM3, BaudRate: 9600, Data: 8, Stop: 1.5, Parity: Odd";
        // The connect dialog passes the port as "COM3": no second prefix.
        QTest::newRow("serial port text") << 5 << "COM3_9600_8_0_0_0"
                                          << "COM3, BaudRate: 9600, Data: 8, Stop: 1, Parity: None";
        QTest::newRow("serial five parts") << 5 << "3_9600_8_1_2" << "";
        QTest::newRow("serial unknown codes") << 5 << "4_19200_7_7_9_0" << "COM4, BaudRate: 19200, Data: 7, Stop: , Parity: ";
        QTest::newRow("serial not a number") << 5 << "4_19200_7_x_y_0" << "COM4, BaudRate: 19200, Data: 7, Stop: 1, Parity: None";
        QTest::newRow("serial empty parts kept") << 5 << "_____" << "COM, BaudRate: , Data: , Stop: 1, Parity: None";
        QTest::newRow("usb3") << 6 << "0_0_0" << "0_0_0";
    }

    void connectionDescription()
    {
        QFETCH(int, link);
        QFETCH(QString, argument);
        QFETCH(QString, text);
        QCOMPARE(QSystemStatusBar::connectionDescription(link, argument), text);
    }

    // A lost connection turns the status red; other states keep the colour
    // the label had. (The texts are checked through the main window.)
    void statusColourRule()
    {
        QSystemStatusBar bar;
        bar.setConnectionStatus(1);
        QCOMPARE(bar.statusLabel()->styleSheet(), QString("QLabel {color : green; }"));
        bar.setConnectionStatus(2);
        QCOMPARE(bar.statusLabel()->styleSheet(), QString("QLabel {color : red; }"));
        bar.setConnectionStatus(1);
        bar.setConnectionStatus(0);
        QCOMPARE(bar.statusLabel()->styleSheet(), QString("QLabel {color : green; }"));
        bar.setConnectionStatus(7);
        QCOMPARE(bar.statusLabel()->text(), QString());

        QCOMPARE(QSystemStatusBar::systemNameText(5, "crate"), QString("VME HV Crate"));
        QCOMPARE(QSystemStatusBar::systemNameText(2, "crate"), QString("crate"));
    }

    void lampsFromStatusRecord_data()
    {
        QTest::addColumn<int>("system");
        QTest::addColumn<QList<int>>("boards");   // board words set, the rest stay 5 (no lamp)
        QTest::addColumn<bool>("sync");
        QTest::addColumn<bool>("warning");
        QTest::addColumn<bool>("error");
        QTest::newRow("all fine") << 0 << QList<int>{0, 0} << true << false << false;
        QTest::newRow("0 and 2") << 0 << QList<int>{5, 2} << true << false << true;
        QTest::newRow("board warning only") << 9 << QList<int>{1} << false << true << false;
        QTest::newRow("last board error") << 9 << QList<int>{5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 2}
                                          << false << false << true;
        QTest::newRow("nothing known") << -1 << QList<int>{} << false << false << false;
    }

    void lampsFromStatusRecord()
    {
        QFETCH(int, system);
        QFETCH(QList<int>, boards);
        QFETCH(bool, sync);
        QFETCH(bool, warning);
        QFETCH(bool, error);
        ORVEHV_SYSTEMSTATUS_t st;
        st.System = system;
        for (int i = 0; i < ORVEHV_MAX_BOARDS; ++i)
            st.Board[i] = i < boards.size() ? boards.at(i) : 5;

        QSystemStatusBar bar;
        bar.setEventStatus(st);
        QCOMPARE(bar.indicatorPicture(0), QString(sync ? ":Resources/buttons/led_on_mid.png" : ":Resources/buttons/led_off_mid.png"));
        QCOMPARE(bar.indicatorPicture(1), QString(warning ? ":Resources/buttons/led_warn_mid.png" : ":Resources/buttons/led_off_mid.png"));
        QCOMPARE(bar.indicatorPicture(2), QString(error ? ":Resources/buttons/led_err_mid.png" : ":Resources/buttons/led_off_mid.png"));
    }

    void missingPicturesAreDrawn()
    {
        const QPixmap lamp = PanelPictures::load(":Resources/nothing/led_err_mid.png", QSize(16, 16));
        QCOMPARE(lamp.size(), QSize(16, 16));
        const QImage img = lamp.toImage();
        const QColor centre = img.pixelColor(8, 8);
        QVERIFY2(centre.red() > 150 && centre.green() < 120, qPrintable(centre.name()));
        QCOMPARE(img.pixelColor(0, 0).alpha(), 0);
        QVERIFY(!PanelPictures::load(":Resources/nothing/Modulo-dock.png", QSize(36, 72)).isNull());
    }

    void boxSignalsCarryIndex()
    {
        QCustomBox box(2, "crate", ":Resources/Elementi/sistema-vme.png", "Configure", "Disconnect");
        QSignalSpy item(&box, &QCustomBox::itemClicked);
        QSignalSpy extra(&box, &QCustomBox::clickedExtraButton);
        QSignalSpy disc(&box, &QCustomBox::clickedDisconnectButton);
        QSignalSpy expand(&box, &QCustomBox::clickedExpandButton);
        box.resize(240, 60);
        box.show();
        QTest::mouseClick(box.extraButton(), Qt::LeftButton);
        QTest::mouseClick(box.disconnectButton(), Qt::LeftButton);
        QTest::mouseClick(box.expandButton(), Qt::LeftButton);
        QTest::mouseClick(box.titleLabel(), Qt::LeftButton);
        // Buttons do not count as a click on the box; the name label does.
        for (QSignalSpy *spy : {&extra, &disc, &expand, &item}) {
            QCOMPARE(spy->size(), 1);
            QCOMPARE(spy->at(0).at(0).toInt(), 2);
        }
        // A right click selects nothing.
        QTest::mouseClick(box.titleLabel(), Qt::RightButton);
        QCOMPARE(item.size(), 1);
    }

    void boxListExpandsOneAtATime()
    {
        QCollapsibleWidget list;
        QWidget *panels[3];
        for (int i = 0; i < 3; ++i) {
            auto *box = new QCustomBox(i, QString("sys%1").arg(i), QString(), "Configure", "Disconnect");
            panels[i] = new QLabel(QString("commands %1").arg(i));
            box->setContentWidget(panels[i]);
            list.addBox(box);
        }
        list.resize(250, 600);
        list.show();

        QTest::mouseClick(list.box(1)->expandButton(), Qt::LeftButton);
        QVERIFY(panels[1]->isVisible());

        list.expandItem(2);   // another box: the first one closes
        QCOMPARE(list.expandedIndex(), 2);
        QVERIFY(!panels[1]->isVisible());
        QVERIFY(panels[2]->isVisible());

        list.expandItem(2);   // the same box again: collapses
        QCOMPARE(list.expandedIndex(), -1);
        QVERIFY(!panels[2]->isVisible());

        list.expandItem(7);   // no such box: nothing happens
        QCOMPARE(list.expandedIndex(), -1);

        list.box(0)->setPowerSwitch(1);
        QCOMPARE(list.box(0)->expandPicture(), QString(":Resources/Elementi/switch_ON.gif"));
        list.box(0)->setPowerSwitch(-1);
        QCOMPARE(list.box(0)->expandPicture(), QString(":Resources/Elementi/arrr.png"));
    }

    void boxListFollowsIndexChanges()
    {
        QCollapsibleWidget list;
        auto *a = new QCustomBox(0, "a", QString(), "Configure", "Disconnect");
        auto *b = new QCustomBox(1, "b", QString(), "Configure", "Disconnect");
        auto *c = new QCustomBox(2, "c", QString(), "Configure", "Disconnect");
        list.addBox(a);
        list.addBox(b);
        list.addBox(c);
        delete a;   // the first system is removed; the others move up
        b->setSystemIndex(0);
        c->setSystemIndex(1);
        QCOMPARE(list.count(), 2);
        QCOMPARE(list.box(0), b);
        QCOMPARE(list.boxWithIndex(1), c);

        QSignalSpy expand(c, &QCustomBox::clickedExpandButton);
        c->expandButtonClick();
        QCOMPARE(expand.at(0).at(0).toInt(), 1);
        QCOMPARE(list.expandedIndex(), 1);
        QVERIFY(c->isExpanded());
        QVERIFY(!b->isExpanded());

        auto *d = new QCustomBox(2, "d", QString(), "Configure", "Disconnect");
        list.insertBox(0, d);
        QCOMPARE(list.box(0), d);
        QCOMPARE(list.box(2), c);
        list.removeBox(d);
        QCOMPARE(list.count(), 2);
        delete d;
    }

    void boxListSelection()
    {
        QCollapsibleWidget list;
        for (int i = 0; i < 3; ++i)
            list.addBox(new QCustomBox(i, QString::number(i), QString(), "Configure", "Disconnect"));
        list.setSelectedIndex(1);
        QVERIFY(!list.box(0)->isSelected() && list.box(1)->isSelected());
        list.setSelectedIndex(2);
        QVERIFY(!list.box(1)->isSelected() && list.box(2)->isSelected());
        // A deleted box leaves the list; its index selects and expands nothing.
        list.expandItem(0);
        delete list.box(0);
        QCOMPARE(list.count(), 2);
        QCOMPARE(list.expandedIndex(), -1);
        list.expandItem(2);
        list.setSelectedIndex(2);
        QCOMPARE(list.box(2), nullptr);
    }

    void longNameIsShortened()
    {
        QCollapsibleWidget list;
        list.setFixedWidth(250);
        const QString name = "Detector high voltage, east hall, second floor rack";
        auto *box = new QCustomBox(0, name, QString(), "Configure", "Disconnect");
        list.addBox(box);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        QCOMPARE(box->title(), name);
        QCOMPARE(box->titleLabel()->toolTip(), name);
        QVERIFY(box->width() <= 250);
        QVERIFY(box->titleLabel()->text() != name);
        QVERIFY(box->titleLabel()->text().endsWith(QChar(0x2026)));
        box->setTitle("short");
        QCOMPARE(box->titleLabel()->text(), QString("short"));
    }
};

QTEST_MAIN(TestPanels)
#include "tst_panels.moc"
