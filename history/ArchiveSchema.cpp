#include "history/ArchiveSchema.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

#include <sqlite3.h>

namespace ArchiveSchema {

namespace {

// Step n brings version n to n + 1. Never edit a released step: add one.
const QStringList &steps()
{
    static const QStringList list = {
        // 0 -> 1: items and their values. Values are keyed by item and time,
        // without a row id: a value costs its three fields and little else.
        QStringLiteral("CREATE TABLE item(id INTEGER PRIMARY KEY, system TEXT NOT NULL, board INTEGER NOT NULL,"
                       " channel INTEGER NOT NULL, parameter TEXT NOT NULL, label TEXT,"
                       " UNIQUE(system, board, channel, parameter));"
                       "CREATE TABLE sample(item INTEGER NOT NULL, t INTEGER NOT NULL, v REAL,"
                       " PRIMARY KEY(item, t)) WITHOUT ROWID"),
        // 1 -> 2: the alarm journal.
        QStringLiteral("CREATE TABLE journal(id INTEGER PRIMARY KEY, t INTEGER NOT NULL, system TEXT,"
                       " board INTEGER, channel INTEGER, channel_name TEXT, kind INTEGER, event INTEGER, text TEXT,"
                       " acknowledged INTEGER NOT NULL DEFAULT 0);"
                       "CREATE INDEX journal_t ON journal(t)"),
    };
    return list;
}

QString exec(QSqlDatabase &db, const QString &sql)
{
    QSqlQuery q(db);
    if (!q.exec(sql))
        return q.lastError().text();
    return QString();
}

} // namespace

int currentVersion() { return int(steps().size()); }

int siteVersion() { return 1; }

bool isServer(const QSqlDatabase &db) { return db.driverName() == QLatin1String("QPSQL"); }

int expectedVersion(const QSqlDatabase &db) { return isServer(db) ? siteVersion() : currentVersion(); }

namespace {

QString openServer(const QString &connectionName, const ArchiveServer &server, QSqlDatabase *db)
{
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
        return QStringLiteral("the PostgreSQL driver of Qt is not installed (libqt6sql6-psql)");
    *db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connectionName);
    db->setHostName(server.host);
    db->setPort(server.port);
    db->setDatabaseName(server.database);
    db->setUserName(server.user);
    db->setPassword(server.password);
    db->setConnectOptions(QStringLiteral("connect_timeout=%0;application_name=kebodesk").arg(server.connectTimeoutS));
    if (!db->open())
        return db->lastError().text().trimmed();
    return QString();
}

} // namespace

bool reconnect(QSqlDatabase &db)
{
    db.close();
    return db.open();
}

QString openConnection(const QString &connectionName, const ArchiveLocation &location, QSqlDatabase *db)
{
    if (location.isServer())
        return openServer(connectionName, location.server, db);
    const QString &path = location.path;
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE")))
        return QStringLiteral("the SQLite driver of Qt is not installed");
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath()))
        return QStringLiteral("the folder %0 cannot be created").arg(info.absolutePath());
    *db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
    db->setDatabaseName(path);
    db->setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000"));
    if (!db->open())
        return db->lastError().text();
    // A new file takes incremental vacuum before its first table, so that
    // pruning can give space back; WAL lets the plots read while the writer
    // writes, and a killed process loses no committed transaction.
    for (const char *pragma : {"PRAGMA auto_vacuum=INCREMENTAL", "PRAGMA journal_mode=WAL",
                               "PRAGMA synchronous=NORMAL", "PRAGMA cache_size=-16000",
                               "PRAGMA temp_store=MEMORY"}) {
        QSqlQuery q(*db);
        if (!q.exec(QString::fromLatin1(pragma)))
            return q.lastError().text();
    }
    return QString();
}

int storedVersion(QSqlDatabase &db)
{
    QSqlQuery q(db);
    const QString sql = isServer(db) ? QStringLiteral("SELECT max(version) FROM schema_version")
                                     : QStringLiteral("PRAGMA user_version");
    if (!q.exec(sql) || !q.next())
        return -1;
    return q.value(0).toInt();
}

QString migrate(QSqlDatabase &db)
{
    if (isServer(db)) {
        const int version = storedVersion(db);
        if (version == siteVersion())
            return QString();
        return version < 0 ? QStringLiteral("the site database has not been set up (history/sql/site-schema.sql)")
                           : QStringLiteral("the site database has schema %0, this program needs %1")
                                 .arg(version)
                                 .arg(siteVersion());
    }
    // Reading the schema is the first thing that fails on a file that is
    // not a database or whose first pages are damaged.
    QSqlQuery probe(db);
    if (!probe.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")))
        return probe.lastError().text();
    int version = storedVersion(db);
    if (version < 0)
        return QStringLiteral("its version cannot be read");
    if (version > currentVersion())
        return QStringLiteral("it was written by a newer version of the program (schema %0)").arg(version);
    for (; version < currentVersion(); ++version) {
        if (!db.transaction())
            return db.lastError().text();
        QString error;
        for (const QString &statement : steps().at(version).split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            error = exec(db, statement);
            if (!error.isEmpty())
                break;
        }
        if (error.isEmpty())
            error = exec(db, QStringLiteral("PRAGMA user_version=%0").arg(version + 1));
        if (!error.isEmpty()) {
            db.rollback();
            return error;
        }
        if (!db.commit())
            return db.lastError().text();
    }
    return QString();
}

sqlite3 *nativeHandle(const QSqlDatabase &db)
{
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3 *const *>(handle.data());
}

void closeConnection(const QString &connectionName)
{
    {
        QSqlDatabase db = QSqlDatabase::database(connectionName, false);
        if (db.isValid())
            db.close();
    }
    QSqlDatabase::removeDatabase(connectionName);
}

} // namespace ArchiveSchema
