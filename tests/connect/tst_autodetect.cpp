// Mainframe autodetection: reply parsing, the scan against loopback responders
// (the virtual hardware's and scripted ones), the reply port, stop and time
// limits, and the panel inside the connect dialog.
#include "IsolatedSettings.h"

#include "ORVEHVWrapper.h"

#include "connect/AutodetectScanner.h"
#include "connect/QAutodetectDialog.h"
#include "connect/QConnectDialog.h"
#include "connect/SystemConnector.h"
#include "virtualhw/AutodetectResponder.h"

#include <QComboBox>
#include <QSet>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

class NullConnector : public SystemConnector
{
public:
    int connectToSystem(int, int, const QString &, const QString &, const QString &,
                        const QString &) override
    {
        return 0;
    }
};

// A UDP socket bound to a port on every address (as the scanner binds), or -1.
int holdPort(int port)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_ANY);
    a.sin_port = htons(uint16_t(port));
    if (::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

struct Row
{
    QString model, address, serial, firmware, telmos;
};

} // namespace

class TestAutodetect : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY2(storeIsIsolated(), "settings store is not isolated");
        std::string error;
        QVERIFY2(m_responder.start(0, &error), error.c_str());
    }
    void cleanupTestCase() { m_responder.stop(); }

    void init()
    {
        m_responder.setReplies({});
        // Probes of these tests never leave loopback.
        qputenv("KEBO_AUTODETECT_TARGET", "127.0.0.1:" + QByteArray::number(m_responder.port()));
    }

    void replyParsing()
    {
        QStringList f;
        QVERIFY(AutodetectScanner::parseReply("MF3300:1234:4.1.0:1.2", &f));
        QCOMPARE(f, QStringList({ "MF3300", "1234", "4.1.0", "1.2" }));
        QVERIFY(!AutodetectScanner::parseReply("MF3300:1234:4.1.0", &f));     // three pieces
        QVERIFY(AutodetectScanner::parseReply("MF3500::77:2.0:9", &f));        // empty piece dropped
        QCOMPARE(f, QStringList({ "MF3500", "77", "2.0", "9" }));
        QVERIFY(AutodetectScanner::parseReply("A:B:C:D:E:F", &f));             // extra pieces kept aside
        QCOMPARE(f.size(), 6);
        QVERIFY(AutodetectScanner::parseReply(QByteArray("A:B:C:D\0garbage\xff", 16), &f));   // text ends at zero
        QCOMPARE(f.last(), QString("D"));
        QVERIFY(AutodetectScanner::parseReply("A:B:C:D\r\n", &f));
        QVERIFY(!AutodetectScanner::parseReply("A:B:\x01:C:D", &f));            // control byte
        QVERIFY(!AutodetectScanner::parseReply("A:B:C:D\xe9", &f));             // not ASCII
        QVERIFY(!AutodetectScanner::parseReply(":::::::", &f));
        QVERIFY(!AutodetectScanner::parseReply(QByteArray(), &f));
        QByteArray longReply = "A:B:C:";
        longReply += QByteArray(512 - longReply.size(), 'D');
        QVERIFY(AutodetectScanner::parseReply(longReply, &f));
        QVERIFY(!AutodetectScanner::parseReply(longReply + "D", &f));          // 513 bytes
    }

    void targetParsing()
    {
        uint32_t a = 0;
        uint16_t p = 0;
        QVERIFY(AutodetectScanner::parseTarget("127.0.0.1:3113", &a, &p));
        QCOMPARE(a, 0x7f000001u);
        QCOMPARE(p, uint16_t(3113));
        QVERIFY(!AutodetectScanner::parseTarget("127.0.0.1", &a, &p));
        QVERIFY(!AutodetectScanner::parseTarget("127.0.0.1:0", &a, &p));
        QVERIFY(!AutodetectScanner::parseTarget("127.0.0.1:70000", &a, &p));
        QVERIFY(!AutodetectScanner::parseTarget("localhost:3113", &a, &p));
        QVERIFY(!AutodetectScanner::parseTarget(":3113", &a, &p));

        qunsetenv("KEBO_AUTODETECT_TARGET");
        QVERIFY(AutodetectScanner::probeTarget(&a, &p));
        QCOMPARE(a, 0xffffffffu);   // the broadcast default (not sent by this test)
        QCOMPARE(p, uint16_t(113));
    }

    void twoMainframesInArrivalOrderAndBadRepliesDropped()
    {
        m_responder.setReplies({ "MF3500:2001:5.0.1:1.4",
                                 "MF3300:17:4.2.0",                 // three fields: no row
                                 std::string("\x01\x02\xff\x00", 4),  // binary: no row
                                 std::string(600, 'X'),             // over-long: no row
                                 "MF3300:1002:4.1.3:1.2",
                                 "MF3500:2001:5.0.1:1.4" });        // repeated: no second row
        AutodetectScanner s;
        QSignalSpy probes(&s, &AutodetectScanner::probeSent);
        QSignalSpy bound(&s, &AutodetectScanner::replyPortBound);
        // 2.5 s: the probe is repeated once and the same replies come again.
        const QVector<Row> rows = scan(s, 2500);
        QCOMPARE(rows.size(), 2);
        QCOMPARE(QStringList({ rows[0].model, rows[0].serial, rows[0].address }),
                 QStringList({ "MF3500", "2001", "127.0.0.1" }));
        QCOMPARE(QStringList({ rows[1].model, rows[1].firmware, rows[1].telmos }), QStringList({ "MF3300", "4.1.3", "1.2" }));
        QCOMPARE(bound.size(), 1);
        QCOMPARE(probes[0][0].toByteArray(), "KEBO" + QByteArray::number(bound[0][0].toInt()));
        QVERIFY(m_responder.probesAnswered() >= 2);
    }

    void busyReplyPortMovesToNext()
    {
        const int held = holdPort(AutodetectScanner::kFirstReplyPort);   // -1: someone else holds it
        const int probe3501 = holdPort(3501);
        const bool nextFree = probe3501 >= 0;
        ::close(probe3501);   // (-1: nothing to close)
        m_responder.setReplies({ "MF3300:1:2:3" });
        AutodetectScanner s;
        QSignalSpy bound(&s, &AutodetectScanner::replyPortBound);
        const QVector<Row> rows = scan(s, 600);
        ::close(held);
        QCOMPARE(bound.size(), 1);
        const int port = bound[0][0].toInt();
        QVERIFY(port > AutodetectScanner::kFirstReplyPort);
        if (nextFree)
            QCOMPARE(port, 3501);
        QCOMPARE(QByteArray::fromStdString(m_responder.lastProbe()), "KEBO" + QByteArray::number(port));
        QCOMPARE(rows.size(), 1);   // the answer came to the moved port
    }

    void stopEndsWithinOneReceiveTimeout()
    {
        AutodetectScanner s;
        QSignalSpy bound(&s, &AutodetectScanner::replyPortBound);
        QSignalSpy finished(&s, &AutodetectScanner::finished);
        s.start();   // full timings: 0.5 s settle, 10 s scan
        QVERIFY(bound.wait(3000));
        QTest::qWait(100);
        s.stop();
        QVERIFY(finished.wait(AutodetectScanner::kReceiveTimeoutMs));

        // Stopping during the settle time ends as quickly; a restart is clean.
        finished.clear();
        s.start();
        s.stop();
        QVERIFY(finished.wait(AutodetectScanner::kReceiveTimeoutMs));
        s.start();
    }   // destroying a running scanner joins its worker

    void scanEndsAfterScanTimeDespiteReplies()
    {
        // Many distinct replies on every probe, probes every 100 ms.
        std::vector<std::string> flood;
        for (int i = 0; i < 40; ++i)
            flood.push_back("MF3300:" + std::to_string(i) + ":1:1");
        m_responder.setReplies(flood);
        AutodetectScanner s;
        QCOMPARE(scan(s, 800, 100).size(), 40);   // each distinct reply once
        QVERIFY(!s.isRunning());   // not held open by the replies
    }

    void malformedTargetSendsNothing()
    {
        qputenv("KEBO_AUTODETECT_TARGET", "not-an-address");
        // Answers to the last probes of an earlier scan may still be on their way.
        QTest::qWait(500);
        const quint64 before = m_responder.probesAnswered();
        AutodetectScanner s;
        QSignalSpy probes(&s, &AutodetectScanner::probeSent);
        const QVector<Row> rows = scan(s, 300);
        QVERIFY(rows.isEmpty());
        QVERIFY(probes.isEmpty());
        QCOMPARE(m_responder.probesAnswered(), before);
    }

    void virtualWorldMainframesInThePanel()
    {
        vhw::resetWorld();
        m_responder.useWorld();
        const std::vector<std::string> expected = vhw::AutodetectResponder::worldReplies();
        QVERIFY2(!expected.empty(), "the default world has no mainframe");

        NullConnector connector;
        QConnectDialog *d = new QConnectDialog(&connector);
        d->show();
        d->findChild<QComboBox *>("comboPSType")->setCurrentIndex(0);
        QAutodetectDialog *panel = d->autodetectPanel();
        panel->scanner()->setTimings(0, 1500, 2000);
        auto *button = d->findChild<QPushButton *>("autodetectButton");
        auto *ok = d->findChild<QPushButton *>("okButton");
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(panel->isVisible());
        QCOMPARE(button->text(), QString("Stop"));
        QVERIFY(!ok->isEnabled());   // no OK while scanning
        QVERIFY(!d->findChild<QComboBox *>("comboPSType")->isEnabled());

        QTableWidget *table = panel->table();
        QTRY_COMPARE(table->rowCount(), int(expected.size()));
        // Each default mainframe answers from its loopback alias, not from 127.0.0.1
        // (where the power supply boxes live).
        const QStringList addresses{ "127.0.2.10", "127.0.2.11" };
        QSet<QString> serials;
        for (int r = 0; r < table->rowCount(); ++r) {
            const QStringList f = QString::fromStdString(expected[size_t(r)]).split(':');
            QCOMPARE(table->item(r, 0)->text(), f[0]);
            QCOMPARE(table->item(r, 1)->text(), addresses[r]);
            QCOMPARE(table->item(r, 2)->text(), f[1]);
            // One identity per mainframe: the serial number listed is the one
            // it reports itself (TECH INFO).
            int h = -1;
            QCOMPARE(ORVEHV_InitSystem(2, 0, qPrintable(addresses[r]), "admin", "admin", &h), ORVEHV_OK);
            char serial[ORVEHV_SYSPROP_TEXT_READ] = {};
            QCOMPARE(ORVEHV_GetSysProp(h, "SerialNumber", serial), ORVEHV_OK);
            ORVEHV_DeinitSystem(h);
            QCOMPARE(table->item(r, 2)->text(), QString::fromLatin1(serial));
            serials.insert(QString::fromLatin1(serial));
        }
        QCOMPARE(serials.size(), table->rowCount());
        QTRY_COMPARE_WITH_TIMEOUT(button->text(), QString("Autodetect"), 4000);   // ended by itself
        QVERIFY(d->findChild<QComboBox *>("comboPSType")->isEnabled());

        // A second scan, picked during the scan: the address goes into the fields and the scan stops.
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(table->rowCount(), 0);   // results stay only until the next scan
        QTRY_VERIFY(table->rowCount() > 0);
        QTest::keyClicks(d->findChild<QLineEdit *>("Username"), "admin");
        QTest::keyClicks(d->findChild<QLineEdit *>("Password"), "pw");
        emit table->itemDoubleClicked(table->item(0, 3));
        QCOMPARE(button->text(), QString("Autodetect"));
        QCOMPARE(d->currentValues().ipAddress, QString("127.0.2.10"));
        QVERIFY(ok->isEnabled());
        QVERIFY(table->selectedItems().isEmpty());

        // Close hides the panel; a type change does the same.
        QTest::mouseClick(button, Qt::LeftButton);
        QTest::mouseClick(panel->findChild<QPushButton *>("closeButton"), Qt::LeftButton);
        QVERIFY(!panel->isVisible());
        QTest::mouseClick(button, Qt::LeftButton);
        d->findChild<QComboBox *>("comboPSType")->setCurrentIndex(7);
        QVERIFY(!panel->isVisible());
        QVERIFY(!panel->isScanning());
        delete d;
    }

private:
    QVector<Row> scan(AutodetectScanner &s, int scanMs, int probeMs = 2000)
    {
        QVector<Row> rows;
        connect(&s, &AutodetectScanner::mainframeFound, this,
                [&rows](const QString &m, const QString &a, const QString &sn, const QString &f,
                        const QString &t) { rows.append({ m, a, sn, f, t }); });
        QSignalSpy finished(&s, &AutodetectScanner::finished);
        s.setTimings(0, scanMs, probeMs);
        s.start();
        finished.wait(scanMs + 3000);
        return rows;
    }
    vhw::AutodetectResponder m_responder;
};

KEBO_SETTINGS_TEST_MAIN(TestAutodetect)
#include "tst_autodetect.moc"
