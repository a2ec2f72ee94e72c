// QSystemInterface against the default virtual systems: connection sequence,
// refusals, mainframe model rule, panels built by the panel builder, signal
// relays, index pushes, crate map changes, VME HV crates, destruction.

#include "ORVEHVWrapper.h"
#include "app/SystemPanelBuilder.h"
#include "device/ORVEHVNode.h"
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

struct Login
{
    QString user;
    QString password;
};

Login loginOf(const std::string &argument, int type)
{
    for (const vhw::SystemInfo &s : vhw::listSystems()) {
        if (s.argument == argument && (type < 0 || s.systemType == type))
            return {QString::fromStdString(s.user), QString::fromStdString(s.password)};
    }
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
                                              int index = 0)
    {
        std::unique_ptr<QSystemInterface> sys(new QSystemInterface(type, link, arg, name, index));
        const Login login = loginOf(arg.toStdString(), type);
        const int rc = sys->connectSystem(nullptr, login.user, login.password);
        if (rc != 0) {
            qWarning("connectSystem(%d, %d, %s) = %d", type, link, qPrintable(arg), rc);
            return nullptr;
        }
        return sys;
    }

    static void close(QSystemInterface *sys)
    {
        if (sys && sys->handle() >= 0)
            ORVEHV_DeinitSystem(sys->handle());
    }

