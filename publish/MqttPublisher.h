#ifndef MQTTPUBLISHER_H
#define MQTTPUBLISHER_H

// Publishes the station's values and journal on an MQTT broker, from a
// thread of its own that alone talks to libmosquitto. The GUI thread only
// hands values to the queue (see PublishQueue). Values go out retained, so
// a viewer that subscribes later sees the newest of each item at once; the
// newest value of every item is sent again after each (re)connection, so a
// broker that restarted without its store has them again. The station's
// presence is "online" on its status topic while connected and "offline"
// when it stops or, through the last will, when the broker loses it. What
// never went out (a value replaced by a newer one while it waited, a journal
// entry past the backlog's bound) is counted on the counts topic, at most
// every 5 s and only when the count grew.
//
// It subscribes to nothing: no message from the broker reaches the program.
//
// A connection that fails or breaks is tried again after 0.5 s, doubled up
// to 30 s; outage() tells of it once until the connection is back
// (connected()). A broker that refuses the user or password is not tried
// again (refused()).

#include "publish/BrokerSettings.h"
#include "publish/PublishQueue.h"

#include <QObject>

#include <atomic>
#include <deque>
#include <memory>
#include <thread>

struct mosquitto;

class MqttPublisher : public QObject
{
    Q_OBJECT
public:
    static constexpr int JournalBacklog = 10000;

    explicit MqttPublisher(const BrokerSettings &settings, QObject *parent = nullptr);
    // Starts the thread; connect to the signals first.
    void start();
    // Says "offline", disconnects and ends the thread (at most about 2 s).
    ~MqttPublisher() override;

    const BrokerSettings &settings() const { return m_settings; }
    PublishQueue &queue() { return m_queue; }

    // Any thread.
    bool isConnected() const { return m_connected.load(); }
    qint64 publishedValues() const { return m_published.load(std::memory_order_relaxed); }
    qint64 droppedValues() const { return m_queue.droppedValues(); }

signals:
    // Emitted on the thread the publisher belongs to (queued from its own).
    void connected();
    void outage(const QString &reason);
    void refused(const QString &reason);

private:
    enum class State { Down, Connecting, Up, Stopped };
    void run();
    bool configure(mosquitto *m, QString *error);
    void attempt(mosquitto *m);
    void awaitConnack(mosquitto *m);
    void serve(mosquitto *m);
    void fail(const QString &reason);
    bool send(mosquitto *m, const QByteArray &topic, const QByteArray &payload, int qos, bool retain);
    void publishPresence(mosquitto *m, const char *word);
    void republishAll(mosquitto *m);
    void publishCounts(mosquitto *m);
    // Takes what waits into m_last and m_journalOut; the items taken.
    QVector<int> absorb(int maxValues, int waitMs);
    void sendValues(mosquitto *m);
    void closeConnection(mosquitto *m);

    // Emits the signal on the publisher's own thread, later; dropped with
    // the publisher.
    template <typename... Args, typename... Values>
    void post(void (MqttPublisher::*signal)(Args...), Values... values)
    {
        QMetaObject::invokeMethod(this, [this, signal, values...] { (this->*signal)(values...); },
                                  Qt::QueuedConnection);
    }

    static void onConnect(mosquitto *, void *self, int rc);
    static void onPublish(mosquitto *, void *self, int mid);

    const BrokerSettings m_settings;
    const QByteArray m_presenceTopic;
    const QByteArray m_journalTopic;
    const QByteArray m_countsTopic;
    PublishQueue m_queue;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_connected{false};
    std::atomic<qint64> m_published{0};

    // --- the publisher's thread only ---------------------------------
    State m_state = State::Down;
    int m_connack = -1;           // the broker's answer, -1 before it comes
    qint64 m_deadline = 0;        // of the attempt under way, or of the next one
    int m_backoffMs = 500;
    bool m_outageTold = false;
    int m_inflight = 0;           // QoS 1 messages not yet acknowledged
    bool m_batchFull = false;     // the last look at the queue took a full batch
    qint64 m_nextCounts = 0;      // when the counts may go out again
    qint64 m_countsSent = -1;     // the dropped count last published
    QHash<int, QPair<QByteArray, QByteArray>> m_last;  // item: topic, newest payload sent
    std::deque<QByteArray> m_journalOut;               // journal entries not yet sent
    std::thread m_thread;
};

#endif
