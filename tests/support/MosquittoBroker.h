#ifndef MOSQUITTOBROKER_H
#define MOSQUITTOBROKER_H

// A mosquitto broker of a test's own: its configuration, password file and
// certificates in a temporary folder, listening on a free loopback port,
// killed and started again on the same port at will (no store: a restarted
// broker has no retained messages). Read with mosquitto_sub. As root, the
// broker is told to stay root (it would otherwise change to a user that
// cannot read the folder).

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <unistd.h>

namespace broker_test {

// What the broker tests need and this machine lacks; empty when all is there.
inline QString missingTools()
{
    QStringList missing;
    for (const char *tool : {"mosquitto", "mosquitto_sub", "mosquitto_passwd", "openssl"})
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()
            && QStandardPaths::findExecutable(QString::fromLatin1(tool), {QStringLiteral("/usr/sbin")}).isEmpty())
            missing << QString::fromLatin1(tool);
    return missing.join(QStringLiteral(", "));
}

inline bool run(const QString &program, const QStringList &args, QByteArray *output = nullptr, int timeoutMs = 20000)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    const bool done = p.waitForFinished(timeoutMs);
    if (output)
        *output = p.readAll();
    return done && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

struct User
{
    QString name, password;
};

class Broker
{
public:
    QTemporaryDir dir;
    quint16 port = 0;
    QString error;  // what went wrong, for the test's message

    ~Broker() { kill(); }

    // Optional before start(): log-in required, for these users.
    bool requireUsers(const QList<User> &users)
    {
        const QString file = dir.filePath(QStringLiteral("passwd"));
        QFile::remove(file);
        for (const User &u : users) {
            QStringList args{QStringLiteral("-b"), file, u.name, u.password};
            if (!QFile::exists(file))
                args.prepend(QStringLiteral("-c"));
            QByteArray out;
            if (!run(QStringLiteral("mosquitto_passwd"), args, &out))
                return fail(QStringLiteral("mosquitto_passwd: ") + QString::fromLocal8Bit(out));
        }
        m_passwordFile = file;
        return true;
    }

    // Optional before start(): TLS with a certificate for 127.0.0.1 and
    // localhost, signed by a CA made here (caFile()).
    bool useTls()
    {
        if (!makeCa(QStringLiteral("ca")))
            return false;
        const QString ext = dir.filePath(QStringLiteral("server.ext"));
        QFile f(ext);
        if (!f.open(QIODevice::WriteOnly) || f.write("subjectAltName=IP:127.0.0.1,DNS:localhost\n") < 0)
            return fail(QStringLiteral("cannot write %0").arg(ext));
        f.close();
        QByteArray out;
        if (!run(QStringLiteral("openssl"), {QStringLiteral("req"), QStringLiteral("-newkey"), QStringLiteral("ec"),
                                             QStringLiteral("-pkeyopt"), QStringLiteral("ec_paramgen_curve:prime256v1"),
                                             QStringLiteral("-nodes"), QStringLiteral("-keyout"), path("server.key"),
                                             QStringLiteral("-out"), path("server.csr"), QStringLiteral("-subj"),
                                             QStringLiteral("/CN=localhost")}, &out)
            || !run(QStringLiteral("openssl"), {QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"),
                                                path("server.csr"), QStringLiteral("-CA"), path("ca.crt"),
                                                QStringLiteral("-CAkey"), path("ca.key"),
                                                QStringLiteral("-CAcreateserial"), QStringLiteral("-days"),
                                                QStringLiteral("2"), QStringLiteral("-extfile"), ext,
                                                QStringLiteral("-out"), path("server.crt")}, &out))
            return fail(QStringLiteral("openssl: ") + QString::fromLocal8Bit(out));
        m_tls = true;
        return true;
    }

    // A CA of its own in <name>.crt / <name>.key.
    bool makeCa(const QString &name)
    {
        QByteArray out;
        if (!run(QStringLiteral("openssl"),
                 {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("ec"),
                  QStringLiteral("-pkeyopt"), QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
                  QStringLiteral("-keyout"), dir.filePath(name + QStringLiteral(".key")), QStringLiteral("-out"),
                  dir.filePath(name + QStringLiteral(".crt")), QStringLiteral("-days"), QStringLiteral("2"),
                  QStringLiteral("-subj"), QStringLiteral("/CN=kebodesk test ") + name},
                 &out))
            return fail(QStringLiteral("openssl: ") + QString::fromLocal8Bit(out));
        return true;
    }
    QString caFile() const { return path("ca.crt"); }

