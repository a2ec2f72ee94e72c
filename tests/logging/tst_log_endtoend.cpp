// Value logging through the whole program: a change on the virtual device
// travels the event port to the main window, the producer queues it and the
// system's writer puts the line into the file in the home directory.

#include "tests/support/LiveWindow.h"
#include "app/MainWindow.h"
#include "app/SystemPanelBuilder.h"
#include "device/EventServer.h"
#include "device/LogQueue.h"
#include "device/ORVEHVNode.h"
#include "device/QSystemInterface.h"
#include "logging/QLogDialog.h"
#include "virtualhw/VirtualControl.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QListWidget>
#include <QMutexLocker>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <cstring>

using namespace live_test;

namespace {

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

class TestLogEndToEnd : public QObject
{
    Q_OBJECT
    MainWindow *w = nullptr;
    QTemporaryDir home;
    QByteArray oldHome;
    QString oldDir;

    QString homeLog() const { return home.filePath(QStringLiteral("ORVEKEBODESK.log")); }

    QSystemInterface *connect(int type, int link, const QString &arg, const QString &name)
    {
        const bool mf = type == 2;
        return connectLive(w, type, link, arg, name, mf ? QStringLiteral("admin") : QString(),
                           mf ? QStringLiteral("admin") : QString());
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        static SystemPanelBuilder builder;
        QSystemInterface::setPanelFactory(&builder);
        QVERIFY(home.isValid());
        oldHome = qgetenv("HOME");
        qputenv("HOME", home.path().toLocal8Bit());
        oldDir = QDir::currentPath();
        QDir::setCurrent(home.path());
        MainWindow::setMessageHook([](const OperatorMessage &) { return 0; });
    }
    void cleanupTestCase()
    {
        MainWindow::setMessageHook({});
        QDir::setCurrent(oldDir);
        qputenv("HOME", oldHome);
    }
    void init()
    {
        QFile::remove(homeLog());
        LogQueue::setConfiguredPath(QString());
        vhw::resetWorld();
        vhw::setTimeMode(vhw::TimeMode::Manual);
        w = MainWindow::create();
        QVERIFY(w);
        QVERIFY(w->startEventServer());
        w->show();
    }
    void cleanup()
    {
        if (w) {
            w->hide();
            delete w;
            w = nullptr;
        }
        for (QWidget *top : QApplication::topLevelWidgets())
            if (qobject_cast<QDialog *>(top))
                delete top;
    }

    // A desk unit logs every parameter once logging is on, without a selection.
    void deskUnitLogsToHome()
    {
        QSystemInterface *sys = connect(9, 3, QStringLiteral("0_0_0"), QStringLiteral("Dk"));
        QVERIFY(sys);
        sys->setIsLogStarted(true);
        QCOMPARE(vhw::setChannelParam(vhw::findSystem("0_0_0"), 0, 1, "VSet", 77), ORVEHV_OK);
        QTRY_VERIFY_WITH_TIMEOUT(channelLine("Dk", 0, 1, "VSet", "77").match(readAll(homeLog())).hasMatch(), 10000);
    }

    // On a mainframe only what the dialog selected is logged. The device
    // reports a set value together with the channel's status word, which is
    // not logged and ends the burst: the writer must still be woken.
    void mainframeLogsTheSelection()
    {
        QSystemInterface *sys = connect(2, 0, QStringLiteral("192.0.2.10"), QStringLiteral("Crate"));
        QVERIFY(sys);
        QLogDialog d(w, sys->systemNode());
        auto *tree = d.findChild<QTreeWidget *>(QStringLiteral("channelTree"));
        d.changeItemVisibility(tree->topLevelItem(0)->child(2));
        d.findChild<QListWidget *>()->findItems(QStringLiteral("VSet"), Qt::MatchExactly).first()->setSelected(true);
        d.okButtonClicked();
        QCOMPARE(d.result(), int(QDialog::Accepted));
        sys->setIsLogStarted(true);
        const int id = vhw::findSystem("192.0.2.10");
        QCOMPARE(vhw::setChannelParam(id, 0, 3, "VSet", 55), ORVEHV_OK);
        QCOMPARE(vhw::setChannelParam(id, 0, 2, "VSet", 321), ORVEHV_OK);
        QTRY_VERIFY2_WITH_TIMEOUT(channelLine("Crate", 0, 2, "VSet", "321").match(readAll(homeLog())).hasMatch(),
                                  qPrintable(readAll(homeLog())), 10000);
        QVERIFY(!readAll(homeLog()).contains(QStringLiteral("ch [3]")));
    }

    // A burst still open when the program ends (its last event never came)
    // is written when the window closes.
    void programEndWritesOpenBurst()
    {
        QSystemInterface *sys = connect(2, 0, QStringLiteral("192.0.2.10"), QStringLiteral("Crate"));
        QVERIFY(sys);
        sys->systemNode()->children().first()->children().first()->parameter(QStringLiteral("VSet"))->setIsLogged(
            true);
        sys->setIsLogStarted(true);
        IDValue_t v;
        std::memset(&v, 0, sizeof v);
        std::strncpy(v.ItemID, "VSet", sizeof v.ItemID - 1);
        const float volts = 432.5f;
        std::memcpy(v.Value, &volts, sizeof volts);
        emit w->updateValueAndWidget(sys, 0, 0, QStringLiteral("VSet"), v, true, false);
        QTest::qWait(200);
        QVERIFY(!readAll(homeLog()).contains(QStringLiteral("432.5")));
        w->close();
        w->hide();
        delete w;
        w = nullptr;
        QVERIFY(channelLine("Crate", 0, 0, "VSet", "432.5").match(readAll(homeLog())).hasMatch());
    }
};

QTEST_MAIN(TestLogEndToEnd)
#include "tst_log_endtoend.moc"
