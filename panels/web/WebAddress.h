#ifndef WEBADDRESS_H
#define WEBADDRESS_H

// Addresses of a system's web administration page.

#include <QString>
#include <QUrl>

namespace WebAddress {

// Web administration page: "http://" + connection argument, with the port
// given (1..65535) or, for anything else, the default port.
QUrl webBaseAddress(const QString &connectionArgument, const QString &port);
// The automatic login: "<base>/session_login.cgi?user=..&pass=..", the user
// name and password percent-encoded so any character reaches the system.
QUrl webLoginAddress(const QUrl &base, const QString &user, const QString &password);
// True for an address that carries the login's user name and password.
bool carriesCredentials(const QUrl &address);
// A text fit to show (a title, a message): an address in it that carries
// the login, or may, is shown without its query.
QString shownText(const QString &text);

} // namespace WebAddress

#endif
