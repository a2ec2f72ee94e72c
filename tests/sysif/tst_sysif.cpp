// QSystemInterface against the default virtual systems: connection sequence,
// refusals, mainframe model rule, panels built by the panel builder, signal
// relays, index pushes, crate map changes, VME HV crates, destruction.

#include "ORVEHVWrapper.h"
#include "app/SystemPanelBuilder.h"
#include "device/ORVEHVNode.h"
#include "device/ORVEHVNodeProperty.h"
#include "device/QSystemInterface.h"
#include "panels/QBoardInformations.h"
#include "panels/QCollapsibleWidget.h"
#include "panels/QCustomBox.h"
#include "panels/QSystemStatusBar.h"
#include "views/QSubWindow.h"
#include "virtualhw/VirtualControl.h"

#include <QLabel>
#include <QMdiArea>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTest>

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

void collectProperties(const ORVEHVNode *n, QList<QPointer<ORVEHVNodeProperty>> &out)
{
    for (ORVEHVNodeProperty *p : n->properties())
        out.append(p);
    for (const ORVEHVNode *p : n->parameters())
        collectProperties(p, out);
    for (const ORVEHVNode *c : n->children())
        collectProperties(c, out);
}

int boardCount(const ORVEHVNode *n)
{
    int boards = 0;
    for (const ORVEHVNode *c : n->children())
        boards += c->kind() == KindBoard;
    return boards;
}

} // namespace

class TestSystemInterface : public QObject
{
    Q_OBJECT

private:
    SystemPanelBuilder m_builder;

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
        v.crate->buildPanels(docks.list, docks.views, docks.stack, -1);
        v.crate->describeConnection();
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
        QSystemInterface::setPanelFactory(&m_builder);
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
            sys->buildPanels(docks.list, docks.views, docks.stack, 0);
            sys->describeConnection();
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
    // follows renumbering in every panel.
    void panelSignalsAndIndex()
    {
        Docks docks;
        auto sys = connectTo(2, 0, "192.0.2.10", "crate", 2);
        QVERIFY(sys);
        sys->buildPanels(docks.list, docks.views, docks.stack, -1);
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
    }

    void boardParameterChangeRefreshesPanel()
    {
        Docks docks;
        auto sys = connectTo(2, 0, "192.0.2.10", "crate", 0);
        QVERIFY(sys);
        sys->buildPanels(docks.list, docks.views, docks.stack, -1);
        auto *info = qobject_cast<QBoardInformations *>(sys->boardInformationPanel());
        ORVEHVNode *board = sys->systemNode()->children().at(0);
        ORVEHVNode *temp = board->parameter("Temp");
        QVERIFY(temp);
        const QString key = QString("%0:%1:Temp").arg(board->handle()).arg(board->slot());
        // As the main window applies an event: new value stored, then the panels refreshed.
        temp->setValue(NodeValue(QVariant(temp->value().value.toFloat() + 7.5f), ValueOk));
        sys->refreshPanels(temp);
        QCOMPARE(info->shownText(key), temp->cellText().trimmed());
        sys->refreshPanels(nullptr);   // nothing to refresh, nothing happens
    }

    void crateMapChange()
    {
        Docks docks;
        auto sys = connectTo(2, 0, "192.0.2.10", "crate", 0);
        QVERIFY(sys);
        sys->buildPanels(docks.list, docks.views, docks.stack, -1);
        auto *info = qobject_cast<QBoardInformations *>(sys->boardInformationPanel());
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
        sys->buildPanels(docks->list, docks->views, docks->stack, -1);
        sys->describeConnection();
        QList<QPointer<ORVEHVNodeProperty>> props;
        collectProperties(sys->systemNode(), props);
        QVERIFY(props.size() > 50);
        QPointer<QWidget> box = sys->systemBox(), sub = sys->subWindow(), info = sys->boardInformationPanel(),
                          bar = sys->statusBar();
        QVERIFY(box && sub && info && bar);
        const int handle = sys->handle();
        sys.reset();
        for (const auto &p : props)
            QVERIFY(p.isNull());
        QVERIFY(box.isNull() && sub.isNull() && info.isNull() && bar.isNull());
        QCOMPARE(docks->list->count(), 0);
        QCOMPARE(docks->stack->count(), 0);
        // The destructor leaves the library handle to the disconnect sequence.
        QCOMPARE(ORVEHV_DeinitSystem(handle), ORVEHV_OK);

        // Panels destroyed first by their parents (main window closing): the
        // interface does not delete them again.
        auto again = connectTo(2, 0, "192.0.2.10", "crate", 0);
        again->buildPanels(docks->list, docks->views, docks->stack, -1);
        again->describeConnection();
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

        QList<QPointer<ORVEHVNodeProperty>> boardProps;
        collectProperties(board->systemNode(), boardProps);
        if (crateFirst) {
            crate.reset();
            // The joined board survived its crate entry.
            QCOMPARE(boardCount(board->systemNode()), 1);
            for (const auto &p : boardProps)
                QVERIFY(!p.isNull());
            board.reset();
        } else {
            board.reset();
            QCOMPARE(boardCount(crate->systemNode()), 1);
            QCOMPARE(info->boxCount(), 1);
            crate.reset();
        }
        for (const auto &p : boardProps)
            QVERIFY(p.isNull());
    }
};

QTEST_MAIN(TestSystemInterface)
#include "tst_sysif.moc"
