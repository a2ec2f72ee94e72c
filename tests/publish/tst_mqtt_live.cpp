// The program publishing what the virtual hardware does, read from a
// mosquitto broker of the test's own: a ramp on an MF3300 arrives value for
// value and the newest stays retained, under topics made of the station's
// and system's names made safe; a trip reaches the journal topic; a joined
// VME board's values appear under its own system only; settings that cannot
// be used, and a broker that is not there, are told once.

#include "tests/support/LiveWindow.h"
#include "tests/support/MosquittoBroker.h"

#include "app/PublishHooks.h"
#include "publish/MqttPublisher.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>

#include <sys/stat.h>

using namespace live_test;
using namespace broker_test;

namespace {

const QString Station = QStringLiteral("ctl/room+1");
const QString Topics = QStringLiteral("kebodesk/ctl_room_1/");

QJsonObject json(const QByteArray &payload)
{
    return QJsonDocument::fromJson(payload).object();
}

ORVEHVNode *firstChannelOf(QSystemInterface *sys)
{
    for (ORVEHVNode *b : sys->systemNode()->children())
        if (b->kind() == KindBoard && !b->children().isEmpty())
            return b->children().first();
    return nullptr;
}

// The values that arrived on the topic, in order.
QVector<double> valuesOn(Subscriber &sub, const QString &topic)
{
    QVector<double> out;
    for (const auto &[t, payload] : sub.messages())
        if (t == topic)
            out.append(json(payload).value("value").toDouble());
    return out;
}

} // namespace

class TestMqttLive : public QObject
{
    Q_OBJECT
private:
    WindowFixture fx;
    Broker broker;
    QTemporaryDir configDir;
    QString missing;

    PublishHooks *hooks() const { return fx.w ? fx.w->findChild<PublishHooks *>() : nullptr; }

    // The program's settings (its own store, see initTestCase).
    void settings(const QString &brokerAddress, const QString &user = {}, const QString &passwordFile = {})
    {
        QSettings s(QStringLiteral("ORVE"), QStringLiteral("KEBODESK"));
        s.remove("mqtt");
        s.setValue("mqtt/broker", brokerAddress);
        s.setValue("mqtt/station", Station);
        s.setValue("mqtt/user", user);
        s.setValue("mqtt/passwordFile", passwordFile);
    }
    // A window publishing to the test's broker, connected.
    bool openPublishing()
    {
        settings(QStringLiteral("127.0.0.1:%0").arg(broker.port));
        if (!fx.openWindow() || !hooks() || !hooks()->publisher())
            return false;
        return QTest::qWaitFor([&] { return hooks()->publisher()->isConnected(); }, 5000);
    }

private slots:
    void initTestCase()
    {
        missing = missingTools();
        if (!missing.isEmpty())
            QSKIP(qPrintable("not installed: " + missing));
        QVERIFY(fx.setUpOnce());
        // A store of this test's own: other programs' windows must not
        // publish to this broker.
        QVERIFY(configDir.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, configDir.path());
        QVERIFY2(broker.start(), qPrintable(broker.error));
    }
    void cleanupTestCase()
    {
        fx.tearDownOnce();
    }
    void cleanup() { fx.closeWindow(); }

