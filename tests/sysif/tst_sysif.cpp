// QSystemInterface against the default virtual systems: connection sequence,
// refusals, mainframe model rule, panels built by the panel builder, signal
// relays, index pushes, crate map changes, VME HV crates, destruction. Then
// the panels alone: status bar texts, styles and lamps; system boxes and the
// collapsible list; the board information panel: titles per system family,
// one box per occupied slot, rows, refresh on a parameter change, collapsing.

#include "ORVEHVWrapper.h"
#include "app/SystemPanelBuilder.h"
#include "device/ORVEHVNode.h"
#include "device/QSystemInterface.h"
#include "device/ValueText.h"
#include "panels/BoardInfoText.h"
#include "panels/PanelPictures.h"
#include "panels/QBoardInformations.h"
#include "panels/QCollapsibleWidget.h"
#include "panels/QCustomBox.h"
#include "panels/QSystemStatusBar.h"
#include "views/QSubWindow.h"
#include "virtualhw/VirtualControl.h"

#include <QApplication>
#include <QEnterEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMouseEvent>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTest>
#include <QToolButton>

#include <memory>

namespace {

// The default system's own login (user and password).
vhw::SystemInfo loginOf(const std::string &argument, int type)
{
    for (const vhw::SystemInfo &s : vhw::listSystems())
        if (s.argument == argument && s.systemType == type)
            return s;
    return {};
}

// The left dock, the views area and the right dock's stack, as the main
// window holds them.
struct Docks
{
    QWidget window;
    QCollapsibleWidget *list = new QCollapsibleWidget(&window);
    QMdiArea *views = new QMdiArea(&window);
    QStackedWidget *stack = new QStackedWidget(&window);
};

int boardCount(const ORVEHVNode *n)
{
    int boards = 0;
    for (const ORVEHVNode *c : n->children())
        boards += c->kind() == KindBoard;
    return boards;
}

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

class TestSystemInterface : public QObject
{
    Q_OBJECT

private:

    // The two VME HV boards of USB link 0, the second joined to the first's
    // crate with the crate's panels built.
    struct VmeCrate
    {
        std::unique_ptr<QSystemInterface> crate, board;
        QBoardInformations *info = nullptr;
    };
    VmeCrate joinedVmeCrate(Docks &docks)
    {
        VmeCrate v{connectTo(5, 3, "0_0_C0", "vme", 0), connectTo(5, 3, "0_0_C1", "vme", 0)};
        if (!v.crate || !v.board)
            return v;
        SystemPanelBuilder::buildPanels(v.crate.get(), docks.list, docks.views, docks.stack, -1);
        SystemPanelBuilder::describeConnection(v.crate.get());
        v.crate->setCrateOffset(0);
        v.info = qobject_cast<QBoardInformations *>(v.crate->boardInformationPanel());
        return v;
    }

    // Connects a default system; null (and a failure) when it does not connect.
    std::unique_ptr<QSystemInterface> connectTo(int type, int link, const QString &arg, const QString &name = "sys",
                                              int index = 0, QProgressDialog *progress = nullptr)
    {
        std::unique_ptr<QSystemInterface> sys(new QSystemInterface(type, link, arg, name, index));
        const vhw::SystemInfo login = loginOf(arg.toStdString(), type);
        const int rc =
            sys->connectSystem(progress, QString::fromStdString(login.user), QString::fromStdString(login.password));
        if (rc != 0) {
            qWarning("connectSystem(%d, %d, %s) = %d", type, link, qPrintable(arg), rc);
            return nullptr;
        }
        return sys;
    }

private slots:

    void initTestCase()
    {
        vhw::setTimeMode(vhw::TimeMode::Manual);
    }

    // A fresh world also closes every library handle the last test left open.
    void init()
    {
        QVERIFY(vhw::resetWorld());
    }

