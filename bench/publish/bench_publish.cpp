// The publisher's rate on loopback: a mosquitto broker of its own, then for
// QoS 0 and QoS 1 `values` values of as many items handed over at once (none
// replaced by a newer one); the time from the first hand-over until the
// broker has passed the last on to a subscriber, and the CPU time the
// program and the broker spent meanwhile.
//
// Usage: bench_publish [values (200000)]

#include "publish/MqttPublisher.h"
#include "publish/TopicNames.h"
#include "tests/support/MosquittoBroker.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QThread>

#include <cstdio>
#include <unistd.h>

namespace {

// CPU seconds of a process (user + system), from /proc.
double cpuSeconds(qint64 pid)
{
    QFile f(pid ? QStringLiteral("/proc/%0/stat").arg(pid) : QStringLiteral("/proc/self/stat"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = f.readAll().split(' ');
    return fields.size() > 15 ? (fields[13].toDouble() + fields[14].toDouble()) / double(sysconf(_SC_CLK_TCK)) : 0;
}

struct Figure
{
    double perSecond = -1;         // wall clock, until the broker passed the last one on
    double perProgramCpu = 0;      // values per CPU second of the program
    double perBrokerCpu = 0;       // and of the broker
};

// The values go out newest-wins from a hash, in no set order: a marker
// handed over after the publisher sent them all is the last the broker
// passes on, so its arrival at a subscriber ends the measurement.
Figure run(broker_test::Broker &broker, int qos, int values)
{
    BrokerSettings s;
    s.host = QStringLiteral("127.0.0.1");
    s.port = broker.port;
    s.station = QStringLiteral("bench-qos%0").arg(qos);
    s.clientId = s.station;
    s.qos = qos;
    MqttPublisher publisher(s);
    QSignalSpy connected(&publisher, &MqttPublisher::connected);
    publisher.start();
    if (!connected.wait(30000))
        return {};
    PublishQueue &q = publisher.queue();
    QVector<int> items(values);
    for (int i = 0; i < values; ++i)
        items[i] = q.item(TopicNames::value(s.station, QStringLiteral("Bench"), i / 1000, i % 1000,
                                            QStringLiteral("VMon")),
                          QStringLiteral("V"));
    const QByteArray marker = TopicNames::value(s.station, QStringLiteral("Bench"), -1, -1, QStringLiteral("End"));
    const int markerItem = q.item(marker, QString());
    QProcess sub;
    sub.start(QStringLiteral("mosquitto_sub"), {QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                                                QString::number(broker.port), QStringLiteral("-t"),
                                                QString::fromUtf8(marker), QStringLiteral("-C"), QStringLiteral("1"),
                                                QStringLiteral("-F"), QStringLiteral("%p")});
    sub.waitForStarted();
    QThread::msleep(500);  // subscribed
    const double programBefore = cpuSeconds(0), brokerBefore = cpuSeconds(broker.pid());
    QElapsedTimer t;
    t.start();
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    for (int i = 0; i < values; ++i)
        q.push(items[i], double(i) / 10.0, now);
    while (publisher.publishedValues() < values && t.elapsed() < 120000)
        QThread::msleep(1);
    q.push(markerItem, 1, now);
    const bool arrived = sub.waitForFinished(60000) && sub.readAll().contains("\"value\":1,");
    const double seconds = double(t.nsecsElapsed()) / 1e9;
    const double program = cpuSeconds(0) - programBefore, brokerCpu = cpuSeconds(broker.pid()) - brokerBefore;
    if (!arrived || publisher.publishedValues() < values + 1) {
        std::fprintf(stderr, "QoS %d: %lld of %d values published in %.1f s\n", qos, publisher.publishedValues(),
                     values, seconds);
        return {};
    }
    return {values / seconds, program > 0 ? values / program : 0, brokerCpu > 0 ? values / brokerCpu : 0};
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int values = argc > 1 ? qMax(1000, atoi(argv[1])) : 200000;
    if (!broker_test::missingTools().isEmpty()) {
        std::fprintf(stderr, "not installed: %s\n", qPrintable(broker_test::missingTools()));
        return 1;
    }
    broker_test::Broker broker;
    if (!broker.start()) {
        std::fprintf(stderr, "%s\n", qPrintable(broker.error));
        return 1;
    }
    std::printf("machine: %d cores; %d values of as many items, retained, to mosquitto on loopback\n",
                QThread::idealThreadCount(), values);
    bool ok = true;
    for (int qos : {0, 1}) {
        const Figure f = run(broker, qos, values);
        ok = ok && f.perSecond > 0;
        std::printf("QoS %d: %.0f values/s published and passed on by the broker (wall clock); per CPU second: "
                    "%.0f values in the program, %.0f in the broker%s\n",
                    qos, f.perSecond, f.perProgramCpu, f.perBrokerCpu, f.perSecond > 0 ? "" : " (FAILED)");
    }
    return ok ? 0 : 2;
}
