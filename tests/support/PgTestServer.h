#ifndef TESTS_SUPPORT_PGTESTSERVER_H
#define TESTS_SUPPORT_PGTESTSERVER_H

// A PostgreSQL server of a test's own: a fresh cluster in a temporary folder
// on a free loopback port, its socket in that folder too, no fsync. The
// server refuses to run as root, so when the test is root the cluster
// belongs to the `postgres` system user and the server programs run as it.
// Logins are trusted (loopback only); the superuser is `kebo_admin`.
//
//   PgTestServer pg;
//   if (!pg.isRunning()) QSKIP(qPrintable(pg.why()));
//   pg.psql("CREATE DATABASE site");
//
// stop() and start() again on the same port and data, for outages;
// requirePassword() for a role whose logins need its password.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>

#include <pwd.h>
#include <unistd.h>

class PgTestServer
{
public:
    PgTestServer()
    {
        const QStringList versions = QDir(QStringLiteral("/usr/lib/postgresql"))
                                         .entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
        for (const QString &v : versions)
            if (QFile::exists(QStringLiteral("/usr/lib/postgresql/%0/bin/initdb").arg(v)))
                m_bin = QStringLiteral("/usr/lib/postgresql/%0/bin/").arg(v);
        if (m_bin.isEmpty()) {
            m_why = QStringLiteral("PostgreSQL's server programs are not installed (package postgresql)");
            return;
        }
        if (!m_dir.isValid()) {
            m_why = QStringLiteral("no temporary folder");
            return;
        }
        if (geteuid() == 0) {
            const passwd *pw = getpwnam("postgres");
            if (!pw) {
                m_why = QStringLiteral("running as root and there is no user 'postgres' to run the server as");
                return;
            }
            m_uid = pw->pw_uid;
            m_gid = pw->pw_gid;
            if (chown(QFile::encodeName(m_dir.path()).constData(), m_uid, m_gid) != 0) {
                m_why = QStringLiteral("the temporary folder cannot be given to 'postgres'");
                return;
            }
        }
        QTcpServer probe;
        if (!probe.listen(QHostAddress::LocalHost, 0)) {
            m_why = QStringLiteral("no free loopback port");
            return;
        }
        m_port = probe.serverPort();
        probe.close();
        if (!run(m_bin + QStringLiteral("initdb"), {QStringLiteral("-D"), data(), QStringLiteral("-U"), admin(),
                                                   QStringLiteral("-A"), QStringLiteral("trust"),
                                                   QStringLiteral("-E"), QStringLiteral("UTF8"),
                                                   QStringLiteral("--locale=C"), QStringLiteral("--no-sync")})) {
            m_why = QStringLiteral("initdb failed: ") + m_output;
            return;
        }
        if (!start())
            m_why = QStringLiteral("the server did not start: ") + m_output;
    }
    ~PgTestServer()
    {
        if (m_running)
            stop();
    }
    PgTestServer(const PgTestServer &) = delete;
    PgTestServer &operator=(const PgTestServer &) = delete;

    bool isRunning() const { return m_running; }
    QString why() const { return m_why; }
    int port() const { return m_port; }
    static QString admin() { return QStringLiteral("kebo_admin"); }

    bool start()
    {
        const QString options = QStringLiteral("-p %0 -k %1 -c listen_addresses=127.0.0.1 -c fsync=off"
                                               " -c synchronous_commit=off -c full_page_writes=off")
                                    .arg(m_port)
                                    .arg(m_dir.path());
        m_running = run(m_bin + QStringLiteral("pg_ctl"), {QStringLiteral("-D"), data(), QStringLiteral("-l"),
                                                          m_dir.filePath(QStringLiteral("server.log")),
                                                          QStringLiteral("-o"), options, QStringLiteral("-w"),
                                                          QStringLiteral("start")});
        return m_running;
    }
    // Fast shutdown: sessions are cut off, as when a server goes away.
    bool stop()
    {
        m_running = !run(m_bin + QStringLiteral("pg_ctl"), {QStringLiteral("-D"), data(), QStringLiteral("-m"),
                                                           QStringLiteral("fast"), QStringLiteral("-w"),
                                                           QStringLiteral("stop")});
        return !m_running;
    }