    void connectsEveryFamily()
    {
        int families = 0;
        for (const vhw::SystemInfo &s : vhw::listSystems()) {
            const QString arg = QString::fromStdString(s.argument);
            QProgressDialog progress("Please wait", QString(), 0, 100);
            progress.setMinimumDuration(0);
            progress.setValue(0);
            auto sys = connectTo(s.systemType, s.linkType, arg, QString::fromStdString(s.description), 0, &progress);
            QVERIFY2(sys, qPrintable(arg));
            // Never ran into the maximum (which would have closed the dialog).
            QCOMPARE(progress.value(), 95);
            QVERIFY(!progress.wasCanceled());
            ORVEHVNode *node = sys->systemNode();
            QCOMPARE(node->handle(), sys->handle());
            // The six-slot mainframe is the smaller model, type 3, down to its boards.
            const int type = arg == "192.0.2.11" ? 3 : s.systemType;
            QCOMPARE(sys->systemType(), type);
            for (const ORVEHVNode *child : node->children())
                QCOMPARE(child->systemType(), type);
            QVERIFY2(boardCount(node) > 0, qPrintable(arg));
            QCOMPARE(int(node->slotCount()), node->children().size());
            if (ORVEHVNode *ip = node->parameter("IPAddr"))
                QCOMPARE(ip->value().value.toString(), arg);
            Docks docks;
            docks.stack->addWidget(new QLabel("other system's page"));
            SystemPanelBuilder::buildPanels(sys.get(), docks.list, docks.views, docks.stack, 0);
            SystemPanelBuilder::describeConnection(sys.get());
            QCOMPARE(docks.list->box(0), sys->systemBox());
            QCOMPARE(qobject_cast<QSubWindow *>(sys->subWindow())->systemInterface(), sys.get());
            QCOMPARE(docks.stack->indexOf(sys->boardInformationPanel()), 0); // inserted at the given position
            QCOMPARE(qobject_cast<QSystemStatusBar *>(sys->statusBar())->statusLabel()->text(), QString("CONNECTED"));
            ++families;
        }
        QVERIFY(families >= 10);
    }

    void unknownSlotCountIsRefused()
    {
        std::string error;
        QVERIFY2(vhw::loadWorldJson(R"({"systems": [
            {"type": 2, "link": 0, "argument": "192.0.2.99", "slots": 8,
             "boards": [{"slot": 0, "model": "A1520"}]}]})", &error), error.c_str());
        QSystemInterface sys(2, 0, "192.0.2.99", "odd", 0);
        QCOMPARE(sys.connectSystem(nullptr, QString(), QString()), -1);
        QCOMPARE(sys.handle(), -1);
        // The connection was closed again: the library no longer knows the handle.
        QSystemInterface again(2, 0, "192.0.2.99", "odd", 0);
        QCOMPARE(again.connectSystem(nullptr, QString(), QString()), -1);
    }

