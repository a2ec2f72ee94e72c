#pragma once

#include <QByteArray>
#include <QObject>
#include <QStringList>

#include <QTimer>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// The network side of mainframe autodetection, on a worker thread: binds the
// reply port (3500 or the next free one), sends "KEBO<port>" to the probe
// destination every 2 s, waits at most 400 ms per receive, lists each distinct
// reply once and ends after the scan time or on stop(). The worker touches no
// Qt object: it queues plain results under a mutex, and a timer on the owner's
// thread turns them into signals.
class AutodetectScanner : public QObject
{
    Q_OBJECT
public:
    static constexpr int kFirstReplyPort = 3500;
    static constexpr int kMaxReplyBytes = 512;
    static constexpr int kReceiveTimeoutMs = 400;
    static constexpr int kRepeatMs = 2000;
    static constexpr int kScanMs = 10000;
    static constexpr int kSettleMs = 500;
    static constexpr int kMaxRows = 256;         // a flood of distinct replies stays bounded
    static constexpr int kMaxSeenReplies = 1024;

    explicit AutodetectScanner(QObject *parent = nullptr);
    ~AutodetectScanner() override;   // stops and joins the worker (bounded)

    // Probe destination: KEBO_AUTODETECT_TARGET ("a.b.c.d:port") when set,
    // else 255.255.255.255:113. False for a malformed setting: nothing is sent.
    static bool probeTarget(uint32_t *hostOrderAddress, uint16_t *port);
    static bool parseTarget(const QByteArray &text, uint32_t *hostOrderAddress, uint16_t *port);

    // The fields of a reply datagram: ":"-separated, empty pieces dropped.
    // False when it has fewer than four pieces, is longer than 512 bytes or is
    // not printable ASCII (text after a zero byte is ignored).
    static bool parseReply(const QByteArray &datagram, QStringList *fields);

    void start();
    void stop();                 // returns at once; the worker ends within milliseconds
    bool isRunning() const { return m_running; }

    // Test hooks for the time limits (milliseconds).
    void setTimings(int settleMs, int scanMs, int repeatMs);

signals:
    void replyPortBound(int port);
    void probeSent(const QByteArray &probe);
    void mainframeFound(const QString &model, const QString &address, const QString &serial,
                        const QString &firmware, const QString &telmos);
    void finished();

private:
    struct Result
    {
        enum Kind { Bound, Probe, Found, Finished } kind;
        quint64 generation;
        int port = 0;
        std::string text;                  // probe text, or the sender's address
        std::vector<std::string> fields;   // reply fields
    };

    void run(quint64 generation, int settleMs, int scanMs, int repeatMs);
    void post(Result result);
    void deliver();
    void wakeWorker();
    void joinWorker();

    std::thread m_thread;
    std::atomic<bool> m_stop{ true };
    int m_wakeFd = -1;           // eventfd: stop() interrupts the worker's waits
    quint64 m_generation = 0;    // results of an earlier scan are dropped
    bool m_running = false;
    int m_settleMs = kSettleMs;
    int m_scanMs = kScanMs;
    int m_repeatMs = kRepeatMs;
    QTimer m_deliveryTimer;
    std::mutex m_resultsMutex;         // guards m_results
    std::vector<Result> m_results;
};
