// Board information panel: titles per system family, one box per occupied
// slot, rows, refresh on a parameter change, collapsing.

#include "device/ORVEHVNode.h"
#include "panels/BoardInfoText.h"
#include "device/ValueText.h"
#include "panels/QBoardInformations.h"

#include <QApplication>
#include <QEnterEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QTest>

#include <memory>

namespace {

ORVEHVNode *makeBoard(int slot, const QString &model, quint32 serial, int handle)
{
    auto *b = new ORVEHVNode;
    b->initialise(QString("Board%1").arg(slot, 2, 10, QChar('0')), KindBoard);
    b->setSlot(quint16(slot));
    b->setModel(model);
    b->setDescription(model + " 12 Ch 3KV/3mA");
    b->setSerialNumber(serial);
    b->setFirmwareMajor("01");
    b->setFirmwareMinor("05");
    b->setChannelCount(12);

    auto add = [&](const char *name, int libraryType, int dataType, int access) {
        auto *p = new ORVEHVNode;
        p->initialise(name, KindBoardParameter);
        p->setLibraryType(libraryType);
        p->setDataType(dataType);
        p->setAccessMode(access);
        p->setSlot(quint16(slot));
        b->addParameter(p);
        return p;
    };
    add("BdStatus", 3, DataInt32, AccessReadWrite);
    ORVEHVNode *temp = add("Temp", 0, DataFloat, AccessReadWrite);
    temp->setDecimals(1);
    temp->setUnitText(QString(" ") + QChar(0xB0) + "C");
    add("ClrAlarm", 0, DataFloat, AccessWriteOnly);

    b->setHandle(handle);
    return b;
}

// A system node with boards in slots 0 and 3 and an empty slot between.
ORVEHVNode *makeSystem(int systemType, const QString &argument, int handle = 7)
{
    auto *sys = new ORVEHVNode;
    sys->initialise("crate", KindSystem, systemType, 0, argument);
    sys->addChild(makeBoard(0, "A1520", 10234, handle));
    auto *empty = new ORVEHVNode;
    empty->initialise(QString(), KindContainer);
    sys->addChild(empty);
    sys->addChild(makeBoard(3, "A1535N", 555, handle));
    // Discovery adds parameters to boards already in the tree, so they carry
    // the system type too.
    for (ORVEHVNode *c : sys->children()) {
        c->setConnectionArgument(argument);
        for (ORVEHVNode *p : c->parameters())
            p->setSystemType(systemType);
    }
    sys->setHandle(handle);
    return sys;
}

// Text colour of the (first) label showing `text`, as its style makes it.
QColor textColour(const QBoardInformations &panel, const QString &text)
{
    for (QLabel *l : panel.findChildren<QLabel *>())
        if (l->text() == text) {
            l->ensurePolished();
            return l->palette().color(QPalette::WindowText);
        }
    return QColor();
}

} // namespace

class TestBoardInfo : public QObject
{
    Q_OBJECT

private slots:
    void titles()
    {
        std::unique_ptr<ORVEHVNode> sys(makeSystem(2, "192.0.2.10"));
        ORVEHVNode *b0 = sys->children().at(0);
        QCOMPARE(BoardInfoText::boardTitle(b0, 2), QString("Board00 - A1520  [10234]  (Fw Rel. 01.05)"));

        b0->setConnectionArgument("0_0_C0");
        QCOMPARE(BoardInfoText::boardTitle(b0, 5), QString("Board00 - A1520  [10234]  [0xC0]  (Fw Rel. 01.05)"));
        b0->setConnectionArgument("0_0");
        QCOMPARE(BoardInfoText::boardTitle(b0, 5), QString("Board00 - A1520  [10234]  (Fw Rel. 01.05)"));
        QCOMPARE(BoardInfoText::vmeBaseAddress("1_0_0xA0"), QString("0xA0"));

        b0->setSlot(27);
        QCOMPARE(BoardInfoText::boardTitle(b0, 16), QString("Crate1 Board2 - A1520  [10234]  (Fw Rel. 01.05)"));
        QCOMPARE(BoardInfoText::rackPosition(24), QString("Crate0 Board24"));
    }

    void oneBoxPerOccupiedSlot()
    {
        std::unique_ptr<ORVEHVNode> sys(makeSystem(2, "192.0.2.10"));
        QBoardInformations panel;
        panel.setSystemNode(sys.get());
        QCOMPARE(panel.boxCount(), 2);
        QVERIFY(panel.box(0)->title().startsWith("Board00 - A1520"));
        QVERIFY(panel.box(1)->title().startsWith("Board03 - A1535N"));

        QCOMPARE(panel.shownText("7:3:SerNum"), QString("555"));
        QCOMPARE(panel.shownText("7:3:FmwRel"), QString("01.05"));
        QCOMPARE(panel.shownText("7:3:ChCount"), QString("12"));
        QCOMPARE(panel.shownText("7:3:BdStatus"), QString("-"));   // never read yet
        // A write-only parameter is a command: no row.
        QVERIFY(panel.shownText("7:3:ClrAlarm").isNull());

        // No boards at all.
        ORVEHVNode bare;
        bare.initialise("bare", KindSystem, 6);
        panel.setSystemNode(&bare);
        QCOMPARE(panel.boxCount(), 0);
        panel.setSystemNode(nullptr);
        QCOMPARE(panel.boxCount(), 0);
    }

