#include "publish/MqttPublisher.h"

#include "publish/JsonText.h"
#include "publish/TopicNames.h"

#include <mosquitto.h>

#include <QDeadlineTimer>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <limits>
#include <mutex>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

constexpr int MaxInflight = 100;       // QoS 1 messages sent and not yet acknowledged
constexpr int Batch = 2000;            // values taken from the queue at once
constexpr int IdleMs = 20;             // pause between looks at the queue when it is not full
constexpr int KeepAliveSeconds = 30;
constexpr int ConnackTimeoutMs = 10000;
constexpr int MaxBackoffMs = 30000;
constexpr int CountsIntervalMs = 5000;

qint64 nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

QString errorText(int rc)
{
    if (rc == MOSQ_ERR_ERRNO)
        return QString::fromLocal8Bit(std::strerror(errno));
    if (rc == MOSQ_ERR_TLS)
        return QStringLiteral("the TLS handshake failed (is the broker's certificate signed by the CA file, and "
                              "made out to the name or address used?)");
    return QString::fromUtf8(mosquitto_strerror(rc));
}

} // namespace

MqttPublisher::MqttPublisher(const BrokerSettings &settings, QObject *parent)
    : QObject(parent), m_settings(settings), m_presenceTopic(TopicNames::presence(settings.station)),
      m_journalTopic(TopicNames::journal(settings.station)), m_countsTopic(TopicNames::counts(settings.station))
{
    static std::once_flag libraryReady;
    std::call_once(libraryReady, [] { mosquitto_lib_init(); });
}

void MqttPublisher::start()
{
    if (!m_thread.joinable())
        m_thread = std::thread([this] { run(); });
}

MqttPublisher::~MqttPublisher()
{
    m_stop = true;
    m_queue.wake();
    if (m_thread.joinable())
        m_thread.join();
}

void MqttPublisher::run()
{
    // Below the GUI thread: when the cores are busy, values wait here (and
    // merge), not the operator's event loop.
    setpriority(PRIO_PROCESS, pid_t(syscall(SYS_gettid)), 3);
    mosquitto *m = mosquitto_new(m_settings.clientId.toUtf8().constData(), true, this);
    QString error;
    if (!m || !configure(m, &error)) {
        post(&MqttPublisher::refused,
             m ? error : QStringLiteral("The MQTT client cannot be made: %0.").arg(errorText(MOSQ_ERR_ERRNO)));
        if (m)
            mosquitto_destroy(m);
        return;
    }
    while (!m_stop) {
        switch (m_state) {
        case State::Down:
            if (nowMs() >= m_deadline)
                attempt(m);
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(qMin<qint64>(50, m_deadline - nowMs())));
            break;
        case State::Connecting:
            awaitConnack(m);
            break;
        case State::Up:
            serve(m);
            break;
        case State::Stopped:
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            break;
        }
    }
    closeConnection(m);
    mosquitto_destroy(m);
}

