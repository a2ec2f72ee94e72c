// The logging selection dialog of a mainframe: what it shows, switching
// channels, the file name, and what OK does with each kind of selection. Then
// logging through the whole program: a change on the virtual device travels
// the event port to the main window, the producer queues it and the system's
// writer puts the line into the file in the home directory.

#include "tests/support/LiveWindow.h"
#include "device/EventDelivery.h"
#include "device/LogQueue.h"
#include "device/ORVEHVNode.h"
#include "device/OperatorMessage.h"
#include "logging/QLogDialog.h"
#include "panels/QSystemInformations.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTreeWidget>
#include <cstring>
#include <memory>

using namespace live_test;

namespace {

ORVEHVNode *makeNode(const QString &name, int kind, int type = 2)
{
    auto *n = new ORVEHVNode;
    n->initialise(name, kind, type);
    return n;
}

// A mainframe with two boards of two channels ("VSet", "IMon") and the
// system parameters "Sessions" and "FanStat". Nothing logged.
std::unique_ptr<ORVEHVNode> mainframe()
{
    std::unique_ptr<ORVEHVNode> sys(makeNode(QStringLiteral("Crate"), KindSystem));
    sys->addParameter(makeNode(QStringLiteral("Sessions"), KindSystemProperty));
    sys->addParameter(makeNode(QStringLiteral("FanStat"), KindSystemProperty));
    for (int b = 0; b < 2; ++b) {
        ORVEHVNode *board = makeNode(QStringLiteral("A1520"), KindBoard);
        board->setSlot(quint16(b));
        board->addParameter(makeNode(QStringLiteral("Temp"), KindBoardParameter));
        for (int c = 0; c < 2; ++c) {
            ORVEHVNode *ch = makeNode(QString::asprintf("Chan%03d", c), KindChannel);
            ch->addParameter(makeNode(QStringLiteral("VSet"), KindChannelParameter));
            ch->addParameter(makeNode(QStringLiteral("IMon"), KindChannelParameter));
            board->addChild(ch);
        }
        sys->addChild(board);
    }
    return sys;
}

ORVEHVNode *channelParam(ORVEHVNode *sys, int b, int c, const char *name)
{
    return sys->children().at(b)->children().at(c)->parameter(QLatin1String(name));
}

// "b/c:name" for every logged parameter, system ones as "sys:name".
QStringList loggedOf(ORVEHVNode *sys)
{
    QStringList out;
    for (ORVEHVNode *p : sys->parameters())
        if (p->isLogged())
            out << QStringLiteral("sys:") + p->name();
    for (int b = 0; b < sys->children().size(); ++b) {
        ORVEHVNode *board = sys->children().at(b);
        for (ORVEHVNode *p : board->parameters())
            if (p->isLogged())
                out << QStringLiteral("%1:").arg(b) + p->name();
        for (int c = 0; c < board->children().size(); ++c)
            for (ORVEHVNode *p : board->children().at(c)->parameters())
                if (p->isLogged())
                    out << QStringLiteral("%1/%2:").arg(b).arg(c) + p->name();
    }
    return out;
}

struct Ui
{
    QTreeWidget *tree;
    QListWidget *list;
    QLineEdit *file;
    QPushButton *ok;
    explicit Ui(QLogDialog &d)
        : tree(d.findChild<QTreeWidget *>(QStringLiteral("channelTree"))),
          list(d.findChild<QListWidget *>(QStringLiteral("parameterList"))),
          file(d.findChild<QLineEdit *>(QStringLiteral("fileLine"))),
          ok(d.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok))
    {
    }
    void select(const QString &name)
    {
        const auto items = list->findItems(name, Qt::MatchExactly);
        QVERIFY(!items.isEmpty());
        items.first()->setSelected(true);
    }
    QTreeWidgetItem *channel(int b, int c) { return tree->topLevelItem(b)->child(c); }
};

QString readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly | QIODevice::Text) ? QString::fromUtf8(f.readAll()) : QString();
}

// One channel line of the system, exactly as written.
QRegularExpression channelLine(const QString &system, int bd, int ch, const QString &par, const QString &val)
{
    return QRegularExpression(
        QStringLiteral("^\\[\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}\\]: \\[%1\\] bd \\[%2\\] ch \\[%3\\] "
                       "par \\[%4\\] val \\[%5\\]; \\n")
            .arg(QRegularExpression::escape(system)).arg(bd).arg(ch).arg(par, QRegularExpression::escape(val)),
        QRegularExpression::MultilineOption);
}

} // namespace

class TestLogDialog : public QObject
{
    Q_OBJECT
    WindowFixture fx;  // the window is opened only by the tests through the program
    QList<OperatorMessage> &messages = fx.messages;
    QByteArray oldHome;