    // Runs SQL text, or with `file` a file, as the superuser; the output, or
    // an empty string and the error in why() on failure.
    QString psql(const QString &sql, const QString &database = QStringLiteral("postgres"), bool file = false)
    {
        const QStringList args = {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-A"),
                                  QStringLiteral("-t"), QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"),
                                  QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                                  QString::number(m_port), QStringLiteral("-U"), admin(), QStringLiteral("-d"),
                                  database, file ? QStringLiteral("-f") : QStringLiteral("-c"), sql};
        QProcess p;
        p.start(QStringLiteral("psql"), args);
        if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
            m_why = QString::fromLocal8Bit(p.readAllStandardError());
            return QString();
        }
        m_why.clear();
        return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
    }

    // Logins of `role` over TCP must give its password from now on (the
    // others stay trusted).
    bool requirePassword(const QString &role)
    {
        QFile hba(data() + QStringLiteral("/pg_hba.conf"));
        if (!hba.open(QIODevice::ReadOnly))
            return false;
        const QByteArray rest = hba.readAll();
        hba.close();
        if (!hba.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return false;
        hba.write("host all " + role.toUtf8() + " 127.0.0.1/32 scram-sha-256\n" + rest);
        hba.close();
        return run(m_bin + QStringLiteral("pg_ctl"), {QStringLiteral("-D"), data(), QStringLiteral("reload")});
    }

    // CPU seconds the server's processes have used so far (the postmaster
    // with the children it reaped, and those alive): for benchmarks.
    double cpuSeconds() const
    {
        QFile pidFile(data() + QStringLiteral("/postmaster.pid"));
        if (!pidFile.open(QIODevice::ReadOnly))
            return 0;
        const QByteArray postmaster = pidFile.readLine().trimmed();
        const double tick = double(sysconf(_SC_CLK_TCK));
        double seconds = 0;
        for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
            QFile stat(QStringLiteral("/proc/%0/stat").arg(pid));
            if (!stat.open(QIODevice::ReadOnly))
                continue;
            const QByteArray line = stat.readAll();
            // After the name in parentheses: state, ppid, ... utime (14th), stime, cutime, cstime.
            const QList<QByteArray> f = line.mid(line.lastIndexOf(')') + 2).split(' ');
            if (f.size() < 15)
                continue;
            const bool self = pid.toLatin1() == postmaster;
            if (!self && f.at(1) != postmaster)
                continue;
            seconds += (f.at(11).toDouble() + f.at(12).toDouble()) / tick;
            if (self)
                seconds += (f.at(13).toDouble() + f.at(14).toDouble()) / tick;
        }
        return seconds;
    }

private:
    QString data() const { return m_dir.filePath(QStringLiteral("data")); }

    // As the server's user; true on exit code 0.
    bool run(const QString &program, const QStringList &args)
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), m_dir.path());
        env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(m_dir.path());
        p.setProcessChannelMode(QProcess::MergedChannels);
        if (m_uid) {
            p.start(QStringLiteral("setpriv"), QStringList{QStringLiteral("--reuid=%0").arg(m_uid),
                                                           QStringLiteral("--regid=%0").arg(m_gid),
                                                           QStringLiteral("--clear-groups"), program}
                                                   + args);
        } else {
            p.start(program, args);
        }
        const bool done = p.waitForFinished(60000);
        m_output = QString::fromLocal8Bit(p.readAll()).trimmed();
        return done && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    }

    QTemporaryDir m_dir;
    QString m_bin;
    QString m_why;
    QString m_output;
    uid_t m_uid = 0;
    gid_t m_gid = 0;
    int m_port = 0;
    bool m_running = false;
};

#endif
