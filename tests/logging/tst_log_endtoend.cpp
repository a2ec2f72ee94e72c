// Value logging through the whole program: a change on the virtual device
// travels the event port to the main window, the producer queues it and the
// system's writer puts the line into the file in the home directory.

#include "tests/support/LiveWindow.h"
#include "device/LogQueue.h"
#include "logging/QLogDialog.h"

#include <QFile>
#include <QListWidget>
#include <QRegularExpression>
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
    WindowFixture fx;
    MainWindow *&w = fx.w;
    QByteArray oldHome;

    // The shared value log lands in the home directory, here the work one.
    QString homeLog() const { return fx.workDir.filePath(QStringLiteral("ORVEKEBODESK.log")); }

    QSystemInterface *connectMainframe()
    {
        return connectLive(w, 2, 0, QStringLiteral("192.0.2.10"), QStringLiteral("Crate"), QStringLiteral("admin"),
                           QStringLiteral("admin"));
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
        QFile::remove(homeLog());
        LogQueue::setConfiguredPath(QString());
        QVERIFY(fx.openWindow());
    }
    void cleanup() { fx.closeWindow(); }

    // On a mainframe only what the dialog selected is logged. The device
    // reports a set value together with the channel's status word, which is
    // not logged and ends the burst: the writer must still be woken.
    void mainframeLogsTheSelection()
    {
        QSystemInterface *sys = connectMainframe();
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
        emit w->updateValueAndWidget(sys, 0, 0, QStringLiteral("VSet"), v, true, false);
        QTest::qWait(200);
        QVERIFY(!readAll(homeLog()).contains(QStringLiteral("432.5")));
        w->close();
        fx.closeWindow();
        QVERIFY(channelLine("Crate", 0, 0, "VSet", "432.5").match(readAll(homeLog())).hasMatch());
    }
};

QTEST_MAIN(TestLogEndToEnd)
#include "tst_log_endtoend.moc"