    // The shared value log lands in the home directory, here the work one.
    QString homeLog() const { return fx.workDir.filePath(QStringLiteral("ORVEKEBODESK.log")); }

    QSystemInterface *connectMainframe()
    {
        if (!fx.openWindow())
            return nullptr;
        return connectLive(fx.w, "192.0.2.10", QStringLiteral("Crate"));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(fx.setUpOnce());
        oldHome = qgetenv("HOME");
        qputenv("HOME", fx.workDir.path().toLocal8Bit());
    }
    void cleanupTestCase()
    {
        fx.tearDownOnce();
        qputenv("HOME", oldHome);
    }
    void init()
    {
        messages.clear();
        fx.answer = nullptr;
        QFile::remove(homeLog());
        LogQueue::setConfiguredPath(QString());
    }
    void cleanup() { fx.closeWindow(); }

    // Channels that log something start switched on with their board, their
    // parameters and the logged system parameters start selected.
    void showsTheCurrentSelection()
    {
        auto sys = mainframe();
        channelParam(sys.get(), 1, 0, "IMon")->setIsLogged(true);
        sys->parameters().at(1)->setIsLogged(true);
        LogQueue::setConfiguredPath(QStringLiteral("/data/run.log"));
        QLogDialog d(nullptr, sys.get());
        Ui ui(d);
        QCOMPARE(ui.tree->topLevelItemCount(), 2);
        QVERIFY(!QLogDialog::isItemOn(ui.tree->topLevelItem(0)));
        QVERIFY(QLogDialog::isItemOn(ui.tree->topLevelItem(1)));
        QVERIFY(QLogDialog::isItemOn(ui.channel(1, 0)));
        QVERIFY(!QLogDialog::isItemOn(ui.channel(1, 1)));
        QStringList names, selected;
        for (int i = 0; i < ui.list->count(); ++i) {
            names << ui.list->item(i)->text();
            if (ui.list->item(i)->isSelected())
                selected << ui.list->item(i)->text();
        }
        QCOMPARE(names, (QStringList{"VSet", "IMon", "Sessions", "FanStat"}));
        QCOMPARE(selected, (QStringList{"IMon", "FanStat"}));
        QCOMPARE(ui.file->text(), QStringLiteral("/data/run.log"));
    }

    void changeItemVisibility_data()
    {
        QTest::addColumn<QList<QPoint>>("clicks"); // (board, channel), channel -1: the board
        QTest::addColumn<QString>("expected");     // per board: board state, then its channels
        QTest::newRow("channel on takes its board") << QList<QPoint>{{0, 1}} << "1:01 0:00";
        QTest::newRow("board on takes its channels") << QList<QPoint>{{1, -1}} << "0:00 1:11";
        QTest::newRow("last channel off frees its board") << QList<QPoint>{{0, 1}, {0, 1}} << "0:00 0:00";
        QTest::newRow("one channel left keeps its board") << QList<QPoint>{{0, -1}, {0, 0}} << "1:01 0:00";
        QTest::newRow("board off takes its channels") << QList<QPoint>{{0, 0}, {0, -1}} << "0:00 0:00";
    }
    // Real clicks on the tree items.
    void changeItemVisibility()
    {
        QFETCH(QList<QPoint>, clicks);
        QFETCH(QString, expected);
        auto sys = mainframe();
        QLogDialog d(nullptr, sys.get());
        Ui ui(d);
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        ui.tree->expandAll();
        for (const QPoint &c : clicks) {
            QTreeWidgetItem *item = c.y() < 0 ? ui.tree->topLevelItem(c.x()) : ui.channel(c.x(), c.y());
            QTest::mouseClick(ui.tree->viewport(), Qt::LeftButton, {}, ui.tree->visualItemRect(item).center());
            QVERIFY(!item->isSelected());
        }
        QStringList state;
        for (int b = 0; b < 2; ++b) {
            QTreeWidgetItem *board = ui.tree->topLevelItem(b);
            QString s = QString::number(QLogDialog::isItemOn(board)) + QLatin1Char(':');
            for (int c = 0; c < board->childCount(); ++c)
                s += QString::number(QLogDialog::isItemOn(board->child(c)));
            state << s;
        }
        QCOMPARE(state.join(QLatin1Char(' ')), expected);
    }