private slots:

    void initTestCase()
    {
        vhw::setTimeMode(vhw::TimeMode::Manual);
        QSystemInterface::setPanelFactory(&m_builder);
    }

    void init()
    {
        QVERIFY(vhw::resetWorld());
    }

    void connectsEveryFamily()
    {
        int families = 0;
        for (const vhw::SystemInfo &s : vhw::listSystems()) {
            const QString arg = QString::fromStdString(s.argument);
            auto sys = connectTo(s.systemType, s.linkType, arg, QString::fromStdString(s.description));
            QVERIFY2(sys, qPrintable(arg));
            ORVEHVNode *node = sys->systemNode();
            QCOMPARE(node->handle(), sys->handle());
            QVERIFY2(boardCount(node) > 0, qPrintable(arg));
            QCOMPARE(int(node->slotCount()), node->children().size());
            if (ORVEHVNode *ip = node->parameter("IPAddr"))
                QCOMPARE(ip->value().value.toString(), arg);
            Docks docks;
            sys->buildPanels(docks.list, docks.views, docks.stack, -1);
            sys->describeConnection();
            QVERIFY(sys->subWindow() && docks.stack->count() == 1 && docks.list->count() == 1);
            close(sys.get());
            ++families;
        }
        QVERIFY(families >= 10);
    }

    void sixSlotMainframeBecomesType3()
    {
        auto big = connectTo(2, 0, "192.0.2.10");
        QVERIFY(big);
        QCOMPARE(big->systemType(), 2);

        auto small = connectTo(2, 0, "192.0.2.11");
        QVERIFY(small);
        QCOMPARE(small->systemType(), 3);
        QCOMPARE(small->systemNode()->systemType(), 3);
        for (const ORVEHVNode *board : small->systemNode()->children())
            QCOMPARE(board->systemType(), 3);
        close(big.get());
        close(small.get());
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

    void progressEndsAt95()
    {
        QWidget parent;
        for (const char *arg : {"192.0.2.10", "192.0.2.20"}) {
            QProgressDialog progress("Please wait", QString(), 0, 100, &parent);
            progress.setMinimumDuration(0);
            progress.setValue(0);
            QSystemInterface sys(QString(arg) == "192.0.2.20" ? 16 : 2, 0, arg, "p", 0);
            QCOMPARE(sys.connectSystem(&progress, "admin", "admin"), 0);
            // Never ran into the maximum (which would have closed the dialog).
            QCOMPARE(progress.value(), 95);
            QVERIFY(!progress.wasCanceled());
            close(&sys);
        }
    }

    void panelsOfAMainframe()
    {
        Docks docks;
        auto sys = connectTo(2, 0, "192.0.2.10", "crate", 0);
        QVERIFY(sys);
        docks.stack->addWidget(new QLabel("other system's page"));
        sys->buildPanels(docks.list, docks.views, docks.stack, 0);
        sys->describeConnection();

        QCOMPARE(docks.list->box(0), sys->systemBox());
        QCOMPARE(qobject_cast<QSubWindow *>(sys->subWindow())->systemInterface(), sys.get());

        auto *info = qobject_cast<QBoardInformations *>(sys->boardInformationPanel());
        QCOMPARE(docks.stack->indexOf(info), 0);   // inserted at the given position
        QCOMPARE(info->boxCount(), 4);              // slots 0, 1, 3 and 8

        QCOMPARE(qobject_cast<QSystemStatusBar *>(sys->statusBar())->statusLabel()->text(), QString("CONNECTED"));
        close(sys.get());
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
        close(sys.get());
    }

    void boardParameterChangeRefreshesPanel()
    {
        Docks docks;
        auto sys = connectTo(2, 0, "192.0.2.10", "crate", 0);
        QVERIFY(sys);
        sys->buildPanels(docks.list, docks.views, docks.stack, -1);
        auto *info = qobject_cast<QBoardInformations *>(sys->boardInformationPanel());
        ORVEHVNode *board = sys->systemNode()->children().at(0);
        QVERIFY(board->kind() == KindBoard);
        ORVEHVNode *param = nullptr;
        for (ORVEHVNode *p : board->parameters()) {
            if (p->accessMode() != AccessWriteOnly && p->libraryType() != 3) {
                param = p;
                break;
            }
        }
        QVERIFY2(param, "a board parameter to show");
        const QString key = QString("%0:%1:%2").arg(board->handle()).arg(board->slot()).arg(param->name());
        QVERIFY(!info->shownText(key).isNull());
        // As the main window applies an event: new value stored, then the panels refreshed.
        const QVariant changed = param->dataType() == DataFloat ? QVariant(float(param->value().value.toFloat() + 7.5f))
                                                                : QVariant(param->value().value.toInt() + 3);
        param->setValue(NodeValue(changed, ValueOk));
        sys->refreshPanels(param);
        QCOMPARE(info->shownText(key), param->cellText().trimmed());
        sys->refreshPanels(nullptr);   // nothing to refresh, nothing happens
        close(sys.get());
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
        close(sys.get());
    }

    void destructionFreesTreeAndPanels()
    {
        auto docks = std::make_unique<Docks>();
        auto sys = connectTo(2, 0, "192.0.2.10", "crate", 0);
        QVERIFY(sys);
        sys->buildPanels(docks->list, docks->views, docks->stack, -1);
        sys->describeConnection();
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
        again->buildPanels(docks->list, docks->views, docks->stack, -1);
        again->describeConnection();
        docks.reset();
        QVERIFY(!again->systemBox() && !again->subWindow() && !again->boardInformationPanel());
        close(again.get());
        again.reset();
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

        close(crate.get());
        close(board.get());
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

    void joinedCrateFollowsCrateMapChanges_data()
    {
        QTest::addColumn<bool>("onCrateEntry");
        QTest::newRow("joined board") << false;
        QTest::newRow("crate entry") << true;
    }

    // A board leaving or entering either system of a joined crate: the crate's
    // list of boards and its board information follow (never a freed board).
    void joinedCrateFollowsCrateMapChanges()
    {
        QFETCH(bool, onCrateEntry);
        Docks docks;
        auto [crate, board, info] = joinedVmeCrate(docks);
        QVERIFY(crate && board);
        board->joinCrate(crate.get());
        QSystemInterface *owner = onCrateEntry ? crate.get() : board.get();
        const int id = vhw::findSystem(owner->connectionArgument().toStdString());

        QCOMPARE(vhw::removeBoard(id, 0), ORVEHV_OK);
        QVERIFY(owner->changeCrateMap(&docks.window).isEmpty());
        QCOMPARE(boardCount(crate->systemNode()), 1);
        QCOMPARE(info->boxCount(), 1);

        QCOMPARE(vhw::insertBoard(id, 0, onCrateEntry ? "V6533" : "V6519"), ORVEHV_OK);
        const QList<ORVEHVNode *> fresh = owner->changeCrateMap(&docks.window);
        QCOMPARE(fresh.size(), 1);
        QCOMPARE(boardCount(crate->systemNode()), 2);
        QVERIFY(crate->systemNode()->children().contains(fresh.first()));
        QCOMPARE(info->boxCount(), 2);
        close(crate.get());
        close(board.get());
    }

    void loggingFollowsCrate()
    {
        auto crate = connectTo(5, 3, "0_0_C0", "vme", 0);
        auto board = connectTo(5, 3, "0_0_C1", "vme", 0);
        auto other = connectTo(2, 0, "192.0.2.10", "crate", 1);
        QVERIFY(crate && board && other);
        board->joinCrate(crate.get());
        crate->setIsLogStarted(true);
        QVERIFY(crate->isLogStarted());
        QVERIFY(board->isLogStarted());
        QVERIFY(!other->isLogStarted());
        crate->setIsLogStarted(false);
        QVERIFY(!board->isLogStarted());
        // A mainframe changes only itself.
        other->setIsLogStarted(true);
        QVERIFY(!crate->isLogStarted());
        close(crate.get());
        close(board.get());
        close(other.get());
    }

};

QTEST_MAIN(TestSystemInterface)
#include "tst_sysif.moc"
