#ifndef BROKERSETTINGS_H
#define BROKERSETTINGS_H

// Where and how the station publishes: the group "mqtt" of the program's
// settings. No broker: publishing is off. The password is never kept in the
// settings: it is read from `passwordFile`, which only its owner may read,
// or asked when a user is set without one.
//
//   broker=host[:port]   ([v6 address]:port; default port 1883, 8883 with TLS)
//   station=<name>        default: the host name
//   clientId=<id>         default: kebodesk-<station>
//   user=, passwordFile=
//   tls=true|false        default: on unless the broker is on loopback
//   caFile=<PEM file>     default: the system's certificates
//   qos=0|1               default 0

#include <QString>

class QSettings;

struct BrokerSettings
{
    QString host;
    int port = 0;
    QString station;
    QString clientId;
    QString user;
    QString password;
    QString passwordFile;
    bool tls = false;
    QString caFile;
    int qos = 0;

    bool enabled() const { return !host.isEmpty(); }
    // True when a user is set and neither a password nor a file gives one.
    bool needsPassword() const { return !user.isEmpty() && password.isEmpty() && passwordFile.isEmpty(); }
};

namespace BrokerSettingsIo {

// The settings of the group "mqtt"; `error` says in words what is wrong
// (and the result is then disabled). The password file is read here.
BrokerSettings load(QSettings &settings, QString *error);
bool isLoopback(const QString &host);
// The first line of a file only its owner can read or write; false with the
// reason otherwise (a file others can read is refused, not read).
bool readPasswordFile(const QString &path, QString *password, QString *error);

} // namespace BrokerSettingsIo

#endif