    void fileName_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("configured");
        QTest::addColumn<bool>("okEnabled");
        QTest::newRow("extension added") << "/data/run5" << "/data/run5.log" << true;
        QTest::newRow("extension kept") << "/data/run5.log" << "/data/run5.log" << true;
        QTest::newRow("other extension") << "/data/run5.txt" << "/data/run5.txt.log" << true;
        QTest::newRow("empty") << "" << "/old.log" << false;
    }
    // The name becomes the configured path when the dialog is accepted, not
    // while it is typed (a cancelled dialog changes nothing).
    void fileName()
    {
        QFETCH(QString, typed);
        QFETCH(QString, configured);
        QFETCH(bool, okEnabled);
        LogQueue::setConfiguredPath(QStringLiteral("/old.log"));
        auto sys = mainframe();
        channelParam(sys.get(), 0, 0, "VSet")->setIsLogged(true);
        {
            QLogDialog cancelled(nullptr, sys.get());
            Ui(cancelled).file->setText(typed);
            cancelled.reject();
            QCOMPARE(LogQueue::configuredPath(), QStringLiteral("/old.log"));
        }
        QLogDialog d(nullptr, sys.get());
        Ui ui(d);
        ui.file->setText(typed);
        QCOMPARE(ui.ok->isEnabled(), okEnabled);
        if (okEnabled) {
            ui.ok->click();
            QCOMPARE(d.result(), int(QDialog::Accepted));
        }
        QCOMPARE(LogQueue::configuredPath(), configured);
    }

    void okButton_data()
    {
        QTest::addColumn<QList<QPoint>>("channels");
        QTest::addColumn<QStringList>("parameters");
        QTest::addColumn<int>("answer");           // to the question, 0 Yes 1 No
        QTest::addColumn<QString>("message");      // start of the box shown, if any
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QStringList>("logged");
        const QStringList none;
        const QString warn = QStringLiteral("Please select at least a channel and a parameter.\n"
                                            "Check if channels selected own parameters selected.");
        const QString ask = QStringLiteral("Some channels or channel parameters has been selected,\n"
                                           "but there are only system parameters in list.\n"
                                           "Do you want to continue anyway?");
        QTest::newRow("channels and parameters")
            << QList<QPoint>{{0, 1}, {1, 0}} << QStringList{"VSet", "Sessions"} << 0 << QString() << true
            << QStringList{"sys:Sessions", "0/1:VSet", "1/0:VSet"};
        QTest::newRow("nothing") << QList<QPoint>{} << none << 0 << warn << false << QStringList{"0/0:IMon"};
        QTest::newRow("channels without parameters")
            << QList<QPoint>{{0, 1}} << none << 0 << warn << false << QStringList{"0/0:IMon"};
        QTest::newRow("parameters without channels")
            << QList<QPoint>{} << QStringList{"VSet"} << 0 << warn << false << QStringList{"0/0:IMon"};
        QTest::newRow("only system parameters, Yes")
            << QList<QPoint>{{0, 1}} << QStringList{"FanStat"} << 0 << ask << true << QStringList{"sys:FanStat"};
        QTest::newRow("only system parameters, No")
            << QList<QPoint>{{0, 1}} << QStringList{"FanStat"} << 1 << ask << false << QStringList{"0/0:IMon"};
        QTest::newRow("system parameters alone")
            << QList<QPoint>{} << QStringList{"FanStat"} << 0 << QString() << true << QStringList{"sys:FanStat"};
    }
    // The selection replaces the logged flags only when the dialog closes
    // with OK; a refused one keeps the old flags (here: 0/0 IMon, switched
    // off in the dialog before OK).
    void okButton()
    {
        QFETCH(QList<QPoint>, channels);
        QFETCH(QStringList, parameters);
        QFETCH(QString, message);
        QFETCH(bool, accepted);
        QFETCH(QStringList, logged);
        QFETCH(int, answer);
        fx.answer = [answer](const OperatorMessage &) { return answer; };
        auto sys = mainframe();
        channelParam(sys.get(), 0, 0, "IMon")->setIsLogged(true);
        QLogDialog d(nullptr, sys.get());
        Ui ui(d);
        d.changeItemVisibility(ui.channel(0, 0)); // off
        ui.list->clearSelection();
        for (const QPoint &c : channels)
            d.changeItemVisibility(ui.channel(c.x(), c.y()));
        for (const QString &p : parameters)
            ui.select(p);
        d.okButtonClicked();
        QCOMPARE(messages.size(), message.isEmpty() ? 0 : 1);
        if (!message.isEmpty()) {
            QCOMPARE(messages.first().text, message);
            QCOMPARE(messages.first().icon, QMessageBox::Warning);
        }
        QCOMPARE(d.result() == QDialog::Accepted, accepted);
        QCOMPARE(loggedOf(sys.get()), logged);
    }

    // On a mainframe only what is selected (by the dialog: okButton) is
    // logged. The device reports a set value together with the channel's
    // status word, which is not logged and ends the burst: the writer must
    // still be woken.
    void mainframeLogsTheSelection()
    {
        QSystemInterface *sys = connectMainframe();
        QVERIFY(sys);
        boardInSlot(sys, 0)->children().at(2)->parameter(QStringLiteral("VSet"))->setIsLogged(true);
        sys->setIsLogStarted(true);
        const int id = vhw::findSystem("192.0.2.10");
        QCOMPARE(vhw::setChannelParam(id, 0, 3, "VSet", 55), ORVEHV_OK);
        QCOMPARE(vhw::setChannelParam(id, 0, 2, "VSet", 321), ORVEHV_OK);
        QTRY_VERIFY2_WITH_TIMEOUT(channelLine("Crate", 0, 2, "VSet", "321").match(readAll(homeLog())).hasMatch(),
                                  qPrintable(readAll(homeLog())), 10000);
        QVERIFY(!readAll(homeLog()).contains(QStringLiteral("ch [3]")));
    }

    void everyOtherFamilyLogsAll_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("file");
        const QString shared = QStringLiteral("ORVEKEBODESK.log"), own = QStringLiteral("ORVEKEBOLog_Unit.log");
        QTest::newRow("VME HV board") << "0_0_C0" << shared;
        QTest::newRow("NIM unit") << "192.0.2.40_1" << shared;
        QTest::newRow("desktop unit, serial") << "COM3_9600_8_0_0_0" << shared;
        QTest::newRow("DK31XX") << "0_0_0" << shared;
        QTest::newRow("DK31XXE") << "192.0.2.50" << shared;
        QTest::newRow("BRISK HV") << "192.0.2.60" << own;
        QTest::newRow("power supply boxes") << "127.0.0.1" << own;
        QTest::newRow("B8181") << "192.0.2.20" << shared;
        QTest::newRow("PLEX") << "192.0.2.30" << shared;
    }
    // Every system that is not a mainframe logs all its values as soon as
    // the panel's LOG button is on, without a selection: a change made on
    // the device and a write of the operator both reach the file.
    void everyOtherFamilyLogsAll()
    {
        QFETCH(QString, argument);
        QFETCH(QString, file);
        const QString log = fx.workDir.filePath(file);
        QFile::remove(log);
        QVERIFY(fx.openWindow());
        const vhw::SystemInfo info = worldSystem(argument.toStdString());
        const QString vset = info.systemType == 5 ? QStringLiteral("V0Set") : QStringLiteral("VSet"); // VME boards' name
        QSystemInterface *sys = connectLive(fx.w, info.argument, QStringLiteral("Unit"));
        QVERIFY(sys);
        auto *panel = qobject_cast<QSystemInformations *>(sys->systemCommandsPanel());
        QVERIFY(panel && panel->button(QStringLiteral("LOG")));
        panel->button(QStringLiteral("LOG"))->click();
        QVERIFY(sys->isLogStarted());

        ORVEHVNode *board = nullptr;
        for (ORVEHVNode *b : sys->systemNode()->children())
            if (b->kind() == KindBoard && !board)
                board = b;
        QVERIFY(board && board->children().size() > 1);
        const int bd = int(sys->systemNode()->children().indexOf(board));
        // The device changes a value by itself (the first board of each of
        // these systems sits in the device's slot 0) ...
        QCOMPARE(vhw::setChannelParam(info.id, 0, 1, vset.toStdString(), 123), ORVEHV_OK);
        QTRY_VERIFY2_WITH_TIMEOUT(channelLine("Unit", bd, 1, vset, "123").match(readAll(log)).hasMatch(),
                                  qPrintable(readAll(log)), 10000);
        // ... and the operator writes one.
        ORVEHVNode *node = board->children().at(0)->parameter(vset);
        QVERIFY(node && node->isLogged());
        QCOMPARE(node->writeValue(321), 0);
        QTRY_VERIFY2_WITH_TIMEOUT(channelLine("Unit", bd, 0, vset, "321").match(readAll(log)).hasMatch(),
                                  qPrintable(readAll(log)), 10000);
    }

    // A burst still open when the program ends (its last event never came)
    // is written when the window closes.
    void programEndWritesOpenBurst()
    {
        QSystemInterface *sys = connectMainframe();
        QVERIFY(sys);
        sys->systemNode()->children().first()->children().first()->parameter(QStringLiteral("VSet"))->setIsLogged(
            true);
        sys->setIsLogStarted(true);
        IDValue_t v;
        std::memset(&v, 0, sizeof v);
        std::strncpy(v.ItemID, "VSet", sizeof v.ItemID - 1);
        const float volts = 432.5f;
        std::memcpy(v.Value, &volts, sizeof volts);
        // The first event of a burst whose last never comes, as its event-data
        // thread takes it.
        EventDelivery::putValue(sys, 0, 0, QStringLiteral("VSet"), v, true, false);
        QTest::qWait(200);
        QVERIFY(!readAll(homeLog()).contains(QStringLiteral("432.5")));
        fx.w->close();
        fx.closeWindow();
        QVERIFY(channelLine("Crate", 0, 0, "VSet", "432.5").match(readAll(homeLog())).hasMatch());
    }
};

QTEST_MAIN(TestLogDialog)
#include "tst_log_dialog.moc"