    void argumentLimits_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<int>("result");
        QTest::newRow("empty") << QString() << -1;
        // 80 characters do not fit the library's buffer with its NUL: refused,
        // the library is never asked (a cut argument could reach another system).
        QTest::newRow("80 characters") << "192.0.2.10" + QString(70, QChar('x')) << -1;
        QTest::newRow("80 bytes of 40 characters") << QString(40, QChar(0xE9)) << -1;
        QTest::newRow("79 characters, passed whole") << QString(79, QChar('a')) << int(ORVEHV_ERR_UNKNOWN_SYSTEM);
    }

    void argumentLimits()
    {
        QFETCH(QString, argument);
        QFETCH(int, result);
        QSystemInterface sys(2, 0, argument, "a", 0);
        vhw::resetLibraryCallCount();
        QCOMPARE(sys.connectSystem(nullptr, "admin", "admin"), result);
        QCOMPARE(vhw::libraryCallCount() > 0, result != -1);
        QCOMPARE(sys.handle(), -1);
    }

    // The box's buttons and clicks are relayed with the system index, which
    // follows renumbering in every panel; a parameter change refreshes the
    // board panel; a changed crate map is discovered once.
    void panelsFollowTheSystem()
    {
        Docks docks;
        auto sys = connectTo(2, 0, "192.0.2.10", "crate", 2);
        QVERIFY(sys);
        SystemPanelBuilder::buildPanels(sys.get(), docks.list, docks.views, docks.stack, -1);
        auto *box = qobject_cast<QCustomBox *>(sys->systemBox());
        auto *info = qobject_cast<QBoardInformations *>(sys->boardInformationPanel());
        QCOMPARE(info->systemIndex(), 2);
        sys->setSystemIndex(1);
        QCOMPARE(box->index(), 1);
        QCOMPARE(info->systemIndex(), 1);
        QCOMPARE(docks.list->boxWithIndex(1), box);
        QSignalSpy extra(sys.get(), &QSystemInterface::clickedExtraButton);
        QSignalSpy disc(sys.get(), &QSystemInterface::clickedDisconnectButton);
        box->extraButton()->click();
        box->disconnectButton()->click();
        QCOMPARE(extra.size(), 1);
        QCOMPARE(disc.size(), 1);
        QCOMPARE(disc.at(0).at(0).toInt(), 1);
        // Setting the same panel twice does not double the relays.
        sys->setSystemBox(box);
        box->extraButton()->click();
        QCOMPARE(extra.size(), 2);

        ORVEHVNode *board = sys->systemNode()->children().at(0);
        ORVEHVNode *temp = board->parameter("Temp");
        QVERIFY(temp);
        // As the main window applies an event: new value stored, then the panels refreshed.
        temp->setValue(NodeValue(QVariant(temp->value().value.toFloat() + 7.5f), ValueOk));
        emit sys->parameterChanged(temp);
        QCOMPARE(info->shownText(QString("%0:%1:Temp").arg(board->handle()).arg(board->slot())),
                 temp->cellText().trimmed());
        emit sys->parameterChanged(nullptr);   // nothing to refresh, nothing happens

        const int vsys = vhw::findSystem("192.0.2.10");
        QCOMPARE(vhw::insertBoard(vsys, 2, "A1520"), ORVEHV_OK);
        QList<ORVEHVNode *> fresh = sys->changeCrateMap(&docks.window);
        QCOMPARE(fresh.size(), 1);
        QCOMPARE(fresh.at(0)->children().size(), 12);   // discovered like at connection
        QCOMPARE(info->boxCount(), 5);
        // Nothing new: nothing is discovered twice.
        const int params = fresh.at(0)->children().at(0)->parameters().size();
        QVERIFY(sys->changeCrateMap(&docks.window).isEmpty());
        QCOMPARE(fresh.at(0)->children().at(0)->parameters().size(), params);
        QCOMPARE(vhw::removeBoard(vsys, 3), ORVEHV_OK);
        qRegisterMetaType<ORVEHVNode *>();
        QSignalSpy gone(sys.get(), &QSystemInterface::boardGone);
        QVERIFY(sys->changeCrateMap(&docks.window).isEmpty());
        QCOMPARE(gone.size(), 1);
        QCOMPARE(gone.at(0).at(1).toInt(), 3);
        QCOMPARE(sys->systemNode()->children().at(3)->kind(), int(KindContainer));
        QCOMPARE(info->boxCount(), 4);
    }

    void destructionFreesTreeAndPanels()
    {
        auto docks = std::make_unique<Docks>();
        auto sys = connectTo(2, 0, "192.0.2.10", "crate", 0);
        QVERIFY(sys);
        SystemPanelBuilder::buildPanels(sys.get(), docks->list, docks->views, docks->stack, -1);
        SystemPanelBuilder::describeConnection(sys.get());
        QPointer<QWidget> box = sys->systemBox(), sub = sys->subWindow(), info = sys->boardInformationPanel(),
                          bar = sys->statusBar();
        QVERIFY(box && sub && info && bar);
        const int handle = sys->handle();
        sys.reset();
        QVERIFY(box.isNull() && sub.isNull() && info.isNull() && bar.isNull());
        QCOMPARE(docks->list->count(), 0);
        QCOMPARE(docks->stack->count(), 0);
        // The destructor leaves the library handle to the disconnect sequence.
        QCOMPARE(ORVEHV_DeinitSystem(handle), ORVEHV_OK);

        // Panels destroyed first by their parents (main window closing): the
        // interface does not delete them again.
        auto again = connectTo(2, 0, "192.0.2.10", "crate", 0);
        SystemPanelBuilder::buildPanels(again.get(), docks->list, docks->views, docks->stack, -1);
        SystemPanelBuilder::describeConnection(again.get());
        docks.reset();
        QVERIFY(!again->systemBox() && !again->subWindow() && !again->boardInformationPanel());
    }

    void vmeBoardsJoinOneCrate_data()
    {
        QTest::addColumn<bool>("crateFirst");
        QTest::newRow("crate removed first") << true;
        QTest::newRow("board removed first") << false;
    }

    void vmeBoardsJoinOneCrate()
    {
        QFETCH(bool, crateFirst);
        Docks docks;
        auto [crate, board, info] = joinedVmeCrate(docks);
        QVERIFY(crate && board);
        QCOMPARE(info->boxCount(), 1);

        board->joinCrate(crate.get());
        QCOMPARE(board->crateOffset(), 1);
        QCOMPARE(boardCount(crate->systemNode()), 2);
        QCOMPARE(boardCount(board->systemNode()), 1);   // still owned by its own system
        QCOMPARE(info->boxCount(), 2);
        QVERIFY(info->box(1)->title().contains("[0xC1]"));
        // Both boards sit in slot 0 of their own systems; the panel shows
        // each at its place in the crate.
        const int boardHandle = board->handle();
        QVERIFY2(info->box(1)->title().startsWith("Board01 - "), qPrintable(info->box(1)->title()));
        QCOMPARE(info->shownText(BoardInfoText::valueKey(boardHandle, 0, "Slot")), QString("1"));
        QCOMPARE(info->shownText(BoardInfoText::valueKey(crate->handle(), 0, "Slot")), QString("0"));
        board->joinCrate(crate.get());                   // joining twice lists nothing twice
        QCOMPARE(boardCount(crate->systemNode()), 2);
        // Logging follows the crate entry; a mainframe's changes only itself.
        crate->setIsLogStarted(true);
        QVERIFY(board->isLogStarted());
        crate->setIsLogStarted(false);
        QVERIFY(!board->isLogStarted());
        auto other = connectTo(2, 0, "192.0.2.10", "crate", 1);
        QVERIFY(other);
        other->setIsLogStarted(true);
        QVERIFY(!crate->isLogStarted() && !board->isLogStarted());

        if (crateFirst) {
            crate.reset();
            // The joined board survived its crate entry (read under ASan).
            QCOMPARE(boardCount(board->systemNode()), 1);
            QVERIFY(!board->systemNode()->children().at(0)->propertyValue("BdModel").isNull());
            board.reset();
        } else {
            board.reset();
            QCOMPARE(boardCount(crate->systemNode()), 1);
            QCOMPARE(info->boxCount(), 1);
            crate.reset();
        }
    }

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

    // One box open at a time; a long name is shortened to the width.
    void boxListExpandsOneAtATime()
    {
        QCollapsibleWidget list;
        list.setFixedWidth(250);
        const QString longName = "Detector high voltage, east hall, second floor rack";
        QWidget *panels[3];
        for (int i = 0; i < 3; ++i) {
            auto *box = new QCustomBox(i, i ? QString("sys%1").arg(i) : longName, QString(), "Configure", "Disconnect");
            panels[i] = new QLabel(QString("commands %1").arg(i));
            box->setContentWidget(panels[i]);
            list.addBox(box);
        }
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        QCustomBox *first = list.box(0);
        QCOMPARE(first->title(), longName);
        QCOMPARE(first->titleLabel()->toolTip(), longName);
        QVERIFY(first->width() <= 250);
        QVERIFY(first->titleLabel()->text().endsWith(QChar(0x2026)));
        first->setTitle("short");
        QCOMPARE(first->titleLabel()->text(), QString("short"));

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

        first->setPowerSwitch(1);
        QCOMPARE(first->expandPicture(), QString(":Resources/Elementi/switch_ON.gif"));
        first->setPowerSwitch(-1);
        QCOMPARE(first->expandPicture(), QString(":Resources/Elementi/arrr.png"));
    }

    // Selecting marks one box; a deleted box leaves the list, the others
    // follow their new index.
    void boxListFollowsIndexChanges()
    {
        QCollapsibleWidget list;
        QList<QCustomBox *> boxes;
        for (int i = 0; i < 3; ++i) {
            boxes << new QCustomBox(i, QString::number(i), QString(), "Configure", "Disconnect");
            list.addBox(boxes.last());
        }
        list.setSelectedIndex(1);
        QVERIFY(!boxes[0]->isSelected() && boxes[1]->isSelected());
        list.setSelectedIndex(2);
        QVERIFY(!boxes[1]->isSelected() && boxes[2]->isSelected());
        list.expandItem(0);
        delete boxes[0];   // the first system is removed; its index selects and expands nothing
        QCOMPARE(list.count(), 2);
        QCOMPARE(list.expandedIndex(), -1);
        list.expandItem(0);
        list.setSelectedIndex(0);
        QCOMPARE(list.expandedIndex(), -1);
        boxes[1]->setSystemIndex(0);
        boxes[2]->setSystemIndex(1);
        QCOMPARE(list.box(0), boxes[1]);
        QCOMPARE(list.boxWithIndex(1), boxes[2]);
        // (The renumbered index in the box's signals: panelsFollowTheSystem.)
        boxes[2]->expandButtonClick();
        QCOMPARE(list.expandedIndex(), 1);
        QVERIFY(boxes[2]->isExpanded() && !boxes[1]->isExpanded());

        auto *d = new QCustomBox(2, "d", QString(), "Configure", "Disconnect");
        list.insertBox(0, d);
        QCOMPARE(list.box(0), d);
        QCOMPARE(list.box(2), boxes[2]);
        list.removeBox(d);
        QCOMPARE(list.count(), 2);
        delete d;
    }

    // One box per occupied slot, rows from the board's parameters, only the
    // row of the changed parameter refreshed; the titles per system family.
    void boardPanelRowsAndRefresh()
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

        ORVEHVNode *temp = sys->children().at(2)->parameter("Temp");
        temp->setValue(NodeValue(QVariant(float(31.25)), ValueOk));
        QVERIFY(panel.refreshParameter(temp));
        QCOMPARE(panel.shownText("7:3:Temp"), temp->cellText().trimmed());
        // The other board's row of the same name is untouched.
        QCOMPARE(panel.shownText("7:0:Temp"), QString("-"));

        ORVEHVNode *status = sys->children().at(2)->parameter("BdStatus");
        auto showStatus = [&](int word) {
            status->setValue(NodeValue(QVariant(word), ValueOk));
            return panel.refreshParameter(status);
        };
        QVERIFY(showStatus(0));
        QCOMPARE(panel.shownText("7:3:BdStatus"), QString("Ok"));
        QCOMPARE(textColour(panel, "Ok"), QColor("#1d1d1d"));
        QVERIFY(showStatus(1 << 5));
        QCOMPARE(panel.shownText("7:3:BdStatus"), boardStatusText(2, 1 << 5));
        QVERIFY(BoardInfoText::isAlarm(status));
        // An alarm shows red, and dark again once it is over.
        QCOMPARE(textColour(panel, boardStatusText(2, 1 << 5)), QColor("#c81e1e"));
        QVERIFY(showStatus(0));
        QCOMPARE(textColour(panel, "Ok"), QColor("#1d1d1d"));
        QCOMPARE(textColour(panel, "SerNum"), QColor("#4a5c62"));   // a row's name
        QVERIFY(showStatus(1 << 5));
        showStatus(1 << 7);   // no text for this bit
        QCOMPARE(panel.shownText("7:3:BdStatus"), QString("0x00000080"));

        // Nodes the panel does not show change nothing.
        ORVEHVNode stranger;
        stranger.initialise("Temp", KindBoardParameter);
        stranger.setSlot(3);
        stranger.setHandle(99);
        QVERIFY(!panel.refreshParameter(&stranger));
        QVERIFY(!panel.refreshParameter(nullptr));
        QVERIFY(!panel.refreshParameter(sys.get()));

        // No boards at all.
        ORVEHVNode bare;
        bare.initialise("bare", KindSystem, 6);
        panel.setSystemNode(&bare);
        QCOMPARE(panel.boxCount(), 0);
        panel.setSystemNode(nullptr);
        QCOMPARE(panel.boxCount(), 0);

        // Titles per system family.
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

    // A value can be selected with the mouse; a box collapses on its title,
    // and a rebuild keeps what was collapsed.
    void boardPanelByMouse()
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

        QBoardInfoBox *box = panel.box(0);
        QVERIFY(box->isExpanded() && box->body()->isVisible());
        QTest::mouseClick(box->titleLabel(), Qt::LeftButton);
        QVERIFY(!box->isExpanded() && !box->body()->isVisible());
        QVERIFY(panel.box(1)->body()->isVisible());   // the other box is independent
        QTest::mouseClick(box->titleLabel(), Qt::LeftButton);
        QVERIFY(box->isExpanded() && box->body()->isVisible());
        // A board arrives in the empty slot.
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

QTEST_MAIN(TestSystemInterface)
#include "tst_sysif.moc"
