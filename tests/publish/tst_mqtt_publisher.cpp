// The publisher on its own: topic parts, settings and the password file, the
// hand-over's bounds; then against a mosquitto broker of the test's own: the
// newest values retained, a broker killed and started again (told once,
// newest values back), a wrong password, TLS with a CA made here.

#include "publish/BrokerSettings.h"
#include "publish/MqttPublisher.h"
#include "publish/TopicNames.h"
#include "tests/support/MosquittoBroker.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>

#include <sys/stat.h>

using namespace broker_test;

namespace {

BrokerSettings settingsFor(const Broker &b, const QString &station = QStringLiteral("bench"))
{
    BrokerSettings s;
    s.host = QStringLiteral("127.0.0.1");
    s.port = b.port;
    s.station = station;
    s.clientId = QStringLiteral("kebodesk-test-") + station;
    return s;
}

double valueOf(const QByteArray &payload)
{
    return QJsonDocument::fromJson(payload).object().value(QStringLiteral("value")).toDouble(-1);
}

} // namespace

class TestMqttPublisher : public QObject
{
    Q_OBJECT
private:
    bool haveTools()
    {
        m_missing = missingTools();
        return m_missing.isEmpty();
    }
    QString m_missing;

private slots:
    void topicParts_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("part");
        QTest::newRow("plain") << "VMon" << "VMon";
        QTest::newRow("wildcards") << "a+b#c" << "a_b_c";
        QTest::newRow("separator") << "crate/1" << "crate_1";
        QTest::newRow("control") << QString::fromUtf8("a\nb\x01") << "a_b_";
        QTest::newRow("empty") << "" << "_";
        QTest::newRow("unicode kept") << QString::fromUtf8("Kanal µ") << QString::fromUtf8("Kanal µ");
    }
    void topicParts()
    {
        QFETCH(QString, name);
        QFETCH(QString, part);
        QCOMPARE(TopicNames::part(name), part);
    }

    void topics()
    {
        QCOMPARE(TopicNames::value("st/1", "Sys+", 3, 7, "VMon"), QByteArray("kebodesk/st_1/Sys_/3/7/VMon"));
        QCOMPARE(TopicNames::value("st", "Sys", 3, -1, "Temp"), QByteArray("kebodesk/st/Sys/3/-/Temp"));
        QCOMPARE(TopicNames::value("st", "Sys", -1, -1, "Sessions"), QByteArray("kebodesk/st/Sys/-/-/Sessions"));
        QCOMPARE(TopicNames::journal("#"), QByteArray("kebodesk/_/journal"));
    }

    void settings_data()
    {
        QTest::addColumn<QString>("broker");
        QTest::addColumn<QVariant>("tls");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        QTest::addColumn<bool>("tlsOn");
        QTest::addColumn<bool>("refused");
        QTest::newRow("off") << "" << QVariant() << "" << 0 << false << false;
        QTest::newRow("loopback: plain") << "127.0.0.1" << QVariant() << "127.0.0.1" << 1883 << false << false;
        QTest::newRow("localhost: plain") << "localhost:1900" << QVariant() << "localhost" << 1900 << false << false;
        QTest::newRow("v6 loopback") << "[::1]:1884" << QVariant() << "::1" << 1884 << false << false;
        QTest::newRow("remote: TLS") << "broker.site" << QVariant() << "broker.site" << 8883 << true << false;
        QTest::newRow("remote, TLS off") << "10.1.2.3:1883" << QVariant(false) << "10.1.2.3" << 1883 << false << false;
        QTest::newRow("loopback, TLS on") << "127.0.0.1" << QVariant(true) << "127.0.0.1" << 8883 << true << false;
        QTest::newRow("bad port") << "host:x" << QVariant() << "" << 0 << false << true;
        QTest::newRow("unclosed v6") << "[::1:80" << QVariant() << "" << 0 << false << true;
    }
    void settings()
    {
        QFETCH(QString, broker);
        QFETCH(QVariant, tls);
        QTemporaryDir dir;
        QSettings s(dir.filePath("k.conf"), QSettings::IniFormat);
        s.setValue("mqtt/broker", broker);
        if (tls.isValid())
            s.setValue("mqtt/tls", tls);
        QString error;
        const BrokerSettings b = BrokerSettingsIo::load(s, &error);
        QTEST(b.host, "host");
        QTEST(b.port, "port");
        QTEST(b.tls, "tlsOn");
        QTEST(!error.isEmpty(), "refused");
    }

    // Only a file its owner alone can read gives the password; any other is
    // refused with the way to fix it, and nothing read from it.
    void passwordFile_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("used");
        QTest::newRow("0600") << 0600 << true;
        QTest::newRow("0400") << 0400 << true;
        QTest::newRow("0640 group reads") << 0640 << false;
        QTest::newRow("0604 others read") << 0604 << false;
        QTest::newRow("0620 group writes") << 0620 << false;
    }
    void passwordFile()
    {
        QFETCH(int, mode);
        QFETCH(bool, used);
        QTemporaryDir dir;
        const QString file = dir.filePath("pw");
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("s3cret\nsecond line\n");
        f.close();
        QVERIFY(::chmod(QFile::encodeName(file).constData(), mode_t(mode)) == 0);
        QSettings s(dir.filePath("k.conf"), QSettings::IniFormat);
        s.setValue("mqtt/broker", "127.0.0.1");
        s.setValue("mqtt/user", "station");
        s.setValue("mqtt/passwordFile", file);
        QString error;
        const BrokerSettings b = BrokerSettingsIo::load(s, &error);
        QCOMPARE(b.enabled(), used);
        QCOMPARE(b.password, used ? QStringLiteral("s3cret") : QString());
        if (!used)
            QVERIFY2(error.contains("chmod 600 " + file), qPrintable(error));
    }

    // Newest wins per item, each replaced value counted; past the item limit
    // values are counted, not kept; the journal keeps its newest entries.
    void handOverBounded()
    {
        PublishQueue q(2, 2);
        const int a = q.item("t/a", "V"), b = q.item("t/b", "A");
        QCOMPARE(q.item("t/a", "V"), a);
        QCOMPARE(q.item("t/c", "V"), -1);
        q.push(a, 1.0, 1);
        q.push(a, 2.0, 2);
        q.push(b, 3.0, 3);
        q.push(-1, 4.0, 4);
        for (int i = 0; i < 3; ++i)
            q.pushJournal(QByteArray::number(i));
        QCOMPARE(q.droppedValues(), 2);
        QCOMPARE(q.droppedJournal(), 1);
        QVector<QPair<int, OutgoingValue>> values;
        QList<QByteArray> journal;
        q.take(1, 0, &values, &journal);
        q.take(10, 0, &values, &journal);
        QCOMPARE(values.size(), 2);
        QCOMPARE(journal, (QList<QByteArray>{"1", "2"}));
        for (const auto &[item, v] : values) {
            QCOMPARE(v.topic, item == a ? QByteArray("t/a") : QByteArray("t/b"));
            QCOMPARE(v.value.toDouble(), item == a ? 2.0 : 3.0);
            QCOMPARE(v.unit, item == a ? QByteArray("\"V\"") : QByteArray("\"A\""));
        }
        QCOMPARE(q.waitingValues(), 0);
    }

    // The broker killed: the outage is told once however many attempts
    // fail; started again (empty), it gets the newest value of every item,
    // also of those that did not change meanwhile. Stopping says "offline".
    void brokerRestarted()
    {
        if (!haveTools())
            QSKIP(qPrintable("not installed: " + m_missing));
        Broker broker;
        QVERIFY2(broker.start(), qPrintable(broker.error));
        auto publisher = std::make_unique<MqttPublisher>(settingsFor(broker));
        QSignalSpy outages(publisher.get(), &MqttPublisher::outage);
        QSignalSpy connects(publisher.get(), &MqttPublisher::connected);
        publisher->start();
        QVERIFY(connects.wait(5000));
        PublishQueue &q = publisher->queue();
        QVector<int> items;
        for (int i = 0; i < 3; ++i)
            items << q.item(TopicNames::value("bench", "Sys", 0, i, "VMon"), "V");
        for (int i = 0; i < 3; ++i)
            q.push(items[i], 100.0 + i, QDateTime::currentMSecsSinceEpoch());
        QMap<QString, QByteArray> seen = broker.retained("kebodesk/bench/Sys/#", 3);
        QCOMPARE(seen.size(), 3);
        QCOMPARE(valueOf(seen.value("kebodesk/bench/Sys/0/2/VMon")), 102.0);
        QCOMPARE(QJsonDocument::fromJson(seen.first()).object().value("unit").toString(), QStringLiteral("V"));

        broker.kill();
        QTRY_VERIFY_WITH_TIMEOUT(!publisher->isConnected(), 5000);
        q.push(items[0], 200.0, QDateTime::currentMSecsSinceEpoch());
        QTest::qWait(1700);  // attempts at 0.5 and 1.5 s fail
        q.push(items[0], 201.0, QDateTime::currentMSecsSinceEpoch());
        QCOMPARE(outages.size(), 1);
        QVERIFY2(outages.first().first().toString().contains(QString::number(broker.port)),
                 qPrintable(outages.first().first().toString()));
        QVERIFY2(broker.start(), qPrintable(broker.error));
        QVERIFY(connects.wait(10000));
        seen = broker.retained("kebodesk/bench/#", 4);
        QCOMPARE(valueOf(seen.value("kebodesk/bench/Sys/0/0/VMon")), 201.0);
        QCOMPARE(valueOf(seen.value("kebodesk/bench/Sys/0/1/VMon")), 101.0);
        QCOMPARE(valueOf(seen.value("kebodesk/bench/Sys/0/2/VMon")), 102.0);
        QCOMPARE(seen.value("kebodesk/bench/status"), QByteArray("online"));
        QCOMPARE(outages.size(), 1);
        // 200 was replaced by 201 while the broker was away: counted.
        const QByteArray counts = broker.retained("kebodesk/bench/counts").value("kebodesk/bench/counts");
        QCOMPARE(QJsonDocument::fromJson(counts).object().value("dropped").toInt(), 1);
        publisher.reset();
        QCOMPARE(broker.retained("kebodesk/bench/status").value("kebodesk/bench/status"), QByteArray("offline"));
    }

    // No broker at the start: told once, with the address, while the
    // attempts go on; the values wait and go out once it is there.
    void noBrokerAtStart()
    {
        if (!haveTools())
            QSKIP(qPrintable("not installed: " + m_missing));
        Broker broker;
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        broker.port = probe.serverPort();
        probe.close();
        MqttPublisher publisher(settingsFor(broker));
        QSignalSpy outages(&publisher, &MqttPublisher::outage);
        publisher.start();
        QSignalSpy connects(&publisher, &MqttPublisher::connected);
        publisher.queue().push(publisher.queue().item("kebodesk/bench/Sys/-/-/Sessions", ""), 3, 1);
        QVERIFY(outages.wait(10000));
        QTest::qWait(1200);
        QCOMPARE(outages.size(), 1);
        QVERIFY2(outages.first().first().toString().contains(QString::number(broker.port)),
                 qPrintable(outages.first().first().toString()));
        QVERIFY2(broker.start(), qPrintable(broker.error));
        QVERIFY(connects.wait(10000));
        QCOMPARE(valueOf(broker.retained("kebodesk/bench/Sys/#").first()), 3.0);
    }

    void accessChecked_data()
    {
        QTest::addColumn<bool>("tls");
        QTest::addColumn<QString>("password");  // empty: no log-in
        QTest::addColumn<QString>("ca");        // the CA file the station trusts
        QTest::addColumn<QString>("told");      // empty: accepted
        QTest::newRow("right password") << false << "right" << "" << "";
        QTest::newRow("wrong password") << false << "wrong" << "" << "refused the user \"station\"";
        QTest::newRow("TLS, CA of the broker") << true << "" << "ca.crt" << "";
        QTest::newRow("TLS, another CA") << true << "" << "other.crt" << "TLS";
    }
    // A refused log-in is told once and not tried again; a broker whose
    // certificate another CA signed is not talked to, and the operator told
    // why. Then nothing is published; else the value arrives.
    void accessChecked()
    {
        if (!haveTools())
            QSKIP(qPrintable("not installed: " + m_missing));
        QFETCH(bool, tls);
        QFETCH(QString, password);
        QFETCH(QString, ca);
        QFETCH(QString, told);
        Broker broker;
        const User station{"station", "right"};
        if (!password.isEmpty())
            QVERIFY2(broker.requireUsers({station}), qPrintable(broker.error));
        if (tls)
            QVERIFY2(broker.useTls() && broker.makeCa("other"), qPrintable(broker.error));
        QVERIFY2(broker.start(), qPrintable(broker.error));
        BrokerSettings s = settingsFor(broker);
        s.user = password.isEmpty() ? QString() : station.name;
        s.password = password;
        s.tls = tls;
        s.caFile = ca.isEmpty() ? QString() : broker.dir.filePath(ca);
        MqttPublisher publisher(s);
        QSignalSpy refused(&publisher, &MqttPublisher::refused);
        QSignalSpy outages(&publisher, &MqttPublisher::outage);
        publisher.start();
        publisher.queue().push(publisher.queue().item("kebodesk/bench/Sys/0/0/VMon", "V"), 7.5, 1);
        QTRY_VERIFY_WITH_TIMEOUT(publisher.isConnected() || refused.size() + outages.size() > 0, 5000);
        QTest::qWait(told.isEmpty() ? 0 : 1200);  // attempts at 0.5 and 1.5 s: told once, or not tried again
        QCOMPARE(refused.size() + outages.size(), told.isEmpty() ? 0 : 1);
        if (!told.isEmpty()) {
            const QString text = (refused.isEmpty() ? outages : refused).first().first().toString();
            QVERIFY2(text.contains(told), qPrintable(text));
            QCOMPARE(refused.size(), password == "wrong" ? 1 : 0);
        }
        const QMap<QString, QByteArray> seen = broker.retained("kebodesk/bench/Sys/#", 1, told.isEmpty() ? 5 : 1,
                                                               password.isEmpty() ? User{} : station,
                                                               tls ? broker.caFile() : QString());
        QCOMPARE(seen.size(), told.isEmpty() ? 1 : 0);
        if (!seen.isEmpty())
            QCOMPARE(valueOf(seen.first()), 7.5);
    }
};

QTEST_GUILESS_MAIN(TestMqttPublisher)
#include "tst_mqtt_publisher.moc"
