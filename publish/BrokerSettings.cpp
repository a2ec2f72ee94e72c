#include "publish/BrokerSettings.h"

#include <QFile>
#include <QHostAddress>
#include <QHostInfo>
#include <QSettings>

#include <sys/stat.h>
#include <unistd.h>

namespace BrokerSettingsIo {

namespace {

// "host", "host:port", "[v6]:port", or a bare v6 address.
bool splitAddress(const QString &text, QString *host, int *port)
{
    QString h = text.trimmed();
    QString p;
    if (h.startsWith(QLatin1Char('['))) {
        const int close = h.indexOf(QLatin1Char(']'));
        if (close < 0)
            return false;
        p = h.mid(close + 1);
        h = h.mid(1, close - 1);
        if (!p.isEmpty() && !p.startsWith(QLatin1Char(':')))
            return false;
        p = p.mid(1);
    } else if (h.count(QLatin1Char(':')) == 1) {
        p = h.section(QLatin1Char(':'), 1);
        h = h.section(QLatin1Char(':'), 0, 0);
    }
    bool ok = true;
    *port = p.isEmpty() ? 0 : p.toInt(&ok);
    *host = h;
    return ok && !h.isEmpty() && *port >= 0 && *port < 65536;
}

} // namespace

bool isLoopback(const QString &host)
{
    if (host.compare(QStringLiteral("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    QHostAddress a;
    return a.setAddress(host) && a.isLoopback();
}

bool readPasswordFile(const QString &path, QString *password, QString *error)
{
    struct stat st;
    const QByteArray name = QFile::encodeName(path);
    if (::stat(name.constData(), &st) != 0) {
        *error = QStringLiteral("The password file %0 cannot be read.").arg(path);
        return false;
    }
    if ((st.st_mode & (S_IRWXG | S_IRWXO)) != 0 || st.st_uid != ::geteuid()) {
        *error = QStringLiteral("The password file %0 can be read or changed by other users (mode %1): it is not "
                                "used. Make it yours and readable by you alone: chmod 600 %0")
                     .arg(path)
                     .arg(st.st_mode & 07777, 4, 8, QLatin1Char('0'));
        return false;
    }
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("The password file %0 cannot be read: %1.").arg(path, f.errorString());
        return false;
    }
    *password = QString::fromUtf8(f.readLine()).remove(QLatin1Char('\n')).remove(QLatin1Char('\r'));
    return true;
}

BrokerSettings load(QSettings &s, QString *error)
{
    BrokerSettings b;
    s.beginGroup(QStringLiteral("mqtt"));
    const QString broker = s.value(QStringLiteral("broker")).toString().trimmed();
    b.station = s.value(QStringLiteral("station"), QHostInfo::localHostName()).toString();
    b.clientId = s.value(QStringLiteral("clientId"), QStringLiteral("kebodesk-") + b.station).toString();
    b.user = s.value(QStringLiteral("user")).toString();
    b.passwordFile = s.value(QStringLiteral("passwordFile")).toString();
    b.caFile = s.value(QStringLiteral("caFile")).toString();
    b.qos = qBound(0, s.value(QStringLiteral("qos"), 0).toInt(), 1);
    const QVariant tls = s.value(QStringLiteral("tls"));
    s.endGroup();
    if (broker.isEmpty())
        return b;
    auto refuse = [&](const QString &why) {
        *error = why;
        return BrokerSettings{};
    };
    if (!splitAddress(broker, &b.host, &b.port))
        return refuse(QStringLiteral("The MQTT broker address \"%0\" is not host, host:port or [address]:port.")
                          .arg(broker));
    b.tls = tls.isValid() ? tls.toBool() : !isLoopback(b.host);
    if (b.port == 0)
        b.port = b.tls ? 8883 : 1883;
    if (b.tls && !b.caFile.isEmpty() && !QFile::exists(b.caFile))
        return refuse(QStringLiteral("The CA file %0 for the MQTT broker does not exist.").arg(b.caFile));
    if (!b.passwordFile.isEmpty() && !readPasswordFile(b.passwordFile, &b.password, error))
        return BrokerSettings{};
    return b;
}

} // namespace BrokerSettingsIo
