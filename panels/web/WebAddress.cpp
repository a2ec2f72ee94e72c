#include "panels/web/WebAddress.h"

#include <QRegularExpression>
#include <QUrlQuery>

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

bool carriesCredentials(const QUrl &address)
{
    const QUrlQuery query(address);
    return query.hasQueryItem(QStringLiteral("pass")) || query.hasQueryItem(QStringLiteral("user")) ||
           !address.password().isEmpty();
}

QString shownText(const QString &text)
{
    // The engine titles a page it is still loading, or could not load, with
    // its address: that of the login carries the password.
    if (!text.contains(QLatin1String("session_login.cgi"), Qt::CaseInsensitive) &&
        !text.contains(QLatin1String("pass="), Qt::CaseInsensitive))
        return text;
    static const QRegularExpression query(QStringLiteral("\\?\\S*"));
    return QString(text).remove(query);
}

} // namespace WebAddress
