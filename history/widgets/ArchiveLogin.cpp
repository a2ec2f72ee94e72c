#include "history/widgets/ArchiveLogin.h"

#include "history/ArchiveSchema.h"

#include <QInputDialog>
#include <QLineEdit>

namespace ArchiveLogin {

namespace {

QString tryConnect(const ArchiveLocation &location)
{
    const QString name = QStringLiteral("history-login");
    QString error;
    {
        QSqlDatabase db;
        error = ArchiveSchema::openConnection(name, location, &db);
    }
    ArchiveSchema::closeConnection(name);
    return error;
}

} // namespace

bool wantsPassword(const QString &connectionError)
{
    return connectionError.contains(QLatin1String("no password supplied"))
           || connectionError.contains(QLatin1String("password authentication failed"));
}

bool open(Archive &archive, ArchiveOptions options, QWidget *parent)
{
    if (options.server.isSet()) {
        QString error = tryConnect({options.path, options.server});
        for (int attempt = 0; attempt < 3 && wantsPassword(error); ++attempt) {
            bool ok = false;
            const QString password = QInputDialog::getText(
                parent, QStringLiteral("Shared archive"),
                QStringLiteral("%0password for %1:")
                    .arg(attempt ? QStringLiteral("Wrong password. ") : QString(),
                         ArchiveLocation(options.path, options.server).describe()),
                QLineEdit::Password, QString(), &ok);
            if (!ok)
                break;
            options.server.password = password;
            error = tryConnect({options.path, options.server});
        }
    }
    return archive.open(options);
}

} // namespace ArchiveLogin