    void refreshOnParameterChange()
    {
        std::unique_ptr<ORVEHVNode> sys(makeSystem(2, "192.0.2.10"));
        QBoardInformations panel;
        panel.setSystemNode(sys.get());
        ORVEHVNode *temp = sys->children().at(2)->parameter("Temp");
        QVERIFY(temp);
        temp->setValue(NodeValue(QVariant(float(31.25)), ValueOk));
        QVERIFY(panel.refreshParameter(temp));
        QCOMPARE(panel.shownText("7:3:Temp"), temp->cellText().trimmed());
        QVERIFY(panel.shownText("7:3:Temp").startsWith("31."));
        // The other board's row of the same name is untouched.
        QCOMPARE(panel.shownText("7:0:Temp"), QString("-"));

        ORVEHVNode *status = sys->children().at(2)->parameter("BdStatus");
        status->setValue(NodeValue(QVariant(0), ValueOk));
        QVERIFY(panel.refreshParameter(status));
        QCOMPARE(panel.shownText("7:3:BdStatus"), QString("Ok"));
        QCOMPARE(textColour(panel, "Ok"), QColor("#1d1d1d"));
        status->setValue(NodeValue(QVariant(1 << 5), ValueOk));
        QVERIFY(panel.refreshParameter(status));
        QCOMPARE(panel.shownText("7:3:BdStatus"), boardStatusText(2, 1 << 5));
        QVERIFY(BoardInfoText::isAlarm(status));
        // An alarm shows red, and dark again once it is over.
        QCOMPARE(textColour(panel, boardStatusText(2, 1 << 5)), QColor("#c81e1e"));
        status->setValue(NodeValue(QVariant(0), ValueOk));
        QVERIFY(panel.refreshParameter(status));
        QCOMPARE(textColour(panel, "Ok"), QColor("#1d1d1d"));
        QCOMPARE(textColour(panel, "SerNum"), QColor("#4a5c62"));   // a row's name
        status->setValue(NodeValue(QVariant(1 << 5), ValueOk));
        QVERIFY(panel.refreshParameter(status));
        status->setValue(NodeValue(QVariant(1 << 7), ValueOk));   // no text for this bit
        panel.refreshParameter(status);
        QCOMPARE(panel.shownText("7:3:BdStatus"), QString("0x00000080"));

        // Nodes the panel does not show change nothing.
        ORVEHVNode stranger;
        stranger.initialise("Temp", KindBoardParameter);
        stranger.setSlot(3);
        stranger.setHandle(99);
        QVERIFY(!panel.refreshParameter(&stranger));
        QVERIFY(!panel.refreshParameter(nullptr));
        QVERIFY(!panel.refreshParameter(sys.get()));
    }

    // A value row can be selected with the mouse (and so copied).
    void valueSelectableWithTheMouse()
    {
        std::unique_ptr<ORVEHVNode> sys(makeSystem(2, "192.0.2.10"));
        QBoardInformations panel;
        panel.setSystemNode(sys.get());
        panel.resize(230, 700);
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        QLabel *serial = nullptr;
        for (QLabel *l : panel.findChildren<QLabel *>())
            if (l->text() == "555")
                serial = l;
        QVERIFY(serial);
        const QPoint from(1, serial->height() / 2), to(serial->width() - 1, serial->height() / 2);
        QEnterEvent enter(from, serial->mapTo(&panel, from), serial->mapToGlobal(from));
        QApplication::sendEvent(serial, &enter);
        QTest::mousePress(serial, Qt::LeftButton, {}, from);
        QMouseEvent drag(QEvent::MouseMove, to, serial->mapToGlobal(to), Qt::NoButton, Qt::LeftButton, {});
        QApplication::sendEvent(serial, &drag);
        QTest::mouseRelease(serial, Qt::LeftButton, {}, to);
        QCOMPARE(serial->selectedText(), QString("555"));
    }

    void collapseRebuildAndExpand()
    {
        std::unique_ptr<ORVEHVNode> sys(makeSystem(2, "192.0.2.10"));
        QBoardInformations panel;
        panel.setSystemNode(sys.get());
        panel.resize(230, 700);
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        QBoardInfoBox *box = panel.box(0);
        QVERIFY(box->isExpanded() && box->body()->isVisible());
        QTest::mouseClick(box->titleLabel(), Qt::LeftButton);
        QVERIFY(!box->isExpanded() && !box->body()->isVisible());
        QVERIFY(panel.box(1)->body()->isVisible());   // the other box is independent
        QTest::mouseClick(box->titleLabel(), Qt::LeftButton);
        QVERIFY(box->isExpanded() && box->body()->isVisible());

        // A board arrives in the empty slot: the rebuild keeps what was collapsed.
        panel.box(1)->setExpanded(false);
        ORVEHVNode *container = sys->children().at(1);
        sys->removeChildAt(1);
        delete container;
        sys->insertChild(makeBoard(1, "V6533", 42, 7), 1);
        panel.rebuild();
        QCOMPARE(panel.boxCount(), 3);
        QVERIFY(panel.box(1)->title().startsWith("Board01 - V6533"));
        QVERIFY(panel.box(0)->isExpanded() && panel.box(1)->isExpanded() && !panel.box(2)->isExpanded());
    }
};

QTEST_MAIN(TestBoardInfo)
#include "tst_board_info.moc"