    bool start()
    {
        if (!dir.isValid())
            return fail(QStringLiteral("no temporary folder"));
        if (port == 0) {
            QTcpServer probe;
            if (!probe.listen(QHostAddress::LocalHost, 0))
                return fail(QStringLiteral("no free loopback port"));
            port = probe.serverPort();
        }
        QByteArray conf = "listener " + QByteArray::number(port) + " 127.0.0.1\n"
                          "persistence false\nlog_dest stderr\nlog_type error\nlog_type warning\n";
        if (::geteuid() == 0)
            conf += "user root\n";
        conf += m_passwordFile.isEmpty() ? QByteArray("allow_anonymous true\n")
                                         : "allow_anonymous false\npassword_file " + m_passwordFile.toLocal8Bit() + '\n';
        if (m_tls)
            conf += "certfile " + path("server.crt").toLocal8Bit() + "\nkeyfile " + path("server.key").toLocal8Bit()
                    + '\n';
        QFile f(path("mosquitto.conf"));
        if (!f.open(QIODevice::WriteOnly) || f.write(conf) != conf.size())
            return fail(QStringLiteral("cannot write the broker's configuration"));
        f.close();
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        QString program = QStandardPaths::findExecutable(QStringLiteral("mosquitto"));
        if (program.isEmpty())
            program = QStandardPaths::findExecutable(QStringLiteral("mosquitto"), {QStringLiteral("/usr/sbin")});
        m_process.start(program, {QStringLiteral("-c"), path("mosquitto.conf")});
        if (!m_process.waitForStarted(5000))
            return fail(QStringLiteral("mosquitto does not start: ") + m_process.errorString());
        // Ready once it accepts connections (it binds the port just before).
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 10000 && m_process.state() == QProcess::Running) {
            QTcpSocket s;
            s.connectToHost(QHostAddress::LocalHost, port);
            if (s.waitForConnected(200))
                return true;
            QThread::msleep(20);
        }
        return fail(QStringLiteral("mosquitto did not listen on %0: %1")
                        .arg(port)
                        .arg(QString::fromLocal8Bit(m_process.readAll())));
    }

    void kill()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

    // The retained messages on the topics of `filter`, as topic -> payload:
    // asked again until at least `atLeast` are there, for up to `waitSeconds`.
    QMap<QString, QByteArray> retained(const QString &filter, int atLeast = 1, int waitSeconds = 5,
                                       const User &user = {}, const QString &caFile = QString()) const
    {
        QStringList args{QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                         QString::number(port), QStringLiteral("-t"), filter, QStringLiteral("--retained-only"),
                         QStringLiteral("-F"), QStringLiteral("%t %p"), QStringLiteral("-W"), QStringLiteral("1"),
                         QStringLiteral("-C"), QString::number(qMax(1, atLeast))};
        if (!user.name.isEmpty())
            args << QStringLiteral("-u") << user.name << QStringLiteral("-P") << user.password;
        if (!caFile.isEmpty())
            args << QStringLiteral("--cafile") << caFile;
        QMap<QString, QByteArray> out;
        QElapsedTimer t;
        t.start();
        do {
            QProcess p;
            p.start(QStringLiteral("mosquitto_sub"), args);
            p.waitForFinished(5000);
            out.clear();
            for (const QByteArray &line : p.readAllStandardOutput().split('\n')) {
                const int space = line.indexOf(' ');
                if (space > 0)
                    out.insert(QString::fromUtf8(line.left(space)), line.mid(space + 1));
            }
        } while (out.size() < atLeast && t.elapsed() < waitSeconds * 1000);
        return out;
    }

    QString path(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }
    qint64 pid() const { return m_process.processId(); }

private:
    bool fail(const QString &why)
    {
        error = why;
        return false;
    }

    QProcess m_process;
    QString m_passwordFile;
    bool m_tls = false;
};

// A subscriber that runs beside the test and collects every message.
class Subscriber
{
public:
    bool start(const Broker &broker, const QString &filter)
    {
        m_process.start(QStringLiteral("mosquitto_sub"),
                        {QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                         QString::number(broker.port), QStringLiteral("-t"), filter, QStringLiteral("-F"),
                         QStringLiteral("%t %p")});
        return m_process.waitForStarted(5000);
    }
    ~Subscriber()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    // Every message so far, in arrival order: topic, payload.
    const QList<QPair<QString, QByteArray>> &messages()
    {
        m_buffer += m_process.readAllStandardOutput();
        int end;
        while ((end = int(m_buffer.indexOf('\n'))) >= 0) {
            const QByteArray line = m_buffer.left(end);
            m_buffer.remove(0, end + 1);
            const int space = line.indexOf(' ');
            if (space > 0)
                m_messages.append({QString::fromUtf8(line.left(space)), line.mid(space + 1)});
        }
        return m_messages;
    }

private:
    QProcess m_process;
    QByteArray m_buffer;
    QList<QPair<QString, QByteArray>> m_messages;
};

} // namespace broker_test

#endif