    // Every value the channel showed during a ramp arrives in order on its
    // topic; the last is retained for a viewer that comes later, with its
    // unit; a trip arrives on the journal topic.
    void rampAndTripArrive()
    {
        QVERIFY(openPublishing());
        QSystemInterface *sys = connectLive(fx.w, "192.0.2.10", "MF/3300");
        QVERIFY(sys);
        const int id = vhw::findSystem("192.0.2.10");
        ORVEHVNode *ch = firstChannelOf(sys);
        ORVEHVNode *vmon = ch->parameter("VMon");
        const int slot = ch->slot(), channel = ch->channel();
        const QString topic = Topics + QStringLiteral("MF_3300/%0/%1/VMon").arg(slot).arg(channel);
        Subscriber sub;
        QVERIFY(sub.start(broker, Topics + "#"));
        QVERIFY(QTest::qWaitFor([&] { return !sub.messages().isEmpty(); }, 5000));  // retained: subscribed

        vhw::setChannelParam(id, slot, channel, "Pw", 1);
        const double start = vmon->value().value.toDouble();
        const double target = start > 500 ? start - 300 : start + 300;
        vhw::setChannelParam(id, slot, channel, "RUp", 100);
        vhw::setChannelParam(id, slot, channel, "RDwn", 100);
        vhw::setChannelParam(id, slot, channel, "VSet", target);
        QVector<double> shown;
        for (int step = 0; step < 60 && vmon->value().value.toDouble() != target; ++step) {
            const double before = vmon->value().value.toDouble();
            vhw::advanceTime(0.1);
            (void)QTest::qWaitFor([&] { return vmon->value().value.toDouble() != before; }, 1000);
            const double now = vmon->value().value.toDouble();
            if (now == before)
                continue;
            shown.append(now);
            // Each one seen on the broker before the next: none replaced.
            QVERIFY2(QTest::qWaitFor([&] { return valuesOn(sub, topic).contains(now); }, 3000),
                     qPrintable(QString::number(now)));
        }
        QCOMPARE(vmon->value().value.toDouble(), target);
        QVERIFY(shown.size() >= 20);
        QVector<double> arrived = valuesOn(sub, topic);
        while (!arrived.isEmpty() && arrived.first() != shown.first())
            arrived.removeFirst();
        QCOMPARE(arrived, shown);

        const QByteArray last = broker.retained(topic).value(topic);
        QCOMPARE(json(last).value("value").toDouble(), target);
        QCOMPARE(json(last).value("unit").toString(), vmon->unitText());
        QVERIFY(qAbs(QDateTime::fromString(json(last).value("time").toString(), Qt::ISODateWithMs)
                         .msecsTo(QDateTime::currentDateTimeUtc())) < 10000);
        const QString vset = Topics + QStringLiteral("MF_3300/%0/%1/VSet").arg(slot).arg(channel);
        QCOMPARE(json(broker.retained(vset).value(vset)).value("value").toDouble(), target);

        QCOMPARE(vhw::setChannelFault(id, slot, channel, vhw::ChannelFault::Tripped), ORVEHV_OK);
        const QString journal = Topics + "journal";
        QVERIFY(QTest::qWaitFor([&] {
            for (const auto &[t, payload] : sub.messages())
                if (t == journal && json(payload).value("text") == "I-Tripped")
                    return true;
            return false;
        }, 5000));
        for (const auto &[t, payload] : sub.messages())
            if (t == journal && json(payload).value("text") == "I-Tripped") {
                QCOMPARE(json(payload).value("system").toString(), QStringLiteral("MF/3300"));
                QCOMPARE(json(payload).value("board").toInt(), slot);
                QCOMPARE(json(payload).value("channel").toInt(), channel);
                QCOMPARE(json(payload).value("event").toString(), QStringLiteral("raised"));
            }
        QVERIFY(fx.messages.isEmpty());
    }

    // The crate entry re-emits a joined board's values: they are published
    // under the board's own system, never over the crate's first board.
    void joinedBoardUnderItsOwnSystem()
    {
        QVERIFY(openPublishing());
        QVERIFY(connectLive(fx.w, "0_0_C0", "Board00"));
        QSystemInterface *joined = connectLive(fx.w, "0_0_C1", "Board01");
        QVERIFY(joined);
        QCOMPARE(fx.w->connections()->topLevelCount(), 1);
        const int id = vhw::findSystem("0_0_C1");
        const QString set = firstChannelOf(joined)->parameter("V0Set") ? "V0Set" : "VSet";
        QCOMPARE(vhw::setChannelParam(id, 0, 0, set.toStdString(), 123.5), ORVEHV_OK);
        const QString own = Topics + "Board01/0/0/" + set, crate = Topics + "Board00/0/0/" + set;
        QVERIFY(QTest::qWaitFor([&] {
            vhw::advanceTime(0.1);
            return json(broker.retained(own).value(own)).value("value").toDouble() == 123.5;
        }, 8000));
        QVERIFY(json(broker.retained(crate, 1, 1).value(crate)).value("value").toDouble() != 123.5);
    }

    void toldOnce_data()
    {
        QTest::addColumn<bool>("listening");
        QTest::addColumn<int>("fileMode");
        QTest::addColumn<QString>("told");
        QTest::addColumn<bool>("publishing");
        QTest::newRow("password file others can read") << true << 0644 << "chmod 600" << false;
        QTest::newRow("no broker listening") << false << 0600 << "cannot be reached" << true;
    }
    void toldOnce()
    {
        QFETCH(bool, listening);
        QFETCH(int, fileMode);
        QFETCH(QString, told);
        QFETCH(bool, publishing);
        const QString file = broker.dir.filePath("station.pw");
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write("pw\n") == 3);
        f.close();
        QVERIFY(::chmod(QFile::encodeName(file).constData(), mode_t(fileMode)) == 0);
        quint16 port = broker.port;
        if (!listening) {
            QTcpServer probe;
            QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
            port = probe.serverPort();
        }
        settings(QStringLiteral("127.0.0.1:%0").arg(port), "station", file);
        QVERIFY(fx.openWindow());
        QVERIFY(hooks());
        QTRY_COMPARE_WITH_TIMEOUT(fx.messages.size(), 1, 3000);
        QTest::qWait(publishing ? 2000 : 100);  // attempts at 0, 0.5 and 1.5 s
        QCOMPARE(fx.messages.size(), 1);
        QVERIFY2(fx.messages.first().text.contains(told), qPrintable(fx.messages.first().text));
        QCOMPARE(hooks()->publisher() != nullptr, publishing);
    }
};

QTEST_MAIN(TestMqttLive)
#include "tst_mqtt_live.moc"
