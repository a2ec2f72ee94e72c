#include "panels/web/WebAddress.h"

namespace WebAddress {

QUrl webBaseAddress(const QString &connectionArgument, const QString &port)
{
    QUrl url(QStringLiteral("http://") + connectionArgument.trimmed(), QUrl::StrictMode);
    bool ok = false;
    const int p = port.toInt(&ok);
    if (url.isValid() && ok && p > 0 && p < 65536)
        url.setPort(p);
    return url;
}

QUrl webLoginAddress(const QUrl &base, const QString &user, const QString &password)
{
    QUrl url = base;
    QString path = url.path();
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    url.setPath(path + QStringLiteral("session_login.cgi"));
    const QString query = QStringLiteral("user=") + QString::fromLatin1(QUrl::toPercentEncoding(user)) +
                          QStringLiteral("&pass=") + QString::fromLatin1(QUrl::toPercentEncoding(password));
    url.setQuery(query, QUrl::StrictMode);
    return url;
}

} // namespace WebAddress