bool MqttPublisher::configure(mosquitto *m, QString *error)
{
    mosquitto_int_option(m, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_int_option(m, MOSQ_OPT_SEND_MAXIMUM, MaxInflight);
    mosquitto_connect_callback_set(m, &MqttPublisher::onConnect);
    mosquitto_publish_callback_set(m, &MqttPublisher::onPublish);
    if (!m_settings.user.isEmpty()) {
        const QByteArray user = m_settings.user.toUtf8(), password = m_settings.password.toUtf8();
        mosquitto_username_pw_set(m, user.constData(), m_settings.password.isEmpty() ? nullptr : password.constData());
    }
    mosquitto_will_set(m, m_presenceTopic.constData(), 7, "offline", 1, true);
    if (!m_settings.tls)
        return true;
    const QByteArray ca = m_settings.caFile.toLocal8Bit();
    const int rc = mosquitto_tls_set(m, ca.isEmpty() ? nullptr : ca.constData(),
                                     ca.isEmpty() ? "/etc/ssl/certs" : nullptr, nullptr, nullptr, nullptr);
    if (rc != MOSQ_ERR_SUCCESS) {
        *error = QStringLiteral("The CA file %0 for the MQTT broker cannot be used: %1.")
                     .arg(m_settings.caFile.isEmpty() ? QStringLiteral("/etc/ssl/certs") : m_settings.caFile,
                          errorText(rc));
        return false;
    }
    mosquitto_tls_opts_set(m, 1 /* verify the peer */, nullptr, nullptr);
    return true;
}

void MqttPublisher::attempt(mosquitto *m)
{
    m_connack = -1;
    const QByteArray host = m_settings.host.toUtf8();
    // Without waiting for the TCP connection: a broker whose packets are
    // dropped would otherwise hold this thread (and the program's end) for
    // minutes; the answer is awaited with a deadline instead.
    const int rc = mosquitto_connect_async(m, host.constData(), m_settings.port, KeepAliveSeconds);
    if (rc != MOSQ_ERR_SUCCESS) {
        fail(QStringLiteral("The MQTT broker %0:%1 cannot be reached: %2.")
                 .arg(m_settings.host)
                 .arg(m_settings.port)
                 .arg(errorText(rc)));
        return;
    }
    m_state = State::Connecting;
    m_deadline = nowMs() + ConnackTimeoutMs;
}

void MqttPublisher::awaitConnack(mosquitto *m)
{
    const int rc = mosquitto_loop(m, 50, 1);
    if (m_connack == 0) {
        m_state = State::Up;
        m_backoffMs = 500;
        m_inflight = 0;
        m_countsSent = -1;
        m_nextCounts = 0;
        m_outageTold = false;
        m_connected = true;
        publishPresence(m, "online");
        // The newest of every item, also of those that changed meanwhile:
        // never an older value first.
        absorb(std::numeric_limits<int>::max(), 0);
        republishAll(m);
        post(&MqttPublisher::connected);
        return;
    }
    const QString broker = QStringLiteral("%0:%1").arg(m_settings.host).arg(m_settings.port);
    if (m_connack == 4 || m_connack == 5) {
        m_state = State::Stopped;
        mosquitto_disconnect(m);
        post(&MqttPublisher::refused, QStringLiteral("The MQTT broker %0 refused the user \"%1\" (%2): nothing is published. Correct "
                                    "the user or the password and start the program again.")
                         .arg(broker, m_settings.user, QString::fromUtf8(mosquitto_connack_string(m_connack))));
        return;
    }
    if (m_connack > 0)
        fail(QStringLiteral("The MQTT broker %0 refused the connection: %1.")
                 .arg(broker, QString::fromUtf8(mosquitto_connack_string(m_connack))));
    else if (rc != MOSQ_ERR_SUCCESS)
        fail(QStringLiteral("The MQTT broker %0 cannot be reached: %1.").arg(broker, errorText(rc)));
    else if (nowMs() > m_deadline)
        fail(QStringLiteral("The MQTT broker %0 did not answer.").arg(broker));
}

void MqttPublisher::serve(mosquitto *m)
{
    const bool canSend = !mosquitto_want_write(m) && m_inflight < MaxInflight;
    if (canSend)
        sendValues(m);
    if (canSend && m_state == State::Up && nowMs() >= m_nextCounts)
        publishCounts(m);
    if (m_state != State::Up)
        return;
    const int rc = mosquitto_loop(m, canSend ? 0 : 10, 1);
    if (rc != MOSQ_ERR_SUCCESS)
        fail(QStringLiteral("The connection to the MQTT broker %0:%1 was lost: %2.")
                 .arg(m_settings.host)
                 .arg(m_settings.port)
                 .arg(errorText(rc)));
}

void MqttPublisher::fail(const QString &reason)
{
    m_state = State::Down;
    m_connected = false;
    if (!m_outageTold) {
        m_outageTold = true;
        post(&MqttPublisher::outage, reason);
    }
    m_deadline = nowMs() + m_backoffMs;
    m_backoffMs = qMin(m_backoffMs * 2, MaxBackoffMs);
}

bool MqttPublisher::send(mosquitto *m, const QByteArray &topic, const QByteArray &payload, int qos, bool retain)
{
    const int rc = mosquitto_publish(m, nullptr, topic.constData(), int(payload.size()), payload.constData(), qos,
                                     retain);
    if (rc == MOSQ_ERR_SUCCESS) {
        if (qos > 0)
            ++m_inflight;
        return true;
    }
    fail(QStringLiteral("The connection to the MQTT broker %0:%1 was lost: %2.")
             .arg(m_settings.host)
             .arg(m_settings.port)
             .arg(errorText(rc)));
    return false;
}

void MqttPublisher::publishPresence(mosquitto *m, const char *word)
{
    send(m, m_presenceTopic, QByteArray(word), 1, true);
}

void MqttPublisher::publishCounts(mosquitto *m)
{
    m_nextCounts = nowMs() + CountsIntervalMs;
    const qint64 dropped = m_queue.droppedValues() + m_queue.droppedJournal();
    if (dropped == m_countsSent)
        return;
    const QByteArray payload = "{\"published\":" + QByteArray::number(publishedValues()) + ",\"dropped\":"
                               + QByteArray::number(m_queue.droppedValues()) + ",\"journalDropped\":"
                               + QByteArray::number(m_queue.droppedJournal()) + '}';
    if (send(m, m_countsTopic, payload, 0, true))
        m_countsSent = dropped;
}

void MqttPublisher::republishAll(mosquitto *m)
{
    for (auto it = m_last.cbegin(); it != m_last.cend() && m_state == State::Up; ++it)
        send(m, it->first, it->second, m_settings.qos, true);
}

QVector<int> MqttPublisher::absorb(int maxValues, int waitMs)
{
    QVector<QPair<int, OutgoingValue>> values;
    QList<QByteArray> journal;
    m_queue.take(maxValues, waitMs, &values, &journal);
    m_batchFull = values.size() >= maxValues;
    for (const QByteArray &entry : journal)
        m_journalOut.push_back(entry);
    while (m_journalOut.size() > size_t(JournalBacklog))
        m_journalOut.pop_front();
    // Kept first: what a lost connection stops is sent once it is back.
    QVector<int> items;
    items.reserve(values.size());
    for (const auto &[item, v] : std::as_const(values)) {
        m_last[item] = {v.topic, JsonText::value(v.value, v.unit, v.time)};
        items.append(item);
    }
    return items;
}

void MqttPublisher::sendValues(mosquitto *m)
{
    // Busy: straight on; else a pause in which values gather (and merge).
    for (int item : absorb(Batch, m_batchFull ? 0 : IdleMs)) {
        const QPair<QByteArray, QByteArray> &last = m_last[item];
        if (!send(m, last.first, last.second, m_settings.qos, true))
            return;
        m_published.fetch_add(1, std::memory_order_relaxed);
    }
    while (!m_journalOut.empty() && send(m, m_journalTopic, m_journalOut.front(), 1, false))
        m_journalOut.pop_front();
}

void MqttPublisher::closeConnection(mosquitto *m)
{
    if (m_state != State::Up)
        return;
    publishPresence(m, "offline");
    // What libmosquitto still holds goes out before the goodbye.
    const QDeadlineTimer limit(1000);
    while (m_state == State::Up && mosquitto_want_write(m) && !limit.hasExpired())
        if (mosquitto_loop(m, 10, 1) != MOSQ_ERR_SUCCESS)
            break;
    mosquitto_disconnect(m);
    mosquitto_loop(m, 10, 1);
    m_connected = false;
}

void MqttPublisher::onConnect(mosquitto *, void *self, int rc)
{
    static_cast<MqttPublisher *>(self)->m_connack = rc;
}

void MqttPublisher::onPublish(mosquitto *, void *self, int)
{
    auto *p = static_cast<MqttPublisher *>(self);
    p->m_inflight = qMax(0, p->m_inflight - 1);
}
